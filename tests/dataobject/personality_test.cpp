// Personalities on the test databases: the personality file and its
// constituents, index tables made for "isindexed" true in any case, index
// entries kept once per referring table and removed with the last
// referring row, deep retrieval, objects of personalities, and keys with
// quotes reaching the index statements as literals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dataobject/personality.h"
#include "tests/dataobject/dataobject_fixture.h"

namespace orv::test {
namespace {

class PersonalityTest : public DataObjectTest {
protected:
    void SetUp() override {
        DataObjectTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(InitPersonality(), 1);
    }
    void TearDown() override {
        FreeAllPersonalities();
        DataObjectTest::TearDown();
    }
    std::string Upper(std::string s) {
        for (char& ch : s) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
        return s;
    }
    /* The family file: P dominant and indexed, C and G its constituents;
     * G dominant of a last personality without constituents. */
    std::string FamilyFile() {
        std::string path = base_ / "personality.xml";
        WriteFile(path, "<Personalities>\n"
                        " <PersonalityConfiguration personalityname=\"family\" description=\"parents\" dominanttableid=\"" +
                            p_ + "\"/>\n"
                            " <ConstituentTable tableindex=\"0\" tableid=\"" + p_ + "\"/>\n"
                            " <ConstituentTable tableindex=\"1\" tableid=\"" + Upper(p_) + "\"/>\n"
                            " <ConstituentTable tableindex=\"2\" tableid=\"" + c_ + "\" fkconstraint_id=\"FK_C\" mandatory=\"FALSE\"/>\n"
                            " <ConstituentTable TableIndex=\"3\" TABLEID=\"" + g_ + "\" mandatory=\"yes\"/>\n"
                            " <Config><DominantTableConfig dominanttableid=\"" + p_ + "\" isindexed=\"TRUE\"/></Config>\n"
                            " <DominantTableConfig dominanttableid=\"" + c_ + "\" isindexed=\"yes\"/>\n"
                            " <PersonalityConfiguration personalityname=\"grand\" dominanttableid=\"" + g_ + "\"/>\n"
                            "</Personalities>\n");
        created_.push_back(p_ + "_IDX");
        return path;
    }
    std::vector<std::string> Names(char** names) {
        std::vector<std::string> out;
        for (char** n = names; n != nullptr && *n != nullptr; ++n) out.emplace_back(*n);
        FreeNameList(names);
        return out;
    }
    std::vector<OdbcSession::Row> IndexRows(const std::string& dominant) {
        std::vector<OdbcSession::Row> rows;
        EXPECT_TRUE(sql_.Query("select * from " + dominant + "_IDX", &rows)) << sql_.LastError();
        return rows;
    }
    /* Adds or removes the index entry of a row of a table given as texts. */
    bool Index(const std::string& table, const std::vector<const char*>& texts, uint8_t state) {
        RowObject* row = MakeRow(table, texts);
        if (row == nullptr) return false;
        row->state = state;
        bool ok = AddEntryToIndexTable(table.c_str(), row);
        FreeRowObject(row, GetTableDefn(table.c_str())->columns->count);
        return ok;
    }
    /* The stored row of a table with that key, read back as an object row. */
    RowUnit* StoredRow(const std::string& table, int n) {
        DataObject* o = Keep(GetDataObjectByCriteria(std::vector<const char*>{table.c_str(), nullptr}.data(), nullptr));
        return o != nullptr ? GetNthRowUnit(n, table.c_str(), o) : nullptr;
    }
};

TEST_P(PersonalityTest, TheFileGivesPersonalitiesConstituentsAndOneIndexTable) {
    DefineFamily();
    const std::string path = FamilyFile();
    ASSERT_EQ(CreatePersonalityFromXMLFile(path.c_str()), 1) << LogText();
    EXPECT_EQ(Names(GetConstituentTables("family")), (std::vector<std::string>{c_, g_}));
    PersonalityDefn* family = GetPersonalityDefn("family");
    ASSERT_NE(family, nullptr);
    EXPECT_STREQ(family->description, "parents");
    ASSERT_EQ(family->constituentTables->count, 3);  // the nameless one, C, G
    auto* nameless = static_cast<ConstituentTable*>(family->constituentTables->head->element);
    auto* c = static_cast<ConstituentTable*>(family->constituentTables->head->next->element);
    auto* g = static_cast<ConstituentTable*>(family->constituentTables->tail->element);
    EXPECT_EQ(nameless->tableName, nullptr);
    EXPECT_EQ(c->tableIndex, 2);
    EXPECT_EQ(c->mandatory, 0);
    EXPECT_STREQ(c->fkConstraintId, "FK_C");
    EXPECT_STREQ(c->dominantTableName, p_.c_str());
    EXPECT_EQ(g->tableIndex, 3);
    EXPECT_EQ(g->mandatory, 1);
    EXPECT_EQ(Names(GetDominantTables()), (std::vector<std::string>{p_, g_}));
    EXPECT_EQ(Names(GetPersonalityNames()), (std::vector<std::string>{"family", "grand"}));
    EXPECT_TRUE(IsDominantTable(p_.c_str()));
    EXPECT_FALSE(IsDominantTable(Upper(p_).c_str()));
    EXPECT_FALSE(IsDominantTable(c_.c_str()));
    ASSERT_NE(GetPersonalityDefn("grand"), nullptr);
    EXPECT_EQ(GetPersonalityDefn("grand")->constituentTables->count, 0);

    // "TRUE" made P's index table; "yes" made none for C.
    EXPECT_TRUE(IndexRows(p_).empty());
    std::vector<OdbcSession::Row> rows;
    EXPECT_FALSE(sql_.Query("select * from " + c_ + "_IDX", &rows));
    // Reading the file again keeps the index table.
    EXPECT_EQ(CreatePersonalityFromXMLFile(path.c_str()), 1) << LogText();
    EXPECT_EQ(gv_personalityDefnVect->count, 4);

    EXPECT_EQ(PrintPersonalityDefn("family"), 1);
    EXPECT_TRUE(Logged("\nPersonality Name: family\nDescription: parents\nDominant Table: " + p_ +
                       "\n\nConstituent Table Information\n"));
    EXPECT_TRUE(Logged("Constituent Table Name: " + c_ + "\nConstituent Table Index: 2\nForeign Key: FK_C\n"
                       "Mandatory Status: 0\n\n"));
    EXPECT_EQ(PrintPersonalityDefn("nosuch"), 0);
    EXPECT_TRUE(Logged("Personality nosuch not found in gv_personalityDefnVect\n"));
    EXPECT_EQ(GetConstituentTables(nullptr), nullptr);
    EXPECT_TRUE(Logged("Cannot get constituent tables list.  PersonalityName is NULL\n"));

    WriteFile(base_ / "broken.xml", "<Personalities><unclosed></Personalities>");
    EXPECT_EQ(CreatePersonalityFromXMLFile((base_ / "broken.xml").c_str()), 0);
    EXPECT_TRUE(Logged("Could not parse file " + (base_ / "broken.xml") + "\n"));
}

TEST_P(PersonalityTest, IndexEntriesOncePerTableRemovedWithTheLastRowAndDeepRetrieval) {
    DefineFamily();
    ASSERT_EQ(CreatePersonalityFromXMLFile(FamilyFile().c_str()), 1) << LogText();
    Exec("insert into " + p_ + " values (1, 'one')");
    Exec("insert into " + p_ + " values (2, 'two')");
    Exec("insert into " + c_ + " values (10, 1, 'a')");
    Exec("insert into " + c_ + " values (11, 1, 'b')");

    // A table without references: nothing to record.
    EXPECT_TRUE(Index(p_, {"3", "x"}, kRowNew));
    EXPECT_TRUE(Logged("No References.\n"));
    EXPECT_TRUE(IndexRows(p_).empty());

    EXPECT_TRUE(Index(c_, {"10", "1", "a"}, kRowNew)) << LogText();
    EXPECT_TRUE(Index(c_, {"11", "1", "b"}, kRowNew | kRowModified));
    EXPECT_TRUE(Index(c_, {"12", nullptr, "none"}, kRowNew));  // refers to no row
    EXPECT_TRUE(Index(c_, {"10", "1", "a"}, kRowStored));      // no change
    std::vector<OdbcSession::Row> rows = IndexRows(p_);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].value_or(""), "1");
    std::string listed = rows[0][1].value_or("");
    while (!listed.empty() && listed.back() == ' ') listed.pop_back();
    EXPECT_EQ(listed, c_);
    EXPECT_TRUE(Logged("Insert Query for " + p_ + "_IDX: INSERT INTO " + p_ + "_IDX VALUES (1, '" + c_ + "')\n"));

