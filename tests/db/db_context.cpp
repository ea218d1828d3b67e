/*
 * The test databases' contexts, their environment, and a plain unixODBC
 * session for test data.
 */
#include "tests/db/db_context.h"

#include <algorithm>
#include <dlfcn.h>
#include <fcntl.h>
#include <ibase.h>
#include <sqlext.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "datastore/column_value.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/firebird/firebird_provider.h"
#include "db/sqlite/sqlite_provider.h"
#include "db/result_set.h"
#include "tests/support/test_support.h"

#ifndef ORV_DB_SERVERS_SCRIPT
#error "ORV_DB_SERVERS_SCRIPT must name scripts/db-servers.sh"
#endif

/* LeakSanitizer's built-in suppressions of every database test program:
 * the Firebird client library keeps its character set converters (made by
 * iconv_open at the first attachment, two in all) in memory of its own
 * pool allocator, which LeakSanitizer does not scan, so they count as lost
 * in some link layouts; a program of nothing but isc_attach_database and
 * isc_detach_database linked with libodbc, libodbcinst and libxml2 shows
 * the same report. The ICU library (loaded by the embedded Firebird engine
 * for its UTF8 collations, and by libxml2) keeps its property and
 * normalisation data in caches that only u_cleanup() frees, which neither
 * library calls; the reports' allocations lie wholly inside libicuuc, which
 * none of our code calls. */
extern "C" const char* __lsan_default_suppressions() { return "leak:libfbclient.so\nleak:libicuuc.so\n"; }

/* AddressSanitizer's options of every database test program: its
 * interception of __tls_get_addr is off. In processes that ran the
 * embedded Firebird engine on the shared test database it recorded a
 * dynamic thread-local storage block that is no valid range ("DTLS 7 at
 * 0x4be-0x28000015c0"), whether it did depending on the program's layout;
 * LeakSanitizer's check at exit then walked that range and its tracer died
 * with SIGSEGV ("Tracer caught signal 11") after every test had passed.
 * Without the interception the dynamic thread-local storage of modules
 * loaded with dlopen (the engine's plugins) is not scanned as a root: the
 * check can only report more, never hide a leak of ours. */
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }

