// Value conversions: OID and IP texts, OID comparison, Counter64 texts,
// DateAndTime octets, HTTP dates, key scrambling, the message queue, the
// number rules and the refusals of bounded buffers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "util/conv_misc.h"
#include "util/conv_number.h"
#include "util/conv_oid.h"
#include "util/conv_time.h"

namespace orv {
namespace {

struct Freed {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using HeapPtr = std::unique_ptr<T, Freed>;

// The sub-identifiers read from text, or the status when it is not n.
std::vector<uint32_t> Read(const char* text, bool isIp, int32_t* status) {
    uint32_t* out = nullptr;
    *status = ConvertToOidOrIpFromString(&out, text, isIp);
    std::vector<uint32_t> ids;
    if (*status > 0) ids.assign(out, out + *status);
    std::free(out);
    return ids;
}

TEST(OidText, ReadsAndWritesTheDottedForm) {
    int32_t status = 0;
    EXPECT_EQ(Read(".1.3.6.1", false, &status), (std::vector<uint32_t>{1, 3, 6, 1}));
    EXPECT_EQ(status, 4);
    const uint32_t ids[] = {1, 3, 6, 1};
    int32_t length = 16;
    HeapPtr<char> text(ConvertToStringFromOID(ids, &length));
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text.get(), ".1.3.6.1");
    EXPECT_EQ(length, 8);
    char buffer[4 * kOidTextPerSubId + 1];
    EXPECT_EQ(ConvertToStringFromOid(ids, 4, buffer), 1);
    EXPECT_STREQ(buffer, ".1.3.6.1");
    const uint32_t big[] = {4294967295u};
    EXPECT_EQ(ConvertToStringFromOidBounded(big, 1, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, ".4294967295");
}

TEST(OidText, RefusesTextsThatBreakTheRules) {
    int32_t status = 0;
    Read("1.3.6.1", false, &status);  // the first piece is then empty
    EXPECT_EQ(status, -1);
    Read("136", false, &status);
    EXPECT_EQ(status, -1);
    Read(".1.x.3", false, &status);
    EXPECT_EQ(status, -1);
    Read(".1.4294967296", false, &status);
    EXPECT_EQ(status, -1);
    Read(".1.-3", false, &status);
    EXPECT_EQ(status, -1);
    EXPECT_TRUE(IsValidOid(".1.3", 4));
    EXPECT_FALSE(IsValidOid(".1", 2));
    EXPECT_FALSE(IsValidOid("1.3.6", 5));
}

TEST(IpText, ReadsAndValidates) {
    int32_t status = 0;
    EXPECT_EQ(Read("10.0.0.1", true, &status), (std::vector<uint32_t>{10, 0, 0, 1}));
    EXPECT_EQ(status, 4);
    EXPECT_TRUE(IsValidIPAddress("10.0.0.1", 8));
    EXPECT_FALSE(IsValidIPAddress("10..0.1", 7));
    EXPECT_FALSE(IsValidIPAddress("10.0.0", 6));
    EXPECT_FALSE(IsValidIPAddress("256.1.1.1", 9));
    EXPECT_FALSE(IsValidIPAddress(".1.2.3", 6));
    EXPECT_FALSE(IsValidIPAddress("1.2.3.x", 7));
    EXPECT_FALSE(IsValidIPAddress("1.2.3.99999999999999999999", 26));
    EXPECT_TRUE(IsValidIPAddress("00.1.2.3", 8));
    EXPECT_TRUE(IsValidIPAddress("1.2.3.", 6));

    const uint32_t ids[] = {1, 3, 192, 168, 0, 7};
    char text[32];
    ConvertToIpAddressFromOid(text, ids, 2, 6);
    EXPECT_STREQ(text, "192.168.0.7");
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_FALSE(ConvertToIpAddressFromOidBounded(small, sizeof small, ids, 2, 6));
    EXPECT_STREQ(small, "");
    EXPECT_TRUE(ConvertToIpAddressFromOidBounded(text, 12, ids, 2, 6));
}

TEST(OidArrays, CompareCopyAndBoundedWrites) {
    const uint32_t a[] = {1, 3, 6};
    const uint32_t b[] = {1, 3, 6, 1};
    const uint32_t c[] = {1, 3, 7};
    const uint32_t big[] = {1, 3, 0x80000000u};
    EXPECT_EQ(CompareOid(a, 3, b, 4), -1);
    EXPECT_EQ(CompareOid(c, 3, b, 4), 1);
    EXPECT_EQ(CompareOid(b, 4, b, 4), 0);
    EXPECT_EQ(CompareOid(big, 3, c, 3), 1);  // unsigned, not signed

    uint32_t dest[4] = {9, 9, 9, 9};
    EXPECT_FALSE(SetNOidBounded(dest, 4, a, 2, 3));
    EXPECT_EQ(dest[2], 9u);
    EXPECT_TRUE(SetNOidBounded(dest, 4, a, 1, 3));
    EXPECT_EQ(dest[3], 6u);
    EXPECT_FALSE(CopyStringToOidBounded(dest, 4, "abcde"));
    EXPECT_EQ(dest[0], 9u);
    EXPECT_TRUE(CopyStringToOidBounded(dest, 4, "ab"));
    EXPECT_EQ(dest[1], static_cast<uint32_t>('b'));
    EXPECT_EQ(CompareOid(b, 4, dest, 2), -1);  // 1 < 97
    EXPECT_EQ(GetNextSubId(b, 4, 3), 6u);
    EXPECT_EQ(GetNextSubId(b, 4, 6), 0u);

    const uint32_t chars[] = {0, 'A' + 255, 'B'};
    char out[3];
    EXPECT_FALSE(ConvertToCharArrayBounded(out, 2, chars, 1, 3));
    EXPECT_TRUE(ConvertToCharArrayBounded(out, 3, chars, 1, 3));
    EXPECT_STREQ(out, "AB");

    uint32_t* copy = nullptr;
    int32_t count = 0;
    EXPECT_EQ(ReallocateAndSetOID(&copy, &count, b, 4), 1);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(CompareOid(copy, count, b, 4), 0);
    std::free(copy);
    EXPECT_FALSE(PrintStream(reinterpret_cast<const uint8_t*>("ab"), 2, "%s"));
    EXPECT_FALSE(PrintStream(reinterpret_cast<const uint8_t*>("ab"), 2, "%d %d"));
    EXPECT_TRUE(PrintStream(reinterpret_cast<const uint8_t*>("ab"), 2, "%02x "));
}

TEST(Counter64, TextsAndOctets) {
    Counter64 value{1, 0};
    HeapPtr<char> text(ConvertToStringFromCounter64(&value));
    EXPECT_STREQ(text.get(), "4294967296");
    Counter64 top{0x80000000u, 0};
    HeapPtr<char> negative(ConvertToStringFromCounter64(&top));
    EXPECT_STREQ(negative.get(), "-9223372036854775808");
    EXPECT_EQ(ConvertToULongLongFromCounter64(1, 2), 4294967298ull);
    Counter64 halves = ConvertToCounter64FromULongLong(0x0102030405060708ull);
    EXPECT_EQ(halves.high, 0x01020304u);
    EXPECT_EQ(halves.low, 0x05060708u);

    const uint8_t nine[] = {0xFF, 1, 2, 3, 4, 5, 6, 7, 8};
    Counter64 read{};
    ASSERT_TRUE(ConvertToCounter64(&read, nine, 9));
    EXPECT_EQ(read.high, 0x01020304u);
    EXPECT_EQ(read.low, 0x05060708u);
    ASSERT_TRUE(ConvertToCounter64(&read, nine + 6, 3));
    EXPECT_EQ(read.high, 0u);
    EXPECT_EQ(read.low, 0x060708u);
    EXPECT_FALSE(ConvertToCounter64(&read, nine, 10));
}

TEST(DateAndTime, TextsBothWays) {
    const uint8_t octets[] = {0x07, 0xE8, 3, 5, 14, 7, 9, 5, '+', 5, 30};
    int32_t length = 11;
    HeapPtr<char> text(ConvertToStringFromDateTime(octets, &length));
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text.get(), "2024-3-5,14:7:9.5,+5:30");
    EXPECT_EQ(length, 23);
    length = 8;
    HeapPtr<char> shortText(ConvertToStringFromDateTime(octets, &length));
    EXPECT_STREQ(shortText.get(), "2024-3-5,14:7:9.5");
    length = 9;  // the long form would read past the octets
    EXPECT_EQ(ConvertToStringFromDateTime(octets, &length), nullptr);

