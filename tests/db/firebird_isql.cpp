/*
 * The embedded Firebird database of the tests, through isql-fb (see
 * firebird_isql.h).
 */
#include "tests/db/firebird_isql.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "datastore/type_codes.h"

namespace orv::test {

namespace {

constexpr char kHexFunctionName[] = "ORV_TEST_HEX";

/* ORV_TEST_HEX: the hex digits of a binary blob, in chunks of 8000 bytes
 * (a blob's substring reads from its start, so byte by byte on the blob
 * itself would be quadratic).
 * ORV_TEST_DOUBLE: a double exactly, as "M|K" for M * 2^K with M an
 * integer of 53 bits: the engine's own text of a double has 16 significant
 * digits, its reading of decimal texts is not always the nearest double,
 * and its CAST of a double to BIGINT can be off by one above 2^52 (it is
 * exact below, hence the subtraction of 2^52). Halving and doubling are
 * exact. */
const char kHelperFunctions[] =
    "SET TERM ^ ;\n"
    "CREATE FUNCTION ORV_TEST_HEX(V BLOB SUB_TYPE 0) RETURNS BLOB SUB_TYPE 1 CHARACTER SET ASCII\n"
    "AS\n"
    "  DECLARE POS INTEGER = 1;\n"
    "  DECLARE TOTAL INTEGER;\n"
    "  DECLARE CHUNK VARCHAR(8000) CHARACTER SET OCTETS;\n"
    "  DECLARE I INTEGER;\n"
    "  DECLARE N INTEGER;\n"
    "  DECLARE B INTEGER;\n"
    "  DECLARE PART VARCHAR(16000) CHARACTER SET ASCII;\n"
    "  DECLARE R BLOB SUB_TYPE 1 CHARACTER SET ASCII = '';\n"
    "BEGIN\n"
    "  IF (V IS NULL) THEN RETURN NULL;\n"
    "  TOTAL = OCTET_LENGTH(V);\n"
    "  WHILE (POS <= TOTAL) DO\n"
    "  BEGIN\n"
    "    CHUNK = SUBSTRING(V FROM POS FOR 8000);\n"
    "    N = OCTET_LENGTH(CHUNK);\n"
    "    I = 1;\n"
    "    PART = '';\n"
    "    WHILE (I <= N) DO\n"
    "    BEGIN\n"
    "      B = ASCII_VAL(SUBSTRING(CHUNK FROM I FOR 1));\n"
    "      PART = PART || SUBSTRING('0123456789ABCDEF' FROM BIN_SHR(B, 4) + 1 FOR 1)\n"
    "                  || SUBSTRING('0123456789ABCDEF' FROM BIN_AND(B, 15) + 1 FOR 1);\n"
    "      I = I + 1;\n"
    "    END\n"
    "    R = R || PART;\n"
    "    POS = POS + 8000;\n"
    "  END\n"
    "  RETURN R;\n"
    "END^\n"
    "CREATE FUNCTION ORV_TEST_DOUBLE(V DOUBLE PRECISION) RETURNS VARCHAR(60) CHARACTER SET ASCII\n"
    "AS\n"
    "  DECLARE M DOUBLE PRECISION;\n"
    "  DECLARE K INTEGER = 0;\n"
    "BEGIN\n"
    "  IF (V IS NULL) THEN RETURN NULL;\n"
    "  IF (V = 0) THEN RETURN '0|0';\n"
    "  M = ABS(V);\n"
    "  WHILE (M >= 9007199254740992) DO BEGIN M = M / 2; K = K + 1; END\n"
    "  WHILE (M < 4503599627370496) DO BEGIN M = M * 2; K = K - 1; END\n"
    "  RETURN IIF(V < 0, '-', '') || CAST(4503599627370496 + CAST(M - 4503599627370496 AS BIGINT) AS VARCHAR(20))\n"
    "         || '|' || K;\n"
    "END^\n"
    "SET TERM ; ^\n"
    "COMMIT;\n";

bool IsExecutable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

std::string Trim(const std::string& text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && isspace(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && isspace(static_cast<unsigned char>(text[e - 1]))) --e;
    return text.substr(b, e - b);
}

/* A statement without its trailing blanks and semicolons. */
std::string WithoutTerminator(const std::string& statement) {
    std::string s = statement;
    for (;;) {
        while (!s.empty() && isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
        if (!s.empty() && s.back() == ';') {
            s.pop_back();
            continue;
        }
        return s;
    }
}

bool IsBinaryType(uint8_t type) { return type == ORV_SQL_BLOB; }

bool IsTextLike(uint8_t type) {
    return type == ORV_SQL_CHAR || type == ORV_SQL_NCHAR || type == ORV_SQL_CLOB || type == ORV_SQL_TEXT ||
           type == ORV_SQL_DECIMAL || type == ORV_SQL_NUMERIC || type == ORV_SQL_NOT_SUPPORTED_TYPE;
}

std::string EscapedText(const std::string& expression) {
    return "REPLACE(REPLACE(REPLACE(REPLACE(" + expression +
           ", '\\', '\\\\'), ASCII_CHAR(10), '\\n'), ASCII_CHAR(13), '\\r'), ASCII_CHAR(9), '\\t')";
}

/* The select that writes each row of `select` as one text blob. */
std::string RowTextQuery(const std::string& select, const std::vector<uint8_t>& types) {
    std::string names;
    std::string row = "CAST('@' AS BLOB SUB_TYPE TEXT CHARACTER SET UTF8)";
    for (size_t i = 0; i < types.size(); ++i) {
        std::string column = "ORV_C" + std::to_string(i + 1);
        if (i > 0) {
            names += ", ";
            row += " || ASCII_CHAR(9)";
        }
        names += column;
        std::string ref = "ORV_Q." + column;
        std::string cell;
        if (IsBinaryType(types[i])) {
            cell = "COALESCE('X' || " + std::string(kHexFunctionName) + "(" + ref + "), 'N')";
        } else if (IsFloatType(types[i])) {
            cell = "COALESCE('V' || ORV_TEST_DOUBLE(" + ref + "), 'N')";
        } else if (IsTextLike(types[i])) {
            cell = "COALESCE('V' || " + EscapedText(ref) + ", 'N')";
        } else {
            cell = "COALESCE('V' || " + EscapedText("CAST(" + ref + " AS VARCHAR(100))") + ", 'N')";
        }
        row += " || " + cell;
    }
    row += " || '$'";
    return "SET LIST ON;\nSET BLOB ALL;\nSELECT " + row + " AS ORV_ROW FROM (\n" + WithoutTerminator(select) +
           "\n) ORV_Q (" + names + ");\n";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool ParseCell(const std::string& cell, std::optional<std::string>* value) {
    if (cell == "N") {
        value->reset();
        return true;
    }
    if (cell.empty()) return false;
    std::string out;
    if (cell[0] == 'X') {
        if ((cell.size() - 1) % 2 != 0) return false;
        for (size_t i = 1; i < cell.size(); i += 2) {
            int hi = HexDigit(cell[i]);
            int lo = HexDigit(cell[i + 1]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
        }
    } else if (cell[0] == 'V') {
        for (size_t i = 1; i < cell.size(); ++i) {
            if (cell[i] != '\\') {
                out += cell[i];
                continue;
            }
            if (++i == cell.size()) return false;
            switch (cell[i]) {
                case '\\': out += '\\'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                default: return false;
            }
        }
    } else {
        return false;
    }
    *value = std::move(out);
    return true;
}

/* The rows of isql's output: the lines "@...$". */
bool ParseRows(const std::string& output, size_t columnCount, std::vector<FirebirdRow>* rows, std::string* error) {
    rows->clear();
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] != '@') continue;
        if (line.back() != '$') {
            if (error) *error = "row line without its end: " + line;
            return false;
        }
        std::string body = line.substr(1, line.size() - 2);
        FirebirdRow row;
        size_t pos = 0;
        for (;;) {
            size_t tab = body.find('\t', pos);
            std::string cell = body.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos);
            std::optional<std::string> value;
            if (!ParseCell(cell, &value)) {
                if (error) *error = "cannot read the cell '" + cell + "' of " + line;
                return false;
            }
            row.push_back(std::move(value));
            if (tab == std::string::npos) break;
            pos = tab + 1;
        }
        if (row.size() != columnCount) {
            if (error) *error = "row of " + std::to_string(row.size()) + " cells, expected " +
                                std::to_string(columnCount) + ": " + line;
            return false;
        }
        rows->push_back(std::move(row));
    }
    return true;
}

/* The type code of a column that isql describes. */
uint8_t TypeOfDescribed(int sqlType, int scale, int subtype, const std::string& charset) {
    switch (sqlType & ~1) {
        case 500: return scale < 0 ? ORV_SQL_DECIMAL : ORV_SQL_SMALLINT;
        case 496: return scale < 0 ? ORV_SQL_DECIMAL : ORV_SQL_INT;
        case 580: return scale < 0 ? ORV_SQL_DECIMAL : ORV_SQL_BIGINT;
        case 482: return ORV_SQL_FLOAT;
        case 480: return ORV_SQL_DOUBLE;
        case 448:
        case 452: return charset == "OCTETS" ? ORV_SQL_BLOB : ORV_SQL_CHAR;
        case 520: return subtype == 1 ? ORV_SQL_TEXT : ORV_SQL_BLOB;
        case 570: return ORV_SQL_DATE;
        case 560: return ORV_SQL_TIME;
        case 510: return ORV_SQL_DATETIME;
        case 32764: return ORV_SQL_BOOLEAN;
        default: return ORV_SQL_NOT_SUPPORTED_TYPE;
    }
}

}  // namespace

