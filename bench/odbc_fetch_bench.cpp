/*
 * Fetching 100,000 rows of four columns (integer, double, text, date) from
 * a SQLite file through the SQLite ODBC driver: the library's ExecuteQuery
 * against SOCI's ODBC backend on the same driver and file, in the same
 * process. The file and the ODBC configuration live in a fresh directory
 * under $ORV_BENCH_DIR (default /tmp) and are removed afterwards.
 *
 * Both sides run the same statement over the same rows and keep every
 * value of every row in memory until the whole result is read (ours in the
 * ResultSet, SOCI's in a vector of records), then read each value once.
 */
#include <benchmark/benchmark.h>
#include <soci/soci.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/connparams.h"
#include "db/provider.h"
#include "db/result_set.h"
#include "util/datetime.h"

namespace {

constexpr int kRows = 100000;
const char kQuery[] = "SELECT i, d, s, dt FROM t";
const char kDriver[] = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

std::string g_dir;

/* A SQLite file with kRows rows and an ODBC data source "velkra_bench"
 * for it. */
void MakeDatabase(const benchmark::State&) {
    const char* base = std::getenv("ORV_BENCH_DIR");
    g_dir = std::string(base && *base ? base : "/tmp") + "/orv-odbc-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(g_dir);
    std::ofstream(g_dir + "/odbcinst.ini") << "[SQLite3]\nDriver=" << kDriver << "\n";
    std::ofstream(g_dir + "/odbc.ini") << "[velkra_bench]\nDriver=SQLite3\nDatabase=" << g_dir << "/bench.db\n";
    setenv("ODBCSYSINI", g_dir.c_str(), 1);
    setenv("ODBCINI", (g_dir + "/odbc.ini").c_str(), 1);

    sqlite3* db = nullptr;
    sqlite3_open((g_dir + "/bench.db").c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t (i INTEGER, d DOUBLE, s VARCHAR(32), dt DATE)", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, ?, ?, ?)", -1, &insert, nullptr);
    char text[32];
    char date[16];
    for (int i = 0; i < kRows; ++i) {
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

void RemoveDatabase(const benchmark::State&) {
    std::error_code ignored;
    std::filesystem::remove_all(g_dir, ignored);
}

// ---- the library ----

orv::ConnParams* g_params = nullptr;
orv::DBConnection* g_connection = nullptr;

void OpenOurs(const benchmark::State& state) {
    MakeDatabase(state);
    orv::InitDBProvider();
    g_params = orv::CreateConnParams("bench", 0, "velkra_bench", "", "NULL", "bench", 0, nullptr, "ODBC", "SQLITE");
    g_connection = orv::OpenDBConnection(g_params);
    if (g_connection == nullptr) {
        fprintf(stderr, "cannot connect to the benchmark data source\n");
        std::abort();
    }
}

void CloseOurs(const benchmark::State& state) {
    orv::CloseDBConnection(g_connection);
    orv::FreeConnParams(g_params);
    orv::DeInitDBProvider();
    RemoveDatabase(state);
}

void BM_OrvExecuteQuery(benchmark::State& state) {
    int64_t sum = 0;
    for (auto _ : state) {
        orv::ResultSet* set = orv::ExecuteQuery(g_connection, kQuery);
        if (set == nullptr || set->rowCount != kRows) std::abort();
        while (orv::ResultRow* row = orv::ResultSetNext(set)) {
            const orv::ResultCell* cell = row->cells;
            int32_t i = 0;
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
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kRows);
}

// ---- SOCI ----

soci::session* g_soci = nullptr;

void OpenSoci(const benchmark::State& state) {
    MakeDatabase(state);
    g_soci = new soci::session("odbc", "DSN=velkra_bench");
}

void CloseSoci(const benchmark::State& state) {
    delete g_soci;
    g_soci = nullptr;
    RemoveDatabase(state);
}

/* One row as SOCI's caller keeps it. */
struct SociRecord {
    int i;
    double d;
    std::string s;
    std::tm dt;
};

void BM_SociRowset(benchmark::State& state) {
    int64_t sum = 0;
    for (auto _ : state) {
        std::vector<SociRecord> rows;
        soci::rowset<soci::row> rs = (g_soci->prepare << kQuery);
        for (const soci::row& r : rs) {
            rows.push_back(SociRecord{r.get<int>(0), r.get<double>(1), r.get<std::string>(2), r.get<std::tm>(3)});
        }
        if (rows.size() != static_cast<size_t>(kRows)) std::abort();
        for (const SociRecord& r : rows) {
            sum += r.i + static_cast<int64_t>(r.d) + static_cast<int64_t>(r.s.size()) + r.dt.tm_mday;
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kRows);
}

}  // namespace

BENCHMARK(BM_OrvExecuteQuery)->Setup(OpenOurs)->Teardown(CloseOurs)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SociRowset)->Setup(OpenSoci)->Teardown(CloseSoci)->Iterations(10)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
