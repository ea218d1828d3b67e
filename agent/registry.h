/*
 * The agent's registry settings. Every reader opens its key, reads one value
 * and closes the key; nothing is cached. Keys are opened in the 32-bit view,
 * where the 32-bit agent writes its settings. Thread-safe.
 */
#ifndef ORV_AGENT_REGISTRY_H
#define ORV_AGENT_REGISTRY_H

#include <cstdint>

#include "platform/win32.h"

namespace orv {

/* The agent's settings key and its patch key, both under HKEY_LOCAL_MACHINE. */
extern const char* const kAgentRegistryKey;
extern const char* const kAgentPatchKey;

/* Reads a value of any type as bytes. OUT *out: null, then (once the size is
 * known) a zero-filled heap buffer of size + 5 bytes that the caller frees
 * with free(), also when the second read fails. Returns 0 or a Windows error
 * code. */
LONG ReadRegSZ(HKEY root, const char* subKey, const char* valueName, char** out);

/* Reads a value of at most 4 bytes into *out, which is written only on
 * success. Returns 0 or a Windows error code; 2 for a missing key or value. */
LONG ReadDwordRegistryData(HKEY root, const char* subKey, const char* valueName, DWORD* out);

/* ReadRegSZ of ZRAgentInstallDir under the agent's key. */
LONG ReadAgentInstallDir(char** out);

/* ZREventEnabled into *flag, or 1 when it cannot be read. Returns 0. */
LONG ReadEventEnabled(int32_t* flag);

}  // namespace orv

#endif
