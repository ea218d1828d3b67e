/*
 * Heap copies of texts and byte blocks, shared by the agent and the library.
 * The copies are the caller's, released with free().
 */
#ifndef ORV_AGENT_STRINGS_H
#define ORV_AGENT_STRINGS_H

#include <cstddef>
#include <cstdint>

namespace orv {

constexpr uint8_t kDupOk = 1;
constexpr uint8_t kDupNoMemory = 99;

/* OUT *out: a new heap copy of text. Returns 1, or 99 when memory is short
 * (then *out is null). REQUIRES: text is not null. */
uint8_t DuplicateString(char** out, const char* text);

/* OUT *out: a new heap block of length + 1 bytes holding the bytes and a
 * terminating zero. Returns 1, or 99 when memory is short, after logging
 * "Unable to allocate memory" at ERROR. */
uint8_t DuplicateBytes(char** out, const void* bytes, size_t length);

}  // namespace orv

#endif
