// String routines: printf into a string, copies, search, pieces, removal,
// trimming, splitting, comparisons and buffer copies.
#include "util/string_util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace orv {
namespace {

// A new zero-filled heap copy of the len bytes at text.
char* NewText(const char* text, size_t len) {
    char* copy = static_cast<char*>(std::calloc(len + 1, 1));
    if (copy != nullptr && len > 0) std::memcpy(copy, text, len);
    return copy;
}

char* NewText(const std::string& text) { return NewText(text.data(), text.size()); }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Where the next occurrence of pattern begins at or after from, by one
// forward pass in which a mismatch starts the pattern again without
// comparing that character again; -1 when none.
int64_t NextOccurrence(const char* text, size_t from, const char* pattern) {
    size_t plen = std::strlen(pattern);
    if (plen == 0) return -1;
    size_t j = 0;
    for (size_t i = from; text[i] != '\0'; ++i) {
        if (text[i] == pattern[j]) {
            if (++j == plen) return static_cast<int64_t>(i + 1 - plen);
        } else {
            j = 0;
        }
    }
    return -1;
}

// The starts of every occurrence, scanning on after each match.
std::vector<size_t> Occurrences(const char* text, const char* pattern) {
    std::vector<size_t> starts;
    size_t plen = std::strlen(pattern);
    int64_t at = NextOccurrence(text, 0, pattern);
    while (at >= 0) {
        starts.push_back(static_cast<size_t>(at));
        at = NextOccurrence(text, static_cast<size_t>(at) + plen, pattern);
    }
    return starts;
}

template <typename Keep>
char* FilterCopy(const char* text, Keep keep) {
    if (text == nullptr) return nullptr;
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        if (keep(*p)) out += *p;
    }
    return NewText(out);
}

char* WithoutRange(const char* text, size_t start, size_t len) {
    std::string out(text, start);
    out += text + start + len;
    return NewText(out);
}

}  // namespace

std::string PrintfV(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int n = vsnprintf(nullptr, 0, format, again);
    va_end(again);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<size_t>(n));
        va_copy(again, args);
        vsnprintf(text.data(), text.size() + 1, format, again);
        va_end(again);
    }
    return text;
}

std::string Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = PrintfV(format, args);
    va_end(args);
    return text;
}

char* ToUpperCopy(const char* text) {
    if (text == nullptr) return nullptr;
    size_t len = std::strlen(text);
    char* out = NewText(text, len);
    if (out == nullptr) return nullptr;
    for (size_t i = 0; i < len; ++i) {
        if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
    }
    return out;
}

char* ToLowerCopy(const char* text) {
    if (text == nullptr) return nullptr;
    size_t len = std::strlen(text);
    char* out = NewText(text, len);
    if (out == nullptr) return nullptr;
    for (size_t i = 0; i < len; ++i) out[i] = Lower(out[i]);
    return out;
}

char* LettersOnlyCopy(const char* text) { return FilterCopy(text, [](char c) { return IsLetter(c); }); }

char* LettersAndDigitsCopy(const char* text) {
    return FilterCopy(text, [](char c) { return IsLetter(c) || IsDigit(c); });
}

char* WithoutLettersAndDigitsCopy(const char* text) {
    return FilterCopy(text, [](char c) { return !IsLetter(c) && !IsDigit(c); });
}

const char* SubString(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    int64_t at = NextOccurrence(text, 0, pattern);
    return at < 0 ? nullptr : text + at;
}

bool FindSubString(const char* text, const char* pattern) { return SubString(text, pattern) != nullptr; }

int32_t CountSubString(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) return 0;
    return static_cast<int32_t>(Occurrences(text, pattern).size());
}

int64_t FindLastSubstringPos(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) return -1;
    std::vector<size_t> starts = Occurrences(text, pattern);
    return starts.empty() ? -1 : static_cast<int64_t>(starts.back());
}

char* TextAfterFirst(const char* text, const char* pattern) {
    const char* at = SubString(text, pattern);
    if (at == nullptr) return nullptr;
    const char* rest = at + std::strlen(pattern);
    return NewText(rest, std::strlen(rest));
}

