/*
 * What the loading and the saving halves of the table I/O share: the list
 * files' look-up and their bounded lines. Internal to the library.
 */
#ifndef ORV_DATASTORE_TABLE_IO_INTERNAL_H
#define ORV_DATASTORE_TABLE_IO_INTERNAL_H

#include <cstdio>
#include <string>

namespace orv {

/* Opens "..\data\<name>" (*folder "..\data\"), else "<root>/data/<name>"
 * (*folder "<root>/data/", logging "Opening %s\n" at DEBUG) when a root is
 * set. Null when neither opens. */
FILE* OpenDataListFile(const char* name, std::string* folder);

/* Opens "<root>/data/<name>" only (logging "Opening %s\n" at DEBUG); null
 * without a root or when it does not open. */
FILE* OpenRootListFile(const char* name);

/* OUT *line: the next line without its line end ("\n" or "\r\n"). A line
 * longer than kMaxTableListLine characters is refused with an ERROR line
 * naming listName and skipped whole. False at the end of the file. */
bool ReadListLine(FILE* file, const char* listName, std::string* line);

}  // namespace orv

#endif
