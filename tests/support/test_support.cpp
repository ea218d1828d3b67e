/*
 * Helpers shared by the test programs.
 */
#include "tests/support/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace orv::test {

TempDir::TempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/orvtest.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) abort();
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void CopyExecutable(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    chmod(to.c_str(), 0755);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

RegistryText::RegistryText() : text_("Windows Registry Editor Version 5.00\r\n") {}

RegistryText& RegistryText::Key(const std::string& path) {
    text_ += "\r\n[" + path + "]\r\n";
    return *this;
}

RegistryText& RegistryText::Text(const std::string& name, const std::string& value) {
    std::string escaped;
    for (char c : value) {
        if (c == '\\' || c == '"') escaped += '\\';
        escaped += c;
    }
    text_ += "\"" + name + "\"=\"" + escaped + "\"\r\n";
    return *this;
}

RegistryText& RegistryText::Dword(const std::string& name, unsigned value) {
    char hex[16];
    snprintf(hex, sizeof(hex), "%08x", value);
    text_ += "\"" + name + "\"=dword:" + hex + "\r\n";
    return *this;
}

namespace {

std::vector<char*> MakeArgv(const std::string& program, const std::vector<std::string>& args,
                            std::vector<std::string>* storage) {
    storage->push_back(program);
    for (const std::string& a : args) storage->push_back(a);
    std::vector<char*> argv;
    for (std::string& s : *storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env) {
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        const char* eq = strchr(*e, '=');
        if (eq != nullptr) merged[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
    }
    for (const auto& [key, value] : env) merged[key] = value;
    std::vector<std::string> envStrings;
    for (const auto& [key, value] : merged) envStrings.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (std::string& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> storage;
    std::vector<char*> argv = MakeArgv(program, args, &storage);

    int pipeFds[2];
    RunResult result;
    if (pipe(pipeFds) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        return result;
    }
    char chunk[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], chunk, sizeof(chunk))) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) result.output.append(chunk, static_cast<size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

pid_t StartProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> storage;
    std::vector<char*> argv = MakeArgv(program, args, &storage);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

bool WaitForExit(pid_t pid, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t rc = waitpid(pid, &status, WNOHANG);
        if (rc == pid) return true;
        if (rc < 0 && errno == ECHILD) return kill(pid, 0) != 0;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void KillStarted(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    WaitForExit(pid, 5000);
}

}  // namespace orv::test