    RowUnit* one = StoredRow(p_, 1);
    ASSERT_NE(one, nullptr);
    DataObject* deep = Keep(DeepRetrieveDO(p_.c_str(), one));
    ASSERT_NE(deep, nullptr) << LogText();
    EXPECT_EQ(Ints(deep, p_, 0), (std::vector<int>{1}));
    EXPECT_EQ(Ints(deep, c_, 0), (std::vector<int>{10, 11}));
    EXPECT_EQ(Tables(deep), (std::vector<std::string>{p_, c_}));

    // A dominant row no table has registered.
    RowUnit* two = StoredRow(p_, 2);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(DeepRetrieveDO(p_.c_str(), two), nullptr);
    EXPECT_TRUE(Logged("No tables indexed.  Cannot deep retrieve DO for " + p_ + "\n"));

    // A deleted row while another still refers keeps the entry; the last
    // one removes it.
    Exec("delete from " + c_ + " where CID = 10");
    EXPECT_TRUE(Index(c_, {"10", "1", "a"}, kRowStored | kRowDeleted));
    EXPECT_EQ(IndexRows(p_).size(), 1u);
    Exec("delete from " + c_ + " where CID = 11");
    EXPECT_TRUE(Index(c_, {"11", "1", "b"}, kRowStored | kRowDeleted));
    EXPECT_TRUE(IndexRows(p_).empty());
}

