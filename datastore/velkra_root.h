/*
 * The library root: the directory under which the library finds its data
 * files ("<root>/data/...") and its log ("<root>/logs/velkra.log"); and
 * the one look-up of a data file: a given path (usually "..\data\<name>"
 * relative to the working directory) first, then "<root>/data/<name>".
 *
 * The library keeps a copy of the caller's text: the caller's own text may
 * go away at once. Set at start-up, before other threads run; the root is
 * forgotten at shutdown (DeInitVelkra).
 */
#ifndef ORV_DATASTORE_VELKRA_ROOT_H
#define ORV_DATASTORE_VELKRA_ROOT_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace orv {

/* The folder a data file is looked for in first, relative to the working
 * directory. */
constexpr const char* kLocalDataFolder = "..\\data\\";

/* Where OpenLibraryDataFile found its file. */
struct DataFilePlace {
    /* The folder the file was opened from, with its separator at the end:
     * the path's own (up to its last "\" or "/"; "" for a bare name), or
     * "<root>/data/". */
    std::string folder;
    /* "<root>/data/<name>" was longer than the bound and was not tried. */
    bool tooLong = false;
};

/* Opens path for reading when it is given, else (or when it does not
 * open) "<root>/data/<name>" when the library root is set and that path is
 * at most bound characters, logging "Opening %s\n" at DEBUG before it
 * tries it. Null when neither opens. OUT *place (when not null). */
FILE* OpenLibraryDataFile(const char* path, const char* name, size_t bound, DataFilePlace* place);

/* Logs "@@@ Inside SetVelkraRoot @@@\n" at TRACE. A null path logs "Default
 * Path Used" at DEBUG and leaves the root as it was; otherwise the root
 * becomes a copy of the path (and the log writer falls back on it). */
void SetVelkraRoot(const char* path);

/* The root, or null when none was set. The text stays valid until the
 * next SetVelkraRoot or ClearVelkraRoot. */
const char* GetVelkraRoot();

/* Forgets the root (and the log writer's copy of it). */
void ClearVelkraRoot();

}  // namespace orv

#endif
