/*
 * velkra select: the rows of one table of an XML row document, selected
 * by a criteria text, in the printed layout of the library.
 */
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/cmd_library.h"
#include "cli/commands.h"
#include "datastore/criteria.h"
#include "datastore/relvar.h"
#include "datastore/relvar_xml.h"
#include "datastore/seqgen.h"
#include "datastore/table_defn.h"
#include "datastore/velkra_root.h"

namespace orv::cli {

const char kSelectHelp[] =
    "usage: velkra select [--root DIR] --xml ROWS.xml TABLE [CRITERIA]\n"
    "       velkra select --root DIR TABLE [CRITERIA]\n"
    "\n"
    "Loads the data dictionary (as 'velkra tables' does), imports the XML row\n"
    "document into memory and prints the rows of TABLE that the criteria text\n"
    "selects (every row without one), in document order: the column names,\n"
    "each followed by a tab, then one line per row with each value followed\n"
    "by a tab; NULL for a missing value.\n"
    "\n"
    "Criteria compare a column with a literal: NAME = 'x', AGE >= 18,\n"
    "5 > AGE; joined by 'and' / 'or' (lower case; one precedence, grouping\n"
    "to the right) and grouped with parentheses.\n"
    "\n"
    "Columns with a generator and no value in the document are numbered from\n"
    "1 in memory (no database is used).\n"
    "\n"
    "Without --xml the library is started on DIR (as 'velkra init' does), the\n"
    "table is loaded from its data source unless loadtablelist.txt loaded it,\n"
    "and its rows are printed the same way.\n"
    "\n"
    "options:\n"
    "  --root DIR       the library root\n"
    "  --xml ROWS.xml   the row document (without it: the database)\n"
    "  --help           this text\n"
    "\n"
    "Exit status: 0 done, 1 when the dictionary, the document, the table or\n"
    "the criteria fail (one line on standard error says which), 2 on a usage\n"
    "error.\n";

namespace {

/* Primes every generator of the loaded definitions with an in-memory
 * sequence from 1. */
void PrimeGenerators() {
    Vector* list = GetTableDefnList();
    for (VectorNode* t = list ? ElementAt(list, 0) : nullptr; t != nullptr; t = t->next) {
        auto* defn = static_cast<TableDefn*>(t->element);
        for (VectorNode* c = defn->columns ? ElementAt(defn->columns, 0) : nullptr; c != nullptr; c = c->next) {
            auto* column = static_cast<ColumnDefnEntry*>(c->element);
            if (column->generatorName != nullptr && HashGet(&gv_seqGenState, column->generatorName) == nullptr) {
                SetSeqGenBatch(column->generatorName, 1, INT32_MAX);
            }
        }
    }
}

/* Everything the command loaded, released when it ends. */
struct Loaded {
    Loaded() {
        InitTableDefnList();
        InitTableDataList();
        InitSeqGenState();
    }
    ~Loaded() {
        FreeAllTableData();
        FreeSeqGenState();
        FreeAllTableDefns();
    }
};

}  // namespace

std::string XmlOrRoot(const char* command, const ParsedArgs& args) {
    const std::string* root = args.Get("--root");
    const std::string* xml = args.Get("--xml");
    if ((xml == nullptr && root == nullptr) || (xml != nullptr && xml->empty())) {
        return "option '--xml' with a row document or '--root' is needed" + SeeHelp(command);
    }
    return "";
}

int RunSelect(const ParsedArgs& args) {
    const std::string* root = args.Get("--root");
    const std::string* xml = args.Get("--xml");
    const std::string& table = args.positional[0];
    const std::string* criteria = args.positional.size() == 2 ? &args.positional[1] : nullptr;
    if (xml == nullptr) return RunSelectFromDatabase(root, table, criteria);

    ErrorLogToStderr log;
    Loaded loaded;
    if (root != nullptr && !root->empty()) SetVelkraRoot(root->c_str());
    if (!LoadDictionary("select", root)) return kExitFailed;
    if (GetTableDefn(table.c_str()) == nullptr) {
        PrintError("select", "unknown table '" + table + "': the data dictionary does not define it");
        return kExitFailed;
    }
    if (criteria != nullptr) {
        std::string error;
        FilterNode* tree = ParseCriteria(criteria->c_str(), &error);
        if (tree == nullptr) {
            PrintError("select", "criteria '" + *criteria + "' do not parse: " + error);
            return kExitFailed;
        }
        FreeCriteria(tree);
    }
    PrimeGenerators();
    FILE* probe = fopen(xml->c_str(), "rb");
    if (probe == nullptr) {
        PrintError("select", "cannot read the row document " + *xml);
        return kExitFailed;
    }
    fclose(probe);
    if (!CreateTableDataFromXMLFile(xml->c_str())) {
        PrintError("select", *xml + ": the row document does not import (the messages above say why)");
        return kExitFailed;
    }
    if (GetTableDataByName(table.c_str()) == nullptr) CreateTable(table.c_str());
    ResultData* result = SelectRows(table.c_str(), criteria ? criteria->c_str() : nullptr);
    if (result == nullptr) {
        PrintError("select", "cannot select from table '" + table + "'");
        return kExitFailed;
    }
    std::string out;
    RenderResultData(result, true, &out, FloatForm::kShortest);
    FreeResultData(result);
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
    return kExitOk;
}

}  // namespace orv::cli
