/*
 * Helpers shared by the test programs: temporary directories, whole-file
 * reads and writes, and running a program with its own environment.
 */
#ifndef ORV_TESTS_SUPPORT_TEST_SUPPORT_H
#define ORV_TESTS_SUPPORT_TEST_SUPPORT_H

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace orv::test {

/* A fresh directory under $TMPDIR (or /tmp), removed with its content when
 * the object goes. */
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& content);
/* The file's content, or "" when it cannot be read. */
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
void CopyExecutable(const std::string& from, const std::string& to);

/* The lines of a text, without their line ends. */
std::vector<std::string> SplitLines(const std::string& text);

struct RunResult {
    int exitStatus = -1;  // the low 8 bits the process ended with, -1 if it did not exit
    std::string output;   // standard output and standard error together
};

/* A registry export file's text, built section by section:
 *   RegistryText().Key("HKEY_LOCAL_MACHINE\\SOFTWARE\\X").Text("a", "b").Dword("n", 1)
 * Text values get the export's escapes for backslash and quote. */
class RegistryText {
public:
    RegistryText();
    RegistryText& Key(const std::string& path);
    RegistryText& Text(const std::string& name, const std::string& value);
    RegistryText& Dword(const std::string& name, unsigned value);
    const std::string& str() const { return text_; }

private:
    std::string text_;
};

/* Runs program with args (argv[0] is the program) and the environment
 * variables in env added to (or replacing) the test's own; waits for it. */
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env);

/* Starts program in the background; returns its process id. */
pid_t StartProgram(const std::string& program, const std::vector<std::string>& args);

/* True when the process has ended (reaps it when it is our child). Waits at
 * most timeoutMs. */
bool WaitForExit(pid_t pid, int timeoutMs);

/* Ends a process this test started, by its id, and reaps it. */
void KillStarted(pid_t pid);

}  // namespace orv::test

#endif
