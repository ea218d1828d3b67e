// The statement texts of the four SQL dialects (MYSQL, PGSQL, SQLITE,
// FIREBIRD): paging, aliases, values and their escaping, refused names and
// values, create table per type code, foreign keys, the logged texts, and
// the generator registry. The engines themselves run these statements in
// sqlgen_engine_test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "db/provider.h"
#include "db/sql/sql_dialects.h"
#include "db/sql/sql_generators.h"
#include "tests/db/sqlgen_test_util.h"

namespace orv::test {
namespace {

const std::vector<std::string> kDialects = {"MYSQL", "PGSQL", "SQLITE", "FIREBIRD"};

class SqlGenTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitTableDefnList();
        log_.Open();
    }
    void TearDown() override {
        log_.Close();
        FreeAllTableDefns();
    }
    static const SQLGenerator* G(const std::string& dialect) { return DialectTable(dialect); }

    /* Person(Id int key, Name char(40), Flag boolean). */
    TableDefn* Person() {
        return DefineTable("Person", {{"Id", 5, 0, false}, {"Name", 14, 40}, {"Flag", 19}}, {"Id"});
    }
    SqlLog log_;
};

/* ---- Registry and tables ------------------------------------------------ */

TEST_F(SqlGenTest, BuiltinGeneratorsInRegistrationOrder) {
    std::vector<const SQLGenerator*> all = BuiltinSQLGenerators();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_STREQ(all[0]->name, "PGSQL");
    EXPECT_STREQ(all[1]->name, "MYSQL");
    EXPECT_STREQ(all[2]->name, "SQLITE");
    EXPECT_STREQ(all[3]->name, "FIREBIRD");
    InitSQLGenerators();
    for (const std::string& d : kDialects) {
        const SQLGenerator* g = FindSQLGenerator(d.c_str());
        ASSERT_NE(g, nullptr) << d;
        EXPECT_EQ(g, G(d));
        EXPECT_NE(g->generateSelect, nullptr);
        EXPECT_NE(g->generateUpdate, nullptr);
        EXPECT_NE(g->generateInsert, nullptr);
        EXPECT_NE(g->generateDelete, nullptr);
        EXPECT_NE(g->generateCreateTable, nullptr);
        EXPECT_NE(g->convertResultSet, nullptr);
    }
    EXPECT_EQ(FindSQLGenerator("firebird"), GetFirebirdSQLGenerator());
    DeInitSQLGenerators();
}

TEST_F(SqlGenTest, CodeTables) {
    EXPECT_STREQ(kAggregateNames[0], "INVALID TYPE");
    EXPECT_STREQ(kAggregateNames[6], "AVG");
    EXPECT_STREQ(kOperatorNames[0], "INVALID OPERATOR");
    EXPECT_STREQ(kOperatorNames[6], "!=");
    EXPECT_STREQ(kOperatorNames[10], "BETWEEN");
    EXPECT_STREQ(kJoinTypeNames[0], "INNER_JOIN");
    EXPECT_STREQ(kJoinTypeNames[1], "LEFT_JOIN");
}

TEST_F(SqlGenTest, ValueToSQLTextForms) {
    MemPool* pool = CreateMemPool(nullptr);
    auto text = [&](const void* v, int32_t len, uint8_t type) {
        char* t = ValueToSQLText(v, len, type, pool);
        return t ? std::string(t) : std::string("<null>");
    };
    int8_t i8 = -5;
    uint16_t u16 = 65535;
    int32_t i32 = -2147483647 - 1;
    uint32_t u32 = 4294967295u;
    int64_t i64 = INT64_MIN;
    uint64_t u64 = UINT64_MAX;
    float f = 0.1f;
    double d = 1e-7;
    double nan = std::nan("");
    uint8_t yes = 1;
    uint8_t no = 0;
    EXPECT_EQ(text(&i8, 1, 1), "-5");
    EXPECT_EQ(text(&u16, 2, 4), "65535");
    EXPECT_EQ(text(&i32, 4, 5), "-2147483648");
    EXPECT_EQ(text(&u32, 4, 6), "4294967295");
    EXPECT_EQ(text(&i64, 8, 7), "-9223372036854775808");
    EXPECT_EQ(text(&u64, 8, 8), "18446744073709551615");
    EXPECT_EQ(text(&f, 4, 9), "0.10000000149011612");  // the float's exact double, shortest
    EXPECT_EQ(text(&d, 8, 10), "1e-07");
    EXPECT_EQ(text(&nan, 8, 10), "<null>");
    EXPECT_EQ(text("12.5", 4, 12), "12.5");
    EXPECT_EQ(text("abc", 3, 14), "abc");
    EXPECT_EQ(text(&yes, 1, 19), "'t'");
    EXPECT_EQ(text(&no, 1, 19), "'f'");
    EXPECT_EQ(text("x", 1, 0), "<null>");
    EXPECT_EQ(text("2024-01-01", 10, 16), "<null>");
    EXPECT_EQ(text("ab", 2, 20), "<null>");
    EXPECT_EQ(text("ab", 2, 22), "<null>");
    EXPECT_EQ(text(&i32, 2, 5), "<null>");  // shorter than its type
    DestroyMemPool(pool);
}

/* ---- Select: paging, columns, aliases ----------------------------------- */

std::string Select(const std::string& dialect, int32_t limit, int32_t offset, bool withColumns = true) {
    Query q;
    if (withColumns) q.Select("Person", "Name", 14);
    q.From("Person").Page(limit, offset);
    return Take(DialectTable(dialect)->generateSelect(q.get())).value_or("<null>");
}

