/*
 * Helpers of the platform tests: environment, stderr capture, registry
 * loading and the child program. Used from the main test thread only.
 */
#include "tests/platform/platform_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/linux/registry.h"
#include "platform/win32.h"

namespace orv::test {

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    if (old_) {
        setenv(name_.c_str(), old_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    int fd = open((dir_ / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    saved_ = dup(2);
    dup2(fd, 2);
    close(fd);
}

StderrCapture::~StderrCapture() { Finish(); }

std::string StderrCapture::Finish() {
    if (saved_ < 0) return "";
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
    return ReadFile(dir_ / "stderr");
}

std::string LoadRegistry(const TempDir& dir, const std::string& name, std::string_view bytes) {
    std::string path = dir / name;
    WriteFile(path, std::string(bytes));
    setenv("ORV_REGISTRY_FILE", path.c_str(), 1);
    orv::platform::ReloadRegistryForTesting();
    StderrCapture capture;
    DWORD subkeys = 0;
    RegQueryInfoKeyA(HKEY_LOCAL_MACHINE, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    return capture.Finish();
}

void ClearRegistry() {
    unsetenv("ORV_REGISTRY_FILE");
    orv::platform::ReloadRegistryForTesting();
}

pid_t StartChild(const TempDir& dir, const char* arg1, const char* arg2, std::string* exeName) {
    static unsigned counter = 0;
    std::random_device random;
    std::string name = "orvpt-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + "-" +
                       std::to_string(random() % 1000000u);
    std::string path = dir / name;
    CopyExecutable(ORV_TEST_CHILD_PROGRAM, path);
    if (exeName) *exeName = name;
    std::vector<std::string> args{arg1};
    if (arg2) args.emplace_back(arg2);
    return StartProgram(path, args);  // posix_spawn returns after the exec
}

}  // namespace orv::test
