/*
 * The library root and the look-up of data files under it.
 */
#include "datastore/velkra_root.h"

#include <string>

#include "agent/log.h"
#include "platform/win32.h"

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

FILE* OpenLibraryDataFile(const char* path, const char* name, size_t bound, DataFilePlace* place) {
    DataFilePlace found;
    FILE* file = nullptr;
    if (path != nullptr) {
        file = _fsopen(path, "r", _SH_DENYNO);
        const std::string given = path;
        const size_t cut = given.find_last_of("\\/");
        if (cut != std::string::npos) found.folder = given.substr(0, cut + 1);
    }
    const char* root = GetVelkraRoot();
    if (file == nullptr && root != nullptr) {
        found.folder = std::string(root) + "/data/";
        const std::string rooted = found.folder + name;
        if (rooted.size() > bound) {
            found.tooLong = true;
        } else {
            LogDebug("Opening %s\n", rooted.c_str());
            file = _fsopen(rooted.c_str(), "r", _SH_DENYNO);
        }
    }
    if (place != nullptr) *place = found;
    return file;
}

}  // namespace orv
