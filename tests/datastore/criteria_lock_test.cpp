// Several threads parsing, binding and evaluating criteria under the
// criteria lock, and evaluating one shared bound tree at the same time.
// Meant to run under ThreadSanitizer as well (CTest label "concurrency").
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "agent/object_lock.h"
#include "datastore/column_value.h"
#include "datastore/criteria.h"
#include "datastore/table_defn.h"

namespace orv {
namespace {

constexpr int kWorkers = 4;
constexpr int kRounds = 300;
constexpr int kRows = 64;

struct Sample {
    Vector* columns = nullptr;
    std::vector<void*> values;  /* kRows rows of two columns */
    std::vector<int32_t> lengths;
    std::vector<RowObject> rows;

    Sample() {
        columns = NewVector();
        AddValue(columns, CreateColumnDefnEntry("A", ORV_SQL_INT, nullptr, 0, 0, nullptr, nullptr, 0, 1, nullptr));
        AddValue(columns, CreateColumnDefnEntry("B", ORV_SQL_CHAR, nullptr, 0, 0, nullptr, nullptr, 0, 1, nullptr));
        values.resize(kRows * 2);
        lengths.resize(kRows * 2);
        for (int i = 0; i < kRows; i++) {
            std::string a = std::to_string(i);
            std::string b = i % 2 ? "odd" : "even";
            values[i * 2] = ConvertStringToColumnValue(a.c_str(), &lengths[i * 2], ORV_SQL_INT);
            values[i * 2 + 1] = ConvertStringToColumnValue(b.c_str(), &lengths[i * 2 + 1], ORV_SQL_CHAR);
        }
        for (int i = 0; i < kRows; i++) rows.push_back(RowObject{&values[i * 2], &lengths[i * 2], 0, nullptr});
    }
    ~Sample() {
        for (void* v : values) free(v);
        for (VectorNode* n = columns->head; n != nullptr; n = n->next) {
            FreeColumnDefnEntry(static_cast<ColumnDefnEntry*>(n->element));
        }
        FreeVector(columns);
        free(columns);
    }
    int Count(const FilterNode* root) const {
        int n = 0;
        for (const RowObject& row : rows) n += EvaluateCriteria(&row, root) ? 1 : 0;
        return n;
    }
};

TEST(CriteriaLock, ThreadsParseBindAndEvaluateInTurn) {
    InitMutex();
    Sample sample;
    FilterNode* shared = ParseCriteria("A < 16 or B = 'odd'");
    ASSERT_NE(shared, nullptr);
    ResolveCriteriaColumns(sample.columns, shared);

    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> wrong{0};
    int parsesUnderLock = 0;  // written only while the lock is held
    std::vector<std::thread> threads;
    for (int w = 0; w < kWorkers; w++) {
        threads.emplace_back([&, w] {
            for (int r = 0; r < kRounds; r++) {
                const int limit = (w * kRounds + r) % kRows;
                const std::string text = "A >= " + std::to_string(limit) + " and (B = 'even' or B = 'odd')";
                LockCriteria();
                if (inside.fetch_add(1) != 0) overlaps++;
                FilterNode* root = ParseCriteria(text.c_str());
                if (root == nullptr) {
                    wrong++;
                } else {
                    ResolveCriteriaColumns(sample.columns, root);
                    if (sample.Count(root) != kRows - limit) wrong++;
                }
                FreeCriteria(root);
                parsesUnderLock++;
                inside.fetch_sub(1);
                UnlockCriteria();
                // Evaluation reads only the tree and the row: no lock.
                if (sample.Count(shared) != 16 + 24) wrong++;
            }
        });
    }
    for (auto& t : threads) t.join();
    FreeCriteria(shared);
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(parsesUnderLock, kWorkers * kRounds);
}

}  // namespace
}  // namespace orv