TEST_P(PersonalityTest, ObjectsOfPersonalities) {
    DefineFamily();
    ASSERT_EQ(CreatePersonalityFromXMLFile(FamilyFile().c_str()), 1) << LogText();
    Exec("insert into " + p_ + " values (1, 'one')");
    Exec("insert into " + p_ + " values (2, 'two')");
    Exec("insert into " + c_ + " values (10, 1, 'a')");
    Exec("insert into " + c_ + " values (11, 1, 'b')");
    Exec("insert into " + g_ + " values (100, 10, 5)");

    DataObject* family = Keep(GetDOFromPersonality("family"));
    ASSERT_NE(family, nullptr) << LogText();
    std::vector<int> parents = Ints(family, p_, 0);
    std::sort(parents.begin(), parents.end());
    EXPECT_EQ(parents, (std::vector<int>{1, 2}));  // the parent without children too
    std::vector<int> children = Ints(family, c_, 0);
    std::sort(children.begin(), children.end());
    EXPECT_EQ(children, (std::vector<int>{10, 11}));
    EXPECT_TRUE(Logged("Constituent " + g_ + " does not refer to " + p_ + ": not joined.\n"));
    EXPECT_EQ(GetDOFromPersonality("nosuch"), nullptr);
    EXPECT_TRUE(Logged("No personality found for nosuch\n"));

    RowUnit* one = StoredRow(p_, 1);
    ASSERT_NE(one, nullptr);
    DataObject* byRow = Keep(GetDOFromPersonalityByRowUnit("family", one));
    ASSERT_NE(byRow, nullptr) << LogText();
    EXPECT_EQ(Ints(byRow, p_, 0), (std::vector<int>{1}));
    EXPECT_EQ(Ints(byRow, c_, 0), (std::vector<int>{10, 11}));

    std::vector<const char*> both{"family", "grand", nullptr};
    DataObject* merged = Keep(GetDOFromPersonalities(both.data()));
    ASSERT_NE(merged, nullptr) << LogText();
    EXPECT_EQ(Ints(merged, g_, 0), (std::vector<int>{100}));
    EXPECT_EQ(Tables(merged), (std::vector<std::string>{p_, c_, g_}));
    EXPECT_EQ(States(merged, c_), (std::vector<int>{1, 1}));  // stored rows stay stored
    std::vector<const char*> unknown{"family", "nosuch", nullptr};
    EXPECT_EQ(GetDOFromPersonalities(unknown.data()), nullptr);
    EXPECT_TRUE(Logged("Cannot Merge DO's.\n"));
}