char* TextAfterLast(const char* text, const char* pattern) {
    int64_t at = FindLastSubstringPos(text, pattern);
    if (at < 0) return nullptr;
    const char* rest = text + at + std::strlen(pattern);
    return NewText(rest, std::strlen(rest));
}

char* RemoveAllSubString(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    size_t plen = std::strlen(pattern);
    std::string out;
    size_t from = 0;
    for (size_t start : Occurrences(text, pattern)) {
        out.append(text + from, start - from);
        from = start + plen;
    }
    out += text + from;
    return NewText(out);
}

char* RemoveFirstSubString(const char* text, const char* pattern) {
    const char* at = SubString(text, pattern);
    if (at == nullptr) return nullptr;
    return WithoutRange(text, static_cast<size_t>(at - text), std::strlen(pattern));
}

char* RemoveLastSubString(const char* text, const char* pattern) {
    int64_t at = FindLastSubstringPos(text, pattern);
    if (at < 0) return nullptr;
    return WithoutRange(text, static_cast<size_t>(at), std::strlen(pattern));
}

char* TrimFront(const char* text, char c) {
    if (text == nullptr || *text == '\0') return nullptr;
    while (*text == c && c != '\0') ++text;
    return NewText(text, std::strlen(text));
}

char* TrimBack(const char* text, char c) {
    if (text == nullptr) return nullptr;
    size_t len = std::strlen(text);
    if (len == 1) return nullptr;
    while (len > 0 && text[len - 1] == c) --len;
    return NewText(text, len);
}

char* TrimBoth(const char* text, char c) {
    if (text == nullptr) return nullptr;
    while (*text == c && c != '\0') ++text;
    size_t len = std::strlen(text);
    while (len > 0 && text[len - 1] == c) --len;
    return NewText(text, len);
}

char* TokenizeString(char* text, const char* delimiters, char** cursor) {
    if (cursor == nullptr || delimiters == nullptr) return nullptr;
    char* p = text != nullptr ? text : *cursor;
    if (p == nullptr) return nullptr;
    p += std::strspn(p, delimiters);
    if (*p == '\0') {
        *cursor = p;
        return nullptr;
    }
    char* end = p + std::strcspn(p, delimiters);
    if (*end != '\0') {
        *end = '\0';
        *cursor = end + 1;
    } else {
        *cursor = end;
    }
    return p;
}

char** SplitString(const char* text, const char* pattern, int32_t* count) {
    if (count != nullptr) *count = 0;
    if (text == nullptr || pattern == nullptr) return nullptr;
    size_t plen = std::strlen(pattern);
    std::vector<size_t> starts = Occurrences(text, pattern);
    size_t n = starts.size() + 1;
    auto** array = static_cast<char**>(std::calloc(n + 1, sizeof(char*)));
    if (array == nullptr) return nullptr;
    size_t from = 0;
    for (size_t i = 0; i < n; ++i) {
        size_t end = i < starts.size() ? starts[i] : std::strlen(text);
        array[i] = NewText(text + from, end - from);
        if (array[i] == nullptr) {
            FreeStringArray(array, -1);
            return nullptr;
        }
        from = end + plen;
    }
    if (count != nullptr) *count = static_cast<int32_t>(n);
    return array;
}

char** SplitBytes(const char* bytes, int32_t length, char separator, int32_t** lengths, int32_t* count) {
    if (lengths != nullptr) *lengths = nullptr;
    if (count != nullptr) *count = 0;
    if (bytes == nullptr || length < 0 || lengths == nullptr || count == nullptr) return nullptr;
    std::vector<std::pair<int32_t, int32_t>> pieces;
    int32_t start = 0;
    for (int32_t i = 0; i <= length; ++i) {
        if (i == length || bytes[i] == separator) {
            pieces.emplace_back(start, i - start);
            start = i + 1;
        }
    }
    auto** array = static_cast<char**>(std::calloc(pieces.size() + 1, sizeof(char*)));
    auto* lens = static_cast<int32_t*>(std::calloc(pieces.size() + 1, sizeof(int32_t)));
    if (array == nullptr || lens == nullptr) {
        std::free(array);
        std::free(lens);
        return nullptr;
    }
    for (size_t i = 0; i < pieces.size(); ++i) {
        array[i] = NewText(bytes + pieces[i].first, static_cast<size_t>(pieces[i].second));
        lens[i] = pieces[i].second;
        if (array[i] == nullptr) {
            FreeStringArray(array, static_cast<int32_t>(i));
            std::free(lens);
            return nullptr;
        }
    }
    *lengths = lens;
    *count = static_cast<int32_t>(pieces.size());
    return array;
}