TEST_F(SqlGenTest, LimitWithoutOffset) {
    EXPECT_EQ(Select("SQLITE", 10, 0), "select Person.Name \nfrom Person\nlimit 10");
    EXPECT_EQ(Select("PGSQL", 10, 0), "select Person.Name \nfrom Person\nlimit 10");
    EXPECT_EQ(Select("MYSQL", 10, 0), "select Person.Name \nfrom Person\nlimit 10");
    EXPECT_EQ(Select("FIREBIRD", 10, 0), "select first 10 Person.Name \nfrom Person\n");
}

TEST_F(SqlGenTest, LimitAndOffset) {
    EXPECT_EQ(Select("SQLITE", 10, 5), "select Person.Name \nfrom Person\nlimit 10 offset 5");
    EXPECT_EQ(Select("PGSQL", 10, 5), "select Person.Name \nfrom Person\nlimit 10 offset 5");
    EXPECT_EQ(Select("MYSQL", 10, 5), "select Person.Name \nfrom Person\nlimit 5 , 10");
    EXPECT_EQ(Select("FIREBIRD", 10, 5), "select first 10 skip 5 Person.Name \nfrom Person\n");
}

TEST_F(SqlGenTest, OffsetWithoutLimitOnlyInFirebird) {
    EXPECT_EQ(Select("SQLITE", 0, 5), "select Person.Name \nfrom Person\n");
    EXPECT_EQ(Select("PGSQL", 0, 5), "select Person.Name \nfrom Person\n");
    EXPECT_EQ(Select("MYSQL", 0, 5), "select Person.Name \nfrom Person\n");
    EXPECT_EQ(Select("FIREBIRD", 0, 5), "select skip 5 Person.Name \nfrom Person\n");
}

TEST_F(SqlGenTest, SelectWithoutColumns) {
    EXPECT_EQ(Select("SQLITE", 0, 0, false), "select * from Person\n");
    EXPECT_EQ(Select("MYSQL", 3, 0, false), "select * from Person\nlimit 3");
    EXPECT_EQ(Select("FIREBIRD", 0, 0, false), "select  * from Person\n");
    EXPECT_EQ(Select("FIREBIRD", 3, 1, false), "select first 3 skip 1  * from Person\n");
    EXPECT_TRUE(log_.Has("[TRACE] @@@@@@@@@@@ - INSIDE FirebirdGenSelectQuery - @@@@@@@@@@@@@"));
    EXPECT_TRUE(log_.Has("\nSelect Query constructed is\nselect first 3 skip 1  * from Person\n\n"));
}

TEST_F(SqlGenTest, ColumnsAggregatesAndTableAliases) {
    for (const std::string& d : kDialects) {
        Query q;
        AddSelectColumn(q.get(), q.Column("Person", "Name", 14, 0, "who", "p"));
        AddSelectColumn(q.get(), q.Column(nullptr, nullptr, 5, kAggregateCount));
        AddSelectColumn(q.get(), q.Column(nullptr, "Id", 5, kAggregateMax, nullptr, "p"));
        q.From("Person", "p");
        std::string text = Take(G(d)->generateSelect(q.get())).value_or("<null>");
        std::string alias = d == "FIREBIRD" ? "Person p \n" : "Person as p \n";
        std::string first = d == "FIREBIRD" ? "select " : "select ";
        EXPECT_EQ(text, first + "p.Name as who , COUNT(*), MAX(p.Id) \nfrom " + alias) << d;
    }
    EXPECT_TRUE(log_.Has("@@@@@@@@@@@ - INSIDE MysqlGenerateColumnsStr - @@@@@@@@@@@@@"));
    EXPECT_TRUE(log_.Has("@@@@@@@@@@@ - INSIDE SqliteGenerateTableListStr - @@@@@@@@@@@@@"));
}

TEST_F(SqlGenTest, NoTablesIsNull) {
    Query q;
    q.Select("Person", "Name", 14);
    EXPECT_EQ(G("PGSQL")->generateSelect(q.get()), nullptr);
    EXPECT_TRUE(log_.Has("[ERROR] \nNo Tables To Be Selected\n"));
}

/* ---- Joins -------------------------------------------------------------- */

JoinSpec* MakeJoin(Query& q, uint8_t type) {
    Vector* left = NewColumnList(q.pool());
    Vector* right = NewColumnList(q.pool());
    AddColumnToList(q.pool(), CreateListColumn(nullptr, nullptr, "Id", nullptr, 0, 5, 0, q.pool()), left);
    AddColumnToList(q.pool(), CreateListColumn(nullptr, nullptr, "PersonId", nullptr, 0, 5, 0, q.pool()), right);
    return CreateJoinSpec("Person", "p", "Pet", "x", type, left, right, q.pool());
}

TEST_F(SqlGenTest, InnerAndLeftJoins) {
    for (const std::string& d : kDialects) {
        Query q;
        q.Select(nullptr, "Name", 14);
        AddJoin(q.get(), MakeJoin(q, kJoinInner));
        std::string as = d == "FIREBIRD" ? "" : "as ";
        EXPECT_EQ(Take(G(d)->generateSelect(q.get())).value_or("<null>"),
                  "select Name \nfrom  Person " + as + "p  inner join  Pet " + as + "x  on p.Id = x.PersonId ")
            << d;
        Query l;
        l.Select(nullptr, "Name", 14);
        AddJoin(l.get(), MakeJoin(l, kJoinLeft));
        l.From("Owner");
        EXPECT_EQ(Take(G(d)->generateSelect(l.get())).value_or("<null>"),
                  "select Name \nfrom  Person " + as + "p  left join  Pet " + as + "x  on p.Id = x.PersonId ,Owner\n")
            << d;
    }
}

