/*
 * The operating-system seam.
 *
 * Part code calls the Windows API by its own names, types and error codes.
 * On Windows this header only pulls in the system headers. On Linux it
 * declares the small subset of the API that this system uses, each entry
 * with a line on what the Linux layer emulates and what it leaves out; the
 * implementations live in platform/linux/ and are compiled on Linux only.
 *
 * Linux environment:
 *   ORV_REGISTRY_FILE  a registry export file ("Windows Registry Editor
 *                      Version 5.00") that backs the read-only registry.
 *   ORV_TICK_COUNT     a decimal millisecond count that GetTickCount returns
 *                      instead of the real uptime.
 *
 * All functions are thread-safe unless a line says otherwise.
 */
#ifndef ORV_PLATFORM_WIN32_H
#define ORV_PLATFORM_WIN32_H

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <tlhelp32.h>
#include <shlwapi.h>
#include <direct.h>
#include <share.h>
#include <stdio.h>

#else /* Linux */

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

typedef uint32_t DWORD;
typedef DWORD* LPDWORD;
typedef int32_t LONG;
typedef LONG LSTATUS;
typedef int BOOL;
typedef uint8_t BYTE;
typedef BYTE* LPBYTE;
typedef uint16_t WORD;
typedef uintptr_t ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef int64_t LONGLONG;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* HANDLE;
typedef HANDLE* PHANDLE;
typedef HANDLE HLOCAL;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef wchar_t WCHAR; /* 32-bit on Linux; texts are UTF-32 there */
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef DWORD REGSAM;
typedef unsigned int UINT;
typedef uint8_t BOOLEAN;

struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

/* Error codes, as GetLastError and the registry calls report them. */
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_BAD_LENGTH 24L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_GEN_FAILURE 31L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_DISK_FULL 39L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_DIRECTORY 267L
#define ERROR_NOT_OWNER 288L
#define ERROR_IO_PENDING 997L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_INVALID_FLAGS 1004L
#define ERROR_MR_MID_NOT_FOUND 317L

/* ---- Errors ---------------------------------------------------------- */

/* The calling thread's last error code. */
DWORD GetLastError(void);
void SetLastError(DWORD code);

/* ---- Registry (read-only, from ORV_REGISTRY_FILE) -------------------- */

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define READ_CONTROL 0x00020000L
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_ALL 0x001F0000L
#define SYNCHRONIZE 0x00100000L
#define KEY_READ ((STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY) & ~SYNCHRONIZE)
#define KEY_WRITE ((STANDARD_RIGHTS_WRITE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY) & ~SYNCHRONIZE)
#define KEY_ALL_ACCESS                                                                                   \
    ((STANDARD_RIGHTS_ALL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | \
      KEY_NOTIFY | KEY_CREATE_LINK) &                                                                    \
     ~SYNCHRONIZE)

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

/* Opens a key of the file-backed registry. Names compare without regard to
 * ASCII case. KEY_WOW64_32KEY sees HKLM\SOFTWARE\X at
 * HKLM\SOFTWARE\WOW6432Node\X, as a 64-bit process on 64-bit Windows does;
 * KEY_WOW64_64KEY or no view flag sees keys as written. Access that asks to
 * write is granted only to root (the administrator); nothing can be written.
 * Returns ERROR_FILE_NOT_FOUND for a missing key. */
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
/* Windows semantics: a null data pointer reports the size; a buffer that is
 * too small gives ERROR_MORE_DATA with the needed size; "" or null names the
 * default value (@ in the file). */
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData);
/* Fills the counts and longest-name lengths; class, security descriptor and
 * write time are reported empty. */
LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         PFILETIME lpftLastWriteTime);
/* Subkeys in index order, which is ASCII-case-insensitive name order as
 * Windows reports it. ERROR_NO_MORE_ITEMS past the end, ERROR_MORE_DATA when
 * the name does not fit *lpcchName characters plus its terminating zero. */
LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
LSTATUS RegCloseKey(HKEY hKey);

/* ---- Handles ---------------------------------------------------------- */

/* Closes any handle this layer hands out (snapshot, process, mutex, file);
 * FALSE with ERROR_INVALID_HANDLE for an unknown or already closed handle.
 * Opened registry keys are closed with RegCloseKey, not here. */
BOOL CloseHandle(HANDLE hObject);

/* ---- Processes and time ------------------------------------------------ */

#define TH32CS_SNAPPROCESS 0x00000002
#define PROCESS_TERMINATE 0x0001
#define PROCESS_QUERY_INFORMATION 0x0400
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#define PROCESS_ALL_ACCESS (STANDARD_RIGHTS_ALL | SYNCHRONIZE | 0xFFFF)
#define STILL_ACTIVE 259

typedef struct tagPROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    CHAR szExeFile[MAX_PATH];
} PROCESSENTRY32, *LPPROCESSENTRY32;

