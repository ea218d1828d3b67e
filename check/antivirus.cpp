/*
 * Antivirus detection in one registry view. Thread-safe.
 */
#include "check/antivirus.h"

#include <cstdint>
#include <cstring>

#include "agent/log.h"
#include "check/text.h"

namespace orv {

const char* const kUninstallKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char* const kAntivirusDisplayName = "Symantec Endpoint Protection";
const char* const kAntivirusMinimumVersion = "14.2.758.0000";

namespace {

constexpr DWORD kValueBufferSize = 512;
constexpr DWORD kMaxSubkeyNameLength = 255;

/* The value's bytes as a terminated text, or false when it cannot be read
 * (missing, or larger than the buffer). */
bool ReadValueText(HKEY key, const char* valueName, char (&buffer)[kValueBufferSize + 1]) {
    memset(buffer, 0, sizeof(buffer));
    DWORD size = kValueBufferSize;
    return RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &size) ==
           ERROR_SUCCESS;
}

/* One component of a version from *pos up to "." or the end; *pos ends on
 * the "." or the end. */
int32_t ReadComponent(const char* text, size_t length, size_t* pos) {
    uint32_t value = 0;
    while (*pos < length && text[*pos] != '.') {
        int32_t digit = static_cast<int32_t>(static_cast<signed char>(text[*pos])) - 48;
        value = value * 10u + static_cast<uint32_t>(digit);
        ++*pos;
    }
    return static_cast<int32_t>(value);
}

}  // namespace

int CompareVersions(const char* installed, const char* required) {
    size_t installedLength = strlen(installed);
    size_t requiredLength = strlen(required);
    size_t i = 0;
    size_t r = 0;
    while (i < installedLength || r < requiredLength) {
        int32_t a = i < installedLength ? ReadComponent(installed, installedLength, &i) : 0;
        int32_t b = r < requiredLength ? ReadComponent(required, requiredLength, &r) : 0;
        if (b < a) return 1;
        if (b > a) return -1;
        ++i;  // past the "." or the end
        ++r;
    }
    return 0;
}

std::vector<std::string> ListSubkeyNames(HKEY key) {
    std::vector<std::string> names;
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        count = 0;
    }
    for (DWORD index = 0; index < count; ++index) {
        char name[kMaxSubkeyNameLength + 1] = {};
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
        names.emplace_back(name, strnlen(name, kMaxSubkeyNameLength));
    }
    return names;
}

bool CheckAntivirusFix(bool view64) {
    // The 32-bit view is the default view of the 32-bit agent: ask for it
    // explicitly so that a 64-bit build reads the same branch.
    const REGSAM view = view64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const char* label = view64 ? "x64" : "x86";

    HKEY uninstall = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, KEY_READ | view, &uninstall);
    if (rc != ERROR_SUCCESS) {
        LogError("Unable to open registry path ( %s ). Failed with error %ld\n", kUninstallKeyPath,
                 static_cast<long>(rc));
        return false;
    }
    std::vector<std::string> names = ListSubkeyNames(uninstall);
    RegCloseKey(uninstall);

    // The view is clear when no entry matches, or when the last matching
    // entry whose version was read is at or above the minimum and no
    // matching entry's version was unreadable.
    bool found = false;
    bool verdict = true;
    bool versionUnreadable = false;
    for (const std::string& name : names) {
        std::string path = std::string(kUninstallKeyPath) + "\\" + name;
        HKEY entry = nullptr;
        // Read access is enough: a run without administrative rights must
        // still see every entry.
        rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &entry);
        if (rc != ERROR_SUCCESS) {
            LogError("Unable to open registry path ( %s ). Failed with error %ld\n", path.c_str(),
                     static_cast<long>(rc));
            continue;
        }
        char value[kValueBufferSize + 1];
        if (!ReadValueText(entry, "DisplayName", value)) {
            LogError("Failed with read DisplayName in Registry path ( %s )\n", path.c_str());
            RegCloseKey(entry);
            continue;
        }
        if (!EqualsIgnoreAsciiCase(value, kAntivirusDisplayName)) {
            RegCloseKey(entry);
            continue;
        }
        LogInfo("Symantec Antivirus detected..!\n");
        found = true;
        if (ReadValueText(entry, "DisplayVersion", value)) {
            LogInfo("Installed symantec version: %s\n", value);
            verdict = CompareVersions(value, kAntivirusMinimumVersion) != -1;
        } else {
            // Nothing shows that this copy has its fix: it keeps the view
            // from being clear, whatever the other entries say.
            LogError("Failed with read DisplayVersion in Registry path ( %s )\n", path.c_str());
            versionUnreadable = true;
        }
        RegCloseKey(entry);
    }

    if (!found) {
        LogInfo("Symantec Av (%s) is not installed in this system.\n", label);
        return true;
    }
    if (verdict && !versionUnreadable) {
        LogInfo("Symantec Av (%s) is detected but fix is already installed.\n", label);
        return true;
    }
    LogInfo("Symantec Av (%s) is detected but fix is not installed. so returning..\n", label);
    return false;
}

}  // namespace orv