TEST_F(SqlGenTest, JoinTypeTwoMakesTheSelectNull) {
    for (const std::string& d : kDialects) {
        Query q;
        q.Select(nullptr, "Name", 14);
        AddJoin(q.get(), MakeJoin(q, 2));
        EXPECT_EQ(G(d)->generateSelect(q.get()), nullptr) << d;
    }
    EXPECT_TRUE(log_.Has("[ERROR] Invalid Join Type\n"));
}

/* ---- Criteria, group by, sort ------------------------------------------- */

TEST_F(SqlGenTest, CriteriaTextValuesAreQuotedAndEscapedInEveryDialect) {
    const std::string value = "O'Brien \\ 100% ; --";
    for (const std::string& d : kDialects) {
        Query q;
        q.From("Person").Where(q.CompareText("Person", "Name", 14, kSqlEqual, value));
        std::string expected = d == "MYSQL" ? "'O''Brien \\\\ 100% ; --'" : "'O''Brien \\ 100% ; --'";
        EXPECT_EQ(Take(G(d)->generateSelect(q.get())).value_or("<null>"),
                  "select " + std::string(d == "FIREBIRD" ? " " : "") + "* from Person\nwhere  Person.Name =  " +
                      expected + " ")
            << d;
    }
}

TEST_F(SqlGenTest, CriteriaNumbersBooleansDatesAndLike) {
    for (const std::string& d : kDialects) {
        Query q;
        uint8_t yes = 1;
        double x = 2.5;
        CriteriaNode* a = q.CompareInt(nullptr, "Id", kSqlGreaterEqual, 7);
        CriteriaNode* b = q.Compare(nullptr, "Flag", 19, kSqlEqual, &yes, 1);
        CriteriaNode* c = q.CompareText(nullptr, "Born", 16, kSqlLess, "2024-02-29");
        CriteriaNode* e = q.CompareText(nullptr, "Name", 15, kSqlLike, "O'B%");
        CriteriaNode* f = q.Compare(nullptr, "Load", 10, kSqlNotEqual, &x, 8);
        q.From("Person").Where(
            CreateAndNode(CreateAndNode(CreateAndNode(CreateAndNode(a, b, q.pool()), c, q.pool()), e, q.pool()), f,
                          q.pool()));
        std::string t = d == "MYSQL" ? "1" : d == "PGSQL" ? "true" : d == "SQLITE" ? "1" : "TRUE";
        std::string load = d == "MYSQL" ? "`Load`" : d == "PGSQL" ? "\"load\"" : d == "SQLITE" ? "\"Load\"" : "\"LOAD\"";
        std::string star = d == "FIREBIRD" ? "select  * from Person\n" : "select * from Person\n";
        EXPECT_EQ(Take(G(d)->generateSelect(q.get())).value_or("<null>"),
                  star + "where  ( ( (Id >=  7  AND Flag =  " + t + " )  AND Born <  '2024-02-29' )  AND Name LIKE  'O''B%' )  AND " +
                      load + " !=  2.5 ")
            << d;
    }
    EXPECT_TRUE(log_.Has("@@@@@@@@@@@ - INSIDE PgsqlGenCriteriaString - @@@@@@@@@@@@@"));
    EXPECT_TRUE(log_.Has("@@@@@@@@@@@ - INSIDE FirebirdGenerateCriteriaStr - @@@@@@@@@@@@@"));
}

TEST_F(SqlGenTest, OrUnderAndKeepsItsGrouping) {
    Query q;
    CriteriaNode* a = q.CompareInt(nullptr, "A", kSqlEqual, 1);
    CriteriaNode* b = q.CompareInt(nullptr, "B", kSqlEqual, 2);
    CriteriaNode* c = q.CompareInt(nullptr, "B", kSqlEqual, 3);
    q.From("T").Where(CreateAndNode(a, CreateOrNode(b, c, q.pool()), q.pool()));
    EXPECT_EQ(Take(G("SQLITE")->generateSelect(q.get())).value_or("<null>"),
              "select * from T\nwhere A =  1  AND  (B =  2  OR B =  3 ) ");
}

TEST_F(SqlGenTest, BetweenWritesEachBoundAsALiteral) {
    Query q;
    q.From("T").Where(q.CompareText(nullptr, "Id", 5, kSqlBetween, "10 and 20"));
    EXPECT_EQ(Take(G("PGSQL")->generateSelect(q.get())).value_or("<null>"),
              "select * from T\nwhere Id BETWEEN  10 AND 20 ");
    Query t;
    t.From("T").Where(t.CompareText(nullptr, "Name", 14, kSqlBetween, "'a''b' AND z\\"));
    EXPECT_EQ(Take(G("MYSQL")->generateSelect(t.get())).value_or("<null>"),
              "select * from T\nwhere Name BETWEEN  'a''b' AND 'z\\\\' ");
    Query bad;
    bad.From("T").Where(bad.CompareText(nullptr, "Id", 5, kSqlBetween, "1 and 2; drop table T"));
    EXPECT_EQ(G("SQLITE")->generateSelect(bad.get()), nullptr);
    Query open;
    open.From("T").Where(open.CompareText(nullptr, "Id", 5, kSqlBetween, "1"));
    EXPECT_EQ(G("SQLITE")->generateSelect(open.get()), nullptr);
}