    int32_t outLength = 0;
    HeapPtr<uint8_t> back(ConvertToDateTimeFromString("2024-3-5,14:7:9.5,+5:30", &outLength));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(outLength, 11);
    EXPECT_EQ(std::memcmp(back.get(), octets, 11), 0);
    HeapPtr<uint8_t> eight(ConvertToDateTimeFromString("2024-3-5,14:7:9.5", &outLength));
    ASSERT_NE(eight, nullptr);
    EXPECT_EQ(outLength, 8);
    EXPECT_EQ(std::memcmp(eight.get(), octets, 8), 0);
    EXPECT_EQ(ConvertToDateTimeFromString("2024-3-5,14:7", &outLength), nullptr);
    EXPECT_EQ(ConvertToDateTimeFromString("2024-3-5,14:7:9.5,+5", &outLength), nullptr);
}

TEST(HttpDate, ThreeFormsAndRefusals) {
    HeapPtr<std::tm> rfc1123(ParseDateTime("Sun, 06 Nov 1994 08:49:37 GMT"));
    ASSERT_NE(rfc1123, nullptr);
    EXPECT_EQ(rfc1123->tm_mon, 10);
    EXPECT_EQ(rfc1123->tm_year, 94);
    EXPECT_EQ(rfc1123->tm_mday, 6);
    EXPECT_EQ(rfc1123->tm_hour, 8);
    EXPECT_EQ(rfc1123->tm_min, 49);
    EXPECT_EQ(rfc1123->tm_sec, 37);

    HeapPtr<std::tm> rfc850(ParseDateTime("Sunday, 06-Nov-94 08:49:37 GMT"));
    ASSERT_NE(rfc850, nullptr);
    EXPECT_EQ(rfc850->tm_mon, 10);
    EXPECT_EQ(rfc850->tm_year, 94);

    HeapPtr<std::tm> asc(ParseDateTime("Sun Nov  6 08:49:37 1994"));
    ASSERT_NE(asc, nullptr);
    EXPECT_EQ(asc->tm_mon, 10);
    EXPECT_EQ(asc->tm_year, 94);
    EXPECT_EQ(asc->tm_mday, 6);
    EXPECT_EQ(CompareTime(rfc1123.get(), asc.get()), 1);

    EXPECT_EQ(ParseDateTime("Sun, 06 Foo 1994 08:49:37 GMT"), nullptr);
    EXPECT_EQ(ParseDateTime("nothing like a date"), nullptr);
    EXPECT_EQ(ParseMonth("dEc"), 11);
    EXPECT_EQ(ParseMonth("December"), -1);
}

TEST(HttpDate, LongWordsAreRefusedNotCopied) {
    std::string longDay(5000, 'S');
    EXPECT_EQ(ParseDateTime((longDay + ", 06 Nov 1994 08:49:37 GMT").c_str()), nullptr);
    EXPECT_EQ(ParseDateTime(("Sun, 06 " + longDay + " 1994 08:49:37 GMT").c_str()), nullptr);
    EXPECT_EQ(ParseDateTime(("Sun, 06 Nov 1994 08:49:37 " + longDay).c_str()), nullptr);
    EXPECT_EQ(ParseDateTime(("Sun " + longDay + "  6 08:49:37 1994").c_str()), nullptr);
    // A word within the bound is read.
    HeapPtr<std::tm> ok(ParseDateTime("Wednesday, 09-Nov-94 08:49:37 GMT"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->tm_mday, 9);
    // Numbers beyond the 32-bit range saturate instead of overflowing.
    HeapPtr<std::tm> big(ParseDateTime("Sun, 99999999999999 Nov 1994 08:49:37 GMT"));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->tm_mday, INT32_MAX);
}

TEST(CompareTime, OrdersFieldByField) {
    std::tm a{};
    a.tm_year = 124;
    a.tm_mon = 2;
    a.tm_mday = 5;
    a.tm_hour = 14;
    std::tm b = a;
    EXPECT_EQ(CompareTime(&a, &b), 1);
    b.tm_sec = 1;
    EXPECT_EQ(CompareTime(&a, &b), 0);
    EXPECT_EQ(CompareTime(&b, &a), 1);
    b = a;
    b.tm_mon = 3;
    b.tm_mday = 1;
    EXPECT_EQ(CompareTime(&a, &b), 0);
}

TEST(EncryptDecryptKey, ScramblesAndRestores) {
    uint8_t buffer[] = {0x00, 0x41, 0xFF, 0x10};
    const uint8_t original[] = {0x00, 0x41, 0xFF, 0x10};
    EXPECT_EQ(EncryptDecryptKey(buffer, 4, 7), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(buffer[i], original[i] ^ 16);
    EncryptDecryptKey(buffer, 4, 7);
    EXPECT_EQ(std::memcmp(buffer, original, 4), 0);

    EncryptDecryptKey(buffer, 4, 300);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(buffer[i], original[i] ^ (309 % 255));
    EncryptDecryptKey(buffer, 4, 300);
    EXPECT_EQ(std::memcmp(buffer, original, 4), 0);

    EncryptDecryptKey(buffer, 4, 2147483647);  // beyond the range: low 8 bits
    EXPECT_EQ(buffer[0], static_cast<uint8_t>(2147483656u & 0xFF));
    EncryptDecryptKey(buffer, 4, 2147483647);
    EXPECT_EQ(std::memcmp(buffer, original, 4), 0);
}

TEST(MessageQueue, FirstInFirstOut) {
    Vector queue{};
    InitVector(&queue);
    int a = 1, b = 2;
    EXPECT_EQ(AddRcvdMsgToQueue(&queue, &a), 1);
    EXPECT_EQ(AddRcvdMsgToQueue(&queue, &b), 1);
    EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), &a);
    EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), &b);
    EXPECT_EQ(ReadMsgFromQueueForProcessing(&queue), nullptr);
    EXPECT_EQ(queue.count, 0);
    EXPECT_EQ(queue.tail, nullptr);
    EXPECT_EQ(ReadMsgFromQueueForProcessing(nullptr), nullptr);
}

