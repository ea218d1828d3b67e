// Fuzzes the Firebird provider's recognition of a statement that creates a
// database. The input is the statement (NUL-terminated in a block of its
// own size), with the connection's own database a fixed server path (and
// once without one). Whatever path is recognised, written back as a quoted
// literal, must be recognised again as the same path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "db/firebird/firebird_internal.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

const char kOwn[] = "dbhost/3051:/data/shop.fdb";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto* text = static_cast<char*>(malloc(size + 1));
    if (text == nullptr) return 0;
    memcpy(text, data, size);
    text[size] = '\0';
    std::string path;
    if (orv::firebird::CreateDatabaseTarget(text, kOwn, &path)) {
        Check(!path.empty());
        std::string again = "create database '";
        for (char c : path) {
            if (c == '\'') again += '\'';
            again += c;
        }
        again += "';";
        std::string back;
        Check(orv::firebird::CreateDatabaseTarget(again.c_str(), kOwn, &back));
        Check(back == path);
    }
    std::string ignored;
    (void)orv::firebird::CreateDatabaseTarget(text, nullptr, &ignored);
    free(text);
    return 0;
}
