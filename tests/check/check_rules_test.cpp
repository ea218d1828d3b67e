/*
 * The check's rules with many cases: version comparison and the command
 * line.
 */
#include <gtest/gtest.h>

#include <climits>

#include "check/antivirus.h"
#include "check/check_options.h"
#include "check/text.h"

namespace orv {
namespace {

TEST(CompareVersions, AgainstTheMinimum) {
    const char* min = "14.2.758.0000";
    EXPECT_EQ(CompareVersions("14.2.758.0000", min), 0);
    EXPECT_EQ(CompareVersions("14.2.757.9999", min), -1);
    EXPECT_EQ(CompareVersions("14.2.760.0", min), 1);
    EXPECT_EQ(CompareVersions("14.2.758", min), 0);
    EXPECT_EQ(CompareVersions("14.3", min), 1);
    EXPECT_EQ(CompareVersions("13.99.99999.9999", min), -1);
    EXPECT_EQ(CompareVersions("14.2.758.0001", min), 1);
    EXPECT_EQ(CompareVersions("", min), -1);
}

TEST(CompareVersions, ComponentRules) {
    EXPECT_EQ(CompareVersions("", ""), 0);
    EXPECT_EQ(CompareVersions("1..2", "1.0.2"), 0);   // empty component is 0
    EXPECT_EQ(CompareVersions("007.1", "7.01"), 0);   // leading zeros
    EXPECT_EQ(CompareVersions("1.0.0.0.0", "1"), 0);  // trailing zero components
    EXPECT_EQ(CompareVersions("1.0.0.0.1", "1"), 1);
    EXPECT_EQ(CompareVersions("2", "10"), -1);        // numeric, not text order
    EXPECT_EQ(CompareVersions("1.", "1"), 0);
    EXPECT_EQ(CompareVersions(".1", "0.1"), 0);
}

TEST(CompareVersions, NonDigitsCountByTheirCode) {
    // 'a' is 97: its component value is 97 - 48 = 49.
    EXPECT_EQ(CompareVersions("a", "49"), 0);
    EXPECT_EQ(CompareVersions("1a", "59"), 0);  // 1*10 + 49
    // A blank is 32 - 48 = -16.
    EXPECT_EQ(CompareVersions(" ", "0"), -1);
    // Bytes above 127 count as negative signed characters: 0xC3 is -61.
    EXPECT_EQ(CompareVersions("\xC3", "0"), -1);
}

TEST(CompareVersions, LongComponentsWrapAt32Bits) {
    // 4294967296 wraps to 0, 4294967297 to 1, 2147483648 to INT_MIN.
    EXPECT_EQ(CompareVersions("4294967296", "0"), 0);
    EXPECT_EQ(CompareVersions("4294967297", "1"), 0);
    EXPECT_EQ(CompareVersions("2147483648", "0"), -1);
    EXPECT_EQ(CompareVersions("2147483647", "0"), 1);
}

TEST(ParseLongValue, ReadsLikePercentLd) {
    int32_t v = 42;
    EXPECT_TRUE(ParseLongValue("12abc", &v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(ParseLongValue("  -5", &v));
    EXPECT_EQ(v, -5);
    EXPECT_TRUE(ParseLongValue("+7", &v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(ParseLongValue("\t\n 0", &v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ParseLongValue("-2147483648", &v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(ParseLongValue("4294967297", &v));  // low 32 bits
    EXPECT_EQ(v, 1);
}

TEST(ParseLongValue, NoDigitsLeavesTheValue) {
    int32_t v = 50020;
    EXPECT_FALSE(ParseLongValue("abc", &v));
    EXPECT_FALSE(ParseLongValue("", &v));
    EXPECT_FALSE(ParseLongValue("-", &v));
    EXPECT_FALSE(ParseLongValue("- 5", &v));
    EXPECT_FALSE(ParseLongValue("x12", &v));
    EXPECT_EQ(v, 50020);
}

CheckOptions Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "zrprereqhandler");
    CheckOptions options;
    ParseCheckOptions(static_cast<int>(args.size()), args.data(), &options);
    return options;
}

TEST(ParseCheckOptions, DefaultsWithoutArguments) {
    CheckOptions o = Parse({});
    EXPECT_EQ(o.foundError, 50020);
    EXPECT_EQ(o.notFoundError, 0);
    EXPECT_EQ(o.installIfAvFound, 0);
    EXPECT_TRUE(o.name.empty());
    EXPECT_TRUE(o.processName.empty());
}

TEST(ParseCheckOptions, EachOptionTakesTheNextTokenWhateverItIs) {
    CheckOptions o = Parse({"-name", "-foundError", "5"});
    EXPECT_EQ(o.name, "-foundError");
    EXPECT_EQ(o.foundError, 50020);

    o = Parse({"-processname", "-name", "-name"});
    EXPECT_EQ(o.processName, "-name");
    EXPECT_TRUE(o.name.empty());  // the last -name has no value
}

TEST(ParseCheckOptions, NamesIgnoreLetterCaseAndLaterValuesWin) {
    CheckOptions o = Parse({"-FOUNDERROR", "1", "-FoundError", "2", "-PROCESSNAME", "App.EXE", "-SWITCH", "/s",
                            "-FILETOINSTALL", "f", "-INSTALLIFAVFOUND", "9", "-NotFoundError", "-3"});
    EXPECT_EQ(o.foundError, 2);
    EXPECT_EQ(o.processName, "App.EXE");
    EXPECT_EQ(o.installSwitch, "/s");
    EXPECT_EQ(o.fileToInstall, "f");
    EXPECT_EQ(o.installIfAvFound, 9);
    EXPECT_EQ(o.notFoundError, -3);
}

TEST(ParseCheckOptions, UnknownTokensAndPrefixesAreSkipped) {
    CheckOptions o = Parse({"name", "x", "-names", "y", "--name", "z", "-foundErrors", "1", "-foundError", "12x"});
    EXPECT_TRUE(o.name.empty());
    EXPECT_EQ(o.foundError, 12);
}

TEST(EqualsIgnoreAsciiCase, PrefixLimitAndWholeNames) {
    EXPECT_TRUE(EqualsIgnoreAsciiCase("ABCDEFGHIJKLMNOxyz", "abcdefghijklmnoQQ", 15));
    EXPECT_FALSE(EqualsIgnoreAsciiCase("ABCDEFGHIJKLMNOxyz", "abcdefghijklmnoQQ"));
    EXPECT_FALSE(EqualsIgnoreAsciiCase("app.exe", "app.exe2", 15));  // shorter names match whole
    EXPECT_TRUE(EqualsIgnoreAsciiCase("App.Exe", "aPP.eXE"));
    EXPECT_FALSE(EqualsIgnoreAsciiCase("\xC4", "\xE4"));  // only ASCII letters fold
}

}  // namespace
}  // namespace orv
