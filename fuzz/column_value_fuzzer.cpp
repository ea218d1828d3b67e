// Fuzzes the column value conversions. The first input byte, modulo 24,
// is the type code (0 to 22 and one code past the last); the rest is the
// text, NUL-terminated in a block of its own size, with its byte count as
// the length. The text is converted to a value and the value back to a
// text, and a copy of the value must give the same text. Everything is
// released with free().
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "datastore/column_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t type = static_cast<uint8_t>(data[0] % 24);
    const size_t textLength = size - 1;
    char* text = static_cast<char*>(std::malloc(textLength + 1));
    if (text == nullptr) return 0;
    std::memcpy(text, data + 1, textLength);
    text[textLength] = '\0';

    int32_t length = static_cast<int32_t>(textLength);
    void* value = orv::ConvertStringToColumnValue(text, &length, type);
    char* back = orv::ConvertColumnValueToString(value, type);
    if (value != nullptr) {
        // The reported length is the value's stored width: a copy of that
        // many bytes is the same value.
        void* copy = orv::CopyColumnValue(value, length, type);
        char* copyText = orv::ConvertColumnValueToString(copy, type);
        if ((back == nullptr) != (copyText == nullptr) ||
            (back != nullptr && std::strcmp(back, copyText) != 0)) {
            __builtin_trap();
        }
        std::free(copyText);
        std::free(copy);
    }
    std::free(back);
    std::free(value);
    std::free(text);
    return 0;
}
