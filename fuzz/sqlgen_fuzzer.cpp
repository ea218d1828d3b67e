// Fuzzes the SQLITE dialect's statements with values and names from the
// input, checked on SQLite itself in this process. The input is split at
// its NUL bytes:
//   byte 0           flags: bit 0 the table name, bit 1 the text column's
//                    name come from the input; bit 2 the text column is a
//                    varchar (code 14) instead of a text (22)
//   piece 1, 2, 3    the text inserted, the text it is updated to, and a
//                    text the criteria look for
//   piece 4, 5       the table name and the text column's name (when the
//                    flags say so)
//   the rest         the blob (zero bytes and all)
// A table of four columns (Id int key, the text, an int, a blob) is created,
// a row inserted, updated, selected by criteria on the text and deleted,
// every statement generated. Each statement must be refused (null) or be
// exactly one statement that SQLite parses (the tail after it is blank)
// and that stores or selects the values unchanged, which prepared
// statements read back byte for byte; a name that is not a plain
// identifier must be refused by every statement that writes it (an insert
// and a delete name no column but the key: with a refused column name
// they are run on a table made here). Anything else traps.
#include <sqlite3.h>
#include <strings.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datastore/relvar.h"
#include "datastore/table_defn.h"
#include "datastore/type_codes.h"
#include "db/select_query.h"
#include "db/sql/sql_dialects.h"

namespace {

[[noreturn]] void Fail() { __builtin_trap(); }

/* The statement being checked, named when a check fails. */
std::string g_statement;

void CheckAt(bool ok, int line, const char* what) {
    if (ok) return;
    fprintf(stderr, "fuzz_sqlgen: check failed at line %d: %s\nstatement: %s\n", line, what, g_statement.c_str());
    Fail();
}
#define Check(cond) CheckAt((cond), __LINE__, #cond)

bool IsPlainIdentifier(const std::string& name) {
    if (name.empty()) return false;
    auto c0 = static_cast<unsigned char>(name[0]);
    if (!(isalpha(c0) || c0 == '_') || c0 >= 0x80) return false;
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || !(isalnum(c) || c == '_' || c == '$')) return false;
    }
    return true;
}

/* A name as an SQLite quoted identifier, for the checking statements. */
std::string Quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

struct Input {
    uint8_t flags = 0;
    std::string pieces[5];
    std::string blob;
};

Input Split(const uint8_t* data, size_t size) {
    Input in;
    if (size == 0) return in;
    in.flags = data[0];
    size_t pos = 1;
    for (std::string& piece : in.pieces) {
        while (pos < size && data[pos] != 0) piece += static_cast<char>(data[pos++]);
        if (pos < size) ++pos;  // the NUL
    }
    if (pos < size) in.blob.assign(reinterpret_cast<const char*>(data + pos), size - pos);
    return in;
}

/* A heap value block of bytes with its terminating zero. */
void* Block(const void* bytes, size_t n) {
    auto* block = static_cast<char*>(calloc(n + 1, 1));
    if (block == nullptr) Fail();
    if (n > 0) memcpy(block, bytes, n);
    return block;
}

/* A row of the table: Id, text, number, blob. */
orv::RowObject* MakeRow(int32_t id, const std::string* text, int32_t number, const std::string* blob) {
    auto** values = static_cast<void**>(calloc(4, sizeof(void*)));
    auto* lengths = static_cast<int32_t*>(calloc(4, sizeof(int32_t)));
    if (values == nullptr || lengths == nullptr) Fail();
    values[0] = Block(&id, 4);
    lengths[0] = 4;
    if (text != nullptr) {
        values[1] = Block(text->data(), text->size());
        lengths[1] = static_cast<int32_t>(text->size());
    }
    values[2] = Block(&number, 4);
    lengths[2] = 4;
    if (blob != nullptr) {
        values[3] = Block(blob->data(), blob->size());
        lengths[3] = static_cast<int32_t>(blob->size());
    }
    orv::RowObject* row = orv::CreateNewRowObject(values, lengths);
    if (row == nullptr) Fail();
    return row;
}

