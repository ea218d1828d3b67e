/*
 * The test databases, one context per engine, for the cases that run on
 * all three (SQLite, PostgreSQL, MariaDB): what each one is called, how the
 * library reaches it (its connparams.txt line), the SQL type names to make a
 * table of each column type, and what it can and cannot do.
 *
 * "sqlite" is a file reached through the library's SQLITE provider,
 * "sqlite_odbc" the file of the data source velkra_sqlite, reached through
 * SQLite's ODBC driver.
 *
 * The servers and the ODBC files come from scripts/db-servers.sh, started by
 * the CTest fixture db_servers (tests/db/db_servers.cmake); a test finds
 * them through ORV_DB_DIR, whose ports.env gives ODBCSYSINI, ODBCINI and the
 * ports. Without them a database test fails, it is never skipped.
 * ORV_DB_ENGINES (e.g. "sqlite" or "pg,mariadb") limits a local run to some
 * engines.
 *
 * A shared case file is written once:
 *
 *   class RoundTripTest : public orv::test::DbTest {};
 *   TEST_P(RoundTripTest, Integers) {
 *       const DbContext& db = Db();
 *       std::string table = TableName("ints");
 *       ... "CREATE TABLE " + table + " (a " + db.types.integer + ")" ...
 *   }
 *   ORV_INSTANTIATE_DB_TESTS(RoundTripTest);
 *
 * and runs as Db/RoundTripTest.Integers/sqlite, .../pg and .../mariadb.
 * A suite instantiated with ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD also
 * runs as .../firebird: Firebird 3's embedded engine on a database file
 * that the harness creates under ORV_DB_DIR (folder firebird/, with its
 * own firebird.conf in SuperClassic mode, so that several test processes
 * share the file), reached through the library's FIREBIRD provider; there
 * is no ODBC driver for it (reachedThroughOdbc is false), so OdbcSession
 * goes through that provider too and the ODBC driver facts do not apply.
 */
#ifndef ORV_TESTS_DB_DB_CONTEXT_H
#define ORV_TESTS_DB_DB_CONTEXT_H

#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace orv {
struct DBConnection;
struct DBProvider;
}  // namespace orv

namespace orv::test {

/* Names of SQL column types in CREATE TABLE, by the library's column types
 * (datastore/type_codes.h). */
struct DbSqlTypes {
    std::string tinyint;           // 1
    std::string unsignedTinyint;   // 2 (a wider signed type where there is no unsigned one)
    std::string smallint;          // 3
    std::string unsignedSmallint;  // 4
    std::string integer;           // 5
    std::string unsignedInteger;   // 6
    std::string bigint;            // 7
    std::string unsignedBigint;    // 8 (see DbContext::storesFullUnsigned64)
    std::string floatType;         // 9 (single precision)
    std::string doubleType;        // 10
    std::string real;              // 11 (single precision)
    std::string decimal;           // 12, DECIMAL(18,4)
    std::string numeric;           // 13, NUMERIC(18,4)
    std::string date;              // 16
    std::string time;              // 17
    std::string timestamp;         // 18 (date and time of day, whole seconds)
    std::string boolean;           // 19
    std::string blob;              // 20 (BLOB, BYTEA, LONGBLOB)
    std::string clob;              // 21
    std::string text;              // 22 (holds 100,000 characters and more)
    std::string varcharKeyword;    // "VARCHAR"
    std::string charKeyword;       // 14, "CHAR"
    std::string ncharKeyword;      // 15, "NCHAR" (or "CHAR" where both are one)

