// Fuzzes the criteria language: every input is a criteria text (cut at its
// first NUL byte), parsed, bound to a sample table of six columns of
// different types and evaluated against three rows, one of them with
// missing values. A parse gives a tree or an error text, never both; a
// logical node's value must follow from its operands' values. Everything
// is freed again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "datastore/column_value.h"
#include "datastore/criteria.h"
#include "datastore/relvar.h"
#include "datastore/table_defn.h"

namespace {

constexpr int kColumns = 6;
constexpr int kRows = 3;

struct SampleColumn {
    const char* name;
    uint8_t type;
    const char* values[kRows]; /* null: a missing value */
};

constexpr SampleColumn kSample[kColumns] = {
    {"A", orv::ORV_SQL_INT, {"500001", "-7", nullptr}},
    {"B", orv::ORV_SQL_TINYINT, {"7", "-1", nullptr}},
    {"NAME", orv::ORV_SQL_CHAR, {"x", "", nullptr}},
    {"F", orv::ORV_SQL_FLOAT, {"1.25", "0", nullptr}},
    {"Big", orv::ORV_SQL_BIGINT, {"5000000000", "-5000000000", nullptr}},
    {"D", orv::ORV_SQL_DOUBLE, {"2.5", "3", nullptr}},
};

orv::Vector* g_columns = nullptr;
void* g_values[kRows][kColumns];
int32_t g_lengths[kRows][kColumns];
orv::RowObject g_rows[kRows];

void Setup() {
    g_columns = orv::NewVector();
    for (const SampleColumn& column : kSample) {
        orv::AddValue(g_columns, orv::CreateColumnDefnEntry(column.name, column.type, nullptr, 0, 0, nullptr, nullptr,
                                                            0, 1, nullptr));
    }
    for (int r = 0; r < kRows; r++) {
        for (int c = 0; c < kColumns; c++) {
            const char* text = kSample[c].values[r];
            g_lengths[r][c] = 0;
            g_values[r][c] = text ? orv::ConvertStringToColumnValue(text, &g_lengths[r][c], kSample[c].type) : nullptr;
        }
        g_rows[r] = orv::RowObject{g_values[r], g_lengths[r], orv::kRowNew, nullptr};
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* text = static_cast<char*>(std::malloc(size + 1));
    if (text == nullptr) return 0;
    std::memcpy(text, data, size);
    text[size] = '\0';

    std::string error;
    orv::LockCriteria();
    orv::FilterNode* root = orv::ParseCriteria(text, &error);
    if ((root == nullptr) == error.empty()) __builtin_trap();
    orv::ResolveCriteriaColumns(g_columns, root);
    for (const orv::RowObject& row : g_rows) {
        const bool value = orv::EvaluateCriteria(&row, root);
        if (root != nullptr && (root->op == orv::kOpAnd || root->op == orv::kOpOr)) {
            if (root->left == nullptr || root->right == nullptr || root->left->parent != root ||
                root->right->parent != root) {
                __builtin_trap();
            }
            const bool left = orv::EvaluateCriteria(&row, root->left);
            const bool right = orv::EvaluateCriteria(&row, root->right);
            if (value != (root->op == orv::kOpAnd ? (left && right) : (left || right))) __builtin_trap();
        }
    }
    orv::FreeCriteria(root);
    orv::UnlockCriteria();
    std::free(text);
    return 0;
}
