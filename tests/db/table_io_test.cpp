// Loading relvars from the test databases and saving them back: the load
// list and its look-up, whole tables and select statements, a column count
// that differs from the definition, views, unloading; saving by row state,
// a failed insert retried by the next save, a commit that fails, the save
// list, and default data documents with rows of 60 tables.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "persist/table_io.h"
#include "tests/db/db_context.h"
#include "tests/db/library_session.h"
#include "tests/support/test_support.h"

namespace orv::test {
namespace {

/* The library keeps the root text itself: every root of this process
 * stays. */
const char* KeptRoot(const std::string& root) {
    static std::deque<std::string>* roots = new std::deque<std::string>();
    roots->push_back(root);
    return roots->back().c_str();
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

const std::vector<TestColumn> kItemColumns = {
    {"ITEMID", ORV_SQL_INT},
    {"ITEMNAME", ORV_SQL_CHAR, 40},
    {"QTY", ORV_SQL_INT},
};

/* The working directory is <base>/run, so that "..\data\" is <base>/data
 * (absent unless a test makes it); the root is <base>/root. */
class TableIoTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldCwd_ = cwd;
        MakeDirectoryPath((base_ / "run").c_str());
        MakeDirectoryPath((base_ / "root/data").c_str());
        MakeDirectoryPath((base_ / "log").c_str());
        ASSERT_EQ(chdir((base_ / "run").c_str()), 0);
        std::string error;
        ASSERT_TRUE(session_.Start(Db(), base_ / "log", &error)) << error << "\n" << LogText();
        SetVelkraRoot(KeptRoot(base_ / "root"));
        ASSERT_TRUE(sql_.Connect(Db())) << sql_.LastError();
    }
    void TearDown() override {
        session_.Stop();
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) sql_.Exec(Db().DropTableSql(*it));
        if (!oldCwd_.empty()) {
            EXPECT_EQ(chdir(oldCwd_.c_str()), 0);
        }
    }

    std::string LogText() const { return ReadFile(base_ / "log/velkra.log"); }
    bool Logged(const std::string& text) const { return LogText().find(text) != std::string::npos; }

    /* A defined table, created in the database by its generated statement. */
    std::string ItemTable(const std::string& base, const std::vector<TestColumn>& columns = kItemColumns) {
        std::string table = TableName(base);
        EXPECT_TRUE(session_.Define(table, columns));
        created_.push_back(table);
        EXPECT_TRUE(session_.CreateInDatabase(table)) << LogText();
        return table;
    }
    void InsertItems(const std::string& table, int from, int to) {
        for (int i = from; i <= to; ++i) {
            ASSERT_TRUE(sql_.Exec("insert into " + table + " values (" + std::to_string(i) + ", 'item " +
                                  std::to_string(i) + "', " + std::to_string(i * 10) + ")"))
                << sql_.LastError();
        }
    }
    /* The ITEMIDs in the database, in order. */
    std::vector<int> DbIds(const std::string& table) {
        std::vector<OdbcSession::Row> rows;
        EXPECT_TRUE(sql_.Query("select ITEMID from " + table + " order by ITEMID", &rows)) << sql_.LastError();
        std::vector<int> ids;
        for (const auto& row : rows) ids.push_back(row[0] ? std::stoi(*row[0]) : -1);
        return ids;
    }
    std::vector<int> MemIds(const std::string& table) {
        std::vector<int> ids;
        for (RowObject* row : RowsOf(table)) ids.push_back(IntAt(row, 0));
        return ids;
    }
    std::vector<int> MemStates(const std::string& table) {
        std::vector<int> states;
        for (RowObject* row : RowsOf(table)) states.push_back(row->state);
        return states;
    }
    void AddItem(const std::string& table, int id, const char* name = "new") {
        std::string text = std::to_string(id);
        RowObject* row = MakeRow(table, {text.c_str(), name, "1"});
        ASSERT_NE(row, nullptr);
        ASSERT_TRUE(AddNewRow(table.c_str(), row));
    }

