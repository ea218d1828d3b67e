/*
 * The object lock and the log writer under several threads. These tests
 * also run under ThreadSanitizer.
 */
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "tests/support/test_support.h"

namespace orv {
namespace {

using test::ReadFile;
using test::SplitLines;
using test::TempDir;

TEST(ObjectLock, KeysExcludeEachOtherAndWaitersWake) {
    InitMutex();
    static int keys[3];
    long counters[3] = {0, 0, 0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([t, &counters] {
            int k = t % 3;
            for (int i = 0; i < 20000; ++i) {
                LockObject(&keys[k]);
                long v = counters[k];  // unprotected but for the lock
                counters[k] = v + 1;
                UnlockObject(&keys[k]);
            }
        });
    }
    for (std::thread& th : threads) th.join();
    for (long c : counters) EXPECT_EQ(c, 40000);
}

TEST(ObjectLock, AWaiterProceedsOnceTheKeyIsReleased) {
    static int key;
    std::atomic<bool> taken{false};
    LockObject(&key);
    std::thread waiter([&] {
        LockObject(&key);
        taken = true;
        UnlockObject(&key);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(taken.load());
    UnlockObject(&key);
    waiter.join();
    EXPECT_TRUE(taken.load());
    UnlockObject(&key);  // not held: ignored
    LockObject(&key);    // and still usable
    UnlockObject(&key);
}

TEST(LogWriterThreads, ConcurrentWritersNeverInterleaveRecords) {
    TempDir dir;
    ASSERT_TRUE(InitDefaultLog());
    ASSERT_TRUE(ConfigureLog("t.log", dir.path().c_str(), 0, 2));
    ASSERT_TRUE(OpenLogTruncate());
    std::string path = dir / "t.log";
    constexpr int kThreads = 4;
    constexpr int kRecords = 3000;
    std::vector<std::thread> threads;
    std::string padding(300, 'p');
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &padding] {
            for (int i = 0; i < kRecords; ++i) LogInfo("writer %d record %d %s end\n", t, i, padding.c_str());
        });
    }
    for (std::thread& th : threads) th.join();
    CloseLog();
    FreeLogSettings();
    std::regex record(R"(\[ [-0-9: ]+ \] \[ \d+ \] \[INFO\] writer (\d) record (\d+) p{300} end)");
    std::set<std::pair<int, int>> seen;
    for (const std::string& line : SplitLines(ReadFile(path))) {
        if (line.rfind("Log ", 0) == 0) continue;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, record)) << line;
        seen.emplace(std::stoi(m[1]), std::stoi(m[2]));
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kRecords));
}

}  // namespace
}  // namespace orv
