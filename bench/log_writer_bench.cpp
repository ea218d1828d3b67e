/*
 * Records per second of the log writer (LogInfo) against spdlog's
 * basic_file_sink_mt with a flush after every record, for 1, 2 and 4
 * writing threads, the same message and arguments, each into a fresh file
 * (1,000,000 records in all, shared among the threads). Each is repeated
 * kRepetitions times and reported by its median, so that a burst of other
 * work on the machine does not decide a ratio. The files live in
 * $ORV_BENCH_DIR (default /tmp) and are removed afterwards.
 */
#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "agent/log.h"
#include "agent/object_lock.h"

namespace {

std::string BenchDir() {
    const char* dir = std::getenv("ORV_BENCH_DIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

std::string FileName(const char* stem) { return std::string(stem) + "-" + std::to_string(getpid()) + ".log"; }

// ---- the log writer ----

void OpenOurs(const benchmark::State&) {
    orv::InitMutex();
    orv::InitDefaultLog();
    orv::ConfigureLog(FileName("orv-bench").c_str(), BenchDir().c_str(), 10000000, 2);
    orv::OpenLogTruncate();
}

void CloseOurs(const benchmark::State&) {
    std::string path = orv::GetLogFullPath() != nullptr ? orv::GetLogFullPath() : "";
    orv::CloseLog();
    orv::FreeLogSettings();
    if (!path.empty()) std::remove(path.c_str());
}

void BM_OrvLogInfo(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        orv::LogInfo("RotateSpecificLogs : Log File Name : %s record %d\n", "zrprereqhandler.log", i++);
    }
    state.SetItemsProcessed(state.iterations());
}

// ---- spdlog ----

std::shared_ptr<spdlog::logger> g_spdlog;
std::string g_spdlogPath;

void OpenSpdlog(const benchmark::State&) {
    g_spdlogPath = BenchDir() + "/" + FileName("spdlog-bench");
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(g_spdlogPath, true);
    g_spdlog = std::make_shared<spdlog::logger>("bench", sink);
    // The same record layout: [ stamp ] [ thread ] [INFO] message.
    g_spdlog->set_pattern("[ %Y-%m-%d %H:%M:%S:%e ] [ %t ] [%l] %v");
    g_spdlog->set_level(spdlog::level::trace);
    g_spdlog->flush_on(spdlog::level::trace);
}

void CloseSpdlog(const benchmark::State&) {
    g_spdlog.reset();
    std::remove(g_spdlogPath.c_str());
}

void BM_SpdlogInfo(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        g_spdlog->info("RotateSpecificLogs : Log File Name : {} record {}", "zrprereqhandler.log", i++);
    }
    state.SetItemsProcessed(state.iterations());
}

constexpr int64_t kRecords = 1000000;
constexpr int kRepetitions = 3;

void Register(const char* name, void (*run)(benchmark::State&), void (*open)(const benchmark::State&),
              void (*close)(const benchmark::State&), int threads) {
    benchmark::RegisterBenchmark(name, run)
        ->Setup(open)
        ->Teardown(close)
        ->Iterations(kRecords / threads)
        ->Threads(threads)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true)
        ->UseRealTime();
}

// Ours and spdlog side by side for each thread count.
const bool g_registered = [] {
    for (int threads : {1, 2, 4}) {
        Register("BM_OrvLogInfo", BM_OrvLogInfo, OpenOurs, CloseOurs, threads);
        Register("BM_SpdlogInfo", BM_SpdlogInfo, OpenSpdlog, CloseSpdlog, threads);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
