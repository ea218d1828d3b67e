// String routines: case and class copies, search and pieces, removal,
// trimming, splitting, comparisons with missing texts, and the buffer
// copies that must stay within their size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "util/string_util.h"

namespace orv {
namespace {

// The text of a heap result (freed), or "<none>".
std::string Take(char* text) {
    if (text == nullptr) return "<none>";
    std::string s(text);
    std::free(text);
    return s;
}

TEST(StringCopies, CaseAndCharacterClasses) {
    EXPECT_EQ(Take(ToLowerCopy("AbC")), "abc");
    EXPECT_EQ(Take(ToUpperCopy("a1b")), "A1B");
    EXPECT_EQ(Take(ToUpperCopy("\xe9z-")), "\xe9Z-");
    EXPECT_EQ(Take(LettersOnlyCopy("a1-B2")), "aB");
    EXPECT_EQ(Take(LettersAndDigitsCopy("a1-B2 ")), "a1B2");
    EXPECT_EQ(Take(WithoutLettersAndDigitsCopy("a1-B2 ")), "- ");
    EXPECT_EQ(Take(ToLowerCopy(nullptr)), "<none>");
}

TEST(StringSearch, PositionsCountsAndPieces) {
    EXPECT_STREQ(SubString("abcabc", "ca"), "cabc");
    EXPECT_EQ(SubString("abc", "x"), nullptr);
    EXPECT_TRUE(FindSubString("a.b.c", "."));
    EXPECT_FALSE(FindSubString("abc", ""));
    EXPECT_EQ(CountSubString("a.b.c", "."), 2);
    EXPECT_EQ(CountSubString("aaaa", "aa"), 2);
    EXPECT_EQ(FindLastSubstringPos("a.b.c", "."), 3);
    EXPECT_EQ(FindLastSubstringPos("abc", "."), -1);
    // The scan does not compare the mismatching character again.
    EXPECT_EQ(CountSubString("aab", "ab"), 0);
    EXPECT_EQ(Take(TextAfterFirst("k=v=w", "=")), "v=w");
    EXPECT_EQ(Take(TextAfterLast("k=v=w", "=")), "w");
    EXPECT_EQ(Take(TextAfterLast("kvw", "=")), "<none>");
}

TEST(StringRemoval, AllFirstLast) {
    EXPECT_EQ(Take(RemoveAllSubString("a--b--c", "--")), "abc");
    EXPECT_EQ(Take(RemoveAllSubString("abc", "-")), "abc");
    EXPECT_EQ(Take(RemoveFirstSubString("a--b--c", "--")), "ab--c");
    EXPECT_EQ(Take(RemoveLastSubString("a--b--c", "--")), "a--bc");
    EXPECT_EQ(Take(RemoveFirstSubString("abc", "-")), "<none>");
    EXPECT_EQ(Take(RemoveLastSubString("abc", "-")), "<none>");
}

TEST(StringTrim, FrontBackBoth) {
    EXPECT_EQ(Take(TrimFront("  ab ", ' ')), "ab ");
    EXPECT_EQ(Take(TrimFront("", ' ')), "<none>");
    EXPECT_EQ(Take(TrimBack("  ab  ", ' ')), "  ab");
    EXPECT_EQ(Take(TrimBack("a", ' ')), "<none>");
    EXPECT_EQ(Take(TrimBoth("xxabxx", 'x')), "ab");
    EXPECT_EQ(Take(TrimBoth("xxxx", 'x')), "");
}

TEST(StringSplit, TokensPiecesAndMatching) {
    char text[] = ",a,,bc,";
    char* cursor = nullptr;
    std::string tokens;
    for (char* t = TokenizeString(text, ",", &cursor); t != nullptr; t = TokenizeString(nullptr, ",", &cursor)) {
        tokens += std::string(t) + "|";
    }
    EXPECT_EQ(tokens, "a|bc|");

    int32_t count = 0;
    char** pieces = SplitString("a::b::", "::", &count);
    ASSERT_NE(pieces, nullptr);
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(pieces[0], "a");
    EXPECT_STREQ(pieces[1], "b");
    EXPECT_STREQ(pieces[2], "");
    EXPECT_EQ(pieces[3], nullptr);
    FreeStringArray(pieces, -1);

    int32_t* lengths = nullptr;
    char** bytes = SplitBytes("ab|\0c|", 6, '|', &lengths, &count);
    ASSERT_NE(bytes, nullptr);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(lengths[0], 2);
    EXPECT_EQ(lengths[1], 2);
    EXPECT_EQ(std::memcmp(bytes[1], "\0c", 2), 0);
    EXPECT_EQ(lengths[2], 0);
    FreeStringArray(bytes, count);
    std::free(lengths);

    EXPECT_TRUE(IsStringMatched("INT,TEXT,BLOB", "TEXT", 4));
    EXPECT_FALSE(IsStringMatched("INT,TEXT,BLOB", "TEX", 3));
    EXPECT_FALSE(IsStringMatched("INT,TEXT,BLOB", "TEXTS", 5));
    EXPECT_EQ(GetIndex("abc", 'c', 3), 2);
    EXPECT_EQ(GetIndex("abc", 'c', 2), -1);
}

TEST(StringCompare, MissingOrdersFirst) {
    EXPECT_LT(CompareStrings(nullptr, ""), 0);
    EXPECT_GT(CompareStrings("", nullptr), 0);
    EXPECT_EQ(CompareStrings(nullptr, nullptr), 0);
    EXPECT_EQ(CompareStringsN("abcX", "abcY", 3), 0);
    EXPECT_EQ(CompareStringsNoCase("HeLLo", "hello"), 0);
    EXPECT_LT(CompareStringsNoCase("abc", "ABD"), 0);
    EXPECT_LT(CompareStringsNoCase(nullptr, "a"), 0);
}

TEST(StringBuffers, BoundedCopiesNeverPassTheSize) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(CopyStringBounded(buffer, 4, "abcdef"));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], '#');
    EXPECT_TRUE(CopyStringBounded(buffer, 4, "abc"));
    EXPECT_FALSE(AppendStringBounded(buffer, 6, "def"));
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(buffer[6], '#');
    EXPECT_FALSE(CopyStringBounded(buffer, 0, "a"));

    char unterminated[4] = {'x', 'x', 'x', 'x'};
    EXPECT_FALSE(AppendStringBounded(unterminated, 4, "y"));
    EXPECT_EQ(unterminated[3], '\0');

    char rest[8];
    std::memset(rest, '#', sizeof rest);
    CopyStringN(rest, "ab", 6);
    EXPECT_STREQ(rest, "ab");
    EXPECT_EQ(rest[3], '#');  // stops after the terminator
    EXPECT_EQ(CopyString(rest, nullptr), nullptr);
    CopyString(rest, "xy");
    AppendString(rest, "z");
    EXPECT_STREQ(rest, "xyz");
    EXPECT_EQ(StringLength(nullptr), 0u);
    EXPECT_EQ(StringLength(rest), 3u);
}

}  // namespace
}  // namespace orv