/* TH32CS_SNAPPROCESS only: the processes listed in /proc at the time of the
 * call. szExeFile is the base name of the resolved /proc/PID/exe, else of
 * argv[0]; th32ParentProcessID and cntThreads are filled, the rest is 0. */
HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
/* FALSE with ERROR_NO_MORE_FILES at the end, ERROR_BAD_LENGTH when dwSize
 * is below sizeof(PROCESSENTRY32). */
BOOL Process32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe);
BOOL Process32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe);
DWORD GetCurrentProcessId(void);
/* Opens a live process (held by a pidfd where the kernel has them, so the id
 * cannot be reused under the handle). A process that does not exist fails
 * with ERROR_INVALID_PARAMETER, one that may not be signalled with
 * ERROR_ACCESS_DENIED. Access rights are not checked beyond that. */
HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
/* STILL_ACTIVE for a running process; for an ended child of this process
 * its exit status (the child is not reaped; a child ended by a signal gives
 * 128 + the signal, or the code given to TerminateProcess through this
 * handle); otherwise 0. */
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
/* Ends the process with SIGKILL; uExitCode cannot be passed on Linux (only
 * GetExitCodeProcess on the same handle reports it, for a child). A
 * process that has already ended fails with ERROR_ACCESS_DENIED. */
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);

/* Milliseconds since boot (CLOCK_BOOTTIME), wrapping at 2^32; or the value of
 * ORV_TICK_COUNT when that holds a decimal number (low 32 bits). */
DWORD GetTickCount(void);
void Sleep(DWORD dwMilliseconds);

/* ---- Synchronisation and clock ----------------------------------------- */

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED 0xFFFFFFFFu

/* An unnamed mutex that its owning thread may take again (recursive), as a
 * Windows mutex. Named mutexes are not supported (ERROR_INVALID_PARAMETER). */
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName);
/* Mutex handles only; other handles give WAIT_FAILED with
 * ERROR_INVALID_HANDLE. Abandoned mutexes are not detected. */
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
/* FALSE with ERROR_NOT_OWNER when the caller does not own the mutex. */
BOOL ReleaseMutex(HANDLE hMutex);

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

/* Local time by the process's time zone (TZ), to the millisecond. */
void GetLocalTime(LPSYSTEMTIME lpSystemTime);
/* The kernel thread id. */
DWORD GetCurrentThreadId(void);

/* ---- C runtime file calls ---------------------------------------------- */

#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40

/* fopen with backslashes taken as directory separators; the sharing flag is
 * accepted and not enforced (Linux has no mandatory sharing modes). */
FILE* _fsopen(const char* filename, const char* mode, int shflag);
/* mkdir with mode 0777 and backslashes taken as separators; 0 or -1 with
 * errno set (EEXIST 17, ENOENT 2, ...), as the runtime's _mkdir. */
int _mkdir(const char* dirname);

/* ---- Timer queues -------------------------------------------------------- */

#define CALLBACK
#define VOID void
typedef uint32_t ULONG;
typedef VOID (CALLBACK* WAITORTIMERCALLBACK)(PVOID lpParameter, BOOLEAN TimerOrWaitFired);

#define WT_EXECUTEDEFAULT 0x00000000
#define WT_EXECUTEINIOTHREAD 0x00000001
#define WT_EXECUTEINPERSISTENTTHREAD 0x00000080
#define WT_EXECUTEINTIMERTHREAD 0x00000020
#define WT_EXECUTELONGFUNCTION 0x00000010
#define WT_EXECUTEONLYONCE 0x00000008

/* A queue with its own worker thread, which runs the callbacks of its timers
 * one at a time (Windows may run them on several pool threads at once). */
HANDLE CreateTimerQueue(void);
/* Arms a timer on TimerQueue, or on a process-wide default queue when that
 * is null: Callback(Parameter, TRUE) runs on the queue's worker thread after
 * DueTime milliseconds and then every Period milliseconds (0: once). The
 * WT_ flags are accepted and not examined. ERROR_INVALID_HANDLE for a queue
 * that is deleted or unknown. The timer lives until its queue is deleted. */
BOOL CreateTimerQueueTimer(PHANDLE phNewTimer, HANDLE TimerQueue, WAITORTIMERCALLBACK Callback, PVOID Parameter,
                           DWORD DueTime, DWORD Period, ULONG Flags);
/* Cancels every pending timer and removes the queue. CompletionEvent null:
 * does not wait for a callback that is running, and then fails with
 * ERROR_IO_PENDING (the queue still goes away once that callback returns);
 * INVALID_HANDLE_VALUE: waits for it (except when called from that callback,
 * where it cannot). Event handles are not supported (ERROR_INVALID_HANDLE). */
BOOL DeleteTimerQueueEx(HANDLE TimerQueue, HANDLE CompletionEvent);
/* DeleteTimerQueueEx(TimerQueue, null), as on Windows. */
BOOL DeleteTimerQueue(HANDLE TimerQueue);

/* ---- Files and directories ---------------------------------------------- */

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u

#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000

