/*
 * The test databases' contexts, their environment, and a plain unixODBC
 * session for test data.
 */
#include "tests/db/db_context.h"

#include <dlfcn.h>
#include <sqlext.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "tests/support/test_support.h"

#ifndef ORV_DB_SERVERS_SCRIPT
#error "ORV_DB_SERVERS_SCRIPT must name scripts/db-servers.sh"
#endif

namespace orv::test {
namespace {

constexpr int kShortestIdentifier = 63;  // PostgreSQL's

DbContext SqliteContext() {
    DbContext c;
    c.name = "sqlite";
    c.dsn = "velkra_sqlite";
    c.user = "velkra";
    c.password = "";
    c.connectionName = "sqliteconn";
    c.providerName = "ODBC";
    c.dialect = "SQLITE";
    c.connParamsLine = "x 0 velkra_sqlite velkra NULL x sqliteconn ODBC SQLITE no";
    c.types = DbSqlTypes{
        .tinyint = "TINYINT",
        .unsignedTinyint = "SMALLINT",
        .smallint = "SMALLINT",
        .unsignedSmallint = "INTEGER",
        .integer = "INTEGER",
        .unsignedInteger = "BIGINT",
        .bigint = "BIGINT",
        .unsignedBigint = "BIGINT",
        .floatType = "FLOAT",
        .doubleType = "DOUBLE",
        .real = "REAL",
        .decimal = "DECIMAL(18,4)",
        .numeric = "NUMERIC(18,4)",
        .date = "DATE",
        .time = "TIME",
        .timestamp = "TIMESTAMP",
        .boolean = "BOOLEAN",
        .blob = "BLOB",
        .clob = "TEXT",
        .text = "TEXT",
        .varcharKeyword = "VARCHAR",
        .charKeyword = "CHAR",
        .ncharKeyword = "NCHAR",
    };
    c.hasBooleanType = false;
    c.hasUnsignedTypes = false;
    c.storesFullUnsigned64 = false;
    c.hasSinglePrecisionFloat = false;
    c.ddlCommitsTransaction = false;
    c.maxIdentifierLength = 1000;
    c.booleanReportedType = SQL_BIT;
    c.textReportedType = SQL_LONGVARCHAR;
    c.blobReportedType = SQL_BINARY;
    c.needsLongDataLength = true;
    c.noDataWhenNothingChanged = true;
    c.canRestart = false;
    c.serverEngine = "";
    return c;
}

DbContext PostgresContext() {
    DbContext c;
    c.name = "pg";
    c.dsn = "velkra_pg";
    c.user = "velkra";
    c.password = "velkra-secret";
    c.connectionName = "pgconn";
    c.providerName = "ODBC";
    c.dialect = "PGSQL";
    c.connParamsLine = "x 0 velkra_pg velkra velkra-secret x pgconn ODBC PGSQL no";
    c.types = DbSqlTypes{
        .tinyint = "SMALLINT",
        .unsignedTinyint = "SMALLINT",
        .smallint = "SMALLINT",
        .unsignedSmallint = "INTEGER",
        .integer = "INTEGER",
        .unsignedInteger = "BIGINT",
        .bigint = "BIGINT",
        .unsignedBigint = "NUMERIC(20)",
        .floatType = "REAL",
        .doubleType = "DOUBLE PRECISION",
        .real = "REAL",
        .decimal = "DECIMAL(18,4)",
        .numeric = "NUMERIC(18,4)",
        .date = "DATE",
        .time = "TIME",
        .timestamp = "TIMESTAMP",
        .boolean = "BOOLEAN",
        .blob = "BYTEA",
        .clob = "TEXT",
        .text = "TEXT",
        .varcharKeyword = "VARCHAR",
        .charKeyword = "CHAR",
        .ncharKeyword = "NCHAR",
    };
    c.hasBooleanType = true;
    c.hasUnsignedTypes = false;
    c.storesFullUnsigned64 = true;
    c.hasSinglePrecisionFloat = true;
    c.ddlCommitsTransaction = false;
    c.maxIdentifierLength = 63;
    c.booleanReportedType = SQL_BIT;  // BoolsAsChar=0 in odbc.ini; else SQL_VARCHAR
    c.textReportedType = SQL_LONGVARCHAR;
    c.blobReportedType = SQL_LONGVARBINARY;
    c.needsLongDataLength = false;
    c.noDataWhenNothingChanged = true;
    c.canRestart = true;
    c.serverEngine = "pg";
    return c;
}

DbContext MariaDbContext() {
    DbContext c;
    c.name = "mariadb";
    c.dsn = "velkra_mariadb";
    c.user = "velkra";
    c.password = "velkra-secret";
    c.connectionName = "mariadbconn";
    c.providerName = "ODBC";
    c.dialect = "MYSQL";
    c.connParamsLine = "x 0 velkra_mariadb velkra velkra-secret x mariadbconn ODBC MYSQL no";
    c.types = DbSqlTypes{
        .tinyint = "TINYINT",
        .unsignedTinyint = "TINYINT UNSIGNED",
        .smallint = "SMALLINT",
        .unsignedSmallint = "SMALLINT UNSIGNED",
        .integer = "INT",
        .unsignedInteger = "INT UNSIGNED",
        .bigint = "BIGINT",
        .unsignedBigint = "BIGINT UNSIGNED",
        .floatType = "FLOAT",
        .doubleType = "DOUBLE",
        .real = "FLOAT",  // MariaDB's REAL is DOUBLE
        .decimal = "DECIMAL(18,4)",
        .numeric = "NUMERIC(18,4)",
        .date = "DATE",
        .time = "TIME",
        .timestamp = "DATETIME",  // TIMESTAMP converts by time zone and updates itself
        .boolean = "BOOLEAN",
        .blob = "LONGBLOB",
        .clob = "LONGTEXT",
        .text = "LONGTEXT",
        .varcharKeyword = "VARCHAR",
        .charKeyword = "CHAR",
        .ncharKeyword = "NCHAR",
    };
    c.hasBooleanType = false;
    c.hasUnsignedTypes = true;
    c.storesFullUnsigned64 = true;
    c.hasSinglePrecisionFloat = true;
    c.ddlCommitsTransaction = true;
    c.maxIdentifierLength = 64;
    c.booleanReportedType = SQL_TINYINT;
    c.textReportedType = SQL_LONGVARCHAR;
    c.blobReportedType = SQL_LONGVARBINARY;
    c.needsLongDataLength = false;
    c.noDataWhenNothingChanged = false;
    c.canRestart = true;
    c.serverEngine = "mariadb";
    return c;
}

std::vector<DbContext> EveryContext() { return {SqliteContext(), PostgresContext(), MariaDbContext()}; }

std::string Trim(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// The variables every ports.env holds.
const char* const kRequiredKeys[] = {"ODBCSYSINI", "ODBCINI", "ORV_TEST_PG_PORT", "ORV_TEST_MARIADB_PORT",
                                     "ORV_TEST_DB_USER", "ORV_TEST_DB_PASSWORD"};

struct LoadedEnvironment {
    std::once_flag once;
    bool ok = false;
    std::string error;
    std::map<std::string, std::string> values;
};

LoadedEnvironment& Loaded() {
    static LoadedEnvironment loaded;
    return loaded;
}

// SQLite's driver loads unixODBC's installer library to read its data
// source and unloads it again; the settings cache that library keeps would
// then count as lost for LeakSanitizer. Loaded here for good, it stays.
void KeepInstallerLibraryLoaded() {
    static void* handle = dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    (void)handle;
}

void LoadOnce(LoadedEnvironment* env) {
    KeepInstallerLibraryLoaded();
    const char* dir = getenv("ORV_DB_DIR");
    if (dir == nullptr || *dir == '\0') {
        env->error =
            "ORV_DB_DIR is not set: the test databases were not started (run the test through ctest, which "
            "starts them with the db_servers fixture, or: scripts/db-servers.sh start DIR and ORV_DB_DIR=DIR)";
        return;
    }
    std::string path = std::string(dir) + "/ports.env";
    std::ifstream in(path);
    if (!in) {
        env->error = path + " is missing: the test databases are not running (scripts/db-servers.sh start " +
                     std::string(dir) + ")";
        return;
    }
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        env->values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    for (const char* key : kRequiredKeys) {
        if (env->values.count(key) == 0) {
            env->error = path + " has no " + key;
            return;
        }
    }
    for (const auto& [key, value] : env->values) setenv(key.c_str(), value.c_str(), 1);
    env->ok = true;
}

std::vector<std::string> EngineFilter() {
    std::vector<std::string> names;
    const char* text = getenv("ORV_DB_ENGINES");
    if (text == nullptr) return names;
    std::string word;
    for (const char* p = text;; ++p) {
        if (*p == '\0' || *p == ',' || isspace(static_cast<unsigned char>(*p))) {
            if (!word.empty()) names.push_back(word);
            word.clear();
            if (*p == '\0') break;
        } else {
            word += static_cast<char>(tolower(static_cast<unsigned char>(*p)));
        }
    }
    return names;
}

std::string Hex8(const std::string& text) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char ch : text) {
        h ^= ch;
        h *= 16777619u;
    }
    char buf[9];
    snprintf(buf, sizeof(buf), "%08x", h);
    return buf;
}

}  // namespace

