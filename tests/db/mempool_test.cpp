/*
 * Tests of the memory pool: rounding and zero fill, growth, large
 * requests, the pool tree, clearing, the shared free lists and the counted
 * root pool. Run under ASan they also show that no block is leaked.
 */
#include "util/mempool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace orv {
namespace {

constexpr size_t kFirstBlockData = 8168;
constexpr size_t kStandardBlock = 8192;

/* Empties the shared free lists: the last end of the root pool does so.
 * REQUIRES: no root pool is in use. */
void DrainFreeLists() {
    ASSERT_EQ(GetRootMemPool(), nullptr);
    ASSERT_TRUE(InitializeMemPool());
    TerminateMemPool();
    ASSERT_EQ(GetRootMemPool(), nullptr);
    ASSERT_EQ(GetMemPoolFreeListBlocks(), 0u);
}

uintptr_t Addr(const void* p) { return reinterpret_cast<uintptr_t>(p); }

/* Cleanups that record the order in which they ran. */
struct CleanupLog {
    std::string order;
};
struct CleanupMark {
    CleanupLog* log;
    char name;
};
void RecordCleanup(void* arg) {
    CleanupMark* mark = static_cast<CleanupMark*>(arg);
    mark->log->order.push_back(mark->name);
}

TEST(MemPool, RequestsAreRoundedToEightAndAligned) {
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    char* a = static_cast<char*>(MemPoolAlloc(pool, 1));
    char* b = static_cast<char*>(MemPoolAlloc(pool, 1));
    char* c = static_cast<char*>(MemPoolAlloc(pool, 9));
    char* d = static_cast<char*>(MemPoolAlloc(pool, 8));
    char* e = static_cast<char*>(MemPoolAlloc(pool, 0));
    char* f = static_cast<char*>(MemPoolAlloc(pool, 3));
    ASSERT_TRUE(a && b && c && d && e && f);
    EXPECT_EQ(Addr(a) % 8, 0u);
    EXPECT_EQ(b - a, 8);
    EXPECT_EQ(c - b, 8);
    EXPECT_EQ(d - c, 16);
    EXPECT_EQ(e - d, 8);
    EXPECT_EQ(f - e, 8) << "a zero request still gets a place of its own";
    DestroyMemPool(pool);
}

TEST(MemPool, AllocationsAreZeroFilledAlsoWhenMemoryIsReused) {
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    unsigned char* first = static_cast<unsigned char*>(MemPoolAlloc(pool, 4000));
    ASSERT_NE(first, nullptr);
    for (size_t i = 0; i < 4000; ++i) EXPECT_EQ(first[i], 0) << i;
    std::memset(first, 0xAB, 4000);

    ClearMemPool(pool);
    unsigned char* again = static_cast<unsigned char*>(MemPoolAlloc(pool, 4000));
    ASSERT_EQ(again, first) << "a cleared pool serves its first block from the start";
    for (size_t i = 0; i < 4000; ++i) ASSERT_EQ(again[i], 0) << i;
    DestroyMemPool(pool);

    /* A block that went through the free list comes back dirty: still zero
     * to the new owner. */
    MemPool* dirty = CreateMemPool(nullptr);
    ASSERT_NE(dirty, nullptr);
    unsigned char* big = static_cast<unsigned char*>(MemPoolAlloc(dirty, kFirstBlockData));
    ASSERT_NE(big, nullptr);
    std::memset(big, 0xCD, kFirstBlockData);
    DestroyMemPool(dirty);
    MemPool* next = CreateMemPool(nullptr);
    ASSERT_NE(next, nullptr);
    unsigned char* fresh = static_cast<unsigned char*>(MemPoolAlloc(next, kFirstBlockData));
    ASSERT_NE(fresh, nullptr);
    for (size_t i = 0; i < kFirstBlockData; ++i) ASSERT_EQ(fresh[i], 0) << i;
    DestroyMemPool(next);
}

TEST(MemPool, FirstBlockServes8168Bytes) {
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(GetMemPoolBlockCount(pool), 1u);
    EXPECT_EQ(GetMemPoolBytesHeld(pool), kStandardBlock);
    ASSERT_NE(MemPoolAlloc(pool, kFirstBlockData - 8), nullptr);
    ASSERT_NE(MemPoolAlloc(pool, 8), nullptr);
    EXPECT_EQ(GetMemPoolBlockCount(pool), 1u) << "8168 bytes fit the first block exactly";
    ASSERT_NE(MemPoolAlloc(pool, 1), nullptr);
    EXPECT_EQ(GetMemPoolBlockCount(pool), 2u);
    EXPECT_EQ(GetMemPoolBytesHeld(pool), 2 * kStandardBlock);
    DestroyMemPool(pool);
}

TEST(MemPool, GrowsPastTheFirstBlockKeepingEveryAllocation) {
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    std::vector<char*> pieces;
    for (int i = 0; i < 2000; ++i) {
        char* p = static_cast<char*>(MemPoolAlloc(pool, 100));
        ASSERT_NE(p, nullptr);
        std::memset(p, i % 251, 100);
        pieces.push_back(p);
    }
    /* 2000 pieces of 104 bytes: 78 to a block. */
    EXPECT_EQ(GetMemPoolBlockCount(pool), 26u);
    for (int i = 0; i < 2000; ++i) {
        for (int k = 0; k < 100; ++k) ASSERT_EQ(static_cast<unsigned char>(pieces[i][k]), i % 251);
    }
    DestroyMemPool(pool);
}

TEST(MemPool, LargeRequestGetsABlockOfItsOwnSize) {
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    char* small1 = static_cast<char*>(MemPoolAlloc(pool, 16));
    char* big = static_cast<char*>(MemPoolAlloc(pool, 100000));
    char* small2 = static_cast<char*>(MemPoolAlloc(pool, 16));
    ASSERT_TRUE(small1 && big && small2);
    std::memset(big, 0x5A, 100000);
    EXPECT_EQ(small2 - small1, 16) << "the current block stays in use beside the large one";
    EXPECT_EQ(GetMemPoolBlockCount(pool), 2u);
    /* 100000 bytes and a 24-byte header, rounded up to 4096: 102400. */
    EXPECT_EQ(GetMemPoolBytesHeld(pool), kStandardBlock + 102400);

    /* Just over a standard block: three steps. */
    ASSERT_NE(MemPoolAlloc(pool, kFirstBlockData + 1), nullptr);
    EXPECT_EQ(GetMemPoolBytesHeld(pool), kStandardBlock + 102400 + 12288);
    DestroyMemPool(pool);
}

TEST(MemPool, RequestsNearSizeMaxAreRefused) {
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(MemPoolAlloc(pool, SIZE_MAX), nullptr);
    EXPECT_EQ(MemPoolAlloc(pool, SIZE_MAX - 7), nullptr);
    EXPECT_EQ(MemPoolAlloc(pool, SIZE_MAX - 24), nullptr);
    EXPECT_EQ(MemPoolAlloc(pool, SIZE_MAX - 4096), nullptr);
    char byte = 'x';
    EXPECT_EQ(MemPoolMemdup(pool, &byte, SIZE_MAX), nullptr);
    EXPECT_EQ(MemPoolAlloc(nullptr, 8), nullptr);
    EXPECT_EQ(GetMemPoolBlockCount(pool), 1u);
    EXPECT_NE(MemPoolAlloc(pool, 8), nullptr) << "the pool still serves after a refusal";
    DestroyMemPool(pool);
}

TEST(MemPool, StrdupAndMemdupCopyWithAZeroByte) {
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    char text[] = "Site";
    char* copy = MemPoolStrdup(pool, text);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, text);
    text[0] = 'X';
    EXPECT_STREQ(copy, "Site");
    EXPECT_EQ(MemPoolStrdup(pool, nullptr), nullptr);

