/*
 * Text to column value and back. Numbers are read by small scanners of our
 * own, in unsigned arithmetic so that long digit strings wrap instead of
 * overflowing.
 */
#include "datastore/column_value.h"

#include <strings.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent/log.h"
#include "agent/strings.h"
#include "datastore/type_codes.h"
#include "util/datetime_parse.h"

namespace orv {

namespace {

/* Optional sign, digits, optionally "." and digits; the fraction summed
 * digit by digit. Any other character gives 0. */
double ScanDecimal(const char* text) {
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    double value = 0.0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10.0 + (*p - '0');
    if (*p == '.') {
        ++p;
        double scale = 0.1;
        for (; *p >= '0' && *p <= '9'; ++p) {
            value += (*p - '0') * scale;
            scale /= 10.0;
        }
    }
    if (*p != '\0') return 0.0;
    return negative ? -value : value;
}

/* A new zero-filled block of width + 1 bytes holding the width bytes of
 * source; logs on failure. */
void* NewFixedValue(const void* source, size_t width) {
    char* block = static_cast<char*>(calloc(1, width + 1));
    if (block == nullptr) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
    memcpy(block, source, width);
    return block;
}

void* IntegerValue(const char* text, uint8_t type) {
    uint64_t wide = ScanInteger(text);
    switch (GetStoredWidth(type)) {
        case 1: {
            uint8_t v = static_cast<uint8_t>(wide);
            return NewFixedValue(&v, 1);
        }
        case 2: {
            uint16_t v = static_cast<uint16_t>(wide);
            return NewFixedValue(&v, 2);
        }
        case 4: {
            uint32_t v = static_cast<uint32_t>(wide);
            return NewFixedValue(&v, 4);
        }
        default:
            return NewFixedValue(&wide, 8);
    }
}

/* "%f" of a value; a large one takes hundreds of digits, so the text is
 * sized first. */
char* FormatDouble(double v) {
    int n = snprintf(nullptr, 0, "%f", v);
    if (n < 0) return nullptr;
    char* text = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (text == nullptr) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
    snprintf(text, static_cast<size_t>(n) + 1, "%f", v);
    return text;
}

char* Duplicate(const char* text) {
    char* copy = nullptr;
    if (DuplicateString(&copy, text) != kDupOk) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
    return copy;
}

}  // namespace

uint64_t ScanInteger(const char* text) {
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint64_t value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') return 0;
        value = value * 10u + static_cast<uint64_t>(*p - '0');
    }
    return negative ? 0u - value : value;
}

void* MakeDateTimeColumnValue(const OrvDateTime* source) {
    if (source == nullptr) return nullptr;
    auto* block = static_cast<DateTimeColumnValue*>(calloc(1, sizeof(DateTimeColumnValue)));
    if (block == nullptr) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
    if (source->date) {
        block->date = *source->date;
        block->value.date = &block->date;
    }
    if (source->time) {
        block->time = *source->time;
        block->value.time = &block->time;
    }
    return block;
}

void* CopyColumnValue(const void* value, int32_t length, uint8_t type) {
    if (value == nullptr || length < 0) return nullptr;
    if (IsDateTimeType(type)) return MakeDateTimeColumnValue(static_cast<const OrvDateTime*>(value));
    char* copy = nullptr;
    if (DuplicateBytes(&copy, value, static_cast<size_t>(length)) != kDupOk) return nullptr;
    return copy;
}