/* Takes over a generated text. */
bool Take(char* text, std::string* out) {
    if (text == nullptr) return false;
    *out = text;
    free(text);
    return true;
}

/* Runs a generated statement: it must be one statement and run. Returns
 * the rows it gave (each value as bytes, with a marker for NULL). */
using Rows = std::vector<std::vector<std::string>>;

Rows RunOne(sqlite3* db, const std::string& sql) {
    g_statement = sql;
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()) + 1, &stmt, &tail);
    if (rc != SQLITE_OK) fprintf(stderr, "fuzz_sqlgen: %s\n", sqlite3_errmsg(db));
    Check(rc == SQLITE_OK && stmt != nullptr);
    // Nothing but blanks after the one statement.
    for (const char* p = tail; p != nullptr && *p != '\0'; ++p) Check(isspace(static_cast<unsigned char>(*p)) != 0);
    Check(tail == nullptr || tail <= sql.c_str() + sql.size());
    Rows rows;
    for (;;) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) fprintf(stderr, "fuzz_sqlgen: %s\n", sqlite3_errmsg(db));
        Check(rc == SQLITE_ROW);
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            if (sqlite3_column_type(stmt, i) == SQLITE_NULL) {
                row.emplace_back("\x01NULL");
                continue;
            }
            const void* bytes = sqlite3_column_type(stmt, i) == SQLITE_BLOB ? sqlite3_column_blob(stmt, i)
                                                                             : static_cast<const void*>(sqlite3_column_text(stmt, i));
            int n = sqlite3_column_bytes(stmt, i);
            row.emplace_back(static_cast<const char*>(bytes), bytes == nullptr ? 0 : static_cast<size_t>(n));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    return rows;
}

/* The stored row read with a statement of our own: text, number, blob
 * with their storage classes. */
struct Stored {
    bool found = false;
    int textType = 0;
    std::string text;
    int64_t number = 0;
    int blobType = 0;
    std::string blob;
    int rowCount = 0;
};

Stored ReadBack(sqlite3* db, const std::string& table, const std::string& textColumn) {
    Stored s;
    std::string sql = "SELECT " + Quoted(textColumn) + ", \"Num\", \"Bin\", (SELECT count(*) FROM " + Quoted(table) +
                      ") FROM " + Quoted(table) + " WHERE \"Id\" = ?1";
    sqlite3_stmt* stmt = nullptr;
    Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK);
    sqlite3_bind_int(stmt, 1, 1);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        s.found = true;
        s.textType = sqlite3_column_type(stmt, 0);
        if (s.textType == SQLITE_BLOB) {
            s.text.assign(static_cast<const char*>(sqlite3_column_blob(stmt, 0)),
                          static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
        } else if (s.textType != SQLITE_NULL) {
            s.text.assign(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                          static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
        }
        s.number = sqlite3_column_int64(stmt, 1);
        s.blobType = sqlite3_column_type(stmt, 2);
        const void* b = sqlite3_column_blob(stmt, 2);
        s.blob.assign(static_cast<const char*>(b), b == nullptr ? 0 : static_cast<size_t>(sqlite3_column_bytes(stmt, 2)));
        s.rowCount = sqlite3_column_int(stmt, 3);
        rc = sqlite3_step(stmt);
    }
    Check(rc == SQLITE_DONE);
    sqlite3_finalize(stmt);
    return s;
}

void ExpectStored(sqlite3* db, const std::string& table, const std::string& textColumn, const std::string& text,
                  int32_t number, const std::string& blob) {
    Stored s = ReadBack(db, table, textColumn);
    Check(s.found);
    Check(s.rowCount == 2);  // and the other row
    Check(s.textType == SQLITE_TEXT);
    Check(s.text == text);
    Check(s.number == number);
    // An empty blob may be stored as an empty blob or read as one.
    Check(s.blobType == SQLITE_BLOB || (blob.empty() && s.blobType != SQLITE_NULL));
    Check(s.blob == blob);
}