std::string DbContext::ConnectionString() const {
    std::string s = "DSN=" + dsn + ";";
    if (!password.empty()) s += "UID=" + user + ";PWD=" + password + ";";
    return s;
}

std::string DbContext::SqlTypeFor(uint8_t typeCode, int size) const {
    int n = size > 0 ? size : 1;
    switch (typeCode) {
    case 1: return types.tinyint;
    case 2: return types.unsignedTinyint;
    case 3: return types.smallint;
    case 4: return types.unsignedSmallint;
    case 5: return types.integer;
    case 6: return types.unsignedInteger;
    case 7: return types.bigint;
    case 8: return types.unsignedBigint;
    case 9: return types.floatType;
    case 10: return types.doubleType;
    case 11: return types.real;
    case 12: return types.decimal;
    case 13: return types.numeric;
    case 14: return types.Char(n);
    case 15: return types.NChar(n);
    case 16: return types.date;
    case 17: return types.time;
    case 18: return types.timestamp;
    case 19: return types.boolean;
    case 20: return types.blob;
    case 21: return types.clob;
    case 22: return types.text;
    default: return "";
    }
}

std::string DbContext::DropTableSql(const std::string& table) const { return "DROP TABLE IF EXISTS " + table; }

std::vector<DbContext> AllDbContexts() {
    std::string ignored;
    LoadDbEnvironment(&ignored);
    std::vector<std::string> wanted = EngineFilter();
    std::vector<DbContext> all = EveryContext();
    if (wanted.empty()) return all;
    std::vector<DbContext> chosen;
    for (const DbContext& c : all) {
        for (const std::string& w : wanted) {
            if (w == c.name) {
                chosen.push_back(c);
                break;
            }
        }
    }
    for (const std::string& w : wanted) {
        bool known = false;
        for (const DbContext& c : all) known = known || c.name == w;
        if (!known) fprintf(stderr, "ORV_DB_ENGINES: unknown engine '%s' (sqlite, pg, mariadb)\n", w.c_str());
    }
    return chosen;
}

