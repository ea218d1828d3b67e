/*
 * Small helpers of the conversions: the reversible key scrambling, a
 * first-in first-out message queue over the vector, and the directory
 * test.
 *
 * Thread-safety: EncryptDecryptKey and IsDirectory are thread-safe; the
 * queue operations take the vector's own object lock, so several threads
 * may add to and read from one queue.
 */
#ifndef ORV_UTIL_CONV_MISC_H
#define ORV_UTIL_CONV_MISC_H

#include <cstdint>

#include "util/vector.h"

namespace orv {

/* Scrambles the length bytes of buffer in place by exclusive or with one
 * key byte: (key + 9) modulo 255 when key lies between 247 and 2147483638,
 * else the low 8 bits of key + 9. Applying it twice with the same key
 * restores the buffer. This is an obfuscation only, NOT encryption: the
 * key byte is one of 256 values and anyone can undo it; never rely on it to
 * protect a secret. Returns length (0 for a null buffer or a length below
 * 0). */
int32_t EncryptDecryptKey(uint8_t* buffer, int32_t length, int32_t key);

/* Wraps message in a new node and AddElements it at the end of queue.
 * Returns 1, or 0 with "Buffer allocation is failed !!!\n" at ERROR when no
 * node can be made (or 0 for a null queue). The message stays the
 * caller's. */
uint8_t AddRcvdMsgToQueue(Vector* queue, void* message);

/* Under the queue's object lock takes the first node off the chain,
 * releases the node and returns its message; null when the queue is empty
 * or null. */
void* ReadMsgFromQueueForProcessing(Vector* queue);

/* 1 when path names an existing directory (following links), 0 otherwise
 * and for null. */
uint8_t IsDirectory(const char* path);

}  // namespace orv

#endif
