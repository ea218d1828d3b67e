/*
 * A data object from a join of 100,000 rows: 10,000 parents with ten
 * children each in a SQLite file, joined on the parent's key, through the
 * SQLite ODBC driver and the library started by InitVelkra (log at level
 * 2):
 *   object  GetDataObject of the join query: the statement run, the result
 *           split into one collection per table, each parent held once
 *           (10,000 rows) and each child once (100,000 rows);
 *   fetch   ExecuteQuery of the same statement and FreeResultSet.
 * Prints the median of the runs:
 *   data object, 100,000-row join: object X ms, fetch Y ms, ratio object/fetch Z
 * and exits 1 when the ratio is above 2. Everything lives in a fresh
 * directory under $ORV_BENCH_DIR (default /tmp), removed at the end.
 *   dataobject_bench [RUNS]   (5 by default)
 */
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "agent/log.h"
#include "dataobject/dataobject.h"
#include "db/connection.h"
#include "persist/velkra_init.h"

namespace {

constexpr int kParents = 10000;
constexpr int kChildrenEach = 10;
const char kDriver[] = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

const char kDictionary[] =
    "<?xml version=\"1.0\"?>\n"
    "<data-dictionary>\n"
    "  <table name=\"Parent\">\n"
    "    <columns>\n"
    "      <column name=\"PID\"><data-type>ORV_SQL_INT</data-type><nullable>false</nullable></column>\n"
    "      <column name=\"PNAME\"><data-type>ORV_SQL_CHAR</data-type><max-size>32</max-size></column>\n"
    "    </columns>\n"
    "    <primary-key><primary-key-column>PID</primary-key-column></primary-key>\n"
    "  </table>\n"
    "  <table name=\"Child\">\n"
    "    <columns>\n"
    "      <column name=\"CID\"><data-type>ORV_SQL_INT</data-type><nullable>false</nullable></column>\n"
    "      <column name=\"PID\"><data-type>ORV_SQL_INT</data-type></column>\n"
    "      <column name=\"QTY\"><data-type>ORV_SQL_INT</data-type></column>\n"
    "      <column name=\"CNAME\"><data-type>ORV_SQL_CHAR</data-type><max-size>32</max-size></column>\n"
    "    </columns>\n"
    "    <primary-key><primary-key-column>CID</primary-key-column></primary-key>\n"
    "    <foreign-keys>\n"
    "      <foreign-key reference-table-name=\"Parent\"><fk-columns><fk-column>\n"
    "        <fk-local-column>PID</fk-local-column><fk-reference-column>PID</fk-reference-column>\n"
    "      </fk-column></fk-columns></foreign-key>\n"
    "    </foreign-keys>\n"
    "  </table>\n"
    "</data-dictionary>\n";

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Since(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

/* The rows, 500 to a statement, in one transaction. */
bool Fill(orv::DBConnection* connection) {
    bool ok = orv::BeginTransaction(connection) == 1;
    std::string sql;
    auto flush = [&](const char* head) {
        if (!sql.empty()) ok = ok && orv::ExecuteUpdate(connection, (head + sql).c_str()) == 1;
        sql.clear();
    };
    for (int p = 0; p < kParents && ok; ++p) {
        if (!sql.empty()) sql += ',';
        char row[64];
        snprintf(row, sizeof row, "(%d, 'parent-%d')", p, p);
        sql += row;
        if ((p + 1) % 500 == 0) flush("insert into Parent values ");
    }
    flush("insert into Parent values ");
    for (int c = 0; c < kParents * kChildrenEach && ok; ++c) {
        if (!sql.empty()) sql += ',';
        char row[96];
        snprintf(row, sizeof row, "(%d, %d, %d, 'child-%d')", c, c % kParents, c % 97, c);
        sql += row;
        if ((c + 1) % 500 == 0) flush("insert into Child values ");
    }
    flush("insert into Child values ");
    return ok && orv::CommitTransaction(connection) == 1;
}

int RowCount(orv::DataObject* o, const char* table) {
    orv::RowCollection* c = orv::GetRowCollection(table, o);
    int n = 0;
    for (orv::RowUnit* r = c ? c->firstRow : nullptr; r != nullptr; r = r->next) ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const char* base = std::getenv("ORV_BENCH_DIR");
    const std::string dir = std::string(base && *base ? base : "/tmp") + "/orv-dataobject-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(dir + "/root/data");
    Write(dir + "/odbcinst.ini", "");
    Write(dir + "/odbc.ini", "[velkra_bench]\nDriver=" + std::string(kDriver) + "\nDatabase=" + dir + "/bench.db\n");
    Write(dir + "/root/data/datadictionary.txt", "bench.xml\n");
    Write(dir + "/root/data/bench.xml", kDictionary);
    Write(dir + "/root/data/dsn_table_map.txt", "Parent bench\nChild bench\n");
    Write(dir + "/root/data/connparams.txt", "bench 0 velkra_bench velkra NULL x bench ODBC SQLITE no\n");
    setenv("ODBCSYSINI", dir.c_str(), 1);
    setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);
    if (chdir(dir.c_str()) != 0) return 1;

    if (!orv::InitVelkra((dir + "/root").c_str())) {
        fprintf(stderr, "dataobject_bench: the library did not start (see %s/root/logs/velkra.log)\n", dir.c_str());
        orv::DeInitVelkra();
        return 1;
    }
    orv::SetLogLevel(2);
    orv::DBConnection* connection = orv::GetDBConnection("bench");
    bool ok = connection != nullptr && Fill(connection);
    if (connection != nullptr) orv::ReleaseDBConnection("bench");

    orv::SelectQuery* query = orv::CreateSelectQuery();
    orv::Vector* left = orv::NewColumnList(query->pool);
    orv::Vector* right = orv::NewColumnList(query->pool);
    orv::AddColumnToList(query->pool, orv::CreateSelectColumn("Parent", nullptr, "PID", nullptr, 0, 5, 0, query->pool), left);
    orv::AddColumnToList(query->pool, orv::CreateSelectColumn("Child", nullptr, "PID", nullptr, 0, 5, 0, query->pool), right);
    orv::AddJoin(query, orv::CreateJoinSpec("Parent", nullptr, "Child", nullptr, orv::kJoinInner, left, right, query->pool));
    char* sql = orv::GenerateSelectQuery(query);
    ok = ok && sql != nullptr;

    std::vector<double> object, fetch;
    for (int run = 0; run < runs && ok; ++run) {
        auto start = std::chrono::steady_clock::now();
        orv::DBConnection* c = orv::GetDBConnection("bench");
        orv::ResultSet* set = c != nullptr ? orv::ExecuteQuery(c, sql) : nullptr;
        orv::ReleaseDBConnection("bench");
        ok = set != nullptr && set->rowCount == kParents * kChildrenEach;
        orv::FreeResultSet(set);
        fetch.push_back(Since(start));

        start = std::chrono::steady_clock::now();
        orv::DataObject* o = orv::GetDataObject(query);
        object.push_back(Since(start));
        ok = ok && o != nullptr && RowCount(o, "Parent") == kParents && RowCount(o, "Child") == kParents * kChildrenEach;
        orv::FreeDataObject(o);
    }
    free(sql);
    orv::FreeSelectQuery(query);
    orv::DeInitVelkra();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    if (!ok) {
        fprintf(stderr, "dataobject_bench: the join or the object did not hold every row\n");
        return 1;
    }
    const double o = Median(object), f = Median(fetch);
    printf("data object, 100,000-row join: object %.1f ms, fetch %.1f ms, ratio object/fetch %.2f\n", o, f, o / f);
    return o / f <= 2.0 ? 0 : 1;
}
