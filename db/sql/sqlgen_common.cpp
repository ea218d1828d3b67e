/*
 * The shared SQL generator: select statements and their clauses, update,
 * insert, delete and create table, and the conversion of a result row,
 * written once over the points of a SqlDialect.
 *
 * Statement texts grow in std::string. Every name is checked to be a
 * plain identifier and every value is written as a literal of its column's
 * type by one writer (AppendValue), which escapes texts for the dialect;
 * anything that cannot be written with its meaning refuses the statement.
 */
#include "db/sql/sqlgen.h"

#include <cctype>
#include <cstdarg>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "agent/log.h"
#include "datastore/column_value.h"
#include "datastore/table_defn.h"
#include "db/connection.h"
#include "db/sql/sql_dialects.h"
#include "util/string_util.h"

namespace orv {

const char* const kAggregateNames[7] = {"INVALID TYPE", "DISTINCT", "COUNT", "MIN", "MAX", "SUM", "AVG"};
const char* const kOperatorNames[11] = {"INVALID OPERATOR", "<", ">", "<=", ">=", "=", "!=",
                                        "AND", "OR", "LIKE", "BETWEEN"};
const char* const kJoinTypeNames[2] = {"INNER_JOIN", "LEFT_JOIN"};

namespace {

/* ---- Small helpers ------------------------------------------------------ */

/* A heap copy of text (released with free()), or null. */
char* CopyOut(const std::string& text) {
    auto* copy = static_cast<char*>(malloc(text.size() + 1));
    if (copy == nullptr) return nullptr;
    memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

/* The first node of a list (null for none). */
VectorNode* First(const Vector* list) { return list != nullptr ? ElementAt(const_cast<Vector*>(list), 0) : nullptr; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

/* The entry line of the select and its clause functions. */
void TraceSelectEntry(const SqlDialect& d, const char* function) {
    LogTrace("@@@@@@@@@@@ - INSIDE %s%s - @@@@@@@@@@@@@", d.word, function);
}

/* The entry line of update, insert, delete, create and conversion. */
void TraceEntry(const SqlDialect& d, const char* function) {
    if (d.entryTrace) LogTrace("@@@ Inside %s%s @@@\n", d.word, function);
}

/* ---- Identifiers -------------------------------------------------------- */

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

/* [A-Za-z_][A-Za-z0-9_$]* */
bool IsPlainIdentifier(const char* name) {
    if (name == nullptr || !(IsAsciiLetter(name[0]) || name[0] == '_')) return false;
    for (const char* p = name + 1; *p != '\0'; ++p) {
        if (!(IsAsciiLetter(*p) || IsAsciiDigit(*p) || *p == '_' || *p == '$')) return false;
    }
    return true;
}

/* Appends a table, column or alias name; false (with the ERROR line) for
 * a name that is not a plain identifier. */
bool AppendName(const SqlDialect& d, std::string& out, const char* name) {
    if (!IsPlainIdentifier(name)) {
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

/* ---- Values ------------------------------------------------------------- */

enum class Written { kOk, kRefused, kNoTextForm };

/* Where a value is written: a value of a statement, a key value of an
 * update or delete condition, a column default. */
enum class At { kValue, kKey, kDefault };

/* A float in the shortest text that reads back as the same double (a
 * single-precision value as its exact double, so that a double column
 * keeps it and a single-precision column rounds it back to itself). */
std::string ShortestFloat(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

/* A finite double as a text the engine reads as exactly that double: its
 * shortest decimal form when that has no exponent (read as an exact
 * scaled integer), an integer below 2^53 in plain digits, any other value
 * as (CAST(m AS DOUBLE PRECISION) * POWER(CAST(2 AS DOUBLE PRECISION), k))
 * with m an odd integer of at most 53 bits and k its binary exponent
 * (down to -1074), products and powers of two being exact. */
std::string BinaryFloat(double value) {
    std::string shortest = ShortestFloat(value);
    if (shortest.find_first_of("eE") == std::string::npos) return shortest;
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
        char digits[32];
        snprintf(digits, sizeof digits, "%" PRId64, static_cast<int64_t>(value));
        return digits;
    }
    int exponent = 0;
    double fraction = std::frexp(value, &exponent);  // value = fraction * 2^exponent, 0.5 <= |fraction| < 1
    int64_t mantissa = static_cast<int64_t>(std::ldexp(fraction, 53));
    int power = exponent - 53;
    while (mantissa % 2 == 0) {
        mantissa /= 2;
        ++power;
    }
    char buffer[128];
    snprintf(buffer, sizeof buffer,
             "(CAST(%" PRId64 " AS DOUBLE PRECISION) * POWER(CAST(2 AS DOUBLE PRECISION), %d))", mantissa, power);
    return buffer;
}

/* The plain text of an integer, float or boolean value; false when the
 * value is shorter than its type or, for floats, not finite (*nonFinite). */
bool NumberText(uint8_t type, const void* value, int32_t length, std::string* text, bool* nonFinite,
                bool* aboveSigned64) {
    *nonFinite = false;
    if (aboveSigned64 != nullptr) *aboveSigned64 = false;
    int32_t width = GetStoredWidth(type);
    if (width <= 0 || length < width) return false;
    char buffer[32];
    switch (type) {
        case ORV_SQL_TINYINT: {
            int8_t v;
            memcpy(&v, value, 1);
            snprintf(buffer, sizeof buffer, "%d", static_cast<int>(v));
            break;
        }
        case ORV_SQL_UNSIGNED_TINYINT: {
            uint8_t v;
            memcpy(&v, value, 1);
            snprintf(buffer, sizeof buffer, "%u", static_cast<unsigned>(v));
            break;
        }
        case ORV_SQL_SMALLINT: {
            int16_t v;
            memcpy(&v, value, 2);
            snprintf(buffer, sizeof buffer, "%d", static_cast<int>(v));
            break;
        }
        case ORV_SQL_UNSIGNED_SMALLINT: {
            uint16_t v;
            memcpy(&v, value, 2);
            snprintf(buffer, sizeof buffer, "%u", static_cast<unsigned>(v));
            break;
        }
        case ORV_SQL_INT: {
            int32_t v;
            memcpy(&v, value, 4);
            snprintf(buffer, sizeof buffer, "%" PRId32, v);
            break;
        }
        case ORV_SQL_UNSIGNED_INT: {
            uint32_t v;
            memcpy(&v, value, 4);
            snprintf(buffer, sizeof buffer, "%" PRIu32, v);
            break;
        }
        case ORV_SQL_BIGINT: {
            int64_t v;
            memcpy(&v, value, 8);
            snprintf(buffer, sizeof buffer, "%" PRId64, v);
            break;
        }
        case ORV_SQL_UNSIGNED_LONG_INT: {
            uint64_t v;
            memcpy(&v, value, 8);
            snprintf(buffer, sizeof buffer, "%" PRIu64, v);
            if (aboveSigned64 != nullptr) *aboveSigned64 = v > static_cast<uint64_t>(INT64_MAX);
            break;
        }
        case ORV_SQL_FLOAT:
        case ORV_SQL_REAL: {
            float v;
            memcpy(&v, value, 4);
            if (!std::isfinite(v)) {
                *nonFinite = true;
                return false;
            }
            *text = ShortestFloat(static_cast<double>(v));
            return true;
        }
        case ORV_SQL_DOUBLE: {
            double v;
            memcpy(&v, value, 8);
            if (!std::isfinite(v)) {
                *nonFinite = true;
                return false;
            }
            *text = ShortestFloat(v);
            return true;
        }
        case ORV_SQL_BOOLEAN:
            *text = *static_cast<const uint8_t*>(value) == 1 ? "'t'" : "'f'";
            return true;
        default:
            return false;
    }
    *text = buffer;
    return true;
}

/* A decimal number: [+-] digits [. digits] [e [+-] digits], with digits
 * on at least one side of the point. */
bool IsDecimalText(const char* p, size_t n) {
    size_t i = 0;
    if (i < n && (p[i] == '+' || p[i] == '-')) ++i;
    size_t digits = 0;
    while (i < n && IsAsciiDigit(p[i])) ++i, ++digits;
    if (i < n && p[i] == '.') {
        ++i;
        while (i < n && IsAsciiDigit(p[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (p[i] == 'e' || p[i] == 'E')) {
        ++i;
        if (i < n && (p[i] == '+' || p[i] == '-')) ++i;
        size_t exponent = 0;
        while (i < n && IsAsciiDigit(p[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == n;
}

/* A text literal escaped for the dialect: quotes doubled, and backslashes
 * doubled where the engine reads them as escapes. */
void AppendQuoted(const SqlDialect& d, std::string& out, const char* p, size_t n) {
    out += '\'';
    for (size_t i = 0; i < n; ++i) {
        char c = p[i];
        if (c == '\'') {
            out += "''";
        } else if (c == '\\' && d.escapeBackslash) {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    out += '\'';
}

void AppendHex(const SqlDialect& d, std::string& out, const unsigned char* p, size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    switch (d.blobForm) {
        case SqlBlobForm::kXQuote: out += "X'"; break;
        case SqlBlobForm::kLowerXQuote: out += "x'"; break;
        case SqlBlobForm::kDecodeHex: out += "decode('"; break;
    }
    for (size_t i = 0; i < n; ++i) {
        out += kDigits[p[i] >> 4];
        out += kDigits[p[i] & 15];
    }
    out += d.blobForm == SqlBlobForm::kDecodeHex ? "','hex')" : "'";
}

/* The text of a date, time or date-time value for its column type. */
bool DateText(uint8_t type, const OrvDateTime* v, std::string* text) {
    const OrvDate* date = v->date;
    const OrvTime* time = v->time;
    if (type == ORV_SQL_TIME) {
        if (time == nullptr) return false;
        *text = Printf("%02d:%02d:%02d", time->hour, time->minute, time->second);
        return true;
    }
    if (date == nullptr) return false;
    *text = Printf("%04d-%02d-%02d", date->year, date->month, date->day);
    if (type == ORV_SQL_DATETIME) {
        *text += time != nullptr ? Printf(" %02d:%02d:%02d", time->hour, time->minute, time->second)
                                 : std::string(" 00:00:00");
    }
    return true;
}

const char* Or(const char* name) { return name != nullptr ? name : "(null)"; }

/* Writes a value of a column type as a literal of the dialect: NULL for
 * no value. kNoTextForm for the types that have none (0 and above 22);
 * kRefused, after its ERROR line, for a value that cannot be written as
 * what it is. Key values of a dialect that quotes them have their numbers
 * in quotes (MySQL). */
Written AppendValue(const SqlDialect& d, std::string& out, uint8_t type, const void* value, int32_t length,
                    const char* column, At at) {
    const bool quoteNumbers = at == At::kKey && d.quoteKeyNumbers;
    if (value == nullptr) {
        out += "NULL";
        return Written::kOk;
    }
    if (type == ORV_SQL_NOT_SUPPORTED_TYPE || type > kMaxTypeCode) return Written::kNoTextForm;
    const char* p = static_cast<const char*>(value);
    if (IsIntegerType(type) || IsFloatType(type)) {
        std::string text;
        bool nonFinite = false;
        bool aboveSigned64 = false;
        if (!NumberText(type, value, length, &text, &nonFinite, &aboveSigned64)) {
            if (nonFinite) {
                LogError("Value of column %s is not a finite number: statement refused.\n", Or(column));
            } else {
                LogError("Value of column %s is shorter than its type: statement refused.\n", Or(column));
            }
            return Written::kRefused;
        }
        if (aboveSigned64 && d.signedIntegersOnly) {
            LogError("Value %s of column %s is above the largest integer %s keeps: statement refused.\n",
                     text.c_str(), Or(column), d.name);
            return Written::kRefused;
        }
        if (quoteNumbers) {
            AppendQuoted(d, out, text.data(), text.size());
        } else if (d.exponentFloatsExact && IsFloatType(type) && at != At::kDefault) {
            double v;
            if (type == ORV_SQL_DOUBLE) {
                memcpy(&v, value, 8);
            } else {
                float f;
                memcpy(&f, value, 4);
                v = static_cast<double>(f);
            }
            out += BinaryFloat(v);
        } else if (type == ORV_SQL_BIGINT && d.bigintMinValue != nullptr && at != At::kDefault &&
                   text == "-9223372036854775808") {
            out += d.bigintMinValue;
        } else {
            out += text;
        }
        return Written::kOk;
    }
    switch (type) {
        case ORV_SQL_DECIMAL:
        case ORV_SQL_NUMERIC: {
            size_t n = length > 0 ? strnlen(p, static_cast<size_t>(length)) : 0;
            if (!IsDecimalText(p, n)) {
                LogError("Value of column %s is not a number: statement refused.\n", Or(column));
                return Written::kRefused;
            }
            if (quoteNumbers) {
                AppendQuoted(d, out, p, n);
            } else {
                out.append(p, n);
            }
            return Written::kOk;
        }
        case ORV_SQL_CHAR:
        case ORV_SQL_NCHAR:
        case ORV_SQL_TEXT:
            AppendQuoted(d, out, p, length > 0 ? strnlen(p, static_cast<size_t>(length)) : strlen(p));
            return Written::kOk;
        case ORV_SQL_CLOB: {
            size_t n = length > 0 ? static_cast<size_t>(length) : 0;
            if (memchr(p, 0, n) != nullptr) {
                LogError("Value of column %s holds a zero byte: statement refused.\n", Or(column));
                return Written::kRefused;
            }
            AppendQuoted(d, out, p, n);
            return Written::kOk;
        }
        case ORV_SQL_BLOB:
            AppendHex(d, out, static_cast<const unsigned char*>(value), length > 0 ? static_cast<size_t>(length) : 0);
            return Written::kOk;
        case ORV_SQL_DATE:
        case ORV_SQL_TIME:
        case ORV_SQL_DATETIME: {
            std::string text;
            if (!DateText(type, static_cast<const OrvDateTime*>(value), &text)) {
                LogError("Value of column %s lacks the %s its type needs: statement refused.\n", Or(column),
                         type == ORV_SQL_TIME ? "time" : "date");
                return Written::kRefused;
            }
            out += '\'';
            out += text;
            out += '\'';
            return Written::kOk;
        }
        case ORV_SQL_BOOLEAN:
        default:
            out += *static_cast<const uint8_t*>(value) == 1 ? d.trueLiteral : d.falseLiteral;
            return Written::kOk;
    }
}

/* A value of the type from a text (a criteria value of a date column, a
 * bound of BETWEEN). Null (with the ERROR line) when the text is not a
 * value of the type. */
void* ValueFromText(const std::string& text, uint8_t type, int32_t* length, const char* column) {
    bool ok = true;
    if (IsIntegerType(type)) {
        size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
        ok = i < text.size();
        for (; i < text.size(); ++i) ok = ok && IsAsciiDigit(text[i]);
    } else if (IsFloatType(type) || type == ORV_SQL_DECIMAL || type == ORV_SQL_NUMERIC) {
        ok = IsDecimalText(text.data(), text.size());
    } else if (type == ORV_SQL_BOOLEAN) {
        std::string lower;
        for (char c : text) lower += AsciiLower(c);
        int v = (lower == "1" || lower == "t" || lower == "true") ? 1 : (lower == "0" || lower == "f" || lower == "false") ? 0 : -1;
        if (v >= 0) {
            auto* block = static_cast<uint8_t*>(calloc(1, 2));
            if (block == nullptr) return nullptr;
            block[0] = static_cast<uint8_t>(v);
            *length = 1;
            return block;
        }
        ok = false;
    } else if (!(IsTextType(type) || IsDateTimeType(type) || type == ORV_SQL_CLOB)) {
        ok = false;
    }
    void* value = nullptr;
    if (ok && IsFloatType(type)) {
        double v = 0.0;
        const char* b = text.data() + (text[0] == '+' ? 1 : 0);
        ok = std::from_chars(b, text.data() + text.size(), v).ec == std::errc();
        if (ok) {
            auto* block = static_cast<char*>(calloc(1, 9));
            if (block == nullptr) return nullptr;
            if (type == ORV_SQL_DOUBLE) {
                memcpy(block, &v, 8);
                *length = 8;
            } else {
                float f = static_cast<float>(v);
                memcpy(block, &f, 4);
                *length = 4;
            }
            return block;
        }
    } else if (ok) {
        *length = static_cast<int32_t>(text.size());
        value = ConvertStringToColumnValue(text.c_str(), length, type);
        ok = value != nullptr;
    }
    if (!ok) LogError("\"%s\" is not a value of column %s: statement refused.\n", text.c_str(), Or(column));
    return value;
}

/* Writes a criteria or having value: stored values as literals, except
 * for date, time and date-time columns, whose criteria values are texts. */
bool AppendCriteriaValue(const SqlDialect& d, std::string& out, uint8_t type, const void* value, int32_t length,
                         const char* column) {
    if (IsDateTimeType(type) && value != nullptr) {
        const char* p = static_cast<const char*>(value);
        std::string text(p, length > 0 ? strnlen(p, static_cast<size_t>(length)) : 0);
        int32_t valueLength = 0;
        void* parsed = ValueFromText(text, type, &valueLength, column);
        if (parsed == nullptr) return false;
        Written w = AppendValue(d, out, type, parsed, kDateTimeStoredWidth, column, At::kValue);
        free(parsed);
        return w == Written::kOk;
    }
    Written w = AppendValue(d, out, type, value, length, column, At::kValue);
    if (w == Written::kNoTextForm) LogError("Unsupported Datatype Used in Query generation.\n");
    return w == Written::kOk;
}

/* One bound of BETWEEN: blanks around it dropped, and one level of single
 * quotes (with doubled quotes inside) taken off. */
std::string BetweenBound(std::string text) {
    size_t first = text.find_first_not_of(' ');
    size_t last = text.find_last_not_of(' ');
    text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        std::string inner;
        for (size_t i = 1; i + 1 < text.size(); ++i) {
            inner += text[i];
            if (text[i] == '\'' && i + 2 < text.size() && text[i + 1] == '\'') ++i;
        }
        return inner;
    }
    return text;
}

/* The value of BETWEEN is the text "<low> and <high>" (the word in any
 * case, outside quotes); each bound is written as a literal of the
 * column's type. */
bool AppendBetween(const SqlDialect& d, std::string& out, uint8_t type, const void* value, int32_t length,
                   const char* column) {
    if (value == nullptr) return true;
    const char* p = static_cast<const char*>(value);
    std::string text(p, length > 0 ? strnlen(p, static_cast<size_t>(length)) : 0);
    size_t split = std::string::npos;
    bool quoted = false;
    for (size_t i = 0; i + 5 <= text.size(); ++i) {
        if (text[i] == '\'') quoted = !quoted;
        if (!quoted && text[i] == ' ' && AsciiLower(text[i + 1]) == 'a' && AsciiLower(text[i + 2]) == 'n' &&
            AsciiLower(text[i + 3]) == 'd' && text[i + 4] == ' ') {
            split = i;
            break;
        }
    }
    if (split == std::string::npos) {
        LogError("BETWEEN value \"%s\" of column %s is not \"<low> and <high>\": statement refused.\n",
                 text.c_str(), Or(column));
        return false;
    }
    std::string bounds[2] = {BetweenBound(text.substr(0, split)), BetweenBound(text.substr(split + 5))};
    out += ' ';
    for (int i = 0; i < 2; ++i) {
        int32_t boundLength = 0;
        void* bound = ValueFromText(bounds[i], type, &boundLength, column);
        if (bound == nullptr) return false;
        Written w = AppendValue(d, out, type, bound, boundLength, column, At::kValue);
        free(bound);
        if (w != Written::kOk) {
            if (w == Written::kNoTextForm) LogError("Unsupported Datatype Used in Query generation.\n");
            return false;
        }
        if (i == 0) out += " AND ";
    }
    out += ' ';
    return true;
}

/* ---- Select clauses ----------------------------------------------------- */

/* "<alias>." or "<table>." of a column, else nothing. */
bool AppendPrefix(const SqlDialect& d, std::string& out, const SelectColumn* c, const char* fallbackAlias = nullptr,
                  const char* fallbackTable = nullptr) {
    const char* prefix = c->tableAlias != nullptr    ? c->tableAlias
                         : c->tableName != nullptr   ? c->tableName
                         : fallbackAlias != nullptr  ? fallbackAlias
                                                     : fallbackTable;
    if (prefix == nullptr) return true;
    if (!AppendName(d, out, prefix)) return false;
    out += '.';
    return true;
}

bool BuildColumns(const SqlDialect& d, const Vector* columns, std::string& out) {
    TraceSelectEntry(d, "GenerateColumnsStr");
    if (columns == nullptr) return true;
    for (VectorNode* node = First(columns); node != nullptr; node = node->next) {
        auto* c = static_cast<const SelectColumn*>(node->element);
        if (c == nullptr) continue;
        if (c->aggregate == kAggregateNone) {
            if (!AppendPrefix(d, out, c) || !AppendName(d, out, c->columnName)) return false;
            if (c->columnAlias != nullptr) {
                out += " as ";
                if (!AppendName(d, out, c->columnAlias)) return false;
                out += ' ';
            }
        } else if (c->aggregate <= kAggregateAvg) {
            out += ' ';
            out += kAggregateNames[c->aggregate];
            out += '(';
            if (c->columnName != nullptr) {
                if (!AppendPrefix(d, out, c) || !AppendName(d, out, c->columnName)) return false;
                out += ')';
            } else {
                out += "*)";
            }
            if (c->columnAlias != nullptr) {
                out += " as ";
                if (!AppendName(d, out, c->columnAlias)) return false;
                out += ' ';
            }
        } else {
            LogError("Invalid Aggregate Type %d\n", c->aggregate);
            return false;
        }
        out += node->next != nullptr ? "," : " \n";
    }
    return true;
}

bool BuildTableList(const SqlDialect& d, const Vector* tables, std::string& out) {
    TraceSelectEntry(d, "GenerateTableListStr");
    if (tables == nullptr) return true;
    for (VectorNode* node = First(tables); node != nullptr; node = node->next) {
        auto* t = static_cast<const SelectTable*>(node->element);
        if (t == nullptr) continue;
        if (t->tableName != nullptr && !AppendName(d, out, t->tableName)) return false;
        if (t->tableAlias != nullptr) {
            out += d.tableAliasLead;
            if (!AppendName(d, out, t->tableAlias)) return false;
            out += ' ';
        }
        out += node->next != nullptr ? ", " : "\n";
    }
    return true;
}

bool AppendJoinTable(const SqlDialect& d, std::string& out, const char* table, const char* alias) {
    out += ' ';
    if (!AppendName(d, out, table)) return false;
    out += ' ';
    if (alias != nullptr) {
        out += d.joinAliasLead;
        if (!AppendName(d, out, alias)) return false;
        out += ' ';
    }
    return true;
}

bool BuildJoins(const SqlDialect& d, const Vector* joins, std::string& out) {
    TraceSelectEntry(d, "GenerateJoinsStr");
    if (joins == nullptr) return true;
    bool first = true;
    for (VectorNode* node = First(joins); node != nullptr; node = node->next) {
        auto* j = static_cast<const JoinSpec*>(node->element);
        if (j == nullptr) continue;
        if (first && !AppendJoinTable(d, out, j->leftTable, j->leftAlias)) return false;
        first = false;
        if (j->joinType == kJoinInner) {
            out += " inner join ";
        } else if (j->joinType == kJoinLeft) {
            out += " left join ";
        } else {
            LogError("Invalid Join Type\n");
            return false;
        }
        if (!AppendJoinTable(d, out, j->rightTable, j->rightAlias)) return false;
        if (j->leftColumns != nullptr && j->rightColumns != nullptr) {
            out += " on ";
            VectorNode* right = First(j->rightColumns);
            for (VectorNode* left = First(j->leftColumns); left != nullptr; left = left->next) {
                auto* lc = static_cast<const SelectColumn*>(left->element);
                auto* rc = right != nullptr ? static_cast<const SelectColumn*>(right->element) : nullptr;
                if (lc == nullptr || rc == nullptr) {
                    LogError("Join of %s and %s pairs fewer right columns than left ones: statement refused.\n",
                             Or(j->leftTable), Or(j->rightTable));
                    return false;
                }
                if (!AppendPrefix(d, out, lc, j->leftAlias, j->leftTable) || !AppendName(d, out, lc->columnName)) {
                    return false;
                }
                out += " = ";
                if (!AppendPrefix(d, out, rc, j->rightAlias, j->rightTable) || !AppendName(d, out, rc->columnName)) {
                    return false;
                }
                if (left->next != nullptr) out += " and ";
                right = right->next;
            }
            out += ' ';
        }
    }
    return true;
}

bool IsLogical(const CriteriaNode* n) { return n->op == kSqlAnd || n->op == kSqlOr; }

/* One comparison: [ prefix.]name op value. */
bool AppendComparison(const SqlDialect& d, std::string& out, const CriteriaNode* n) {
    const SelectColumn* c = n->column;
    if (c == nullptr) {
        LogError("\nEmpty Column Assigned\n");
        return false;
    }
    if (n->op == 0 || n->op > kSqlBetween) {
        LogError("Invalid Operator %d\n", n->op);
        return false;
    }
    const char* prefix = c->tableAlias != nullptr ? c->tableAlias : c->tableName;
    if (prefix != nullptr) {
        out += ' ';
        if (!AppendName(d, out, prefix)) return false;
        out += '.';
    }
    if (!AppendName(d, out, c->columnName)) return false;
    out += ' ';
    out += kOperatorNames[n->op];
    out += ' ';
    if (n->op == kSqlBetween) return AppendBetween(d, out, c->dataType, n->value, n->valueLength, c->columnName);
    if (n->value == nullptr) return true;
    out += ' ';
    if (!AppendCriteriaValue(d, out, c->dataType, n->value, n->valueLength, c->columnName)) return false;
    out += ' ';
    return true;
}

/* The criteria tree in order (left subtree, node, right subtree), an AND
 * or OR below another node in parentheses, so that the text groups as the
 * tree does. Walks with a stack of its own (a tree may be deep). */
bool BuildCriteria(const SqlDialect& d, const CriteriaNode* root, std::string& out) {
    struct Frame {
        const CriteriaNode* node;
        int stage;
    };
    if (root == nullptr) return true;
    std::vector<Frame> stack;
    stack.push_back({root, 0});
    while (!stack.empty()) {
        Frame& f = stack.back();
        const CriteriaNode* n = f.node;
        bool grouped = n != root && IsLogical(n);
        if (f.stage == 0) {
            TraceSelectEntry(d, "GenCriteriaString");
            f.stage = 1;
            if (IsLogical(n)) {
                if (n->left == nullptr || n->right == nullptr) {
                    LogError("%s of the criteria lacks an operand: statement refused.\n", kOperatorNames[n->op]);
                    return false;
                }
                if (grouped) out += " (";
                stack.push_back({n->left, 0});
                continue;
            }
        }
        if (f.stage == 1) {
            f.stage = 2;
            if (IsLogical(n)) {
                out += ' ';
                out += kOperatorNames[n->op];
                out += ' ';
                stack.push_back({n->right, 0});
                continue;
            }
            if (!AppendComparison(d, out, n)) return false;
        }
        if (grouped) out += ") ";
        stack.pop_back();
    }
    return true;
}

bool BuildCriteriaClause(const SqlDialect& d, const CriteriaNode* root, std::string& out) {
    TraceSelectEntry(d, "GenerateCriteriaStr");
    out += "where ";
    return BuildCriteria(d, root, out);
}

bool BuildGroupBy(const SqlDialect& d, const GroupBySpec* g, std::string& out) {
    TraceSelectEntry(d, "GenerateGroupByStr");
    if (g == nullptr) return true;
    if (g->columns != nullptr && First(g->columns) != nullptr) {
        out += "group by ";
        for (VectorNode* node = First(g->columns); node != nullptr; node = node->next) {
            auto* c = static_cast<const SelectColumn*>(node->element);
            if (c == nullptr) continue;
            if (c->columnAlias != nullptr) {
                if (!AppendName(d, out, c->columnAlias)) return false;
            } else {
                if (c->tableName != nullptr) {
                    if (!AppendName(d, out, c->tableName)) return false;
                    out += '.';
                }
                if (!AppendName(d, out, c->columnName)) return false;
            }
            out += node->next != nullptr ? "," : "\n";
        }
    }
    const CriteriaNode* h = g->having;
    if (h == nullptr) return true;
    const SelectColumn* c = h->column;
    if (c == nullptr) {
        LogError("\nEmpty Column Assigned\n");
        return false;
    }
    if (h->op == 0 || h->op > kSqlBetween || IsLogical(h)) {
        LogError("Invalid Operator %d\n", h->op);
        return false;
    }
    if (c->aggregate > kAggregateAvg) {
        LogError("Invalid Aggregate Type %d\n", c->aggregate);
        return false;
    }
    out += "having ";
    out += ' ';
    if (c->aggregate != kAggregateNone) {
        out += kAggregateNames[c->aggregate];
        out += '(';
    }
    if (c->columnName != nullptr) {
        if (!AppendPrefix(d, out, c) || !AppendName(d, out, c->columnName)) return false;
    } else if (c->aggregate != kAggregateNone) {
        out += '*';
    } else {
        LogError("\nColumn Name is NULL\n");
        return false;
    }
    if (c->aggregate != kAggregateNone) out += ')';
    out += ' ';
    out += ' ';
    out += kOperatorNames[h->op];
    out += ' ';
    if (h->op == kSqlBetween) return AppendBetween(d, out, c->dataType, h->value, h->valueLength, c->columnName);
    out += ' ';
    if (!AppendCriteriaValue(d, out, c->dataType, h->value, h->valueLength, c->columnName)) return false;
    out += ' ';
    return true;
}

bool BuildSort(const SqlDialect& d, const SortSpec* s, std::string& out) {
    TraceSelectEntry(d, "GenerateSortColumnStr");
    if (s == nullptr || s->columns == nullptr || First(s->columns) == nullptr) return true;
    out += "order by ";
    for (VectorNode* node = First(s->columns); node != nullptr; node = node->next) {
        auto* c = static_cast<const SelectColumn*>(node->element);
        if (c == nullptr) continue;
        if (!AppendPrefix(d, out, c) || !AppendName(d, out, c->columnName)) return false;
        out += node->next != nullptr ? "," : " ";
    }
    out += s->ascending != 0 ? " asc " : " desc ";
    return true;
}

bool HasItems(const Vector* v) { return v != nullptr && First(v) != nullptr; }

bool BuildSelect(const SqlDialect& d, const SelectQuery* q, std::string& out) {
    TraceSelectEntry(d, "GenSelectQuery");
    if (q == nullptr) return false;
    std::string paging;
    if (d.paging == SqlPaging::kFirstSkip) {
        if (q->limit != 0) paging += Printf("first %d ", q->limit);
        if (q->offset != 0) paging += Printf("skip %d ", q->offset);
    }
    out += "select ";
    if (HasItems(q->columns)) {
        out += paging;
        if (!BuildColumns(d, q->columns, out)) return false;
        out += "from ";
    } else if (d.paging == SqlPaging::kFirstSkip) {
        out += paging;
        out += " * from ";
    } else {
        out += "* from ";
    }
    bool joins = HasItems(q->joins);
    bool tables = HasItems(q->tables);
    if (!joins && !tables) {
        LogError("\nNo Tables To Be Selected\n");
        return false;
    }
    if (joins && !BuildJoins(d, q->joins, out)) return false;
    if (joins && tables) out += ",";
    if (tables && !BuildTableList(d, q->tables, out)) return false;
    if (q->criteria != nullptr && !BuildCriteriaClause(d, q->criteria, out)) return false;
    if (q->groupBy != nullptr && !BuildGroupBy(d, q->groupBy, out)) return false;
    if (q->sort != nullptr && !BuildSort(d, q->sort, out)) return false;
    if (q->limit != 0) {
        if (d.paging == SqlPaging::kLimitOffset) {
            out += Printf("limit %d", q->limit);
            if (q->offset != 0) out += Printf(" offset %d", q->offset);
        } else if (d.paging == SqlPaging::kLimitOffsetCount) {
            out += "limit";
            if (q->offset != 0) out += Printf(" %d ,", q->offset);
            out += Printf(" %d", q->limit);
        }
    }
    LogTrace("\nSelect Query constructed is\n%s\n", out.c_str());
    return true;
}

/* ---- Statements on a table ---------------------------------------------- */

bool IsKeyColumn(const TableDefn* defn, const char* name) {
    const ConstraintDefn* c = defn->constraints;
    if (c == nullptr || c->primaryKeyColumns == nullptr) return false;
    for (int32_t i = 0; i < c->primaryKeyCount; ++i) {
        if (c->primaryKeyColumns[i] != nullptr && strcasecmp(c->primaryKeyColumns[i], name) == 0) return true;
    }
    return false;
}

int32_t KeyCount(const TableDefn* defn) {
    return defn->constraints != nullptr && defn->constraints->primaryKeyColumns != nullptr
               ? defn->constraints->primaryKeyCount
               : 0;
}

/* The definition of a table with columns, or null. */
const TableDefn* DefinitionWithColumns(const char* tableName) {
    const TableDefn* defn = GetTableDefn(tableName);
    if (defn == nullptr || defn->columns == nullptr || First(defn->columns) == nullptr) return nullptr;
    return defn;
}

bool BuildUpdate(const SqlDialect& d, const char* tableName, const RowObject* row, std::string& out) {
    const TableDefn* defn = DefinitionWithColumns(tableName);
    if (defn == nullptr || row == nullptr || row->values == nullptr || row->lengths == nullptr) return false;
    out += "update ";
    if (!AppendName(d, out, defn->name)) return false;
    out += " set ";
    std::string conditions;
    bool firstSet = true;
    int32_t i = 0;
    for (VectorNode* node = First(defn->columns); node != nullptr; node = node->next, ++i) {
        auto* column = static_cast<const ColumnDefnEntry*>(node->element);
        const bool key = IsKeyColumn(defn, column->name);
        if (key) LogTrace("@@@ Update Query has Primary Key in Set clause @@@\n");
        const void* value = row->values[i];
        std::string literal;
        Written w = AppendValue(d, literal, column->type, value, row->lengths[i], column->name,
                                key ? At::kKey : At::kValue);
        if (w == Written::kNoTextForm) {
            LogError("Unsupported Datatype Used in Query generation.\n");
            return false;
        }
        if (w == Written::kRefused) return false;
        std::string name;
        if (!AppendName(d, name, column->name)) return false;
        if (!key) {
            if (!firstSet) out += ',';
            firstSet = false;
            out += name;
            out += '=';
            out += literal;
        } else if (value != nullptr) {
            if (!conditions.empty()) conditions += " and ";
            conditions += name;
            conditions += '=';
            conditions += literal;
        }
    }
    // Without a key condition the statement ends in " where ", which every
    // engine rejects, rather than changing every row.
    out += " where ";
    out += conditions;
    LogTrace(d.updateTrace, out.c_str());
    return true;
}

bool BuildInsert(const SqlDialect& d, const char* tableName, const RowObject* row, std::string& out) {
    const TableDefn* defn = DefinitionWithColumns(tableName);
    if (defn == nullptr || row == nullptr || row->values == nullptr || row->lengths == nullptr) return false;
    out += "insert into  ";
    if (!AppendName(d, out, defn->name)) return false;
    out += " values(";
    int32_t i = 0;
    for (VectorNode* node = First(defn->columns); node != nullptr; node = node->next, ++i) {
        auto* column = static_cast<const ColumnDefnEntry*>(node->element);
        if (i > 0) out += ',';
        Written w = AppendValue(d, out, column->type, row->values[i], row->lengths[i], column->name, At::kValue);
        if (w == Written::kNoTextForm) out += "NULL";
        if (w == Written::kRefused) return false;
    }
    out += d.insertEnd;
    if (d.insertTrace != nullptr) LogTrace(d.insertTrace, out.c_str());
    return true;
}

bool BuildDelete(const SqlDialect& d, const char* tableName, const RowObject* row, std::string& out) {
    const TableDefn* defn = DefinitionWithColumns(tableName);
    if (defn == nullptr || row == nullptr || row->values == nullptr || row->lengths == nullptr) return false;
    out += "delete from ";
    if (!AppendName(d, out, defn->name)) return false;
    out += ' ';
    std::string conditions;
    int32_t i = 0;
    for (VectorNode* node = First(defn->columns); node != nullptr; node = node->next, ++i) {
        auto* column = static_cast<const ColumnDefnEntry*>(node->element);
        if (!IsKeyColumn(defn, column->name)) continue;
        // As in update, a key without a value gives no condition.
        if (row->values[i] == nullptr) continue;
        if (!conditions.empty()) conditions += " and ";
        if (!AppendName(d, conditions, column->name)) return false;
        conditions += '=';
        Written w = AppendValue(d, conditions, column->type, row->values[i], row->lengths[i], column->name,
                                At::kKey);
        if (w == Written::kNoTextForm) {
            LogError("Unsupported Datatype Used in Query generation.\n");
            return false;
        }
        if (w == Written::kRefused) return false;
    }
    // As for update: without a key the statement ends in " where ".
    out += " where ";
    out += conditions;
    LogTrace("Delete query is @@@%s\n", out.c_str());
    return true;
}

/* The column type of the dialect with the column's size for "%d". */
std::string ColumnType(const SqlDialect& d, const ColumnDefnEntry* column) {
    std::string type = d.columnTypes[column->type];
    size_t at = type.find("%d");
    if (at != std::string::npos) {
        int32_t size = column->maxSize > 0 ? column->maxSize : kDefaultTextColumnSize;
        type.replace(at, 2, std::to_string(size));
    }
    return type;
}

/* "a,b" of names; false for a name that is not a plain identifier. */
bool AppendNameList(const SqlDialect& d, std::string& out, const std::vector<const char*>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += ',';
        if (!AppendName(d, out, names[i])) return false;
    }
    return true;
}

bool BuildCreate(const SqlDialect& d, const char* tableName, std::string& out) {
    const TableDefn* defn = DefinitionWithColumns(tableName);
    if (defn == nullptr) return false;
    LogTrace("Table Name : %s\n", defn->name);
    LogTrace("Description: %s\n", Or(defn->description));
    LogTrace("---------------------------------------\n\n");
    out += "CREATE TABLE ";
    if (!AppendName(d, out, defn->name)) return false;
    out += "(\n";
    const int32_t keys = KeyCount(defn);
    for (VectorNode* node = First(defn->columns); node != nullptr; node = node->next) {
        auto* column = static_cast<const ColumnDefnEntry*>(node->element);
        LogTrace("Column Name : %s\n", column->name);
        LogTrace("Column Type : %d\n", column->type);
        LogTrace("Unique Flag : %s\n", column->unique ? "TRUE" : "FALSE");
        LogTrace("Description : %s\n", Or(column->description));
        LogTrace("---------------------------------------\n\n");
        if (column->type > kMaxTypeCode) {
            LogError("Unsupported Datatype Used in Query generation.\n");
            return false;
        }
        out += '\t';
        if (!AppendName(d, out, column->name)) return false;
        out += ' ';
        out += ColumnType(d, column);
        out += ' ';
        std::string defaultValue;
        Written w = column->defaultValue != nullptr
                        ? AppendValue(d, defaultValue, column->type, column->defaultValue, column->defaultLength,
                                      column->name, At::kDefault)
                        : Written::kNoTextForm;
        if (w == Written::kRefused) return false;
        if (w == Written::kOk) {
            out += "DEFAULT ";
            out += defaultValue;
        } else {
            out += ' ';
        }
        const bool key = IsKeyColumn(defn, column->name);
        if (!column->nullable) out += " NOT NULL";
        if (column->unique && !key) out += " UNIQUE";
        if (node->next != nullptr || keys > 0) {
            out += ",\n";
        } else {
            out += "\n";
        }
    }
    if (keys > 0) {
        out += "\tPRIMARY KEY(";
        for (int32_t i = 0; i < keys; ++i) {
            const char* name = defn->constraints->primaryKeyColumns[i];
            LogTrace("Primary key : %s\n\n", Or(name));
            if (i > 0) out += ", ";
            if (!AppendName(d, out, name)) return false;
        }
        out += ")";
    }
    const Vector* fks = defn->constraints != nullptr ? defn->constraints->foreignKeys : nullptr;
    if (HasItems(fks)) {
        LogTrace("Foreign key Constraints\n");
        LogTrace("********************************\n");
        out += ",\n";
        int group = 0;
        VectorNode* node = First(fks);
        while (node != nullptr) {
            auto* first = static_cast<const ForeignKeyEntry*>(node->element);
            std::vector<const char*> locals{first->localColumn};
            std::vector<const char*> references{first->referenceColumn};
            node = node->next;
            // Following entries to the same table with another reference
            // column than the group's first make one key of several columns.
            while (node != nullptr) {
                auto* e = static_cast<const ForeignKeyEntry*>(node->element);
                bool sameTable = e->referenceTable != nullptr && first->referenceTable != nullptr &&
                                 strcasecmp(e->referenceTable, first->referenceTable) == 0;
                bool otherColumn = e->referenceColumn == nullptr || first->referenceColumn == nullptr ||
                                   strcmp(e->referenceColumn, first->referenceColumn) != 0;
                if (!sameTable || !otherColumn) break;
                locals.push_back(e->localColumn);
                references.push_back(e->referenceColumn);
                node = node->next;
            }
            if (group > 0) out += ",\n";
            out += "\tFOREIGN KEY(";
            if (!AppendNameList(d, out, locals)) return false;
            out += ") REFERENCES ";
            if (!AppendName(d, out, first->referenceTable)) return false;
            out += " (";
            if (!AppendNameList(d, out, references)) return false;
            out += ") ON DELETE CASCADE";
            if (d.foreignKeyIndex) {
                out += ",\n";
                out += Printf("\tINDEX %s_IDX%d (", defn->name, group);
                if (!AppendNameList(d, out, locals)) return false;
                out += ")";
            }
            ++group;
        }
    }
    out += d.tableEnd;
    LogTrace("Create query is\n%s\n", out.c_str());
    return true;
}

/* Runs a builder and copies its text out; null when it refuses or memory
 * runs out (then copyFailure, when given, is logged). */
template <typename Build>
char* Generate(Build build, const char* copyFailure, const char* memoryFailure) {
    try {
        std::string out;
        if (!build(out)) return nullptr;
        char* text = CopyOut(out);
        if (text == nullptr && copyFailure != nullptr) LogError("%s", copyFailure);
        return text;
    } catch (const std::bad_alloc&) {
        LogError("%s", memoryFailure != nullptr ? memoryFailure : "Unable to allocate memory\n");
        return nullptr;
    }
}

constexpr const char* kCopyFailed = "@@@ Query String Copy falied @@@\n";

}  // namespace

/* ---- The shared plain text of a value ----------------------------------- */

char* ValueToSQLText(const void* value, int32_t length, uint8_t type, MemPool* pool) {
    if (value == nullptr || pool == nullptr) return nullptr;
    try {
        std::string text;
        if (IsIntegerType(type) || IsFloatType(type) || type == ORV_SQL_BOOLEAN) {
            bool nonFinite = false;
            if (!NumberText(type, value, length, &text, &nonFinite, nullptr)) return nullptr;
        } else if (type >= ORV_SQL_DECIMAL && type <= ORV_SQL_NCHAR) {
            const char* p = static_cast<const char*>(value);
            text.assign(p, length > 0 ? strnlen(p, static_cast<size_t>(length)) : 0);
        } else {
            return nullptr;
        }
        return static_cast<char*>(MemPoolMemdup(pool, text.data(), text.size()));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace sqlgen {

char* GenSelectQuery(const SqlDialect& d, const SelectQuery* query) {
    return Generate([&](std::string& out) { return BuildSelect(d, query, out); }, kCopyFailed, nullptr);
}

char* GenerateColumnsStr(const SqlDialect& d, const Vector* columns) {
    return Generate([&](std::string& out) { return BuildColumns(d, columns, out); }, nullptr, nullptr);
}

char* GenerateJoinsStr(const SqlDialect& d, const Vector* joins) {
    return Generate([&](std::string& out) { return BuildJoins(d, joins, out); }, nullptr, nullptr);
}

char* GenerateTableListStr(const SqlDialect& d, const Vector* tables) {
    return Generate([&](std::string& out) { return BuildTableList(d, tables, out); }, nullptr, nullptr);
}

char* GenerateCriteriaStr(const SqlDialect& d, const CriteriaNode* root) {
    return Generate([&](std::string& out) { return BuildCriteriaClause(d, root, out); }, nullptr, nullptr);
}

char* GenerateGroupByStr(const SqlDialect& d, const GroupBySpec* groupBy) {
    return Generate([&](std::string& out) { return BuildGroupBy(d, groupBy, out); }, nullptr, nullptr);
}

char* GenerateSortColumnStr(const SqlDialect& d, const SortSpec* sort) {
    return Generate([&](std::string& out) { return BuildSort(d, sort, out); }, nullptr, nullptr);
}

char* GenCriteriaString(const SqlDialect& d, const CriteriaNode* node) {
    return Generate([&](std::string& out) { return BuildCriteria(d, node, out); }, nullptr, nullptr);
}

char* GenUpdateQuery(const SqlDialect& d, const char* tableName, const RowObject* row) {
    TraceEntry(d, "GenUpdateQuery");
    return Generate([&](std::string& out) { return BuildUpdate(d, tableName, row, out); }, nullptr, d.memoryFailure);
}

char* GenInsertQuery(const SqlDialect& d, const char* tableName, const RowObject* row) {
    TraceEntry(d, "GenInsertQuery");
    return Generate([&](std::string& out) { return BuildInsert(d, tableName, row, out); }, nullptr, d.memoryFailure);
}

char* GenDeleteQuery(const SqlDialect& d, const char* tableName, const RowObject* row) {
    TraceEntry(d, d.deleteFunctionName);
    return Generate([&](std::string& out) { return BuildDelete(d, tableName, row, out); }, nullptr, nullptr);
}

char* GenCreateQuery(const SqlDialect& d, const char* tableName) {
    TraceEntry(d, "GenCreateQuery");
    return Generate([&](std::string& out) { return BuildCreate(d, tableName, out); }, kCopyFailed, nullptr);
}

RowObject* ConvResultsetToRowobject(const SqlDialect& d, ResultSet* set, const char* tableName) {
    TraceEntry(d, "ConvResultsetToRowobject");
    return ResultSetRowToRowObject(set, tableName);
}

}  // namespace sqlgen
}  // namespace orv