    TempDir base_;
    std::string oldCwd_;
    LibrarySession session_;
    OdbcSession sql_;
    std::vector<std::string> created_;
};

TEST_P(TableIoTest, LoadListLoadsTheSelectedRowsOrTheWholeTable) {
    std::string orders = ItemTable("orders");
    std::string parts = ItemTable("parts");
    InsertItems(orders, 1, 10);
    InsertItems(parts, 1, 10);
    WriteFile(base_ / "root/data/loadtablelist.txt",
              orders + " select * from " + orders + " where ITEMID > 5\n" + parts + " all\n");
    ASSERT_TRUE(LoadAllTables()) << LogText();
    EXPECT_EQ(MemIds(orders), (std::vector<int>{6, 7, 8, 9, 10}));
    EXPECT_EQ(MemIds(parts), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    for (int state : MemStates(orders)) EXPECT_EQ(state, kRowStored);
    const std::string log = LogText();
    EXPECT_NE(log.find("[TRACE] \t@@@@@ Inside LoadAllTables() @@@@@\n"), std::string::npos);
    EXPECT_NE(log.find("Opening " + (base_ / "root/data/loadtablelist.txt")), std::string::npos);
    EXPECT_NE(log.find("LOADTABLE_QUERY : select * from " + orders + " where ITEMID > 5\n"), std::string::npos);
    EXPECT_NE(log.find("LOADTABLE : " + parts + "\n"), std::string::npos);
    EXPECT_NE(log.find("\nSelect Query  : select * from " + orders), std::string::npos);
    EXPECT_NE(log.find("\nLoading Table : " + parts + "\n"), std::string::npos);
    // The row texts came through.
    TableData* relvar = GetTableDataByName(orders.c_str());
    ASSERT_NE(relvar, nullptr);
    EXPECT_STREQ(static_cast<const char*>(relvar->firstRow->values[1]), "item 6");
    EXPECT_EQ(IntAt(relvar->firstRow, 2), 60);
}

TEST_P(TableIoTest, TheListIsLookedForUnderDataFirstAndLinesAreBounded) {
    std::string first = ItemTable("first");
    std::string second = ItemTable("second");
    InsertItems(first, 1, 2);
    InsertItems(second, 1, 3);

    EXPECT_FALSE(LoadAllTables());
    EXPECT_TRUE(Logged("[ERROR] Cannot open LoadTableList Entry File.\n"));
    EXPECT_FALSE(LoadAllTablesFromFile((base_ / "nowhere.txt").c_str()));

    MakeDirectoryPath((base_ / "data").c_str());
    WriteFile(base_ / "data/loadtablelist.txt", first + "\r\n");
    WriteFile(base_ / "root/data/loadtablelist.txt", second + "\n");
    ASSERT_TRUE(LoadAllTables());
    EXPECT_EQ(MemIds(first), (std::vector<int>{1, 2}));
    EXPECT_EQ(GetTableDataByName(second.c_str()), nullptr);

    // A line over 254 characters is refused whole; one of 254 is read.
    ASSERT_TRUE(UnLoadAllTable());
    std::string longest = second + " ";
    longest += std::string(254 - longest.size(), 'w');
    ASSERT_EQ(longest.size(), 254u);
    std::string tooLong = first + " select " + std::string(300, 'x');
    WriteFile(base_ / "list.txt", tooLong + "\n" + longest + "\nnosuch\n" + first + ";drop\n\n");
    ASSERT_TRUE(LoadAllTablesFromFile((base_ / "list.txt").c_str()));
    EXPECT_EQ(GetTableDataByName(first.c_str()), nullptr);
    EXPECT_EQ(MemIds(second), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(Logged("Line longer than 254 characters in " + (base_ / "list.txt") + " refused"));
    EXPECT_TRUE(Logged("[ERROR] Error in getting Table Definition for nosuch\n"));
    EXPECT_TRUE(Logged("[ERROR] Error in getting Table Definition for " + first + ";drop\n"));
}

TEST_P(TableIoTest, ATableWhoseColumnsDifferFromItsDefinitionIsNotLoaded) {
    std::string narrow = TableName("narrow");
    ASSERT_TRUE(session_.Define(narrow, {{"ITEMID", ORV_SQL_INT}, {"ITEMNAME", ORV_SQL_CHAR, 40}}));
    created_.push_back(narrow);
    ASSERT_TRUE(sql_.Exec("create table " + narrow + " (ITEMID " + Db().types.integer + " primary key, ITEMNAME " +
                          Db().types.Varchar(40) + ", EXTRA " + Db().types.integer + ")"))
        << sql_.LastError();
    ASSERT_TRUE(sql_.Exec("insert into " + narrow + " values (1, 'a', 2)"));
    EXPECT_FALSE(LoadTable(narrow.c_str()));
    EXPECT_TRUE(Logged("[ERROR] \nLoadTable Failed for " + narrow +
                       " table as there is mismatch between table definition in datadictionary and actual table in "
                       "database\n"));
    EXPECT_EQ(GetTableDataByName(narrow.c_str()), nullptr);
    // A statement naming the columns loads them.
    EXPECT_TRUE(LoadTableByQuery(narrow.c_str(), ("select ITEMID, ITEMNAME from " + narrow).c_str()));
    EXPECT_EQ(MemIds(narrow), (std::vector<int>{1}));
}

TEST_P(TableIoTest, LoadingTwiceUnloadingAndReloading) {
    std::string items = ItemTable("items");
    InsertItems(items, 1, 4);
    ASSERT_TRUE(LoadTable(items.c_str())) << LogText();
    EXPECT_FALSE(LoadTable(items.c_str()));
    EXPECT_TRUE(Logged("[ERROR] CreateTable Failed \n"));
    EXPECT_FALSE(LoadTable("undefined_table"));
    EXPECT_TRUE(UnLoadTable(items.c_str()));
    EXPECT_FALSE(UnLoadTable(items.c_str()));
    EXPECT_TRUE(Logged("[TRACE] \t@@@@@ UnLoadTable() @@@@@\n"));

    EXPECT_FALSE(LoadTableByQuery(items.c_str(), ("select * from no_such_" + items).c_str()));
    EXPECT_TRUE(Logged("[ERROR] Error in executing select query \n"));
    ASSERT_NE(GetTableDataByName(items.c_str()), nullptr);  // left empty
    EXPECT_TRUE(MemIds(items).empty());

    WriteFile(base_ / "root/data/loadtablelist.txt", items + "\n");
    ASSERT_TRUE(ReloadTableData());
    EXPECT_EQ(MemIds(items), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(UnLoadAllTable());
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside UnLoadAllTable @@@\n"));
    EXPECT_EQ(gv_tableDataVect->count, 0);
}

TEST_P(TableIoTest, AViewTakesEveryColumnOfItsTable) {
    std::string items = ItemTable("viewed");
    InsertItems(items, 1, 6);
    const std::string view = "SmallItems";
    ASSERT_TRUE(LoadViewByQuery(view.c_str(), items.c_str(),
                                ("select * from " + items + " where ITEMID <= 3 order by ITEMID").c_str()))
        << LogText();
    TableData* relvar = GetTableDataByName(view.c_str());
    ASSERT_NE(relvar, nullptr);
    EXPECT_EQ(relvar->kind, kRelvarView);
    EXPECT_EQ(relvar->columnCount, 3);
    EXPECT_EQ(MemIds(view), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(Logged("[TRACE] \nLoading View Data : SmallItems\n"));
    EXPECT_TRUE(Logged("[TRACE] ITEMNAME\t"));
    // Views are not saved.
    EXPECT_FALSE(SaveTable(view.c_str()));
    EXPECT_FALSE(LoadViewByQuery("Other", items.c_str(), "select * from nowhere_at_all"));
    EXPECT_EQ(GetTableDataByName("Other"), nullptr);
}

TEST_P(TableIoTest, SavingWritesOnlyWhatChangedByRowState) {
    std::string items = ItemTable("saved");
    InsertItems(items, 1, 3);
    ASSERT_TRUE(LoadTable(items.c_str()));
    std::vector<RowObject*> rows = RowsOf(items);
    ASSERT_EQ(rows.size(), 3u);
    int32_t qty = 777;
    ASSERT_TRUE(UpdateRowObject(items.c_str(), rows[0], "QTY", &qty, 4));
    ASSERT_TRUE(DeleteRowObject(items.c_str(), rows[1]));
    EXPECT_EQ(rows[1]->state, kRowStored | kRowDeleted);
    AddItem(items, 4);
    AddItem(items, 5);
    ASSERT_TRUE(DeleteRowObject(items.c_str(), RowsOf(items).back()));  // new, then deleted: gone at once
    EXPECT_EQ(MemIds(items), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(MemStates(items), (std::vector<int>{5, 9, 1, 2}));

    ASSERT_TRUE(SaveTable(items.c_str())) << LogText();
    EXPECT_EQ(DbIds(items), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(sql_.Scalar("select QTY from " + items + " where ITEMID = 1").value_or(""), "777");
    EXPECT_EQ(MemIds(items), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(MemStates(items), (std::vector<int>{1, 1, 1}));
    const std::string log = LogText();
    EXPECT_NE(log.find("[TRACE] @@@ Inside SaveTable @@@\n"), std::string::npos);
    EXPECT_EQ(log.find("Error in executing update query"), std::string::npos);
    EXPECT_EQ(Count(log, "Generated Insert Query"), 1u);
    EXPECT_EQ(Count(log, "Generated Update Query"), 1u);
    EXPECT_EQ(Count(log, "Generated Delete Query"), 1u);

    // Nothing changed: nothing written.
    ASSERT_TRUE(SaveTable(items.c_str()));
    EXPECT_EQ(Count(LogText(), "Generated Insert Query"), 1u);
    EXPECT_FALSE(SaveTable("no_such_relvar"));
}

TEST_P(TableIoTest, AFailedInsertStaysNewWhileTheOthersApplyAndTheNextSaveRetriesIt) {
    std::string items = ItemTable("retried");
    ASSERT_TRUE(sql_.Exec("insert into " + items + " values (7, 'there first', 0)"));
    ASSERT_TRUE(CreateTable(items.c_str()));
    for (int id : {6, 7, 8}) AddItem(items, id, "mine");
    ASSERT_TRUE(SaveTable(items.c_str())) << LogText();
    EXPECT_EQ(DbIds(items), (std::vector<int>{6, 7, 8})) << LogText();
    EXPECT_EQ(MemStates(items), (std::vector<int>{1, 2, 1}));
    EXPECT_TRUE(Logged("[ERROR] Error in executing update query \n"));
    EXPECT_TRUE(Logged("[ERROR] QUERY : insert into"));
    EXPECT_TRUE(Logged(items + " values(7,'mine',1)"));
    EXPECT_EQ(sql_.Scalar("select ITEMNAME from " + items + " where ITEMID = 7").value_or(""), "there first");

    ASSERT_TRUE(sql_.Exec("delete from " + items + " where ITEMID = 7"));
    ASSERT_TRUE(SaveTable(items.c_str()));
    EXPECT_EQ(MemStates(items), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(sql_.Scalar("select ITEMNAME from " + items + " where ITEMID = 7").value_or(""), "mine");
}

TEST_P(TableIoTest, ManyFailingRowsStillLeaveTheOthersWritten) {
    std::string items = ItemTable("manyfail");
    ASSERT_TRUE(CreateTable(items.c_str()));
    std::vector<int> expected;
    for (int id = 1; id <= 30; ++id) {
        if (id % 2 == 0) {
            ASSERT_TRUE(sql_.Exec("insert into " + items + " values (" + std::to_string(id) + ", 'theirs', 0)"));
        }
        AddItem(items, id, "mine");
    }
    ASSERT_TRUE(SaveTable(items.c_str()));
    EXPECT_TRUE(Logged("statements failed; the others run one at a time"));
    std::vector<int> states = MemStates(items);
    ASSERT_EQ(states.size(), 30u);
    for (int id = 1; id <= 30; ++id) EXPECT_EQ(states[static_cast<size_t>(id - 1)], id % 2 == 0 ? 2 : 1) << id;
    EXPECT_EQ(sql_.Scalar("select count(*) from " + items + " where ITEMNAME = 'mine'").value_or(""), "15");
    EXPECT_EQ(sql_.Scalar("select count(*) from " + items).value_or(""), "30");
}

TEST_P(TableIoTest, WhenTheCommitFailsEveryRowKeepsItsFlags) {
    if (!Db().hasDeferredConstraints) {
        GTEST_SKIP() << Db().name << " checks every constraint at its statement: no commit can be made to fail here";
    }
    // A deferred foreign key is checked at the commit.
    std::string parent = TableName("parent");
    std::string child = TableName("child");
    created_.push_back(parent);
    created_.push_back(child);
    ASSERT_TRUE(session_.Define(child, {{"ITEMID", ORV_SQL_INT}, {"PID", ORV_SQL_INT}}));
    ASSERT_TRUE(sql_.Exec("create table " + parent + " (ID " + Db().types.integer + " primary key)"));
    ASSERT_TRUE(sql_.Exec("create table " + child + " (ITEMID " + Db().types.integer + " primary key, PID " +
                          Db().types.integer + " references " + parent + "(ID) deferrable initially deferred)"))
        << sql_.LastError();
    if (!Db().enforcesForeignKeysByDefault) {
        DBConnection* connection = GetDBConnection(Db().connectionName.c_str());
        ASSERT_NE(connection, nullptr);
        ASSERT_TRUE(ExecuteUpdate(connection, "PRAGMA foreign_keys = ON"));
        ReleaseDBConnection(Db().connectionName.c_str());
    }
    ASSERT_TRUE(CreateTable(child.c_str()));
    for (const char* id : {"1", "2"}) ASSERT_TRUE(AddNewRow(child.c_str(), MakeRow(child, {id, "100"})));
    ASSERT_TRUE(SaveTable(child.c_str()));
    EXPECT_TRUE(Logged("Commit failed in SaveTable for " + child)) << LogText();
    EXPECT_EQ(MemStates(child), (std::vector<int>{2, 2}));
    EXPECT_EQ(sql_.Scalar("select count(*) from " + child).value_or(""), "0");

    ASSERT_TRUE(sql_.Exec("insert into " + parent + " values (100)"));
    ASSERT_TRUE(SaveTable(child.c_str()));
    EXPECT_EQ(MemStates(child), (std::vector<int>{1, 1}));
    EXPECT_EQ(sql_.Scalar("select count(*) from " + child).value_or(""), "2");
}

TEST_P(TableIoTest, SaveListAndSaveAll) {
    std::string a = ItemTable("lista");
    std::string b = ItemTable("listb");
    ASSERT_TRUE(CreateTable(a.c_str()));
    ASSERT_TRUE(CreateTable(b.c_str()));
    AddItem(a, 1);
    AddItem(b, 1);
    EXPECT_TRUE(SaveTablesFromList());
    EXPECT_TRUE(Logged("[ERROR] No tables to be saved.\n"));
    WriteFile(base_ / "root/data/savetableslist.txt", a + " and words\n");
    EXPECT_TRUE(SaveTablesFromList());
    EXPECT_TRUE(Logged("[DEBUG] Opening " + (base_ / "root/data/savetableslist.txt")));
    EXPECT_EQ(DbIds(a), (std::vector<int>{1}));
    EXPECT_TRUE(DbIds(b).empty());
    AddItem(a, 2);
    EXPECT_TRUE(SaveAllTables());
    EXPECT_TRUE(Logged("[TRACE] @@@ Inside SaveAllTables @@@\n"));
    EXPECT_EQ(DbIds(a), (std::vector<int>{1, 2}));
    EXPECT_EQ(DbIds(b), (std::vector<int>{1}));
}

TEST_P(TableIoTest, DefaultDataOfSixtyTablesIsSavedFiftyTablesAtATime) {
    std::vector<std::string> tables;
    for (int i = 1; i <= 60; ++i) {
        tables.push_back(ItemTable("dd" + std::to_string(i), {{"ITEMID", ORV_SQL_INT}, {"ITEMNAME", ORV_SQL_CHAR, 40}}));
    }
    // Fifty names, the first again (collected anew once the fifty were
    // saved), then ten more.
    std::string doc = "<DefaultRows>\n";
    auto element = [&](int table, int id) {
        doc += "  <" + tables[static_cast<size_t>(table - 1)] + " ITEMID=\"" + std::to_string(id) +
               "\" ITEMNAME=\"row " + std::to_string(id) + "\"/>\n";
    };
    for (int i = 1; i <= 50; ++i) element(i, i);
    element(1, 1001);
    for (int i = 51; i <= 60; ++i) element(i, i);
    doc += "</DefaultRows>\n";
    WriteFile(base_ / "root/data/rows60.xml", doc);
    WriteFile(base_ / "root/data/defaultdata.txt", "rows60.xml\n");

    ASSERT_TRUE(SaveDefaultData()) << LogText();
    for (int i = 1; i <= 60; ++i) {
        std::vector<int> expected = i == 1 ? std::vector<int>{1, 1001} : std::vector<int>{i};
        EXPECT_EQ(DbIds(tables[static_cast<size_t>(i - 1)]), expected) << "table " << i;
    }
    const std::string log = LogText();
    EXPECT_NE(log.find("[TRACE] \t@@@@@ Inside SaveDefaultData @@@@@\n"), std::string::npos);
    EXPECT_NE(log.find("[TRACE] @@@@@ Inside SaveDataInXML @@@@@\n"), std::string::npos);
    // 50, then 11 (the first table's name among them again).
    EXPECT_EQ(Count(log, "[TRACE] @@@ Inside SaveTable @@@\n"), 61u);
}

TEST_P(TableIoTest, DefaultDataIsLookedForUnderDataFirst) {
    std::string items = ItemTable("deflt", {{"ITEMID", ORV_SQL_INT}, {"ITEMNAME", ORV_SQL_CHAR, 40}});
    EXPECT_TRUE(SaveDefaultData());
    EXPECT_TRUE(Logged("[ERROR] No default data to be prepopulated.\n"));

    MakeDirectoryPath((base_ / "data").c_str());
    WriteFile(base_ / "data/defaultdata.txt", "one.xml\n   two.xml");
    WriteFile(base_ / "data/one.xml", "<R><" + items + " ITEMID=\"1\" ITEMNAME=\"one\"/></R>");
    WriteFile(base_ / "data/two.xml", "<R><" + items + " ITEMID=\"2\" ITEMNAME=\"two\"/></R>");
    WriteFile(base_ / "root/data/defaultdata.txt", "ignored.xml\n");
    EXPECT_TRUE(SaveDefaultData()) << LogText();
    EXPECT_EQ(DbIds(items), (std::vector<int>{1, 2}));

    // A document that does not import fails the whole, the others apply.
    WriteFile(base_ / "data/defaultdata.txt", "missing.xml three.xml");
    WriteFile(base_ / "data/three.xml", "<R><" + items + " ITEMID=\"3\" ITEMNAME=\"three\"/></R>");
    EXPECT_FALSE(SaveDefaultData());
    EXPECT_TRUE(Logged("[ERROR] Cannot create DO from ..\\data\\missing.xml.\n"));
    EXPECT_EQ(DbIds(items), (std::vector<int>{1, 2, 3}));
}

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(TableIoTest);

/* SaveTable of 10,000 new rows (two integers and a short text) into the
 * SQLite file runs them in one transaction: each row refers to the next
 * through a foreign key checked at the commit, so a row committed without
 * the next would be refused. A row that fails rolls the transaction back,
 * and it is run again without that row. (How fast this is against one
 * autocommitted statement per row is measured by bench/table_save_bench.) */
TEST(TableSaveBatch, TenThousandRowsCommitInOneTransaction) {
    std::string error;
    ASSERT_TRUE(LoadDbEnvironment(&error)) << error;
    const DbContext db = DbContextNamed("sqlite");
    TempDir log;
    LibrarySession session;
    ASSERT_TRUE(session.Start(db, log.path(), &error)) << error;
    OdbcSession sql;
    ASSERT_TRUE(sql.Connect(db));
    const std::string table = UniqueTableName("batch");
    ASSERT_TRUE(session.Define(table, {{"A", ORV_SQL_INT}, {"B", ORV_SQL_INT}, {"C", ORV_SQL_CHAR, 16}}));
    ASSERT_TRUE(sql.Exec("create table " + table + " (A " + db.types.integer + " primary key, B " +
                         db.types.integer + " references " + table + "(A) deferrable initially deferred, C " +
                         db.types.Char(16) + ")"))
        << sql.LastError();
    if (!db.enforcesForeignKeysByDefault) {
        DBConnection* connection = GetDBConnection(db.connectionName.c_str());
        ASSERT_NE(connection, nullptr);
        ASSERT_TRUE(ExecuteUpdate(connection, "PRAGMA foreign_keys = ON"));
        ReleaseDBConnection(db.connectionName.c_str());
    }
    ASSERT_TRUE(CreateTable(table.c_str()));
    constexpr int kRows = 10000;
    for (int i = 0; i < kRows; ++i) {
        // Row i refers to row i + 1; the last to itself.
        std::string a = std::to_string(i), b = std::to_string(i + 1 < kRows ? i + 1 : i);
        std::string c = "text " + std::to_string(i % 97);
        ASSERT_TRUE(AddNewRow(table.c_str(), MakeRow(table, {a.c_str(), b.c_str(), c.c_str()})));
    }
    SetLogLevel(2);
    auto reset = [&] {
        ASSERT_TRUE(sql.Exec("delete from " + table));
        for (RowObject* row : RowsOf(table)) row->state = kRowNew;
    };

    // Committed one row at a time, the first row is refused: its next
    // row is not there yet.
    DBConnection* connection = GetDBConnection(db.connectionName.c_str());
    ASSERT_NE(connection, nullptr);
    char* statement = GenerateInsertQuery(table.c_str(), RowsOf(table).front());
    ASSERT_NE(statement, nullptr);
    EXPECT_FALSE(ExecuteUpdate(connection, statement));
    free(statement);
    ReleaseDBConnection(db.connectionName.c_str());
    EXPECT_EQ(sql.Scalar("select count(*) from " + table).value_or(""), "0");

    ASSERT_TRUE(SaveTable(table.c_str()));
    EXPECT_EQ(sql.Scalar("select count(*) from " + table).value_or(""), std::to_string(kRows));
    for (RowObject* row : RowsOf(table)) EXPECT_EQ(row->state, kRowStored);

    // The last row fails: the transaction is rolled back and run again
    // without it.
    reset();
    const std::string last = std::to_string(kRows - 1);
    ASSERT_TRUE(sql.Exec("insert into " + table + " values (" + last + ", " + last + ", 'x')"));
    ASSERT_TRUE(SaveTable(table.c_str()));
    EXPECT_EQ(sql.Scalar("select count(*) from " + table).value_or(""), std::to_string(kRows));
    EXPECT_EQ(RowsOf(table).back()->state, kRowNew);
    EXPECT_EQ(sql.Scalar("select C from " + table + " where A = " + last).value_or(""), "x");

    session.Stop();
    sql.Exec(db.DropTableSql(table));
}

}  // namespace
}  // namespace orv::test
