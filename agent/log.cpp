/*
 * The levelled log writer. One process-wide state; records are built in a
 * stack buffer (a heap buffer only for very long messages) and written by
 * group commit: whoever holds the file writes every record queued meanwhile
 * with one write and one flush under the object lock keyed by the lock
 * token.
 *
 * Writers are thread-safe. Configuration, open, close and free are meant for
 * start-up and shutdown, when no other thread writes.
 */
#include "agent/log.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "agent/log_errors.h"
#include "agent/object_lock.h"
#include "agent/strings.h"
#include "platform/win32.h"

namespace orv {

FILE* gv_logFilePtr = nullptr;

namespace {

struct LogState {
    char* fileName = nullptr;
    char* directory = nullptr;
    char* fullPath = nullptr;
    char* libraryRoot = nullptr;
    uint8_t level = 0;
    int32_t maxSize = 0;
    char* lockToken = nullptr;  // a one-byte heap block; its address is the lock key
};

LogState g_log;

constexpr size_t kTimeStampSize = 32;

char* PutDigits(char* p, unsigned value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return p + width;
}

/* Writes the decimal digits of value at p, returns the end. */
char* PutUnsigned(char* p, uint32_t value) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) *p++ = digits[--n];
    return p;
}

char* PutSigned(char* p, int32_t value) {
    if (value < 0) {
        *p++ = '-';
        return PutUnsigned(p, 0u - static_cast<uint32_t>(value));
    }
    return PutUnsigned(p, static_cast<uint32_t>(value));
}

/* "%d-%02d-%02d %02d:%02d:%02d:%03d" of the local time now, at p; returns
 * the end. REQUIRES: kTimeStampSize bytes at p. */
char* PutTimeStamp(char* p) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    p = PutUnsigned(p, st.wYear);
    *p++ = '-';
    p = PutDigits(p, st.wMonth, 2);
    *p++ = '-';
    p = PutDigits(p, st.wDay, 2);
    *p++ = ' ';
    p = PutDigits(p, st.wHour, 2);
    *p++ = ':';
    p = PutDigits(p, st.wMinute, 2);
    *p++ = ':';
    p = PutDigits(p, st.wSecond, 2);
    *p++ = ':';
    return PutDigits(p, st.wMilliseconds % 1000u, 3);
}

void ReplaceText(char** field, char* value) {
    free(*field);
    *field = value;
}

// Room for the longest prefix: "[ " + stamp (at most 24) + " ] [ " + signed
// id (at most 11) + " ] " + tag (at most 7) + " ".
constexpr size_t kPrefixRoom = 64;

/* The prefix "[ stamp ] [ thread ] TAG " at p; returns its end. REQUIRES:
 * kPrefixRoom bytes at p. */
char* PutPrefix(char* p, const char* tag, size_t tagLength) {
    *p++ = '[';
    *p++ = ' ';
    p = PutTimeStamp(p);
    memcpy(p, " ] [ ", 5);
    p += 5;
    p = PutSigned(p, static_cast<int32_t>(GetCurrentThreadId()));
    *p++ = ' ';
    *p++ = ']';
    *p++ = ' ';
    memcpy(p, tag, tagLength);
    p += tagLength;
    *p++ = ' ';
    return p;
}

/*
 * Group commit. A writer that finds the file busy leaves its finished record
 * in the queue instead of waiting for its own turn at the file; the writer
 * that holds the file (the leader) writes every queued record with one write
 * and one flush under the object lock keyed by the lock token, then wakes
 * the writers whose records it wrote. Time stamps are taken under the
 * queue's mutex as a record joins the queue, and one leader at a time
 * writes the queue in order, so records stand in the file in time-stamp
 * order. Every call returns only once its record is written and flushed.
 */
struct CommitQueue {
    std::mutex mutex;
    std::condition_variable written;  // signalled when a leader leaves, its batch written
    std::string pending;              // queued records, not yet taken by a leader
    uint64_t queued = 0;              // number of the last record that joined
    std::atomic<uint64_t> done{0};    // records up to this number are written
    std::atomic<bool> leading{false}; // a leader is writing
    int sleepers = 0;                 // writers waiting on the condition variable
    std::string batch;                // the leader's batch; only the leader touches it
};

