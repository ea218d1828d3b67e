/*
 * The SQLite provider against SOCI's native sqlite3 backend, on SQLite
 * files in a fresh directory under $ORV_BENCH_DIR (default /tmp), removed
 * at the end:
 *   fetch  100,000 rows of four columns (integer, double, text, date):
 *          ExecuteQuery through the SQLITE provider against a SOCI rowset,
 *          every value of every row kept in memory on both sides until the
 *          whole result is read, then each value read once;
 *   save   10,000 new rows (A integer, B integer, C text): SaveTable of a
 *          relvar through the library started by InitVelkra on a root whose
 *          connparams.txt names the file (log at level 2), against SOCI
 *          inserting the same rows with one prepared statement in one
 *          transaction.
 * Prints the median of the runs of each:
 *   sqlite fetch, 100,000 rows: ours X ms, soci-sqlite3 Y ms, ratio soci/ours R
 *   sqlite save, 10,000 rows: ours X ms, soci-sqlite3 Y ms, ratio soci/ours R
 *   sqlite_bench [RUNS]   (7 by default)
 */
#include <soci/soci.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "agent/log.h"
#include "datastore/relvar.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/provider.h"
#include "db/result_set.h"
#include "persist/table_io.h"
#include "persist/velkra_init.h"
#include "util/datetime.h"

