/*
 * Heap copies of texts and byte blocks. Thread-safe.
 */
#include "agent/strings.h"

#include <cstdlib>
#include <cstring>

#include "agent/log.h"

namespace orv {

uint8_t DuplicateString(char** out, const char* text) {
    size_t n = strlen(text);
    char* copy = static_cast<char*>(malloc(n + 1));
    *out = copy;
    if (copy == nullptr) return kDupNoMemory;
    memcpy(copy, text, n + 1);
    return kDupOk;
}

uint8_t DuplicateBytes(char** out, const void* bytes, size_t length) {
    char* copy = length == SIZE_MAX ? nullptr : static_cast<char*>(malloc(length + 1));
    *out = copy;
    if (copy == nullptr) {
        LogError("Unable to allocate memory\n");
        return kDupNoMemory;
    }
    if (length != 0) memcpy(copy, bytes, length);
    copy[length] = '\0';
    return kDupOk;
}

}  // namespace orv
