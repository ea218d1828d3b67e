/*
 * Names in statements: the one check of plain identifiers
 * (IsPlainSqlIdentifier) and the quoting of reserved words in the form
 * each dialect folds unquoted names to.
 */
#include <string>
#include <unordered_set>

#include "db/sql/sqlgen_internal.h"

namespace orv {

bool IsPlainSqlIdentifier(const char* name) {
    if (name == nullptr || !(sqlgen::IsAsciiLetter(name[0]) || name[0] == '_')) return false;
    for (const char* p = name + 1; *p != '\0'; ++p) {
        if (!(sqlgen::IsAsciiLetter(*p) || sqlgen::IsAsciiDigit(*p) || *p == '_' || *p == '$')) return false;
    }
    return true;
}

namespace sqlgen {
namespace {

/* Reserved words of MySQL/MariaDB, PostgreSQL, SQLite and Firebird 3 that
 * a table or column may be called. A name in this list is quoted in every
 * dialect, in the case the engine folds unquoted names to, so that it
 * means what the unquoted name would. */
const char* const kReservedWords[] = {
    "ABORT", "ACTION", "ADD", "ADMIN", "AFTER", "ALL", "ALTER", "ANALYSE", "ANALYZE", "AND", "ANY", "ARRAY",
    "AS", "ASC", "ASENSITIVE", "ASYMMETRIC", "AT", "ATTACH", "AUTHORIZATION", "AUTOINCREMENT", "AVG",
    "BEFORE", "BEGIN", "BETWEEN", "BIGINT", "BINARY", "BIT_LENGTH", "BLOB", "BOOLEAN", "BOTH", "BY", "CALL",
    "CASCADE", "CASE", "CAST", "CHANGE", "CHAR", "CHARACTER", "CHARACTER_LENGTH", "CHAR_LENGTH", "CHECK",
    "CLOSE", "COLLATE", "COLLATION", "COLUMN", "COMMIT", "CONCURRENTLY", "CONDITION", "CONFLICT", "CONNECT",
    "CONSTRAINT", "CONTINUE", "CONVERT", "CORR", "COUNT", "COVAR_POP", "COVAR_SAMP", "CREATE", "CROSS",
    "CURRENT", "CURRENT_CATALOG", "CURRENT_CONNECTION", "CURRENT_DATE", "CURRENT_ROLE", "CURRENT_SCHEMA",
    "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_TRANSACTION", "CURRENT_USER", "CURSOR", "DATABASE",
    "DATABASES", "DATE", "DAY", "DAY_HOUR", "DAY_MICROSECOND", "DAY_MINUTE", "DAY_SECOND", "DEC", "DECIMAL",
    "DECLARE", "DEFAULT", "DEFERRABLE", "DEFERRED", "DELAYED", "DELETE", "DELETING", "DESC", "DESCRIBE",
    "DETACH", "DETERMINISTIC", "DISCONNECT", "DISTINCT", "DISTINCTROW", "DIV", "DO", "DOUBLE", "DROP", "DUAL",
    "EACH", "ELSE", "ELSEIF", "ENCLOSED", "END", "ESCAPE", "ESCAPED", "EXCEPT", "EXCLUSIVE", "EXECUTE",
    "EXISTS", "EXIT", "EXPLAIN", "EXTERNAL", "EXTRACT", "FAIL", "FALSE", "FETCH", "FILTER", "FLOAT", "FLOAT4",
    "FLOAT8", "FOR", "FORCE", "FOREIGN", "FREEZE", "FROM", "FULL", "FULLTEXT", "FUNCTION", "GDSCODE",
    "GENERAL", "GENERATED", "GLOB", "GLOBAL", "GRANT", "GROUP", "GROUPS", "HAVING", "HIGH_PRIORITY", "HOUR",
    "HOUR_MICROSECOND", "HOUR_MINUTE", "HOUR_SECOND", "IF", "IGNORE", "ILIKE", "IMMEDIATE", "IN", "INDEX",
    "INDEXED", "INFILE", "INITIALLY", "INNER", "INOUT", "INSENSITIVE", "INSERT", "INSERTING", "INSTEAD", "INT",
    "INT1", "INT2", "INT3", "INT4", "INT8", "INTEGER", "INTERSECT", "INTERVAL", "INTO", "IS", "ISNULL",
    "ITERATE", "JOIN", "KEY", "KEYS", "KILL", "LATERAL", "LEADING", "LEAVE", "LEFT", "LIKE", "LIMIT",
    "LINEAR", "LINES", "LOAD", "LOCALTIME", "LOCALTIMESTAMP", "LOCK", "LONG", "LONGBLOB", "LONGTEXT", "LOOP",
    "LOWER", "LOW_PRIORITY", "MATCH", "MAX", "MAXIMUM_SEGMENT", "MAXVALUE", "MEDIUMBLOB", "MEDIUMINT",
    "MEDIUMTEXT", "MERGE", "MIDDLEINT", "MIN", "MINUTE", "MINUTE_MICROSECOND", "MINUTE_SECOND", "MOD",
    "MODIFIES", "MONTH", "NATIONAL", "NATURAL", "NCHAR", "NO", "NOT", "NOTHING", "NOTNULL", "NO_WRITE_TO_BINLOG",
    "NULL", "NULLS", "NUMERIC", "OCTET_LENGTH", "OF", "OFFSET", "ON", "ONLY", "OPEN", "OPTIMIZE", "OPTION",
    "OPTIONALLY", "OR", "ORDER", "OUT", "OUTER", "OUTFILE", "OVER", "OVERLAPS", "PARAMETER", "PARTITION",
    "PLACING", "PLAN", "POSITION", "POST_EVENT", "PRAGMA", "PRECISION", "PRIMARY", "PROCEDURE", "PURGE",
    "QUERY", "RAISE", "RANGE", "READ", "READS", "READ_WRITE", "REAL", "RECREATE", "RECURSIVE", "REFERENCES",
    "REGEXP", "REINDEX", "RELEASE", "RENAME", "REPEAT", "REPLACE", "REQUIRE", "RESIGNAL", "RESTRICT", "RETURN",
    "RETURNING", "RETURNING_VALUES", "RETURNS", "REVOKE", "RIGHT", "RLIKE", "ROLLBACK", "ROW", "ROWS",
    "ROW_COUNT", "SAVEPOINT", "SCHEMA", "SCHEMAS", "SCROLL", "SECOND", "SECOND_MICROSECOND", "SELECT",
    "SENSITIVE", "SEPARATOR", "SESSION_USER", "SET", "SHOW", "SIGNAL", "SIMILAR", "SMALLINT", "SOME",
    "SPATIAL", "SPECIFIC", "SQL", "SQLCODE", "SQLEXCEPTION", "SQLSTATE", "SQLWARNING", "SQL_BIG_RESULT",
    "SQL_CALC_FOUND_ROWS", "SQL_SMALL_RESULT", "SSL", "START", "STARTING", "STDDEV_POP", "STDDEV_SAMP",
    "STRAIGHT_JOIN", "SUM", "SYMMETRIC", "TABLE", "TABLESAMPLE", "TEMP", "TEMPORARY", "TERMINATED", "THEN",
    "TIME", "TIMESTAMP", "TINYBLOB", "TINYINT", "TINYTEXT", "TO", "TRAILING", "TRANSACTION", "TRIGGER", "TRIM",
    "TRUE", "UNDO", "UNION", "UNIQUE", "UNKNOWN", "UNLOCK", "UNSIGNED", "UPDATE", "UPDATING", "UPPER", "USAGE",
    "USE", "USER", "USING", "UTC_DATE", "UTC_TIME", "UTC_TIMESTAMP", "VACUUM", "VALUE", "VALUES", "VARBINARY",
    "VARCHAR", "VARCHARACTER", "VARIABLE", "VARIADIC", "VARYING", "VAR_POP", "VAR_SAMP", "VERBOSE", "VIEW",
    "VIRTUAL", "WHEN", "WHERE", "WHILE", "WINDOW", "WITH", "WITHOUT", "WRITE", "XOR", "YEAR", "YEAR_MONTH",
    "ZEROFILL",
};

bool IsReservedWord(const std::string& upper) {
    static const std::unordered_set<std::string> words(std::begin(kReservedWords), std::end(kReservedWords));
    return words.count(upper) != 0;
}

}  // namespace

/* Appends a table, column or alias name; false (with the ERROR line) for
 * a name that is not a plain identifier. */
bool AppendName(const SqlDialect& d, std::string& out, const char* name) {
    if (!IsPlainSqlIdentifier(name)) {
        LogError("\"%s\" is not a plain identifier: statement refused.\n", name != nullptr ? name : "(null)");
        return false;
    }
    std::string upper;
    for (const char* p = name; *p != '\0'; ++p) upper += AsciiUpper(*p);
    if (!IsReservedWord(upper)) {
        out += name;
        return true;
    }
    out += d.identifierOpen;
    for (const char* p = name; *p != '\0'; ++p) {
        switch (d.fold) {
            case SqlIdentifierFold::kKeep: out += *p; break;
            case SqlIdentifierFold::kLower: out += AsciiLower(*p); break;
            case SqlIdentifierFold::kUpper: out += AsciiUpper(*p); break;
        }
    }
    out += d.identifierClose;
    return true;
}

}  // namespace sqlgen
}  // namespace orv
