// Several threads adding to, deleting from and cloning one shared vector.
// Meant to run under ThreadSanitizer as well (CTest label "concurrency").
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "agent/object_lock.h"
#include "util/vector.h"

namespace orv {
namespace {

constexpr int kWorkers = 4;
constexpr int kPerWorker = 400;

TEST(VectorConcurrency, AddersAndDeletersKeepTheChainWhole) {
    InitMutex();
    Vector shared{};
    InitVector(&shared);

    std::vector<std::vector<std::string>> texts(kWorkers);
    for (int w = 0; w < kWorkers; w++) {
        for (int i = 0; i < kPerWorker; i++) {
            texts[w].push_back("w" + std::to_string(w) + "-" + std::to_string(i));
        }
    }

    std::atomic<int> lost{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWorkers; w++) {
        threads.emplace_back([&, w] {
            for (auto& t : texts[w]) {
                if (AddValue(&shared, t.data()) != 1) {
                    lost++;
                }
            }
            // Nobody else removes this worker's elements, so each is found.
            for (auto& t : texts[w]) {
                if (!DeleteLCDVector(&shared, t.data())) {
                    lost++;
                }
            }
        });
    }
    std::atomic<int> badClones{0};
    threads.emplace_back([&] {
        while (!done.load()) {
            Vector* clone = CloneVector(&shared);
            if (clone == nullptr) {
                badClones++;
                continue;
            }
            int walked = 0;
            for (VectorNode* n = clone->head; n != nullptr; n = n->next) {
                walked++;
                std::free(n->element);
            }
            if (walked != clone->count) {
                badClones++;
            }
            FreeVector(clone);
            std::free(clone);
            ElementAt(&shared, 0);
        }
    });
    for (int w = 0; w < kWorkers; w++) {
        threads[w].join();
    }
    done = true;
    threads.back().join();

    EXPECT_EQ(lost.load(), 0);
    EXPECT_EQ(badClones.load(), 0);
    EXPECT_EQ(shared.count, 0);
    EXPECT_EQ(shared.head, nullptr);
    EXPECT_EQ(shared.tail, nullptr);
}

TEST(VectorConcurrency, MergesIntoOneDestinationLoseNothing) {
    InitMutex();
    Vector destination{};
    InitVector(&destination);
    std::vector<int> values(kWorkers * kPerWorker);
    std::vector<std::thread> threads;
    for (int w = 0; w < kWorkers; w++) {
        threads.emplace_back([&, w] {
            for (int round = 0; round < 20; round++) {
                Vector source{};
                InitVector(&source);
                for (int i = 0; i < kPerWorker / 20; i++) {
                    AddValue(&source, &values[w * kPerWorker + round * (kPerWorker / 20) + i]);
                }
                MergeVector(&destination, &source);
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(destination.count, kWorkers * kPerWorker);
    int walked = 0;
    VectorNode* last = nullptr;
    for (VectorNode* n = destination.head; n != nullptr; n = n->next) {
        walked++;
        last = n;
    }
    EXPECT_EQ(walked, kWorkers * kPerWorker);
    EXPECT_EQ(destination.tail, last);
    FreeVector(&destination);
}

}  // namespace
}  // namespace orv