/* Opens or creates a file (backslashes are separators). Access 0 opens
 * without data access (size queries only). The sharing mode is accepted and
 * not enforced: Linux has no mandatory sharing, so other openers are never
 * refused. A directory opens only with FILE_FLAG_BACKUP_SEMANTICS (else
 * ERROR_ACCESS_DENIED); the other flags and attributes, security and the
 * template are ignored. TRUNCATE_EXISTING needs GENERIC_WRITE (else
 * ERROR_INVALID_PARAMETER). ERROR_FILE_NOT_FOUND for a missing file,
 * ERROR_PATH_NOT_FOUND for a missing directory on the way; CREATE_ALWAYS and
 * OPEN_ALWAYS on an existing file succeed with ERROR_ALREADY_EXISTS. The
 * handle is closed with CloseHandle. */
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
/* The size of a file opened by CreateFileA, as fstat reports it. */
BOOL GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize);

typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

/* Lists the entries of one directory whose names match the pattern's last
 * component, in case-insensitive name order, "." and ".." included as
 * readdir reports them. Matching follows Windows: '*' and '?' wildcards,
 * ASCII letter case ignored (as on NTFS, so x1.LOG matches "x*"), and a
 * trailing "*.*" matches every name, also one without a dot. Short (8.3)
 * names do not exist here. The entries are read at this call. Creation time
 * is the status-change time; FILE_ATTRIBUTE_DIRECTORY or _NORMAL, plus
 * _READONLY without write permission. ERROR_FILE_NOT_FOUND when nothing
 * matches, ERROR_PATH_NOT_FOUND when the directory is missing. */
HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData);
/* The next entry; FALSE with ERROR_NO_MORE_FILES after the last. */
BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);
/* Ends a search (CloseHandle would release it too; Windows code uses FindClose). */
BOOL FindClose(HANDLE hFindFile);

/* Copies content and permission bits, replacing the target unless
 * bFailIfExists (then ERROR_FILE_EXISTS). Times and the other attributes are
 * not copied. A failed copy removes a target it has begun to write. */
BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);
/* unlink; a directory gives ERROR_ACCESS_DENIED, as on Windows. Unlike
 * Windows, a file that is open elsewhere is removed at once. */
BOOL DeleteFileA(LPCSTR lpFileName);
/* mkdir with mode 0777; ERROR_ALREADY_EXISTS when the name exists,
 * ERROR_PATH_NOT_FOUND when the parent is missing. Security is ignored. */
BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);

/* ---- Message texts and text conversion ---------------------------------- */

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))

/* FORMAT_MESSAGE_FROM_SYSTEM only, with inserts always ignored: the text of
 * a system error code from a small English table of the codes this layer
 * reports (0, 2 to 8, 14, 18, 24, 29 to 32, 39, 50, 80, 87, 112, 122, 123,
 * 145, 183, 206, 234, 259, 267, 288, 997, 1004, 1113), each
 * ending in "\r\n" as on Windows. Any other code fails with
 * ERROR_MR_MID_NOT_FOUND. The language id is not examined. A width of 0
 * keeps the line ends; any width (0xFF included) turns each line end into a
 * blank and adds no line breaks. With FORMAT_MESSAGE_ALLOCATE_BUFFER,
 * lpBuffer is really a pointer to the pointer that receives a buffer to be
 * released with LocalFree; else the text must fit nSize characters with its
 * zero (else ERROR_INSUFFICIENT_BUFFER). Returns the characters stored
 * without the zero, 0 on failure. Other sources give ERROR_INVALID_PARAMETER. */
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                     DWORD nSize, va_list* Arguments);
/* As FormatMessageA, in UTF-32 wide characters. */
DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPWSTR lpBuffer,
                     DWORD nSize, va_list* Arguments);
/* Releases a buffer that FormatMessage allocated; null on success. */
HLOCAL LocalFree(HLOCAL hMem);

#define CP_ACP 0
#define CP_UTF8 65001
#define WC_ERR_INVALID_CHARS 0x00000080
typedef BOOL* LPBOOL;

/* UTF-32 to UTF-8 (CP_UTF8, and CP_ACP, the system's narrow code page being
 * UTF-8 here). cchWideChar -1 converts through the terminating zero and
 * counts it. cbMultiByte 0 measures. Surrogates and values above 0x10FFFF
 * become U+FFFD, or fail with ERROR_NO_UNICODE_TRANSLATION under
 * WC_ERR_INVALID_CHARS. Other flags give ERROR_INVALID_FLAGS, a default
 * character ERROR_INVALID_PARAMETER, a small buffer
 * ERROR_INSUFFICIENT_BUFFER. Returns the bytes stored, 0 on failure. */
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);
/* Removes the characters of pszTrimChars from both ends of psz in place;
 * TRUE when it removed any. */
BOOL StrTrimA(LPSTR psz, LPCSTR pszTrimChars);

#endif /* _WIN32 */

#endif /* ORV_PLATFORM_WIN32_H */