void* ConvertStringToColumnValue(const char* text, int32_t* length, uint8_t type) {
    if (text == nullptr || length == nullptr) return nullptr;
    if (IsIntegerType(type)) {
        *length = GetStoredWidth(type);
        return IntegerValue(text, type);
    }
    if (type == ORV_SQL_FLOAT || type == ORV_SQL_REAL) {
        float v = static_cast<float>(ScanDecimal(text));
        *length = 4;
        return NewFixedValue(&v, 4);
    }
    if (type == ORV_SQL_DOUBLE) {
        double v = ScanDecimal(text);
        *length = 8;
        return NewFixedValue(&v, 8);
    }
    if (IsDateTimeType(type)) {
        OrvDateTime* parsed = ConvertStringToOrvDateTime(text);
        if (parsed == nullptr) return nullptr;
        void* value = MakeDateTimeColumnValue(parsed);
        FreeOrvDateTime(parsed);
        if (value != nullptr) *length = kDateTimeStoredWidth;
        return value;
    }
    if (type == ORV_SQL_BOOLEAN) {
        uint8_t v;
        if (strcasecmp(text, "TRUE") == 0) {
            v = 1;
        } else if (strcasecmp(text, "FALSE") == 0) {
            v = 0;
        } else {
            return nullptr;
        }
        *length = 1;
        return NewFixedValue(&v, 1);
    }
    if (IsBytesType(type)) {
        if (*length < 0) return nullptr;
        char* copy = nullptr;
        if (DuplicateBytes(&copy, text, static_cast<size_t>(*length)) != kDupOk) return nullptr;
        return copy;
    }
    // Texts, and every code above the table.
    char* copy = Duplicate(text);
    if (copy == nullptr) return nullptr;
    size_t n = strlen(copy);
    *length = n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
    return copy;
}

char* ConvertColumnValueToString(const void* value, uint8_t type) {
    if (value == nullptr) return Duplicate("NULL");
    // Numbers and booleans need at most 24 characters here.
    char work[64];
    switch (type) {
        case ORV_SQL_TINYINT:
            snprintf(work, sizeof(work), "%d", static_cast<int>(*static_cast<const int8_t*>(value)));
            break;
        case ORV_SQL_UNSIGNED_TINYINT:
            snprintf(work, sizeof(work), "%u", static_cast<unsigned>(*static_cast<const uint8_t*>(value)));
            break;
        case ORV_SQL_SMALLINT: {
            int16_t v;
            memcpy(&v, value, sizeof(v));
            snprintf(work, sizeof(work), "%d", static_cast<int>(v));
            break;
        }
        case ORV_SQL_UNSIGNED_SMALLINT: {
            uint16_t v;
            memcpy(&v, value, sizeof(v));
            snprintf(work, sizeof(work), "%u", static_cast<unsigned>(v));
            break;
        }
        case ORV_SQL_INT: {
            int32_t v;
            memcpy(&v, value, sizeof(v));
            snprintf(work, sizeof(work), "%" PRId32, v);
            break;
        }
        case ORV_SQL_UNSIGNED_INT: {
            uint32_t v;
            memcpy(&v, value, sizeof(v));
            snprintf(work, sizeof(work), "%" PRIu32, v);
            break;
        }
        case ORV_SQL_BIGINT: {
            int64_t v;
            memcpy(&v, value, sizeof(v));
            snprintf(work, sizeof(work), "%" PRId64, v);
            break;
        }
        case ORV_SQL_UNSIGNED_LONG_INT: {
            uint64_t v;
            memcpy(&v, value, sizeof(v));
            snprintf(work, sizeof(work), "%" PRIu64, v);
            break;
        }
        case ORV_SQL_FLOAT:
        case ORV_SQL_REAL: {
            float v;
            memcpy(&v, value, sizeof(v));
            return FormatDouble(static_cast<double>(v));
        }
        case ORV_SQL_DOUBLE: {
            double v;
            memcpy(&v, value, sizeof(v));
            return FormatDouble(v);
        }
        case ORV_SQL_DECIMAL:
        case ORV_SQL_NUMERIC:
        case ORV_SQL_CHAR:
        case ORV_SQL_NCHAR:
        case ORV_SQL_BLOB:
        case ORV_SQL_CLOB:
        case ORV_SQL_TEXT:
            return Duplicate(static_cast<const char*>(value));
        case ORV_SQL_DATE:
        case ORV_SQL_TIME:
        case ORV_SQL_DATETIME:
            return OrvDateTimeToString(static_cast<const OrvDateTime*>(value));
        case ORV_SQL_BOOLEAN:
            snprintf(work, sizeof(work), "%s", *static_cast<const uint8_t*>(value) == 1 ? "'t'" : "'f'");
            break;
        default:
            return nullptr;
    }
    return Duplicate(work);
}

}  // namespace orv
