/*
 * The data dictionary loader's list files and file walk. The list names
 * XML files; each file is read once with the streaming reader and every
 * table element in it becomes a definition (datadict_walk.cpp builds the
 * tag tree, datadict_build.cpp the definition).
 */
#include "datastore/datadict.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "datastore/datadict_reader.h"
#include "datastore/velkra_root.h"
#include "datastore/xml_input.h"
#include "platform/win32.h"

namespace orv {

namespace {

DataDictLoadReport g_report{};

/* Calls load for every white-space separated entry of the list file.
 * Entries longer than the bound are refused with an ERROR line. */
template <typename Fn>
void ForEachListEntry(FILE* list, Fn load) {
    std::string entry;
    bool tooLong = false;
    auto finish = [&] {
        if (tooLong) {
            LogError("Data dictionary list entry longer than %d characters refused: %.40s...\n",
                     kMaxDataDictEntryLength, entry.c_str());
            g_report.entriesRefused++;
        } else if (!entry.empty()) {
            load(entry);
        }
        entry.clear();
        tooLong = false;
    };
    int ch;
    while ((ch = fgetc(list)) != EOF) {
        if (isspace(ch) || ch == '\0') {
            finish();
        } else if (entry.size() < static_cast<size_t>(kMaxDataDictEntryLength)) {
            entry.push_back(static_cast<char>(ch));
        } else {
            tooLong = true;
        }
    }
    finish();
}

/* Loads one XML file of a list, refusing a path over the bound. */
void LoadListedFile(const std::string& path) {
    if (path.size() > static_cast<size_t>(kMaxDataDictPathLength)) {
        LogError("Data dictionary path longer than %d characters refused: %.60s...\n", kMaxDataDictPathLength,
                 path.c_str());
        g_report.entriesRefused++;
        return;
    }
    LogDebug("Opening %s\n", path.c_str());
    LoadDataDictFromXMLFile(path.c_str());
}

}  // namespace

void ResetDataDictLoadReport() { g_report = DataDictLoadReport{}; }

DataDictLoadReport GetDataDictLoadReport() { return g_report; }

bool XmlDataParser(const char* path) {
    LogTrace("\n Inside XmlDataParser\n");
    // Warnings are logged at ERROR, as errors are.
    XmlFileReader in{};
    if (!OpenXmlFileReader(path, XmlWarnings::kAtError, &in)) {
        g_report.filesFailed++;
        return true;
    }

    XmlCursor cursor{in.reader, 0};
    cursor.Read();
    while (cursor.last == 1) {
        if (cursor.Type() == XML_READER_TYPE_ELEMENT && strcmp(cursor.Name(), "table") == 0) {
            XmlTagInfo* tree = WalkTable(&cursor);
            if (tree != nullptr && BuildTableDefnFromXmlTags(tree)) {
                g_report.tablesLoaded++;
            } else {
                g_report.tablesFailed++;
            }
            FreeXmlTagInfoList(tree);
            if (cursor.last != 1) break;
        } else if (cursor.Type() == XML_READER_TYPE_ELEMENT && strcmp(cursor.Name(), "description") == 0 &&
                   !cursor.IsEmptyElement()) {
            // The document's description: read and dropped.
            const int depth = cursor.Depth();
            while (cursor.Read() == 1 &&
                   !(cursor.Type() == XML_READER_TYPE_END_ELEMENT && cursor.Depth() == depth)) {
            }
            if (cursor.last != 1) {
                LogError("\nNo Description end tag\n");
                break;
            }
        }
        cursor.Read();
    }
    CloseXmlFileReader(&in);
    if (cursor.last != 1 && cursor.last != 0) {
        LogError("%s : failed to parse\n", path);
        g_report.filesFailed++;
    } else {
        g_report.filesLoaded++;
    }
    return true;
}

bool LoadDataDictFromXMLFile(const char* path) {
    LogTrace("\nInside LoadDataDictFromXMLFile() \n\n");
    if (path == nullptr) return false;
    return XmlDataParser(path);
}

bool LoadAllDataDictFiles() {
    LogTrace("\t@@@@@ Inside LoadAllDataDictFiles() @@@@@\n");
    const std::string local = std::string(kLocalDataFolder) + "datadictionary.txt";
    DataFilePlace place;
    FILE* list = OpenLibraryDataFile(local.c_str(), "datadictionary.txt", kMaxDataDictListPathLength, &place);
    if (list == nullptr) {
        if (place.tooLong) {
            LogError("Data dictionary list path longer than %d characters refused.\n", kMaxDataDictListPathLength);
        }
        LogError("Cannot open DataDictionary File.\n");
        return false;
    }
    ForEachListEntry(list, [&](const std::string& entry) { LoadListedFile(place.folder + entry); });
    fclose(list);
    return true;
}

bool LoadDataDictFiles(const char* directory) {
    LogTrace("\t@@@@@ Inside LoadDataDictFiles() @@@@@\n");
    if (directory == nullptr) return false;
    std::string prefix = std::string(directory) + "\\";
    std::string listPath = prefix + "datadictionary.txt";
    if (listPath.size() > static_cast<size_t>(kMaxDataDictPathLength)) return false;
    FILE* list = _fsopen(listPath.c_str(), "r", _SH_DENYNO);
    if (list == nullptr) return false;
    ForEachListEntry(list, [&](const std::string& entry) { LoadListedFile(prefix + entry); });
    fclose(list);
    return true;
}

}  // namespace orv