std::string IsqlFbPath() {
    const char* own = getenv("ORV_ISQL_FB");
    if (own != nullptr && *own != '\0') return own;
    const char* path = getenv("PATH");
    if (path != nullptr) {
        std::stringstream dirs(path);
        std::string dir;
        while (std::getline(dirs, dir, ':')) {
            if (dir.empty()) continue;
            std::string candidate = dir + "/isql-fb";
            if (IsExecutable(candidate)) return candidate;
        }
    }
    return "/usr/bin/isql-fb";
}

FirebirdDb::FirebirdDb() {
    const std::string root = dir_ / "root";
    const std::string lock = dir_ / "lock";
    const std::string tmp = dir_ / "tmp";
    for (const std::string& d : {root, lock, tmp}) {
        if (mkdir(d.c_str(), 0700) != 0) ADD_FAILURE() << "cannot make " << d << ": " << strerror(errno);
    }
    WriteFile(root + "/firebird.conf",
              "# The embedded engine of the tests: several processes on one file,\n"
              "# never a server.\n"
              "ServerMode = SuperClassic\n"
              "Providers = Engine12\n");
    env_ = {{"FIREBIRD", root}, {"FIREBIRD_LOCK", lock}, {"FIREBIRD_TMP", tmp}};
    dbPath_ = dir_ / "test.fdb";
}