    std::string Varchar(int n) const { return varcharKeyword + "(" + std::to_string(n) + ")"; }
    std::string Char(int n) const { return charKeyword + "(" + std::to_string(n) + ")"; }
    std::string NChar(int n) const { return ncharKeyword + "(" + std::to_string(n) + ")"; }
};

/* The type codes the library's provider gives the columns of a query
 * made with some of the DbSqlTypes (the rest give their own code). */
struct DbReportedCodes {
    uint8_t tinyint = 1;   // SMALLINT where there is no TINYINT: 3
    uint8_t smallint = 3;  // SQLite through the library: 7 (every integer in 64 bits)
    uint8_t integer = 5;   // SQLite through the library: 7
    uint8_t real = 11;     // SQLite: 10 (every float is a double there)
    uint8_t decimal = 12;  // PostgreSQL: 13; SQLite's driver keeps it as text: 15
    uint8_t numeric = 13;  // SQLite: 10; MariaDB: 12 (NUMERIC is DECIMAL)
    uint8_t boolean = 19;  // MariaDB: 1 (BOOLEAN is TINYINT(1))
};

/* One setting of a test database read back, to check that it is the one
 * scripts/db-servers.sh made: column `column` of the first row of `sql`
 * is `value`, or ports.env's `envKey` when that is not empty. */
struct DbSetting {
    std::string sql;
    size_t column = 0;
    std::string value;
    std::string envKey;
};

struct DbContext {
    std::string name;            // "sqlite", "sqlite_odbc", "pg", "mariadb", "firebird", "fbserver" (the test name's suffix)
    std::string dsn;             // "velkra_sqlite", "velkra_pg", "velkra_mariadb"; SQLite, Firebird: the database file
    std::string user;            // "velkra"
    std::string password;        // "velkra-secret"; empty for SQLite (none)
    std::string connectionName;  // "sqliteconn", "pgconn", "mariadbconn"
    std::string providerName;    // "ODBC"; "SQLITE", "FIREBIRD"
    std::string dialect;         // "SQLITE", "PGSQL", "MYSQL"
    /* This data source's connparams.txt line, without a line end:
     *   extraText extraNumber dsn user password ignored connectionName provider dialect useConnString
     * e.g. "x 0 velkra_pg velkra velkra-secret x pgconn ODBC PGSQL no"
     * (SQLite's password is "NULL"). */
    std::string connParamsLine;

    DbSqlTypes types;

    /* Has a boolean column type of its own (PostgreSQL); MariaDB's BOOLEAN
     * is TINYINT(1) and SQLite keeps an integer. */
    bool hasBooleanType = false;
    /* Has unsigned integer types (MariaDB); elsewhere the unsigned codes use
     * the next wider signed type. */
    bool hasUnsignedTypes = false;
    /* Keeps every unsigned 64-bit value; SQLite's integers are signed 64-bit,
     * so values above INT64_MAX come back as doubles there. */
    bool storesFullUnsigned64 = true;
    /* REAL/FLOAT is single precision (SQLite stores every float in 8 bytes). */
    bool hasSinglePrecisionFloat = true;
    /* Has foreign keys checked at the commit (DEFERRABLE INITIALLY
     * DEFERRED); MariaDB and Firebird check every constraint at its
     * statement. */
    bool hasDeferredConstraints = true;
    /* A CREATE or DROP TABLE ends the open transaction (MariaDB). */
    bool ddlCommitsTransaction = false;
    /* Longest identifier the engine keeps whole. */
    int maxIdentifierLength = 63;
    /* Checks foreign keys without being asked; SQLite checks them only
     * after PRAGMA foreign_keys = ON on the connection. */
    bool enforcesForeignKeysByDefault = true;
    /* A double reads back exactly as it was stored; SQLite's ODBC driver
     * reads every value through SQLite's text, which has 15 significant
     * digits (and makes the largest double 0). */
    bool doublesExact = true;
    /* A backslash in a text literal is an escape and has to be doubled
     * (MariaDB's default sql_mode). */
    bool backslashEscapesInLiterals = false;
    /* A CHAR(n) column gives its value padded with blanks to n characters
     * (PostgreSQL, Firebird); the others give it without the padding. */
    bool padsCharColumns = false;
    /* Has a uuid column type, which the driver reports as SQL_GUID
     * (PostgreSQL). */
    bool hasUuidType = false;
    /* Has the OCTETS character set, whose texts the provider gives as
     * bytes, and TIMESTAMP values with a fraction of a second, which the
     * provider drops (Firebird). */
    bool hasOctetsCharacterSet = false;
    /* The dialect writes an offset without a limit (Firebird's "skip");
     * the others have no offset without a limit and drop it. */
    bool pagesByOffsetAlone = false;
    /* The engine of the cases that need to run on one engine only (the
     * velkra command end to end, the exact text of the sample stored
     * queries, which is the SQLite dialect's): SQLite, which needs no
     * server. */
    bool runsSingleEngineCases = false;
    /* An expression of a text of 400,000 characters, "abab...ab". */
    std::string longTextSql;
    /* The query of the number of the test user's sessions on the server
     * other than the one asking; "" where there is no server. */
    std::string otherSessionsSql;
    /* The query of the name of the connection's database; "" for a
     * database in a file, which has no name. */
    std::string currentDatabaseSql;
    /* The ports.env key of the server's port; "" for a database in a file. */
    std::string portKey;
    /* The ODBC driver reads a data source's server, account and database
     * from the keys SERVER, UID, PWD and DATABASE that CreateDSNsFromFile
     * writes (MariaDB's); psqlODBC reads Servername, Username and Password
     * instead, so they have to come in the connection string. */
    bool readsServerKeysOfDsn = false;
    /* The settings the test database was made with, as it reports them
     * (the address and port it listens on, the user, database and
     * encoding; SQLite's file). */
    std::vector<DbSetting> settings;
    /* The type codes the provider reports (DbReportedCodes). */
    DbReportedCodes reportedCodes;

