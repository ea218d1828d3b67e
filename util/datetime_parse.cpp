/*
 * The three date-time text parsers and the shape rule. Thread-safe.
 */
#include "util/datetime_parse.h"

#include <cstdlib>
#include <cstring>

#include "agent/log.h"

namespace orv {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/* One signed decimal as formatted scanning's %d reads it: white space
 * skipped, an optional sign, at least one digit. The value is kept modulo
 * 2^32 (unsigned arithmetic, so a long number wraps instead of
 * overflowing). Returns the position after it, or null when no number
 * stands there. */
const char* ReadSigned(const char* text, int32_t* value) {
    while (IsSpace(*text)) {
        text++;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        text++;
    }
    if (!IsDigit(*text)) {
        return nullptr;
    }
    uint32_t magnitude = 0;
    for (; IsDigit(*text); text++) {
        magnitude = magnitude * 10u + static_cast<uint32_t>(*text - '0');
    }
    *value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
    return text;
}

/* Reads numbers by a pattern of "%d", white space (any amount, also none)
 * and literal characters into values[0..], stopping at the first piece
 * that does not match; values not reached keep what they held. */
void ScanNumbers(const char* text, const char* pattern, int32_t* values) {
    int n = 0;
    for (const char* p = pattern; *p != '\0'; p++) {
        if (p[0] == '%' && p[1] == 'd') {
            text = ReadSigned(text, &values[n]);
            if (text == nullptr) {
                return;
            }
            n++;
            p++;
        } else if (IsSpace(*p)) {
            while (IsSpace(*text)) {
                text++;
            }
        } else if (*text == *p) {
            text++;
        } else {
            return;
        }
    }
}

/* The six fields year, month, day, hour, minute, second read by the shape
 * rule; those the text does not supply are 0. */
struct Fields {
    int32_t v[6] = {0, 0, 0, 0, 0, 0};
};

Fields ReadFields(const char* text, OrvTextShape shape) {
    Fields f;
    switch (shape) {
        case OrvTextShape::kDateTime:
            ScanNumbers(text, "%d-%d-%d %d:%d:%d", f.v);
            break;
        case OrvTextShape::kDate:
            ScanNumbers(text, "%d-%d-%d", f.v);
            break;
        case OrvTextShape::kTime:
            ScanNumbers(text, "%d:%d:%d", f.v + 3);
            break;
        case OrvTextShape::kNeither:
            break;
    }
    return f;
}

}  // namespace

OrvTextShape GetDateTimeTextShape(const char* text) {
    if (text == nullptr) {
        return OrvTextShape::kNeither;
    }
    bool hasDash = std::strchr(text, '-') != nullptr;
    bool hasColon = std::strchr(text, ':') != nullptr;
    if (hasDash && hasColon) {
        return OrvTextShape::kDateTime;
    }
    if (hasDash) {
        return OrvTextShape::kDate;
    }
    return hasColon ? OrvTextShape::kTime : OrvTextShape::kNeither;
}

OrvDateTime* ConvertStringToOrvDateTime(const char* text) {
    LogTrace("Inside ConvertStringToOrvDateTime \n");
    if (text == nullptr) {
        LogError("datetimeStr NULL \n");
        return nullptr;
    }
    OrvTextShape shape = GetDateTimeTextShape(text);
    if (shape == OrvTextShape::kNeither) {
        return nullptr;
    }
    Fields f = ReadFields(text, shape);
    return CreateOrvDateTime(f.v[0], f.v[1], f.v[2], f.v[3], f.v[4], f.v[5]);
}

OrvDateTime* ConvertStringToOrvGenDateTime(const char* text) {
    LogTrace("Inside ConvertStringToOrvGenDateTime \n");
    if (text == nullptr) {
        LogError("datetimeStr NULL \n");
        return nullptr;
    }
    OrvTextShape shape = GetDateTimeTextShape(text);
    if (shape == OrvTextShape::kNeither) {
        LogError("The String is not a datetimeStr \n");
        return nullptr;
    }
    Fields f = ReadFields(text, shape);
    if (shape == OrvTextShape::kDateTime) {
        return CreateOrvDateTime(f.v[0], f.v[1], f.v[2], f.v[3], f.v[4], f.v[5]);
    }
    auto* value = static_cast<OrvDateTime*>(std::calloc(1, sizeof(OrvDateTime)));
    if (value == nullptr) {
        LogError("OrvDateTime creation failed");
        return nullptr;
    }
    if (shape == OrvTextShape::kDate) {
        value->date = CreateOrvDate(f.v[0], f.v[1], f.v[2]);
    } else {
        value->time = CreateOrvTime(f.v[3], f.v[4], f.v[5]);
    }
    if (value->date == nullptr && value->time == nullptr) {
        FreeOrvDateTime(value);
        return nullptr;
    }
    return value;
}

void* ConvertStringToOrvValue(const char* text) {
    LogTrace("Inside ConvertStringToOrvDateTime \n");
    if (text == nullptr) {
        LogError("datetimeStr NULL \n");
        return nullptr;
    }
    OrvTextShape shape = GetDateTimeTextShape(text);
    Fields f = ReadFields(text, shape);
    switch (shape) {
        case OrvTextShape::kDateTime:
            return CreateOrvDateTime(f.v[0], f.v[1], f.v[2], f.v[3], f.v[4], f.v[5]);
        case OrvTextShape::kDate:
            return CreateOrvDate(f.v[0], f.v[1], f.v[2]);
        case OrvTextShape::kTime:
            return CreateOrvTime(f.v[3], f.v[4], f.v[5]);
        case OrvTextShape::kNeither:
            break;
    }
    return nullptr;
}

}  // namespace orv