FirebirdRun FirebirdDb::Run(const std::string& script, bool withDatabase) {
    std::string file = dir_ / ("script-" + std::to_string(++scripts_) + ".sql");
    WriteFile(file, script);
    std::vector<std::string> args = {"-b", "-q", "-ch", "UTF8", "-user", "SYSDBA", "-i", file};
    if (withDatabase) args.push_back(dbPath_);
    RunResult r = RunProgram(IsqlFbPath(), args, env_);
    FirebirdRun run;
    run.exitStatus = r.exitStatus;
    run.output = std::move(r.output);
    return run;
}

bool FirebirdDb::Create(std::string* error) {
    std::string script = "CREATE DATABASE " + FirebirdTextLiteral(dbPath_) +
                         " USER 'SYSDBA' PAGE_SIZE 8192 DEFAULT CHARACTER SET UTF8;\n" + kHelperFunctions;
    FirebirdRun run = Run(script, false);
    if (!run.ok()) {
        if (error) *error = "isql-fb exit " + std::to_string(run.exitStatus) + ": " + run.output;
        return false;
    }
    return true;
}

FirebirdRun FirebirdDb::RunStatements(const std::vector<std::string>& statements) {
    std::string script;
    for (const std::string& s : statements) script += WithoutTerminator(s) + ";\n";
    script += "COMMIT;\n";
    return Run(script, true);
}