CommitQueue& Queue() {
    // Never destroyed: timer threads may still log while statics are torn down.
    static CommitQueue* queue = new CommitQueue();
    return *queue;
}

// How often a queued writer looks for its record, yielding in between,
// before it sleeps on the condition variable: a batch takes about as long as
// a few yields.
constexpr int kSpins = 100;
// How many of those looks a queued writer lets pass with no leader before it
// takes the lead itself. The writer that just left the lead usually comes
// back with its next record within a few, and then writes both records with
// one write; taking over at once would write them one by one.
constexpr int kPatience = 5;
// A batch that grew the leader's buffer beyond this gives the memory back.
constexpr size_t kKeptBatchCapacity = 1u << 20;

/* Writes the two pieces (the second may be empty) with one flush under the
 * object lock keyed by the lock token: a batch of queued records, or the
 * lone writer's prefix and message straight from its buffers. Without a
 * token or a file the bytes are dropped. */
void WritePieces(const char* first, size_t firstLength, const char* second, size_t secondLength) {
    const void* token = g_log.lockToken;
    if (token == nullptr) return;
    LockObject(token);
    FILE* file = gv_logFilePtr;
    if (file != nullptr) {
        fwrite(first, 1, firstLength, file);
        if (secondLength != 0) fwrite(second, 1, secondLength, file);
        fflush(file);
    }
    if (g_log.lockToken != nullptr) UnlockObject(token);
}

/* Waits, with the guard held on entry, until record number is written or no
 * leader is left. Returns true, with the guard held and the queue's leading
 * flag set, when this writer must lead; false, with the guard released, when
 * the record is written. */
bool AwaitTurn(CommitQueue& q, std::unique_lock<std::mutex>& guard, uint64_t number) {
    guard.unlock();
    int patience = kPatience;
    for (int i = 0; i < kSpins; ++i) {
        if (q.done.load(std::memory_order_acquire) >= number) return false;
        if (!q.leading.load(std::memory_order_acquire) && --patience == 0) break;
        std::this_thread::yield();
    }
    guard.lock();
    while (q.done.load(std::memory_order_relaxed) < number && q.leading.load(std::memory_order_relaxed)) {
        ++q.sleepers;
        q.written.wait(guard);
        --q.sleepers;
    }
    if (q.done.load(std::memory_order_relaxed) >= number) {
        guard.unlock();
        return false;
    }
    q.leading.store(true, std::memory_order_relaxed);
    return true;
}

/* The leader's work, with the guard held on entry: takes the whole queue
 * (record number among it) as one batch, writes it, then leaves the lead,
 * wakes the sleeping writers and releases the guard. */
void Lead(CommitQueue& q, std::unique_lock<std::mutex>& guard, uint64_t number) {
    while (q.done.load(std::memory_order_relaxed) < number) {
        q.batch.swap(q.pending);
        uint64_t last = q.queued;
        guard.unlock();
        WritePieces(q.batch.data(), q.batch.size(), nullptr, 0);
        q.batch.clear();
        if (q.batch.capacity() > kKeptBatchCapacity) std::string().swap(q.batch);
        guard.lock();
        q.done.store(last, std::memory_order_release);
    }
    q.leading.store(false, std::memory_order_release);
    bool wake = q.sleepers != 0;
    guard.unlock();
    if (wake) q.written.notify_all();
}

/* Queues one formatted record and returns once it is written: the prefix
 * is put at prefix (REQUIRES: kPrefixRoom bytes) as the record joins the
 * queue, taking the time stamp and thread id then. Returns the prefix's
 * length. */
