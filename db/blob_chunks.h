/*
 * The supplier side of a blob update, shared by the providers: the loop
 * that asks a blob supplier (db/provider.h) for its chunks until it says
 * there are no more, checks each chunk and hands it on. Thread-safe as
 * far as the supplier and the receiver are.
 */
#ifndef ORV_DB_BLOB_CHUNKS_H
#define ORV_DB_BLOB_CHUNKS_H

#include <cstdint>

#include "agent/log.h"
#include "db/provider.h"

namespace orv {

/* Calls the supplier until it returns 2, handing each chunk of one byte or
 * more to put(const void* data, int32_t length) (empty chunks are passed
 * over). Returns true at the end (at once for a null supplier); false when
 * put returns false, or for a chunk of negative length or of bytes without
 * data ("Invalid blob chunk of length %d\n" at ERROR). OUT *chunks (when
 * not null): the number of chunks put. */
template <typename Put>
bool ForEachBlobChunk(BlobSupplier supplier, void* context, Put put, int64_t* chunks = nullptr) {
    if (chunks != nullptr) *chunks = 0;
    if (supplier == nullptr) return true;
    for (;;) {
        void* data = nullptr;
        int32_t length = 0;
        if (supplier(&data, &length, context) == 2) return true;
        if (length < 0 || (length > 0 && data == nullptr)) {
            LogError("Invalid blob chunk of length %d\n", length);
            return false;
        }
        if (length == 0) continue;
        if (!put(static_cast<const void*>(data), length)) return false;
        if (chunks != nullptr) ++*chunks;
    }
}

}  // namespace orv

#endif
