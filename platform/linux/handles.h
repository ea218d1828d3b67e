/*
 * The handle table behind every HANDLE (and opened HKEY) this layer hands
 * out. Each kernel-object emulation derives its object from HandleObject,
 * tags it with its HandleKind and registers it with AddHandle; calls look it
 * up by kind with FindHandle<T>. A handle value is a small, never reused
 * number (a multiple of 4, as on Windows), so a stale or made-up handle is
 * recognised instead of being dereferenced. Objects are shared: a handle
 * closed by one thread stays alive for a call still using it in another.
 *
 * To add a kind: add a HandleKind entry, derive a struct with
 * `static constexpr HandleKind kKind = HandleKind::NewKind;`, release its
 * resources in its destructor, and say in CloseHandle (handles.cpp) whether
 * CloseHandle may close it. Thread-safe.
 */
#ifndef ORV_PLATFORM_LINUX_HANDLES_H
#define ORV_PLATFORM_LINUX_HANDLES_H

#include <memory>

#include "platform/win32.h"

namespace orv::platform {

enum class HandleKind {
    Snapshot,     // CreateToolhelp32Snapshot
    Process,      // OpenProcess
    Mutex,        // CreateMutexA
    RegistryKey,  // RegOpenKeyExA (closed by RegCloseKey, not CloseHandle)
    TimerQueue,   // CreateTimerQueue (ended by DeleteTimerQueue[Ex])
    Timer,        // CreateTimerQueueTimer (goes with its queue)
    File,         // CreateFileA
    FindSearch,   // FindFirstFileA (ended by FindClose)
};

/* The common part of every object behind a handle. */
struct HandleObject {
    explicit HandleObject(HandleKind k) : kind(k) {}
    virtual ~HandleObject() = default;
    HandleObject(const HandleObject&) = delete;
    HandleObject& operator=(const HandleObject&) = delete;

    const HandleKind kind;
};

/* Registers obj and returns its new handle value; needs a non-null obj.
 * Returns null only when obj is null. */
HANDLE AddHandle(std::shared_ptr<HandleObject> obj);

/* Returns the object behind h, or null for an unknown (closed, never issued,
 * null or INVALID_HANDLE_VALUE) handle. */
std::shared_ptr<HandleObject> FindHandleObject(HANDLE h);

/* Removes h from the table when it names an object of the given kind and
 * returns that object (the caller's reference may be its last, which
 * releases it); null when h is unknown or of another kind. */
std::shared_ptr<HandleObject> RemoveHandle(HANDLE h, HandleKind kind);

/* Returns the object behind h as T when h names an object of kind
 * T::kKind, else null. */
template <class T>
std::shared_ptr<T> FindHandle(HANDLE h) {
    std::shared_ptr<HandleObject> obj = FindHandleObject(h);
    if (!obj || obj->kind != T::kKind) return nullptr;
    return std::static_pointer_cast<T>(obj);
}

}  // namespace orv::platform

#endif
