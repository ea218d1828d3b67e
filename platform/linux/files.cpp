/*
 * Files and directories: CreateFileA, GetFileSizeEx, CopyFileA, DeleteFileA
 * and CreateDirectoryA. A file handle owns one descriptor, closed with the
 * handle. Sharing modes are accepted and not enforced (Linux has no
 * mandatory sharing). Thread-safe.
 */
#if !defined(_WIN32)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/linux/errors.h"
#include "platform/linux/handles.h"
#include "platform/linux/paths.h"

namespace orv::platform {
namespace {

struct FileObject : HandleObject {
    static constexpr HandleKind kKind = HandleKind::File;
    explicit FileObject(int descriptor) : HandleObject(kKind), fd(descriptor) {}
    ~FileObject() override { close(fd); }
    const int fd;
};

/* The Windows code for a failed call on path: ENOENT is "path not found"
 * when a directory on the way is missing, else "file not found". */
DWORD PathError(const std::string& path, int err) {
    if (err == ENOENT || err == ENOTDIR) {
        std::string::size_type slash = path.find_last_of('/');
        std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
        struct stat st;
        if (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
        return ERROR_FILE_NOT_FOUND;
    }
    return WindowsErrorFromErrno(err);
}

/* write() of all n bytes, retrying short writes and interrupts. */
bool WriteAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        ssize_t done = write(fd, data, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

}  // namespace
}  // namespace orv::platform

using namespace orv::platform;

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)dwShareMode;  // not enforced: Linux has no mandatory sharing modes
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    if (lpFileName == nullptr || *lpFileName == '\0') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool read = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL)) != 0;
    bool write = (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL)) != 0;
    int flags = O_CLOEXEC;
    if (read && write) {
        flags |= O_RDWR;
    } else if (write) {
        flags |= O_WRONLY;
    } else if (read) {
        flags |= O_RDONLY;
    } else {
        flags |= O_PATH;  // no data access: size and attributes only
    }
    switch (dwCreationDisposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            if (!write) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return INVALID_HANDLE_VALUE;
            }
            flags |= O_TRUNC;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
    }
    if ((flags & O_PATH) != 0) flags &= ~(O_CREAT | O_EXCL | O_TRUNC);  // handled below
    std::string path = LinuxPath(lpFileName);

    struct stat before;
    bool existed = stat(path.c_str(), &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) {
        if ((dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) == 0 || dwCreationDisposition == CREATE_NEW ||
            dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING) {
            SetLastError(dwCreationDisposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;  // a directory handle for attribute queries
    }
    if ((flags & O_PATH) != 0 && existed && dwCreationDisposition == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    if ((flags & O_PATH) != 0 && !existed && dwCreationDisposition != OPEN_EXISTING &&
        dwCreationDisposition != TRUNCATE_EXISTING) {
        // No data access, but the file is to be made: make it, then open it.
        int made = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (made < 0) {
            SetLastError(PathError(path, errno));
            return INVALID_HANDLE_VALUE;
        }
        close(made);
    }
    int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) {
        int err = errno;
        SetLastError(err == EEXIST ? ERROR_FILE_EXISTS : PathError(path, err));
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = AddHandle(std::make_shared<FileObject>(fd));
    bool reportsExisting = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    SetLastError(existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    std::shared_ptr<FileObject> file = FindHandle<FileObject>(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpFileSize == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat st;
    if (fstat(file->fd, &st) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    lpFileSize->QuadPart = static_cast<LONGLONG>(st.st_size);
    return TRUE;
}

BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    if (lpExistingFileName == nullptr || lpNewFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string from = LinuxPath(lpExistingFileName);
    std::string to = LinuxPath(lpNewFileName);
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        SetLastError(PathError(from, errno));
        return FALSE;
    }
    struct stat st;
    if (fstat(in, &st) != 0) {
        SetLastErrorFromErrno(errno);
        close(in);
        return FALSE;
    }
    if (S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        close(in);
        return FALSE;
    }
    int outFlags = O_WRONLY | O_CREAT | O_CLOEXEC | (bFailIfExists ? O_EXCL : O_TRUNC);
    int out = open(to.c_str(), outFlags, st.st_mode & 07777);
    if (out < 0) {
        int err = errno;
        SetLastError(err == EEXIST ? ERROR_FILE_EXISTS : PathError(to, err));
        close(in);
        return FALSE;
    }
    char buffer[65536];
    DWORD failure = ERROR_SUCCESS;
    while (true) {
        ssize_t got = read(in, buffer, sizeof(buffer));
        if (got < 0) {
            if (errno == EINTR) continue;
            failure = WindowsErrorFromErrno(errno);
            break;
        }
        if (got == 0) break;
        if (!WriteAll(out, buffer, static_cast<size_t>(got))) {
            failure = WindowsErrorFromErrno(errno);
            break;
        }
    }
    fchmod(out, st.st_mode & 07777);  // an existing target takes the source's bits too
    if (close(out) != 0 && failure == ERROR_SUCCESS) failure = WindowsErrorFromErrno(errno);
    close(in);
    if (failure != ERROR_SUCCESS) {
        unlink(to.c_str());
        SetLastError(failure);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR lpFileName) {
    if (lpFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string path = LinuxPath(lpFileName);
    if (unlink(path.c_str()) != 0) {
        int err = errno;
        SetLastError(err == EISDIR ? ERROR_ACCESS_DENIED : PathError(path, err));
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    (void)lpSecurityAttributes;
    if (lpPathName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string path = LinuxPath(lpPathName);
    if (mkdir(path.c_str(), 0777) != 0) {
        int err = errno;
        if (err == EEXIST) {
            SetLastError(ERROR_ALREADY_EXISTS);
        } else if (err == ENOENT || err == ENOTDIR) {
            SetLastError(ERROR_PATH_NOT_FOUND);
        } else {
            SetLastErrorFromErrno(err);
        }
        return FALSE;
    }
    return TRUE;
}

#endif  // !_WIN32