DbContext DbContextNamed(const std::string& name) {
    for (const DbContext& c : EveryContext()) {
        if (c.name == name) return c;
    }
    ADD_FAILURE() << "no test database named '" << name << "' (sqlite, pg, mariadb)";
    return SqliteContext();
}

bool LoadDbEnvironment(std::string* error) {
    LoadedEnvironment& env = Loaded();
    std::call_once(env.once, LoadOnce, &env);
    if (!env.ok && error != nullptr) *error = env.error;
    return env.ok;
}

std::string DbEnvValue(const std::string& key) {
    std::string ignored;
    LoadDbEnvironment(&ignored);
    const char* v = getenv(key.c_str());
    return v != nullptr ? v : "";
}

bool RestartDbServer(const DbContext& db, std::string* output) {
    std::string error;
    if (!db.canRestart) {
        if (output != nullptr) *output = db.name + " has no server to restart";
        return false;
    }
    if (!LoadDbEnvironment(&error)) {
        if (output != nullptr) *output = error;
        return false;
    }
    RunResult r = RunProgram("/bin/bash", {ORV_DB_SERVERS_SCRIPT, "restart", DbEnvValue("ORV_DB_DIR"),
                                           db.serverEngine},
                             {});
    if (output != nullptr) *output = r.output;
    return r.exitStatus == 0;
}