    /* Driver facts, as SQLDescribeCol and SQLGetInfo report them through
     * unixODBC (checked by db_servers_test). */
    SQLSMALLINT booleanReportedType = SQL_BIT;  // MariaDB: SQL_TINYINT
    SQLSMALLINT textReportedType = SQL_LONGVARCHAR;
    SQLSMALLINT blobReportedType = SQL_LONGVARBINARY;  // SQLite: SQL_BINARY
    /* SQLGetInfo(SQL_NEED_LONG_DATA_LEN) is "Y": a data-at-execution
     * parameter needs SQL_LEN_DATA_AT_EXEC(total length) (SQLite). */
    bool needsLongDataLength = false;
    /* A searched UPDATE or DELETE that matches no row makes SQLExecute and
     * SQLExecDirect return SQL_NO_DATA (SQLite, PostgreSQL); MariaDB's
     * driver returns SQL_SUCCESS with a row count of 0. */
    bool noDataWhenNothingChanged = true;

    /* The library reaches it through ODBC (all but Firebird, which the
     * FIREBIRD provider reaches over its client library). */
    bool reachedThroughOdbc = true;
    /* Has DROP TABLE IF EXISTS (Firebird 3 has not: DropTableSql gives an
     * EXECUTE BLOCK that drops the table when it exists). */
    bool hasDropTableIfExists = true;
    /* What a select of values without a table ends with (Firebird's
     * select needs one: " FROM RDB$DATABASE"). */
    std::string selectFrom;
    /* The word of the provider's transaction TRACE lines
     * ("\t@@@@@ <word>BeginTransaction() @@@@@\n"). */
    std::string providerLogWord = "ODBC";
    /* The provider's ERROR line for a statement on a connection whose
     * state is gone. */
    std::string missingHandleLog = "ODBC connection handle missing\n";
    /* Texts the log holds after a statement on a missing table failed. */
    std::vector<std::string> failureLogMarks = {"STATE: ", " NAT: ", "SQLExecDirect failed\n"};
    /* A password of the data source is checked (not by the embedded
     * Firebird engine, nor by SQLite, which has none). */
    bool checksPassword = true;
    /* A NUMERIC(18,4) value keeps its scale in its text ("-0.5000");
     * SQLite keeps the number itself ("-0.5"). */
    bool keepsDecimalScale = true;
    /* A query of one row and one column, 1 ("SELECT 1"; Firebird's
     * select needs a table). */
    std::string selectOne = "SELECT 1";
    /* The longest text literal in a statement, in characters (Firebird:
     * 16383 over a UTF8 connection); 0 for no limit. */
    int maxTextLiteral = 0;

