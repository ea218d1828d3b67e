/*
 * Records per second of the log writer (LogInfo) against spdlog's
 * basic_file_sink_mt with a flush after every record, for 1 and 2 writing
 * threads, the same message and arguments, each into a fresh file. The
 * files live in $ORV_BENCH_DIR (default /tmp) and are removed afterwards.
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

}  // namespace

BENCHMARK(BM_OrvLogInfo)->Setup(OpenOurs)->Teardown(CloseOurs)->Iterations(kRecords)->Threads(1)->UseRealTime();
BENCHMARK(BM_SpdlogInfo)->Setup(OpenSpdlog)->Teardown(CloseSpdlog)->Iterations(kRecords)->Threads(1)->UseRealTime();
BENCHMARK(BM_OrvLogInfo)->Setup(OpenOurs)->Teardown(CloseOurs)->Iterations(kRecords / 2)->Threads(2)->UseRealTime();
BENCHMARK(BM_SpdlogInfo)->Setup(OpenSpdlog)->Teardown(CloseSpdlog)->Iterations(kRecords / 2)->Threads(2)->UseRealTime();

BENCHMARK_MAIN();