namespace orv::test {
namespace {

constexpr int kShortestIdentifier = 63;  // PostgreSQL's

/* A setting that column `column` of `sql`'s first row reads `value`. */
DbSetting SettingValue(const std::string& sql, const std::string& value, size_t column) {
    DbSetting setting;
    setting.sql = sql;
    setting.column = column;
    setting.value = value;
    return setting;
}

/* A setting read as ports.env's variable `key`. */
DbSetting SettingFromEnv(const std::string& sql, const std::string& key, size_t column) {
    DbSetting setting;
    setting.sql = sql;
    setting.column = column;
    setting.envKey = key;
    return setting;
}
constexpr int kFirebirdIdentifier = 31;

/* SQLite through its ODBC driver, the path of applications with a DSN. */
DbContext SqliteOdbcContext() {
    DbContext c;
    c.name = "sqlite_odbc";
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
    c.enforcesForeignKeysByDefault = false;
    c.doublesExact = false;
    c.runsSingleEngineCases = true;
    c.longTextSql = "replace(hex(zeroblob(100000)), '0', 'ab')";
    c.settings = {
        SettingValue("PRAGMA database_list", "0", 0),
        SettingFromEnv("PRAGMA database_list", "ORV_TEST_SQLITE_DB", 2),
    };
    c.reportedCodes = {.tinyint = 1, .real = 10, .decimal = 15, .numeric = 10, .boolean = 19};
    c.canRestart = false;
    c.serverEngine = "";
    return c;
}

/* SQLite through the library's SQLITE provider, on a file of its own
 * beside the ODBC context's. The column types and driver facts are the
 * ODBC context's where they apply; values come back exact. */
DbContext SqliteContext() {
    DbContext c = SqliteOdbcContext();
    c.name = "sqlite";
    const char* dir = getenv("ORV_DB_DIR");
    c.dsn = std::string(dir != nullptr ? dir : "/tmp") + "/sqlite-native.db";
    c.providerName = "SQLITE";
    c.connParamsLine = "x 0 " + c.dsn + " velkra NULL x sqliteconn SQLITE SQLITE no";
    c.reachedThroughOdbc = false;
    c.doublesExact = true;
    c.providerLogWord = "Sqlite";
    c.missingHandleLog = "SQLite connection handle missing\n";
    c.failureLogMarks = {"SQLPrepare failed\n", "(extended code "};
    c.checksPassword = false;
    c.keepsDecimalScale = false;
    c.settings = {
        SettingValue("PRAGMA database_list", "0", 0),
        SettingValue("PRAGMA journal_mode", "wal", 0),
    };
    // Declared types: every integer is kept in 64 bits, every float in 8
    // bytes; decimals keep their own codes.
    c.reportedCodes = {.tinyint = 7, .smallint = 7, .integer = 7, .real = 10, .decimal = 12, .numeric = 13,
                       .boolean = 19};
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
    c.padsCharColumns = true;
    c.hasUuidType = true;
    c.longTextSql = "repeat('ab', 200000)";
    c.otherSessionsSql =
        "SELECT COUNT(*) FROM pg_stat_activity WHERE usename = current_user AND pid <> pg_backend_pid()";
    c.currentDatabaseSql = "SELECT current_database()";
    c.portKey = "ORV_TEST_PG_PORT";
    c.readsServerKeysOfDsn = false;
    c.settings = {
        SettingValue("SHOW listen_addresses", "127.0.0.1", 0),
        SettingFromEnv("SHOW port", "ORV_TEST_PG_PORT", 0),
        SettingValue("SELECT current_user", "velkra", 0),
        SettingValue("SELECT current_database()", "velkra_test", 0),
        SettingValue("SHOW server_encoding", "UTF8", 0),
    };
    c.reportedCodes = {.tinyint = 3, .real = 11, .decimal = 13, .numeric = 13, .boolean = 19};
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
    c.hasDeferredConstraints = false;
    c.maxIdentifierLength = 64;
    c.booleanReportedType = SQL_TINYINT;
    c.textReportedType = SQL_LONGVARCHAR;
    c.blobReportedType = SQL_LONGVARBINARY;
    c.needsLongDataLength = false;
    c.noDataWhenNothingChanged = false;
    c.backslashEscapesInLiterals = true;
    c.longTextSql = "REPEAT('ab', 200000)";
    c.otherSessionsSql =
        "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE USER = "
        "SUBSTRING_INDEX(CURRENT_USER(), '@', 1) AND ID <> CONNECTION_ID()";
    c.currentDatabaseSql = "SELECT DATABASE()";
    c.portKey = "ORV_TEST_MARIADB_PORT";
    c.readsServerKeysOfDsn = true;
    c.settings = {
        SettingValue("SELECT @@bind_address", "127.0.0.1", 0),
        SettingFromEnv("SELECT @@port", "ORV_TEST_MARIADB_PORT", 0),
        SettingValue("SELECT DATABASE()", "velkra_test", 0),
        SettingValue("SELECT @@character_set_server", "utf8mb4", 0),
    };
    c.reportedCodes = {.tinyint = 1, .real = 11, .decimal = 12, .numeric = 12, .boolean = 1};
    c.canRestart = true;
    c.serverEngine = "mariadb";
    return c;
}

DbContext FirebirdContext() {
    DbContext c;
    c.name = "firebird";
    c.dsn = FirebirdTestDatabasePath();
    c.user = "SYSDBA";
    c.password = "velkra-secret";  // the embedded engine takes any
    c.connectionName = "firebirdconn";
    c.providerName = "FIREBIRD";
    c.dialect = "FIREBIRD";
    c.connParamsLine = "x 0 " + c.dsn + " SYSDBA velkra-secret x firebirdconn FIREBIRD FIREBIRD no";
    c.types = DbSqlTypes{
        .tinyint = "SMALLINT",
        .unsignedTinyint = "SMALLINT",
        .smallint = "SMALLINT",
        .unsignedSmallint = "INTEGER",
        .integer = "INTEGER",
        .unsignedInteger = "BIGINT",
        .bigint = "BIGINT",
        .unsignedBigint = "BIGINT",
        .floatType = "FLOAT",
        .doubleType = "DOUBLE PRECISION",
        .real = "FLOAT",
        .decimal = "DECIMAL(18,4)",
        .numeric = "NUMERIC(18,4)",
        .date = "DATE",
        .time = "TIME",
        .timestamp = "TIMESTAMP",
        .boolean = "BOOLEAN",
        .blob = "BLOB SUB_TYPE BINARY",
        .clob = "BLOB SUB_TYPE TEXT",
        .text = "BLOB SUB_TYPE TEXT",
        .varcharKeyword = "VARCHAR",
        .charKeyword = "CHAR",
        .ncharKeyword = "CHAR",  // NCHAR is ISO8859_1 there
    };
    c.hasBooleanType = true;
    c.hasUnsignedTypes = false;
    c.storesFullUnsigned64 = false;  // 64-bit signed integers, NUMERIC up to 18 digits
    c.hasSinglePrecisionFloat = true;
    c.ddlCommitsTransaction = false;
    c.hasDeferredConstraints = false;
    c.maxIdentifierLength = 31;
    c.reachedThroughOdbc = false;
    c.selectFrom = " FROM RDB$DATABASE";
    c.providerLogWord = "Firebird";
    c.missingHandleLog = "Firebird connection handle missing\n";
    c.failureLogMarks = {"Executing the statement failed\n", "SQLPrepare failed\n", " SQLCODE: -"};
    c.checksPassword = false;  // the embedded engine takes any password
    c.hasDropTableIfExists = false;
    c.maxTextLiteral = 16383;  // over a UTF8 connection
    c.selectOne = "SELECT 1 FROM RDB$DATABASE";
    c.noDataWhenNothingChanged = false;
    c.padsCharColumns = true;
    c.hasOctetsCharacterSet = true;
    c.pagesByOffsetAlone = true;
    c.longTextSql = "LPAD(CAST('' AS BLOB SUB_TYPE TEXT), 400000, 'ab')";
    c.otherSessionsSql =
        "SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$SYSTEM_FLAG = 0 AND "
        "MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$USER = CURRENT_USER";
    c.reportedCodes = {.tinyint = 3, .real = 11, .decimal = 12, .numeric = 13, .boolean = 19};
    c.canRestart = false;
    c.serverEngine = "";
    return c;
}

/* Firebird's server of the tests (scripts/db-servers.sh), reached as
 * 127.0.0.1/PORT:PATH through the same provider; restartable. */
DbContext FirebirdServerContext() {
    DbContext c = FirebirdContext();
    c.name = "fbserver";
    c.dsn = DbEnvValue("ORV_TEST_FBSERVER_DB");
    c.connectionName = "fbserverconn";
    c.connParamsLine = "x 0 " + c.dsn + " SYSDBA velkra-secret x fbserverconn FIREBIRD FIREBIRD no";
    c.canRestart = true;
    c.serverEngine = "fbserver";
    return c;
}

std::vector<DbContext> EveryContext() {
    return {SqliteContext(), SqliteOdbcContext(), PostgresContext(), MariaDbContext()};
}
std::vector<DbContext> EveryContextWithFirebird() {
    return {SqliteContext(), SqliteOdbcContext(), PostgresContext(), MariaDbContext(), FirebirdContext()};
}

std::string Trim(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// The variables every ports.env holds.
const char* const kRequiredKeys[] = {"ODBCSYSINI",       "ODBCINI",          "ORV_TEST_PG_PORT",
                                     "ORV_TEST_MARIADB_PORT", "ORV_TEST_DB_USER", "ORV_TEST_DB_PASSWORD",
                                     "ORV_TEST_FBSERVER_DB"};

struct LoadedEnvironment {
    std::once_flag once;
    bool ok = false;
    std::string error;
    std::string firebirdError;  // "" when the Firebird database is ready
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

bool MakeFolder(const std::string& path, std::string* error) {
    if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
    *error = "cannot make " + path + ": " + strerror(errno);
    return false;
}

/* The embedded Firebird engine of this process: its folder under the
 * test databases' (configuration, lock and sort files) and the database,
 * created once under a file lock (test processes start at the same
 * time). */
bool PrepareFirebird(const std::string& dir, std::string* error) {
    const std::string base = dir + "/firebird";
    if (!MakeFolder(base, error) || !MakeFolder(base + "/root", error) || !MakeFolder(base + "/lock", error) ||
        !MakeFolder(base + "/tmp", error)) {
        return false;
    }
    setenv("FIREBIRD", (base + "/root").c_str(), 1);
    setenv("FIREBIRD_LOCK", (base + "/lock").c_str(), 1);
    setenv("FIREBIRD_TMP", (base + "/tmp").c_str(), 1);
    int lock = open((base + "/create.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) {
        *error = "cannot lock " + base + "/create.lock";
        if (lock >= 0) close(lock);
        return false;
    }
    bool ok = true;
    struct stat info;
    {
        // Written each time (a folder of an earlier run may hold an older
        // one); the same text for every process.
        const std::string path = base + "/root/firebird.conf";
        std::ofstream conf(path + ".new");
        conf << "# The embedded engine of the tests: several processes on one file;\n"
                "# a database named host:path is reached on that server.\n"
                "ServerMode = SuperClassic\n"
                "Providers = Remote, Engine12\n";
        conf.close();
        ok = static_cast<bool>(conf) && rename((path + ".new").c_str(), path.c_str()) == 0;
        if (!ok) *error = "cannot write " + path;
    }
    const std::string database = base + "/velkra.fdb";
    if (ok && stat(database.c_str(), &info) != 0) {
        std::string sql = "CREATE DATABASE '" + database + "' USER 'SYSDBA' PAGE_SIZE 8192 DEFAULT CHARACTER SET UTF8";
        ISC_STATUS_ARRAY status;
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        if (isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), SQL_DIALECT_V6, nullptr) != 0) {
            char text[512] = {0};
            const ISC_STATUS* cursor = status;
            fb_interpret(text, sizeof text, &cursor);
            *error = "cannot create " + database + ": " + text;
            ok = false;
        } else {
            isc_detach_database(status, &db);
        }
    }
    flock(lock, LOCK_UN);
    close(lock);
    return ok;
}

std::vector<std::string> EngineFilter();

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
    // Firebird's folder failing fails the Firebird cases alone; a run
    // limited to other engines leaves the embedded engine out of the
    // process.
    std::vector<std::string> engines = EngineFilter();
    if (engines.empty() || std::find(engines.begin(), engines.end(), "firebird") != engines.end()) {
        PrepareFirebird(dir, &env->firebirdError);
    }
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

std::string DbContext::DropTableSql(const std::string& table) const {
    if (hasDropTableIfExists) return "DROP TABLE IF EXISTS " + table;
    std::string upper;
    for (char ch : table) upper += static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    return "EXECUTE BLOCK AS BEGIN IF (EXISTS(SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = '" + upper +
           "')) THEN EXECUTE STATEMENT 'DROP TABLE " + table + "'; END";
}

namespace {

std::vector<DbContext> Chosen(std::vector<DbContext> all) {
    std::string ignored;
    LoadDbEnvironment(&ignored);
    std::vector<std::string> wanted = EngineFilter();
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
        known = known || w == "firebird" || w == "fbserver";
        if (!known) {
            fprintf(stderr, "ORV_DB_ENGINES: unknown engine '%s' (sqlite, sqlite_odbc, pg, mariadb, firebird, fbserver)\n",
                    w.c_str());
        }
    }
    return chosen;
}

}  // namespace

std::vector<DbContext> AllDbContexts() { return Chosen(EveryContext()); }

std::vector<DbContext> AllDbContextsWithFirebird() { return Chosen(EveryContextWithFirebird()); }

std::vector<DbContext> AllDbContextsWithFirebirdServer() {
    std::vector<DbContext> all = EveryContext();
    all.push_back(FirebirdServerContext());
    return Chosen(all);
}

std::string FirebirdTestDatabasePath() {
    const char* dir = getenv("ORV_DB_DIR");
    if (dir == nullptr || *dir == '\0') return "";
    return std::string(dir) + "/firebird/velkra.fdb";
}

DbContext DbContextNamed(const std::string& name) {
    for (const DbContext& c : EveryContextWithFirebird()) {
        if (c.name == name) return c;
    }
    if (name == "fbserver") return FirebirdServerContext();
    ADD_FAILURE() << "no test database named '" << name << "' (sqlite, sqlite_odbc, pg, mariadb, firebird, fbserver)";
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
    // Firebird keeps 31 characters: the base is cut and a digest of it
    // kept, so two bases of one test stay apart.
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string param = info != nullptr && info->value_param() != nullptr ? info->value_param() : "";
    if ((param == "firebird" || param == "fbserver") &&
        name.size() + suffix.size() > static_cast<size_t>(kFirebirdIdentifier)) {
        std::string digest = Hex8(name).substr(0, 4);
        size_t room = kFirebirdIdentifier - suffix.size() - digest.size() - 1;
        name = name.substr(0, room) + "_" + digest;
    }
    return name + suffix;
}

std::string DbContextName(const ::testing::TestParamInfo<DbContext>& info) { return info.param.name; }

void PrintTo(const DbContext& db, std::ostream* os) { *os << db.name; }

void DbTest::SetUp() {
    std::string error;
    ASSERT_TRUE(LoadDbEnvironment(&error)) << error;
    if (Db().providerName == "FIREBIRD") {
        ASSERT_TRUE(FirebirdReady(&error)) << error;
    }
}

bool FirebirdReady(std::string* error) {
    if (!LoadDbEnvironment(error)) return false;
    const std::string& failure = Loaded().firebirdError;
    if (!failure.empty() && error != nullptr) *error = failure;
    return failure.empty();
}

// ---- OdbcSession

namespace {

/* The provider table of a context reached without ODBC. */
const DBProvider* DirectProvider(const DbContext& db) {
    return db.providerName == "SQLITE" ? GetSqliteProvider() : GetFirebirdProvider();
}

/* The rows of a query on a connection of a provider, each value as its
 * text: integers in decimal, floats in "%.17g", texts and bytes as they
 * are, booleans "1" or "0", dates in the library's text form. */
bool DirectQuery(const DBProvider* provider, DBConnection* connection, const std::string& sql,
                 std::vector<OdbcSession::Row>* rows, std::string* error) {
    ResultSet* set = provider->executeQuery(connection, sql.c_str());
    if (set == nullptr) {
        *error = sql + ": failed (the library's log has the engine's message)";
        return false;
    }
    for (ResultRow* row = set->rows; row != nullptr; row = row->next) {
        OdbcSession::Row out;
        const ResultCell* cell = row->cells;
        for (int32_t i = 0; i < set->columnCount; ++i, cell = cell ? cell->next : nullptr) {
            if (cell == nullptr || cell->data == nullptr) {
                out.emplace_back(std::nullopt);
                continue;
            }
            const uint8_t type = set->columns[i].type;
            const auto* bytes = static_cast<const char*>(cell->data);
            char buffer[64];
            std::string text;
            if (type == 10 || type == 9 || type == 11) {
                double v = 0;
                if (cell->length == 8) {
                    memcpy(&v, bytes, 8);
                } else {
                    float f = 0;
                    memcpy(&f, bytes, 4);
                    v = f;
                }
                snprintf(buffer, sizeof buffer, "%.17g", v);
                text = buffer;
            } else if (type == 19) {
                text = bytes[0] != 0 ? "1" : "0";
            } else if (type >= 1 && type <= 8) {
                int64_t v = 0;
                if (cell->length == 2) {
                    int16_t n;
                    memcpy(&n, bytes, 2);
                    v = n;
                } else if (cell->length == 4) {
                    int32_t n;
                    memcpy(&n, bytes, 4);
                    v = n;
                } else {
                    memcpy(&v, bytes, 8);
                }
                text = std::to_string(v);
            } else if (type >= 16 && type <= 18) {
                char* t = ConvertColumnValueToString(cell->data, type);
                text = t ? t : "";
                free(t);
            } else {
                text.assign(bytes, static_cast<size_t>(cell->length));
            }
            out.emplace_back(text);
        }
        rows->push_back(std::move(out));
    }
    FreeResultSet(set);
    return true;
}

}  // namespace

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
    if (!db.reachedThroughOdbc) {
        ConnParams* params = CreateConnParams("x", 0, db.dsn.c_str(), db.user.c_str(),
                                              db.password.empty() ? "NULL" : db.password.c_str(),
                                              db.connectionName.c_str(), 0, "", db.providerName.c_str(),
                                              db.dialect.c_str());
        direct_provider_ = DirectProvider(db);
        firebird_ = params ? direct_provider_->connect(params) : nullptr;
        FreeConnParams(params);
        if (firebird_ == nullptr) error_ = "cannot connect to " + db.dsn + " (the library's log has the reason)";
        return firebird_ != nullptr;
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
    if (firebird_ != nullptr) {
        direct_provider_->disconnect(firebird_);
        FreeDBConnectionRecord(firebird_);
        firebird_ = nullptr;
    }
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
    if (firebird_ != nullptr) {
        bool ok = direct_provider_->executeUpdate(firebird_, sql.c_str()) == 1;
        if (!ok) error_ = sql + ": failed (the library's log has the engine's message)";
        lastReturn_ = ok ? SQL_SUCCESS : SQL_ERROR;
        return ok;
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
    if (firebird_ != nullptr) return DirectQuery(direct_provider_, firebird_, sql, rows, &error_);
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
    if (firebird_ != nullptr) {
        error_ = "no ODBC driver: this database is reached through a provider of the library";
        return false;
    }
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
    if (!Connected() || firebird_ != nullptr) return "";
    char buf[256] = {0};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc_, infoType, buf, sizeof(buf), &length))) {
        Fail(SQL_HANDLE_DBC, dbc_, "SQLGetInfo");
        return "";
    }
    return buf;
}

}  // namespace orv::test
