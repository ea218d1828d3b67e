/*
 * The handle table and CloseHandle. The table is a map from handle value to
 * shared object under a reader-writer lock; lookups take the shared side.
 * Thread-safe.
 */
#if !defined(_WIN32)

#include "platform/linux/handles.h"

#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <utility>

namespace orv::platform {
namespace {

struct HandleTable {
    std::shared_mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>> objects;
    uintptr_t lastValue = 0;
};

// Never destroyed, so handles stay usable from static destructors.
HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
}

}  // namespace

HANDLE AddHandle(std::shared_ptr<HandleObject> obj) {
    if (!obj) return nullptr;
    HandleTable& table = Table();
    std::unique_lock guard(table.lock);
    table.lastValue += 4;  // 64-bit: does not wrap in practice, and never reaches -1
    uintptr_t value = table.lastValue;
    table.objects.emplace(value, std::move(obj));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<HandleObject> FindHandleObject(HANDLE h) {
    HandleTable& table = Table();
    std::shared_lock guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(h));
    if (it == table.objects.end()) return nullptr;
    return it->second;
}

std::shared_ptr<HandleObject> RemoveHandle(HANDLE h, HandleKind kind) {
    HandleTable& table = Table();
    std::shared_ptr<HandleObject> obj;
    {
        std::unique_lock guard(table.lock);
        auto it = table.objects.find(reinterpret_cast<uintptr_t>(h));
        if (it == table.objects.end() || it->second->kind != kind) return nullptr;
        obj = std::move(it->second);
        table.objects.erase(it);
    }
    return obj;  // released outside the lock
}

}  // namespace orv::platform

using orv::platform::HandleKind;

BOOL CloseHandle(HANDLE hObject) {
    std::shared_ptr<orv::platform::HandleObject> obj = orv::platform::FindHandleObject(hObject);
    // Registry keys are closed by RegCloseKey only, as on Windows.
    if (!obj || obj->kind == HandleKind::RegistryKey || !orv::platform::RemoveHandle(hObject, obj->kind)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

#endif  // !_WIN32
