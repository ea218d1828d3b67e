/*
 * The scanner of criteria texts (internal to the criteria parser).
 *
 * Tokens, by longest match (among equal lengths the earlier rule wins):
 * lower-case "and" and "or"; digits; digits "." digits; a quoted text
 * without quotes or line ends inside; a column name (a letter, then
 * letters, digits and "_"); "(" and ")"; the operators < > <= >= = !=; a
 * line end. Blanks and tabs are skipped; any other byte is invalid.
 *
 * Thread-safe: the scanner's state is the caller's CriteriaScanner.
 */
#ifndef ORV_DATASTORE_CRITERIA_SCAN_H
#define ORV_DATASTORE_CRITERIA_SCAN_H

#include <cstddef>
#include <cstdint>

namespace orv {

enum class CriteriaToken : uint8_t {
    kEnd,       /* the end of the text */
    kLineEnd,
    kAnd,
    kOr,
    kLiteral,
    kColumn,
    kOpen,
    kClose,
    kOperator,  /* op holds the operator code (kOpLess ... kOpNotEqual) */
    kInvalid,   /* a byte that starts no token */
};

struct CriteriaScanner {
    const char* text;
    size_t position; /* offset of the next byte to scan */
};

struct CriteriaLexeme {
    CriteriaToken token;
    uint8_t op;
    size_t start;  /* offset of the token's first byte */
    size_t length; /* bytes of the token */
};

/* The next token from the scanner's position; moves past it. At the end
 * of the text it keeps returning kEnd. */
CriteriaLexeme ScanCriteriaToken(CriteriaScanner* scanner);

}  // namespace orv

#endif
