// The vector's chain bookkeeping: order, head and tail after each change,
// refused indexes, merge and clone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "util/vector.h"

namespace orv {
namespace {

// The elements in chain order, checking the invariants on the way.
std::vector<void*> Elements(const Vector& v) {
    std::vector<void*> out;
    VectorNode* last = nullptr;
    for (VectorNode* n = v.head; n != nullptr; n = n->next) {
        out.push_back(n->element);
        last = n;
    }
    EXPECT_EQ(static_cast<size_t>(v.count), out.size());
    EXPECT_EQ(v.tail, last);
    return out;
}

VectorNode* NewNode(void* element) {
    auto* node = static_cast<VectorNode*>(std::calloc(1, sizeof(VectorNode)));
    node->element = element;
    return node;
}

class VectorTest : public ::testing::Test {
protected:
    void SetUp() override { InitVector(&v_); }
    void TearDown() override { FreeVector(&v_); }
    Vector v_{};
    int a_ = 1, b_ = 2, c_ = 3, d_ = 4;
};

TEST_F(VectorTest, NewVectorIsEmpty) {
    Vector* v = NewVector();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->count, 0);
    EXPECT_EQ(ElementAt(v, 0), nullptr);
    FreeVector(v);
    std::free(v);
}

TEST_F(VectorTest, AddValueKeepsCallOrderAndDeleteAtEndMovesTail) {
    AddValue(&v_, &a_);
    AddValue(&v_, &b_);
    AddValue(&v_, &c_);
    EXPECT_EQ(Elements(v_), (std::vector<void*>{&a_, &b_, &c_}));
    EXPECT_EQ(ElementAt(&v_, 1)->element, &b_);

    EXPECT_EQ(DeleteElementAt(&v_, 2), 1);
    EXPECT_EQ(v_.tail->element, &b_);
    AddValue(&v_, &d_);
    EXPECT_EQ(Elements(v_), (std::vector<void*>{&a_, &b_, &d_}));
}

TEST_F(VectorTest, DeleteAtRefusesIndexesOutsideTheChain) {
    AddValue(&v_, &a_);
    AddValue(&v_, &b_);
    AddValue(&v_, &c_);
    EXPECT_EQ(DeleteElementAt(&v_, 3), 0);
    EXPECT_EQ(DeleteElementAt(&v_, -1), 0);
    EXPECT_EQ(Elements(v_), (std::vector<void*>{&a_, &b_, &c_}));
    EXPECT_EQ(ElementAt(&v_, 3), nullptr);
}

TEST_F(VectorTest, DeleteHeadAndOnlyNodeClearsHeadAndTail) {
    AddValue(&v_, &a_);
    AddValue(&v_, &b_);
    EXPECT_TRUE(DeleteElement(&v_, v_.head));
    EXPECT_EQ(Elements(v_), (std::vector<void*>{&b_}));
    EXPECT_TRUE(DeleteElement(&v_, v_.head));
    EXPECT_EQ(v_.head, nullptr);
    EXPECT_EQ(v_.tail, nullptr);
    EXPECT_FALSE(DeleteElement(&v_, nullptr));  // empty vector
}

TEST_F(VectorTest, DeleteByIdentityOfLastOrForeignNode) {
    AddValue(&v_, &a_);
    AddValue(&v_, &b_);
    AddValue(&v_, &c_);
    VectorNode stranger{&b_, nullptr};
    EXPECT_TRUE(DeleteElement(&v_, &stranger));  // not in it: nothing changes
    EXPECT_EQ(v_.count, 3);
    EXPECT_TRUE(DeleteElement(&v_, v_.tail));
    EXPECT_EQ(v_.tail->element, &b_);
    AddValue(&v_, &d_);
    EXPECT_EQ(Elements(v_), (std::vector<void*>{&a_, &b_, &d_}));
}

TEST_F(VectorTest, InsertAtFrontMiddleAndEnd) {
    AddValue(&v_, &b_);
    EXPECT_TRUE(InsertElementAt(&v_, NewNode(&a_), 0));
    EXPECT_TRUE(InsertElementAt(&v_, NewNode(&d_), 2));  // count: appends
    EXPECT_EQ(v_.tail->element, &d_);
    EXPECT_TRUE(InsertElementAt(&v_, NewNode(&c_), 2));
    EXPECT_EQ(Elements(v_), (std::vector<void*>{&a_, &b_, &c_, &d_}));

    VectorNode* spare = NewNode(&a_);
    EXPECT_FALSE(InsertElementAt(&v_, spare, 5));  // count + 1
    EXPECT_FALSE(InsertElementAt(&v_, spare, -1));
    std::free(spare);
    EXPECT_EQ(v_.count, 4);
}

TEST_F(VectorTest, DeleteByPointerMatchesAddressNotContents) {
    char first[] = "same";
    char second[] = "same";
    AddValue(&v_, second);
    AddValue(&v_, first);
    AddValue(&v_, first);
    EXPECT_TRUE(DeleteLCDVector(&v_, first));
    EXPECT_EQ(Elements(v_), (std::vector<void*>{second, first}));
    char other[] = "same";
    EXPECT_FALSE(DeleteLCDVector(&v_, other));
    EXPECT_EQ(v_.count, 2);
}

TEST_F(VectorTest, GetNthWalksFromTheStartNode) {
    AddValue(&v_, &a_);
    AddValue(&v_, &b_);
    AddValue(&v_, &c_);
    EXPECT_EQ(GetNthElement(&v_, 1, v_.head)->element, &b_);
    EXPECT_EQ(GetNthElement(&v_, 2, v_.head->next), nullptr);  // chain ends first
    EXPECT_EQ(GetNthElement(&v_, 3, v_.head), nullptr);
    EXPECT_EQ(GetNthElement(&v_, -1, v_.head), nullptr);
}

int8_t CompareInts(const VectorNode* fresh, const VectorNode* present) {
    int x = *static_cast<int*>(fresh->element);
    int y = *static_cast<int*>(present->element);
    return static_cast<int8_t>((x > y) - (x < y));
}

TEST_F(VectorTest, CompareRoutineOrdersAndRefusesEqualElements) {
    VectorCompareHolder holder{CompareInts};
    Vector sorted{};
    InitVector(&sorted, &holder);
    int twin = 2;
    EXPECT_EQ(AddValue(&sorted, &c_), 1);
    EXPECT_EQ(AddValue(&sorted, &a_), 1);
    EXPECT_EQ(AddValue(&sorted, &d_), 1);
    EXPECT_EQ(AddValue(&sorted, &b_), 1);
    EXPECT_EQ(AddValue(&sorted, &twin), 0);
    EXPECT_EQ(Elements(sorted), (std::vector<void*>{&a_, &b_, &c_, &d_}));
    FreeVector(&sorted);
}

TEST_F(VectorTest, MergeAppendsSourceInOrderAndEmptiesIt) {
    Vector source{};
    InitVector(&source);
    AddValue(&v_, &a_);
    AddValue(&source, &b_);
    AddValue(&source, &c_);
    EXPECT_EQ(MergeVector(&v_, &source), 1);
    EXPECT_EQ(Elements(v_), (std::vector<void*>{&a_, &b_, &c_}));
    EXPECT_EQ(source.count, 0);
    EXPECT_EQ(source.head, nullptr);

    EXPECT_EQ(MergeVector(&v_, &v_), 1);  // into itself: unchanged
    EXPECT_EQ(v_.count, 3);
}

TEST_F(VectorTest, CloneCopiesTextsToNewAddressesInOrder) {
    char one[] = "one";
    char two[] = "two";
    AddValue(&v_, one);
    AddValue(&v_, two);
    Vector* clone = CloneVector(&v_);
    ASSERT_NE(clone, nullptr);
    std::vector<void*> copies = Elements(*clone);
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_STREQ(static_cast<char*>(copies[0]), "one");
    EXPECT_STREQ(static_cast<char*>(copies[1]), "two");
    EXPECT_NE(copies[0], static_cast<void*>(one));
    EXPECT_NE(copies[1], static_cast<void*>(two));
    // FreeVector leaves the elements: the texts are still ours to free.
    FreeVector(clone);
    EXPECT_EQ(clone->count, 0);
    std::free(copies[0]);
    std::free(copies[1]);
    std::free(clone);
    EXPECT_EQ(CloneVector(nullptr), nullptr);
}

}  // namespace
}  // namespace orv
