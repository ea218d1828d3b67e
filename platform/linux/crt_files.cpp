/*
 * The C runtime file calls _fsopen and _mkdir, and LinuxPath which turns a
 * Windows-style path into a Linux one. Stateless and thread-safe.
 */
#if !defined(_WIN32)

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <string>

#include "platform/linux/paths.h"
#include "platform/win32.h"

namespace orv::platform {

std::string LinuxPath(const char* path) {
    std::string out = path ? path : "";
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

namespace {

// The fopen mode for a Windows runtime mode: the access letters r/w/a, '+',
// 'b' and 'x' are kept; the Windows-only flags (t, c, n, S, R, T, D, N and
// ",ccs=...") are dropped, with N (not inherited) becoming close-on-exec.
std::string LinuxOpenMode(const char* mode) {
    std::string out;
    bool closeOnExec = false;
    for (const char* p = mode; *p && *p != ','; ++p) {
        switch (*p) {
            case 'r':
            case 'w':
            case 'a':
            case '+':
            case 'b':
            case 'x':
                out += *p;
                break;
            case 'N':
                closeOnExec = true;
                break;
            default:
                break;
        }
    }
    if (closeOnExec) out += 'e';
    return out;
}

}  // namespace
}  // namespace orv::platform

FILE* _fsopen(const char* filename, const char* mode, int shflag) {
    (void)shflag;  // Linux has no mandatory sharing modes
    if (!filename || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    return std::fopen(orv::platform::LinuxPath(filename).c_str(), orv::platform::LinuxOpenMode(mode).c_str());
}

int _mkdir(const char* dirname) {
    if (!dirname) {
        errno = EINVAL;
        return -1;
    }
    return mkdir(orv::platform::LinuxPath(dirname).c_str(), 0777);
}

#endif  // !_WIN32
