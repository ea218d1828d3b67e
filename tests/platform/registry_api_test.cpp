/*
 * The registry calls over a loaded file: the 32-bit and 64-bit views, write
 * access, handles, and the Windows size and enumeration conventions of
 * RegQueryValueExA, RegEnumKeyExA and RegQueryInfoKeyA.
 */
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/platform/platform_support.h"

namespace orv::test {
namespace {

const char* const kRegistry =
    "Windows Registry Editor Version 5.00\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\App]\n\"Bits\"=\"64\"\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Acme\\App]\n\"Bits\"=\"32\"\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\OnlyIn32]\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\Shared]\n\"v\"=\"same\"\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Order\\beta]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Order\\Alpha]\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Order\\GAMMA]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Order\\a_b]\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Order\\AB]\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Order]\n\"Name\"=\"twelve chars\"\n\"LongerName\"=hex:01,02,03,04,05,06,07,08,"
    "09,0a,0b,0c,0d,0e,0f,10,11,12,13,14\n";

class RegistryApi : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(LoadRegistry(dir_, "api.reg", kRegistry), ""); }
    void TearDown() override { ClearRegistry(); }

    // The REG_SZ value name of root-relative path, read in the given view.
    static std::string ReadString(HKEY root, const char* path, const char* name, REGSAM sam) {
        HKEY key = nullptr;
        LSTATUS status = RegOpenKeyExA(root, path, 0, sam, &key);
        if (status != ERROR_SUCCESS) return "error " + std::to_string(status);
        char buffer[64] = {};
        DWORD size = sizeof buffer - 1;
        status = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? std::string(buffer) : "error " + std::to_string(status);
    }

    TempDir dir_;
};

TEST_F(RegistryApi, ThirtyTwoBitViewReadsSoftwareUnderWow6432Node) {
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme\\App", "Bits", KEY_READ), "64");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme\\App", "Bits", KEY_READ | KEY_WOW64_64KEY), "64");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme\\App", "Bits", KEY_READ | KEY_WOW64_32KEY), "32");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "software\\acme\\app", "Bits", KEY_READ | KEY_WOW64_32KEY), "32");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "SYSTEM\\Shared", "v", KEY_READ | KEY_WOW64_32KEY), "same");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\OnlyIn32", "x", KEY_READ), "error 2");
}

TEST_F(RegistryApi, SoftwareItselfInThe32BitViewIsWow6432Node) {
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ | KEY_WOW64_32KEY, &software), ERROR_SUCCESS);
    DWORD count = 0;
    ASSERT_EQ(RegQueryInfoKeyA(software, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(count, 2u);  // Acme and OnlyIn32
    EXPECT_EQ(ReadString(software, "Acme\\App", "Bits", KEY_READ), "32");
    RegCloseKey(software);
}

TEST_F(RegistryApi, SubkeyOfAnOpenedKeyJoinsThePaths) {
    HKEY acme = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", 0, KEY_READ, &acme), ERROR_SUCCESS);
    EXPECT_EQ(ReadString(acme, "App", "Bits", KEY_READ), "64");
    EXPECT_EQ(ReadString(acme, "Missing", "Bits", KEY_READ), "error 2");
    RegCloseKey(acme);

    HKEY software = nullptr;  // opened in the 64-bit view, then a 32-bit open below it
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_EQ(ReadString(software, "Acme\\App", "Bits", KEY_READ | KEY_WOW64_32KEY), "32");
    EXPECT_EQ(ReadString(software, "Acme\\App", "Bits", KEY_READ), "64");
    RegCloseKey(software);
}

TEST_F(RegistryApi, WriteAccessIsGrantedToRootOnly) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nope", 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
    if (geteuid() != 0) {
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", 0, KEY_ALL_ACCESS, &key), ERROR_ACCESS_DENIED);
        return;
    }
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    // The same call from a process that is not root (the registry is loaded already).
    pid_t pid = fork();
    if (pid == 0) {
        if (seteuid(65534) != 0) _exit(100);
        HKEY k = nullptr;
        LSTATUS all = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", 0, KEY_ALL_ACCESS, &k);
        LSTATUS set = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", 0, KEY_SET_VALUE, &k);
        LSTATUS read = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", 0, KEY_READ, &k);
        _exit(all == ERROR_ACCESS_DENIED && set == ERROR_ACCESS_DENIED && read == ERROR_SUCCESS ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 100) GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(RegistryApi, QueryValueReportsSizeAndMoreDataAsWindows) {
    HKEY order = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Order", 0, KEY_READ, &order), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(order, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 13u);  // "twelve chars" and its zero

    BYTE buffer[16];
    size = 12;
    EXPECT_EQ(RegQueryValueExA(order, "Name", nullptr, nullptr, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 13u);
    size = 13;
    EXPECT_EQ(RegQueryValueExA(order, "Name", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "twelve chars");

    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(order, "LongerName", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(RegQueryValueExA(order, "Absent", nullptr, &type, buffer, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(order, nullptr, nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(order);
}

TEST_F(RegistryApi, EnumKeyListsSubkeysInCaseInsensitiveOrder) {
    HKEY order = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Order", 0, KEY_READ, &order), ERROR_SUCCESS);
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[255];
        DWORD length = sizeof name;
        LSTATUS status = RegEnumKeyExA(order, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        EXPECT_EQ(length, std::string(name).size());
        names.push_back(name);
    }
    // Windows compares upper-cased names: '_' sorts after the letters.
    EXPECT_EQ(names, (std::vector<std::string>{"AB", "Alpha", "a_b", "beta", "GAMMA"}));

    char small[8];
    DWORD length = 5;  // "Alpha" without room for its zero
    EXPECT_EQ(RegEnumKeyExA(order, 1, small, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    length = 6;
    EXPECT_EQ(RegEnumKeyExA(order, 1, small, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(length, 5u);
    EXPECT_STREQ(small, "Alpha");
    RegCloseKey(order);
}

TEST_F(RegistryApi, QueryInfoKeyGivesCountsAndLongestLengths) {
    HKEY order = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Order", 0, KEY_READ, &order), ERROR_SUCCESS);
    DWORD subkeys = 99, maxSubkey = 99, maxClass = 99, values = 99, maxValueName = 99, maxValue = 99, security = 99;
    FILETIME written{7, 7};
    ASSERT_EQ(RegQueryInfoKeyA(order, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, &maxClass, &values,
                               &maxValueName, &maxValue, &security, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 5u);
    EXPECT_EQ(maxSubkey, 5u);  // "Alpha", "GAMMA"
    EXPECT_EQ(maxClass, 0u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxValueName, 10u);  // "LongerName"
    EXPECT_EQ(maxValue, 20u);
    EXPECT_EQ(security, 0u);
    EXPECT_EQ(written.dwLowDateTime | written.dwHighDateTime, 0u);
    RegCloseKey(order);
}

TEST_F(RegistryApi, KeyHandlesCloseOnceAndPredefinedKeysAlways) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(CloseHandle(reinterpret_cast<HANDLE>(key)), FALSE);  // not a kernel handle
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(key, "Acme", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

}  // namespace
}  // namespace orv::test
