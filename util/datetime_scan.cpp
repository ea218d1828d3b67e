/*
 * The date-time text scanner. Thread-safe: no shared state.
 */
#include "util/datetime_scan.h"

namespace orv {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/* Reads 1 to maxDigits digits after optional white space. Returns the
 * position after them, or null when no digit stands there. At most 5
 * digits are read, so the value fits an int. */
const char* ReadField(const char* text, int maxDigits, int* value) {
    while (IsSpace(*text)) {
        text++;
    }
    if (!IsDigit(*text)) {
        return nullptr;
    }
    int result = 0;
    for (int n = 0; n < maxDigits && IsDigit(*text); n++, text++) {
        result = result * 10 + (*text - '0');
    }
    *value = result;
    return text;
}

}  // namespace

const char* ScanDateTimeText(const char* text, const char* pattern, std::tm* out) {
    if (text == nullptr || pattern == nullptr || out == nullptr) {
        return nullptr;
    }
    for (const char* p = pattern; *p != '\0'; p++) {
        if (IsSpace(*p)) {
            while (IsSpace(*text)) {
                text++;
            }
            continue;
        }
        if (*p != '%') {
            if (*text != *p) {
                return nullptr;
            }
            text++;
            continue;
        }
        p++;
        int value = 0;
        switch (*p) {
            case '%':
                if (*text != '%') {
                    return nullptr;
                }
                text++;
                continue;
            case 'Y':
                text = ReadField(text, 5, &value);
                if (text != nullptr) {
                    out->tm_year = value - 1900;
                }
                break;
            case 'm':
                text = ReadField(text, 3, &value);
                if (text != nullptr) {
                    out->tm_mon = value - 1;
                }
                break;
            case 'd':
                text = ReadField(text, 3, &value);
                if (text != nullptr) {
                    out->tm_mday = value;
                }
                break;
            case 'H':
                text = ReadField(text, 3, &value);
                if (text != nullptr) {
                    out->tm_hour = value;
                }
                break;
            case 'M':
                text = ReadField(text, 3, &value);
                if (text != nullptr) {
                    out->tm_min = value;
                }
                break;
            case 'S':
                text = ReadField(text, 3, &value);
                if (text != nullptr) {
                    out->tm_sec = value;
                }
                break;
            default:  // unknown directive, or a lone "%" at the end
                return nullptr;
        }
        if (text == nullptr) {
            return nullptr;
        }
    }
    return text;
}

}  // namespace orv
