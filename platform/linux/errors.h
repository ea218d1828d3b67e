/*
 * Windows error codes on Linux: the one translation from errno values to the
 * codes that GetLastError and the registry calls report. Thread-safe; the
 * last error itself is per thread.
 */
#ifndef ORV_PLATFORM_LINUX_ERRORS_H
#define ORV_PLATFORM_LINUX_ERRORS_H

#include "platform/win32.h"

namespace orv::platform {

/* Returns the Windows error code that corresponds to the errno value err
 * (0 gives ERROR_SUCCESS, an errno without a counterpart ERROR_GEN_FAILURE).
 * Every part of this layer translates errno here and nowhere else. */
DWORD WindowsErrorFromErrno(int err);

/* Sets the calling thread's last error to the translation of err. */
void SetLastErrorFromErrno(int err);

}  // namespace orv::platform

#endif
