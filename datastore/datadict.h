/*
 * The data dictionary loader: the list file datadictionary.txt names XML
 * files; each is read in one pass with libxml2's streaming reader, a small
 * tree of tag records is built for each table element, turned into a
 * TableDefn and appended to gv_tableDefnVect.
 *
 * The list file: entries separated by white space, each one XML file name
 * of at most 127 characters (a longer entry is refused with an ERROR line
 * and skipped); a path longer than 259 characters is refused the same way.
 *
 * Errors inside a file are logged and loading goes on with the next table
 * or file. Not thread-safe: the loader runs at start-up.
 */
#ifndef ORV_DATASTORE_DATADICT_H
#define ORV_DATASTORE_DATADICT_H

#include <cstdint>

namespace orv {

/* Bounds of the list file's entries and the paths built from them. */
constexpr int kMaxDataDictEntryLength = 127;
constexpr int kMaxDataDictPathLength = 259;
constexpr int kMaxDataDictListPathLength = 131;

/* One recorded XML element of the table being loaded. */
struct XmlTagInfo {
    char* tagName;
    char** attributeNames;
    char** attributeValues;
    int32_t attributeCount;
    char** values;
    int32_t valueCount;
    XmlTagInfo* firstChild;
    XmlTagInfo* nextSibling;
};

/* What the last load saw, for callers that want to report it (the velkra
 * command): counted since the last ResetDataDictLoadReport. */
struct DataDictLoadReport {
    int32_t filesLoaded;    /* XML files read to their end */
    int32_t filesFailed;    /* not opened, refused, or not well-formed */
    int32_t entriesRefused; /* list entries or paths over their bounds */
    int32_t tablesLoaded;   /* definitions added */
    int32_t tablesFailed;   /* table elements that gave no definition */
};

void ResetDataDictLoadReport();
DataDictLoadReport GetDataDictLoadReport();

/* Loads "..\data\datadictionary.txt" (relative to the working directory),
 * else "<root>/data/datadictionary.txt", and every file it lists. False
 * only when no list file opens ("Cannot open DataDictionary File.\n"). */
bool LoadAllDataDictFiles();

/* Loads "<directory>\datadictionary.txt" and its entries from the same
 * directory. False, without a message, when the list cannot be opened. */
bool LoadDataDictFiles(const char* directory);

/* Loads the tables of one XML file. False only for a null path. */
bool LoadDataDictFromXMLFile(const char* path);

/* Runs the file walk over one XML file; always true. */
bool XmlDataParser(const char* path);

/* A new zero-filled tag record, or null when memory runs out. */
XmlTagInfo* CreateandInitXmlTagInfo();

/* Frees a record, its children and its following siblings, with all their
 * texts. Null is ignored. */
void FreeXmlTagInfoList(XmlTagInfo* tag);

/* Builds a definition from the tree of one table element and adds it with
 * AddTableDefn. True when a definition was added. */
bool BuildTableDefnFromXmlTags(const XmlTagInfo* table);

}  // namespace orv

#endif
