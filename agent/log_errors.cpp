/*
 * The per-thread ERROR records beside the log. Each thread's records live
 * in a heap list found through a trivially destructible thread-local
 * pointer; a thread-local reaper frees the list when the thread ends, and
 * a record logged after that (by a destructor late in the thread's exit)
 * is not kept.
 */
#include "agent/log_errors.h"

#include <cstddef>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace orv {

namespace {

struct KeptError {
    std::string record;      // prefix and message, as the log writes them
    size_t messageAt = 0;    // where the message begins in record
};

struct ThreadErrors {
    std::vector<KeptError> kept;  // oldest first
    size_t dropped = 0;
    size_t limit = kLogErrorLimit;
};

thread_local ThreadErrors* t_errors = nullptr;
thread_local bool t_ended = false;

struct Reaper {
    bool armed = false;  // set when the list is made; the write constructs the reaper
    ~Reaper() {
        delete t_errors;
        t_errors = nullptr;
        t_ended = true;
    }
};

thread_local Reaper t_reaper;

/* The calling thread's list, made on first use; null when the thread is
 * ending or memory is short. */
ThreadErrors* Mine() {
    if (t_errors != nullptr || t_ended) return t_errors;
    t_reaper.armed = true;
    t_errors = new (std::nothrow) ThreadErrors();
    return t_errors;
}

void DropBeyondLimit(ThreadErrors* errors) {
    if (errors->kept.size() <= errors->limit) return;
    size_t excess = errors->kept.size() - errors->limit;
    errors->kept.erase(errors->kept.begin(), errors->kept.begin() + static_cast<std::ptrdiff_t>(excess));
    errors->dropped += excess;
}

}  // namespace

const char* GetLastLogError() {
    const ThreadErrors* errors = t_errors;
    if (errors == nullptr || errors->kept.empty()) return "";
    const KeptError& last = errors->kept.back();
    return last.record.c_str() + last.messageAt;
}

void ClearLogErrors() {
    ThreadErrors* errors = t_errors;
    if (errors == nullptr) return;
    std::vector<KeptError>().swap(errors->kept);
    errors->dropped = 0;
}

size_t CountLogErrors() { return t_errors != nullptr ? t_errors->kept.size() : 0; }

const char* GetLogErrorRecord(size_t i) {
    const ThreadErrors* errors = t_errors;
    if (errors == nullptr || i >= errors->kept.size()) return nullptr;
    return errors->kept[i].record.c_str();
}

size_t CountDroppedLogErrors() { return t_errors != nullptr ? t_errors->dropped : 0; }

void SetLogErrorLimit(size_t limit) {
    ThreadErrors* errors = Mine();
    if (errors == nullptr) return;
    errors->limit = limit == 0 ? 1 : limit;
    DropBeyondLimit(errors);
}

void KeepLogError(const char* prefix, size_t prefixLength, const char* message, size_t length) {
    ThreadErrors* errors = Mine();
    if (errors == nullptr) return;
    try {
        KeptError kept;
        kept.record.reserve(prefixLength + length);
        kept.record.append(prefix, prefixLength).append(message, length);
        kept.messageAt = prefixLength;
        errors->kept.push_back(std::move(kept));
    } catch (const std::bad_alloc&) {
        // The last record could not be kept: the older ones no longer say
        // what failed last, so they go too.
        errors->dropped += errors->kept.size() + 1;
        std::vector<KeptError>().swap(errors->kept);
        return;
    }
    DropBeyondLimit(errors);
}

}  // namespace orv
