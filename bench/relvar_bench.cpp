/*
 * The in-memory table store against SQLite (an in-memory database,
 * prepared statements, the same data, in the same process):
 *   - adding 1,000,000 rows of three columns (two integers and a short
 *     text) with AddNewRow, against inserting them in one transaction;
 *   - selecting with SelectRows and the criteria "A > 500000 and B = 7",
 *     against the same SELECT counting its rows.
 * Each side builds its rows from the same numbers: A = i, B = i % 10,
 * C = "name-<i % 1000>".
 */
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "datastore/relvar.h"
#include "datastore/table_defn.h"

namespace {

constexpr int kRows = 1000000;
const char kCriteria[] = "A > 500000 and B = 7";
const char kSelect[] = "SELECT count(*) FROM t WHERE a > 500000 AND b = 7";

void Text(int i, char* out, size_t room) { snprintf(out, room, "name-%d", i % 1000); }

// ---- the table store ----

void DefineTable() {
    orv::InitTableDefnList();
    orv::Vector* columns = orv::NewVector();
    orv::AddValue(columns, orv::CreateColumnDefnEntry("A", orv::ORV_SQL_INT, nullptr, 0, 0, nullptr, nullptr, 0, 1,
                                                      nullptr));
    orv::AddValue(columns, orv::CreateColumnDefnEntry("B", orv::ORV_SQL_INT, nullptr, 0, 0, nullptr, nullptr, 0, 1,
                                                      nullptr));
    orv::AddValue(columns, orv::CreateColumnDefnEntry("C", orv::ORV_SQL_CHAR, nullptr, 0, 0, nullptr, nullptr, 32,
                                                      1, nullptr));
    orv::AddTableDefn(orv::CreateTableDefn("Bench", nullptr, columns, orv::CreateConstraintDefn()));
}

void* IntValue(int32_t v) {
    auto* block = static_cast<char*>(malloc(5));
    memcpy(block, &v, 4);
    block[4] = 0;
    return block;
}

/* Adds kRows rows as an application would: values in their stored form. */
void AddRows() {
    char text[32];
    for (int i = 0; i < kRows; ++i) {
        auto** values = static_cast<void**>(malloc(3 * sizeof(void*)));
        auto* lengths = static_cast<int32_t*>(malloc(3 * sizeof(int32_t)));
        values[0] = IntValue(i);
        values[1] = IntValue(i % 10);
        Text(i, text, sizeof(text));
        size_t n = strlen(text);
        values[2] = malloc(n + 1);
        memcpy(values[2], text, n + 1);
        lengths[0] = 4;
        lengths[1] = 4;
        lengths[2] = static_cast<int32_t>(n);
        orv::AddNewRow("Bench", orv::CreateNewRowObject(values, lengths));
    }
}

void FreshTable(const benchmark::State&) {
    DefineTable();
    orv::InitTableDataList();
    orv::CreateTable("Bench");
}

void FilledTable(const benchmark::State& state) {
    FreshTable(state);
    AddRows();
}

void DropTable(const benchmark::State&) {
    orv::FreeAllTableData();
    orv::FreeAllTableDefns();
}

void BM_OrvAddNewRow(benchmark::State& state) {
    for (auto _ : state) {
        AddRows();
        state.PauseTiming();
        orv::FreeAllTableData();
        orv::CreateTable("Bench");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_OrvSelectRows(benchmark::State& state) {
    int64_t matched = 0;
    for (auto _ : state) {
        orv::ResultData* result = orv::SelectRows("Bench", kCriteria);
        matched = result ? result->rowCount : -1;
        orv::FreeResultData(result);
    }
    state.counters["matched"] = static_cast<double>(matched);
    state.SetItemsProcessed(state.iterations() * kRows);
}

// ---- SQLite ----

sqlite3* g_db = nullptr;

void Exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(g_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        fprintf(stderr, "sqlite: %s: %s\n", sql, error ? error : "?");
        sqlite3_free(error);
        std::abort();
    }
}

void InsertRows() {
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(g_db, "INSERT INTO t VALUES (?, ?, ?)", -1, &insert, nullptr);
    char text[32];
    Exec("BEGIN");
    for (int i = 0; i < kRows; ++i) {
        Text(i, text, sizeof(text));
        sqlite3_bind_int(insert, 1, i);
        sqlite3_bind_int(insert, 2, i % 10);
        sqlite3_bind_text(insert, 3, text, -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    Exec("COMMIT");
    sqlite3_finalize(insert);
}

void OpenSqlite(const benchmark::State&) {
    sqlite3_open(":memory:", &g_db);
    Exec("CREATE TABLE t (a INTEGER, b INTEGER, c TEXT)");
}

void FilledSqlite(const benchmark::State& state) {
    OpenSqlite(state);
    InsertRows();
}

void CloseSqlite(const benchmark::State&) {
    sqlite3_close(g_db);
    g_db = nullptr;
}

void BM_SqliteInsert(benchmark::State& state) {
    for (auto _ : state) {
        InsertRows();
        state.PauseTiming();
        Exec("DELETE FROM t");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_SqliteSelect(benchmark::State& state) {
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(g_db, kSelect, -1, &select, nullptr);
    int64_t matched = 0;
    for (auto _ : state) {
        sqlite3_step(select);
        matched = sqlite3_column_int64(select, 0);
        sqlite3_reset(select);
    }
    sqlite3_finalize(select);
    state.counters["matched"] = static_cast<double>(matched);
    state.SetItemsProcessed(state.iterations() * kRows);
}

}  // namespace

BENCHMARK(BM_OrvAddNewRow)->Setup(FreshTable)->Teardown(DropTable)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteInsert)->Setup(OpenSqlite)->Teardown(CloseSqlite)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrvSelectRows)->Setup(FilledTable)->Teardown(DropTable)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteSelect)->Setup(FilledSqlite)->Teardown(CloseSqlite)->Iterations(20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