/* The rows a generated select by "text column = value" gives. */
bool SelectByText(const orv::SQLGenerator* gen, sqlite3* db, const std::string& table, const std::string& column,
                  uint8_t type, const std::string& value, Rows* rows) {
    orv::SelectQuery* q = orv::CreateSelectQuery();
    if (q == nullptr) Fail();
    Check(orv::AddSelectTable(q, orv::CreateSelectTable(table.c_str(), nullptr, q->pool)));
    orv::SelectColumn* c = orv::CreateSelectColumn(nullptr, nullptr, column.c_str(), nullptr, 0, type, 0, q->pool);
    Check(c != nullptr);
    orv::CriteriaNode* node =
        orv::CreateCriteriaNode(c, value.data(), static_cast<int32_t>(value.size()), orv::kSqlEqual, q->pool);
    Check(node != nullptr);
    orv::SetCriteria(q, node);
    std::string sql;
    bool made = Take(gen->generateSelect(q), &sql);
    orv::FreeSelectQuery(q);
    if (!made) return false;
    *rows = RunOne(db, sql);
    return true;
}

void RunInput(const Input& in) {
    const orv::SQLGenerator* gen = orv::GetSqliteSQLGenerator();
    const std::string table = (in.flags & 1) ? in.pieces[3] : "T";
    const std::string textColumn = (in.flags & 2) ? in.pieces[4] : "Txt";
    const uint8_t textType = (in.flags & 4) ? orv::ORV_SQL_CHAR : orv::ORV_SQL_TEXT;
    const bool plain = IsPlainIdentifier(table) && IsPlainIdentifier(textColumn);
    // Names SQLite keeps for itself, or one the table has already.
    if (IsPlainIdentifier(table) && strncasecmp(table.c_str(), "sqlite_", 7) == 0) return;
    if (IsPlainIdentifier(textColumn) &&
        (strcasecmp(textColumn.c_str(), "Id") == 0 || strcasecmp(textColumn.c_str(), "Num") == 0 ||
         strcasecmp(textColumn.c_str(), "Bin") == 0)) {
        return;
    }

    orv::Vector* columns = orv::NewVector();
    if (columns == nullptr) Fail();
    struct Spec {
        const char* name;
        uint8_t type;
        int32_t size;
    };
    const Spec specs[] = {{"Id", orv::ORV_SQL_INT, 0},
                          {textColumn.c_str(), textType, 255},
                          {"Num", orv::ORV_SQL_INT, 0},
                          {"Bin", orv::ORV_SQL_BLOB, 0}};
    for (const Spec& s : specs) {
        orv::ColumnDefnEntry* e =
            orv::CreateColumnDefnEntry(s.name, s.type, nullptr, 0, 0, nullptr, nullptr, s.size, 1, nullptr);
        if (e == nullptr) Fail();
        orv::AddValue(columns, e);
    }
    orv::ConstraintDefn* constraints = orv::CreateConstraintDefn();
    if (constraints == nullptr) Fail();
    constraints->primaryKeyColumns = static_cast<char**>(calloc(1, sizeof(char*)));
    constraints->primaryKeyColumns[0] = strdup("Id");
    constraints->primaryKeyCount = 1;
    orv::TableDefn* defn = orv::CreateTableDefn(table.c_str(), nullptr, columns, constraints);
    if (defn == nullptr) Fail();
    Check(orv::AddTableDefn(defn));
    // A select column has a type up to 21: a text column is compared as a
    // char column.
    const uint8_t criteriaType = orv::ORV_SQL_CHAR;

    const std::string& first = in.pieces[0];
    const std::string& second = in.pieces[1];
    const std::string& sought = in.pieces[2];
    const int32_t number = static_cast<int32_t>(in.flags) * 1000003 - 7;
    const std::string blob2 = in.blob + std::string("\0'\\", 3);

    sqlite3* db = nullptr;
    Check(sqlite3_open(":memory:", &db) == SQLITE_OK);

    // The text column's name in the database: the generated one, or ours
    // when the name from the input is refused (an insert and a delete name
    // no column but the key, and may still be generated then).
    std::string dbColumn = textColumn;
    std::string sql;
    bool columnPlain = IsPlainIdentifier(textColumn);
    Rows rows;
    if (Take(gen->generateCreateTable(table.c_str()), &sql)) {
        Check(plain);
        RunOne(db, sql);
    } else {
        orv::RowObject* row = MakeRow(1, &first, number, &in.blob);
        std::string other;
        Check(!Take(gen->generateUpdate(table.c_str(), row), &other));
        Check(!SelectByText(gen, db, table, textColumn, criteriaType, sought, &rows));
        if (!IsPlainIdentifier(table)) {
            Check(!Take(gen->generateInsert(table.c_str(), row), &other));
            Check(!Take(gen->generateDelete(table.c_str(), row), &other));
            orv::FreeRowObject(row, 4);
            sqlite3_close(db);
            orv::FreeAllTableDefns();
            return;
        }
        orv::FreeRowObject(row, 4);
        if (columnPlain) Fail();  // both names plain, yet refused
        dbColumn = "Txt";
        RunOne(db, "CREATE TABLE " + Quoted(table) + " (\"Id\" int, \"Txt\" text, \"Num\" int, \"Bin\" blob, "
                   "PRIMARY KEY (\"Id\"))");
    }
    // Another row, which no statement about row 1 may touch; its text is
    // longer than any text of the input.
    const std::string other = "\x02" + first + second + sought;
    std::string put = "INSERT INTO " + Quoted(table) + " (\"Id\", " + Quoted(dbColumn) +
                      ", \"Num\", \"Bin\") VALUES (2, ?1, 0, x'00')";
    sqlite3_stmt* stmt = nullptr;
    Check(sqlite3_prepare_v2(db, put.c_str(), -1, &stmt, nullptr) == SQLITE_OK);
    sqlite3_bind_text(stmt, 1, other.data(), static_cast<int>(other.size()), SQLITE_TRANSIENT);
    Check(sqlite3_step(stmt) == SQLITE_DONE);
    sqlite3_finalize(stmt);

    orv::RowObject* row = MakeRow(1, &first, number, &in.blob);
    bool inserted = Take(gen->generateInsert(table.c_str(), row), &sql);
    orv::FreeRowObject(row, 4);
    if (inserted) {
        RunOne(db, sql);
        Check(sqlite3_changes(db) == 1);
        ExpectStored(db, table, dbColumn, first, number, in.blob);

        if (columnPlain && SelectByText(gen, db, table, textColumn, criteriaType, first, &rows)) {
            Check(rows.size() == 1 && rows[0].size() == 4 && rows[0][1] == first);
        }
        if (columnPlain && SelectByText(gen, db, table, textColumn, criteriaType, sought, &rows)) {
            Check(rows.size() == (sought == first ? 1u : 0u));
            if (!rows.empty()) Check(rows[0][1] == first);
        }

        orv::RowObject* changed = MakeRow(1, &second, number + 1, &blob2);
        bool updated = columnPlain && Take(gen->generateUpdate(table.c_str(), changed), &sql);
        orv::FreeRowObject(changed, 4);
        if (updated) {
            RunOne(db, sql);
            Check(sqlite3_changes(db) == 1);
            ExpectStored(db, table, dbColumn, second, number + 1, blob2);
            if (SelectByText(gen, db, table, textColumn, criteriaType, second, &rows)) {
                Check(rows.size() == 1 && rows[0][1] == second);
            }
        }

        orv::RowObject* key = MakeRow(1, nullptr, 0, nullptr);
        bool deleted = Take(gen->generateDelete(table.c_str(), key), &sql);
        orv::FreeRowObject(key, 4);
        if (deleted) {
            RunOne(db, sql);
            Check(sqlite3_changes(db) == 1);
            Check(!ReadBack(db, table, dbColumn).found);
            Rows left = RunOne(db, "SELECT count(*) FROM " + Quoted(table));
            Check(left.size() == 1 && left[0][0] == "1");
        }
    }
    sqlite3_close(db);
    orv::FreeAllTableDefns();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    orv::InitTableDefnList();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RunInput(Split(data, size));
    return 0;
}