namespace {

constexpr int kFetchRows = 100000;
constexpr int kSaveRows = 10000;
const char kQuery[] = "SELECT i, d, s, dt FROM t";

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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Since(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

void MakeFetchDatabase(const std::string& file) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t (i INTEGER, d DOUBLE, s VARCHAR(32), dt DATE)", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
    char text[32];
    char date[16];
    for (int i = 0; i < kFetchRows; ++i) {
        snprintf(text, sizeof(text), "name-%d", i % 1000);
        snprintf(date, sizeof(date), "2024-%02d-%02d", 1 + i % 12, 1 + i % 28);
        sqlite3_bind_int(insert, 1, i);
        sqlite3_bind_double(insert, 2, i * 0.5);
        sqlite3_bind_text(insert, 3, text, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, date, -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

/* One fetch through the library; the sum of the values read. */
int64_t FetchOurs(orv::DBConnection* connection) {
    int64_t sum = 0;
    orv::ResultSet* set = orv::ExecuteQuery(connection, kQuery);
    if (set == nullptr || set->rowCount != kFetchRows) {
        fprintf(stderr, "sqlite_bench: the library's fetch failed\n");
        std::exit(1);
    }
    while (orv::ResultRow* row = orv::ResultSetNext(set)) {
        const orv::ResultCell* cell = row->cells;
        int64_t i = 0;
        memcpy(&i, cell->data, sizeof(i));
        cell = cell->next;
        double d = 0;
        memcpy(&d, cell->data, sizeof(d));
        cell = cell->next;
        const auto* s = static_cast<const char*>(cell->data);
        cell = cell->next;
        const auto* dt = static_cast<const orv::OrvDateTime*>(cell->data);
        sum += i + static_cast<int64_t>(d) + static_cast<int64_t>(strlen(s)) + dt->date->day;
    }
    orv::FreeResultSet(set);
    return sum;
}

/* One row as SOCI's caller keeps it. */
struct SociRecord {
    int i;
    double d;
    std::string s;
    std::tm dt;
};

int64_t FetchSoci(soci::session& session) {
    int64_t sum = 0;
    std::vector<SociRecord> rows;
    soci::rowset<soci::row> rs = (session.prepare << kQuery);
    for (const soci::row& r : rs) {
        rows.push_back(SociRecord{r.get<int>(0), r.get<double>(1), r.get<std::string>(2), r.get<std::tm>(3)});
    }
    if (rows.size() != static_cast<size_t>(kFetchRows)) {
        fprintf(stderr, "sqlite_bench: SOCI's fetch failed\n");
        std::exit(1);
    }
    for (const SociRecord& r : rows) sum += r.i + static_cast<int64_t>(r.d) + static_cast<int64_t>(r.s.size()) + r.dt.tm_mday;
    return sum;
}

void BenchFetch(const std::string& dir, int runs) {
    const std::string file = dir + "/fetch.db";
    MakeFetchDatabase(file);
    orv::InitDBProvider();
    orv::ConnParams* params =
        orv::CreateConnParams("bench", 0, file.c_str(), "", "NULL", "bench", 0, nullptr, "SQLITE", "SQLITE");
    orv::DBConnection* connection = orv::OpenDBConnection(params);
    if (connection == nullptr) {
        fprintf(stderr, "sqlite_bench: cannot open %s through the SQLITE provider\n", file.c_str());
        std::exit(1);
    }
    soci::session session("sqlite3", "db=" + file);
    std::vector<double> ours, theirs;
    int64_t a = 0, b = 0;
    for (int run = 0; run < runs; ++run) {
        auto start = std::chrono::steady_clock::now();
        a = FetchOurs(connection);
        ours.push_back(Since(start));
        start = std::chrono::steady_clock::now();
        b = FetchSoci(session);
        theirs.push_back(Since(start));
    }
    orv::CloseDBConnection(connection);
    orv::FreeConnParams(params);
    orv::DeInitDBProvider();
    if (a != b) {
        fprintf(stderr, "sqlite_bench: the two fetches read different values\n");
        std::exit(1);
    }
    const double o = Median(ours), s = Median(theirs);
    printf("sqlite fetch, 100,000 rows: ours %.1f ms, soci-sqlite3 %.1f ms, ratio soci/ours %.2f\n", o, s, s / o);
}

void* IntValue(int32_t v) {
    auto* block = static_cast<char*>(malloc(5));
    memcpy(block, &v, 4);
    block[4] = 0;
    return block;
}

std::string Text(int i) { return "name-" + std::to_string(i % 1000); }

void AddRows() {
    for (int i = 0; i < kSaveRows; ++i) {
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

void BenchSave(const std::string& dir, int runs) {
    const std::string file = dir + "/save.db";
    std::filesystem::create_directories(dir + "/root/data");
    Write(dir + "/root/data/datadictionary.txt", "bench.xml\n");
    Write(dir + "/root/data/bench.xml", kDictionary);
    Write(dir + "/root/data/dsn_table_map.txt", "Bench bench\n");
    Write(dir + "/root/data/connparams.txt", "bench 0 " + file + " NULL NULL x bench SQLITE SQLITE no\n");
    if (!orv::InitVelkra((dir + "/root").c_str())) {
        fprintf(stderr, "sqlite_bench: the library did not start (see %s/root/logs/velkra.log)\n", dir.c_str());
        orv::DeInitVelkra();
        std::exit(1);
    }
    orv::SetLogLevel(2);
    orv::CreateTable("Bench");
    AddRows();
    soci::session session("sqlite3", "db=" + file + " timeout=10");
    auto count = [&] {
        int n = 0;
        session << "SELECT count(*) FROM Bench", soci::into(n);
        return n;
    };
    std::vector<double> ours, theirs;
    bool ok = true;
    for (int run = 0; run < runs && ok; ++run) {
        session << "DELETE FROM Bench";
        orv::TableData* relvar = orv::GetTableDataByName("Bench");
        for (orv::RowObject* row = relvar->firstRow; row != nullptr; row = row->next) row->state = orv::kRowNew;
        auto start = std::chrono::steady_clock::now();
        ok = orv::SaveTable("Bench");
        ours.push_back(Since(start));
        for (orv::RowObject* row = relvar->firstRow; row != nullptr; row = row->next) {
            ok = ok && row->state == orv::kRowStored;
        }
        ok = ok && count() == kSaveRows;
        if (!ok) break;

        session << "DELETE FROM Bench";
        start = std::chrono::steady_clock::now();
        {
            int a = 0, b = 0;
            std::string c;
            soci::transaction tr(session);
            soci::statement st = (session.prepare << "INSERT INTO Bench (A, B, C) VALUES (:a, :b, :c)", soci::use(a),
                                  soci::use(b), soci::use(c));
            for (int i = 0; i < kSaveRows; ++i) {
                a = i;
                b = i % 10;
                c = Text(i);
                st.execute(true);
            }
            tr.commit();
        }
        theirs.push_back(Since(start));
        ok = count() == kSaveRows;
    }
    orv::DeInitVelkra();
    if (!ok) {
        fprintf(stderr, "sqlite_bench: a save did not store every row\n");
        std::exit(1);
    }
    const double o = Median(ours), s = Median(theirs);
    printf("sqlite save, 10,000 rows: ours %.1f ms, soci-sqlite3 %.1f ms, ratio soci/ours %.2f\n", o, s, s / o);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    const char* base = std::getenv("ORV_BENCH_DIR");
    const std::string dir =
        std::string(base && *base ? base : "/tmp") + "/orv-sqlite-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    BenchFetch(dir, runs);
    BenchSave(dir, runs);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
