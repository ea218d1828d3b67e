/*
 * A walk through the library on a SQLite file: start on a new database
 * (tables created, default data stored), add, change and delete rows,
 * select by criteria, save, shut down, start again on the same database
 * and see that what was saved is there and no identifier repeats.
 *
 *   library_demo [SAMPLE_DATA_DIR [WORK_DIR]]
 *
 * SAMPLE_DATA_DIR holds the data files (examples/library-demo/data);
 * WORK_DIR (out/library-demo of the project) gets the library root with a
 * copy of them (connparams.txt names the database file shop.db, reached
 * through the SQLITE provider: no ODBC file is needed), the database
 * shop.db and the log root/logs/velkra.log. Everything the
 * demo writes is under WORK_DIR, which it empties of its own files first.
 * Exit status 0 when every step did what it should.
 */
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "velkra.h"
#include "datastore/relvar_xml.h"

namespace {

const char* const kDataFiles[] = {"datadictionary.txt", "shop.xml",        "dsn_table_map.txt", "connparams.txt",
                                  "loadtablelist.txt",  "defaultdata.txt", "defaults.xml"};

int g_failures = 0;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        fprintf(stderr, "library_demo: FAILED: %s\n", what.c_str());
        ++g_failures;
    }
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    return static_cast<bool>(out);
}

/* A new row of the table from the texts of its columns (null: no value). */
orv::RowObject* NewRow(const char* table, const std::vector<const char*>& texts) {
    orv::TableDefn* defn = orv::GetTableDefn(table);
    if (defn == nullptr || defn->columns == nullptr) return nullptr;
    const int32_t n = defn->columns->count;
    auto** values = static_cast<void**>(calloc(static_cast<size_t>(n), sizeof(void*)));
    auto* lengths = static_cast<int32_t*>(calloc(static_cast<size_t>(n), sizeof(int32_t)));
    if (values == nullptr || lengths == nullptr) {
        free(values);
        free(lengths);
        return nullptr;
    }
    int32_t i = 0;
    for (orv::VectorNode* node = orv::ElementAt(defn->columns, 0); node != nullptr && i < n; node = node->next, ++i) {
        auto* column = static_cast<orv::ColumnDefnEntry*>(node->element);
        if (i < static_cast<int32_t>(texts.size()) && texts[static_cast<size_t>(i)] != nullptr) {
            orv::AllocateAndCopyColumnValue(&values[i], &lengths[i], column->type, texts[static_cast<size_t>(i)]);
        }
    }
    orv::RowObject* row = orv::CreateNewRowObject(values, lengths);
    if (row == nullptr) {
        for (int32_t j = 0; j < n; ++j) free(values[j]);
        free(values);
        free(lengths);
    }
    return row;
}

int32_t IntAt(const orv::RowObject* row, int i) {
    int32_t v = 0;
    if (row != nullptr && row->values[i] != nullptr) memcpy(&v, row->values[i], sizeof v);
    return v;
}

/* The rows the criteria select, as the library prints them, indented. */
std::string Rows(const char* table, const char* criteria) {
    orv::ResultData* result = orv::SelectRows(table, criteria);
    if (result == nullptr) return "    (no such relvar)\n";
    std::string text;
    orv::RenderResultData(result, true, &text);
    orv::FreeResultData(result);
    std::string out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) out += "    " + line + "\n";
    return out;
}

/* Every identifier in column 0 of the relvar. */
std::set<int32_t> Ids(const char* table) {
    std::set<int32_t> ids;
    orv::TableData* relvar = orv::GetTableDataByName(table);
    for (orv::RowObject* row = relvar ? relvar->firstRow : nullptr; row != nullptr; row = row->next) {
        ids.insert(IntAt(row, 0));
    }
    return ids;
}

