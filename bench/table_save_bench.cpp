/*
 * Saving 10,000 new rows of the benchmark table (A integer, B integer,
 * C text of up to 32 characters: A = i, B = i % 10, C = "name-<i % 1000>")
 * into a SQLite file through the SQLite ODBC driver:
 *   ours   SaveTable of a relvar holding the new rows, the library started
 *          by InitVelkra on a root of its own (log at level 2, so that the
 *          per-statement DEBUG lines are not written);
 *   soci   SOCI's ODBC backend on the same driver and file inserting the
 *          same rows with one prepared statement in one transaction;
 *   autocommit  the library writing the same rows one statement each
 *          (GenerateInsertQuery, ExecuteUpdate), each committed on its own:
 *          what SaveTable's one transaction saves.
 * Each run empties the table first; the rows of ours are made new again.
 * Prints the median of the runs:
 *   table save, 10,000 rows: ours X ms, soci Y ms, ratio soci/ours Z
 *   table save, 10,000 rows: autocommit per row W ms, ratio autocommit/ours R
 * Everything lives in a fresh directory under $ORV_BENCH_DIR (default
 * /tmp), removed at the end.
 *   table_save_bench [RUNS]   (7 by default)
 */
#include <soci/soci.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "agent/log.h"
#include "datastore/relvar.h"
#include "db/connection.h"
#include "persist/table_io.h"
#include "persist/velkra_init.h"

namespace {

constexpr int kRows = 10000;
const char kDriver[] = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

const char kDictionary[] =
    "<?xml version=\"1.0\"?>\n"
    "<data-dictionary>\n"
    "    <table name=\"Bench\">\n"
    "        <columns>\n"
    "            <column name=\"A\">\n"
    "                <data-type>ORV_SQL_INT</data-type>\n"
    "            </column>\n"
    "            <column name=\"B\">\n"
    "                <data-type>ORV_SQL_INT</data-type>\n"
    "            </column>\n"
    "            <column name=\"C\">\n"
    "                <data-type>ORV_SQL_CHAR</data-type>\n"
    "                <max-size>32</max-size>\n"
    "            </column>\n"
    "        </columns>\n"
    "    </table>\n"
    "</data-dictionary>\n";

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

void* IntValue(int32_t v) {
    auto* block = static_cast<char*>(malloc(5));
    memcpy(block, &v, 4);
    block[4] = 0;
    return block;
}

std::string Text(int i) { return "name-" + std::to_string(i % 1000); }

void AddRows() {
    for (int i = 0; i < kRows; ++i) {
        auto** values = static_cast<void**>(malloc(3 * sizeof(void*)));
        auto* lengths = static_cast<int32_t*>(malloc(3 * sizeof(int32_t)));
        values[0] = IntValue(i);
        values[1] = IntValue(i % 10);
        const std::string text = Text(i);
        values[2] = malloc(text.size() + 1);
        memcpy(values[2], text.c_str(), text.size() + 1);
        lengths[0] = 4;
        lengths[1] = 4;
        lengths[2] = static_cast<int32_t>(text.size());
        orv::AddNewRow("Bench", orv::CreateNewRowObject(values, lengths));
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Since(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    const char* base = std::getenv("ORV_BENCH_DIR");
    const std::string dir = std::string(base && *base ? base : "/tmp") + "/orv-save-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(dir + "/root/data");
    Write(dir + "/odbcinst.ini", "");
    Write(dir + "/odbc.ini", "[velkra_bench]\nDriver=" + std::string(kDriver) + "\nDatabase=" + dir + "/bench.db\n");
    Write(dir + "/root/data/datadictionary.txt", "bench.xml\n");
    Write(dir + "/root/data/bench.xml", kDictionary);
    Write(dir + "/root/data/dsn_table_map.txt", "Bench bench\n");
    Write(dir + "/root/data/connparams.txt", "bench 0 velkra_bench velkra NULL x bench ODBC SQLITE no\n");
    setenv("ODBCSYSINI", dir.c_str(), 1);
    setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);
    if (chdir(dir.c_str()) != 0) return 1;

    if (!orv::InitVelkra((dir + "/root").c_str())) {
        fprintf(stderr, "table_save_bench: the library did not start (see %s/root/logs/velkra.log)\n", dir.c_str());
        orv::DeInitVelkra();
        return 1;
    }
    orv::SetLogLevel(2);
    orv::CreateTable("Bench");
    AddRows();
    soci::session soci("odbc", "DSN=velkra_bench");

    auto count = [&] {
        int n = 0;
        soci << "SELECT count(*) FROM Bench", soci::into(n);
        return n;
    };
    std::vector<double> ours, theirs, autocommit;
    bool ok = true;
    for (int run = 0; run < runs && ok; ++run) {
        soci << "DELETE FROM Bench";
        orv::TableData* relvar = orv::GetTableDataByName("Bench");
        for (orv::RowObject* row = relvar->firstRow; row != nullptr; row = row->next) row->state = orv::kRowNew;
        auto start = std::chrono::steady_clock::now();
        ok = orv::SaveTable("Bench");
        ours.push_back(Since(start));
        for (orv::RowObject* row = relvar->firstRow; row != nullptr; row = row->next) {
            ok = ok && row->state == orv::kRowStored;
        }
        ok = ok && count() == kRows;
        if (!ok) break;

        soci << "DELETE FROM Bench";
        start = std::chrono::steady_clock::now();
        {
            int a = 0, b = 0;
            std::string c;
            soci::transaction tr(soci);
            soci::statement st = (soci.prepare << "INSERT INTO Bench (A, B, C) VALUES (:a, :b, :c)", soci::use(a),
                                  soci::use(b), soci::use(c));
            for (int i = 0; i < kRows; ++i) {
                a = i;
                b = i % 10;
                c = Text(i);
                st.execute(true);
            }
            tr.commit();
        }
        theirs.push_back(Since(start));
        ok = count() == kRows;
        if (!ok) break;

        soci << "DELETE FROM Bench";
        orv::DBConnection* connection = orv::GetDBConnection("bench");
        ok = connection != nullptr;
        start = std::chrono::steady_clock::now();
        for (orv::RowObject* row = relvar->firstRow; ok && row != nullptr; row = row->next) {
            char* statement = orv::GenerateInsertQuery("Bench", row);
            ok = statement != nullptr && orv::ExecuteUpdate(connection, statement) != 0;
            free(statement);
        }
        autocommit.push_back(Since(start));
        if (connection != nullptr) orv::ReleaseDBConnection("bench");
        ok = ok && count() == kRows;
    }
    orv::DeInitVelkra();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    if (!ok) {
        fprintf(stderr, "table_save_bench: a save did not store every row\n");
        return 1;
    }
    const double o = Median(ours), s = Median(theirs), a = Median(autocommit);
    printf("table save, 10,000 rows: ours %.1f ms, soci %.1f ms, ratio soci/ours %.2f\n", o, s, s / o);
    printf("table save, 10,000 rows: autocommit per row %.1f ms, ratio autocommit/ours %.2f\n", a, a / o);
    return 0;
}
