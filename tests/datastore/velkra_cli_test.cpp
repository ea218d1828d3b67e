// End-to-end runs of the built velkra command: velkra tables on the sample
// dictionary and on broken ones, help texts and usage errors.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace orv::test {
namespace {

RunResult Velkra(const std::vector<std::string>& args, const std::string& cwd = "") {
    if (cwd.empty()) return RunProgram(ORV_VELKRA_PROGRAM, args, {});
    // Run from a chosen working directory through the shell.
    std::string line = "cd '" + cwd + "' && exec '" ORV_VELKRA_PROGRAM "'";
    for (const std::string& a : args) line += " '" + a + "'";
    return RunProgram("/bin/sh", {"-c", line}, {});
}

int CountLines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

TEST(VelkraTables, PrintsTheSampleDictionaryInLoadOrder) {
    RunResult r = Velkra({"tables", "--root", ORV_EXAMPLES_DIR});
    ASSERT_EQ(r.exitStatus, 0) << r.output;
    size_t customer = r.output.find("Table Name : Customer\n");
    size_t alarm = r.output.find("Table Name : Alarm\n");
    ASSERT_NE(customer, std::string::npos);
    ASSERT_NE(alarm, std::string::npos);
    EXPECT_LT(customer, r.output.find("Table Name : Site\n"));
    EXPECT_LT(r.output.find("Table Name : Port\n"), alarm);
    EXPECT_NE(r.output.find("Column Name : Notes\nColumn Type : 22\nUnique Flag : FALSE\n"), std::string::npos);
    EXPECT_NE(r.output.find("Primary key : DeviceID\n\nPrimary key : IfIndex\n\n"), std::string::npos);
    EXPECT_NE(r.output.find("Foreign key Constraints\n********************************\nColumn Name : CustomerID\n"
                            "Ref Column  : CustomerID\nTablename : Customer\n********************************\n"),
              std::string::npos);
    // Only results on standard output: no log records.
    EXPECT_EQ(r.output.find("[ERROR]"), std::string::npos);

    RunResult equals = Velkra({"tables", std::string("--root=") + ORV_EXAMPLES_DIR});
    EXPECT_EQ(equals.exitStatus, 0);
    EXPECT_EQ(equals.output, r.output);
}

TEST(VelkraTables, FindsTheListBesideTheWorkingDirectory) {
    TempDir dir;
    mkdir((dir / "data").c_str(), 0755);
    mkdir((dir / "bin").c_str(), 0755);
    WriteFile(dir / "data/datadictionary.txt", "t.xml\n");
    WriteFile(dir / "data/t.xml",
              "<data-dictionary><table name=\"Here\"><columns><column name=\"a\"><data-type>TEXT</data-type>"
              "</column></columns></table></data-dictionary>");
    RunResult r = Velkra({"tables"}, dir / "bin");
    EXPECT_EQ(r.exitStatus, 0) << r.output;
    EXPECT_NE(r.output.find("Table Name : Here\n"), std::string::npos);
    EXPECT_EQ(CountLines(r.output), 10);
}

TEST(VelkraTables, MissingListExitsOneWithOneLine) {
    TempDir dir;
    RunResult r = Velkra({"tables", "--root", dir.path()}, dir.path());
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("velkra tables: cannot open the data dictionary list"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(dir.path() + "/data/datadictionary.txt"), std::string::npos);
}

TEST(VelkraTables, BrokenFileExitsOneAndSaysWhere) {
    TempDir dir;
    mkdir((dir / "data").c_str(), 0755);
    WriteFile(dir / "data/datadictionary.txt", "good.xml bad.xml");
    WriteFile(dir / "data/good.xml",
              "<data-dictionary><table name=\"Good\"><columns><column name=\"a\"><data-type>TEXT</data-type>"
              "</column></columns></table></data-dictionary>");
    WriteFile(dir / "data/bad.xml", "<data-dictionary>\n<table name=\"Bad\">\n</data-dictionary>\n");
    RunResult r = Velkra({"tables", "--root", dir.path()}, dir.path());
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.output.find("Table Name : Good\n"), std::string::npos);
    EXPECT_NE(r.output.find(dir.path() + "/data/bad.xml:3: "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("velkra tables: 1 file(s)"), std::string::npos);
}

TEST(VelkraCommand, HelpAndUsageErrors) {
    RunResult help = Velkra({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.output.find("tables"), std::string::npos);
    RunResult tablesHelp = Velkra({"tables", "--help"});
    EXPECT_EQ(tablesHelp.exitStatus, 0);
    EXPECT_NE(tablesHelp.output.find("usage: velkra tables [--root DIR]"), std::string::npos);

    struct {
        std::vector<std::string> args;
        const char* message;
    } usage[] = {
        {{}, "velkra: no command given"},
        {{"frobnicate"}, "velkra: unknown command 'frobnicate'"},
        {{"tables", "--colour"}, "velkra tables: unknown option '--colour'"},
        {{"tables", "--root"}, "velkra tables: option '--root' needs a value"},
        {{"tables", "--root="}, "velkra tables: option '--root' needs a directory"},
        {{"tables", "extra"}, "velkra tables: unexpected argument 'extra'"},
    };
    for (const auto& u : usage) {
        RunResult r = Velkra(u.args);
        EXPECT_EQ(r.exitStatus, 2) << u.message;
        EXPECT_NE(r.output.find(u.message), std::string::npos) << r.output;
        EXPECT_EQ(CountLines(r.output), 1) << r.output;
    }
}

}  // namespace
}  // namespace orv::test