TEST_P(PersonalityTest, TextKeysWithQuotesReachTheIndexAsLiterals) {
    std::string owner = Define("owner", {{"NAME", ORV_SQL_CHAR, 30}, {"AGE", ORV_SQL_INT}});
    std::string pet = Define("pet", {{"PID", ORV_SQL_INT}, {"OWNER", ORV_SQL_CHAR, 30}}, {{"OWNER", owner, "NAME"}});
    std::string path = base_ / "owners.xml";
    WriteFile(path, "<p><PersonalityConfiguration personalityname=\"owners\" dominanttableid=\"" + owner +
                        "\"/><ConstituentTable tableindex=\"1\" tableid=\"" + pet +
                        "\"/><DominantTableConfig dominanttableid=\"" + owner + "\" isindexed=\"true\"/></p>");
    created_.push_back(owner + "_IDX");
    ASSERT_EQ(CreatePersonalityFromXMLFile(path.c_str()), 1) << LogText();
    const std::string name = Db().backslashEscapesInLiterals ? "O'Br\\ien" : "O'Brien";
    Exec("insert into " + owner + " values (" + SqlText(Db(), name) + ", 40)");
    Exec("insert into " + pet + " values (1, " + SqlText(Db(), name) + ")");
    EXPECT_TRUE(Index(pet, {"1", name.c_str()}, kRowNew)) << LogText();
    std::vector<OdbcSession::Row> rows = IndexRows(owner);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].value_or("").substr(0, name.size()), name);
    RowUnit* row = StoredRow(owner, 1);
    ASSERT_NE(row, nullptr);
    DataObject* deep = Keep(DeepRetrieveDO(owner.c_str(), row));
    ASSERT_NE(deep, nullptr) << LogText();
    EXPECT_EQ(Ints(deep, pet, 0), (std::vector<int>{1}));
}

TEST_P(PersonalityTest, ADominantKeyOfTwoColumnsIndexesBoth) {
    std::string m = Define("m", {{"A", ORV_SQL_INT}, {"B", ORV_SQL_CHAR, 10}, {"V", ORV_SQL_INT}}, {}, false);
    ConstraintDefn* k = GetTableDefn(m.c_str())->constraints;
    k->primaryKeyColumns = static_cast<char**>(realloc(k->primaryKeyColumns, 2 * sizeof(char*)));
    k->primaryKeyColumns[1] = strdup("B");
    k->primaryKeyCount = 2;
    created_.push_back(m);
    ASSERT_TRUE(session_.CreateInDatabase(m)) << LogText();
    std::string n = Define("n", {{"ID", ORV_SQL_INT}, {"MA", ORV_SQL_INT}, {"MB", ORV_SQL_CHAR, 10}},
                           {{"MA", m, "A"}, {"MB", m, "B"}});
    std::string path = base_ / "m.xml";
    WriteFile(path, "<p><PersonalityConfiguration personalityname=\"pairs\" dominanttableid=\"" + m +
                        "\"/><ConstituentTable tableindex=\"1\" tableid=\"" + n +
                        "\"/><DominantTableConfig dominanttableid=\"" + m + "\" isindexed=\"true\"/></p>");
    created_.push_back(m + "_IDX");
    ASSERT_EQ(CreatePersonalityFromXMLFile(path.c_str()), 1) << LogText();
    Exec("insert into " + m + " values (1, 'x', 5)");
    Exec("insert into " + m + " values (1, 'y', 6)");
    Exec("insert into " + n + " values (7, 1, 'x')");
    EXPECT_TRUE(Index(n, {"7", "1", "x"}, kRowNew)) << LogText();
    std::vector<OdbcSession::Row> rows = IndexRows(m);
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 3u);
    EXPECT_EQ(rows[0][0].value_or(""), "1");
    EXPECT_EQ(rows[0][1].value_or("").substr(0, 1), "x");
    // The row (1, 'x') finds its child; (1, 'y') has none registered.
    DataObject* both = Keep(GetDataObjectByCriteria(std::vector<const char*>{m.c_str(), nullptr}.data(), nullptr));
    ASSERT_NE(both, nullptr);
    RowUnit* x = FindRowUnitOnCriteria(m.c_str(), "V = 5", both);
    RowUnit* y = FindRowUnitOnCriteria(m.c_str(), "V = 6", both);
    ASSERT_NE(x, nullptr);
    ASSERT_NE(y, nullptr);
    DataObject* deep = Keep(DeepRetrieveDO(m.c_str(), x));
    ASSERT_NE(deep, nullptr) << LogText();
    EXPECT_EQ(Ints(deep, m, 2), (std::vector<int>{5}));
    EXPECT_EQ(Ints(deep, n, 0), (std::vector<int>{7}));
    EXPECT_EQ(DeepRetrieveDO(m.c_str(), y), nullptr);
}

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(PersonalityTest);

}  // namespace
}  // namespace orv::test
