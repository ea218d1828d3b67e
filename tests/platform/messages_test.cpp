/*
 * System message texts, UTF-32 to UTF-8 conversion and trimming.
 */
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"

namespace {

constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;

std::string MessageA(DWORD code, DWORD extraFlags) {
    char* text = nullptr;
    DWORD n = FormatMessageA(kFlags | extraFlags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string out = n > 0 ? std::string(text, n) : "<none>";
    EXPECT_EQ(n > 0 ? strlen(text) : 0u, n);
    LocalFree(text);
    return out;
}

TEST(FormatMessage, KnownCodesHaveTheWindowsWording) {
    EXPECT_EQ(MessageA(0, 0), "The operation completed successfully.\r\n");
    EXPECT_EQ(MessageA(2, 0), "The system cannot find the file specified.\r\n");
    EXPECT_EQ(MessageA(3, 0), "The system cannot find the path specified.\r\n");
    EXPECT_EQ(MessageA(5, 0), "Access is denied.\r\n");
    EXPECT_EQ(MessageA(18, 0), "There are no more files.\r\n");
    EXPECT_EQ(MessageA(32, 0), "The process cannot access the file because it is being used by another process.\r\n");
    EXPECT_EQ(MessageA(80, 0), "The file exists.\r\n");
    EXPECT_EQ(MessageA(183, 0), "Cannot create a file when that file already exists.\r\n");
    EXPECT_EQ(MessageA(997, 0), "Overlapped I/O operation is in progress.\r\n");
}

TEST(FormatMessage, MaximumWidthTurnsLineEndsIntoBlanks) {
    EXPECT_EQ(MessageA(2, FORMAT_MESSAGE_MAX_WIDTH_MASK), "The system cannot find the file specified. ");
}

TEST(FormatMessage, CodesWithoutSystemTextFail) {
    for (DWORD code : {20001u, 17022u, 1508u, 0x00240006u, 0xFFFFFFFBu}) {
        SetLastError(0);
        EXPECT_EQ(MessageA(code, 0), "<none>") << code;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    }
}

TEST(FormatMessage, WideTextAndCallerBuffer) {
    WCHAR* wide = nullptr;
    DWORD n = FormatMessageW(kFlags, nullptr, 5, 0, reinterpret_cast<LPWSTR>(&wide), 0, nullptr);
    ASSERT_EQ(n, 19u);
    EXPECT_EQ(std::wstring(wide), L"Access is denied.\r\n");
    LocalFree(wide);
    char small[8];
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, small, sizeof(small), nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    char fits[32];
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, fits, sizeof(fits), nullptr), 19u);
    EXPECT_STREQ(fits, "Access is denied.\r\n");
}

TEST(WideCharToMultiByte, MeasuresAndConvertsToUtf8) {
    const WCHAR* text = L"A\u00e9\u20ac\U0001F600";
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(n, 1 + 2 + 3 + 4 + 1);
    char out[16];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof(out), nullptr, nullptr), n);
    EXPECT_STREQ(out, "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, out, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, 2, out, sizeof(out), nullptr, nullptr), 3);  // no zero counted
}

TEST(WideCharToMultiByte, InvalidCodePointsAreReplacedOrRefused) {
    const WCHAR bad[] = {L'a', static_cast<WCHAR>(0xD800), 0};
    char out[16];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, bad, -1, out, sizeof(out), nullptr, nullptr), 5);
    EXPECT_STREQ(out, "a\xef\xbf\xbd");
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, bad, -1, out, sizeof(out), nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 1, bad, -1, out, sizeof(out), nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

TEST(StrTrim, RemovesTheGivenCharactersAtBothEnds) {
    char text[] = "  two words \r\n";
    EXPECT_TRUE(StrTrimA(text, " \r\n"));
    EXPECT_STREQ(text, "two words");
    EXPECT_FALSE(StrTrimA(text, " "));
    char blanks[] = "   ";
    EXPECT_TRUE(StrTrimA(blanks, " "));
    EXPECT_STREQ(blanks, "");
}

}  // namespace
