/*
 * Process handles: OpenProcess, GetExitCodeProcess, TerminateProcess and
 * GetCurrentProcessId. A handle holds a pidfd where the kernel offers them,
 * so the process id cannot be reused under it; without pidfds it holds the
 * bare id. Thread-safe.
 */
#if !defined(_WIN32)

#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include "platform/linux/errors.h"
#include "platform/linux/handles.h"
#include "platform/linux/procfs.h"

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

namespace orv::platform {
namespace {

struct ProcessObject : HandleObject {
    static constexpr HandleKind kKind = HandleKind::Process;
    ProcessObject(pid_t p, int fd) : HandleObject(kKind), pid(p), pidfd(fd) {}
    ~ProcessObject() override {
        if (pidfd >= 0) close(pidfd);
    }

    const pid_t pid;
    const int pidfd;  // -1 without pidfd support
    // Set by TerminateProcess through this handle: the exit code it asked for.
    std::atomic<bool> terminated{false};
    std::atomic<UINT> terminateCode{0};
};

// Sends sig (0 only checks permission) to the process; returns 0 or errno.
int SendSignal(const ProcessObject& process, int sig) {
    if (process.pidfd >= 0) {
        if (syscall(SYS_pidfd_send_signal, process.pidfd, sig, nullptr, 0) == 0) return 0;
        if (errno != ENOSYS) return errno;
    }
    return kill(process.pid, sig) == 0 ? 0 : errno;
}

// True once the process has ended (a zombie has ended).
bool HasEnded(const ProcessObject& process) {
    if (process.pidfd >= 0) {
        pollfd pfd{process.pidfd, POLLIN, 0};
        while (true) {
            int n = poll(&pfd, 1, 0);
            if (n >= 0) return n > 0 && (pfd.revents & (POLLIN | POLLHUP)) != 0;
            if (errno != EINTR) break;
        }
    }
    ProcStat stat;
    return !ReadProcStat(process.pid, stat) || stat.state == 'Z' || stat.state == 'X';
}

// The exit code of an ended child as Windows would report it.
DWORD ChildExitCode(const ProcessObject& process, const siginfo_t& info) {
    if (info.si_code == CLD_EXITED) return static_cast<DWORD>(info.si_status);
    if (info.si_status == SIGKILL && process.terminated.load()) return process.terminateCode.load();
    return 128u + static_cast<DWORD>(info.si_status);  // ended by a signal, as a shell reports it
}

}  // namespace
}  // namespace orv::platform

using namespace orv::platform;

DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) {
    (void)dwDesiredAccess;
    (void)bInheritHandle;  // pidfds are close-on-exec; nothing here starts processes
    if (dwProcessId == 0 || dwProcessId > static_cast<DWORD>(INT_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    pid_t pid = static_cast<pid_t>(dwProcessId);
    int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0 && errno != ENOSYS && errno != EPERM) {  // EPERM: a sandbox that forbids the call
        // ESRCH: no such process; EINVAL: a thread id rather than a process id.
        SetLastError(errno == ESRCH || errno == EINVAL ? ERROR_INVALID_PARAMETER : WindowsErrorFromErrno(errno));
        return nullptr;
    }
    auto process = std::make_shared<ProcessObject>(pid, fd < 0 ? -1 : fd);
    int err = SendSignal(*process, 0);
    if (err != 0) {
        SetLastError(err == EPERM ? ERROR_ACCESS_DENIED : WindowsErrorFromErrno(err));
        return nullptr;
    }
    return AddHandle(std::move(process));
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    std::shared_ptr<ProcessObject> process = FindHandle<ProcessObject>(hProcess);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    siginfo_t info;
    std::memset(&info, 0, sizeof info);
    // WNOWAIT leaves an ended child unreaped, so its owner can still wait for it.
    int rc = process->pidfd >= 0
                 ? waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(process->pidfd), &info,
                          WEXITED | WNOHANG | WNOWAIT)
                 : waitid(P_PID, static_cast<id_t>(process->pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (rc == 0) {
        // Our child: si_pid stays 0 while it runs.
        *lpExitCode = info.si_pid == 0 ? STILL_ACTIVE : ChildExitCode(*process, info);
        return TRUE;
    }
    *lpExitCode = HasEnded(*process) ? 0 : STILL_ACTIVE;  // not our child: no status to read
    return TRUE;
}

BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode) {
    std::shared_ptr<ProcessObject> process = FindHandle<ProcessObject>(hProcess);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (HasEnded(*process)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    process->terminateCode.store(uExitCode);
    process->terminated.store(true);
    int err = SendSignal(*process, SIGKILL);
    if (err != 0) {
        process->terminated.store(false);
        SetLastError(err == ESRCH || err == EPERM ? ERROR_ACCESS_DENIED : WindowsErrorFromErrno(err));
        return FALSE;
    }
    return TRUE;
}

#endif  // !_WIN32
