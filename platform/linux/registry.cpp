/*
 * The read-only registry calls (RegOpenKeyExA, RegQueryValueExA,
 * RegQueryInfoKeyA, RegEnumKeyExA, RegCloseKey) over the tree read from the
 * file named by ORV_REGISTRY_FILE. The tree is loaded at the first call and
 * then only read; an opened key holds the tree it was opened in. Registry
 * calls report their result as a return value and leave the last error
 * alone, as on Windows. Thread-safe.
 */
#if !defined(_WIN32)

#include "platform/linux/registry.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/handles.h"
#include "platform/linux/registry_file.h"

namespace orv::platform {
namespace {

// Write rights: any of these is granted to the administrator (root) only.
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x00010000 /* DELETE */ |
                                0x00040000 /* WRITE_DAC */ | 0x00080000 /* WRITE_OWNER */;

struct RegistryKeyObject : HandleObject {
    static constexpr HandleKind kKind = HandleKind::RegistryKey;
    RegistryKeyObject() : HandleObject(kKind) {}

    std::shared_ptr<const RegistryTree> tree;
    const RegistryKeyNode* node = nullptr;  // inside *tree
    RegistryRoot root = kLocalMachine;
    std::vector<std::string> path;  // key names below the root, as stored
};

std::mutex g_treeLock;
std::shared_ptr<const RegistryTree> g_tree;  // null until loaded

std::shared_ptr<const RegistryTree> CurrentTree() {
    std::lock_guard guard(g_treeLock);
    if (!g_tree) {
        const char* file = std::getenv("ORV_REGISTRY_FILE");
        if (file && *file) {
            g_tree = LoadRegistryFile(file);
        } else {
            g_tree = ParseRegistryText("", "");
        }
    }
    return g_tree;
}

// A key named by an HKEY: a predefined root or an opened key.
struct KeyRef {
    std::shared_ptr<const RegistryTree> tree;
    const RegistryKeyNode* node = nullptr;
    RegistryRoot root = kLocalMachine;
    std::vector<std::string> path;
};

// Returns ERROR_SUCCESS and fills ref, or ERROR_INVALID_HANDLE.
LSTATUS ResolveKey(HKEY hKey, KeyRef& ref, bool wantPath) {
    uintptr_t value = reinterpret_cast<uintptr_t>(hKey);
    uintptr_t first = reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
    if (value >= first && value - first < kRootCount) {
        ref.tree = CurrentTree();
        ref.root = static_cast<RegistryRoot>(value - first);
        ref.node = &ref.tree->roots[ref.root];
        return ERROR_SUCCESS;
    }
    std::shared_ptr<RegistryKeyObject> key = FindHandle<RegistryKeyObject>(reinterpret_cast<HANDLE>(hKey));
    if (!key) return ERROR_INVALID_HANDLE;
    ref.tree = key->tree;
    ref.node = key->node;
    ref.root = key->root;
    if (wantPath) ref.path = key->path;
    return ERROR_SUCCESS;
}

std::vector<std::string> SplitKeyPath(const char* subKey) {
    std::vector<std::string> names;
    std::string name;
    for (const char* p = subKey ? subKey : ""; *p; ++p) {
        if (*p != '\\') {
            name += *p;
        } else if (!name.empty()) {
            names.push_back(std::move(name));
            name.clear();
        }
    }
    if (!name.empty()) names.push_back(std::move(name));
    return names;
}

}  // namespace

void ReloadRegistryForTesting() {
    std::shared_ptr<const RegistryTree> old;
    std::lock_guard guard(g_treeLock);
    old = std::move(g_tree);
    g_tree.reset();
}

}  // namespace orv::platform

