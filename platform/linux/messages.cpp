/*
 * System message texts and text conversion: FormatMessageA/W over a small
 * English table of the error codes this layer reports, LocalFree for their
 * buffers, WideCharToMultiByte (UTF-32 to UTF-8) and StrTrimA. Stateless
 * and thread-safe.
 */
#if !defined(_WIN32)

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32.h"

namespace orv::platform {
namespace {

struct SystemMessage {
    DWORD code;
    const char* text;
};

// The Windows wording, each text ending in its line end as on Windows.
const SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n"},
    {18, "There are no more files.\r\n"},
    {24, "The program issued a command but the command length is incorrect.\r\n"},
    {29, "The system cannot write to the specified device.\r\n"},
    {30, "The system cannot read from the specified device.\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {39, "The disk is full.\r\n"},
    {50, "The request is not supported.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {145, "The directory is not empty.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {267, "The directory name is invalid.\r\n"},
    {288, "Attempt to release mutex not owned by caller.\r\n"},
    {997, "Overlapped I/O operation is in progress.\r\n"},
    {1004, "Invalid flags.\r\n"},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
};

/* The message of code as FormatMessage would store it for these flags, in
 * *out; false (with the last error set) when there is none. */
bool SystemMessageText(DWORD flags, DWORD code, std::string* out) {
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 ||
        (flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    for (const SystemMessage& m : kSystemMessages) {
        if (m.code != code) continue;
        bool oneLine = (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) != 0;
        out->clear();
        for (const char* p = m.text; *p != '\0'; ++p) {
            if (oneLine && p[0] == '\r' && p[1] == '\n') {
                out->push_back(' ');  // regular line ends become blanks; no breaks are added
                ++p;
            } else {
                out->push_back(*p);
            }
        }
        return true;
    }
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return false;
}

/* Stores text (ASCII) into the caller's buffer or a new one, as Char. */
template <class Char>
DWORD StoreMessage(DWORD flags, const std::string& text, Char* buffer, DWORD nSize) {
    size_t n = text.size();
    Char* target;
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        if (buffer == nullptr) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        size_t count = n + 1 > nSize ? n + 1 : nSize;
        target = static_cast<Char*>(calloc(count, sizeof(Char)));
        if (target == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        *reinterpret_cast<Char**>(buffer) = target;
    } else {
        if (buffer == nullptr || n + 1 > nSize) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        target = buffer;
    }
    for (size_t i = 0; i < n; ++i) target[i] = static_cast<Char>(static_cast<unsigned char>(text[i]));
    target[n] = 0;
    return static_cast<DWORD>(n);
}

/* Appends the UTF-8 form of code point c to out. */
void PutUtf8(uint32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace
}  // namespace orv::platform

using namespace orv::platform;

DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                     DWORD nSize, va_list* Arguments) {
    (void)lpSource;
    (void)dwLanguageId;
    (void)Arguments;
    std::string text;
    if (!SystemMessageText(dwFlags, dwMessageId, &text)) return 0;
    return StoreMessage<CHAR>(dwFlags, text, lpBuffer, nSize);
}

DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPWSTR lpBuffer,
                     DWORD nSize, va_list* Arguments) {
    (void)lpSource;
    (void)dwLanguageId;
    (void)Arguments;
    std::string text;
    if (!SystemMessageText(dwFlags, dwMessageId, &text)) return 0;
    return StoreMessage<WCHAR>(dwFlags, text, lpBuffer, nSize);
}

HLOCAL LocalFree(HLOCAL hMem) {
    free(hMem);
    return nullptr;
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
    if (CodePage != CP_UTF8 && CodePage != CP_ACP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if ((dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr ||
        (cbMultiByte > 0 && lpMultiByteStr == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count = cchWideChar == -1 ? wcslen(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        uint32_t c = static_cast<uint32_t>(lpWideCharStr[i]);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            if ((dwFlags & WC_ERR_INVALID_CHARS) != 0) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            c = 0xFFFD;
        }
        PutUtf8(c, &out);
    }
    if (out.size() > 0x7FFFFFFFu) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int needed = static_cast<int>(out.size());
    if (cbMultiByte == 0) return needed;
    if (needed > cbMultiByte) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpMultiByteStr, out.data(), out.size());
    return needed;
}

BOOL StrTrimA(LPSTR psz, LPCSTR pszTrimChars) {
    if (psz == nullptr || pszTrimChars == nullptr) return FALSE;
    size_t length = strlen(psz);
    size_t start = 0;
    while (start < length && strchr(pszTrimChars, psz[start]) != nullptr) ++start;
    size_t end = length;
    while (end > start && strchr(pszTrimChars, psz[end - 1]) != nullptr) --end;
    if (start == 0 && end == length) return FALSE;
    memmove(psz, psz + start, end - start);
    psz[end - start] = '\0';
    return TRUE;
}

#endif  // !_WIN32