    /* A server that RestartDbServer can stop and start again (not SQLite). */
    bool canRestart = false;
    /* The engine word of scripts/db-servers.sh restart: "pg", "mariadb", "fbserver". */
    std::string serverEngine;

    /* "DSN=velkra_pg;UID=velkra;PWD=velkra-secret;" (no UID/PWD for SQLite). */
    std::string ConnectionString() const;
    /* The SQL type name of a library column type code (1 to 22; size for
     * 14, 15 and for 12/13 as precision with 4 decimals when non-zero),
     * or "" for a code the engine cannot store (0). */
    std::string SqlTypeFor(uint8_t typeCode, int size = 0) const;
    /* "DROP TABLE IF EXISTS <table>". */
    std::string DropTableSql(const std::string& table) const;
};

/* The contexts of the engines of this run, in the order sqlite, pg,
 * mariadb: all three unless ORV_DB_ENGINES lists some (names separated by
 * commas or blanks). Also loads the environment (LoadDbEnvironment) when
 * it is there; the contexts themselves do not depend on it. */
std::vector<DbContext> AllDbContexts();

/* The same with Firebird's context last (when ORV_DB_ENGINES allows it). */
std::vector<DbContext> AllDbContextsWithFirebird();

/* The contexts of AllDbContexts and Firebird's server ("fbserver": the
 * database of the Firebird server that scripts/db-servers.sh starts,
 * reached as 127.0.0.1/PORT:PATH through the FIREBIRD provider, which
 * RestartDbServer can restart), for the cases about servers. */
std::vector<DbContext> AllDbContextsWithFirebirdServer();

/* One context by name ("sqlite", "pg", "mariadb", "firebird", "fbserver"), whatever ORV_DB_ENGINES
 * says; fails (ADD_FAILURE) and gives SQLite's for an unknown name. */
DbContext DbContextNamed(const std::string& name);

/* Reads $ORV_DB_DIR/ports.env and sets every variable it holds (ODBCSYSINI,
 * ODBCINI, ORV_TEST_PG_PORT, ...) in this process, before any ODBC call
 * (unixODBC reads ODBCSYSINI once). False with the reason in error when
 * ORV_DB_DIR is not set or the file is missing or incomplete, i.e. when
 * the servers were not started. Reads the file once per process. */
bool LoadDbEnvironment(std::string* error);

/* A variable of ports.env (after LoadDbEnvironment), or "" when unset. */
std::string DbEnvValue(const std::string& key);

/* The Firebird test database, $ORV_DB_DIR/firebird/velkra.fdb ("" when
 * ORV_DB_DIR is not set). LoadDbEnvironment creates it when it is missing
 * and sets FIREBIRD, FIREBIRD_LOCK and FIREBIRD_TMP for the embedded
 * engine of this process. */
std::string FirebirdTestDatabasePath();
/* Whether that database is ready (false with the reason in error). */
bool FirebirdReady(std::string* error);

/* Stops and starts the server of db on its port and data folder
 * (scripts/db-servers.sh restart). Every connection to it breaks. False
 * with the script's output in output when it fails or db cannot restart.
 * Tests that call it are registered RUN_SERIAL (orv_discover_db_tests with
 * RESTARTS_SERVERS), so no other test loses its connections. */
bool RestartDbServer(const DbContext& db, std::string* output);

/* A table name unique to the running test and process:
 * "<base>_<8 hex digits of the full test name>_<pid>", lower case, cut to
 * the shortest maxIdentifierLength of the three engines. Tests running at
 * the same time on one database never share a table. */
std::string UniqueTableName(const std::string& base);

/* The name suffix of a parameterised test (the context's name). */
std::string DbContextName(const ::testing::TestParamInfo<DbContext>& info);

/* gtest prints a parameter by its name. */
void PrintTo(const DbContext& db, std::ostream* os);

/* The base of the shared cases: fails the test in SetUp when the database
 * environment is missing (the servers were not started). */
class DbTest : public ::testing::TestWithParam<DbContext> {
protected:
    void SetUp() override;
    const DbContext& Db() const { return GetParam(); }
    std::string TableName(const std::string& base) const { return UniqueTableName(base); }
};

/* A connection straight through unixODBC (not through the library), for
 * preparing and checking test data; every method returns false on failure
 * with the diagnostic in LastError(). Not shared between threads. For
 * Firebird, which has no ODBC driver, it goes through the library's
 * FIREBIRD provider table (values as their text forms; ColumnTypes and
 * InfoText fail). */
class OdbcSession {
public:
    using Row = std::vector<std::optional<std::string>>;

