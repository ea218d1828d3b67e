// Data objects on the test databases: keys and duplicates (and keys too
// long for their bound), objects from joins holding each row once, saving
// by row state in foreign-key order with a failing row kept, the table
// order on foreign-key cycles, reading rows and values, criteria, and
// merge and clone over three tables with rows in every state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "datastore/relvar.h"
#include "tests/dataobject/dataobject_fixture.h"

namespace orv::test {
namespace {

class DataObjectDbTest : public DataObjectTest {};

/* An inner join of P and C on PID. */
SelectQuery* JoinQuery(const std::string& p, const std::string& c) {
    SelectQuery* q = CreateSelectQuery();
    Vector* left = NewColumnList(q->pool);
    Vector* right = NewColumnList(q->pool);
    AddColumnToList(q->pool, CreateSelectColumn(p.c_str(), nullptr, "PID", nullptr, 0, ORV_SQL_INT, 0, q->pool), left);
    AddColumnToList(q->pool, CreateSelectColumn(c.c_str(), nullptr, "PID", nullptr, 0, ORV_SQL_INT, 0, q->pool), right);
    AddJoin(q, CreateJoinSpec(p.c_str(), nullptr, c.c_str(), nullptr, kJoinInner, left, right, q->pool));
    return q;
}

TEST_P(DataObjectDbTest, TwoRowsWithOneKeyAndKeysBeyondTheBoundAreRefused) {
    DefineFamily();
    DataObject* o = Empty({p_});
    EXPECT_TRUE(Insert(o, p_, {"1", "first"}));
    EXPECT_FALSE(Insert(o, p_, {"1", "second"}));
    EXPECT_TRUE(Logged("Row with keyStr " + p_ + "1 already exists.\n"));
    EXPECT_EQ(Ints(o, p_, 0), (std::vector<int>{1}));
    EXPECT_EQ(States(o, p_), (std::vector<int>{kRowNew}));

    // A text key: 131 characters with the table name are held, one more is
    // refused and nothing is cut to collide with the held key.
    std::string t = Define("longkey", {{"K", ORV_SQL_CHAR, 200}, {"V", ORV_SQL_INT}}, {}, false);
    DataObject* k = Empty({t});
    std::string fits(kMaxKeyStringLength - t.size(), 'x');
    std::string over = fits + "y";
    EXPECT_TRUE(Insert(k, t, {fits.c_str(), "1"}));
    EXPECT_FALSE(Insert(k, t, {over.c_str(), "2"}));
    EXPECT_TRUE(Logged("Key string of table " + t + " longer than 131 characters: row refused.\n"));
    EXPECT_EQ(Ints(k, t, 1), (std::vector<int>{1}));
}

TEST_P(DataObjectDbTest, AJoinRepeatingAParentGivesOneParentRow) {
    DefineFamily();
    Exec("insert into " + p_ + " values (1, 'one')");
    Exec("insert into " + p_ + " values (2, 'two')");
    Exec("insert into " + c_ + " values (10, 1, 'a')");
    Exec("insert into " + c_ + " values (11, 1, 'b')");
    Exec("insert into " + c_ + " values (12, 2, 'c')");
    SelectQuery* q = JoinQuery(c_, p_);  // the child first: the table list still has the parent first
    DataObject* o = Keep(GetDataObject(q));
    ASSERT_NE(o, nullptr) << LogText();
    std::vector<int> parents = Ints(o, p_, 0);
    std::sort(parents.begin(), parents.end());
    EXPECT_EQ(parents, (std::vector<int>{1, 2}));
    EXPECT_EQ(Ints(o, c_, 0).size(), 3u);
    EXPECT_EQ(States(o, c_), (std::vector<int>{1, 1, 1}));
    // One table list, each table once, in foreign-key order.
    EXPECT_EQ(Tables(o), (std::vector<std::string>{p_, c_}));
    EXPECT_EQ(o->tableCount, 2);
    // Saving the unchanged object writes nothing, and no table twice.
    EXPECT_TRUE(SaveDataObject(o));
    EXPECT_FALSE(Logged("Error in executing update query"));
    EXPECT_EQ(DbColumn(c_, "CID", "CID"), (std::vector<std::string>{"10", "11", "12"}));
    FreeSelectQuery(q);
}

TEST_P(DataObjectDbTest, SavingWritesParentsFirstOnceAndKeepsAFailingRow) {
    DefineFamily();
    // Tables added child first; the database checks the references.
    DataObject* o = Empty({g_, c_, p_});
    ASSERT_TRUE(Insert(o, g_, {"100", "10", "7"}));
    ASSERT_TRUE(Insert(o, c_, {"10", "1", "child"}));
    ASSERT_TRUE(Insert(o, p_, {"1", "parent"}));
    // Inserted and deleted again: nothing to write, nothing invalid.
    ASSERT_TRUE(Insert(o, p_, {"2", "gone"}));
    DeleteRowUnit(GetLastRowUnit(p_.c_str(), o), o);
    EXPECT_EQ(States(o, p_), (std::vector<int>{kRowNew, kRowNew | kRowDeleted}));
    EXPECT_TRUE(SaveDataObject(o));
    EXPECT_EQ(Tables(o), (std::vector<std::string>{p_, c_, g_}));
    EXPECT_EQ(DbColumn(p_, "PID", "PID"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(DbColumn(c_, "CID", "CID"), (std::vector<std::string>{"10"}));
    EXPECT_EQ(DbColumn(g_, "GID", "GID"), (std::vector<std::string>{"100"}));
    EXPECT_EQ(States(o, p_), (std::vector<int>{kRowStored, kRowNew | kRowDeleted}));
    EXPECT_TRUE(Logged("QueryPtr is NULL.\n"));
    EXPECT_FALSE(Logged("Invalid State for keyStr"));
    EXPECT_FALSE(Logged("Error in executing update query"));

    // Saving again writes nothing (an insert again would fail on the key).
    EXPECT_TRUE(SaveDataObject(o));
    EXPECT_FALSE(Logged("Error in executing update query"));

    // A failing row keeps its state; the others of the save apply.
    Exec("insert into " + p_ + " values (3, 'taken')");
    ASSERT_TRUE(Insert(o, p_, {"3", "again"}));
    ASSERT_TRUE(Insert(o, p_, {"4", "fresh"}));
    const char* name = "renamed";
    ASSERT_TRUE(SetValueForAllRowUnits("CNAME", c_.c_str(), name, static_cast<int32_t>(strlen(name)), o));
    EXPECT_EQ(States(o, c_), (std::vector<int>{kRowStored | kRowModified}));
    EXPECT_TRUE(SaveDataObject(o));
    EXPECT_TRUE(Logged("Error in executing update query \n"));
    EXPECT_EQ(DbColumn(p_, "PID", "PID"), (std::vector<std::string>{"1", "3", "4"}));
    EXPECT_EQ(DbColumn(p_, "PNAME", "PID"), (std::vector<std::string>{"parent", "taken", "fresh"}));
    EXPECT_EQ(DbColumn(c_, "CNAME", "CID"), (std::vector<std::string>{"renamed"}));
    EXPECT_EQ(States(o, p_), (std::vector<int>{kRowStored, kRowNew | kRowDeleted, kRowNew, kRowStored}));
    EXPECT_EQ(States(o, c_), (std::vector<int>{kRowStored}));

    // A saved delete leaves the database and is not written again.
    RowUnit* grandchild = GetFirstRowUnit(g_.c_str(), o);
    DeleteRowUnit(grandchild, o);
    EXPECT_EQ(grandchild->state, kRowStored | kRowDeleted);
    EXPECT_TRUE(SaveDataObject(o));
    EXPECT_TRUE(DbColumn(g_, "GID", "GID").empty());
    EXPECT_EQ(grandchild->state, kRowDeleted);

    // A parent deleted with its child: the child's delete runs first.
    DeleteRowUnit(GetFirstRowUnit(p_.c_str(), o), o);
    DeleteRowUnit(GetFirstRowUnit(c_.c_str(), o), o);
    EXPECT_TRUE(SaveDataObject(o));
    EXPECT_TRUE(DbColumn(c_, "CID", "CID").empty());
    EXPECT_EQ(DbColumn(p_, "PID", "PID"), (std::vector<std::string>{"3", "4"}));
    EXPECT_EQ(States(o, c_), (std::vector<int>{kRowDeleted}));
}

TEST_P(DataObjectDbTest, ForeignKeyCyclesEndWithReferencedTablesFirst) {
    // Self-reference, two tables referring to each other, and tables
    // hanging off them; none created in the database.
    std::string self = Define("self", {{"ID", ORV_SQL_INT}, {"UP", ORV_SQL_INT}}, {}, false);
    AddForeignKeyEntry(GetTableDefn(self.c_str())->constraints, CreateForeignKeyEntry("UP", "ID", self.c_str(), 0, 0, 0));
    std::string a = Define("a", {{"ID", ORV_SQL_INT}, {"B", ORV_SQL_INT}, {"R", ORV_SQL_INT}}, {}, false);
    std::string b = Define("b", {{"ID", ORV_SQL_INT}, {"A", ORV_SQL_INT}}, {{"A", a, "ID"}}, false);
    std::string root = Define("root", {{"ID", ORV_SQL_INT}}, {}, false);
    AddForeignKeyEntry(GetTableDefn(a.c_str())->constraints, CreateForeignKeyEntry("B", "ID", b.c_str(), 0, 0, 0));
    AddForeignKeyEntry(GetTableDefn(a.c_str())->constraints, CreateForeignKeyEntry("R", "ID", root.c_str(), 0, 0, 0));
    std::string leaf = Define("leaf", {{"ID", ORV_SQL_INT}, {"A", ORV_SQL_INT}}, {{"A", a, "ID"}}, false);

    auto sorted = [](std::vector<std::string> names) {
        Vector list{};
        for (std::string& n : names) AddValue(&list, n.data());
        Vector* out = SortTableByFK(&list);
        std::vector<std::string> result;
        for (VectorNode* n = out ? out->head : nullptr; n != nullptr; n = n->next) result.emplace_back(static_cast<char*>(n->element));
        if (out != nullptr) {
            FreeVector(out);
            free(out);
        }
        FreeVector(&list);
        return result;
    };
    EXPECT_EQ(sorted({self}), (std::vector<std::string>{self}));
    std::vector<std::string> order = sorted({leaf, b, self, a, root});
    ASSERT_EQ(order.size(), 5u);
    auto at = [&](const std::string& t) { return std::find(order.begin(), order.end(), t) - order.begin(); };
    EXPECT_LT(at(root), at(a));
    EXPECT_LT(at(a), at(leaf));
    EXPECT_LT(at(b), at(leaf));
    EXPECT_EQ(sorted({a, b}).size(), 2u);
    EXPECT_EQ(sorted({b, a}).size(), 2u);
    EXPECT_TRUE(sorted({}).empty());
}

TEST_P(DataObjectDbTest, ReadingRowsValuesAndCriteria) {
    DefineFamily();
    DataObject* o = Empty({p_});
    for (const char* id : {"1", "2", "3"}) ASSERT_TRUE(Insert(o, p_, {id, "n"}));
    RowUnit* first = GetNthRowUnit(1, p_.c_str(), o);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, GetFirstRowUnit(p_.c_str(), o));
    EXPECT_EQ(GetNthRowUnit(3, p_.c_str(), o), GetLastRowUnit(p_.c_str(), o));
    EXPECT_EQ(GetNthRowUnit(4, p_.c_str(), o), nullptr);
    EXPECT_TRUE(Logged("Cannot get 4 row. \n"));
    EXPECT_EQ(GetFirstRowUnit("nosuch", o), nullptr);

    RowCollection* c = GetRowCollection(p_.c_str(), o);
    EXPECT_EQ(GotoNextRowUnit(c), first);
    EXPECT_EQ(GotoNextRowUnit(c), first->next);
    EXPECT_NE(GotoNextRowUnit(c), nullptr);
    EXPECT_EQ(GotoNextRowUnit(c), nullptr);
    EXPECT_TRUE(Logged("Reached end of rowUnits.\n"));

    // One copy per row, in row order; none for a column not held.
    int32_t count = -1;
    int32_t* lengths = nullptr;
    void** ids = GetColumnValuesFromDO("PID", p_.c_str(), o, &count, &lengths);
    ASSERT_EQ(count, 3);
    for (int i = 0; i < 3; ++i) {
        int32_t v = 0;
        memcpy(&v, ids[i], 4);
        EXPECT_EQ(v, i + 1);
        EXPECT_NE(ids[i], GetNthRowUnit(i + 1, p_.c_str(), o)->values[0]);
    }
    EXPECT_EQ(GetColumnValuesFromDO("NOSUCH", p_.c_str(), o, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(Logged("Invalid Column Entered.\n"));
    int32_t two = 0;
    memcpy(&two, GetColumnValueFromDO(p_.c_str(), "PID", 2, o), 4);
    EXPECT_EQ(two, 2);

    // Criteria on the rows; the lock is free again afterwards.
    RowUnit* found = FindRowUnitOnCriteria(p_.c_str(), "PID = 2", o);
    EXPECT_EQ(found, GetNthRowUnit(2, p_.c_str(), o));
    EXPECT_TRUE(DeleteRowUnitOnCriteria(p_.c_str(), "PID >= 2", o));
    EXPECT_EQ(States(o, p_), (std::vector<int>{kRowNew, kRowNew | kRowDeleted, kRowNew | kRowDeleted}));
    EXPECT_FALSE(DeleteRowUnitOnCriteria(p_.c_str(), "PID = = 2", o));
    EXPECT_EQ(FindRowUnitOnCriteria(p_.c_str(), "PID = 9", o), nullptr);

    // Print layout.
    ASSERT_TRUE(PrintDataObject(o));
    const std::string text = RenderDataObject(o);
    EXPECT_EQ(text.rfind("Tables selected in DataObject: \n" + p_ + "\n*************\nTable Name: " + p_ +
                             "\n PID\t PNAME\tRowState\n 1\t n\t2\n",
                         0),
              0u)
        << text;
    EXPECT_FALSE(PrintDataObject(nullptr));
    EXPECT_TRUE(Logged("Cannot print DataObject.  dataObjectPtr is NULL\n"));
}

TEST_P(DataObjectDbTest, ARowSelectsItsTableByKeyAndTheOthersByReference) {
    DefineFamily();
    Exec("insert into " + p_ + " values (1, 'one')");
    Exec("insert into " + p_ + " values (2, 'two')");
    Exec("insert into " + c_ + " values (10, 1, 'a')");
    Exec("insert into " + c_ + " values (12, 2, 'c')");
    DataObject* all = Keep(GetDataObjectByCriteria(std::vector<const char*>{p_.c_str(), nullptr}.data(), nullptr));
    ASSERT_NE(all, nullptr) << LogText();
    RowUnit* two = GetNthRowUnit(2, p_.c_str(), all);
    ASSERT_NE(two, nullptr);
    std::vector<const char*> tables{p_.c_str(), c_.c_str(), g_.c_str(), nullptr};
    DataObject* o = Keep(GetDataObjectByRowUnit(tables.data(), two));
    ASSERT_NE(o, nullptr) << LogText();
    EXPECT_EQ(Ints(o, p_, 0), (std::vector<int>{2}));
    EXPECT_EQ(Ints(o, c_, 0), (std::vector<int>{12}));
    EXPECT_TRUE(Ints(o, g_, 0).empty());  // G has no rows: P and C stay whole
    // Criteria of a select query: children of parent 1 only.
    SelectQuery* q = CreateSelectQuery();
    const int32_t oneKey = 1;
    CriteriaNode* onlyOne = CreateCriteriaNode(
        CreateSelectColumn(c_.c_str(), nullptr, "PID", nullptr, 0, ORV_SQL_INT, 0, q->pool), &oneKey, 4, kSqlEqual, q->pool);
    DataObject* ones = Keep(GetDataObjectByCriteria(std::vector<const char*>{c_.c_str(), nullptr}.data(), onlyOne));
    ASSERT_NE(ones, nullptr) << LogText();
    EXPECT_EQ(Ints(ones, c_, 0), (std::vector<int>{10}));
    FreeSelectQuery(q);
    std::vector<const char*> without{c_.c_str(), nullptr};
    EXPECT_EQ(GetDataObjectByRowUnit(without.data(), two), nullptr);
    EXPECT_TRUE(Logged("RowUnit belongs to table " + p_ + ", which is not present in the tableList.\n"));
}

/* Source and target over P, C and G with rows in every state. */
TEST_P(DataObjectDbTest, MergeAndCloneCarryRowsByState) {
    DefineFamily();
    DataObject* target = Empty({p_, c_});
    for (const char* id : {"1", "2", "3", "4"}) ASSERT_TRUE(Insert(target, p_, {id, "t"}));
    for (RowUnit* r = GetFirstRowUnit(p_.c_str(), target); r != nullptr; r = r->next) r->state = kRowStored;
    ASSERT_TRUE(Insert(target, c_, {"10", "1", "t"}));

    DataObject* source = Empty({p_, g_});
    // P: 1 stored (skipped), 2 stored+modified (update), 3 stored+deleted
    // (present: marked deleted), 5 new, 6 new+modified, 4 new (present:
    // refused), 7 new+deleted (skipped), 8 stored+deleted (absent: kept 9).
    const std::vector<std::pair<const char*, int>> rows = {
        {"1", 1}, {"2", 5}, {"3", 9}, {"5", 2}, {"6", 6}, {"4", 2}, {"7", 10}, {"8", 9}};
    for (const auto& [id, state] : rows) {
        ASSERT_TRUE(Insert(source, p_, {id, "s"}));
        GetLastRowUnit(p_.c_str(), source)->state = static_cast<uint8_t>(state);
    }
    for (const auto& [id, state] : std::vector<std::pair<const char*, int>>{{"100", 1}, {"101", 10}, {"102", 9}, {"103", 6}}) {
        ASSERT_TRUE(Insert(source, g_, {id, "10", "1"}));
        GetLastRowUnit(g_.c_str(), source)->state = static_cast<uint8_t>(state);
    }
    DataObject* sourceCopy = Keep(CloneDataObject(source));
    ASSERT_NE(sourceCopy, nullptr);
    EXPECT_EQ(RenderDataObject(sourceCopy), RenderDataObject(source));
    EXPECT_EQ(Tables(sourceCopy), Tables(source));

    ASSERT_EQ(MergeDataObject(target, source), target);
    EXPECT_EQ(Ints(target, p_, 0), (std::vector<int>{1, 2, 3, 4, 5, 6, 8}));
    EXPECT_EQ(States(target, p_), (std::vector<int>{1, 5, 9, 1, 2, 6, 9}));
    RowUnit* updated = GetNthRowUnit(2, p_.c_str(), target);
    EXPECT_STREQ(static_cast<const char*>(updated->values[1]), "s");
    EXPECT_STREQ(static_cast<const char*>(GetNthRowUnit(1, p_.c_str(), target)->values[1]), "t");
    EXPECT_STREQ(static_cast<const char*>(GetNthRowUnit(4, p_.c_str(), target)->values[1]), "t");
    EXPECT_TRUE(Logged("Cannot Insert Row with keystring " + p_ + "4.  Row already exists."));
    // The table the target lacked: every row but state 10, each state kept.
    EXPECT_EQ(Ints(target, g_, 0), (std::vector<int>{100, 102, 103}));
    EXPECT_EQ(States(target, g_), (std::vector<int>{1, 9, 6}));
    EXPECT_EQ(Tables(target), (std::vector<std::string>{p_, c_, g_}));
    EXPECT_EQ(target->tableCount, 3);
    // The merged rows are the target's own: freeing the source keeps them.
    FreeDataObject(source);
    objects_.erase(std::find(objects_.begin(), objects_.end(), source));
    EXPECT_STREQ(static_cast<const char*>(updated->values[1]), "s");

    // A clone is equal and separate, with its own key table.
    DataObject* copy = Keep(CloneDataObject(target));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(RenderDataObject(copy), RenderDataObject(target));
    EXPECT_FALSE(Insert(copy, p_, {"5", "dup"}));
    EXPECT_TRUE(Insert(copy, p_, {"9", "new"}));
    EXPECT_EQ(Ints(target, p_, 0).size(), 7u);
    const char* other = "x";
    ASSERT_TRUE(SetValueForRowUnit("PNAME", p_.c_str(), other, 1, copy));
    EXPECT_STREQ(static_cast<const char*>(GetLastRowUnit(p_.c_str(), target)->values[1]), "s");
    // The clone of the source saved: only its changed rows of P and G.
    Exec("insert into " + p_ + " values (1, 'db')");
    Exec("insert into " + c_ + " values (10, 1, 'db')");
    EXPECT_TRUE(SaveDataObject(sourceCopy));
    EXPECT_EQ(DbColumn(p_, "PID", "PID"), (std::vector<std::string>{"1", "4", "5", "6"}));
    EXPECT_EQ(DbColumn(g_, "GID", "GID"), (std::vector<std::string>{"103"}));
}

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(DataObjectDbTest);

}  // namespace
}  // namespace orv::test
