// Object identifier and IP address texts and arrays.
#include "util/conv_oid.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "util/conv_number.h"

namespace orv {
namespace {

// A piece of an OID or IP text: an optional "+" and one or more digits of
// at most UINT32_MAX. False when it breaks the rule.
bool ReadSubId(const char* begin, const char* end, uint32_t* value) {
    if (begin < end && *begin == '+') ++begin;
    if (begin == end) return false;
    uint64_t v = 0;
    for (const char* p = begin; p < end; ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + static_cast<uint64_t>(*p - '0');
        if (v > UINT32_MAX) return false;
    }
    // A piece of value 0 ends in the digit 0.
    if (v == 0 && end[-1] != '0') return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

// Appends ".<value>" or "<value>" to text.
void AppendSubId(std::string& text, uint32_t value, bool dot) {
    char piece[16];
    std::snprintf(piece, sizeof piece, dot ? ".%lu" : "%lu", static_cast<unsigned long>(value));
    text += piece;
}

std::string OidText(const uint32_t* subIds, int32_t count) {
    std::string text;
    for (int32_t i = 0; i < count; ++i) AppendSubId(text, subIds[i], true);
    return text;
}

std::string IpText(const uint32_t* subIds, int32_t first, int32_t end) {
    std::string text;
    for (int32_t i = first; i < end; ++i) AppendSubId(text, subIds[i], i != first);
    return text;
}

// Copies text and its terminator into a buffer of size bytes when it fits;
// otherwise leaves an empty text. True when it fit.
bool StoreText(char* out, size_t size, const std::string& text) {
    if (out == nullptr || size == 0) return false;
    if (text.size() + 1 > size) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

uint16_t GetOidLength(const char* text, int32_t len) {
    LogTrace("@@@ Inside GetOidLength @@@\n");
    if (text == nullptr) return 0;
    uint16_t dots = 0;
    for (int32_t i = 0; i < len; ++i) {
        if (text[i] == '.') ++dots;
    }
    return dots;
}

int32_t ConvertToOidOrIpFromString(uint32_t** out, const char* text, bool isIp) {
    LogTrace("@@@ Inside ConvertToOidOrIpFromString @@@\n");
    if (out == nullptr) return -1;
    *out = nullptr;
    if (text == nullptr) return -1;
    size_t len = std::strlen(text);
    size_t dots = 0;
    for (size_t i = 0; i < len; ++i) {
        if (text[i] == '.') ++dots;
    }
    if (dots == 0) {
        LogError(isIp ? "Incorrect format of IpAddress\n" : "Incorrect format of OID\n");
        return -1;
    }
    size_t n = isIp ? dots + 1 : dots;
    auto* subIds = static_cast<uint32_t*>(std::calloc(n + 1, sizeof(uint32_t)));
    if (subIds == nullptr) {
        LogError("Unable to allocate memory\n");
        return -1;
    }
    const char* p = isIp ? text : text + 1;
    const char* end = text + len;
    size_t read = 0;
    while (p <= end && read < n) {
        const char* stop = static_cast<const char*>(std::memchr(p, '.', static_cast<size_t>(end - p)));
        if (stop == nullptr) stop = end;
        if (!ReadSubId(p, stop, &subIds[read])) {
            std::free(subIds);
            return -1;
        }
        ++read;
        p = stop + 1;
    }
    *out = subIds;
    return read == n && p > end ? static_cast<int32_t>(n) : 0;
}

bool IsValidOid(const char* text, int32_t len) {
    LogTrace("@@@ Inside IsValidOid @@@\n");
    if (text == nullptr || len < 1 || text[0] != '.') return false;
    return GetOidLength(text, len) > 1;
}

bool IsValidIPAddress(const char* text, int32_t len) {
    LogTrace("@@@ Inside IsValidIPAddress @@@\n");
    LogTrace("len is %d\n", static_cast<int>(len));
    if (text == nullptr || len < 1 || text[0] == '.') return false;
    for (int32_t i = 0; i + 1 < len; ++i) {
        if (text[i] == '.' && text[i + 1] == '.') return false;
    }
    if (GetOidLength(text, len) != 3) return false;
    int32_t start = 0;
    for (int32_t i = 0; i <= len; ++i) {
        if (i < len && text[i] != '.') continue;
        std::string piece(text + start, static_cast<size_t>(i - start));
        start = i + 1;
        if (piece.empty()) {
            if (i == len) continue;  // an empty last piece counts as 0
            return false;
        }
        int32_t value = ConvertTextToInteger(piece.c_str());
        if (value == -1 || value > 255) return false;
        if (value == 0 && piece.find_first_not_of('0') != std::string::npos) return false;
    }
    return true;
}

char* ConvertToStringFromOID(const uint32_t* subIds, int32_t* length) {
    LogTrace("@@@ Inside ConvertToStringFromOID @@@\n");
    if (subIds == nullptr || length == nullptr) return nullptr;
    int32_t count = *length > 0 ? *length / 4 : 0;
    std::string text;
    for (int32_t i = 0; i < count; ++i) {
        LogTrace("The SubId IS %ld\n", static_cast<long>(subIds[i]));
        AppendSubId(text, subIds[i], true);
        LogTrace("The String rep as SubId is %s\n", text.c_str());
    }
    char* result = static_cast<char*>(std::malloc(text.size() + 1));
    if (result == nullptr) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
    std::memcpy(result, text.c_str(), text.size() + 1);
    *length = static_cast<int32_t>(text.size());
    LogTrace("The String rep as OID is %s\n", result);
    return result;
}

uint8_t ConvertToStringFromOid(const uint32_t* subIds, int32_t count, char* buffer) {
    LogTrace("@@@ Inside ConvertToStringFromOid @@@\n");
    if (subIds == nullptr || buffer == nullptr) return 0;
    std::string text = OidText(subIds, count);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 1;
}

uint8_t ConvertToStringFromOidBounded(const uint32_t* subIds, int32_t count, char* buffer, size_t size) {
    LogTrace("@@@ Inside ConvertToStringFromOidBounded @@@\n");
    if (subIds == nullptr) return 0;
    return StoreText(buffer, size, OidText(subIds, count)) ? 1 : 0;
}

void ConvertToIpAddressFromOid(char* out, const uint32_t* subIds, int32_t first, int32_t end) {
    LogTrace("@@@ Inside ConvertToIpAddressFromOid @@@\n");
    if (out == nullptr || subIds == nullptr) return;
    std::string text = IpText(subIds, first, end);
    std::memcpy(out, text.c_str(), text.size() + 1);
}

bool ConvertToIpAddressFromOidBounded(char* out, size_t size, const uint32_t* subIds, int32_t first,
                                      int32_t end) {
    LogTrace("@@@ Inside ConvertToIpAddressFromOidBounded @@@\n");
    if (subIds == nullptr) return false;
    return StoreText(out, size, IpText(subIds, first, end));
}

int8_t CompareOid(const uint32_t* first, int32_t firstCount, const uint32_t* second, int32_t secondCount) {
    LogTrace("@@@ Inside CompareOid @@@\n");
    if (firstCount < 0) firstCount = 0;
    if (secondCount < 0) secondCount = 0;
    int32_t common = firstCount < secondCount ? firstCount : secondCount;
    for (int32_t i = 0; i < common; ++i) {
        if (first[i] > second[i]) return 1;
        if (first[i] < second[i]) return -1;
    }
    if (firstCount > secondCount) return 1;
    if (firstCount < secondCount) return -1;
    return 0;
}

void CopyOid(uint32_t* dest, const uint32_t* src, int32_t count) {
    LogTrace("@@@ Inside CopyOid @@@\n");
    if (dest == nullptr || src == nullptr || count <= 0) return;
    std::memmove(dest, src, static_cast<size_t>(count) * sizeof(uint32_t));
}

void SetNOid(uint32_t* dest, const uint32_t* src, int32_t offset, int32_t count) {
    LogTrace("@@@ Inside SetNOid @@@\n");
    if (dest == nullptr || src == nullptr || offset < 0 || count <= 0) return;
    std::memmove(dest + offset, src, static_cast<size_t>(count) * sizeof(uint32_t));
}

bool SetNOidBounded(uint32_t* dest, size_t capacity, const uint32_t* src, int32_t offset, int32_t count) {
    if (dest == nullptr || src == nullptr || offset < 0 || count < 0) return false;
    if (static_cast<uint64_t>(offset) + static_cast<uint64_t>(count) > capacity) return false;
    SetNOid(dest, src, offset, count);
    return true;
}

void CopyStringToOid(uint32_t* dest, const char* text) {
    LogTrace("@@@ Inside CopyStringToOid @@@\n");
    if (dest == nullptr || text == nullptr) return;
    CopyStringToOID(dest, text, static_cast<int32_t>(std::strlen(text)));
}

bool CopyStringToOidBounded(uint32_t* dest, size_t capacity, const char* text) {
    if (dest == nullptr || text == nullptr) return false;
    size_t len = std::strlen(text);
    if (len > capacity || len > INT32_MAX) return false;
    CopyStringToOID(dest, text, static_cast<int32_t>(len));
    return true;
}

void CopyStringToOID(uint32_t* dest, const char* text, int32_t len) {
    LogTrace("@@@ Inside CopyStringToOID @@@\n");
    if (dest == nullptr || text == nullptr) return;
    for (int32_t i = 0; i < len; ++i) dest[i] = static_cast<uint8_t>(text[i]);
}

void ConvertToCharArray(char* out, const uint32_t* subIds, int32_t start, int32_t count) {
    LogTrace("@@@ Inside ConvertToCharArray @@@\n");
    if (out == nullptr || subIds == nullptr) return;
    int32_t n = 0;
    for (int32_t i = start < 0 ? 0 : start; i < count; ++i) {
        out[n++] = static_cast<char>(static_cast<uint8_t>(subIds[i] % 255));
    }
    out[n] = '\0';
}

bool ConvertToCharArrayBounded(char* out, size_t size, const uint32_t* subIds, int32_t start, int32_t count) {
    if (out == nullptr || size == 0 || subIds == nullptr) return false;
    if (start < 0) start = 0;
    uint64_t needed = (count > start ? static_cast<uint64_t>(count - start) : 0) + 1;
    if (needed > size) {
        out[0] = '\0';
        return false;
    }
    ConvertToCharArray(out, subIds, start, count);
    return true;
}

uint32_t GetNextSubId(const uint32_t* subIds, int32_t count, uint32_t value) {
    LogTrace("@@@ Inside GetNextSubId @@@\n");
    if (subIds == nullptr) return 0;
    for (int32_t i = 0; i < count; ++i) {
        if (subIds[i] > value) return subIds[i];
    }
    return 0;
}

uint8_t ReallocateAndSetString(char** buffer, const char* bytes, int32_t len) {
    LogTrace("@@@ Inside ReallocateAndSetString @@@\n");
    if (buffer == nullptr || len < 0 || (bytes == nullptr && len > 0)) return 0;
    std::free(*buffer);
    *buffer = static_cast<char*>(std::malloc(static_cast<size_t>(len) + 1));
    if (*buffer == nullptr) {
        LogError("Unable to allocate memory\n");
        return 99;
    }
    if (len > 0) std::memcpy(*buffer, bytes, static_cast<size_t>(len));
    (*buffer)[len] = '\0';
    return 1;
}

uint8_t ReallocateAndSetOID(uint32_t** buffer, int32_t* outCount, const uint32_t* subIds, int32_t count) {
    LogTrace("@@@ Inside ReallocateAndSetOID @@@\n");
    if (buffer == nullptr || outCount == nullptr || count < 0 || (subIds == nullptr && count > 0)) return 0;
    std::free(*buffer);
    *outCount = 0;
    *buffer = static_cast<uint32_t*>(std::malloc((static_cast<size_t>(count) + 1) * sizeof(uint32_t)));
    if (*buffer == nullptr) {
        LogError("Unable to allocate memory");
        return 99;
    }
    if (count > 0) std::memcpy(*buffer, subIds, static_cast<size_t>(count) * sizeof(uint32_t));
    *outCount = count;
    return 1;
}

namespace {

// True when format holds exactly one conversion of an unsigned byte.
bool IsByteFormat(const char* format) {
    int conversions = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) ++p;
        while (*p >= '0' && *p <= '9') ++p;
        if (*p == '.') {
            ++p;
            while (*p >= '0' && *p <= '9') ++p;
        }
        if (*p == '\0' || std::strchr("diuxXoc", *p) == nullptr) return false;
        ++conversions;
    }
    return conversions == 1;
}

}  // namespace

bool PrintStream(const uint8_t* bytes, int32_t len, const char* format) {
    LogTrace("@@@ Inside PrintStream @@@\n");
    if (bytes == nullptr || format == nullptr || !IsByteFormat(format)) return false;
    for (int32_t i = 0; i < len; ++i) {
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#endif
        LogDebug(format, static_cast<unsigned>(bytes[i]));
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    }
    LogDebug("\n");
    return true;
}

void PrintOid(const uint32_t* subIds, int32_t count) {
    LogTrace("@@@ Inside PrintOid @@@\n");
    if (subIds == nullptr) return;
    for (int32_t i = 0; i < count; ++i) LogDebug("%lu\t", static_cast<unsigned long>(subIds[i]));
    LogDebug("\n");
}

}  // namespace orv
