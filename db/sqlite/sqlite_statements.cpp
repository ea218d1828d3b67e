/*
 * The SQLite provider's prepared statements of a connection. The library
 * writes every value of an insert, update or delete into its statement as
 * a literal, so that no two rows' statements share a text; preparing each
 * one costs more than running it. A statement text of one of those kinds
 * is therefore read once more here: its literals (numbers, quoted texts,
 * X'..' blobs) are taken out and bound as parameters of the same values,
 * and the statement of the remaining shape is prepared once per
 * connection and reused. A text this reader does not follow whole (a
 * comment, a second statement, a number that is no 64-bit integer or
 * double, an unclosed quote, any other statement kind) is prepared as it
 * is. Not thread-safe: used under the connection's object lock.
 */
#include <strings.h>

#include <charconv>
#include <new>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/sqlite/sqlite_internal.h"

namespace orv::sqlite {

namespace {

/* The statements kept per connection; when full, all are let go. */
constexpr size_t kMaxCachedStatements = 64;

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool StartsWithWord(const char* sql, const char* word) {
    while (*sql == ' ' || *sql == '\t' || *sql == '\n' || *sql == '\r') ++sql;
    const size_t n = strlen(word);
    if (strncasecmp(sql, word, n) != 0) return false;
    return !IsWordChar(sql[n]);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool SplitSqlLiterals(const char* sql, std::string* shape, std::vector<SqlLiteral>* literals) {
    if (!StartsWithWord(sql, "insert") && !StartsWithWord(sql, "update") && !StartsWithWord(sql, "delete")) {
        return false;
    }
    shape->clear();
    literals->clear();
    const char* p = sql;
    while (*p != '\0') {
        const char c = *p;
        if (c == '\'') {  // a text: '' stands for one quote
            SqlLiteral literal{SqlLiteral::Kind::kText, 0, 0.0, {}};
            ++p;
            for (;;) {
                if (*p == '\0') return false;
                if (*p == '\'') {
                    if (p[1] != '\'') break;
                    ++p;
                }
                literal.bytes += *p++;
            }
            ++p;
            literals->push_back(std::move(literal));
            *shape += '?';
        } else if ((c == 'x' || c == 'X') && p[1] == '\'' && (p == sql || !IsWordChar(p[-1]))) {
            SqlLiteral literal{SqlLiteral::Kind::kBlob, 0, 0.0, {}};
            p += 2;
            while (*p != '\'') {
                const int high = HexDigit(p[0]);
                const int low = high < 0 ? -1 : HexDigit(p[1]);
                if (low < 0) return false;
                literal.bytes += static_cast<char>(high * 16 + low);
                p += 2;
            }
            ++p;
            literals->push_back(std::move(literal));
            *shape += '?';
        } else if (c == '"' || c == '`' || c == '[') {  // a quoted name, kept
            const char close = c == '[' ? ']' : c;
            *shape += *p++;
            while (*p != close) {
                if (*p == '\0') return false;
                *shape += *p++;
            }
            *shape += *p++;
        } else if ((c >= '0' && c <= '9') || (c == '.' && p[1] >= '0' && p[1] <= '9')) {
            const char* start = p;
            bool isReal = false;
            while (*p >= '0' && *p <= '9') ++p;
            if (*p == '.') {
                isReal = true;
                ++p;
                while (*p >= '0' && *p <= '9') ++p;
            }
            if (*p == 'e' || *p == 'E') {
                isReal = true;
                ++p;
                if (*p == '+' || *p == '-') ++p;
                if (!(*p >= '0' && *p <= '9')) return false;
                while (*p >= '0' && *p <= '9') ++p;
            }
            if (IsWordChar(*p) || *p == '.') return false;  // 0x1F, 1.2.3 and the like
            SqlLiteral literal{isReal ? SqlLiteral::Kind::kDouble : SqlLiteral::Kind::kInteger, 0, 0.0, {}};
            auto r = isReal ? std::from_chars(start, p, literal.real) : std::from_chars(start, p, literal.integer);
            if (r.ec != std::errc() || r.ptr != p) return false;  // beyond 64 bits: SQLite reads it as a REAL
            literals->push_back(std::move(literal));
            *shape += '?';
        } else if (IsWordChar(c)) {  // a name or key word, digits and all
            while (IsWordChar(*p)) *shape += *p++;
        } else if ((c == '-' && p[1] == '-') || (c == '/' && p[1] == '*') || c == '?' || c == ':' || c == '@' ||
                   c == '#') {
            return false;  // comments and parameters of the caller's own
        } else if (c == ';') {
            *shape += *p++;
            for (const char* q = p; *q != '\0'; ++q) {
                if (*q != ' ' && *q != '\t' && *q != '\n' && *q != '\r') return false;  // a second statement
            }
            break;
        } else {
            *shape += *p++;
        }
    }
    return true;
}

bool BindSqlLiterals(sqlite3_stmt* statement, const std::vector<SqlLiteral>& literals) {
    if (sqlite3_bind_parameter_count(statement) != static_cast<int>(literals.size())) return false;
    int index = 1;
    for (const SqlLiteral& literal : literals) {
        int r = SQLITE_OK;
        switch (literal.kind) {
            case SqlLiteral::Kind::kInteger:
                r = sqlite3_bind_int64(statement, index, literal.integer);
                break;
            case SqlLiteral::Kind::kDouble:
                r = sqlite3_bind_double(statement, index, literal.real);
                break;
            case SqlLiteral::Kind::kText:
                r = sqlite3_bind_text(statement, index, literal.bytes.data(), static_cast<int>(literal.bytes.size()),
                                      SQLITE_TRANSIENT);
                break;
            case SqlLiteral::Kind::kBlob:
                r = literal.bytes.empty() ? sqlite3_bind_zeroblob(statement, index, 0)
                                          : sqlite3_bind_blob(statement, index, literal.bytes.data(),
                                                              static_cast<int>(literal.bytes.size()), SQLITE_TRANSIENT);
                break;
        }
        if (r != SQLITE_OK) return false;
        ++index;
    }
    return true;
}

struct StatementCache {
    std::unordered_map<std::string, sqlite3_stmt*> statements;
    std::string shape;
    std::vector<SqlLiteral> literals;
};

void FreeStatementCache(StatementCache* cache) {
    if (cache == nullptr) return;
    for (auto& entry : cache->statements) sqlite3_finalize(entry.second);
    delete cache;
}

sqlite3_stmt* CachedStatement(SqliteConnection* handle, const char* sql) {
    if (handle->cache == nullptr) {
        handle->cache = new (std::nothrow) StatementCache();
        if (handle->cache == nullptr) return nullptr;
    }
    StatementCache& cache = *handle->cache;
    if (strlen(sql) > 100000 || !SplitSqlLiterals(sql, &cache.shape, &cache.literals)) return nullptr;
    sqlite3_stmt* statement = nullptr;
    auto found = cache.statements.find(cache.shape);
    if (found != cache.statements.end()) {
        statement = found->second;
    } else {
        const char* tail = nullptr;
        if (sqlite3_prepare_v3(handle->db, cache.shape.c_str(), static_cast<int>(cache.shape.size()) + 1,
                               SQLITE_PREPARE_PERSISTENT, &statement, &tail) != SQLITE_OK ||
            statement == nullptr) {
            // The caller prepares the text itself and reports what is wrong.
            sqlite3_finalize(statement);
            return nullptr;
        }
        if (cache.statements.size() >= kMaxCachedStatements) {
            for (auto& entry : cache.statements) sqlite3_finalize(entry.second);
            cache.statements.clear();
        }
        cache.statements.emplace(cache.shape, statement);
    }
    if (!BindSqlLiterals(statement, cache.literals)) {
        sqlite3_clear_bindings(statement);
        return nullptr;
    }
    return statement;
}

void ReleaseCachedStatement(sqlite3_stmt* statement) {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
}

}  // namespace orv::sqlite
