/*
 * Helpers of the platform tests, on top of tests/support: environment
 * variables restored at the end of a scope, capture of standard error,
 * loading a registry text through ORV_REGISTRY_FILE, and starting the child
 * program under a unique name. Used from the main test thread only.
 */
#ifndef ORV_TESTS_PLATFORM_PLATFORM_SUPPORT_H
#define ORV_TESTS_PLATFORM_PLATFORM_SUPPORT_H

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "tests/support/test_support.h"

namespace orv::test {

/* Sets (value non-null) or unsets an environment variable for the scope. */
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

/* Redirects file descriptor 2 to a file until Finish returns its text. */
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    std::string Finish();

private:
    int saved_ = -1;
    TempDir dir_;
};

/* Writes bytes to dir/name, points ORV_REGISTRY_FILE at it, reloads the
 * registry and makes it load at once. Returns what the load printed on
 * standard error. */
std::string LoadRegistry(const TempDir& dir, const std::string& name, std::string_view bytes);

/* Points the registry at nothing again (ORV_REGISTRY_FILE unset). */
void ClearRegistry();

/* Copies the child program to a name unique to this run in dir and starts
 * it with the given arguments ("pause", or "exit" and a status); returns
 * once it runs that copy. Returns its pid (or -1) and sets *exeName, when
 * given, to the name it runs under. */
pid_t StartChild(const TempDir& dir, const char* arg1, const char* arg2, std::string* exeName);

}  // namespace orv::test

#endif
