// Change listeners: event types against row states, table lists, names,
// disabling and removal, and the copy of the row they are given.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "datastore/notification.h"
#include "tests/datastore/relvar_fixture.h"

namespace orv::test {
namespace {

struct Heard {
    std::string listener;
    std::string table;
    uint8_t state;
    std::string name;
};
std::vector<Heard> g_heard;

void Record(IMDSNotification* n, const char* listener) {
    g_heard.push_back({listener, n->tableName, n->row->state,
                       n->row->values[1] ? static_cast<char*>(n->row->values[1]) : "NULL"});
    EXPECT_NE(n->time, nullptr);
    EXPECT_EQ(n->row->next, nullptr);
}

class NotificationTest : public RelvarFixture {
protected:
    void SetUp() override {
        RelvarFixture::SetUp();
        g_heard.clear();
    }
    /* Adds a listener on People with a heap name and a kept table list. */
    void Listen(const char* name, uint8_t eventType, std::vector<const char*> tables = {"People"},
                uint8_t enabled = 1) {
        auto& list = lists_.emplace_back();
        for (const char* t : tables) list.push_back(const_cast<char*>(t));
        list.push_back(nullptr);
        EXPECT_TRUE(AddNotificationListener(strdup(name), eventType, Record, enabled, list.data()));
    }
    std::vector<std::string> Heard(const std::string& listener) {
        std::vector<std::string> out;
        for (const auto& h : g_heard) {
            if (h.listener == listener) out.push_back(h.name + ":" + std::to_string(h.state));
        }
        return out;
    }
    std::vector<std::vector<char*>> lists_;
};

TEST_F(NotificationTest, EventTypesMatchRowStates) {
    Listen("new", kRowNew);
    Listen("stored", kRowStored);
    Listen("all", 0);
    RowObject* fresh = Add({"1", "ann"});
    int32_t age = 5;
    UpdateRowObject("People", fresh, "AGE", &age, 4);  // flags 6
    RowObject* loaded = Add({"2", "bob"});
    loaded->state = kRowStored;
    UpdateRowObject("People", loaded, "AGE", &age, 4);  // flags 5
    EXPECT_EQ(Heard("new"), (std::vector<std::string>{"ann:2", "ann:6", "bob:2"}));
    EXPECT_EQ(Heard("stored"), (std::vector<std::string>{"bob:5"}));
    EXPECT_EQ(Heard("all").size(), 4u);
    EXPECT_TRUE(Logged("[DEBUG] Listener not registered for Eventype 2\n"));
}

TEST_F(NotificationTest, DeletingAStoredRowSendsNothingRemovingANewOneDoes) {
    Listen("all", 0);
    RowObject* loaded = Add({"1", "ann"});
    loaded->state = kRowStored;
    RowObject* fresh = Add({"2", "bob"});
    g_heard.clear();
    EXPECT_TRUE(DeleteRowObject("People", loaded));
    EXPECT_TRUE(g_heard.empty());
    EXPECT_TRUE(DeleteRowObject("People", fresh));
    EXPECT_EQ(Heard("all"), (std::vector<std::string>{"bob:2"}));
}

TEST_F(NotificationTest, NamesTablesAndDisabling) {
    Listen("Watcher", 0, {"B", "a", "People", "D"});
    Listen("WATCHER", 0);  // same name in other case: not added, still true
    EXPECT_TRUE(Logged("[ERROR] Listener with same name exists WATCHER\n"));
    Listen("elsewhere", 0, {"Other"});
    Listen("off", 0, {"People"}, 0);
    Add({"1", "ann"});
    EXPECT_EQ(Heard("Watcher").size(), 1u);
    EXPECT_TRUE(Heard("WATCHER").empty());
    EXPECT_TRUE(Heard("elsewhere").empty());
    EXPECT_TRUE(Heard("off").empty());
    EXPECT_TRUE(Logged("[DEBUG] Listener not registered for People table\n"));
    EXPECT_TRUE(Logged("[DEBUG] Listener off  disabled\n"));
    EXPECT_STREQ(lists_[0][0], "a");  // sorted in place without regard to case
    EXPECT_STREQ(lists_[0][3], "People");

    char* sorted[] = {const_cast<char*>("a"), const_cast<char*>("B"), const_cast<char*>("D"), nullptr};
    EXPECT_TRUE(IsListContains(sorted, "d"));
    EXPECT_FALSE(IsListContains(sorted, "c"));
    EXPECT_TRUE(Logged("[DEBUG] List doesn't contains key \n"));

    EXPECT_TRUE(DisableNotificationListener("watcher"));
    EXPECT_FALSE(DisableNotificationListener("nobody"));
    EXPECT_TRUE(Logged("[ERROR] Listener with name nobody doesn't exists\n"));
    Add({"2", "bob"});
    EXPECT_EQ(Heard("Watcher").size(), 1u);
    EXPECT_TRUE(RemoveNotificationListener("WATCHER"));
    EXPECT_FALSE(RemoveNotificationListener("Watcher"));
}

TEST_F(NotificationTest, TheRowIsACopy) {
    Listen("all", 0);
    RowObject* row = Add({"1", "ann", "", "", "", ""});
    IMDSNotification* n = CreateIMDSNotification(row, "people");
    ASSERT_NE(n, nullptr);
    EXPECT_NE(n->row, row);
    EXPECT_NE(n->row->values[1], row->values[1]);
    EXPECT_STREQ(static_cast<char*>(n->row->values[1]), "ann");
    EXPECT_STREQ(static_cast<char*>(n->row->values[5]), "Oslo");  // the default was filled before
    FreeIMDSNotification(n);
    EXPECT_EQ(CreateIMDSNotification(row, "Nothing"), nullptr);
}

}  // namespace
}  // namespace orv::test
