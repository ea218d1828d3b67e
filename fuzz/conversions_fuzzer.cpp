// Fuzzes the text parsers of the value conversions. The first input byte,
// modulo 6, picks the parser; the rest is the text, NUL-terminated in a
// block of its own size:
//   0 OID text, 1 IP address text, 2 DateAndTime text, 3 HTTP date,
//   4 the number rules, 5 the bounded buffer copies.
// Each accepted value is written back and read again, and must come back
// the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "util/conv_number.h"
#include "util/conv_oid.h"
#include "util/conv_time.h"
#include "util/string_util.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void FuzzOid(const char* text, size_t length, bool isIp) {
    uint32_t* ids = nullptr;
    int32_t n = orv::ConvertToOidOrIpFromString(&ids, text, isIp);
    Check(n < 0 ? ids == nullptr : ids != nullptr);
    if (isIp) (void)orv::IsValidIPAddress(text, static_cast<int32_t>(length));
    (void)orv::IsValidOid(text, static_cast<int32_t>(length));
    if (n > 0) {
        int32_t bytes = n * 4;
        char* back = orv::ConvertToStringFromOID(ids, &bytes);
        Check(back != nullptr);
        uint32_t* again = nullptr;
        Check(orv::ConvertToOidOrIpFromString(&again, back, false) == n);
        Check(orv::CompareOid(ids, n, again, n) == 0);
        char small[16];
        if (orv::ConvertToStringFromOidBounded(ids, n, small, sizeof small) == 1) {
            Check(std::strcmp(small, back) == 0);
        }
        char ip[24];
        (void)orv::ConvertToIpAddressFromOidBounded(ip, sizeof ip, ids, 0, n);
        std::free(again);
        std::free(back);
    }
    std::free(ids);
}

void FuzzDateAndTime(const char* text) {
    int32_t length = 0;
    uint8_t* octets = orv::ConvertToDateTimeFromString(text, &length);
    if (octets == nullptr) return;
    Check(length == 8 || length == 11);
    int32_t textLength = length;
    char* back = orv::ConvertToStringFromDateTime(octets, &textLength);
    Check(back != nullptr);
    int32_t againLength = 0;
    uint8_t* again = orv::ConvertToDateTimeFromString(back, &againLength);
    Check(again != nullptr && againLength == length && std::memcmp(again, octets, length) == 0);
    std::free(again);
    std::free(back);
    std::free(octets);
}

void FuzzHttpDate(const char* text) {
    std::tm* tm = orv::ParseDateTime(text);
    if (tm == nullptr) return;
    Check(tm->tm_mon >= 0 && tm->tm_mon <= 11);
    Check(orv::CompareTime(tm, tm) == 1);
    std::free(tm);
}

void FuzzNumbers(const char* text) {
    int32_t value = orv::ConvertTextToInteger(text);
    if (!orv::IsIntegerText(text)) Check(value == -1);
    if (value != -1) {
        char back[16];
        std::snprintf(back, sizeof back, "%d", static_cast<int>(value));
        Check(orv::ConvertTextToInteger(back) == value);
    }
    double d = orv::ConvertTextToDouble(text);
    if (!orv::IsNumberText(text)) Check(d == -1);
    char* s = orv::ConvertToStringFromInteger(&value);
    Check(s != nullptr);
    std::free(s);
    uint8_t nibbles[8];
    (void)orv::ConvertToStringFromHexBounded(reinterpret_cast<const uint8_t*>(text),
                                             static_cast<int32_t>(std::strlen(text)), nibbles, sizeof nibbles);
}

void FuzzBuffers(const char* text, size_t length) {
    size_t size = length == 0 ? 1 : static_cast<uint8_t>(text[0]) % 16 + 1;
    char* dest = static_cast<char*>(std::malloc(size));
    if (dest == nullptr) return;
    bool whole = orv::CopyStringBounded(dest, size, text);
    Check(std::strlen(dest) < size);
    Check(whole == (std::strlen(text) < size));
    (void)orv::AppendStringBounded(dest, size, text);
    Check(std::strlen(dest) < size);
    std::free(dest);
    int32_t count = 0;
    char** pieces = orv::SplitString(text, ".", &count);
    if (pieces != nullptr) {
        Check(count == orv::CountSubString(text, ".") + 1);
        orv::FreeStringArray(pieces, -1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t which = static_cast<uint8_t>(data[0] % 6);
    const size_t length = size - 1;
    char* text = static_cast<char*>(std::malloc(length + 1));
    if (text == nullptr) return 0;
    std::memcpy(text, data + 1, length);
    text[length] = '\0';
    size_t textLength = std::strlen(text);
    switch (which) {
        case 0: FuzzOid(text, textLength, false); break;
        case 1: FuzzOid(text, textLength, true); break;
        case 2: FuzzDateAndTime(text); break;
        case 3: FuzzHttpDate(text); break;
        case 4: FuzzNumbers(text); break;
        default: FuzzBuffers(text, textLength); break;
    }
    std::free(text);
    return 0;
}
