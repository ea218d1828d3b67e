/*
 * The object lock. Held keys live in one small list under one mutex; a
 * thread that finds its key held waits on a condition variable that
 * UnlockObject signals, so a waiter wakes as soon as the key is given back
 * and no wait grows longer over the life of the process. Thread-safe.
 */
#include "agent/object_lock.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "agent/log.h"

namespace orv {
namespace {

struct ObjectLockState {
    std::mutex mutex;
    std::condition_variable released;
    std::vector<const void*> held;  // few keys at a time: a flat list is fastest
    size_t waiters = 0;
};

ObjectLockState& State() {
    // Never destroyed: timer threads may still log while statics are torn down.
    static ObjectLockState* state = new ObjectLockState();
    return *state;
}

}  // namespace

void InitMutex() {
    LogTrace("@@@@@@@@@  Inside InitMutex Method @@@@@@@@@@@\n");
    State();
}

void CloseObjectLockMutex() {
    // The mutex lives as long as the process; nothing to release.
}

void LockObject(const void* key) {
    ObjectLockState& s = State();
    std::unique_lock<std::mutex> guard(s.mutex);
    while (std::find(s.held.begin(), s.held.end(), key) != s.held.end()) {
        ++s.waiters;
        s.released.wait(guard);
        --s.waiters;
    }
    s.held.push_back(key);
}

void UnlockObject(const void* key) {
    ObjectLockState& s = State();
    bool wake;
    {
        std::lock_guard<std::mutex> guard(s.mutex);
        auto it = std::find(s.held.begin(), s.held.end(), key);
        if (it == s.held.end()) return;
        *it = s.held.back();
        s.held.pop_back();
        wake = s.waiters != 0;
    }
    if (wake) s.released.notify_all();
}

}  // namespace orv