TEST_F(SqlGenTest, GroupByHavingAndSort) {
    for (const std::string& d : kDialects) {
        Query q;
        q.Select("Pet", "Kind", 14);
        q.From("Pet");
        Vector* group = NewColumnList(q.pool());
        AddColumnToList(q.pool(), q.Column("Pet", "Kind", 14), group);
        int32_t two = 2;
        CriteriaNode* having = CreateCriteriaNode(q.Column(nullptr, nullptr, 5, kAggregateCount), &two, 4,
                                                  kSqlGreater, q.pool());
        SetGroupBy(q.get(), CreateGroupBySpec(group, having, q.pool()));
        q.OrderBy("Pet", "Kind", false);
        std::string first = d == "FIREBIRD" ? "select " : "select ";
        EXPECT_EQ(Take(G(d)->generateSelect(q.get())).value_or("<null>"),
                  first + "Pet.Kind \nfrom Pet\ngroup by Pet.Kind\nhaving  COUNT(*)  >  2 order by Pet.Kind  desc ")
            << d;
    }
    Query h;
    h.From("Pet");
    Vector* group = NewColumnList(h.pool());
    AddColumnToList(h.pool(), h.Column(nullptr, "Kind", 14), group);
    CriteriaNode* having = h.CompareText(nullptr, "Kind", 14, kSqlNotEqual, "it's");
    having->column->aggregate = kAggregateMin;
    SetGroupBy(h.get(), CreateGroupBySpec(group, having, h.pool()));
    EXPECT_EQ(Take(G("PGSQL")->generateSelect(h.get())).value_or("<null>"),
              "select * from Pet\ngroup by Kind\nhaving  MIN(Kind)  !=  'it''s' ");
}

/* ---- Refused names and values ------------------------------------------- */

TEST_F(SqlGenTest, NamesThatAreNotPlainIdentifiersAreRefused) {
    const char* bad[] = {"Person; drop table Person", "a b", "1st", "x'y", "na\"me", "", "é"};
    for (const std::string& d : kDialects) {
        for (const char* name : bad) {
            Query t;
            t.From(name);
            EXPECT_EQ(G(d)->generateSelect(t.get()), nullptr) << d << " table " << name;
            Query c;
            c.Select("Person", name, 14).From("Person");
            EXPECT_EQ(G(d)->generateSelect(c.get()), nullptr) << d << " column " << name;
            Query a;
            a.From("Person", name);
            EXPECT_EQ(G(d)->generateSelect(a.get()), nullptr) << d << " alias " << name;
        }
        Query ok;
        ok.Select("Person", "A$b_9", 14).From("_Person");
        EXPECT_NE(Take(G(d)->generateSelect(ok.get())), std::nullopt) << d;
    }
    EXPECT_TRUE(log_.Has("[ERROR] \"a b\" is not a plain identifier: statement refused.\n"));
    // Names from the data dictionary are checked in the same way.
    DefineTable("Odd", {{"Id", 5}, {"bad name", 14, 10}}, {"Id"});
    RowBuilder row(GetTableDefn("Odd"));
    row.Text(0, "1").Text(1, "x");
    for (const std::string& d : kDialects) {
        // An insert names no column: it is written, without the name.
        std::optional<std::string> insert = Take(G(d)->generateInsert("Odd", row.Make()));
        ASSERT_NE(insert, std::nullopt) << d;
        EXPECT_EQ(insert->find("bad"), std::string::npos) << *insert;
        EXPECT_EQ(G(d)->generateUpdate("Odd", row.Make()), nullptr) << d;
        EXPECT_EQ(G(d)->generateCreateTable("Odd"), nullptr) << d;
    }
}

TEST_F(SqlGenTest, ReservedWordsAreQuotedAsTheirUnquotedMeaning) {
    DefineTable("Order", {{"User", 5, 0, false}, {"Load", 10}}, {"User"});
    RowBuilder row(GetTableDefn("Order"));
    row.Number<int32_t>(0, 3).Number<double>(1, 0.5);
    EXPECT_EQ(Take(G("MYSQL")->generateInsert("Order", row.Make())), "insert into  `Order` values(3,0.5)");
    EXPECT_EQ(Take(G("PGSQL")->generateUpdate("Order", row.Make())), "update \"order\" set \"load\"=0.5 where \"user\"=3");
    EXPECT_EQ(Take(G("SQLITE")->generateDelete("Order", row.Make())), "delete from \"Order\"  where \"User\"=3");
    EXPECT_EQ(Take(G("FIREBIRD")->generateInsert("Order", row.Make())), "insert into  \"ORDER\" values(3,0.5);");
}

