/*
 * Helpers of the SQL generator tests: table definitions built in the test,
 * rows from texts and bytes, generated texts taken over as std::string,
 * and a log file read back.
 */
#ifndef ORV_TESTS_DB_SQLGEN_TEST_UTIL_H
#define ORV_TESTS_DB_SQLGEN_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "agent/log.h"
#include "datastore/column_value.h"
#include "datastore/relvar.h"
#include "datastore/table_defn.h"
#include "db/provider.h"
#include "db/select_query.h"
#include "db/sql/sql_dialects.h"
#include "tests/support/test_support.h"

namespace orv::test {

/* The generator table of a dialect name. */
inline const SQLGenerator* DialectTable(const std::string& name) {
    if (name == "MYSQL") return GetMysqlSQLGenerator();
    if (name == "PGSQL") return GetPgsqlSQLGenerator();
    if (name == "SQLITE") return GetSqliteSQLGenerator();
    if (name == "FIREBIRD") return GetFirebirdSQLGenerator();
    return nullptr;
}

/* A generated text as a string (freed); nullopt for null. */
inline std::optional<std::string> Take(char* text) {
    if (text == nullptr) return std::nullopt;
    std::string s = text;
    free(text);
    return s;
}

/* The log written to a file of a fresh folder at TRACE level. */
class SqlLog {
public:
    void Open() {
        ASSERT_TRUE(InitDefaultLog());
        ASSERT_TRUE(ConfigureLog("sqlgen.log", dir_.path().c_str(), 100000000, 4));
        ASSERT_TRUE(OpenLogTruncate());
    }
    void Close() {
        CloseLog();
        FreeLogSettings();
    }
    std::string Text() {
        if (gv_logFilePtr != nullptr) fflush(gv_logFilePtr);
        return ReadFile(dir_ / "sqlgen.log");
    }
    bool Has(const std::string& text) { return Text().find(text) != std::string::npos; }
    /* The last 3000 bytes, for failure messages. */
    std::string Tail() {
        std::string t = Text();
        return t.size() > 3000 ? t.substr(t.size() - 3000) : t;
    }

private:
    TempDir dir_;
};

struct ColumnSpec {
    std::string name;
    uint8_t type;
    int32_t maxSize = 0;
    bool nullable = true;
    bool unique = false;
    std::optional<std::string> defaultText = std::nullopt;
};

struct ForeignKeySpec {
    std::string local;
    std::string reference;
    std::string table;
};

/* Adds a definition to the library's list (replacing one of that name). */
inline TableDefn* DefineTable(const std::string& name, const std::vector<ColumnSpec>& columns,
                              const std::vector<std::string>& key = {},
                              const std::vector<ForeignKeySpec>& foreignKeys = {}) {
    RemoveTableDefn(name.c_str());
    Vector* list = NewVector();
    for (const ColumnSpec& c : columns) {
        const char* def = c.defaultText ? c.defaultText->c_str() : nullptr;
        ColumnDefnEntry* entry = CreateColumnDefnEntry(c.name.c_str(), c.type, def,
                                                       def ? static_cast<int32_t>(strlen(def)) : 0, c.unique ? 1 : 0,
                                                       nullptr, nullptr, c.maxSize, c.nullable ? 1 : 0, nullptr);
        EXPECT_NE(entry, nullptr) << c.name;
        AddValue(list, entry);
    }
    ConstraintDefn* constraints = nullptr;
    if (!key.empty() || !foreignKeys.empty()) {
        constraints = CreateConstraintDefn();
        if (!key.empty()) {
            constraints->primaryKeyColumns = static_cast<char**>(calloc(key.size(), sizeof(char*)));
            for (size_t i = 0; i < key.size(); ++i) constraints->primaryKeyColumns[i] = strdup(key[i].c_str());
            constraints->primaryKeyCount = static_cast<int32_t>(key.size());
        }
        for (const ForeignKeySpec& f : foreignKeys) {
            AddForeignKeyEntry(constraints,
                               CreateForeignKeyEntry(f.local.c_str(), f.reference.c_str(), f.table.c_str(), 1, 0, 0));
        }
    }
    TableDefn* defn = CreateTableDefn(name.c_str(), nullptr, list, constraints);
    EXPECT_NE(defn, nullptr);
    EXPECT_TRUE(AddTableDefn(defn));
    return defn;
}

inline int32_t ColumnCount(const TableDefn* defn) { return defn->columns->count; }

inline ColumnDefnEntry* ColumnAt(const TableDefn* defn, int32_t i) {
    VectorNode* node = ElementAt(defn->columns, i);
    return node ? static_cast<ColumnDefnEntry*>(node->element) : nullptr;
}

/* A row of a table built value by value (missing values are NULL); the
 * row object is made by Make() and freed with the builder. */
class RowBuilder {
public:
    explicit RowBuilder(const TableDefn* defn) : defn_(defn) {
        n_ = ColumnCount(defn);
        values_ = static_cast<void**>(calloc(static_cast<size_t>(n_), sizeof(void*)));
        lengths_ = static_cast<int32_t*>(calloc(static_cast<size_t>(n_), sizeof(int32_t)));
    }
    ~RowBuilder() {
        if (row_ != nullptr) {
            FreeRowObject(row_, n_);
        } else {
            for (int32_t i = 0; i < n_; ++i) free(values_[i]);
            free(values_);
            free(lengths_);
        }
    }
    RowBuilder(const RowBuilder&) = delete;
    RowBuilder& operator=(const RowBuilder&) = delete;