    const char bytes[3] = {'a', '\0', 'b'};
    char* block = static_cast<char*>(MemPoolMemdup(pool, bytes, 3));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::memcmp(block, bytes, 3), 0);
    EXPECT_EQ(block[3], '\0');
    char* empty = static_cast<char*>(MemPoolMemdup(pool, nullptr, 0));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], '\0');
    DestroyMemPool(pool);
}

TEST(MemPool, NestedPoolsGoWithTheirParent) {
    CleanupLog log;
    CleanupMark p{&log, 'P'}, c1{&log, 'C'}, c2{&log, 'D'}, g{&log, 'G'};
    MemPool* parent = CreateMemPool(nullptr);
    ASSERT_NE(parent, nullptr);
    MemPool* child1 = CreateMemPool(parent);
    MemPool* child2 = CreateMemPool(parent);
    ASSERT_TRUE(child1 && child2);
    MemPool* grandchild = CreateMemPool(child1);
    ASSERT_NE(grandchild, nullptr);
    ASSERT_TRUE(MemPoolOnDestroy(parent, RecordCleanup, &p));
    ASSERT_TRUE(MemPoolOnDestroy(child1, RecordCleanup, &c1));
    ASSERT_TRUE(MemPoolOnDestroy(child2, RecordCleanup, &c2));
    ASSERT_TRUE(MemPoolOnDestroy(grandchild, RecordCleanup, &g));
    ASSERT_NE(MemPoolAlloc(grandchild, 50000), nullptr);
    ASSERT_NE(MemPoolAlloc(child2, 20000), nullptr);

    DestroyMemPool(parent);
    ASSERT_EQ(log.order.size(), 4u);
    EXPECT_EQ(log.order.back(), 'P') << "children go before their parent";
    EXPECT_LT(log.order.find('G'), log.order.find('C')) << "a grandchild goes before its parent";
    EXPECT_NE(log.order.find('D'), std::string::npos);
}

