/*
 * The library started on one test database the way start-up starts it, for
 * the table loading, saving and sequence tests and their helper program:
 * the log at TRACE in a folder of the caller's, the providers and SQL
 * generators, empty definition, relvar and sequence lists, the engine's data
 * source, map mode, and the connections. Tables are defined here and mapped
 * to the data source.
 */
#ifndef ORV_TESTS_DB_LIBRARY_SESSION_H
#define ORV_TESTS_DB_LIBRARY_SESSION_H

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "agent/log.h"
#include "datastore/relvar.h"
#include "datastore/relvar_xml.h"
#include "datastore/table_defn.h"
#include "datastore/velkra_root.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/datasource_map.h"
#include "db/provider.h"
#include "persist/seqgen_db.h"
#include "persist/table_io.h"
#include "tests/db/db_context.h"

namespace orv::test {

/* One column of a table defined for a test. */
struct TestColumn {
    TestColumn(std::string n, uint8_t t, int32_t size = 0, std::string gen = "")
        : name(std::move(n)), type(t), maxSize(size), generator(std::move(gen)) {}
    std::string name;
    uint8_t type;
    int32_t maxSize;
    std::string generator;  /* "" for none */
};

class LibrarySession {
public:
    /* Starts the library on db, logging to <logDir>/velkra.log. False with
     * the reason in *error. */
    bool Start(const DbContext& db, const std::string& logDir, std::string* error) {
        db_ = db;
        if (!InitDefaultLog() || !ConfigureLog("velkra.log", logDir.c_str(), 1000000000, 4) || !OpenLogTruncate()) {
            *error = "log";
            return false;
        }
        logOpen_ = true;
        InitDBProvider();
        InitTableDefnList();
        InitSQLGenerators();
        InitTableDataList();
        if (!InitSeqGenState()) {
            *error = "sequence state";
            return false;
        }
        InstallSeqGenDatabaseSource();
        ConnParams* params = CreateConnParams("x", 0, db.dsn.c_str(), db.user.c_str(),
                                              db.password.empty() ? "NULL" : db.password.c_str(),
                                              db.connectionName.c_str(), 0, "", db.providerName.c_str(),
                                              db.dialect.c_str());
        if (params == nullptr || !AddConnParams(params)) {
            *error = "connection parameters";
            return false;
        }
        SetDSNMapValid(1, DialectIndex(db.dialect));
        if (!EstablishDBConnections()) {
            *error = "connections (see the log)";
            return false;
        }
        started_ = true;
        return true;
    }

    void Stop() {
        if (logOpen_) {
            UnLoadAllTable();
            SetSeqGenBatchSource(nullptr);
            FreeSeqGenState();
            CloseAllDBConnections();
            FreeAllConnParams();
            FreeAllDataSourceMapEntries();
            FreeAllTableDefns();
            DeInitSQLGenerators();
            DeInitDBProvider();
            SetDSNMapValid(0, DialectIndex(db_.dialect));
            CloseLog();
            FreeLogSettings();
        }
        logOpen_ = false;
        started_ = false;
    }

    /* Defines a table (first column the primary key) mapped to the data
     * source. */
    bool Define(const std::string& table, const std::vector<TestColumn>& columns) {
        Vector* vector = NewVector();
        if (vector == nullptr) return false;
        for (const TestColumn& c : columns) {
            ColumnDefnEntry* entry = CreateColumnDefnEntry(c.name.c_str(), c.type, nullptr, 0, 0,
                                                           c.generator.empty() ? nullptr : c.generator.c_str(),
                                                           nullptr, c.maxSize, 1, nullptr);
            if (entry == nullptr || AddValue(vector, entry) != 1) return false;
        }
        ConstraintDefn* constraints = CreateConstraintDefn();
        if (constraints == nullptr) return false;
        constraints->primaryKeyColumns = static_cast<char**>(calloc(1, sizeof(char*)));
        if (constraints->primaryKeyColumns == nullptr) return false;
        constraints->primaryKeyColumns[0] = strdup(columns.front().name.c_str());
        constraints->primaryKeyCount = 1;
        TableDefn* defn = CreateTableDefn(table.c_str(), nullptr, vector, constraints);
        if (defn == nullptr || !AddTableDefn(defn)) return false;
        return Map(table);
    }

    /* Maps a table name to the data source. */
    bool Map(const std::string& table) {
        return AddDataSourceMapEntry(CreateDataSourceMapEntry(table.c_str(), db_.connectionName.c_str()));
    }

    /* Runs the generated create statement of a defined table. */
    bool CreateInDatabase(const std::string& table) {
        return CreateTableOnConnection(table.c_str(), db_.connectionName.c_str());
    }

    static uint8_t DialectIndex(const std::string& dialect) {
        for (uint8_t i = 0; i < 4; ++i) {
            if (strcasecmp(kDialectNames[i], dialect.c_str()) == 0) return i;
        }
        return 3;
    }

private:
    DbContext db_;
    bool logOpen_ = false;
    bool started_ = false;
};

/* A new row of a defined table from the texts of its columns (nullptr
 * texts stay missing), with state kRowNew; null when a text does not
 * convert. */
inline RowObject* MakeRow(const std::string& table, const std::vector<const char*>& texts) {
    TableDefn* defn = GetTableDefn(table.c_str());
    if (defn == nullptr || defn->columns == nullptr) return nullptr;
    const int32_t n = defn->columns->count;
    auto** values = static_cast<void**>(calloc(static_cast<size_t>(n), sizeof(void*)));
    auto* lengths = static_cast<int32_t*>(calloc(static_cast<size_t>(n), sizeof(int32_t)));
    int32_t i = 0;
    for (VectorNode* node = ElementAt(defn->columns, 0); node != nullptr && i < n; node = node->next, ++i) {
        auto* column = static_cast<ColumnDefnEntry*>(node->element);
        if (i < static_cast<int32_t>(texts.size()) && texts[static_cast<size_t>(i)] != nullptr) {
            AllocateAndCopyColumnValue(&values[i], &lengths[i], column->type, texts[static_cast<size_t>(i)]);
        }
    }
    RowObject* row = CreateNewRowObject(values, lengths);
    if (row == nullptr) {
        for (int32_t j = 0; j < n; ++j) free(values[j]);
        free(values);
        free(lengths);
    }
    return row;
}

/* The rows of a relvar in list order. */
inline std::vector<RowObject*> RowsOf(const std::string& name) {
    std::vector<RowObject*> rows;
    TableData* relvar = GetTableDataByName(name.c_str());
    for (RowObject* row = relvar ? relvar->firstRow : nullptr; row != nullptr; row = row->next) rows.push_back(row);
    return rows;
}

/* The int column i of a row (0 when missing). */
inline int32_t IntAt(const RowObject* row, int i) {
    if (row == nullptr || row->values[i] == nullptr) return 0;
    int32_t v = 0;
    memcpy(&v, row->values[i], sizeof v);
    return v;
}

/* A text literal for the test's own statements (quotes doubled, and
 * backslashes where they are escapes). */
inline std::string SqlText(const DbContext& db, const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "''";
        } else if (c == '\\' && db.backslashEscapesInLiterals) {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace orv::test

#endif
