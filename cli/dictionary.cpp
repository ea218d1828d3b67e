/*
 * The data dictionary for the sub-commands that read it without starting
 * the library (velkra tables, ddl, and select on a row document): loading
 * it, and the line that counts what did not load.
 */
#include <string>

#include "cli/cli.h"
#include "datastore/datadict.h"

namespace orv::cli {

std::string DataFileWhere(const char* name, const std::string* root) {
    std::string where = std::string("..\\data\\") + name;
    if (root != nullptr) where += " or " + *root + "/data/" + name;
    return where;
}

bool LoadDictionary(const char* command, const std::string* root) {
    if (LoadAllDataDictFiles()) return true;
    PrintError(command, "cannot open the data dictionary list (" + DataFileWhere("datadictionary.txt", root) + ")");
    return false;
}

bool ReportDictionary(const char* command) {
    DataDictLoadReport report = GetDataDictLoadReport();
    if (report.filesFailed == 0 && report.tablesFailed == 0 && report.entriesRefused == 0) return true;
    PrintError(command, std::to_string(report.filesFailed) + " file(s), " + std::to_string(report.tablesFailed) +
                            " table(s) and " + std::to_string(report.entriesRefused) +
                            " list entr(ies) of the data dictionary could not be loaded; the messages above say "
                            "where");
    return false;
}

}  // namespace orv::cli