TEST(IsDirectory, TellsDirectoriesFromFiles) {
    int queueless = 0;
    auto dir = std::filesystem::temp_directory_path() / ("orv_isdir_" + std::to_string(reinterpret_cast<uintptr_t>(&queueless)));
    std::filesystem::create_directories(dir);
    auto file = dir / "f.txt";
    { std::FILE* f = std::fopen(file.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
    EXPECT_EQ(IsDirectory(dir.c_str()), 1);
    EXPECT_EQ(IsDirectory(file.c_str()), 0);
    EXPECT_EQ(IsDirectory((dir / "missing").c_str()), 0);
    EXPECT_EQ(IsDirectory(nullptr), 0);
    std::filesystem::remove_all(dir);
}

TEST(Numbers, TextRulesHexAndBytes) {
    EXPECT_EQ(ConvertTextToInteger("+42"), 42);
    EXPECT_EQ(ConvertTextToInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(ConvertTextToInteger("2147483648"), -1);
    EXPECT_EQ(ConvertTextToInteger("4x"), -1);
    EXPECT_EQ(ConvertTextToInteger("-"), -1);
    EXPECT_EQ(ConvertTextToInteger(""), -1);
    EXPECT_TRUE(IsNumberText("-3.25"));
    EXPECT_FALSE(IsNumberText("1.2.3"));
    EXPECT_FALSE(IsNumberText("."));
    EXPECT_DOUBLE_EQ(ConvertTextToDouble("-3.25"), -3.25);
    EXPECT_DOUBLE_EQ(ConvertTextToDouble("1e5"), -1);

    const uint8_t bytes[] = {0xFF, 0xFE, 0x01, 0x02, 0x03};
    EXPECT_EQ(ConvertToInteger(bytes, 2), -2);
    EXPECT_EQ(ConvertToInteger(bytes, 5), -1);
    EXPECT_EQ(ConvertToUnsignedInteger(bytes, 2), 0xFFFEu);

    int32_t min = INT32_MIN;
    HeapPtr<char> minText(ConvertToStringFromInteger(&min));
    EXPECT_STREQ(minText.get(), "-2147483648");
    uint32_t max = UINT32_MAX;
    int32_t digits = 0;
    HeapPtr<char> maxText(ConvertToStringFromUnsignedInteger(&max, &digits));
    EXPECT_STREQ(maxText.get(), "4294967295");
    EXPECT_EQ(digits, 10);
    HeapPtr<char> yes(ToString(&max, 1));
    HeapPtr<char> no(ToString(nullptr, 1));
    EXPECT_STREQ(yes.get(), "TRUE");
    EXPECT_STREQ(no.get(), "FALSE");
    EXPECT_EQ(ToString(&max, 2), nullptr);

    EXPECT_EQ(GetHexValue('b'), 11);
    EXPECT_EQ(GetHexValue('z'), 'z');
    EXPECT_EQ(ConvertToDecimalFromHexa('z'), 0);
    char hex[] = "0aFf7";
    ConvertToHexValue(hex, 5);
    EXPECT_EQ(static_cast<uint8_t>(hex[0]), 0x0A);
    EXPECT_EQ(static_cast<uint8_t>(hex[1]), 0xFF);
    EXPECT_EQ(hex[4], '7');  // the odd digit is left alone
    const uint8_t in[] = {0xA5, 0x0F};
    uint8_t nibbles[4] = {};
    EXPECT_FALSE(ConvertToStringFromHexBounded(in, 2, nibbles, 3));
    EXPECT_TRUE(ConvertToStringFromHexBounded(in, 2, nibbles, 4));
    EXPECT_EQ(nibbles[0], 0x0A);
    EXPECT_EQ(nibbles[1], 0x05);
    EXPECT_EQ(nibbles[3], 0x0F);
}

}  // namespace
}  // namespace orv
