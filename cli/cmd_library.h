/*
 * The library started and stopped for the run of a sub-command
 * (cmd_library.cpp).
 */
#ifndef ORV_CLI_CMD_LIBRARY_H
#define ORV_CLI_CMD_LIBRARY_H

#include <string>

namespace orv::cli {

/* InitVelkra on a root for one command; DeInitVelkra when it goes. */
class LibraryRun {
public:
    LibraryRun() = default;
    ~LibraryRun();
    LibraryRun(const LibraryRun&) = delete;
    LibraryRun& operator=(const LibraryRun&) = delete;

    /* Starts the library on root. False after the message on standard
     * error: a missing root (usage() is then true), a root that is no
     * directory, or a failed start (with the log's ERROR records). */
    bool Start(const char* command, const std::string* root);
    bool usage() const { return usage_; }

    /* The ERROR records the command's thread logged since the start or
     * the last Fail, then "velkra <command>: <message> (log: <path>)", on
     * standard error. */
    void Fail(const std::string& message);

private:
    void PrintKeptErrors();

    const char* command_ = "";
    std::string logPath_;
    bool started_ = false;
    bool usage_ = false;
};

/* velkra select --root DIR TABLE [CRITERIA] on the database. */
int RunSelectFromDatabase(const std::string* root, const std::string& table, const std::string* criteria);

}  // namespace orv::cli

#endif
