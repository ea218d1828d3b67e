/*
 * Binding criteria trees to a table's columns and evaluating them against
 * rows.
 *
 * Both walk the tree by its parent links instead of recursing, so a tree
 * of any depth (a long and/or chain) needs no stack. Binding converts each
 * literal once for its column's type and records how rows are compared,
 * so that evaluating a row allocates nothing and converts nothing.
 */
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "datastore/column_value.h"
#include "datastore/criteria.h"
#include "datastore/table_defn.h"
#include "datastore/type_codes.h"

namespace orv {

namespace {

/* compareKind values. */
enum : uint8_t {
    kCompareFalse = 0,
    kCompareS8,
    kCompareS16,
    kCompareS32,
    kCompareS64,
    kCompareU8,
    kCompareU16,
    kCompareU32,
    kCompareF32,
    kCompareText,
};

bool IsLogical(const FilterNode* node) { return node->op == kOpAnd || node->op == kOpOr; }

/* The comparison kind of a column type; false for the types that never
 * compare (0, 8, 10 to 13, 16 to 21). */
uint8_t KindOfType(uint8_t type) {
    if (IsTextType(type)) return kCompareText;
    if (type == ORV_SQL_FLOAT) return kCompareF32;
    if (type == ORV_SQL_BIGINT) return kCompareS64;
    bool isSigned = false;
    if (type == ORV_SQL_UNSIGNED_LONG_INT || !IsIntegerType(type, &isSigned)) return kCompareFalse;
    switch (GetStoredWidth(type)) {
        case 1: return isSigned ? kCompareS8 : kCompareU8;
        case 2: return isSigned ? kCompareS16 : kCompareU16;
        case 4: return isSigned ? kCompareS32 : kCompareU32;
        default: return isSigned ? kCompareS64 : kCompareFalse;
    }
}

void BindComparison(Vector* columns, FilterNode* node) {
    free(node->boundValue);
    node->boundValue = nullptr;
    node->boundLength = 0;
    node->columnIndex = 0;
    node->columnType = 0;
    node->compareKind = kCompareFalse;
    node->bound = 1;
    if (columns == nullptr || node->columnName == nullptr || node->literal == nullptr) return;

    const ColumnDefnEntry* column = nullptr;
    int32_t index = 0;
    // The definition's column list is not changed after start-up: walking
    // its links avoids a locked look-up per position.
    for (const VectorNode* n = columns->head; n != nullptr; n = n->next, index++) {
        const auto* entry = static_cast<const ColumnDefnEntry*>(n->element);
        if (entry != nullptr && entry->name != nullptr && strcasecmp(entry->name, node->columnName) == 0) {
            column = entry;
            break;
        }
    }
    // The index is kept in 8 bits: a column past 255 cannot be bound.
    if (column == nullptr || index > 255) return;
    node->columnIndex = static_cast<uint8_t>(index);
    node->columnType = column->type;

    const uint8_t kind = KindOfType(column->type);
    const char* text = node->literal;
    size_t textLength = strlen(text);
    char* unquoted = nullptr;
    if (kind == kCompareText && textLength >= 2 && text[0] == '\'' && text[textLength - 1] == '\'') {
        // A quoted literal is compared without its quotes; a number as written.
        unquoted = static_cast<char*>(malloc(textLength - 1));
        if (unquoted == nullptr) return;
        memcpy(unquoted, text + 1, textLength - 2);
        unquoted[textLength - 2] = '\0';
        text = unquoted;
        textLength -= 2;
    }
    int32_t length = static_cast<int32_t>(textLength > INT32_MAX ? INT32_MAX : textLength);
    node->boundValue = ConvertStringToColumnValue(text, &length, column->type);
    free(unquoted);
    if (node->boundValue == nullptr) return;
    node->boundLength = length;
    node->compareKind = kind;
}

template <typename T>
bool Apply(uint8_t op, T a, T b) {
    switch (op) {
        case kOpLess: return a < b;
        case kOpGreater: return a > b;
        case kOpLessEqual: return a <= b;
        case kOpGreaterEqual: return a >= b;
        case kOpEqual: return a == b;
        case kOpNotEqual: return a != b;
        default: return false;
    }
}

template <typename T>
T Load(const void* block) {
    T value;
    memcpy(&value, block, sizeof(T));
    return value;
}

template <typename T, typename Wide>
bool CompareNumber(uint8_t op, const void* value, const void* literal) {
    if (value == nullptr) return false;
    return Apply<Wide>(op, Load<T>(value), Load<T>(literal));
}

bool Compare(const RowObject* row, const FilterNode* node) {
    const uint8_t kind = node->compareKind;
    if (kind == kCompareFalse) return false;
    const void* value = row != nullptr && row->values != nullptr ? row->values[node->columnIndex] : nullptr;
    const void* literal = node->boundValue;
    switch (kind) {
        case kCompareS8: return CompareNumber<int8_t, int64_t>(node->op, value, literal);
        case kCompareS16: return CompareNumber<int16_t, int64_t>(node->op, value, literal);
        case kCompareS32: return CompareNumber<int32_t, int64_t>(node->op, value, literal);
        case kCompareS64: return CompareNumber<int64_t, int64_t>(node->op, value, literal);
        case kCompareU8: return CompareNumber<uint8_t, uint64_t>(node->op, value, literal);
        case kCompareU16: return CompareNumber<uint16_t, uint64_t>(node->op, value, literal);
        case kCompareU32: return CompareNumber<uint32_t, uint64_t>(node->op, value, literal);
        case kCompareF32: return CompareNumber<float, float>(node->op, value, literal);
        case kCompareText: {
            // A missing text sorts before every text, the empty one too.
            const int order = value == nullptr ? -1
                                               : strcmp(static_cast<const char*>(value),
                                                        static_cast<const char*>(literal));
            return Apply<int>(node->op, order < 0 ? -1 : (order > 0 ? 1 : 0), 0);
        }
        default: return false;
    }
}

}  // namespace

void ResolveCriteriaColumns(Vector* columns, FilterNode* root) {
    if (root == nullptr) return;
    // In order: left operand, node, right operand.
    FilterNode* node = root;
    for (;;) {
        while (node->left != nullptr) node = node->left;
        for (;;) {
            if (!IsLogical(node)) BindComparison(columns, node);
            else node->bound = 1;
            if (node->right != nullptr) {
                node = node->right;
                break;
            }
            // Climb past the nodes whose right operand is done.
            while (node != root && node == node->parent->right) node = node->parent;
            if (node == root) return;
            node = node->parent;
        }
    }
}

bool EvaluateCriteria(const RowObject* row, const FilterNode* root) {
    if (root == nullptr) return true;
    const FilterNode* node = root;
    bool value = true;
    for (;;) {
        // Down the left operands to a node whose value is known. A missing
        // operand is true.
        for (;;) {
            if (!IsLogical(node)) {
                value = Compare(row, node);
                break;
            }
            if (node->left != nullptr) {
                node = node->left;
            } else if (node->op == kOpAnd && node->right != nullptr) {
                node = node->right;
            } else {
                value = true;
                break;
            }
        }
        // Up again: a left operand that decides its node skips the right
        // one (evaluation has no side effects, so the result is the same).
        for (;;) {
            if (node == root) return value;
            const FilterNode* parent = node->parent;
            if (node == parent->left && (parent->op == kOpAnd ? value : !value)) {
                if (parent->right == nullptr) {
                    value = true;
                    node = parent;
                    continue;
                }
                node = parent->right;
                break;
            }
            node = parent;
        }
    }
}

}  // namespace orv
