/*
 * File calls on real files: CreateFileA dispositions and errors,
 * GetFileSizeEx, truncation under an appending writer, CopyFileA,
 * DeleteFileA, CreateDirectoryA, and directory searches with Windows
 * wildcard rules.
 */
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/test_support.h"

namespace {

using orv::test::FileExists;
using orv::test::ReadFile;
using orv::test::TempDir;
using orv::test::WriteFile;

/* dir with backslashes, as Windows code writes it. */
std::string Win(const std::string& path) {
    std::string out = path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

HANDLE Open(const std::string& path, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileA(Win(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       disposition, flags, nullptr);
}

LONGLONG SizeOf(HANDLE file) {
    LARGE_INTEGER size;
    size.QuadPart = -1;
    EXPECT_TRUE(GetFileSizeEx(file, &size));
    return size.QuadPart;
}

TEST(CreateFile, OpenExistingReportsMissingFileAndMissingPath) {
    TempDir dir;
    SetLastError(0);
    EXPECT_EQ(Open(dir / "none.log", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open(dir / "nodir/none.log", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(FileExists(dir / "none.log"));
}

TEST(CreateFile, SizeOfOpenFileAndOfAFileOpenedWithoutAccess) {
    TempDir dir;
    WriteFile(dir / "a.log", std::string(12345, 'x'));
    HANDLE file = Open(dir / "a.log", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SizeOf(file), 12345);
    EXPECT_TRUE(CloseHandle(file));
    HANDLE bare = Open(dir / "a.log", 0, OPEN_EXISTING);
    ASSERT_NE(bare, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SizeOf(bare), 12345);
    CloseHandle(bare);
    LARGE_INTEGER size;
    EXPECT_FALSE(GetFileSizeEx(INVALID_HANDLE_VALUE, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(CreateFile, TruncateExistingEmptiesTheFileUnderAnAppendingWriter) {
    TempDir dir;
    FILE* writer = _fsopen((dir / "w.log").c_str(), "a+", _SH_DENYNO);
    ASSERT_NE(writer, nullptr);
    fputs("first\n", writer);
    fflush(writer);
    HANDLE file = Open(dir / "w.log", GENERIC_READ | GENERIC_WRITE, TRUNCATE_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SizeOf(file), 0);
    CloseHandle(file);
    fputs("second\n", writer);
    fclose(writer);
    EXPECT_EQ(ReadFile(dir / "w.log"), "second\n");
    EXPECT_EQ(Open(dir / "w.log", GENERIC_READ, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CreateFile, DirectoriesOpenOnlyWithBackupSemantics) {
    TempDir dir;
    EXPECT_EQ(Open(dir.path(), GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE handle = Open(dir.path(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
}

TEST(CreateFile, CreationDispositions) {
    TempDir dir;
    HANDLE made = Open(dir / "n.log", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    CloseHandle(made);
    EXPECT_EQ(Open(dir / "n.log", GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    WriteFile(dir / "n.log", "content");
    HANDLE again = Open(dir / "n.log", GENERIC_WRITE, OPEN_ALWAYS);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(SizeOf(again), 7);
    CloseHandle(again);
    HANDLE emptied = Open(dir / "n.log", GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(SizeOf(emptied), 0);
    CloseHandle(emptied);
}

TEST(CopyFile, ReplacesOrRefusesTheTarget) {
    TempDir dir;
    WriteFile(dir / "a", "new content");
    WriteFile(dir / "b", "an older and longer content");
    EXPECT_TRUE(CopyFileA(Win(dir / "a").c_str(), Win(dir / "b").c_str(), FALSE));
    EXPECT_EQ(ReadFile(dir / "b"), "new content");
    WriteFile(dir / "b", "kept");
    EXPECT_FALSE(CopyFileA(Win(dir / "a").c_str(), Win(dir / "b").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadFile(dir / "b"), "kept");
    EXPECT_FALSE(CopyFileA(Win(dir / "none").c_str(), Win(dir / "c").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(FileExists(dir / "c"));
    std::string big(3 * 65536 + 17, 'z');
    WriteFile(dir / "big", big);
    EXPECT_TRUE(CopyFileA((dir / "big").c_str(), (dir / "big2").c_str(), FALSE));
    EXPECT_EQ(ReadFile(dir / "big2"), big);
}

TEST(DeleteFile, RemovesFilesButNotDirectories) {
    TempDir dir;
    WriteFile(dir / "a", "x");
    EXPECT_TRUE(DeleteFileA(Win(dir / "a").c_str()));
    EXPECT_FALSE(FileExists(dir / "a"));
    EXPECT_FALSE(DeleteFileA(Win(dir / "a").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileA(dir.path().c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(CreateDirectory, ReportsExistingAndMissingParents) {
    TempDir dir;
    EXPECT_TRUE(CreateDirectoryA(Win(dir / "d").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(Win(dir / "d").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA(Win(dir / "x/y").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

/* The names a search for pattern yields, in order. */
std::vector<std::string> Find(const std::string& pattern, DWORD* error) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return names;
    }
    do {
        names.push_back(data.cFileName);
    } while (FindNextFileA(search, &data));
    *error = GetLastError();
    EXPECT_TRUE(FindClose(search));
    return names;
}

TEST(FindFiles, StarDotStarMatchesEveryNameWithThePrefixInAnyCase) {
    TempDir dir;
    for (const char* name : {"x", "x.log", "X1.LOG", "xa.b.c", "ax.log", "y.log"}) WriteFile(dir / name, "");
    mkdir((dir / "xdir").c_str(), 0755);
    DWORD error = 0;
    std::vector<std::string> names = Find(Win(dir.path()) + "\\\\x*.*", &error);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_MORE_FILES));
    // Case-insensitive name order: '.' sorts before '1'.
    EXPECT_EQ(names, (std::vector<std::string>{"x", "x.log", "X1.LOG", "xa.b.c", "xdir"}));
    // An empty prefix lists everything, "." and ".." included.
    names = Find(dir.path() + "/*.*", &error);
    EXPECT_EQ(names.size(), 9u);
    EXPECT_EQ(names[0], ".");
    EXPECT_EQ(names[1], "..");
    names = Find(dir.path() + "/?.log", &error);
    EXPECT_EQ(names, (std::vector<std::string>{"x.log", "y.log"}));
}

TEST(FindFiles, EntryDataDescribesFilesAndDirectories) {
    TempDir dir;
    WriteFile(dir / "f.txt", "12345");
    mkdir((dir / "sub").c_str(), 0755);
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((dir / "f*").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
    FindClose(search);
    search = FindFirstFileA((dir / "s*").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    FindClose(search);
}

TEST(FindFiles, NoMatchAndMissingDirectoryFailDifferently) {
    TempDir dir;
    DWORD error = 0;
    EXPECT_TRUE(Find(dir / "q*.*", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(Find(dir / "missing/q*.*", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
}

}  // namespace
