/*
 * Helpers shared by the date-time tests: an owning pointer and the text
 * form of a value.
 */
#ifndef ORV_TESTS_UTIL_DATETIME_TEST_SUPPORT_H
#define ORV_TESTS_UTIL_DATETIME_TEST_SUPPORT_H

#include <cstdlib>
#include <memory>
#include <string>

#include "util/datetime.h"

namespace orv::test {

struct DateTimeDeleter {
    void operator()(OrvDateTime* v) const { FreeOrvDateTime(v); }
};
using DateTimePtr = std::unique_ptr<OrvDateTime, DateTimeDeleter>;

/* The text form, or "<null>". */
inline std::string Text(const OrvDateTime* v) {
    char* t = OrvDateTimeToString(v);
    if (t == nullptr) return "<null>";
    std::string s = t;
    std::free(t);
    return s;
}

}  // namespace orv::test

#endif
