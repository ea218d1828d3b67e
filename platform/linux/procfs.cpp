/*
 * /proc readers for the process snapshot and the process handles. Stateless
 * and thread-safe.
 */
#if !defined(_WIN32)

#include "platform/linux/procfs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace orv::platform {
namespace {

// Reads up to limit bytes of a /proc file; false when it cannot be opened.
bool ReadProcFile(const std::string& path, size_t limit, std::string& out) {
    out.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[4096];
    while (out.size() < limit) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    if (out.size() > limit) out.resize(limit);
    return true;
}

std::string BaseName(std::string_view path) {
    size_t slash = path.rfind('/');
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    return std::string(path);
}

// The target of a symbolic link, or "" when it cannot be read.
std::string ReadLink(const std::string& path) {
    std::vector<char> buffer(256);
    while (buffer.size() <= 65536) {
        ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) return "";
        if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);  // possibly cut short: try a larger buffer
    }
    return "";
}

}  // namespace

bool ReadProcStat(pid_t pid, ProcStat& out) {
    std::string text;
    if (!ReadProcFile("/proc/" + std::to_string(pid) + "/stat", 4096, text)) return false;
    // "PID (comm) S PPID ...": comm may hold spaces and parentheses, so the
    // fields are counted from its last ')'.
    size_t open = text.find('(');
    size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    out.comm = text.substr(open + 1, close - open - 1);
    std::vector<std::string_view> fields;
    std::string_view rest = std::string_view(text).substr(close + 1);
    while (!rest.empty()) {
        size_t start = rest.find_first_not_of(" \n");
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        size_t end = rest.find_first_of(" \n");
        fields.push_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    // fields[0] is the state (field 3 of stat), fields[1] the parent id,
    // fields[17] the thread count (field 20).
    if (fields.size() < 18 || fields[0].empty()) return false;
    out.state = fields[0][0];
    out.parentId = static_cast<DWORD>(std::strtoul(std::string(fields[1]).c_str(), nullptr, 10));
    out.threadCount = static_cast<DWORD>(std::strtoul(std::string(fields[17]).c_str(), nullptr, 10));
    return true;
}

std::string ProcessExeName(pid_t pid, const std::string& comm) {
    std::string dir = "/proc/" + std::to_string(pid);
    std::string exe = ReadLink(dir + "/exe");
    const std::string_view deleted = " (deleted)";
    if (exe.size() >= deleted.size() && std::string_view(exe).substr(exe.size() - deleted.size()) == deleted) {
        exe.resize(exe.size() - deleted.size());
    }
    std::string name = BaseName(exe);
    if (!name.empty()) return name;
    std::string cmdline;
    if (ReadProcFile(dir + "/cmdline", 65536, cmdline)) {
        name = BaseName(std::string_view(cmdline.c_str()));  // argv[0] ends at the first zero
        if (!name.empty()) return name;
    }
    return comm;
}

}  // namespace orv::platform

#endif  // !_WIN32
