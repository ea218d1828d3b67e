/*
 * ASCII-only text comparisons that do not depend on the locale. Thread-safe.
 */
#ifndef ORV_CHECK_TEXT_H
#define ORV_CHECK_TEXT_H

#include <cstddef>

namespace orv {

/* True when a and b are equal in their first limit characters (or whole,
 * when shorter), ASCII letter case ignored. */
bool EqualsIgnoreAsciiCase(const char* a, const char* b, size_t limit = static_cast<size_t>(-1));

}  // namespace orv

#endif
