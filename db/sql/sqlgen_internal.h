/*
 * What the files of the shared SQL generator (sqlgen_names.cpp,
 * sqlgen_literals.cpp, sqlgen_select.cpp, sqlgen_write.cpp,
 * sqlgen_create.cpp) share: statement texts grow in std::string, names go
 * in through AppendName (after IsPlainSqlIdentifier) and values through
 * AppendValue (texts after AppendSqlTextLiteral), and Generate
 * turns a builder into the heap text a generator returns.
 *
 * Internal to db/sql/. Thread-safe: no shared state besides the log.
 */
#ifndef ORV_DB_SQL_SQLGEN_INTERNAL_H
#define ORV_DB_SQL_SQLGEN_INTERNAL_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "agent/log.h"
#include "datastore/table_defn.h"
#include "db/sql/sqlgen.h"
#include "util/string_util.h"

namespace orv {
namespace sqlgen {

/* ---- Small helpers ------------------------------------------------------ */

/* A heap copy of text (released with free()), or null. */
inline char* CopyOut(const std::string& text) {
    auto* copy = static_cast<char*>(malloc(text.size() + 1));
    if (copy == nullptr) return nullptr;
    memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}


/* The first node of a list (null for none). */
inline VectorNode* First(const Vector* list) {
    return list != nullptr ? ElementAt(const_cast<Vector*>(list), 0) : nullptr;
}

inline bool HasItems(const Vector* v) { return v != nullptr && First(v) != nullptr; }

inline bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

inline const char* Or(const char* name) { return name != nullptr ? name : "(null)"; }

/* The entry line of the select and its clause functions. */
inline void TraceSelectEntry(const SqlDialect& d, const char* function) {
    LogTrace("@@@@@@@@@@@ - INSIDE %s%s - @@@@@@@@@@@@@", d.log.word, function);
}

/* The entry line of update, insert, delete, create and conversion. */
inline void TraceEntry(const SqlDialect& d, const char* function) {
    if (d.log.entryTrace) LogTrace("@@@ Inside %s%s @@@\n", d.log.word, function);
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

inline constexpr const char* kCopyFailed = "@@@ Query String Copy falied @@@\n";

/* ---- Names (sqlgen_names.cpp) ------------------------------------------- */

/* Appends a table, column or alias name; false (with the ERROR line) for
 * a name that is not a plain identifier. */
bool AppendName(const SqlDialect& d, std::string& out, const char* name);

/* ---- Values (sqlgen_literals.cpp) --------------------------------------- */

enum class Written { kOk, kRefused, kNoTextForm };

/* Where a value is written: a value of a statement, a key value of an
 * update or delete condition, a column default. */
enum class At { kValue, kKey, kDefault };

/* Writes a value of a column type as a literal of the dialect: NULL for
 * no value. kNoTextForm for the types that have none (0 and above 22);
 * kRefused, after its ERROR line, for a value that cannot be written as
 * what it is. Key values of a dialect that quotes them have their numbers
 * in quotes (MySQL). */
Written AppendValue(const SqlDialect& d, std::string& out, uint8_t type, const void* value, int32_t length,
                    const char* column, At at);

/* Writes a criteria or having value: stored values as literals, except
 * for date, time and date-time columns, whose criteria values are texts. */
bool AppendCriteriaValue(const SqlDialect& d, std::string& out, uint8_t type, const void* value, int32_t length,
                         const char* column);

/* The value of BETWEEN is the text "<low> and <high>" (the word in any
 * case, outside quotes); each bound is written as a literal of the
 * column's type. */
bool AppendBetween(const SqlDialect& d, std::string& out, uint8_t type, const void* value, int32_t length,
                   const char* column);

/* ---- Tables (sqlgen_write.cpp) ------------------------------------------ */

bool IsKeyColumn(const TableDefn* defn, const char* name);
int32_t KeyCount(const TableDefn* defn);
/* The definition of a table with columns, or null. */
const TableDefn* DefinitionWithColumns(const char* tableName);

}  // namespace sqlgen
}  // namespace orv

#endif