bool FirebirdDb::Describe(const std::string& select, std::vector<FirebirdColumn>* columns, std::string* error) {
    columns->clear();
    FirebirdRun run = Run("SET SQLDA_DISPLAY ON;\nSET PLANONLY ON;\n" + WithoutTerminator(select) + ";\n", true);
    if (!run.ok()) {
        if (error) *error = "isql-fb exit " + std::to_string(run.exitStatus) + ": " + run.output;
        return false;
    }
    std::vector<std::string> lines = SplitLines(run.output);
    size_t i = 0;
    while (i < lines.size() && lines[i].rfind("OUTPUT message field count:", 0) != 0) ++i;
    if (i == lines.size()) {
        if (error) *error = "no description of the output in: " + run.output;
        return false;
    }
    int count = atoi(lines[i].c_str() + strlen("OUTPUT message field count:"));
    for (++i; i < lines.size() && static_cast<int>(columns->size()) < count; ++i) {
        // "01: sqltype: 496 LONG Nullable scale: 0 subtype: 0 len: 4 [charset: 4 UTF8]"
        const std::string& line = lines[i];
        size_t at = line.find(": sqltype: ");
        if (at == std::string::npos || at == 0 || !isdigit(static_cast<unsigned char>(line[0]))) continue;
        int sqlType = atoi(line.c_str() + at + strlen(": sqltype: "));
        auto numberAfter = [&line](const char* key) {
            size_t p = line.find(key);
            return p == std::string::npos ? 0 : atoi(line.c_str() + p + strlen(key));
        };
        int scale = numberAfter(" scale: ");
        int subtype = numberAfter(" subtype: ");
        std::string charset;
        size_t cs = line.find(" charset: ");
        if (cs != std::string::npos) {
            std::istringstream words(line.substr(cs + strlen(" charset: ")));
            int id = 0;
            words >> id >> charset;
        }
        FirebirdColumn column;
        column.type = TypeOfDescribed(sqlType, scale, subtype, charset);
        // "  :  name: A  alias: A"
        if (i + 1 < lines.size()) {
            const std::string& names = lines[i + 1];
            size_t a = names.find(" alias: ");
            if (a != std::string::npos) column.name = Trim(names.substr(a + strlen(" alias: ")));
        }
        columns->push_back(column);
    }
    if (static_cast<int>(columns->size()) != count) {
        if (error) *error = "incomplete description of the output in: " + run.output;
        return false;
    }
    return true;
}

bool FirebirdDb::Query(const std::string& select, const std::vector<uint8_t>& types, std::vector<FirebirdRow>* rows,
                       std::string* error) {
    rows->clear();
    if (types.empty()) {
        if (error) *error = "a query needs at least one column";
        return false;
    }
    FirebirdRun run = Run(RowTextQuery(select, types), true);
    if (!run.ok()) {
        if (error) *error = "isql-fb exit " + std::to_string(run.exitStatus) + ": " + run.output;
        return false;
    }
    if (!ParseRows(run.output, types.size(), rows, error)) return false;
    for (FirebirdRow& row : *rows) {
        for (size_t i = 0; i < types.size(); ++i) {
            if (!IsFloatType(types[i]) || !row[i].has_value()) continue;
            std::string& text = *row[i];
            // "M|K": M * 2^K.
            size_t bar = text.find('|');
            char* end = nullptr;
            errno = 0;
            long long m = strtoll(text.c_str(), &end, 10);
            if (bar == std::string::npos || end != text.c_str() + bar || errno != 0) {
                if (error) *error = "cannot read the number '" + text + "'";
                return false;
            }
            int k = atoi(text.c_str() + bar + 1);
            char buf[64];
            snprintf(buf, sizeof buf, "%.17g", std::ldexp(static_cast<double>(m), k));
            text = buf;
        }
    }
    return true;
}

bool FirebirdDb::Query(const std::string& select, std::vector<FirebirdRow>* rows, std::string* error) {
    std::vector<FirebirdColumn> columns;
    if (!Describe(select, &columns, error)) return false;
    std::vector<uint8_t> types;
    for (const FirebirdColumn& c : columns) types.push_back(c.type);
    return Query(select, types, rows, error);
}

std::string FirebirdTextLiteral(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

}  // namespace orv::test