size_t CommitRecord(char* prefix, const char* tag, size_t tagLength, const char* message, size_t length) {
    CommitQueue& q = Queue();
    std::unique_lock<std::mutex> guard(q.mutex);
    size_t prefixLength = static_cast<size_t>(PutPrefix(prefix, tag, tagLength) - prefix);
    uint64_t number = ++q.queued;
    if (!q.leading.load(std::memory_order_relaxed) && q.pending.empty()) {
        // Nobody writes and nothing waits, so every earlier record is
        // written: lead with this record alone, straight from its buffers,
        // then with whatever joined meanwhile.
        q.leading.store(true, std::memory_order_relaxed);
        guard.unlock();
        WritePieces(prefix, prefixLength, message, length);
        guard.lock();
        q.done.store(number, std::memory_order_release);
        Lead(q, guard, q.queued);
        return prefixLength;
    }
    q.pending.append(prefix, prefixLength).append(message, length);
    if (q.leading.load(std::memory_order_relaxed)) {
        if (!AwaitTurn(q, guard, number)) return prefixLength;  // written by another leader
    } else {
        q.leading.store(true, std::memory_order_relaxed);
    }
    Lead(q, guard, number);
    return prefixLength;
}

/* Writes one record: "[ stamp ] [ thread ] TAG message", when the level and
 * an open file let it. The message is formatted before any lock is taken;
 * the time stamp and thread id are taken as the record joins the queue. An
 * ERROR record (keep) is also kept for the calling thread's error channel,
 * written or not, with the prefix it was written with (or would have been). */
void WriteRecord(const char* tag, size_t tagLength, uint8_t threshold, bool keep, const char* format,
                 va_list args) {
    const bool write = gv_logFilePtr != nullptr && g_log.level != 0 && g_log.level >= threshold &&
                       g_log.lockToken != nullptr;
    if (!write && !keep) return;

    char buffer[1024];
    char* message = buffer;
    std::string big;
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(buffer, sizeof(buffer), format, copy);
    va_end(copy);
    size_t length = n < 0 ? 0 : static_cast<size_t>(n);
    if (length >= sizeof(buffer)) {  // too long for the stack buffer
        big.resize(length + 1);
        message = big.data();
        vsnprintf(message, length + 1, format, args);
    }

    char prefix[kPrefixRoom];
    size_t prefixLength = write ? CommitRecord(prefix, tag, tagLength, message, length)
                                : static_cast<size_t>(PutPrefix(prefix, tag, tagLength) - prefix);
    if (keep) KeepLogError(prefix, prefixLength, message, length);
}

bool OpenLog(const char* mode) {
    if (gv_logFilePtr != nullptr) {
        LogTrace("gv_logFilePtr already Set\n");
        return true;
    }
    const char* name = g_log.fileName != nullptr ? g_log.fileName : "";
    std::string path;
    if (g_log.directory != nullptr) {
        MakeDirectoryPath(g_log.directory);
        path = std::string(g_log.directory) + "/" + name;
    } else if (g_log.libraryRoot != nullptr) {
        std::string logs = std::string(g_log.libraryRoot) + "/logs";
        MakeDirectoryPath(logs.c_str());
        path = logs + "/" + name;
    } else {
        MakeDirectory("../logs");
        path = std::string("../logs/") + name;
    }
    char* fullPath = nullptr;
    if (DuplicateString(&fullPath, path.c_str()) != kDupOk) return false;
    ReplaceText(&g_log.fullPath, fullPath);

    FILE* file = _fsopen(g_log.fullPath, mode, _SH_DENYNO);
    if (file == nullptr) return false;
    gv_logFilePtr = file;

    char stamp[kTimeStampSize];
    *PutTimeStamp(stamp) = '\0';
    fprintf(file, "Log open time: %s\n", stamp);
    fflush(file);
    return true;
}

}  // namespace

#define ORV_DEFINE_WRITER(Name, Tag, Threshold, Keep)                       \
    void Name(const char* format, ...) {                                    \
        va_list args;                                                       \
        va_start(args, format);                                             \
        WriteRecord(Tag, sizeof(Tag) - 1, Threshold, Keep, format, args);   \
        va_end(args);                                                       \
    }

ORV_DEFINE_WRITER(LogInfo, "[INFO]", 1, false)
ORV_DEFINE_WRITER(LogError, "[ERROR]", 2, true)
ORV_DEFINE_WRITER(LogDebug, "[DEBUG]", 3, false)
ORV_DEFINE_WRITER(LogTrace, "[TRACE]", 4, false)

#undef ORV_DEFINE_WRITER