using namespace orv::platform;

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    (void)ulOptions;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if ((samDesired & KEY_WOW64_32KEY) && (samDesired & KEY_WOW64_64KEY)) return ERROR_INVALID_PARAMETER;
    KeyRef base;
    LSTATUS status = ResolveKey(hKey, base, true);
    if (status != ERROR_SUCCESS) return status;

    std::vector<std::string> added = SplitKeyPath(lpSubKey);
    // The 32-bit view redirects HKLM\SOFTWARE\X to HKLM\SOFTWARE\WOW6432Node\X
    // where the opened path crosses SOFTWARE; a key opened below that point
    // already lies in one view or the other.
    if ((samDesired & KEY_WOW64_32KEY) && base.root == kLocalMachine && base.path.size() <= 1) {
        std::vector<std::string> full = base.path;
        full.insert(full.end(), added.begin(), added.end());
        bool crossesSoftware = !full.empty() && FoldRegistryName(full[0]) == "SOFTWARE" &&
                               !(base.path.size() == 1 && added.empty());
        if (crossesSoftware && !(full.size() >= 2 && FoldRegistryName(full[1]) == "WOW6432NODE")) {
            added.insert(added.begin() + static_cast<std::ptrdiff_t>(1 - base.path.size()), "WOW6432Node");
        }
    }

    const RegistryKeyNode* node = base.node;
    std::vector<std::string> path = std::move(base.path);
    for (const std::string& name : added) {
        node = FindSubkey(*node, name);
        if (!node) return ERROR_FILE_NOT_FOUND;
        path.push_back(node->name);
    }
    if ((samDesired & kWriteRights) && geteuid() != 0) return ERROR_ACCESS_DENIED;

    auto key = std::make_shared<RegistryKeyObject>();
    key->tree = std::move(base.tree);
    key->node = node;
    key->root = base.root;
    key->path = std::move(path);
    *phkResult = reinterpret_cast<HKEY>(AddHandle(std::move(key)));
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    KeyRef key;
    LSTATUS status = ResolveKey(hKey, key, false);
    if (status != ERROR_SUCCESS) return status;
    auto it = key.node->values.find(FoldRegistryName(lpValueName ? lpValueName : ""));
    if (it == key.node->values.end()) return ERROR_FILE_NOT_FOUND;
    const RegistryValue& value = it->second;
    DWORD size = static_cast<DWORD>(value.data.size());
    if (lpType) *lpType = value.type;
    if (!lpcbData) return ERROR_SUCCESS;
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(lpData, value.data.data(), size);
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         PFILETIME lpftLastWriteTime) {
    if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    KeyRef key;
    LSTATUS status = ResolveKey(hKey, key, false);
    if (status != ERROR_SUCCESS) return status;
    if (lpClass) {
        if (*lpcchClass == 0) return ERROR_MORE_DATA;
        lpClass[0] = '\0';
    }
    if (lpcchClass) *lpcchClass = 0;

    size_t maxSubKey = 0, maxName = 0, maxData = 0;
    for (const auto& entry : key.node->subkeys) maxSubKey = std::max(maxSubKey, entry.second->name.size());
    for (const auto& entry : key.node->values) {
        maxName = std::max(maxName, entry.second.name.size());
        maxData = std::max(maxData, entry.second.data.size());
    }
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.node->subkeys.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = static_cast<DWORD>(maxSubKey);
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(key.node->values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = static_cast<DWORD>(maxName);
    if (lpcbMaxValueLen) *lpcbMaxValueLen = static_cast<DWORD>(maxData);
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                      LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    KeyRef key;
    LSTATUS status = ResolveKey(hKey, key, false);
    if (status != ERROR_SUCCESS) return status;
    const auto& subkeys = key.node->subkeys;
    if (dwIndex >= subkeys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = subkeys.begin();
    std::advance(it, dwIndex);  // the map's order is the enumeration order
    const std::string& name = it->second->name;
    if (name.size() + 1 > *lpcchName) return ERROR_MORE_DATA;
    std::memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass) {
        if (*lpcchClass > 0) lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
    uintptr_t value = reinterpret_cast<uintptr_t>(hKey);
    uintptr_t first = reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
    if (value >= first && value - first < kRootCount) return ERROR_SUCCESS;
    if (!RemoveHandle(reinterpret_cast<HANDLE>(hKey), HandleKind::RegistryKey)) return ERROR_INVALID_HANDLE;
    return ERROR_SUCCESS;
}

#endif  // !_WIN32
