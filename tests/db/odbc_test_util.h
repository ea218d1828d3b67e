/*
 * Helpers of the ODBC provider's tests: a log file read back by the test,
 * connections opened through the provider table, blob suppliers and
 * consumers that record what they see, and the text of a result cell.
 */
#ifndef ORV_TESTS_DB_ODBC_TEST_UTIL_H
#define ORV_TESTS_DB_ODBC_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "datastore/column_value.h"
#include "datastore/type_codes.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/firebird/firebird_provider.h"
#include "db/odbc/odbc_provider.h"
#include "db/result_set.h"
#include "db/sqlite/sqlite_provider.h"
#include "tests/db/db_context.h"
#include "tests/support/test_support.h"
#include "util/datetime.h"

namespace orv::test {

/* The log written to a file of a fresh folder at TRACE level. */
class ProviderLog {
public:
    void Open() {
        ASSERT_TRUE(InitDefaultLog());
        ASSERT_TRUE(ConfigureLog("odbc.log", dir_.path().c_str(), 100000000, 4));
        ASSERT_TRUE(OpenLogTruncate());
    }
    void Close() {
        CloseLog();
        FreeLogSettings();
    }
    std::string Text() {
        if (gv_logFilePtr != nullptr) fflush(gv_logFilePtr);
        return ReadFile(dir_ / "odbc.log");
    }
    bool Has(const std::string& text) { return Text().find(text) != std::string::npos; }

private:
    TempDir dir_;
};

/* Connection parameters of a data source (password "NULL" for none). */
inline ConnParams* ParamsFor(const std::string& dsn, const std::string& user, const std::string& password,
                             bool useConnString = false, const std::string& connString = "") {
    return CreateConnParams("x", 0, dsn.c_str(), user.c_str(), password.empty() ? "NULL" : password.c_str(),
                            "testconn", useConnString ? 1 : 0, connString.c_str(), "ODBC", "SQLITE");
}

inline ConnParams* ParamsFor(const DbContext& db) {
    return CreateConnParams("x", 0, db.dsn.c_str(), db.user.c_str(), db.password.empty() ? "NULL" : db.password.c_str(),
                            "testconn", 0, "", db.providerName.c_str(), db.dialect.c_str());
}

/* The provider table a data source names ("FIREBIRD", "SQLITE", else
 * ODBC's). */
inline const DBProvider* ProviderNamed(const char* name) {
    if (name != nullptr && strcmp(name, "FIREBIRD") == 0) return GetFirebirdProvider();
    if (name != nullptr && strcmp(name, "SQLITE") == 0) return GetSqliteProvider();
    return GetODBCProvider();
}

/* A connection opened through the provider table, disconnected and freed
 * when the object goes. */
class ProviderConnection {
public:
    ProviderConnection() = default;
    explicit ProviderConnection(const ConnParams* params) { Open(params); }
    ~ProviderConnection() { Close(); }
    ProviderConnection(const ProviderConnection&) = delete;
    ProviderConnection& operator=(const ProviderConnection&) = delete;

    bool Open(const ConnParams* params) {
        Close();
        provider_ = ProviderNamed(params ? params->providerName : nullptr);
        connection_ = provider_->connect(params);
        return connection_ != nullptr;
    }
    bool Open(const DbContext& db) {
        ConnParams* params = ParamsFor(db);
        bool ok = Open(params);
        FreeConnParams(params);
        return ok;
    }
    void Close() {
        if (connection_ == nullptr) return;
        provider_->disconnect(connection_);
        FreeDBConnectionRecord(connection_);
        connection_ = nullptr;
    }
    DBConnection* get() const { return connection_; }
    explicit operator bool() const { return connection_ != nullptr; }

