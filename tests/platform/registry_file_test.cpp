/*
 * The registry export file reader, observed through the registry calls:
 * value syntaxes, encodings, names, deletions and malformed lines.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/registry.h"
#include "platform/win32.h"
#include "tests/platform/platform_support.h"

namespace orv::test {
namespace {

const char* const kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

struct Value {
    LSTATUS status = ERROR_SUCCESS;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Reads a value whole from root\path (64-bit view).
Value Read(const char* path, const char* name, HKEY root = HKEY_LOCAL_MACHINE) {
    Value v;
    HKEY key = nullptr;
    v.status = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
    if (v.status != ERROR_SUCCESS) return v;
    DWORD size = 0;
    v.status = RegQueryValueExA(key, name, nullptr, &v.type, nullptr, &size);
    if (v.status == ERROR_SUCCESS) {
        v.data.resize(size);
        v.status = RegQueryValueExA(key, name, nullptr, &v.type, v.data.data(), &size);
    }
    RegCloseKey(key);
    return v;
}

std::vector<BYTE> Bytes(std::string_view text) { return std::vector<BYTE>(text.begin(), text.end()); }

LSTATUS Open(const char* path, HKEY root = HKEY_LOCAL_MACHINE) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status;
}

class RegistryFile : public ::testing::Test {
protected:
    void TearDown() override { ClearRegistry(); }
    // Loads header + body; expects nothing on stderr.
    void Load(const std::string& body) { EXPECT_EQ(LoadRegistry(dir_, "test.reg", kHeader + body), ""); }
    TempDir dir_;
};

TEST_F(RegistryFile, StringValuesUndoEscapesAndKeepTheirTerminatingZero) {
    Load("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\r\n\"Path\"=\"C:\\\\Program Files\\\\Acme\\\\\"\r\n"
         "\"Quote\"=\"say \\\"hi\\\"\"\r\n\"Empty\"=\"\"\r\n");
    Value path = Read("SOFTWARE\\Acme", "Path");
    ASSERT_EQ(path.status, ERROR_SUCCESS);
    EXPECT_EQ(path.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(path.data, Bytes(std::string("C:\\Program Files\\Acme\\") + '\0'));
    EXPECT_EQ(Read("SOFTWARE\\Acme", "Quote").data, Bytes(std::string("say \"hi\"") + '\0'));
    EXPECT_EQ(Read("SOFTWARE\\Acme", "Empty").data, Bytes(std::string(1, '\0')));
}

TEST_F(RegistryFile, DwordIsFourLittleEndianBytes) {
    Load("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\n\"Level\"=dword:0000000a\n\"Big\"=dword:FFFFfffe\n");
    Value level = Read("SOFTWARE\\Acme", "Level");
    EXPECT_EQ(level.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(level.data, (std::vector<BYTE>{0x0a, 0, 0, 0}));
    EXPECT_EQ(Read("SOFTWARE\\Acme", "Big").data, (std::vector<BYTE>{0xfe, 0xff, 0xff, 0xff}));
}

TEST_F(RegistryFile, HexValuesKeepTheirBytesAndTypeAcrossContinuationLines) {
    Load("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\n"
         "\"Blob\"=hex:01,02,\\\n  03,ff\n"
         "\"Multi\"=hex(7):61,00,00,\\\r\n  00,00,00\r\n"
         "\"None\"=hex:\n"
         "\"Expand\"=hex(2):25,00\n");
    Value blob = Read("SOFTWARE\\Acme", "Blob");
    EXPECT_EQ(blob.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(blob.data, (std::vector<BYTE>{1, 2, 3, 0xff}));
    Value multi = Read("SOFTWARE\\Acme", "Multi");
    EXPECT_EQ(multi.type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(multi.data, (std::vector<BYTE>{0x61, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(Read("SOFTWARE\\Acme", "None").data.empty());
    EXPECT_EQ(Read("SOFTWARE\\Acme", "Expand").type, static_cast<DWORD>(REG_EXPAND_SZ));
}

TEST_F(RegistryFile, AtSignIsTheDefaultValueReadByNullOrEmptyName) {
    Load("[HKEY_CURRENT_USER\\Acme]\n@=\"fallback\"\n");
    EXPECT_EQ(Read("Acme", nullptr, HKEY_CURRENT_USER).data, Bytes(std::string("fallback") + '\0'));
    EXPECT_EQ(Read("Acme", "", HKEY_CURRENT_USER).data, Bytes(std::string("fallback") + '\0'));
    EXPECT_EQ(Read("Acme", nullptr, HKEY_LOCAL_MACHINE).status, ERROR_FILE_NOT_FOUND);  // roots are separate
}

TEST_F(RegistryFile, Utf16FileWithByteOrderMarkBecomesUtf8) {
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\u00e9]\r\n"
                          u"\"Name\"=\"\u00e9t\u00e9 \U0001F600\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    EXPECT_EQ(LoadRegistry(dir_, "utf16.reg", bytes), "");
    EXPECT_EQ(Read("SOFTWARE\\Caf\xC3\xA9", "Name").data,
              Bytes(std::string("\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80") + '\0'));
}

TEST_F(RegistryFile, Utf8ByteOrderMarkAndRegedit4HeaderAreAccepted) {
    EXPECT_EQ(LoadRegistry(dir_, "a.reg", "\xEF\xBB\xBFREGEDIT4\n\n[HKEY_USERS\\S-1\\Acme]\n\"v\"=\"1\"\n"), "");
    EXPECT_EQ(Read("S-1\\Acme", "v", HKEY_USERS).status, ERROR_SUCCESS);
}

TEST_F(RegistryFile, KeyAndValueNamesIgnoreAsciiCase) {
    Load("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Agent]\n\"LogLevel\"=dword:00000003\n"
         "[hkey_local_machine\\software\\ACME\\agent]\n\"Extra\"=\"x\"\n");
    EXPECT_EQ(Read("software\\aCmE\\AGENT", "LOGLEVEL").data, (std::vector<BYTE>{3, 0, 0, 0}));
    EXPECT_EQ(Read("SOFTWARE\\Acme\\Agent", "extra").status, ERROR_SUCCESS);
}

TEST_F(RegistryFile, SectionImpliesItsParentKeys) {
    Load("[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B\\C]\n");
    EXPECT_EQ(Open("SOFTWARE"), ERROR_SUCCESS);
    EXPECT_EQ(Open("SOFTWARE\\A\\B"), ERROR_SUCCESS);
    EXPECT_EQ(Open("SOFTWARE\\A\\B\\C\\"), ERROR_SUCCESS);  // a trailing backslash is tolerated
    EXPECT_EQ(Open("SOFTWARE\\A\\X"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFile, DeleteLinesRemoveKeysWithTheirSubtreeAndValues) {
    Load("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Old\\Deep]\n\"x\"=\"1\"\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\n\"Keep\"=\"1\"\n\"Drop\"=\"1\"\n"
         "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\acme\\old]\n\"Ignored\"=\"1\"\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\n\"drop\"=-\n"
         "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\NeverThere]\n");
    EXPECT_EQ(Open("SOFTWARE\\Acme\\Old"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open("SOFTWARE\\Acme\\Old\\Deep"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Read("SOFTWARE\\Acme", "Drop").status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Read("SOFTWARE\\Acme", "Keep").status, ERROR_SUCCESS);
    EXPECT_EQ(Read("SOFTWARE\\Acme", "Ignored").status, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFile, CommentsAndBlankLinesAreIgnored) {
    Load("; a comment\n\n   \n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\n;\"v\"=\"no\"\n\"w\"=\"yes\"\n");
    EXPECT_EQ(Read("SOFTWARE\\Acme", "v").status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Read("SOFTWARE\\Acme", "w").status, ERROR_SUCCESS);
}

TEST_F(RegistryFile, MalformedLinesAreReportedOnceWithFileAndLineAndSkipped) {
    std::string text = std::string(kHeader) +                 // lines 1-2
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\n"  // 3
                       "\"a\"=\"1\"\n"                           // 4
                       "\"b\"=dword:xyz\n"                       // 5
                       "\"c\"=\"unterminated\n"                  // 6
                       "[HKLM\\SOFTWARE\\Short]\n"               // 7: abbreviated root
                       "\"d\"=\"under a bad section\"\n"         // 8: not reported again
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\n"  // 9
                       "\"e\"=hex:01,\\\n"                       // 10
                       "  zz\n"                                  // 11
                       "\"f\"=\"2\"\n";                          // 12
    std::string path = dir_ / "bad.reg";
    std::string err = LoadRegistry(dir_, "bad.reg", text);
    EXPECT_EQ(err, "orv registry: " + path + ":5: malformed line skipped\n" + "orv registry: " + path +
                       ":6: malformed line skipped\n" + "orv registry: " + path +
                       ":7: malformed line skipped\n" + "orv registry: " + path + ":10: malformed line skipped\n");
    EXPECT_EQ(Read("SOFTWARE\\Acme", "a").status, ERROR_SUCCESS);
    EXPECT_EQ(Read("SOFTWARE\\Acme", "f").status, ERROR_SUCCESS);
    EXPECT_EQ(Read("SOFTWARE\\Acme", "b").status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open("SOFTWARE\\Short"), ERROR_FILE_NOT_FOUND);

    StderrCapture later;  // using the registry again reports nothing more
    Read("SOFTWARE\\Acme", "a");
    EXPECT_EQ(later.Finish(), "");
}

TEST_F(RegistryFile, FileWithoutHeaderReportsItsFirstLine) {
    std::string path = dir_ / "noheader.reg";
    EXPECT_EQ(LoadRegistry(dir_, "noheader.reg", "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme]\n"),
              "orv registry: " + path + ":2: malformed line skipped\n");
}

TEST_F(RegistryFile, MissingOrUnsetFileIsAnEmptyRegistryWithoutMessages) {
    ScopedEnv missing("ORV_REGISTRY_FILE", (dir_ / "absent.reg").c_str());
    orv::platform::ReloadRegistryForTesting();
    StderrCapture capture;
    EXPECT_EQ(Open("SOFTWARE"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(""), ERROR_SUCCESS);  // the root itself is always there
    ClearRegistry();
    EXPECT_EQ(Open("SOFTWARE"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(capture.Finish(), "");
}

}  // namespace
}  // namespace orv::test