TEST_F(SqlGenTest, ValuesThatCannotBeWrittenRefuseTheStatement) {
    DefineTable("V", {{"Id", 5, 0, false}, {"F", 9}, {"D", 10}, {"N", 12}, {"U", 8}, {"C", 21}}, {"Id"});
    const TableDefn* v = GetTableDefn("V");
    for (const std::string& d : kDialects) {
        RowBuilder nan(v);
        nan.Number<int32_t>(0, 1).Number<double>(2, std::nan(""));
        EXPECT_EQ(G(d)->generateInsert("V", nan.Make()), nullptr) << d;
        RowBuilder inf(v);
        inf.Number<int32_t>(0, 1).Number<float>(1, std::numeric_limits<float>::infinity());
        EXPECT_EQ(G(d)->generateUpdate("V", inf.Make()), nullptr) << d;
        RowBuilder dec(v);
        dec.Number<int32_t>(0, 1).Bytes(3, "1); drop table V; --");
        EXPECT_EQ(G(d)->generateInsert("V", dec.Make()), nullptr) << d;
        RowBuilder clob(v);
        clob.Number<int32_t>(0, 1).Bytes(5, std::string("a\0b", 3));
        EXPECT_EQ(G(d)->generateInsert("V", clob.Make()), nullptr) << d;
        RowBuilder big(v);
        big.Number<int32_t>(0, 1).Number<uint64_t>(4, UINT64_MAX);
        std::optional<std::string> text = Take(G(d)->generateInsert("V", big.Make()));
        if (d == "SQLITE" || d == "FIREBIRD") {
            EXPECT_EQ(text, std::nullopt) << d;
        } else {
            ASSERT_NE(text, std::nullopt) << d;
            EXPECT_NE(text->find("18446744073709551615"), std::string::npos) << *text;
        }
        RowBuilder top(v);
        top.Number<int32_t>(0, 1).Number<uint64_t>(4, static_cast<uint64_t>(INT64_MAX));
        EXPECT_NE(Take(G(d)->generateInsert("V", top.Make())), std::nullopt) << d;
    }
    EXPECT_TRUE(log_.Has("[ERROR] Value of column D is not a finite number: statement refused.\n"));
    EXPECT_TRUE(log_.Has("[ERROR] Value of column N is not a number: statement refused.\n"));
    EXPECT_TRUE(log_.Has("[ERROR] Value of column C holds a zero byte: statement refused.\n"));
    EXPECT_TRUE(log_.Has("[ERROR] Value 18446744073709551615 of column U is above the largest integer SQLITE keeps"));
}

/* ---- Insert, update, delete --------------------------------------------- */

TEST_F(SqlGenTest, InsertOfBooleansPerEngine) {
    Person();
    RowBuilder t(GetTableDefn("Person"));
    t.Number<int32_t>(0, 1).Text(1, "Ann").Bool(2, true);
    RowBuilder f(GetTableDefn("Person"));
    f.Number<int32_t>(0, 2).Null(1).Bool(2, false);
    EXPECT_EQ(Take(G("MYSQL")->generateInsert("Person", t.Make())), "insert into  Person values(1,'Ann',1)");
    EXPECT_EQ(Take(G("MYSQL")->generateInsert("Person", f.Make())), "insert into  Person values(2,NULL,0)");
    EXPECT_EQ(Take(G("SQLITE")->generateInsert("Person", t.Make())), "insert into  Person values(1,'Ann',1);");
    EXPECT_EQ(Take(G("SQLITE")->generateInsert("Person", f.Make())), "insert into  Person values(2,NULL,0);");
    EXPECT_EQ(Take(G("PGSQL")->generateInsert("Person", t.Make())), "insert into  Person values(1,'Ann',true);");
    EXPECT_EQ(Take(G("PGSQL")->generateInsert("Person", f.Make())), "insert into  Person values(2,NULL,false);");
    EXPECT_EQ(Take(G("FIREBIRD")->generateInsert("Person", t.Make())), "insert into  Person values(1,'Ann',TRUE);");
    EXPECT_EQ(Take(G("FIREBIRD")->generateInsert("Person", f.Make())), "insert into  Person values(2,NULL,FALSE);");
    EXPECT_TRUE(log_.Has("[TRACE] Insert query is @@@insert into  Person values(1,'Ann',1)\n"));
    EXPECT_TRUE(log_.Has("[TRACE] @@@ Inside MysqlGenInsertQuery @@@\n"));
    EXPECT_TRUE(log_.Has("[TRACE] @@@ Inside FirebirdGenInsertQuery @@@\n"));
    EXPECT_FALSE(log_.Has("Inside SqliteGenInsertQuery"));
}

TEST_F(SqlGenTest, UpdateAndDeleteWithAKey) {
    Person();
    RowBuilder r(GetTableDefn("Person"));
    r.Number<int32_t>(0, 7).Text(1, "it's").Bool(2, true);
    EXPECT_EQ(Take(G("MYSQL")->generateUpdate("Person", r.Make())), "update Person set Name='it''s',Flag=1 where Id='7'");
    EXPECT_EQ(Take(G("PGSQL")->generateUpdate("Person", r.Make())), "update Person set Name='it''s',Flag=true where Id=7");
    EXPECT_EQ(Take(G("SQLITE")->generateUpdate("Person", r.Make())), "update Person set Name='it''s',Flag=1 where Id=7");
    EXPECT_EQ(Take(G("FIREBIRD")->generateUpdate("Person", r.Make())),
              "update Person set Name='it''s',Flag=TRUE where Id=7");
    EXPECT_EQ(Take(G("MYSQL")->generateDelete("Person", r.Make())), "delete from Person  where Id='7'");
    EXPECT_EQ(Take(G("PGSQL")->generateDelete("Person", r.Make())), "delete from Person  where Id=7");
    EXPECT_TRUE(log_.Has("[TRACE] @@@ Update Query has Primary Key in Set clause @@@\n"));
    EXPECT_TRUE(log_.Has("[TRACE] Update query is @@@ update Person set Name='it''s',Flag=1 where Id='7'\n"));
    EXPECT_TRUE(log_.Has("[TRACE] Update query is @@@update Person set Name='it''s',Flag=true where Id=7\n"));
    EXPECT_TRUE(log_.Has("[TRACE] Delete query is @@@delete from Person  where Id=7\n"));
    EXPECT_TRUE(log_.Has("[TRACE] @@@ Inside MysqlGenDelteQuery @@@\n"));
    EXPECT_TRUE(log_.Has("[TRACE] @@@ Inside PgsqlGenDeleteQuery @@@\n"));
    EXPECT_TRUE(log_.Has("[TRACE] @@@ Inside PgsqlGenUpdateQuery @@@\n"));
}

