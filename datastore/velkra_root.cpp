/*
 * The library root.
 */
#include "datastore/velkra_root.h"

#include "agent/log.h"

namespace orv {

namespace {
const char* g_root = nullptr;
}  // namespace

void SetVelkraRoot(const char* path) {
    LogTrace("@@@ Inside SetVelkraRoot @@@\n");
    if (path == nullptr) {
        LogDebug("Default Path Used");
        return;
    }
    g_root = path;
    SetLogLibraryRoot(path);
}

const char* GetVelkraRoot() { return g_root; }

}  // namespace orv
