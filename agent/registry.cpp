/*
 * The agent's registry readers. Keys are opened in the 32-bit view, where
 * the 32-bit agent keeps its settings. Thread-safe.
 */
#include "agent/registry.h"

#include <cstdlib>

#include "agent/log.h"

namespace orv {

const char* const kAgentRegistryKey = "Software\\Orvalis\\Stelvane\\ZRAgent";
const char* const kAgentPatchKey = "SOFTWARE\\Orvalis\\Stelvane\\ZRAgent\\Patch\\";

namespace {
constexpr REGSAM kSettingsAccess = KEY_QUERY_VALUE | KEY_WOW64_32KEY;
constexpr DWORD kSpareZeroBytes = 5;
}  // namespace

LONG ReadRegSZ(HKEY root, const char* subKey, const char* valueName, char** out) {
    *out = nullptr;
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(root, subKey, 0, kSettingsAccess, &key);
    if (rc != ERROR_SUCCESS) {
        LogError("ReadRegSZ: Error while opening registry key %s ,and the error is  %d \n", subKey,
                 static_cast<int>(rc));
        return rc;
    }
    DWORD size = 0;
    rc = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size);
    if (rc != ERROR_SUCCESS) {
        RegCloseKey(key);
        return rc;
    }
    // Five spare zero bytes keep the text terminated even when the stored
    // value carries no terminating zero.
    char* buffer = static_cast<char*>(calloc(static_cast<size_t>(size) + kSpareZeroBytes, 1));
    if (buffer == nullptr) {
        RegCloseKey(key);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    *out = buffer;
    DWORD readSize = size;
    rc = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer), &readSize);
    if (rc != ERROR_SUCCESS) LogError("ReadRegSZ: Error while reading DWORD value! %d \n", static_cast<int>(rc));
    RegCloseKey(key);
    return rc;
}

LONG ReadDwordRegistryData(HKEY root, const char* subKey, const char* valueName, DWORD* out) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(root, subKey, 0, kSettingsAccess, &key);
    if (rc == ERROR_FILE_NOT_FOUND) {
        LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", valueName, static_cast<int>(rc));
        return rc;
    }
    if (rc != ERROR_SUCCESS) {
        LogError("ReadDwordRegistryData: Error while opening registry key %s,and the errorcode is : %d \n", subKey,
                 static_cast<int>(rc));
        return rc;
    }
    DWORD value = 0;
    DWORD size = sizeof(value);
    rc = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
    if (rc == ERROR_SUCCESS) {
        *out = value;
    } else if (rc == ERROR_FILE_NOT_FOUND) {
        LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", valueName, static_cast<int>(rc));
    } else {
        LogError("ReadDwordRegistryData: Error while reading DWORD value of %s : %d \n", valueName,
                 static_cast<int>(rc));
    }
    RegCloseKey(key);
    return rc;
}

LONG ReadAgentInstallDir(char** out) {
    return ReadRegSZ(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "ZRAgentInstallDir", out);
}

LONG ReadEventEnabled(int32_t* flag) {
    DWORD value = 0;
    if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kAgentRegistryKey, "ZREventEnabled", &value) == ERROR_SUCCESS) {
        *flag = static_cast<int32_t>(value);
    } else {
        *flag = 1;
    }
    return 0;
}

}  // namespace orv