TEST_F(SqlGenTest, UpdateAndDeleteWithoutAKeyEndInWhereInEveryDialect) {
    Person();
    DefineTable("Loose", {{"A", 5}, {"B", 14, 5}});
    RowBuilder r(GetTableDefn("Person"));
    r.Null(0).Text(1, "x").Bool(2, false);
    RowBuilder loose(GetTableDefn("Loose"));
    loose.Number<int32_t>(0, 1).Text(1, "y");
    for (const std::string& d : kDialects) {
        std::string f = d == "PGSQL" ? "false" : d == "FIREBIRD" ? "FALSE" : "0";
        EXPECT_EQ(Take(G(d)->generateUpdate("Person", r.Make())), "update Person set Name='x',Flag=" + f + " where ")
            << d;
        EXPECT_EQ(Take(G(d)->generateUpdate("Loose", loose.Make())), "update Loose set A=1,B='y' where ") << d;
        EXPECT_EQ(Take(G(d)->generateDelete("Loose", loose.Make())), "delete from Loose  where ") << d;
    }
}

TEST_F(SqlGenTest, TextEscapingInEveryPosition) {
    DefineTable("Esc", {{"K", 14, 20, false}, {"V", 22}}, {"K"});
    RowBuilder r(GetTableDefn("Esc"));
    r.Text(0, "O'Brien\\").Text(1, "a\\'b';--");
    EXPECT_EQ(Take(G("MYSQL")->generateInsert("Esc", r.Make())), "insert into  Esc values('O''Brien\\\\','a\\\\''b'';--')");
    EXPECT_EQ(Take(G("MYSQL")->generateUpdate("Esc", r.Make())),
              "update Esc set V='a\\\\''b'';--' where K='O''Brien\\\\'");
    EXPECT_EQ(Take(G("MYSQL")->generateDelete("Esc", r.Make())), "delete from Esc  where K='O''Brien\\\\'");
    for (const std::string d : {"PGSQL", "SQLITE", "FIREBIRD"}) {
        EXPECT_EQ(Take(G(d)->generateInsert("Esc", r.Make())), "insert into  Esc values('O''Brien\\','a\\''b'';--');")
            << d;
        EXPECT_EQ(Take(G(d)->generateUpdate("Esc", r.Make())), "update Esc set V='a\\''b'';--' where K='O''Brien\\'")
            << d;
        EXPECT_EQ(Take(G(d)->generateDelete("Esc", r.Make())), "delete from Esc  where K='O''Brien\\'") << d;
    }
}

TEST_F(SqlGenTest, BlobsDatesDecimalsAndNulls) {
    DefineTable("B", {{"Id", 5, 0, false}, {"Bin", 20}, {"D", 16}, {"T", 17}, {"TS", 18}, {"N", 13}, {"Raw", 0}},
                {"Id"});
    RowBuilder r(GetTableDefn("B"));
    r.Number<int32_t>(0, 1)
        .Bytes(1, std::string("\x00\xff'A", 4))
        .Text(2, "2024-02-29")
        .Text(3, "23:59:58")
        .Text(4, "1999-12-31 00:00:01")
        .Bytes(5, "-12.5000")
        .Bytes(6, "raw");
    const std::string tail = ",'2024-02-29','23:59:58','1999-12-31 00:00:01',-12.5000,NULL";
    EXPECT_EQ(Take(G("MYSQL")->generateInsert("B", r.Make())), "insert into  B values(1,X'00ff2741'" + tail + ")");
    EXPECT_EQ(Take(G("SQLITE")->generateInsert("B", r.Make())), "insert into  B values(1,X'00ff2741'" + tail + ");");
    EXPECT_EQ(Take(G("PGSQL")->generateInsert("B", r.Make())),
              "insert into  B values(1,decode('00ff2741','hex')" + tail + ");");
    EXPECT_EQ(Take(G("FIREBIRD")->generateInsert("B", r.Make())), "insert into  B values(1,x'00ff2741'" + tail + ");");
    // A value without a text form (type 0) cannot be updated.
    EXPECT_EQ(G("PGSQL")->generateUpdate("B", r.Make()), nullptr);
    EXPECT_TRUE(log_.Has("[ERROR] Unsupported Datatype Used in Query generation.\n"));
    RowBuilder e(GetTableDefn("B"));
    e.Number<int32_t>(0, 2).Bytes(1, "");
    EXPECT_EQ(Take(G("SQLITE")->generateUpdate("B", e.Make())),
              "update B set Bin=X'',D=NULL,T=NULL,TS=NULL,N=NULL,Raw=NULL where Id=2");
}

TEST_F(SqlGenTest, SmallestBigintIsAnExpressionInFirebirdValues) {
    DefineTable("Big", {{"Id", 7, 0, false, false, std::string("-9223372036854775808")}}, {"Id"});
    RowBuilder r(GetTableDefn("Big"));
    r.Number<int64_t>(0, INT64_MIN);
    EXPECT_EQ(Take(G("FIREBIRD")->generateInsert("Big", r.Make())), "insert into  Big values((-9223372036854775807-1));");
    EXPECT_EQ(Take(G("FIREBIRD")->generateDelete("Big", r.Make())), "delete from Big  where Id=(-9223372036854775807-1)");
    EXPECT_EQ(Take(G("PGSQL")->generateInsert("Big", r.Make())), "insert into  Big values(-9223372036854775808);");
    EXPECT_EQ(Take(G("FIREBIRD")->generateCreateTable("Big")),
              "CREATE TABLE Big(\n\tId bigint DEFAULT -9223372036854775808 NOT NULL,\n\tPRIMARY KEY(Id)\n);\n\n");
}

