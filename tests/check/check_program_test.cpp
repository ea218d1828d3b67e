/*
 * End-to-end runs of the built check program against registry files that
 * the tests write, with the log read back from the agent directory.
 * Process handling uses copies of a stub program under names unique to the
 * test run; only those processes are ever ended.
 */
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/check/check_log.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

const char* const kUninstall64 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char* const kUninstall32 =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char* const kAgentKey32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Orvalis\\Stelvane\\ZRAgent";

constexpr int kExit50020 = 50020 & 0xFF;
constexpr int kExit20001 = 20001 & 0xFF;

class CheckProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        agentDir_ = tmp_ / "agent";
        mkdir(agentDir_.c_str(), 0755);
    }

    void TearDown() override {
        for (pid_t pid : started_) KillStarted(pid);
    }

    /* The agent's settings plus both uninstall keys with an unrelated entry. */
    RegistryText BaseRegistry(int logLevel = -1) {
        RegistryText reg;
        reg.Key(kAgentKey32).Text("ZRAgentInstallDir", agentDir_ + "/");
        if (logLevel >= 0) reg.Dword("ZRAgentLogLevel", static_cast<unsigned>(logLevel));
        reg.Key(std::string(kUninstall64) + "\\{1111-AAAA}").Text("DisplayName", "Some Editor").Text("DisplayVersion", "1.0");
        reg.Key(std::string(kUninstall32) + "\\{2222-BBBB}").Text("DisplayName", "Other Tool").Text("DisplayVersion", "2.0");
        return reg;
    }

    RunResult Run(const RegistryText& reg, const std::vector<std::string>& args, const std::string& ticks = "3600000",
                  const std::string& program = ORV_CHECK_PROGRAM) {
        std::string regFile = tmp_ / "registry.reg";
        WriteFile(regFile, reg.str());
        return RunProgram(program, args, {{"ORV_REGISTRY_FILE", regFile}, {"ORV_TICK_COUNT", ticks}});
    }

    std::string LogPath() const { return agentDir_ + "/logs/zrprereqhandler.log"; }
    std::vector<std::string> Log() const { return LogEntries(ReadFile(LogPath())); }

    /* Starts a copy of the stub named name (in its own folder) and waits
     * until the process runs under that name. */
    pid_t StartProduct(const std::string& name, const std::string& folder = "bin") {
        std::string dir = tmp_ / folder;
        mkdir(dir.c_str(), 0755);
        std::string path = dir + "/" + name;
        CopyExecutable(ORV_PRODUCT_STUB, path);
        pid_t pid = StartProgram(path, {});
        EXPECT_GT(pid, 0);
        started_.push_back(pid);
        return pid;
    }

    static bool IsAlive(pid_t pid) {
        return !WaitForExit(pid, 0);
    }

    /* A process name unique to this test run. */
    static std::string UniqueName(const std::string& tag) {
        return "zrt" + std::to_string(getpid()) + tag + ".exe";
    }

    TempDir tmp_;
    std::string agentDir_;
    std::vector<pid_t> started_;
};

TEST_F(CheckProgramTest, NoArgumentsAndNothingInstalledLogsBothViewsAndExitsZero) {
    RunResult r = Run(BaseRegistry(), {});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, "");
    std::vector<std::string> expected = {
        "Log open time",
        "[INFO] Symantec Av (x64) is not installed in this system.",
        "[INFO] Symantec Av (x86) is not installed in this system.",
        "[INFO] Exit Code : 0",
        "Log close time",
    };
    EXPECT_EQ(Log(), expected);
}

TEST_F(CheckProgramTest, AppendsToTheLogOfEarlierRuns) {
    Run(BaseRegistry(), {});
    Run(BaseRegistry(), {});
    std::vector<std::string> log = Log();
    EXPECT_EQ(CountEntriesStartingWith(log, "Log open time"), 2);
    EXPECT_EQ(CountEntriesStartingWith(log, "Log close time"), 2);
    EXPECT_EQ(CountEntriesStartingWith(log, "[INFO] Exit Code : 0"), 2);
}

struct ViewCase {
    bool view64;
    const char* version;  // null: the product is not installed
    int exitStatus;
    const char* verdictLine;
};

