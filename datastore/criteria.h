/*
 * Criteria expressions: the small language that selects rows of a table,
 * such as "NAME = 'x' and (AGE >= 18 or KIND != 2)".
 *
 * Grammar (one expression, then the end of the text):
 *   expression -> comparison | "(" expression ")" | expression ("and"|"or") expression
 *   comparison -> column op literal | literal op column
 * "and" and "or" have one precedence and group to the right; only their
 * lower-case forms are operators. Literals are digits, digits "." digits,
 * or a quoted text without quotes or line ends inside.
 *
 * Calling order: LockCriteria; ParseCriteria; ResolveCriteriaColumns;
 * EvaluateCriteria per row; FreeCriteria; UnlockCriteria.
 *
 * Thread-safety: the criteria lock (the object lock on one library-wide
 * key) serialises parsing; evaluation reads only the tree and the row.
 */
#ifndef ORV_DATASTORE_CRITERIA_H
#define ORV_DATASTORE_CRITERIA_H

#include <cstdint>
#include <string>

#include "datastore/relvar.h"
#include "util/vector.h"

namespace orv {

/* Operator codes. */
constexpr uint8_t kOpLess = 1;
constexpr uint8_t kOpGreater = 2;
constexpr uint8_t kOpLessEqual = 3;
constexpr uint8_t kOpGreaterEqual = 4;
constexpr uint8_t kOpEqual = 5;
constexpr uint8_t kOpNotEqual = 6;
constexpr uint8_t kOpAnd = 7;
constexpr uint8_t kOpOr = 8;

/* The deepest nesting a parse accepts. */
constexpr int32_t kMaxCriteriaStack = 10000;

struct FilterNode {
    char* columnName;    /* comparisons only */
    char* literal;       /* comparisons only, as written (quotes kept) */
    uint8_t op;
    uint8_t columnIndex; /* set by binding */
    uint8_t columnType;  /* set by binding */
    FilterNode* left;
    FilterNode* right;
    FilterNode* parent;
    /* The literal converted for columnType once at binding (owned), so
     * that rows are compared without converting it again. */
    void* boundValue;
    int32_t boundLength;
    uint8_t bound;       /* 1 once ResolveCriteriaColumns has run */
    /* How a row's value is compared (by columnType), set by binding; 0, the
     * value of an unbound or unknown column, compares false. */
    uint8_t compareKind;
};

/* The root of a new tree, or null when the text is missing or does not
 * parse. The text is one expression, optionally followed by a line end and
 * nothing but blanks, tabs and line ends. Groups nest at most
 * kMaxCriteriaStack deep; and/or chains have no bound. OUT *error
 * (optional, set only on failure): where and why the parse stopped, with
 * 1-based byte positions: "syntax error at position N", "invalid character
 * 'c' at position N" (a byte outside printable ASCII as \xHH), "nesting
 * deeper than 10000", "no criteria text" or "out of memory". */
FilterNode* ParseCriteria(const char* text, std::string* error = nullptr);

/* Binds every comparison to the first column (of ColumnDefnEntry) whose
 * name matches without regard to case; an unknown name, or a column past
 * position 255, binds nothing (the comparison is then false). Converts each
 * literal once for its column's type; binding again replaces it. This and
 * EvaluateCriteria walk the tree by its parent links (as ParseCriteria sets
 * them), so trees of any depth need no stack; a subtree may be passed as
 * the root. */
void ResolveCriteriaColumns(Vector* columns, FilterNode* root);

/* True when the row matches; no tree matches every row. Comparisons by
 * columnType: 1 to 6 as signed (1, 3, 5) or unsigned (2, 4, 6) integers of
 * the stored width, 7 as a signed 64-bit integer, 9 as a single float, 14,
 * 15 and 22 byte-wise on the texts (a quoted literal without its quotes; a
 * missing row text sorts before every text); every other type, a missing
 * number and an unknown column compare false. Reads only the tree and the
 * row (whose values are blocks of the columns' stored widths). */
bool EvaluateCriteria(const RowObject* row, const FilterNode* root);

/* Frees the tree with its strings and bound literals; null does nothing. */
void FreeCriteria(FilterNode* root);

/* The criteria lock. */
void LockCriteria();
void UnlockCriteria();

}  // namespace orv

#endif
