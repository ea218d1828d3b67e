// An application's view of the library: one umbrella header and one link
// target (the shared library here), with the log writer inside it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "velkra.h"

namespace orv {
namespace {

TEST(LibraryLink, SharedLibraryCarriesUtilitiesAndLogWriter) {
    EXPECT_TRUE(InitDefaultLog());  // from the agent, not used by util itself
    Vector* v = NewVector();
    ASSERT_NE(v, nullptr);
    char text[] = "row";
    EXPECT_EQ(AddValue(v, text), 1);
    EXPECT_EQ(ElementAt(v, 0)->element, text);
    FreeVector(v);
    std::free(v);
    FreeLogSettings();
}

TEST(LibraryLink, SharedLibraryCarriesTheDataDictionary) {
    EXPECT_EQ(GetDataTypeCode("INTEGER"), ORV_SQL_INT);
    InitTableDefnList();
    EXPECT_FALSE(LoadDataDictFiles("/nonexistent-velkra-directory"));
    FreeAllTableDefns();
}

}  // namespace
}  // namespace orv
