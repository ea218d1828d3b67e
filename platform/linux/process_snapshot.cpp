/*
 * CreateToolhelp32Snapshot and Process32First/Next: a snapshot is the list
 * of processes found in /proc when it was taken, walked with a cursor kept
 * in the snapshot object. Thread-safe (a snapshot's cursor is locked).
 */
#if !defined(_WIN32)

#include <dirent.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/errors.h"
#include "platform/linux/handles.h"
#include "platform/linux/procfs.h"

namespace orv::platform {
namespace {

struct SnapshotObject : HandleObject {
    static constexpr HandleKind kKind = HandleKind::Snapshot;
    SnapshotObject() : HandleObject(kKind) {}

    std::vector<PROCESSENTRY32> entries;
    std::mutex lock;
    size_t next = 0;  // the entry Process32Next returns
};

// Copies name into field (of fieldSize bytes) with its terminating zero,
// cut at a UTF-8 character boundary when it does not fit.
void CopyName(const std::string& name, char* field, size_t fieldSize) {
    size_t length = name.size();
    if (length > fieldSize - 1) {
        length = fieldSize - 1;
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(field, name.data(), length);
    field[length] = '\0';
}

// Returns the pid named by a /proc entry, or 0 when it names no process.
pid_t PidFromName(const char* name) {
    pid_t pid = 0;
    for (const char* p = name; *p; ++p) {
        if (*p < '0' || *p > '9' || pid > 99999999) return 0;
        pid = pid * 10 + (*p - '0');
    }
    return pid;
}

// Fills entries from /proc; returns 0 or an errno value.
int ListProcesses(std::vector<PROCESSENTRY32>& entries) {
    DIR* dir = opendir("/proc");
    if (!dir) return errno;
    while (dirent* entry = readdir(dir)) {
        pid_t pid = PidFromName(entry->d_name);
        ProcStat stat;
        if (pid <= 0 || !ReadProcStat(pid, stat)) continue;  // not a process, or gone meanwhile
        PROCESSENTRY32 pe;
        std::memset(&pe, 0, sizeof pe);
        pe.dwSize = sizeof pe;
        pe.th32ProcessID = static_cast<DWORD>(pid);
        pe.cntThreads = stat.threadCount;
        pe.th32ParentProcessID = stat.parentId;
        CopyName(ProcessExeName(pid, stat.comm), pe.szExeFile, sizeof pe.szExeFile);
        entries.push_back(pe);
    }
    closedir(dir);
    return 0;
}

// The shared part of Process32First and Process32Next.
BOOL NextEntry(HANDLE hSnapshot, LPPROCESSENTRY32 lppe, bool restart) {
    if (!lppe) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<SnapshotObject> snapshot = FindHandle<SnapshotObject>(hSnapshot);
    if (!snapshot) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lppe->dwSize < sizeof(PROCESSENTRY32)) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    std::lock_guard guard(snapshot->lock);
    if (restart) snapshot->next = 0;
    if (snapshot->next >= snapshot->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    DWORD size = lppe->dwSize;
    *lppe = snapshot->entries[snapshot->next++];
    lppe->dwSize = size;
    return TRUE;
}

}  // namespace
}  // namespace orv::platform

using namespace orv::platform;

HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) {
    (void)th32ProcessID;  // only used by module and heap snapshots
    if (!(dwFlags & TH32CS_SNAPPROCESS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto snapshot = std::make_shared<SnapshotObject>();
    int err = ListProcesses(snapshot->entries);
    if (err != 0) {
        SetLastErrorFromErrno(err);
        return INVALID_HANDLE_VALUE;
    }
    return AddHandle(std::move(snapshot));
}

BOOL Process32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe) { return NextEntry(hSnapshot, lppe, true); }

BOOL Process32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe) { return NextEntry(hSnapshot, lppe, false); }

#endif  // !_WIN32