TEST(MemPool, ChildDestroyedAloneLeavesItsParent) {
    CleanupLog log;
    CleanupMark p{&log, 'P'}, c{&log, 'C'};
    MemPool* parent = CreateMemPool(nullptr);
    ASSERT_NE(parent, nullptr);
    MemPool* child = CreateMemPool(parent);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(MemPoolOnDestroy(parent, RecordCleanup, &p));
    ASSERT_TRUE(MemPoolOnDestroy(child, RecordCleanup, &c));
    DestroyMemPool(child);
    EXPECT_EQ(log.order, "C");
    ASSERT_NE(MemPoolAlloc(parent, 8), nullptr);
    DestroyMemPool(parent);
    EXPECT_EQ(log.order, "CP") << "the destroyed child is not destroyed again";
}

TEST(MemPool, CleanupsRunMostRecentFirst) {
    CleanupLog log;
    CleanupMark a{&log, 'a'}, b{&log, 'b'}, c{&log, 'c'};
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    ASSERT_TRUE(MemPoolOnDestroy(pool, RecordCleanup, &a));
    ASSERT_TRUE(MemPoolOnDestroy(pool, RecordCleanup, &b));
    ASSERT_TRUE(MemPoolOnDestroy(pool, RecordCleanup, &c));
    EXPECT_FALSE(MemPoolOnDestroy(pool, nullptr, &c));
    EXPECT_FALSE(MemPoolOnDestroy(nullptr, RecordCleanup, &c));
    DestroyMemPool(pool);
    EXPECT_EQ(log.order, "cba");
}