    /* The value of column i from its text (ConvertStringToColumnValue). */
    RowBuilder& Text(int32_t i, const std::string& text) {
        int32_t length = static_cast<int32_t>(text.size());
        void* value = ConvertStringToColumnValue(text.c_str(), &length, ColumnAt(defn_, i)->type);
        Put(i, value, length);
        return *this;
    }
    /* Raw bytes (blobs, clobs, decimals). */
    RowBuilder& Bytes(int32_t i, const std::string& bytes) {
        auto* block = static_cast<char*>(calloc(1, bytes.size() + 1));
        memcpy(block, bytes.data(), bytes.size());
        Put(i, block, static_cast<int32_t>(bytes.size()));
        return *this;
    }
    template <typename T>
    RowBuilder& Number(int32_t i, T value) {
        auto* block = static_cast<char*>(calloc(1, sizeof(T) + 1));
        memcpy(block, &value, sizeof(T));
        Put(i, block, static_cast<int32_t>(sizeof(T)));
        return *this;
    }
    RowBuilder& Bool(int32_t i, bool value) { return Number<uint8_t>(i, value ? 1 : 0); }
    RowBuilder& Null(int32_t i) {
        Put(i, nullptr, 0);
        return *this;
    }
    RowObject* Make() {
        if (row_ == nullptr) row_ = CreateNewRowObject(values_, lengths_);
        return row_;
    }

private:
    void Put(int32_t i, void* value, int32_t length) {
        ASSERT_LT(i, n_);
        free(values_[i]);
        values_[i] = value;
        lengths_[i] = length;
    }
    const TableDefn* defn_;
    int32_t n_ = 0;
    void** values_ = nullptr;
    int32_t* lengths_ = nullptr;
    RowObject* row_ = nullptr;
};

/* A select query freed when it goes. */
class Query {
public:
    Query() : q_(CreateSelectQuery()) {}
    ~Query() { FreeSelectQuery(q_); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    SelectQuery* get() const { return q_; }
    MemPool* pool() const { return q_->pool; }

    SelectColumn* Column(const char* table, const char* column, uint8_t type = 5, uint8_t aggregate = 0,
                         const char* alias = nullptr, const char* tableAlias = nullptr) {
        return CreateSelectColumn(table, tableAlias, column, alias, 0, type, aggregate, q_->pool);
    }
    Query& Select(const char* table, const char* column, uint8_t type = 5, uint8_t aggregate = 0) {
        EXPECT_TRUE(AddSelectColumn(q_, Column(table, column, type, aggregate)));
        return *this;
    }
    Query& From(const char* table, const char* alias = nullptr) {
        EXPECT_TRUE(AddSelectTable(q_, CreateSelectTable(table, alias, q_->pool)));
        return *this;
    }
    /* A comparison on a column with a value in its stored form. */
    CriteriaNode* Compare(const char* table, const char* column, uint8_t type, uint8_t op, const void* value,
                          int32_t length) {
        return CreateCriteriaNode(Column(table, column, type), value, length, op, q_->pool);
    }
    CriteriaNode* CompareText(const char* table, const char* column, uint8_t type, uint8_t op,
                              const std::string& text) {
        return Compare(table, column, type, op, text.data(), static_cast<int32_t>(text.size()));
    }
    CriteriaNode* CompareInt(const char* table, const char* column, uint8_t op, int32_t value) {
        return Compare(table, column, 5, op, &value, 4);
    }
    Query& Where(CriteriaNode* root) {
        SetCriteria(q_, root);
        return *this;
    }
    Query& OrderBy(const char* table, const char* column, bool ascending) {
        Vector* list = NewColumnList(q_->pool);
        AddColumnToList(q_->pool, Column(table, column), list);
        SetSort(q_, CreateSortSpec(list, ascending ? 1 : 0, q_->pool));
        return *this;
    }
    Query& Page(int32_t limit, int32_t offset) {
        q_->limit = limit;
        q_->offset = offset;
        return *this;
    }

private:
    SelectQuery* q_;
};

}  // namespace orv::test

#endif
