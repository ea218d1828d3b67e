/*
 * Firebird 3 for the tests, without a server: an embedded database file in
 * a folder of its own, reached through Debian's isql-fb run as a child
 * process (firebird3.0-server-core gives the engine, firebird3.0-utils the
 * tool). The library's own Firebird provider is tested on the harness's
 * database (tests/db/db_context.h); this one serves where a test needs a
 * reader and writer of its own beside the library: checking what the
 * library wrote, making a database for a run of the velkra program.
 *
 * The folder holds
 *   root/firebird.conf   "ServerMode = SuperClassic" (several processes
 *                        share the database file) and "Providers = Engine12"
 *                        (never a server, always the embedded engine);
 *                        root is the folder named by FIREBIRD
 *   lock/                FIREBIRD_LOCK, the engine's lock files
 *   tmp/                 FIREBIRD_TMP, its sort files
 *   test.fdb             the database (character set UTF8, user SYSDBA)
 *   script-N.sql         the scripts run so far
 * Debian's build finds its plugins (libEngine12.so), intl and firebird.msg
 * under /usr/lib/x86_64-linux-gnu/firebird/3.0 by its compiled-in paths;
 * only firebird.conf is read from FIREBIRD. Embedded connections take the
 * user name as given and need no security database. Another process (the
 * library's embedded engine, say) shares the database when it has the same
 * three variables (Environment).
 *
 * Scripts run with "isql-fb -b -q -ch UTF8 -user SYSDBA -i FILE DB": the
 * first failing statement ends the run with exit status 1, and the data
 * changes of that run are rolled back (DDL is committed statement by
 * statement, isql's AUTODDL); RunStatements commits at the end.
 *
 * Queries come back whole: the harness wraps the select as a derived table
 *   select <row text> from (<select>) q (ORV_C1, ..., ORV_Cn)
 * and has each row written as one text blob "@cell<TAB>cell...$", where a
 * cell is "N" for NULL, "V" and the value's text with \ \n \r \t escaped,
 * or "X" and the hex digits of the bytes of a binary column (type 20, or
 * any OCTETS column), hex made by the function ORV_TEST_HEX that Create
 * adds to the database; floats (9 to 11) come as "M|K", M * 2^K exactly,
 * from its function ORV_TEST_DOUBLE. The column count and types come from
 * the caller or from isql's description of the select (SET SQLDA_DISPLAY
 * ON with SET PLANONLY ON, which runs nothing).
 *
 * Limits of the engine, not of the harness: a string literal holds at most
 * 16383 characters over a UTF8 connection; a double literal is not always
 * read as the nearest double (3.4028234663852886e38 is one unit in the
 * last place off), and one below about 1e-307 in its digits' scale
 * (1.2345678901234567e-300) is "out of range". And one of isql: it reads a
 * script by lines, so a carriage return right before a line feed inside a
 * literal is lost (a lone one stays).
 *
 * Threads may share an object once Create has run (each run has a script
 * file of its own); several processes may run on one database at once.
 */
#ifndef ORV_TESTS_DB_FIREBIRD_ISQL_H
#define ORV_TESTS_DB_FIREBIRD_ISQL_H

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace orv::test {

/* What one isql-fb run gave: its exit status (0 when every statement ran,
 * 1 when one failed; -1 when it could not be started) and its standard
 * output and error together. */
struct FirebirdRun {
    int exitStatus = -1;
    std::string output;
    bool ok() const { return exitStatus == 0; }
};

/* A column of a query: its output name (alias) and the library type code
 * its values are read as (datastore/type_codes.h). */
struct FirebirdColumn {
    std::string name;
    uint8_t type = 0;
};

/* One row: each value's bytes as the engine gives them in text (e.g.
 * "TRUE", "12.5000", "2024-01-02 03:04:05.0000"; floats, whose text has only
 * 16 significant digits there, as "%.17g" of the exact value, which the
 * engine gives as a 53-bit integer and a power of two), a binary value's
 * bytes themselves; nullopt for NULL. */
using FirebirdRow = std::vector<std::optional<std::string>>;

/* The path of isql-fb: $ORV_ISQL_FB when set, else the first isql-fb on
 * PATH, else /usr/bin/isql-fb. */
std::string IsqlFbPath();

class FirebirdDb {
public:
    /* Makes the folder and its configuration; the database itself comes
     * with Create. */
    FirebirdDb();
    FirebirdDb(const FirebirdDb&) = delete;
    FirebirdDb& operator=(const FirebirdDb&) = delete;

    /* CREATE DATABASE '<folder>/test.fdb' USER 'SYSDBA' PAGE_SIZE 8192
     * DEFAULT CHARACTER SET UTF8, and the functions ORV_TEST_HEX and
     * ORV_TEST_DOUBLE. False with
     * isql's output in error when it fails. */
    bool Create(std::string* error = nullptr);

    const std::string& DatabasePath() const { return dbPath_; }
    const std::string& Folder() const { return dir_.path(); }
    /* FIREBIRD, FIREBIRD_LOCK and FIREBIRD_TMP of every run. */
    const std::map<std::string, std::string>& Environment() const { return env_; }

    /* Runs the statements in one script, each ended by ";" (a statement's
     * own trailing blanks and ";" are dropped first), then COMMIT. */
    FirebirdRun RunStatements(const std::vector<std::string>& statements);

    /* The columns of a select as the engine describes them: names are the
     * output names (aliases), types mapped to type codes: SHORT 3, LONG 5,
     * INT64 7, any of these with a scale below 0 12, FLOAT 9, DOUBLE 10,
     * VARCHAR and CHAR 14 (20 in character set OCTETS), text BLOB 22,
     * binary BLOB 20, DATE 16, TIME 17, TIMESTAMP 18, BOOLEAN 19. */
    bool Describe(const std::string& select, std::vector<FirebirdColumn>* columns, std::string* error = nullptr);

    /* The rows of a select whose result columns have the given types (one
     * per column, in order). */
    bool Query(const std::string& select, const std::vector<uint8_t>& types, std::vector<FirebirdRow>* rows,
               std::string* error = nullptr);
    /* The same, with the columns described by the engine first. */
    bool Query(const std::string& select, std::vector<FirebirdRow>* rows, std::string* error = nullptr);

private:
    FirebirdRun Run(const std::string& script, bool withDatabase);

    TempDir dir_;
    std::string dbPath_;
    std::map<std::string, std::string> env_;
    std::atomic<int> scripts_{0};
};

/* A text literal: 'O''Brien'. */
std::string FirebirdTextLiteral(const std::string& text);

}  // namespace orv::test

#endif