void FreeStringArray(char** array, int32_t count) {
    if (array == nullptr) return;
    if (count < 0) {
        for (char** p = array; *p != nullptr; ++p) std::free(*p);
    } else {
        for (int32_t i = 0; i < count; ++i) std::free(array[i]);
    }
    std::free(array);
}

bool IsStringMatched(const char* list, const char* bytes, int32_t length) {
    if (list == nullptr || bytes == nullptr || length < 0) return false;
    int32_t* lengths = nullptr;
    int32_t count = 0;
    char** pieces = SplitBytes(list, static_cast<int32_t>(std::strlen(list)), ',', &lengths, &count);
    if (pieces == nullptr) return false;
    bool matched = false;
    for (int32_t i = 0; i < count && !matched; ++i) {
        matched = lengths[i] == length && std::memcmp(pieces[i], bytes, static_cast<size_t>(length)) == 0;
    }
    FreeStringArray(pieces, count);
    std::free(lengths);
    return matched;
}

int32_t GetIndex(const char* text, char c, int32_t count) {
    if (text == nullptr) return -1;
    for (int32_t i = 0; i < count; ++i) {
        if (text[i] == c) return i;
    }
    return -1;
}

int32_t CompareStrings(const char* first, const char* second) {
    if (first == nullptr || second == nullptr) return (first != nullptr) - (second != nullptr);
    return std::strcmp(first, second);
}

int32_t CompareStringsN(const char* first, const char* second, size_t length) {
    if (first == nullptr || second == nullptr) return (first != nullptr) - (second != nullptr);
    return std::strncmp(first, second, length);
}

int32_t CompareStringsNoCase(const char* first, const char* second) {
    if (first == nullptr || second == nullptr) return (first != nullptr) - (second != nullptr);
    for (;; ++first, ++second) {
        unsigned char a = static_cast<unsigned char>(Lower(*first));
        unsigned char b = static_cast<unsigned char>(Lower(*second));
        if (a != b) return a < b ? -1 : 1;
        if (a == '\0') return 0;
    }
}

char* CopyString(char* dest, const char* source) {
    if (dest == nullptr || source == nullptr) return nullptr;
    std::memmove(dest, source, std::strlen(source) + 1);
    return dest;
}

char* CopyStringN(char* dest, const char* source, size_t length) {
    if (dest == nullptr || source == nullptr) return nullptr;
    for (size_t i = 0; i < length; ++i) {
        dest[i] = source[i];
        if (source[i] == '\0') break;
    }
    return dest;
}

char* AppendString(char* dest, const char* source) {
    if (dest == nullptr || source == nullptr) return nullptr;
    std::memmove(dest + std::strlen(dest), source, std::strlen(source) + 1);
    return dest;
}

size_t StringLength(const char* text) { return text == nullptr ? 0 : std::strlen(text); }

bool CopyStringBounded(char* dest, size_t size, const char* source) {
    if (dest == nullptr || source == nullptr || size == 0) return false;
    size_t len = std::strlen(source);
    size_t n = len < size - 1 ? len : size - 1;
    std::memmove(dest, source, n);
    dest[n] = '\0';
    return n == len;
}

bool AppendStringBounded(char* dest, size_t size, const char* source) {
    if (dest == nullptr || source == nullptr || size == 0) return false;
    size_t used = strnlen(dest, size);
    if (used == size) {
        // Not a terminated text within size: make it one, cut.
        dest[size - 1] = '\0';
        return false;
    }
    return CopyStringBounded(dest + used, size - used, source);
}

}  // namespace orv
