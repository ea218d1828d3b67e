/*
 * Values in statements: every value is written as a literal of its
 * column's type by one writer (AppendValue), which escapes texts for the
 * dialect through the library's one text literal writer
 * (AppendSqlTextLiteral) and refuses what cannot be written with its
 * meaning; criteria values and the bounds of BETWEEN are read from their
 * text first. Also the shared plain text of a value (ValueToSQLText).
 */
#include <cctype>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "datastore/column_value.h"
#include "db/sql/sql_dialects.h"
#include "db/sql/sqlgen_internal.h"

namespace orv {

void AppendSqlTextLiteral(const SqlDialect& dialect, std::string_view text, std::string* out) {
    *out += '\'';
    for (char c : text) {
        if (c == '\'') {
            *out += "''";
        } else if (c == '\\' && dialect.escapeBackslash) {
            *out += "\\\\";
        } else {
            *out += c;
        }
    }
    *out += '\'';
}

namespace sqlgen {
namespace {

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

}  // namespace

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
            AppendSqlTextLiteral(d, text, &out);
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
                AppendSqlTextLiteral(d, std::string_view(p, n), &out);
            } else {
                out.append(p, n);
            }
            return Written::kOk;
        }
        case ORV_SQL_CHAR:
        case ORV_SQL_NCHAR:
        case ORV_SQL_TEXT:
            AppendSqlTextLiteral(
                d, std::string_view(p, length > 0 ? strnlen(p, static_cast<size_t>(length)) : strlen(p)), &out);
            return Written::kOk;
        case ORV_SQL_CLOB: {
            size_t n = length > 0 ? static_cast<size_t>(length) : 0;
            if (memchr(p, 0, n) != nullptr) {
                LogError("Value of column %s holds a zero byte: statement refused.\n", Or(column));
                return Written::kRefused;
            }
            AppendSqlTextLiteral(d, std::string_view(p, n), &out);
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

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace sqlgen

/* ---- The shared plain text of a value ----------------------------------- */

char* ValueToSQLText(const void* value, int32_t length, uint8_t type, MemPool* pool) {
    if (value == nullptr || pool == nullptr) return nullptr;
    try {
        std::string text;
        if (IsIntegerType(type) || IsFloatType(type) || type == ORV_SQL_BOOLEAN) {
            bool nonFinite = false;
            if (!sqlgen::NumberText(type, value, length, &text, &nonFinite, nullptr)) return nullptr;
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

}  // namespace orv
