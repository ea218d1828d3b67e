/*
 * GetLastError/SetLastError and the errno translation. The last error is a
 * thread-local value, so every function here is thread-safe.
 */
#if !defined(_WIN32)

#include "platform/linux/errors.h"

#include <cerrno>

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

}  // namespace

namespace orv::platform {

DWORD WindowsErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:  // Windows refuses to open a directory as a file this way
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EEXIST:  // as CreateFile reports it; CreateDirectory says ERROR_ALREADY_EXISTS
            return ERROR_FILE_EXISTS;
        case EINVAL:
        case ESRCH:  // a process id that names no process
            return ERROR_INVALID_PARAMETER;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EBUSY:
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case EILSEQ:
            return ERROR_NO_UNICODE_TRANSLATION;
        case ENOSYS:
        case EOPNOTSUPP:
            return ERROR_NOT_SUPPORTED;
        default:
            return ERROR_GEN_FAILURE;
    }
}

void SetLastErrorFromErrno(int err) { t_lastError = WindowsErrorFromErrno(err); }

}  // namespace orv::platform

DWORD GetLastError(void) { return t_lastError; }

void SetLastError(DWORD code) { t_lastError = code; }

#endif  // !_WIN32
