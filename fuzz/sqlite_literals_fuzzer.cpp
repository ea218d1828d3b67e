// Fuzzes the SQLite provider's reading of the literals of an insert,
// update or delete. The input is the statement text. When it is split, the
// shape with each literal written back as a literal must split again into
// the same shape and the same values; the shape is prepared (never run) on
// an in-memory database and the literals bound to it.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "db/sqlite/sqlite_internal.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::string LiteralText(const orv::sqlite::SqlLiteral& literal) {
    using Kind = orv::sqlite::SqlLiteral::Kind;
    switch (literal.kind) {
        case Kind::kInteger:
            return std::to_string(literal.integer);
        case Kind::kDouble: {
            char text[64];
            auto r = std::to_chars(text, text + sizeof text, literal.real);
            std::string out(text, r.ptr);
            if (out.find_first_of(".e") == std::string::npos) out += ".0";
            return out;
        }
        case Kind::kText: {
            std::string out = "'";
            for (char c : literal.bytes) out += c == '\'' ? std::string("''") : std::string(1, c);
            return out + "'";
        }
        case Kind::kBlob: {
            static const char kHex[] = "0123456789abcdef";
            std::string out = "X'";
            for (unsigned char c : literal.bytes) {
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
            return out + "'";
        }
    }
    return "";
}

sqlite3* Database() {
    static sqlite3* db = [] {
        sqlite3* handle = nullptr;
        sqlite3_open(":memory:", &handle);
        sqlite3_exec(handle, "create table t (a integer, b double, c text, d blob)", nullptr, nullptr, nullptr);
        return handle;
    }();
    return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();  // the statement ends at its first zero byte
    std::string shape;
    std::vector<orv::sqlite::SqlLiteral> literals;
    if (!orv::sqlite::SplitSqlLiterals(text.c_str(), &shape, &literals)) return 0;

    // Written back: the same shape and values. A literal that stands right
    // after or before a name (".5" after "a" is a number of its own) would
    // run into it when written back, so such texts are only prepared.
    auto word = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
               c == '.' || static_cast<unsigned char>(c) >= 0x80;
    };
    bool adjacent = false;
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] != '?') continue;
        if ((i > 0 && word(shape[i - 1])) || (i + 1 < shape.size() && word(shape[i + 1]))) adjacent = true;
    }
    std::string again;
    size_t next = 0;
    bool inName = false;
    char close = 0;
    for (char c : shape) {
        if (inName) {
            again += c;
            if (c == close) inName = false;
        } else if (c == '"' || c == '`' || c == '[') {
            inName = true;
            close = c == '[' ? ']' : c;
            again += c;
        } else if (c == '?') {
            Check(next < literals.size());
            again += LiteralText(literals[next++]);
        } else {
            again += c;
        }
    }
    Check(next == literals.size());
    if (adjacent) again = text;  // split the original again instead
    std::string shape2;
    std::vector<orv::sqlite::SqlLiteral> literals2;
    Check(orv::sqlite::SplitSqlLiterals(again.c_str(), &shape2, &literals2));
    Check(shape2 == shape);
    Check(literals2.size() == literals.size());
    for (size_t i = 0; i < literals.size(); ++i) {
        Check(literals2[i].kind == literals[i].kind);
        Check(literals2[i].integer == literals[i].integer);
        Check(memcmp(&literals2[i].real, &literals[i].real, sizeof(double)) == 0);
        Check(literals2[i].bytes == literals[i].bytes);
    }

    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(Database(), shape.c_str(), -1, &statement, nullptr) == SQLITE_OK && statement != nullptr) {
        orv::sqlite::BindSqlLiterals(statement, literals);
    }
    sqlite3_finalize(statement);
    return 0;
}