TEST(MemPool, ClearKeepsTheFirstBlockAndKeepsWorking) {
    CleanupLog log;
    CleanupMark p{&log, 'P'}, c{&log, 'C'}, later{&log, 'L'};
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    char* start = static_cast<char*>(MemPoolAlloc(pool, 8));
    ASSERT_NE(start, nullptr);
    MemPool* child = CreateMemPool(pool);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(MemPoolOnDestroy(pool, RecordCleanup, &p));
    ASSERT_TRUE(MemPoolOnDestroy(child, RecordCleanup, &c));
    for (int i = 0; i < 10; ++i) ASSERT_NE(MemPoolAlloc(pool, 5000), nullptr);
    ASSERT_NE(MemPoolAlloc(pool, 300000), nullptr);
    EXPECT_GT(GetMemPoolBlockCount(pool), 2u);

    ClearMemPool(pool);
    EXPECT_EQ(log.order, "CP") << "a clear ends the children and runs the cleanups";
    EXPECT_EQ(GetMemPoolBlockCount(pool), 1u);
    EXPECT_EQ(GetMemPoolBytesHeld(pool), kStandardBlock);
    EXPECT_EQ(MemPoolAlloc(pool, 8), start);

    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 10; ++i) ASSERT_NE(MemPoolAlloc(pool, 5000), nullptr);
        ClearMemPool(pool);
        EXPECT_EQ(GetMemPoolBlockCount(pool), 1u);
    }
    ASSERT_TRUE(MemPoolOnDestroy(pool, RecordCleanup, &later));
    ASSERT_NE(CreateMemPool(pool), nullptr);
    DestroyMemPool(pool);
    EXPECT_EQ(log.order, "CPL");
}

TEST(MemPool, DestroyedBlocksAreReusedFromTheFreeLists) {
    DrainFreeLists();
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    for (int i = 0; i < 4; ++i) ASSERT_NE(MemPoolAlloc(pool, kFirstBlockData), nullptr);
    ASSERT_NE(MemPoolAlloc(pool, 40000), nullptr);  /* a 40960-byte block: list 10 */
    ASSERT_EQ(GetMemPoolBlockCount(pool), 5u);
    DestroyMemPool(pool);
    EXPECT_EQ(GetMemPoolFreeListBlocks(), 5u);
    EXPECT_EQ(GetMemPoolFreeListBytes(), 4 * kStandardBlock + 40960);

    MemPool* again = CreateMemPool(nullptr);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetMemPoolFreeListBlocks(), 4u) << "the new pool's first block came from a list";
    ASSERT_NE(MemPoolAlloc(again, 39000), nullptr);
    EXPECT_EQ(GetMemPoolFreeListBlocks(), 3u) << "a large block of the same steps is reused";
    EXPECT_EQ(GetMemPoolFreeListBytes(), 3 * kStandardBlock);
    DestroyMemPool(again);
    DrainFreeLists();
}

TEST(MemPool, BlocksBeyondTheListsGoBackToTheHeap) {
    DrainFreeLists();
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    ASSERT_NE(MemPoolAlloc(pool, 20 * 4096 - 24), nullptr);  /* the largest listed size */
    ASSERT_NE(MemPoolAlloc(pool, 20 * 4096), nullptr);       /* 21 steps: no list */
    DestroyMemPool(pool);
    EXPECT_EQ(GetMemPoolFreeListBlocks(), 2u);
    EXPECT_EQ(GetMemPoolFreeListBytes(), kStandardBlock + 20 * 4096);
    DrainFreeLists();
}

TEST(MemPool, FreeListsAreBounded) {
    DrainFreeLists();
    MemPool* pool = CreateMemPool(nullptr);
    ASSERT_NE(pool, nullptr);
    for (int i = 0; i < 300; ++i) ASSERT_NE(MemPoolAlloc(pool, kFirstBlockData), nullptr);
    for (int i = 0; i < 100; ++i) ASSERT_NE(MemPoolAlloc(pool, 20 * 4096 - 24), nullptr);
    DestroyMemPool(pool);
    EXPECT_LE(GetMemPoolFreeListBytes(), size_t{4} * 1024 * 1024);
    EXPECT_GT(GetMemPoolFreeListBlocks(), 0u);
    EXPECT_LE(GetMemPoolFreeListBlocks(), 2u * 64);
    DrainFreeLists();
}