std::string UniqueTableName(const std::string& base) {
    std::string testName;
    if (const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
        testName = std::string(info->test_suite_name()) + "." + info->name();
    }
    std::string name;
    for (char ch : base) {
        unsigned char u = static_cast<unsigned char>(ch);
        name += isalnum(u) ? static_cast<char>(tolower(u)) : '_';
    }
    if (name.empty() || isdigit(static_cast<unsigned char>(name[0]))) name = "t" + name;
    std::string suffix = "_" + Hex8(testName) + "_" + std::to_string(getpid());
    if (name.size() + suffix.size() > static_cast<size_t>(kShortestIdentifier)) {
        name.resize(kShortestIdentifier - suffix.size());
    }
    return name + suffix;
}

std::string DbContextName(const ::testing::TestParamInfo<DbContext>& info) { return info.param.name; }

void PrintTo(const DbContext& db, std::ostream* os) { *os << db.name; }

void DbTest::SetUp() {
    std::string error;
    ASSERT_TRUE(LoadDbEnvironment(&error)) << error;
}

// ---- OdbcSession

OdbcSession::OdbcSession() = default;

OdbcSession::~OdbcSession() { Disconnect(); }

bool OdbcSession::Fail(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what) {
    error_ = what;
    if (handle == SQL_NULL_HANDLE) return false;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLCHAR state[6] = {0};
        SQLCHAR message[1024] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(handleType, handle, i, state, &native, message, sizeof(message), &length);
        if (!SQL_SUCCEEDED(rc)) break;
        error_ += std::string(i == 1 ? ": " : "; ") + reinterpret_cast<char*>(state) + ": " +
                  reinterpret_cast<char*>(message);
    }
    return false;
}

bool OdbcSession::Connect(const DbContext& db) {
    Disconnect();
    std::string envError;
    if (!LoadDbEnvironment(&envError)) {
        error_ = envError;
        return false;
    }
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
        env_ = SQL_NULL_HENV;
        error_ = "SQLAllocHandle(ENV) failed";
        return false;
    }
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
        dbc_ = SQL_NULL_HDBC;
        Fail(SQL_HANDLE_ENV, env_, "SQLAllocHandle(DBC) failed");
        Disconnect();
        return false;
    }
    std::string text = db.ConnectionString();
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, out,
                                    sizeof(out), &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        // The connection string holds the password: only the data source is named.
        Fail(SQL_HANDLE_DBC, dbc_, "cannot connect to " + db.dsn);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        dbc_ = SQL_NULL_HDBC;
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        env_ = SQL_NULL_HENV;
        return false;
    }
    return true;
}

void OdbcSession::Disconnect() {
    if (dbc_ != SQL_NULL_HDBC) {
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        dbc_ = SQL_NULL_HDBC;
    }
    if (env_ != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        env_ = SQL_NULL_HENV;
    }
}

