/*
 * The process calls on processes this test starts itself: copies of a tiny
 * program under a name unique to the run, ended only by their ids.
 */
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "platform/win32.h"
#include "tests/platform/platform_support.h"

namespace orv::test {
namespace {

// Finds pid in a fresh snapshot; returns whether it was listed.
bool FindInSnapshot(DWORD pid, PROCESSENTRY32& found) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    bool listed = false;
    for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == pid) {
            found = entry;
            listed = true;
        }
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    CloseHandle(snapshot);
    return listed;
}

// Polls GetExitCodeProcess until the process no longer runs (5 s at most).
DWORD WaitForExitCode(HANDLE process) {
    DWORD code = STILL_ACTIVE;
    for (int i = 0; i < 500 && code == STILL_ACTIVE; ++i) {
        if (!GetExitCodeProcess(process, &code)) return 0xDEADu;
        if (code == STILL_ACTIVE) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return code;
}

// Ends and reaps a child still running after a failed assertion.
struct ChildGuard {
    pid_t pid = -1;
    ~ChildGuard() {
        if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
    }
};

TEST(ProcessSnapshot, ListsAStartedChildByItsExecutableName) {
    TempDir dir;
    std::string name;
    ChildGuard child{StartChild(dir, "pause", nullptr, &name)};
    ASSERT_GT(child.pid, 0);
    PROCESSENTRY32 entry;
    ASSERT_TRUE(FindInSnapshot(static_cast<DWORD>(child.pid), entry));
    EXPECT_STREQ(entry.szExeFile, name.c_str());
    EXPECT_EQ(entry.th32ParentProcessID, GetCurrentProcessId());
    EXPECT_EQ(entry.cntThreads, 1u);
    ASSERT_TRUE(FindInSnapshot(GetCurrentProcessId(), entry));
    EXPECT_GE(entry.cntThreads, 1u);
}

TEST(ProcessSnapshot, RefusesAnEntryWithTooSmallSize) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry - 1;
    EXPECT_EQ(Process32First(snapshot, &entry), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));
    EXPECT_EQ(CloseHandle(snapshot), TRUE);
    entry.dwSize = sizeof entry;
    EXPECT_EQ(Process32First(snapshot, &entry), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(ProcessHandle, TerminateEndsARunningChildWithoutReapingIt) {
    TempDir dir;
    ChildGuard child{StartChild(dir, "pause", nullptr, nullptr)};
    ASSERT_GT(child.pid, 0);
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(child.pid));
    ASSERT_NE(process, nullptr);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

    EXPECT_EQ(TerminateProcess(process, 42), TRUE);
    EXPECT_EQ(WaitForExitCode(process), 42u);  // the code asked for, as Windows reports it
    EXPECT_EQ(TerminateProcess(process, 1), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    int status = 0;  // still ours to reap
    ASSERT_EQ(waitpid(child.pid, &status, WNOHANG), child.pid);
    child.pid = -1;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(CloseHandle(process), TRUE);
}

TEST(ProcessHandle, ExitCodeOfAnEndedChildIsItsStatus) {
    TempDir dir;
    ChildGuard child{StartChild(dir, "exit", "7", nullptr)};
    ASSERT_GT(child.pid, 0);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(child.pid));
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(WaitForExitCode(process), 7u);
    EXPECT_EQ(WaitForExitCode(process), 7u);  // asking again still finds it
    int status = 0;
    ASSERT_EQ(waitpid(child.pid, &status, 0), child.pid);
    child.pid = -1;
    EXPECT_EQ(WEXITSTATUS(status), 7);
    CloseHandle(process);
}

TEST(ProcessHandle, ProcessThatIsNotOurChildRunsUntilTerminatedThenReportsZero) {
    TempDir dir;
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t middle = fork();
    if (middle == 0) {  // starts the program, so that it is not the test's child, and reaps it
        close(report[0]);
        pid_t grandchild = StartChild(dir, "pause", nullptr, nullptr);
        bool sent = write(report[1], &grandchild, sizeof grandchild) == sizeof grandchild;
        if (grandchild > 0) waitpid(grandchild, nullptr, 0);
        _exit(sent ? 0 : 1);
    }
    ChildGuard middleGuard{middle};
    close(report[1]);
    pid_t pid = -1;
    ASSERT_EQ(read(report[0], &pid, sizeof pid), static_cast<ssize_t>(sizeof pid));
    close(report[0]);
    ASSERT_GT(pid, 0);
    ChildGuard grandchildGuard{pid};  // on failure: ended before the middle process

    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(pid));
    ASSERT_NE(process, nullptr);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    ASSERT_EQ(TerminateProcess(process, 3), TRUE);
    grandchildGuard.pid = -1;
    EXPECT_EQ(WaitForExitCode(process), 0u);
    CloseHandle(process);
    int status = -1;
    ASSERT_EQ(waitpid(middle, &status, 0), middle);
    middleGuard.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(ProcessHandle, VanishedProcessIdIsAnInvalidParameter) {
    pid_t pid = fork();
    if (pid == 0) _exit(0);
    ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
    SetLastError(0);
    EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(pid)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(ProcessHandle, ProcessThatMayNotBeSignalledIsAccessDenied) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
    DWORD parent = GetCurrentProcessId();
    pid_t pid = fork();
    if (pid == 0) {  // an unprivileged process asking for this (root) one
        if (setresuid(65534, 65534, 65534) != 0) _exit(100);
        HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, parent);
        _exit(h == nullptr && GetLastError() == ERROR_ACCESS_DENIED ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 100) GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace orv::test
