/*
 * A fixture whose log is a real file at TRACE level in a fresh directory,
 * read back by the tests, and whose table definition list starts empty.
 */
#ifndef ORV_TESTS_DATASTORE_LOG_FIXTURE_H
#define ORV_TESTS_DATASTORE_LOG_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "agent/log.h"
#include "datastore/table_defn.h"
#include "tests/support/test_support.h"

namespace orv::test {

class LogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InitDefaultLog());
        ASSERT_TRUE(ConfigureLog("datastore.log", dir_.path().c_str(), 100000000, 4));
        ASSERT_TRUE(OpenLogTruncate());
        InitTableDefnList();
    }
    void TearDown() override {
        FreeAllTableDefns();
        CloseLog();
        FreeLogSettings();
    }
    /* The log so far. */
    std::string Log() {
        fflush(gv_logFilePtr);
        return ReadFile(dir_ / "datastore.log");
    }
    bool Logged(const std::string& text) { return Log().find(text) != std::string::npos; }
    /* How often text occurs in the log. */
    int CountLogged(const std::string& text) {
        std::string log = Log();
        int n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size())) ++n;
        return n;
    }
    TempDir dir_;
};

}  // namespace orv::test

#endif