    bool Update(const std::string& sql) const { return provider_->executeUpdate(connection_, sql.c_str()) == 1; }
    ResultSet* Query(const std::string& sql) const { return provider_->executeQuery(connection_, sql.c_str()); }
    const DBProvider* provider() const { return provider_; }

private:
    DBConnection* connection_ = nullptr;
    const DBProvider* provider_ = GetODBCProvider();
};

/* Frees a result set when it goes. */
struct ResultHolder {
    explicit ResultHolder(ResultSet* s) : set(s) {}
    ~ResultHolder() { FreeResultSet(set); }
    ResultHolder(const ResultHolder&) = delete;
    ResultHolder& operator=(const ResultHolder&) = delete;
    ResultSet* set;
};

/* The cell of row `row` (0-based) and column `column`, or null. */
inline const ResultCell* CellAt(const ResultSet* set, int row, int column) {
    if (set == nullptr) return nullptr;
    const ResultRow* r = set->rows;
    for (int i = 0; r != nullptr && i < row; ++i) r = r->next;
    if (r == nullptr) return nullptr;
    const ResultCell* cell = r->cells;
    for (int i = 0; cell != nullptr && i < column; ++i) cell = cell->next;
    return cell;
}

/* The value of a cell as text, read by the cell's type code: integers in
 * decimal, floats with every digit ("%.9g", "%.17g"), dates in their text
 * form, booleans "1" or "0", everything else as its bytes; "NULL" for a
 * missing value. */
inline std::string CellText(const ResultCell* cell, uint8_t type) {
    if (cell == nullptr) return "<no cell>";
    if (cell->data == nullptr) return "NULL";
    const void* d = cell->data;
    char buf[64];
    switch (type) {
        case 1: return std::to_string(*static_cast<const int8_t*>(d));
        case 2: return std::to_string(*static_cast<const uint8_t*>(d));
        case 3: { int16_t v; memcpy(&v, d, 2); return std::to_string(v); }
        case 4: { uint16_t v; memcpy(&v, d, 2); return std::to_string(v); }
        case 5: { int32_t v; memcpy(&v, d, 4); return std::to_string(v); }
        case 6: { uint32_t v; memcpy(&v, d, 4); return std::to_string(v); }
        case 7: { int64_t v; memcpy(&v, d, 8); return std::to_string(v); }
        case 8: { uint64_t v; memcpy(&v, d, 8); return std::to_string(v); }
        case 9:
        case 11: { float v; memcpy(&v, d, 4); snprintf(buf, sizeof buf, "%.9g", v); return buf; }
        case 10: { double v; memcpy(&v, d, 8); snprintf(buf, sizeof buf, "%.17g", v); return buf; }
        case 16:
        case 17:
        case 18: {
            char* text = OrvDateTimeToString(static_cast<const OrvDateTime*>(d));
            std::string out = text ? text : "<no date>";
            free(text);
            return out;
        }
        case 19: return *static_cast<const uint8_t*>(d) ? "1" : "0";
        default: return std::string(static_cast<const char*>(d), static_cast<size_t>(cell->length));
    }
}

/* A double stored in a cell of code 9, 10 or 11. */
inline double CellDouble(const ResultCell* cell, uint8_t type) {
    if (cell == nullptr || cell->data == nullptr) return -1.0;
    if (type == 10) {
        double v;
        memcpy(&v, cell->data, 8);
        return v;
    }
    float v;
    memcpy(&v, cell->data, 4);
    return v;
}

/* Bytes 0..n-1 of a recognisable pattern. */
inline std::string BlobPattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + 1) & 0xff);
    return s;
}

/* Hands out data in chunks of `chunk` bytes. */
struct SupplierState {
    const std::string* data = nullptr;
    size_t chunk = 700;
    size_t offset = 0;
    int calls = 0;
};

inline uint8_t SupplyChunks(void** data, int32_t* length, void* context) {
    auto* s = static_cast<SupplierState*>(context);
    ++s->calls;
    if (s->offset >= s->data->size()) return 2;
    size_t n = s->data->size() - s->offset;
    if (n > s->chunk) n = s->chunk;
    *data = const_cast<char*>(s->data->data() + s->offset);
    *length = static_cast<int32_t>(n);
    s->offset += n;
    return 1;
}

/* Records every consumer call: chunk sizes, the bytes, and -1 for each end
 * call. */
struct ConsumerState {
    std::vector<int> events;
    std::string bytes;
    int endCalls = 0;
};

inline void ConsumeChunks(const void* data, int32_t length, void* context) {
    auto* s = static_cast<ConsumerState*>(context);
    if (data == nullptr) {
        EXPECT_EQ(length, 0);
        s->events.push_back(-1);
        ++s->endCalls;
        return;
    }
    s->events.push_back(length);
    s->bytes.append(static_cast<const char*>(data), static_cast<size_t>(length));
}

}  // namespace orv::test

#endif