class AntivirusViewTest : public CheckProgramTest, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(AntivirusViewTest, VersionDecidesTheView) {
    const ViewCase& c = GetParam();
    RegistryText reg = BaseRegistry();
    if (c.version != nullptr) {
        std::string root = c.view64 ? kUninstall64 : kUninstall32;
        reg.Key(root + "\\{SEP-0001}").Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", c.version);
    }
    RunResult r = Run(reg, {});
    EXPECT_EQ(r.exitStatus, c.exitStatus);
    std::vector<std::string> log = Log();
    std::string label = c.view64 ? "x64" : "x86";
    std::string line = std::string("[INFO] ") + c.verdictLine;
    line.replace(line.find("%s"), 2, label);
    EXPECT_TRUE(HasEntry(log, line)) << line;
    if (c.version != nullptr) {
        EXPECT_TRUE(HasEntry(log, "[INFO] Symantec Antivirus detected..!"));
        EXPECT_TRUE(HasEntry(log, std::string("[INFO] Installed symantec version: ") + c.version));
    }
    EXPECT_TRUE(HasEntry(log, "[INFO] Exit Code : " + std::to_string(c.exitStatus == 0 ? 0 : 50020)));
}

const char* const kNotInstalled = "Symantec Av (%s) is not installed in this system.";
const char* const kFixInstalled = "Symantec Av (%s) is detected but fix is already installed.";
const char* const kFixMissing = "Symantec Av (%s) is detected but fix is not installed. so returning..";

INSTANTIATE_TEST_SUITE_P(BothViews, AntivirusViewTest,
                         ::testing::Values(ViewCase{true, nullptr, 0, kNotInstalled},
                                           ViewCase{true, "14.2.757.9999", kExit50020, kFixMissing},
                                           ViewCase{true, "14.2.758.0000", 0, kFixInstalled},
                                           ViewCase{true, "14.2.760.0", 0, kFixInstalled},
                                           ViewCase{false, nullptr, 0, kNotInstalled},
                                           ViewCase{false, "14.2.757.9999", kExit50020, kFixMissing},
                                           ViewCase{false, "14.2.758.0000", 0, kFixInstalled},
                                           ViewCase{false, "14.2.760.0", 0, kFixInstalled}));

struct UnreadableVersionCase {
    bool view64;
    bool versionPresent;  // false: the entry has no DisplayVersion at all
};

class UnreadableVersionTest : public CheckProgramTest, public ::testing::WithParamInterface<UnreadableVersionCase> {};