    OdbcSession();
    ~OdbcSession();
    OdbcSession(const OdbcSession&) = delete;
    OdbcSession& operator=(const OdbcSession&) = delete;

    /* SQLDriverConnect with db.ConnectionString(). */
    bool Connect(const DbContext& db);
    bool Connected() const { return dbc_ != SQL_NULL_HDBC || firebird_ != nullptr; }
    void Disconnect();
    /* SQLExecDirect; SQL_NO_DATA counts as success. */
    bool Exec(const std::string& sql);
    /* Runs a query and gives every value as text (nullopt for NULL), read
     * whole with SQLGetData. */
    bool Query(const std::string& sql, std::vector<Row>* rows);
    /* The first value of the first row of a query ("" for none or NULL). */
    std::optional<std::string> Scalar(const std::string& sql);
    /* The SQL types SQLDescribeCol reports for the columns of a query. */
    bool ColumnTypes(const std::string& sql, std::vector<SQLSMALLINT>* types);
    /* What SQLExecDirect returned for the last Exec (SQL_SUCCESS, SQL_NO_DATA, ...). */
    SQLRETURN LastReturn() const { return lastReturn_; }
    /* SQLGetInfo text (e.g. SQL_NEED_LONG_DATA_LEN). */
    std::string InfoText(SQLUSMALLINT infoType);
    /* "SQLSTATE: message" of the last failure. */
    const std::string& LastError() const { return error_; }

private:
    bool Fail(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& what);

    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    /* The session of a database reached without ODBC (Firebird, SQLite
     * through the library's provider), and that provider's table. */
    ::orv::DBConnection* firebird_ = nullptr;
    const ::orv::DBProvider* direct_provider_ = nullptr;
    SQLRETURN lastReturn_ = SQL_SUCCESS;
    std::string error_;
};

}  // namespace orv::test

/* Instantiates a DbTest suite for every engine of the run. */
#define ORV_INSTANTIATE_DB_TESTS(Suite)                                                       \
    INSTANTIATE_TEST_SUITE_P(Db, Suite, ::testing::ValuesIn(::orv::test::AllDbContexts()), \
                             ::orv::test::DbContextName)

/* Instantiates a DbTest suite for every engine of the run and Firebird's server. */
#define ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD_SERVER(Suite)                                                  \
    INSTANTIATE_TEST_SUITE_P(Db, Suite, ::testing::ValuesIn(::orv::test::AllDbContextsWithFirebirdServer()), \
                             ::orv::test::DbContextName)

/* Instantiates a DbTest suite for every engine of the run and Firebird. */
#define ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(Suite)                                                       \
    INSTANTIATE_TEST_SUITE_P(Db, Suite, ::testing::ValuesIn(::orv::test::AllDbContextsWithFirebird()), \
                             ::orv::test::DbContextName)

#endif