TEST_F(SqlGenTest, UnknownTableOrMissingRowIsNull) {
    Person();
    for (const std::string& d : kDialects) {
        RowBuilder r(GetTableDefn("Person"));
        EXPECT_EQ(G(d)->generateInsert("Nobody", r.Make()), nullptr);
        EXPECT_EQ(G(d)->generateUpdate("Person", nullptr), nullptr);
        EXPECT_EQ(G(d)->generateDelete("Nobody", r.Make()), nullptr);
        EXPECT_EQ(G(d)->generateCreateTable("Nobody"), nullptr);
        EXPECT_EQ(G(d)->convertResultSet(nullptr, "Person"), nullptr);
    }
}

/* ---- Create table ------------------------------------------------------- */

std::vector<ColumnSpec> EveryTypeColumns() {
    std::vector<ColumnSpec> columns = {{"Id", 5, 0, false}};
    for (int code = 0; code <= 22; ++code) {
        columns.push_back({"C" + std::to_string(code), static_cast<uint8_t>(code), code == 14 || code == 15 ? 30 : 0});
    }
    return columns;
}

TEST_F(SqlGenTest, CreateTableGivesEveryTypeCodeAColumnType) {
    DefineTable("AllTypes", EveryTypeColumns(), {"Id"});
    struct Expect {
        std::string dialect;
        std::vector<std::string> types;
        std::string end;
    };
    const std::vector<Expect> expected = {
        {"MYSQL",
         {"longblob", "int", "tinyint unsigned", "int", "smallint unsigned", "int", "int unsigned", "bigint",
          "bigint unsigned", "double", "double", "double", "decimal(18,4)", "numeric(18,4)", "varchar(30)",
          "varchar(30)", "date", "time", "datetime", "tinyint", "longblob", "longtext", "longtext"},
         "\n) ENGINE = InnoDB DEFAULT CHARSET = utf8mb4;\n\n"},
        {"PGSQL",
         {"bytea", "int", "int", "int", "int", "int", "bigint", "bigint", "numeric(20)", "real", "double precision",
          "real", "decimal(18,4)", "numeric(18,4)", "varchar(30)", "varchar(30)", "date", "time", "timestamp",
          "boolean", "bytea", "text", "text"},
         "\n);\n\n"},
        {"SQLITE",
         {"blob", "int", "int", "int", "int", "int", "bigint", "bigint", "bigint", "real", "double", "real",
          "decimal(18,4)", "numeric(18,4)", "varchar(30)", "varchar(30)", "varchar(30)", "varchar(30)",
          "varchar(30)", "boolean", "blob", "text", "text"},
         "\n);\n\n"},
        {"FIREBIRD",
         {"BLOB SUB_TYPE BINARY", "int", "int", "int", "int", "int", "bigint", "bigint", "bigint", "double precision",
          "double precision", "double precision", "decimal(18,4)", "numeric(18,4)", "varchar(30)", "varchar(30)", "date",
          "time", "timestamp", "BOOLEAN", "BLOB SUB_TYPE BINARY", "BLOB SUB_TYPE TEXT", "BLOB SUB_TYPE TEXT"},
         "\n);\n\n"},
    };
    for (const Expect& e : expected) {
        std::string want = "CREATE TABLE AllTypes(\n\tId int   NOT NULL,\n";
        for (int code = 0; code <= 22; ++code) want += "\tC" + std::to_string(code) + " " + e.types[code] + "  ,\n";
        want += "\tPRIMARY KEY(Id)" + e.end;
        EXPECT_EQ(Take(G(e.dialect)->generateCreateTable("AllTypes")), want) << e.dialect;
    }
    EXPECT_TRUE(log_.Has("[TRACE] Table Name : AllTypes\n"));
    EXPECT_TRUE(log_.Has("[TRACE] Column Name : C21\n"));
    EXPECT_TRUE(log_.Has("[TRACE] Column Type : 21\n"));
    EXPECT_TRUE(log_.Has("[TRACE] Unique Flag : FALSE\n"));
    EXPECT_TRUE(log_.Has("[TRACE] Primary key : Id\n\n"));
    EXPECT_TRUE(log_.Has("[TRACE] Create query is\nCREATE TABLE AllTypes(\n"));
    EXPECT_TRUE(log_.Has("[TRACE] @@@ Inside PgsqlGenCreateQuery @@@\n"));
}