/* The first row the criteria select, or null. */
orv::RowObject* FirstRow(const char* table, const char* criteria) {
    orv::ResultData* result = orv::SelectRows(table, criteria);
    orv::RowObject* row = result && result->head ? result->head->row : nullptr;
    orv::FreeResultData(result);
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string data = argc > 1 ? argv[1] : ORV_DEMO_DATA_DIR;
    const std::string work = argc > 2 ? argv[2] : ORV_DEMO_WORK_DIR;
    const std::string root = work + "/root";
    orv::MakeDirectoryPath((root + "/data").c_str());
    for (const char* name : kDataFiles) {
        if (!CopyFile(data + "/" + name, root + "/data/" + name)) {
            fprintf(stderr, "library_demo: cannot copy %s/%s to %s/data\n", data.c_str(), name, root.c_str());
            return 1;
        }
    }
    const std::string database = work + "/shop.db";
    unlink(database.c_str());
    unlink((root + "/logs/velkra.log").c_str());
    // "..\data\" is looked for beside the working directory first, and
    // connparams.txt names the database shop.db relative to it.
    if (chdir(work.c_str()) != 0) {
        fprintf(stderr, "library_demo: cannot change to %s\n", work.c_str());
        return 1;
    }
    const std::string log = root + "/logs/velkra.log";

    printf("Start 1 on a new database (%s)\n", database.c_str());
    if (!orv::InitVelkra(root.c_str())) {
        fprintf(stderr, "library_demo: the library did not start; see %s\n", log.c_str());
        orv::DeInitVelkra();
        return 1;
    }
    printf("  tables created, default data stored:\n%s%s", Rows("Customer", nullptr).c_str(),
           Rows("Orders", nullptr).c_str());
    Check(Ids("Customer") == std::set<int32_t>{1, 2}, "the default customers are 1 and 2");

    orv::RowObject* customer = NewRow("Customer", {nullptr, "Initech", "Trondheim"});
    Check(customer != nullptr && orv::AddNewRow("Customer", customer), "add a customer");
    const int32_t newCustomer = IntAt(customer, 0);
    const std::string customerId = std::to_string(newCustomer);
    orv::RowObject* order = NewRow("Orders", {nullptr, customerId.c_str(), "printer", "3"});
    Check(order != nullptr && orv::AddNewRow("Orders", order), "add an order");
    printf("  added customer %d (Initech) and its order %d\n", newCustomer, IntAt(order, 0));

    orv::RowObject* cable = FirstRow("Orders", "Item = 'cable'");
    const int32_t twelve = 12;
    Check(cable != nullptr && orv::UpdateRowObject("Orders", cable, "Qty", &twelve, sizeof twelve),
          "change the cable order");
    orv::RowObject* sw = FirstRow("Orders", "Item = 'switch'");
    Check(sw != nullptr && orv::DeleteRowObject("Orders", sw), "delete the switch order");
    printf("  changed the cable order to 12, deleted the switch order\n");
    printf("  orders with Qty >= 3:\n%s", Rows("Orders", "Qty >= 3").c_str());

    Check(orv::SaveTable("Customer") && orv::SaveTable("Orders"), "save both tables");
    int32_t unsaved = 0;
    for (const char* table : {"Customer", "Orders"}) {
        orv::TableData* relvar = orv::GetTableDataByName(table);
        for (orv::RowObject* row = relvar ? relvar->firstRow : nullptr; row != nullptr; row = row->next) {
            unsaved += row->state != orv::kRowStored;
        }
    }
    Check(unsaved == 0, "every row stored by the save");
    const std::set<int32_t> customersBefore = Ids("Customer");
    const std::set<int32_t> ordersBefore = Ids("Orders");
    printf("  saved; shutting down\n");
    orv::DeInitVelkra();

    printf("Start 2 on the same database\n");
    if (!orv::InitVelkra(root.c_str())) {
        fprintf(stderr, "library_demo: the library did not start again; see %s\n", log.c_str());
        orv::DeInitVelkra();
        return 1;
    }
    printf("  loaded (default data not stored again):\n%s%s", Rows("Customer", nullptr).c_str(),
           Rows("Orders", nullptr).c_str());
    Check(Ids("Customer") == customersBefore, "the saved customers are back, and only those");
    Check(Ids("Orders") == ordersBefore, "the saved orders are back, and only those");
    orv::RowObject* again = FirstRow("Orders", "Item = 'cable'");
    Check(again != nullptr && IntAt(again, 3) == 12, "the changed quantity was saved");
    Check(FirstRow("Orders", "Item = 'switch'") == nullptr, "the deleted order stays deleted");

    orv::RowObject* next = NewRow("Customer", {nullptr, "Umbrella", "Tromso"});
    Check(next != nullptr && orv::AddNewRow("Customer", next), "add a customer after the restart");
    const int32_t nextId = IntAt(next, 0);
    Check(customersBefore.count(nextId) == 0 && nextId > *customersBefore.rbegin(), "a new identifier");
    printf("  a new customer now gets %d: identifiers before the restart were", nextId);
    for (int32_t id : customersBefore) printf(" %d", id);
    printf(", none repeats\n");
    Check(orv::SaveTable("Customer"), "save after the restart");
    orv::DeInitVelkra();

    printf("Log: %s\n", log.c_str());
    if (g_failures > 0) {
        fprintf(stderr, "library_demo: %d step(s) failed\n", g_failures);
        return 1;
    }
    printf("Demo done: every step did what it should.\n");
    return 0;
}
