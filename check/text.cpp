/*
 * ASCII-only text comparisons. Thread-safe.
 */
#include "check/text.h"

namespace orv {

namespace {
unsigned char Lower(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}
}  // namespace

bool EqualsIgnoreAsciiCase(const char* a, const char* b, size_t limit) {
    for (size_t i = 0; i < limit; ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
        if (a[i] == '\0') return true;
    }
    return true;
}

}  // namespace orv