TEST_F(SqlGenTest, CreateTableDefaultsConstraintsAndSizes) {
    DefineTable("Def",
                {{"Id", 7, 0, false},
                 {"Name", 14, 0, false, true, std::string("it's")},
                 {"On", 19, 0, true, false, std::string("true")},
                 {"Off", 19, 0, true, false, std::string("false")},
                 {"Amount", 5, 0, true, false, std::string("-3")}},
                {"Id"});
    EXPECT_EQ(Take(G("PGSQL")->generateCreateTable("Def")),
              "CREATE TABLE Def(\n\tId bigint   NOT NULL,\n\tName varchar(255) DEFAULT 'it''s' NOT NULL UNIQUE,\n"
              "\t\"on\" boolean DEFAULT true,\n\tOff boolean DEFAULT false,\n\tAmount int DEFAULT -3,\n"
              "\tPRIMARY KEY(Id)\n);\n\n");
    EXPECT_EQ(Take(G("SQLITE")->generateCreateTable("Def")),
              "CREATE TABLE Def(\n\tId bigint   NOT NULL,\n\tName varchar(255) DEFAULT 'it''s' NOT NULL UNIQUE,\n"
              "\t\"On\" boolean DEFAULT 1,\n\tOff boolean DEFAULT 0,\n\tAmount int DEFAULT -3,\n"
              "\tPRIMARY KEY(Id)\n);\n\n");
    EXPECT_EQ(Take(G("FIREBIRD")->generateCreateTable("Def")),
              "CREATE TABLE Def(\n\tId bigint   NOT NULL,\n\tName varchar(255) DEFAULT 'it''s' NOT NULL UNIQUE,\n"
              "\t\"ON\" BOOLEAN DEFAULT TRUE,\n\tOff BOOLEAN DEFAULT FALSE,\n\tAmount int DEFAULT -3,\n"
              "\tPRIMARY KEY(Id)\n);\n\n");
    // Without a primary key the last column ends the list.
    DefineTable("NoKey", {{"A", 5}});
    EXPECT_EQ(Take(G("MYSQL")->generateCreateTable("NoKey")),
              "CREATE TABLE NoKey(\n\tA int  \n\n) ENGINE = InnoDB DEFAULT CHARSET = utf8mb4;\n\n");
}

TEST_F(SqlGenTest, TwoForeignKeyEntriesToOneTableMakeOneClause) {
    DefineTable("Parent", {{"A", 5, 0, false}, {"B", 5, 0, false}}, {"A", "B"});
    DefineTable("Child", {{"Id", 5, 0, false}, {"PA", 5}, {"PB", 5}, {"Other", 5}}, {"Id"},
                {{"PA", "A", "Parent"}, {"PB", "B", "parent"}, {"Other", "Id", "Child"}});
    const std::string head = "CREATE TABLE Child(\n\tId int   NOT NULL,\n\tPA int  ,\n\tPB int  ,\n\tOther int  ,\n"
                             "\tPRIMARY KEY(Id),\n";
    EXPECT_EQ(Take(G("SQLITE")->generateCreateTable("Child")),
              head + "\tFOREIGN KEY(PA,PB) REFERENCES Parent (A,B) ON DELETE CASCADE,\n"
                     "\tFOREIGN KEY(Other) REFERENCES Child (Id) ON DELETE CASCADE\n);\n\n");
    EXPECT_EQ(Take(G("MYSQL")->generateCreateTable("Child")),
              head + "\tFOREIGN KEY(PA,PB) REFERENCES Parent (A,B) ON DELETE CASCADE,\n\tINDEX Child_IDX0 (PA,PB),\n"
                     "\tFOREIGN KEY(Other) REFERENCES Child (Id) ON DELETE CASCADE,\n\tINDEX Child_IDX1 (Other)\n"
                     ") ENGINE = InnoDB DEFAULT CHARSET = utf8mb4;\n\n");
    EXPECT_TRUE(log_.Has("[TRACE] Foreign key Constraints\n"));
    EXPECT_TRUE(log_.Has("[TRACE] ********************************\n"));
}

TEST_F(SqlGenTest, EntryLinesOfConversionAndCreate) {
    Person();
    for (const std::string& d : kDialects) EXPECT_EQ(G(d)->convertResultSet(nullptr, "Person"), nullptr);
    EXPECT_TRUE(log_.Has("[TRACE] @@@ Inside MysqlConvResultsetToRowobject @@@\n"));
    EXPECT_TRUE(log_.Has("[TRACE] @@@ Inside FirebirdConvResultsetToRowobject @@@\n"));
    EXPECT_TRUE(log_.Has("[TRACE] @@@ Inside PgsqlConvResultsetToRowobject @@@\n"));
    EXPECT_FALSE(log_.Has("Inside Sqlite"));
}

TEST_F(SqlGenTest, NamedClauseFunctions) {
    Query q;
    q.Select("Person", "Name", 14).From("Person", "p");
    EXPECT_EQ(Take(MysqlGenerateColumnsStr(q.get()->columns)), "Person.Name \n");
    EXPECT_EQ(Take(FirebirdGenerateTableListStr(q.get()->tables)), "Person p \n");
    EXPECT_EQ(Take(SqliteGenerateTableListStr(q.get()->tables)), "Person as p \n");
    CriteriaNode* n = q.CompareText(nullptr, "Name", 14, kSqlEqual, "x");
    EXPECT_EQ(Take(PgsqlGenCriteriaString(n)), "Name =  'x' ");
    EXPECT_EQ(Take(PgsqlGenerateCriteriaStr(n)), "where Name =  'x' ");
    q.OrderBy(nullptr, "Name", true);
    EXPECT_EQ(Take(SqliteGenerateSortColumnStr(q.get()->sort)), "order by Name  asc ");
    Vector* group = NewColumnList(q.pool());
    AddColumnToList(q.pool(), q.Column(nullptr, "Name", 14, 0, "n"), group);
    EXPECT_EQ(Take(FirebirdGenerateGroupByStr(CreateGroupBySpec(group, nullptr, q.pool()))), "group by n\n");
    EXPECT_EQ(Take(MysqlGenerateJoinsStr(nullptr)), "");
}

}  // namespace
}  // namespace orv::test