TEST_P(UnreadableVersionTest, MakesTheViewNotClear) {
    const UnreadableVersionCase& c = GetParam();
    RegistryText reg = BaseRegistry();
    std::string root = c.view64 ? kUninstall64 : kUninstall32;
    reg.Key(root + "\\{SEP-0001}").Text("DisplayName", "Symantec Endpoint Protection");
    // 600 characters do not fit the 512-byte buffer the version is read into.
    if (c.versionPresent) reg.Text("DisplayVersion", std::string(600, '9'));
    RunResult r = Run(reg, {});
    EXPECT_EQ(r.exitStatus, kExit50020);
    std::vector<std::string> log = Log();
    std::string label = c.view64 ? "x64" : "x86";
    EXPECT_TRUE(HasEntry(log, "[INFO] Symantec Antivirus detected..!"));
    EXPECT_TRUE(HasEntry(log, "[ERROR] Failed with read DisplayVersion in Registry path ( "
                              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{SEP-0001} )"));
    EXPECT_EQ(CountEntriesStartingWith(log, "[INFO] Installed symantec version"), 0);
    EXPECT_TRUE(HasEntry(log, "[INFO] Symantec Av (" + label + ") is detected but fix is not installed. so returning.."));
    EXPECT_FALSE(HasEntry(log, "[INFO] Symantec Av (" + label + ") is detected but fix is already installed."));
    if (c.view64) {
        EXPECT_EQ(CountEntriesStartingWith(log, "[INFO] Symantec Av (x86)"), 0);
    } else {
        EXPECT_TRUE(HasEntry(log, "[INFO] Symantec Av (x64) is not installed in this system."));
    }
    EXPECT_TRUE(HasEntry(log, "[INFO] Exit Code : 50020"));
}

INSTANTIATE_TEST_SUITE_P(BothViews, UnreadableVersionTest,
                         ::testing::Values(UnreadableVersionCase{true, true}, UnreadableVersionCase{true, false},
                                           UnreadableVersionCase{false, true}, UnreadableVersionCase{false, false}),
                         [](const ::testing::TestParamInfo<UnreadableVersionCase>& info) {
                             return std::string(info.param.view64 ? "View64" : "View32") +
                                    (info.param.versionPresent ? "TooLong" : "Missing");
                         });

TEST_F(CheckProgramTest, UnreadableVersionBesideAFixedEntryKeepsTheViewNotClear) {
    // Whichever comes last, one entry without a readable version is enough.
    for (bool unreadableFirst : {true, false}) {
        SCOPED_TRACE(unreadableFirst);
        unlink(LogPath().c_str());
        RegistryText reg = BaseRegistry();
        std::string fixed = std::string(kUninstall64) + (unreadableFirst ? "\\{SEP-B}" : "\\{SEP-A}");
        std::string unreadable = std::string(kUninstall64) + (unreadableFirst ? "\\{SEP-A}" : "\\{SEP-B}");
        reg.Key(fixed).Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", "14.2.760.0");
        reg.Key(unreadable).Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", std::string(600, '1'));
        RunResult r = Run(reg, {});
        EXPECT_EQ(r.exitStatus, kExit50020);
        std::vector<std::string> log = Log();
        EXPECT_EQ(CountEntriesStartingWith(log, "[INFO] Symantec Antivirus detected..!"), 2);
        EXPECT_TRUE(HasEntry(log, "[INFO] Installed symantec version: 14.2.760.0"));
        EXPECT_TRUE(HasEntry(log, "[ERROR] Failed with read DisplayVersion in Registry path ( "
                                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                                  std::string(unreadableFirst ? "{SEP-A}" : "{SEP-B}") + " )"));
        EXPECT_TRUE(HasEntry(log, "[INFO] Symantec Av (x64) is detected but fix is not installed. so returning.."));
        EXPECT_EQ(CountEntriesStartingWith(log, "[INFO] Symantec Av (x86)"), 0);
        EXPECT_TRUE(HasEntry(log, "[INFO] Exit Code : 50020"));
    }
}

TEST_F(CheckProgramTest, VersionOfTheLongestFittingTextIsRead) {
    // 511 characters and the terminating zero fill the 512-byte buffer.
    RegistryText reg = BaseRegistry();
    std::string version = "14.3." + std::string(506, '0');
    reg.Key(std::string(kUninstall32) + "\\{SEP}").Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", version);
    RunResult r = Run(reg, {});
    EXPECT_EQ(r.exitStatus, 0);
    std::vector<std::string> log = Log();
    EXPECT_TRUE(HasEntry(log, "[INFO] Installed symantec version: " + version));
    EXPECT_EQ(CountEntriesStartingWith(log, "[ERROR]"), 0);
    EXPECT_TRUE(HasEntry(log, "[INFO] Symantec Av (x86) is detected but fix is already installed."));
}

TEST_F(CheckProgramTest, SixtyFourBitViewNotClearSkipsThe32BitView) {
    RegistryText reg = BaseRegistry();
    reg.Key(std::string(kUninstall64) + "\\{SEP}").Text("DisplayName", "SYMANTEC ENDPOINT PROTECTION").Text("DisplayVersion", "13.99.99999.9999");
    reg.Key(std::string(kUninstall32) + "\\{SEP}").Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", "14.3");
    RunResult r = Run(reg, {});
    EXPECT_EQ(r.exitStatus, kExit50020);
    std::vector<std::string> log = Log();
    EXPECT_TRUE(HasEntry(log, "[INFO] Symantec Av (x64) is detected but fix is not installed. so returning.."));
    for (const std::string& e : log) EXPECT_EQ(e.find("x86"), std::string::npos) << e;
}

TEST_F(CheckProgramTest, LastReadableVersionDecidesAndLongerNamesDoNotMatch) {
    RegistryText reg = BaseRegistry();
    reg.Key(std::string(kUninstall64) + "\\{A}").Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", "14.2.700");
    reg.Key(std::string(kUninstall64) + "\\{B}").Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", "14.2.758");
    reg.Key(std::string(kUninstall64) + "\\{C}").Text("DisplayName", "Symantec Endpoint Protection Manager").Text("DisplayVersion", "1.0");
    reg.Key(std::string(kUninstall64) + "\\{D}").Text("DisplayVersion", "1.0");
    RunResult r = Run(reg, {});
    EXPECT_EQ(r.exitStatus, 0);
    std::vector<std::string> log = Log();
    EXPECT_EQ(CountEntriesStartingWith(log, "[INFO] Symantec Antivirus detected..!"), 2);
    EXPECT_TRUE(HasEntry(log, "[ERROR] Failed with read DisplayName in Registry path ( "
                              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{D} )"));
    EXPECT_TRUE(HasEntry(log, "[INFO] Symantec Av (x64) is detected but fix is already installed."));
}

TEST_F(CheckProgramTest, MissingUninstallKeyMakesTheViewNotClear) {
    RegistryText reg;
    reg.Key(kAgentKey32).Text("ZRAgentInstallDir", agentDir_ + "/");
    reg.Key(std::string(kUninstall64) + "\\{X}").Text("DisplayName", "Some Editor");
    RunResult r = Run(reg, {"-foundError", "7"});
    EXPECT_EQ(r.exitStatus, 7);
    std::vector<std::string> log = Log();
    EXPECT_TRUE(HasEntry(log, "[INFO] Symantec Av (x64) is not installed in this system."));
    EXPECT_TRUE(HasEntry(log, "[ERROR] Unable to open registry path ( "
                              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall ). Failed with error 2"));
    EXPECT_EQ(CountEntriesStartingWith(log, "[INFO] Symantec Av (x86)"), 0);
}

TEST_F(CheckProgramTest, LogLevelFiltersRecords) {
    // An entry without DisplayName gives an ERROR record; a running product
    // without alwaysKillApps gives DEBUG records.
    std::string product = UniqueName("lvl");
    StartProduct(product);
    struct LevelCase {
        int setting;
        bool info, error, debug;
    } cases[] = {{0, false, false, false}, {1, true, false, false}, {2, true, true, false},
                 {4, true, true, true},    {258, true, true, false}};
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(c.setting);
        unlink(LogPath().c_str());
        RegistryText reg = BaseRegistry(c.setting);
        reg.Key(std::string(kUninstall64) + "\\{NONAME}").Text("Publisher", "x");
        RunResult r = Run(reg, {"-processname", product}, "900001");
        EXPECT_EQ(r.exitStatus, kExit20001);
        std::vector<std::string> log = Log();
        EXPECT_EQ(log.front(), "Log open time");
        EXPECT_EQ(log.back(), "Log close time");
        EXPECT_EQ(CountEntriesStartingWith(log, "[INFO]") > 0, c.info);
        EXPECT_EQ(CountEntriesStartingWith(log, "[ERROR]") > 0, c.error);
        EXPECT_EQ(CountEntriesStartingWith(log, "[DEBUG]") > 0, c.debug);
        if (c.debug) {
            EXPECT_TRUE(HasEntry(log, "[DEBUG] ReadDwordRegistryData:  value  alwaysKillApps Not found: 2 "));
        }
        if (c.setting == 0) {
            EXPECT_EQ(log.size(), 2u);
        }
    }
}

TEST_F(CheckProgramTest, OptionsAreLoggedAndSteerOnlyTheExitCodes) {
    RegistryText reg = BaseRegistry();
    reg.Key(std::string(kUninstall64) + "\\{SEP}").Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", "14.2.1");
    RunResult r = Run(reg, {"-NAME", "Other AV", "-foundError", "12x", "-notfounderror", "3", "-fileToInstall",
                            "patch.msi", "-switch", "/quiet", "-installIfAvFound", "1", "stray", "-processname",
                            "", "-name"});
    EXPECT_EQ(r.exitStatus, 12);
    std::vector<std::string> expected = {
        "Log open time",
        "[INFO] Antivirus Name To Check : Other AV",
        "[INFO] Error Code If Found : 12",
        "[INFO] Error Code If Not Found : 3",
        "[INFO] File To Install : patch.msi",
        "[INFO] Install Switch : /quiet",
        "[INFO] Install If AV Found : 1",
        "[INFO] Process Name : ",
        "[INFO] Symantec Antivirus detected..!",
        "[INFO] Installed symantec version: 14.2.1",
        "[INFO] Symantec Av (x64) is detected but fix is not installed. so returning..",
        "[INFO] Exit Code : 12",
        "Log close time",
    };
    EXPECT_EQ(Log(), expected);
}

TEST_F(CheckProgramTest, IntegerOptionsWithoutDigitsKeepTheirValue) {
    RegistryText reg = BaseRegistry();
    reg.Key(std::string(kUninstall32) + "\\{SEP}").Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", "1");
    RunResult r = Run(reg, {"-foundError", "abc"});
    EXPECT_EQ(r.exitStatus, kExit50020);
    std::vector<std::string> log = Log();
    EXPECT_TRUE(HasEntry(log, "[INFO] Error Code If Found : 50020"));
    EXPECT_TRUE(HasEntry(log, "[INFO] Exit Code : 50020"));
}

TEST_F(CheckProgramTest, NegativeFoundErrorEndsAsItsTwosComplementPattern) {
    RegistryText reg = BaseRegistry();
    reg.Key(std::string(kUninstall64) + "\\{SEP}").Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", "1");
    RunResult r = Run(reg, {"-foundError", "-5"});
    EXPECT_EQ(r.exitStatus, 0xFB);
    EXPECT_TRUE(HasEntry(Log(), "[INFO] Exit Code : -5"));
}

TEST_F(CheckProgramTest, OptionNameAsValueIsTakenAsText) {
    RunResult r = Run(BaseRegistry(), {"-name", "-foundError", "5"});
    EXPECT_EQ(r.exitStatus, 0);
    std::vector<std::string> log = Log();
    EXPECT_TRUE(HasEntry(log, "[INFO] Antivirus Name To Check : -foundError"));
    EXPECT_EQ(CountEntriesStartingWith(log, "[INFO] Error Code If Found"), 0);
}

TEST_F(CheckProgramTest, MissingInstallDirectoryRunsWithoutALog) {
    RegistryText reg;
    reg.Key(std::string(kUninstall64) + "\\{X}").Text("DisplayName", "Some Editor");
    reg.Key(std::string(kUninstall32) + "\\{X}").Text("DisplayName", "Some Editor");
    RunResult r = Run(reg, {"-notFoundError", "9"});
    EXPECT_EQ(r.exitStatus, 9);
    EXPECT_FALSE(FileExists(LogPath()));
}

TEST_F(CheckProgramTest, StartupEventEndsTheProduct) {
    std::string product = UniqueName("su");
    pid_t pid = StartProduct(product);
    RunResult r = Run(BaseRegistry(), {"-processname", product}, "900000");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_TRUE(WaitForExit(pid, 5000));
    std::vector<std::string> log = Log();
    EXPECT_TRUE(HasEntry(log, "[INFO] the tick count is 900000"));
    EXPECT_TRUE(HasEntry(log, "[INFO] the final tick count is 900000"));
    EXPECT_TRUE(HasEntry(log, "[INFO] This is a startup event hence killing the products exe"));
    EXPECT_TRUE(HasEntry(log, "[INFO] Process name to kill : " + product));
    EXPECT_TRUE(HasEntry(log, "[INFO] " + product + " was Killed......"));
    EXPECT_TRUE(HasEntry(log, "[INFO] Process killed successfully"));
    EXPECT_FALSE(HasEntry(log, "[INFO] Application is Already running by another process"));
}

TEST_F(CheckProgramTest, LaterInTheSystemsLifeTheProductBlocksThePatch) {
    std::string product = UniqueName("late");
    pid_t pid = StartProduct(product);
    RegistryText reg = BaseRegistry();
    reg.Key(std::string(kUninstall64) + "\\{SEP}").Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", "1");
    RunResult r = Run(reg, {"-processname", product}, "900001");
    EXPECT_EQ(r.exitStatus, kExit20001);
    EXPECT_TRUE(IsAlive(pid));
    std::vector<std::string> log = Log();
    EXPECT_TRUE(HasEntry(log, "[INFO] Not a startup event hence not killing the product exe"));
    // The detection still runs and stands before the verdict line.
    auto detection = std::find(log.begin(), log.end(), "[INFO] Symantec Av (x64) is detected but fix is not installed. so returning..");
    auto verdict = std::find(log.begin(), log.end(), "[INFO] Application is Already running by another process");
    ASSERT_NE(detection, log.end());
    ASSERT_NE(verdict, log.end());
    EXPECT_LT(detection - log.begin(), verdict - log.begin());
    EXPECT_EQ(*(log.end() - 2), "[INFO] Exit Code : 20001");
}

TEST_F(CheckProgramTest, AlwaysKillAppsEndsTheProductAtAnyUptime) {
    std::string product = UniqueName("ak");
    pid_t pid = StartProduct(product);
    RegistryText reg = BaseRegistry();
    reg.Key(std::string(kAgentKey32) + "\\Patch").Dword("alwaysKillApps", 7);
    RunResult r = Run(reg, {"-processname", product}, "4000000000");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_TRUE(WaitForExit(pid, 5000));
    std::vector<std::string> log = Log();
    EXPECT_TRUE(HasEntry(log, "[INFO] the tick count is -294967296"));
    EXPECT_TRUE(HasEntry(log, "[INFO] alwaysKillApps is set so we are setting the uptime as 1"));
    EXPECT_TRUE(HasEntry(log, "[INFO] the final tick count is 1"));
}

TEST_F(CheckProgramTest, LetterCaseDoesNotMatterAndEveryCopyIsEnded) {
    std::string product = UniqueName("CASE");
    std::string upper = product;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    pid_t first = StartProduct(upper, "one");
    pid_t second = StartProduct(upper, "two");
    std::string lower = product;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    RunResult r = Run(BaseRegistry(), {"-processname", lower}, "5");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_TRUE(WaitForExit(first, 5000));
    EXPECT_TRUE(WaitForExit(second, 5000));
    EXPECT_EQ(CountEntriesStartingWith(Log(), "[INFO] " + lower + " was Killed......"), 2);
}

TEST_F(CheckProgramTest, NoOtherProcessOfTheNameLogsNothingOfProcessHandling) {
    RunResult r = Run(BaseRegistry(4), {"-processname", UniqueName("none")}, "5");
    EXPECT_EQ(r.exitStatus, 0);
    std::vector<std::string> log = Log();
    EXPECT_EQ(CountEntriesStartingWith(log, "[INFO] the tick count"), 0);
    EXPECT_EQ(CountEntriesStartingWith(log, "[DEBUG] @@@"), 0);
}

TEST_F(CheckProgramTest, ReadsEveryUninstallEntryWithoutAdministrativeRights) {
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "needs root to drop to a plain user";
    // The plain user runs a copy of the program and must reach the registry
    // file and the agent directory.
    for (std::string dir = tmp_.path(); dir.size() > 1; dir = dir.substr(0, dir.rfind('/'))) {
        struct stat st;
        if (dir.empty() || stat(dir.c_str(), &st) != 0) break;
        if (dir != tmp_.path() && (st.st_mode & S_IXOTH) == 0) GTEST_SKIP() << dir << " is closed to other users";
    }
    chmod(tmp_.path().c_str(), 0777);
    chmod(agentDir_.c_str(), 0777);
    std::string program = tmp_ / "zrprereqhandler";
    CopyExecutable(ORV_CHECK_PROGRAM, program);
    RegistryText reg = BaseRegistry();
    reg.Key(std::string(kUninstall64) + "\\{SEP}").Text("DisplayName", "Symantec Endpoint Protection").Text("DisplayVersion", "14.1");
    std::string regFile = tmp_ / "registry.reg";
    WriteFile(regFile, reg.str());
    chmod(regFile.c_str(), 0644);
    RunResult r = RunProgram("/usr/bin/setpriv",
                             {"--reuid=65534", "--regid=65534", "--clear-groups", program},
                             {{"ORV_REGISTRY_FILE", regFile}, {"ORV_TICK_COUNT", "3600000"}});
    EXPECT_EQ(r.exitStatus, kExit50020) << r.output;
    std::vector<std::string> log = Log();
    EXPECT_TRUE(HasEntry(log, "[INFO] Symantec Av (x64) is detected but fix is not installed. so returning.."));
    EXPECT_EQ(CountEntriesStartingWith(log, "[ERROR] Unable to open registry path"), 0);
}

TEST_F(CheckProgramTest, TheCheckNeverEndsItself) {
    // The check runs under the product's own name beside another copy of it.
    std::string product = UniqueName("self");
    std::string check = tmp_ / "self";
    mkdir(check.c_str(), 0755);
    check += "/" + product;
    CopyExecutable(ORV_CHECK_PROGRAM, check);
    pid_t other = StartProduct(product);
    RunResult r = Run(BaseRegistry(), {"-processname", product}, "10", check);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_TRUE(WaitForExit(other, 5000));
    std::vector<std::string> log = Log();
    EXPECT_EQ(CountEntriesStartingWith(log, "[INFO] " + product + " was Killed......"), 1);
    EXPECT_EQ(log.back(), "Log close time");
}

}  // namespace
}  // namespace orv::test
