// Restarting a test database server (scripts/db-servers.sh restart): a
// connection made before the restart breaks, a new one works on the same
// port and finds the data made before. Registered RUN_SERIAL, as every test
// that restarts a server.
#include <gtest/gtest.h>

#include <string>

#include "tests/db/db_context.h"

namespace orv::test {
namespace {

class DbServersRestartTest : public DbTest {};

TEST_P(DbServersRestartTest, ServerComesBackWithItsData) {
    const DbContext& db = Db();
    std::string output;
    if (!db.canRestart) {
        EXPECT_FALSE(RestartDbServer(db, &output));
        return;
    }
    std::string table = TableName("kept");
    OdbcSession before;
    ASSERT_TRUE(before.Connect(db)) << before.LastError();
    ASSERT_TRUE(before.Exec("CREATE TABLE " + table + " (id " + db.types.integer + ")")) << before.LastError();
    ASSERT_TRUE(before.Exec("INSERT INTO " + table + " (id) VALUES (42)")) << before.LastError();

    ASSERT_TRUE(RestartDbServer(db, &output)) << output;

    EXPECT_FALSE(before.Exec("SELECT 1")) << "a connection made before the restart still works";
    OdbcSession after;
    ASSERT_TRUE(after.Connect(db)) << after.LastError();
    EXPECT_EQ(after.Scalar("SELECT id FROM " + table).value_or(""), "42") << after.LastError();
    EXPECT_TRUE(after.Exec(db.DropTableSql(table))) << after.LastError();
}

ORV_INSTANTIATE_DB_TESTS(DbServersRestartTest);

}  // namespace
}  // namespace orv::test
