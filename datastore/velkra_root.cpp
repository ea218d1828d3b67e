/*
 * The library root.
 */
#include "datastore/velkra_root.h"

#include <string>

#include "agent/log.h"

namespace orv {

namespace {
/* Heap-held so that no destructor runs at process exit while a late
 * caller might still read the root. */
std::string* g_root = nullptr;
}  // namespace

void SetVelkraRoot(const char* path) {
    LogTrace("@@@ Inside SetVelkraRoot @@@\n");
    if (path == nullptr) {
        LogDebug("Default Path Used");
        return;
    }
    if (g_root == nullptr) {
        g_root = new std::string(path);
    } else {
        *g_root = path;
    }
    SetLogLibraryRoot(g_root->c_str());
}

const char* GetVelkraRoot() { return g_root != nullptr ? g_root->c_str() : nullptr; }

void ClearVelkraRoot() {
    delete g_root;
    g_root = nullptr;
    SetLogLibraryRoot(nullptr);
}

}  // namespace orv