bool InitDefaultLog() {
    if (gv_logFilePtr == nullptr && g_log.fileName == nullptr) {
        char* name = nullptr;
        if (DuplicateString(&name, "velkra.log") != kDupOk) return false;
        g_log.fileName = name;
        char* token = static_cast<char*>(calloc(1, 1));
        ReplaceText(&g_log.lockToken, token);
        ReplaceText(&g_log.directory, nullptr);
        ReplaceText(&g_log.fullPath, nullptr);
        gv_logFilePtr = nullptr;
        g_log.maxSize = 10000;
        g_log.level = 3;
        return true;
    }
    if (gv_logFilePtr != nullptr) {
        g_log.maxSize = 10000;
        g_log.level = 3;
    }
    return true;
}

bool ConfigureLog(const char* fileName, const char* directory, int32_t maxSize, int32_t level) {
    ReplaceText(&g_log.fileName, nullptr);
    ReplaceText(&g_log.directory, nullptr);
    if (fileName == nullptr || DuplicateString(&g_log.fileName, fileName) != kDupOk) return false;
    if (directory == nullptr || DuplicateString(&g_log.directory, directory) != kDupOk) return false;
    g_log.maxSize = maxSize;
    g_log.level = static_cast<uint8_t>(static_cast<uint32_t>(level) & 0xFFu);
    return true;
}

bool OpenLogTruncate() { return OpenLog("w"); }

bool OpenLogAppend() { return OpenLog("a+"); }

void CloseLog() {
    char stamp[kTimeStampSize];
    *PutTimeStamp(stamp) = '\0';
    if (gv_logFilePtr != nullptr) {
        fprintf(gv_logFilePtr, "Log close time: %s\n", stamp);
        fflush(gv_logFilePtr);
        fclose(gv_logFilePtr);
    }
    gv_logFilePtr = nullptr;
}

void FreeLogSettings() {
    ReplaceText(&g_log.fileName, nullptr);
    ReplaceText(&g_log.directory, nullptr);
    ReplaceText(&g_log.fullPath, nullptr);
    ReplaceText(&g_log.lockToken, nullptr);
}

void SetLogLevel(uint8_t level) { g_log.level = level; }

bool SetLogFileName(const char* fileName) {
    if (fileName == nullptr) return false;
    ReplaceText(&g_log.fileName, nullptr);
    return DuplicateString(&g_log.fileName, fileName) == kDupOk;
}

bool SetLogDirectory(const char* directory) {
    if (directory == nullptr) return false;
    ReplaceText(&g_log.directory, nullptr);
    return DuplicateString(&g_log.directory, directory) == kDupOk;
}

bool SetLogFilePtr(FILE* file) {
    if (file == nullptr) return false;
    gv_logFilePtr = file;
    return true;
}

bool SetLogLibraryRoot(const char* root) {
    ReplaceText(&g_log.libraryRoot, nullptr);
    if (root == nullptr) return true;
    return DuplicateString(&g_log.libraryRoot, root) == kDupOk;
}

uint8_t GetLogLevel() { return g_log.level; }

int32_t GetLogMaxSize() { return g_log.maxSize; }

const char* GetLogFullPath() { return g_log.fullPath; }

const void* GetLogLockToken() { return g_log.lockToken; }

char* GetTimeStamp() {
    char* text = static_cast<char*>(malloc(kTimeStampSize));
    if (text == nullptr) return nullptr;
    *PutTimeStamp(text) = '\0';
    return text;
}

int MakeDirectory(const char* path) { return _mkdir(path) == 0 ? 0 : errno; }

int MakeDirectoryPath(const char* path) {
    int rc = MakeDirectory(path);
    if (rc == 0) return 0;
    if (rc == EEXIST) return 1;
    if (rc != ENOENT) return rc;

    std::string parent(path);
    while (!parent.empty() && parent.back() == '/') parent.pop_back();
    size_t slash = parent.rfind('/');
    if (slash == std::string::npos || slash == 0) return rc;  // no parent to create
    parent.resize(slash);
    int parentRc = MakeDirectoryPath(parent.c_str());
    if (parentRc != 0) return parentRc;
    return MakeDirectory(path);
}

}  // namespace orv