bool OdbcSession::Exec(const std::string& sql) {
    if (!Connected()) {
        error_ = "not connected";
        return false;
    }
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) return Fail(SQL_HANDLE_DBC, dbc_, sql);
    std::string text = sql;
    lastReturn_ = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    bool ok = SQL_SUCCEEDED(lastReturn_) || lastReturn_ == SQL_NO_DATA;
    if (!ok) Fail(SQL_HANDLE_STMT, stmt, sql);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
}

bool OdbcSession::Query(const std::string& sql, std::vector<Row>* rows) {
    rows->clear();
    if (!Connected()) {
        error_ = "not connected";
        return false;
    }
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) return Fail(SQL_HANDLE_DBC, dbc_, sql);
    std::string text = sql;
    bool ok = true;
    lastReturn_ = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    if (!SQL_SUCCEEDED(lastReturn_)) ok = Fail(SQL_HANDLE_STMT, stmt, sql);
    SQLSMALLINT columns = 0;
    if (ok && !SQL_SUCCEEDED(SQLNumResultCols(stmt, &columns))) ok = Fail(SQL_HANDLE_STMT, stmt, sql);
    while (ok) {
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) {
            ok = Fail(SQL_HANDLE_STMT, stmt, sql);
            break;
        }
        Row row;
        for (SQLUSMALLINT c = 1; ok && c <= columns; ++c) {
            std::string value;
            bool isNull = false;
            for (;;) {
                char chunk[4096];
                SQLLEN indicator = 0;
                rc = SQLGetData(stmt, c, SQL_C_CHAR, chunk, sizeof(chunk), &indicator);
                if (rc == SQL_NO_DATA) break;
                if (!SQL_SUCCEEDED(rc)) {
                    ok = Fail(SQL_HANDLE_STMT, stmt, sql);
                    break;
                }
                if (indicator == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                size_t got = (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof(chunk)))
                                 ? sizeof(chunk) - 1
                                 : static_cast<size_t>(indicator);
                value.append(chunk, got);
                if (rc == SQL_SUCCESS) break;  // the last piece
            }
            if (isNull) {
                row.emplace_back(std::nullopt);
            } else {
                row.emplace_back(value);
            }
        }
        if (ok) rows->push_back(std::move(row));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
}

std::optional<std::string> OdbcSession::Scalar(const std::string& sql) {
    std::vector<Row> rows;
    if (!Query(sql, &rows) || rows.empty() || rows[0].empty()) return std::nullopt;
    return rows[0][0];
}

bool OdbcSession::ColumnTypes(const std::string& sql, std::vector<SQLSMALLINT>* types) {
    types->clear();
    if (!Connected()) {
        error_ = "not connected";
        return false;
    }
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) return Fail(SQL_HANDLE_DBC, dbc_, sql);
    std::string text = sql;
    bool ok = true;
    lastReturn_ = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    if (!SQL_SUCCEEDED(lastReturn_)) ok = Fail(SQL_HANDLE_STMT, stmt, sql);
    SQLSMALLINT columns = 0;
    if (ok && !SQL_SUCCEEDED(SQLNumResultCols(stmt, &columns))) ok = Fail(SQL_HANDLE_STMT, stmt, sql);
    for (SQLUSMALLINT c = 1; ok && c <= columns; ++c) {
        SQLCHAR name[256];
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        if (!SQL_SUCCEEDED(SQLDescribeCol(stmt, c, name, sizeof(name), &nameLength, &type, &size, &digits, &nullable))) {
            ok = Fail(SQL_HANDLE_STMT, stmt, sql);
        } else {
            types->push_back(type);
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
}

std::string OdbcSession::InfoText(SQLUSMALLINT infoType) {
    if (!Connected()) return "";
    char buf[256] = {0};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc_, infoType, buf, sizeof(buf), &length))) {
        Fail(SQL_HANDLE_DBC, dbc_, "SQLGetInfo");
        return "";
    }
    return buf;
}

}  // namespace orv::test