TEST(MemPool, RootPoolIsCounted) {
    ASSERT_EQ(GetRootMemPool(), nullptr);
    ASSERT_TRUE(InitializeMemPool());
    MemPool* root = GetRootMemPool();
    ASSERT_NE(root, nullptr);
    ASSERT_TRUE(InitializeMemPool());
    EXPECT_EQ(GetRootMemPool(), root) << "a later start only counts";
    TerminateMemPool();
    EXPECT_EQ(GetRootMemPool(), root) << "one use is left";
    ASSERT_NE(MemPoolAlloc(root, 100), nullptr);
    TerminateMemPool();
    EXPECT_EQ(GetRootMemPool(), nullptr);
    EXPECT_EQ(GetMemPoolFreeListBlocks(), 0u) << "the last end empties the free lists";
    TerminateMemPool();  /* one end too many changes nothing */
    EXPECT_EQ(GetRootMemPool(), nullptr);
}

TEST(MemPool, PoolsWithoutParentGoUnderTheRoot) {
    CleanupLog log;
    CleanupMark q{&log, 'Q'}, n{&log, 'N'}, f{&log, 'F'};
    ASSERT_TRUE(InitializeMemPool());
    MemPool* query = CreateMemPool(nullptr);
    ASSERT_NE(query, nullptr);
    MemPool* nested = CreateMemPool(query);
    ASSERT_NE(nested, nullptr);
    ASSERT_TRUE(MemPoolOnDestroy(query, RecordCleanup, &q));
    ASSERT_TRUE(MemPoolOnDestroy(nested, RecordCleanup, &n));
    ASSERT_NE(MemPoolAlloc(query, 30000), nullptr);
    TerminateMemPool();
    EXPECT_EQ(log.order, "NQ") << "the root's end destroys the pools under it";

    MemPool* standalone = CreateMemPool(nullptr);
    ASSERT_NE(standalone, nullptr) << "without a root a pool stands alone";
    ASSERT_TRUE(MemPoolOnDestroy(standalone, RecordCleanup, &f));
    ASSERT_TRUE(InitializeMemPool());
    TerminateMemPool();
    EXPECT_EQ(log.order, "NQ") << "a free-standing pool is not the root's";
    DestroyMemPool(standalone);
    EXPECT_EQ(log.order, "NQF");
}

TEST(MemPool, StartAndStopManyTimes) {
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(InitializeMemPool());
        ASSERT_TRUE(InitializeMemPool());
        for (int k = 0; k < 5; ++k) {
            MemPool* pool = CreateMemPool(nullptr);
            ASSERT_NE(pool, nullptr);
            ASSERT_NE(MemPoolAlloc(pool, 1000 * (k + 1)), nullptr);
            if (k % 2 == 0) DestroyMemPool(pool);
        }
        TerminateMemPool();
        TerminateMemPool();
        ASSERT_EQ(GetRootMemPool(), nullptr);
    }
    EXPECT_EQ(GetMemPoolFreeListBlocks(), 0u);
}

/* Four threads creating, filling and destroying pools under the root at
 * once; run under ThreadSanitizer by "ctest -L concurrency". */
TEST(MemPoolThreads, PoolsUnderTheRootOnFourThreads) {
    ASSERT_TRUE(InitializeMemPool());
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 1000; ++i) {
                MemPool* pool = CreateMemPool(nullptr);
                if (pool == nullptr) {
                    failures[t]++;
                    continue;
                }
                MemPool* child = CreateMemPool(pool);
                for (int k = 0; k < 20; ++k) {
                    char* p = static_cast<char*>(MemPoolAlloc(k % 2 ? pool : child, 700 + 100 * t));
                    if (p == nullptr || p[0] != 0) {
                        failures[t]++;
                        break;
                    }
                    std::memset(p, t + 1, 700 + 100 * t);
                }
                if (i % 3 == 0) ClearMemPool(pool);
                DestroyMemPool(pool);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
    TerminateMemPool();
    EXPECT_EQ(GetRootMemPool(), nullptr);
}

}  // namespace
}  // namespace orv
