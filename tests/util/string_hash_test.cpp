// The string hash table: bucket index, chains, removal within a chain,
// default bucket count, keys listing and merge.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "util/string_hash.h"

namespace orv {
namespace {

class StringHashTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(HashInit(&table_, 7)); }
    void TearDown() override { HashFree(&table_); }
    StringHashTable table_{};
    int one_ = 1, two_ = 2, three_ = 3;
};

TEST(StringHashIndex, FollowsTheBase26Rule) {
    // "ab": ((0*26 + 97) % 7 * 26 + 98) % 7 = (6*26 + 98) % 7 = 254 % 7 = 2
    EXPECT_EQ(HashBucketIndex("ab", 7), 2u);
    EXPECT_EQ(HashBucketIndex("", 7), 0u);
    // Bytes count as unsigned: 0xFF is 255, not -1.
    EXPECT_EQ(HashBucketIndex("\xff", 1000), 255u);
    // A large bucket count must not overflow the running index.
    const uint32_t big = 4294967291u;
    uint64_t expected = 0;
    for (unsigned char c : std::string("zzzzzzzzzzzzzzzz")) {
        expected = (expected * 26 + c) % big;
    }
    EXPECT_EQ(HashBucketIndex("zzzzzzzzzzzzzzzz", big), expected);
}

TEST(StringHashInit, ZeroBucketsGivesTen) {
    StringHashTable t{};
    ASSERT_TRUE(HashInit(&t, 0));
    EXPECT_EQ(t.bucketCount, 10u);
    EXPECT_TRUE(HashPut(&t, "k", nullptr));
    EXPECT_TRUE(HashContains(&t, "k"));
    HashFree(&t);
    EXPECT_EQ(t.buckets, nullptr);
    EXPECT_FALSE(HashContains(&t, "k"));  // freed table answers, does not crash
}

TEST_F(StringHashTest, PutTwiceKeepsOneEntryWithSecondValue) {
    EXPECT_TRUE(HashPut(&table_, "key", &one_));
    EXPECT_TRUE(HashPut(&table_, "key", &two_));
    EXPECT_EQ(HashCount(&table_), 1u);
    EXPECT_EQ(HashGet(&table_, "key"), &two_);
    EXPECT_EQ(HashGet(&table_, "KEY"), nullptr);  // case matters
}

TEST_F(StringHashTest, KeyIsCopied) {
    char key[] = "abc";
    HashPut(&table_, key, &one_);
    key[0] = 'x';
    EXPECT_TRUE(HashContains(&table_, "abc"));
    EXPECT_FALSE(HashContains(&table_, "xbc"));
    StringHashEntry* entry = HashGetEntry(&table_, "abc");
    ASSERT_NE(entry, nullptr);
    EXPECT_NE(entry->key, key);
}

TEST_F(StringHashTest, RemovingOnlyKeyEmptiesBucketAndAllowsPutAgain) {
    HashPut(&table_, "solo", &one_);
    EXPECT_TRUE(HashRemove(&table_, "solo"));
    EXPECT_FALSE(HashContains(&table_, "solo"));
    EXPECT_FALSE(HashRemove(&table_, "solo"));
    EXPECT_EQ(HashCount(&table_), 0u);
    EXPECT_TRUE(HashPut(&table_, "solo", &two_));
    EXPECT_EQ(HashGet(&table_, "solo"), &two_);
}

TEST_F(StringHashTest, RemovalWithinAChainKeepsTheOthers) {
    // With one bucket every key shares one chain.
    StringHashTable t{};
    ASSERT_TRUE(HashInit(&t, 1));
    HashPut(&t, "first", &one_);
    HashPut(&t, "second", &two_);
    HashPut(&t, "third", &three_);

    EXPECT_TRUE(HashRemove(&t, "second"));  // middle of the chain
    EXPECT_EQ(HashGet(&t, "first"), &one_);
    EXPECT_EQ(HashGet(&t, "third"), &three_);

    EXPECT_TRUE(HashRemove(&t, "first"));  // head with a successor
    EXPECT_EQ(HashGet(&t, "third"), &three_);
    EXPECT_EQ(HashCount(&t), 1u);

    EXPECT_TRUE(HashPut(&t, "fourth", &one_));
    EXPECT_TRUE(HashRemove(&t, "fourth"));  // tail
    EXPECT_EQ(HashCount(&t), 1u);
    HashFree(&t);
}

TEST_F(StringHashTest, KeysListsEveryKeyAndEndsWithNull) {
    char** none = HashKeys(&table_);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none[0], nullptr);
    std::free(none);

    HashPut(&table_, "a", &one_);
    HashPut(&table_, "b", &two_);
    HashPut(&table_, "h", &three_);  // 'h' % 7 == 'a' % 7: same bucket as "a"
    char** keys = HashKeys(&table_);
    ASSERT_NE(keys, nullptr);
    // Bucket order, then chain order: "b" is in bucket 0, "a" then "h" in 6.
    ASSERT_STREQ(keys[0], "b");
    ASSERT_STREQ(keys[1], "a");
    ASSERT_STREQ(keys[2], "h");
    EXPECT_EQ(keys[3], nullptr);
    EXPECT_EQ(keys[1], HashGetEntry(&table_, "a")->key);  // pointers, not copies
    std::free(keys);
}

TEST_F(StringHashTest, MergeAddsMissingKeysAndKeepsTargetValues) {
    StringHashTable source{};
    ASSERT_TRUE(HashInit(&source, 3));
    HashPut(&source, "shared", &one_);
    HashPut(&source, "new", &two_);
    HashPut(&table_, "shared", &three_);

    EXPECT_TRUE(HashMerge(&source, &table_));
    EXPECT_EQ(HashGet(&table_, "shared"), &three_);
    EXPECT_EQ(HashGet(&table_, "new"), &two_);
    EXPECT_EQ(HashCount(&table_), 2u);
    EXPECT_FALSE(HashMerge(nullptr, &table_));
    EXPECT_FALSE(HashMerge(&source, nullptr));
    HashFree(&source);
}

}  // namespace
}  // namespace orv
