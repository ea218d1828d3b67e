/*
 * Result code texts. The system's message table is asked first, this
 * file's table answers for codes that the system does not know. Stateless
 * apart from the log; thread-safe.
 */
#include "agent/result_messages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent/log.h"

namespace orv {
namespace {

constexpr size_t kResultTextSize = 4096;

// System messages: from the system only, inserts ignored, on one line.
constexpr DWORD kMessageFlags =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
constexpr DWORD kOneLine = 0xFF;  // FORMAT_MESSAGE_MAX_WIDTH_MASK
constexpr DWORD kNeutralLanguage = 0x400;  // MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)

struct ResultText {
    uint32_t code;
    const char* text;
};

const ResultText kResultTexts[] = {
    {1508, "The requested operation is successful. Changes will not be effective until the browser is rebooted."},
    {10001, "zr.db.agent.config.script.powerscript_notfound"},
    {10002, "zr.db.agent.config.run_as_admin.credentials_not_available"},
    {10003, "zr.db.agent.config.returned_zero_failure"},
    {17021, "OfficeUpdateError: Creating temp folder."},
    {17023, "OfficeUpdateError: User cancelled installation."},
    {17024, "OfficeUpdateError: Creating folder failed."},
    {17025, "OfficeUpdateError: Patch already installed."},
    {17026, "OfficeUpdateError: Patch already installed to admin installation."},
    {17027, "OfficeUpdateError: Installation source requires full file update."},
    {17028, "OfficeUpdateError: No product installed for contained patch."},
    {17029, "OfficeUpdateError: Patch failed to install."},
    {17030, "OfficeUpdateError: Invalid CIF format."},
    {17031, "OfficeUpdateError: Invalid baseline."},
    {17034, "OfficeUpdateError: Required patch does not apply to the machine."},
    {17038,
     "OfficeUpdateError: You do not have sufficient privileges to complete this installation for all users of the "
     "machine. Log on as administrator and then retry this installation."},
    {17044, "OfficeUpdateError: Installer was unable to run detection for this package."},
    {17048, "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater."},
    {17301, "OfficeUpdateError: General Detection error"},
    {17302, "OfficeUpdateError: Applying patch."},
    {17303, "OfficeUpdateError: Extracting file."},
    {20001, "Patch update delayed since application is used by another process"},
    {0x00240006, "Patch already Installed and the changes will not be effective until the system is rebooted."},
    {0x00240007, "Patch already Uninstalled and the changes will not be effective until the system is rebooted."},
};

/* Logs the code's text: INFO for 0, ERROR otherwise. */
void LogCodeText(int32_t code, const char* text) {
    if (code != 0) {
        LogError("Error Code : %d , Error Message : %s \n", code, text);
    } else {
        LogInfo("Message : %s \n", text);
    }
}

}  // namespace

char* GetResultCodeText(uint32_t code) {
    char* text = static_cast<char*>(calloc(kResultTextSize, 1));
    if (text == nullptr) return nullptr;
    for (const ResultText& entry : kResultTexts) {
        if (entry.code == code) {
            snprintf(text, kResultTextSize, "%s", entry.text);
            return text;
        }
    }
    snprintf(text, kResultTextSize, "Unknown Error. Code : %d", static_cast<int>(static_cast<int32_t>(code)));
    return text;
}

bool WideToUtf8(const WCHAR* text, char** out) {
    *out = nullptr;
    if (text == nullptr) return false;
    int needed = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    size_t size = needed > 0 ? static_cast<size_t>(needed) + 1 : 1;
    *out = static_cast<char*>(calloc(size, 1));
    if (*out != nullptr && needed > 0 &&
        WideCharToMultiByte(CP_UTF8, 0, text, -1, *out, needed, nullptr, nullptr) > 0) {
        return true;
    }
    DWORD error = GetLastError();
    char* message = nullptr;
    FormatMessageA(kMessageFlags, nullptr, error, kNeutralLanguage, reinterpret_cast<LPSTR>(&message), 0, nullptr);
    LogError(" Error Message: %s\n", message != nullptr ? message : "");
    LocalFree(message);
    return false;
}

char* DescribeResultCode(int32_t code) {
    WCHAR* system = nullptr;
    DWORD length = FormatMessageW(kMessageFlags | kOneLine, nullptr, static_cast<DWORD>(code), kNeutralLanguage,
                                  reinterpret_cast<LPWSTR>(&system), 0, nullptr);
    char* text = nullptr;
    if (length > 0 && system != nullptr) {
        WideToUtf8(system, &text);  // a failed conversion keeps what was converted
    } else {
        text = GetResultCodeText(static_cast<uint32_t>(code));
    }
    LogCodeText(code, text != nullptr ? text : "");
    LocalFree(system);
    return text;
}

void LogResultCode(int32_t code) { free(DescribeResultCode(code)); }

int LogResultCodeAnsi(int32_t code) {
    char* system = nullptr;
    DWORD length = FormatMessageA(kMessageFlags | kOneLine, nullptr, static_cast<DWORD>(code), kNeutralLanguage,
                                  reinterpret_cast<LPSTR>(&system), 0, nullptr);
    char* text;
    if (length > 0 && system != nullptr) {
        size_t n = strlen(system);
        text = static_cast<char*>(calloc(n + 2, 1));
        if (text != nullptr) {
            memcpy(text, system, n);
            StrTrimA(text, " \t\r\n");
        }
        LocalFree(system);
    } else {
        text = GetResultCodeText(static_cast<uint32_t>(code));
    }
    LogCodeText(code, text != nullptr ? text : "");
    free(text);
    return 0;
}

}  // namespace orv
