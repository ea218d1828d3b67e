/*
 * The in-memory registry and its reader for registry export files (the text
 * that regedit and `reg export` write). A tree is built once by
 * ParseRegistryText and only read afterwards, so a finished tree may be
 * shared by any number of threads.
 */
#ifndef ORV_PLATFORM_LINUX_REGISTRY_FILE_H
#define ORV_PLATFORM_LINUX_REGISTRY_FILE_H

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace orv::platform {

struct RegistryValue {
    std::string name;  // as written; "" for the default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegistryKeyNode {
    std::string name;  // as first written
    // Both maps are keyed by FoldRegistryName of the name.
    std::map<std::string, std::unique_ptr<RegistryKeyNode>> subkeys;
    std::map<std::string, RegistryValue> values;
};

/* The four roots, in the order of their HKEY values. */
enum RegistryRoot { kClassesRoot = 0, kCurrentUser = 1, kLocalMachine = 2, kUsers = 3, kRootCount = 4 };

struct RegistryTree {
    RegistryKeyNode roots[kRootCount];
};

/* Returns name with ASCII lower-case letters made upper-case: the key under
 * which names compare without regard to case, and whose byte order is the
 * order in which Windows enumerates subkeys. */
std::string FoldRegistryName(std::string_view name);

/* Returns the subkey of key named name (any case), or null. */
const RegistryKeyNode* FindSubkey(const RegistryKeyNode& key, std::string_view name);

/* Builds a tree from the bytes of an export file (UTF-8 with or without a
 * byte-order mark, or UTF-16LE with one). Every malformed line is skipped
 * after one line "orv registry: FILE:LINE: malformed line skipped" on
 * standard error, with fileName as FILE. Never fails. */
std::unique_ptr<RegistryTree> ParseRegistryText(std::string_view bytes, const std::string& fileName);

/* Reads and parses the file at path; an unreadable file gives an empty tree
 * without a message. */
std::unique_ptr<RegistryTree> LoadRegistryFile(const std::string& path);

}  // namespace orv::platform

#endif
