// Hexadecimal digits, integer texts, the number text rules, byte integers
// and Counter64 values.
#include "util/conv_number.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent/log.h"

namespace orv {
namespace {

// A zero-filled heap text of kIntegerTextSize bytes, or null after the
// allocation message.
char* NewIntegerText() {
    char* text = static_cast<char*>(std::calloc(kIntegerTextSize, 1));
    if (text == nullptr) {
        LogError("Unable to allocate buffer !!! \n");
    }
    return text;
}

// Writes the digits of magnitude into text, least significant first, then
// reverses them in place. Returns the number of digits.
int32_t WriteDigits(char* text, uint32_t magnitude) {
    int32_t n = 0;
    do {
        text[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    for (int32_t i = 0, j = n - 1; i < j; ++i, --j) {
        char c = text[i];
        text[i] = text[j];
        text[j] = c;
    }
    return n;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

uint8_t GetHexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
    return static_cast<uint8_t>(c);
}

uint8_t ConvertToDecimalFromHexa(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) {
        return GetHexValue(c);
    }
    return 0;
}

void ConvertToHexValue(char* text, int32_t len) {
    LogTrace("@@@ Inside ConvertToHexValue @@@\n");
    if (text == nullptr || len < 2) return;
    for (int32_t i = 0; i + 1 < len; i += 2) {
        uint32_t high = GetHexValue(text[i]);
        uint32_t low = GetHexValue(text[i + 1]);
        text[i / 2] = static_cast<char>(static_cast<uint8_t>((high << 4) + low));
    }
}

void ConvertToStringFromHex(const uint8_t* bytes, int32_t len, uint8_t* out) {
    LogTrace("@@@ Inside ConvertToStringFromHex @@@\n");
    if (bytes == nullptr || out == nullptr) return;
    for (int32_t i = 0; i < len; ++i) {
        out[2 * i] = static_cast<uint8_t>(bytes[i] >> 4);
        out[2 * i + 1] = static_cast<uint8_t>(bytes[i] & 0x0F);
    }
}

bool ConvertToStringFromHexBounded(const uint8_t* bytes, int32_t len, uint8_t* out, size_t outSize) {
    if (bytes == nullptr || out == nullptr || len < 0) return false;
    if (static_cast<uint64_t>(len) * 2 > outSize) return false;
    ConvertToStringFromHex(bytes, len, out);
    return true;
}

char* ConvertToStringFromInteger(const int32_t* value) {
    LogTrace("@@@ Inside ConvertToStringFromInteger @@@\n");
    if (value == nullptr) return nullptr;
    char* text = NewIntegerText();
    if (text == nullptr) return nullptr;
    uint32_t magnitude = static_cast<uint32_t>(*value);
    char* digits = text;
    if (*value < 0) {
        magnitude = 0u - magnitude;
        text[0] = '-';
        digits = text + 1;
    }
    WriteDigits(digits, magnitude);
    LogTrace("The string is %s\n", text);
    return text;
}

char* ConvertToStringFromUnsignedInteger(const uint32_t* value, int32_t* length) {
    LogTrace("@@@ Inside ConvertToStringFromUnsignedInteger @@@\n");
    if (value == nullptr) return nullptr;
    LogTrace("The value is %d\n", static_cast<int>(*value));
    char* text = NewIntegerText();
    if (text == nullptr) return nullptr;
    int32_t n = WriteDigits(text, *value);
    if (length != nullptr) *length = n;
    LogTrace("The string is %s\n", text);
    return text;
}

char* ToString(const void* value, int32_t type) {
    LogTrace("@@@ Inside ToString @@@\n");
    if (type == 0) {
        return ConvertToStringFromInteger(static_cast<const int32_t*>(value));
    }
    if (type == 1) {
        char* text = static_cast<char*>(std::calloc(6, 1));
        if (text == nullptr) {
            LogError("Unable to allocate buffer !!! \n");
            return nullptr;
        }
        std::memcpy(text, value != nullptr ? "TRUE" : "FALSE", value != nullptr ? 4 : 5);
        return text;
    }
    return nullptr;
}

bool IsIntegerText(const char* text) {
    if (text == nullptr) return false;
    if (*text == '+' || *text == '-') ++text;
    if (*text == '\0') return false;
    for (; *text != '\0'; ++text) {
        if (!IsDigit(*text)) return false;
    }
    return true;
}

int32_t ConvertTextToInteger(const char* text) {
    if (!IsIntegerText(text)) return -1;
    bool negative = *text == '-';
    if (*text == '+' || *text == '-') ++text;
    int64_t value = 0;
    for (; *text != '\0'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > int64_t{INT32_MAX} + 1) return -1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return -1;
    return static_cast<int32_t>(value);
}

bool IsNumberText(const char* text) {
    if (text == nullptr) return false;
    if (*text == '+' || *text == '-') ++text;
    int digits = 0;
    int dots = 0;
    for (; *text != '\0'; ++text) {
        if (IsDigit(*text)) {
            ++digits;
        } else if (*text == '.' && dots == 0) {
            ++dots;
        } else {
            return false;
        }
    }
    return digits > 0;
}

double ConvertTextToDouble(const char* text) {
    if (!IsNumberText(text)) return -1;
    bool negative = *text == '-';
    if (*text == '+' || *text == '-') ++text;
    double value = 0;
    double scale = 0;
    for (; *text != '\0'; ++text) {
        if (*text == '.') {
            scale = 1;
            continue;
        }
        value = value * 10 + (*text - '0');
        if (scale != 0) scale *= 10;
    }
    if (scale != 0) value /= scale;
    return negative ? -value : value;
}

int32_t ConvertToInteger(const uint8_t* bytes, int32_t count) {
    LogTrace("@@@ Inside ConvertToInteger @@@\n");
    if (bytes == nullptr || count > 4) return -1;
    if (count <= 0) return 0;
    int64_t value = static_cast<int8_t>(bytes[0]);
    for (int32_t i = 1; i < count; ++i) {
        value = value * 256 + bytes[i];
    }
    return static_cast<int32_t>(value);
}

uint32_t ConvertToUnsignedInteger(const uint8_t* bytes, int32_t count) {
    LogTrace("@@@ Inside ConvertToUnsignedInteger @@@\n");
    if (bytes == nullptr) return 0;
    uint32_t value = 0;
    for (int32_t i = 0; i < count; ++i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

uint64_t ConvertToULongLongFromCounter64(uint32_t high, uint32_t low) {
    LogTrace("@@@ Inside ConvertToULongLongFromCounter64 @@@\n");
    return (static_cast<uint64_t>(high) << 32) | low;
}

Counter64 ConvertToCounter64FromULongLong(uint64_t value) {
    LogTrace("@@@ Inside ConvertToCounter64FromULongLong @@@\n");
    return Counter64{static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value)};
}

bool ConvertToCounter64(Counter64* out, const uint8_t* octets, int32_t count) {
    LogTrace("@@@ Inside ConvertToCounter64 @@@\n");
    if (out == nullptr) return false;
    *out = Counter64{0, 0};
    if (octets == nullptr || count < 1 || count > 9) return false;
    if (count == 9) {
        ++octets;
        --count;
    }
    int32_t lowCount = count < 4 ? count : 4;
    int32_t highCount = count - lowCount;
    for (int32_t i = 0; i < highCount; ++i) {
        out->high = (out->high << 8) | octets[i];
    }
    for (int32_t i = highCount; i < count; ++i) {
        out->low = (out->low << 8) | octets[i];
    }
    return true;
}

char* ConvertToStringFromCounter64(const Counter64* value) {
    LogTrace("@@@ Inside ConvertToStringFromCounter64 @@@\n");
    if (value == nullptr) return nullptr;
    char* text = static_cast<char*>(std::calloc(kCounter64TextSize, 1));
    if (text == nullptr) {
        LogError("Unable to allocate buffer !!! \n");
        return nullptr;
    }
    uint64_t bits = ConvertToULongLongFromCounter64(value->high, value->low);
    long long signedValue;
    std::memcpy(&signedValue, &bits, sizeof signedValue);
    std::snprintf(text, kCounter64TextSize, "%lld", signedValue);
    LogDebug("The String is : %s\n", text);
    return text;
}

}  // namespace orv
