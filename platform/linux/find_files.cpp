/*
 * Directory searches: FindFirstFileA, FindNextFileA and FindClose. A search
 * reads the matching entries of its directory when it starts and hands them
 * out in ASCII-case-insensitive name order. Names are matched as Windows
 * matches them on NTFS: '*' and '?' wildcards, letter case ignored, and a
 * trailing "*.*" that matches every name. Thread-safe; one search handle is
 * meant for one thread at a time, as on Windows.
 */
#if !defined(_WIN32)

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/errors.h"
#include "platform/linux/handles.h"
#include "platform/linux/paths.h"

namespace orv::platform {
namespace {

struct SearchObject : HandleObject {
    static constexpr HandleKind kKind = HandleKind::FindSearch;
    SearchObject() : HandleObject(kKind) {}
    std::mutex lock;
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

/* True when name matches pattern: '*' any run, '?' one character, ASCII case
 * ignored. Iterative, with back-tracking to the last '*'. */
bool WildcardMatch(const std::string& pattern, const std::string& name) {
    size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || Upper(pattern[p]) == Upper(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

/* Windows treats a trailing "*.*" as "*": it matches names without a dot. */
std::string WindowsPattern(std::string pattern) {
    if (pattern.size() >= 3 && pattern.compare(pattern.size() - 3, 3, "*.*") == 0) pattern.resize(pattern.size() - 2);
    return pattern;
}

FILETIME ToFileTime(const timespec& t) {
    // 100-nanosecond steps since 1601-01-01; times before 1601 become 0.
    constexpr int64_t kEpochDifference = 11644473600LL;
    int64_t seconds = static_cast<int64_t>(t.tv_sec) + kEpochDifference;
    uint64_t ticks = seconds < 0 ? 0
                                 : static_cast<uint64_t>(seconds) * 10000000u + static_cast<uint64_t>(t.tv_nsec) / 100u;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

/* The find data of entry name in dir; false when it vanished or its name is
 * too long for cFileName. */
bool FillEntry(const std::string& dir, const char* name, WIN32_FIND_DATAA* data) {
    size_t length = strlen(name);
    if (length >= sizeof(data->cFileName)) return false;
    struct stat st;
    std::string full = dir + "/" + name;
    if (stat(full.c_str(), &st) != 0 && lstat(full.c_str(), &st) != 0) return false;
    *data = WIN32_FIND_DATAA{};
    if (S_ISDIR(st.st_mode)) {
        data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    } else {
        data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
        uint64_t size = static_cast<uint64_t>(st.st_size);
        data->nFileSizeLow = static_cast<DWORD>(size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        data->dwFileAttributes = (data->dwFileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL)) |
                                 FILE_ATTRIBUTE_READONLY;
    }
    data->ftCreationTime = ToFileTime(st.st_ctim);
    data->ftLastAccessTime = ToFileTime(st.st_atim);
    data->ftLastWriteTime = ToFileTime(st.st_mtim);
    memcpy(data->cFileName, name, length + 1);
    return true;
}

bool NameLess(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
    for (size_t i = 0;; ++i) {
        char x = Upper(a.cFileName[i]), y = Upper(b.cFileName[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        if (x == '\0') return strcmp(a.cFileName, b.cFileName) < 0;
    }
}

}  // namespace
}  // namespace orv::platform

using namespace orv::platform;

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (lpFileName == nullptr || lpFindFileData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = LinuxPath(lpFileName);
    std::string::size_type slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string pattern = WindowsPattern(slash == std::string::npos ? path : path.substr(slash + 1));
    if (pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    DIR* stream = opendir(dir.c_str());
    if (stream == nullptr) {
        int err = errno;
        SetLastError(err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : WindowsErrorFromErrno(err));
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_shared<SearchObject>();
    while (dirent* entry = readdir(stream)) {
        if (!WildcardMatch(pattern, entry->d_name)) continue;
        WIN32_FIND_DATAA data;
        if (FillEntry(dir, entry->d_name, &data)) search->entries.push_back(data);
    }
    closedir(stream);
    if (search->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(search->entries.begin(), search->entries.end(), NameLess);
    *lpFindFileData = search->entries[0];
    search->next = 1;
    HANDLE handle = AddHandle(std::move(search));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    std::shared_ptr<SearchObject> search = FindHandle<SearchObject>(hFindFile);
    if (!search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpFindFileData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard guard(search->lock);
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *lpFindFileData = search->entries[search->next++];
    return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
    if (!RemoveHandle(hFindFile, HandleKind::FindSearch)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

#endif  // !_WIN32
