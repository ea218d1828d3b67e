// The message queue shared by threads: two producers and two consumers,
// every message taken exactly once and each producer's messages in the
// order they were added.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "util/conv_misc.h"

namespace orv {
namespace {

TEST(MessageQueueConcurrency, EveryMessageOnceInProducerOrder) {
    constexpr int kPerProducer = 2000;
    Vector queue{};
    InitVector(&queue);
    // Message i of producer p is the address of slots[p][i].
    static int slots[2][kPerProducer];
    std::atomic<int> taken{0};
    std::vector<int> seen[2][2];  // [consumer][producer] indexes in taking order
    auto produce = [&](int p) {
        for (int i = 0; i < kPerProducer; ++i) {
            while (AddRcvdMsgToQueue(&queue, &slots[p][i]) != 1) std::this_thread::yield();
        }
    };
    auto consume = [&](int c) {
        while (taken.load() < 2 * kPerProducer) {
            void* message = ReadMsgFromQueueForProcessing(&queue);
            if (message == nullptr) {
                std::this_thread::yield();
                continue;
            }
            int* slot = static_cast<int*>(message);
            int p = slot >= &slots[1][0] ? 1 : 0;
            seen[c][p].push_back(static_cast<int>(slot - &slots[p][0]));
            taken.fetch_add(1);
        }
    };
    std::thread producers[] = {std::thread(produce, 0), std::thread(produce, 1)};
    std::thread consumers[] = {std::thread(consume, 0), std::thread(consume, 1)};
    for (auto& t : producers) t.join();
    for (auto& t : consumers) t.join();
    EXPECT_EQ(queue.count, 0);
    EXPECT_EQ(queue.head, nullptr);
    for (int p = 0; p < 2; ++p) {
        std::vector<bool> once(kPerProducer, false);
        for (int c = 0; c < 2; ++c) {
            for (size_t k = 1; k < seen[c][p].size(); ++k) EXPECT_LT(seen[c][p][k - 1], seen[c][p][k]);
            for (int i : seen[c][p]) {
                EXPECT_FALSE(once[i]);
                once[i] = true;
            }
        }
        for (int i = 0; i < kPerProducer; ++i) EXPECT_TRUE(once[i]) << p << " " << i;
    }
}

}  // namespace
}  // namespace orv
