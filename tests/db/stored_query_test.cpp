// Stored queries on the test databases: the sample root of
// examples/queries started with InitVelkra (its definition tables created
// and filled from its default data), the sample queries' statements and
// rows, the loaders' edge cases (COUNT over all rows, undefined tables,
// lower-case "and", group-by order, missing detail rows, cyclic criteria),
// the convenience builders, and velkra queries / velkra query end to end.
#include <gtest/gtest.h>
#include <strings.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "db/connection.h"
#include "db/result_set.h"
#include "db/select_query.h"
#include "persist/stored_query.h"
#include "persist/velkra_init.h"
#include "tests/db/db_context.h"
#include "tests/support/test_support.h"
#include "util/mempool.h"

namespace orv::test {
namespace {

const char* const kTables[] = {"QueryDetails", "QueryvsColumns", "ColumnDetails", "QueryvsTables", "TableDetails",
                               "QueryvsJoins",  "JoinDetails",    "QueryvsGB",     "GroupByDetails", "QueryvsSort",
                               "SortDetails",   "QueryvsCriteria", "BooleanExp",   "RelationalExp", "Vendor",
                               "Product"};

const char kQuery1Sql[] =
    "select Vendor.Name as VendorName , COUNT(*) as Products , MAX(Product.Price) as TopPrice from Vendor inner "
    "join Product on Vendor.VendorID = Product.VendorID group by Vendor.Name,Vendor.Country order by Vendor.Name "
    "asc";
const char kQuery2Sql[] =
    "select Vendor.Name as VendorName ,Product.Name as ProductName from Vendor, Product where (Country = 'NO' AND "
    "Price > '50' ) OR Category = 'paint' order by Vendor.Name,Product.Name asc";

/* Line ends and runs of blanks as one blank, none at the ends. */
std::string OneLine(const std::string& text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == '\n' || c == '\t' || c == ' ' || c == '\r') {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

std::string Take(char* text) {
    std::string s = text != nullptr ? text : "<none>";
    std::free(text);
    return s;
}

/* The rows of a result set as tab-separated lines (header first), cut of
 * trailing tabs, numbers of the last column as the test gives them. */
std::vector<std::string> RenderedLines(ResultSet* set) {
    std::string text;
    RenderResultSet(set, &text);
    std::vector<std::string> lines = SplitLines(text);
    for (std::string& line : lines) {
        while (!line.empty() && line.back() == '\t') line.pop_back();
    }
    return lines;
}

class StoredQueryTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(sql_.Connect(Db())) << sql_.LastError();
        DropTables();
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldCwd_ = cwd;
        MakeDirectoryPath((base_ / "run").c_str());
        MakeDirectoryPath((base_ / "root/data").c_str());
        WriteRoot(base_ / "root");
        ASSERT_EQ(chdir((base_ / "run").c_str()), 0);
    }
    void TearDown() override {
        if (started_) DeInitVelkra();
        if (sql_.Connected()) DropTables();
        if (!oldCwd_.empty()) {
            EXPECT_EQ(chdir(oldCwd_.c_str()), 0);
        }
    }
    void DropTables() {
        for (const char* table : kTables) sql_.Exec(Db().DropTableSql(table));
    }
    /* The sample root for this engine: the example's dictionary, rows and
     * lists, with this engine's map and connection parameters. */
    void WriteRoot(const std::string& root) {
        const std::string sample = std::string(ORV_SOURCE_DIR) + "/examples/queries/data/";
        for (const char* name : {"datadictionary.txt", "queries.xml", "defaultdata.txt", "query_rows.xml",
                                 "loadtablelist.txt"}) {
            WriteFile(root + "/data/" + name, ReadFile(sample + name));
        }
        std::string map;
        for (const char* table : kTables) map += std::string(table) + " " + Db().connectionName + "\n";
        WriteFile(root + "/data/dsn_table_map.txt", map);
        WriteFile(root + "/data/connparams.txt", Db().connParamsLine + "\n");
    }
    void Start() {
        ASSERT_TRUE(InitVelkra((base_ / "root").c_str())) << ReadFile(base_ / "root/logs/velkra.log");
        started_ = true;
        SetLogLevel(4);
    }
    void Exec(const std::string& statement) { ASSERT_TRUE(sql_.Exec(statement)) << sql_.LastError(); }
    std::string Log() const { return ReadFile(base_ / "root/logs/velkra.log"); }

    /* The select list, tables and criteria of a stored query. */
    struct Built {
        SelectQuery* query = nullptr;
        ~Built() { FreeSelectQuery(query); }
        SelectColumn* Column(int32_t i) const {
            VectorNode* node = ElementAt(query->columns, i);
            return node != nullptr ? static_cast<SelectColumn*>(node->element) : nullptr;
        }
    };

    TempDir base_;
    OdbcSession sql_;
    std::string oldCwd_;
    bool started_ = false;
};

TEST_P(StoredQueryTest, SampleQueriesGiveTheirStatementsAndRows) {
    Start();
    std::string sql1 = OneLine(Take(GenerateStoredQuery(1)));
    std::string sql2 = OneLine(Take(GenerateStoredQuery(2)));
    if (Db().runsSingleEngineCases) {
        EXPECT_EQ(sql1, kQuery1Sql);
        EXPECT_EQ(sql2, kQuery2Sql);
    }
    EXPECT_NE(sql1.find("COUNT(*) as Products"), std::string::npos) << sql1;
    EXPECT_NE(sql1.find("group by Vendor.Name,Vendor.Country"), std::string::npos) << sql1;
    EXPECT_NE(sql2.find("(Country = 'NO' AND Price > '50' ) OR Category = 'paint'"), std::string::npos) << sql2;

    std::string statement;
    ResultSet* set = RunStoredQuery(1, &statement);
    ASSERT_NE(set, nullptr) << Log();
    std::vector<std::string> lines = RenderedLines(set);
    FreeResultSet(set);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(strcasecmp(lines[0].c_str(), "VendorName\tProducts\tTopPrice"), 0) << lines[0];
    const char* expected[][3] = {{"Alpfab", "2", "15"}, {"Iberia", "2", "25"}, {"Nordtek", "3", "120"}};
    for (int i = 0; i < 3; ++i) {
        std::vector<std::string> cells;
        size_t from = 0;
        for (size_t tab; (tab = lines[i + 1].find('\t', from)) != std::string::npos; from = tab + 1) {
            cells.push_back(lines[i + 1].substr(from, tab - from));
        }
        cells.push_back(lines[i + 1].substr(from));
        ASSERT_EQ(cells.size(), 3u) << lines[i + 1];
        EXPECT_EQ(cells[0], expected[i][0]);
        EXPECT_EQ(cells[1], expected[i][1]);
        EXPECT_DOUBLE_EQ(std::stod(cells[2]), std::stod(expected[i][2]));
    }

    set = RunStoredQuery(2, &statement);
    ASSERT_NE(set, nullptr) << Log();
    lines = RenderedLines(set);
    FreeResultSet(set);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "Alpfab\tPrimer P");
    EXPECT_EQ(lines[2], "Iberia\tPrimer P");
    EXPECT_EQ(lines[3], "Nordtek\tDrill X");
    EXPECT_EQ(lines[4], "Nordtek\tPrimer P");

    std::vector<int32_t> ids;
    ASSERT_TRUE(ReadStoredQueryIds(&ids));
    EXPECT_EQ(ids, (std::vector<int32_t>{1, 2}));
    EXPECT_TRUE(BuildStoredQuery(1));
    EXPECT_TRUE(RunAllStoredQueries());
    EXPECT_EQ(Take(StoredCriteriaText(2)), "Country=NOANDPrice>50ORCategory=paint");
    EXPECT_TRUE(PrintStoredCriteria(2));
    EXPECT_NE(Log().find("\nCountry=NOANDPrice>50ORCategory=paint\n"), std::string::npos);
}

TEST_P(StoredQueryTest, ColumnsGroupByAndCriteriaAsStored) {
    Start();
    // A column of a table without definition, and a defined one.
    Exec("insert into ColumnDetails (COLUMN_ID, COLUMNNAME, TABLENAME) values (100, 'X', 'Elsewhere')");
    Exec("insert into ColumnDetails (COLUMN_ID, COLUMNNAME, TABLENAME) values (101, 'Price', 'Product')");
    Exec("insert into QueryvsColumns (QUERY_ID, COLUMN_ID) values (100, 100)");
    Exec("insert into QueryvsColumns (QUERY_ID, COLUMN_ID) values (100, 101)");
    // "and" in lower case is not AND.
    Exec("insert into BooleanExp (B_ID, LEXPRESSION, OPERATOR, REXPRESSION) values (50, 11, 'and', 12)");
    Exec("insert into QueryvsCriteria (QUERY_ID, B_ID) values (100, 50)");

    Built one;
    one.query = LoadStoredQuery(1);
    ASSERT_NE(one.query, nullptr);
    ASSERT_EQ(one.query->columns->count, 3);
    SelectColumn* count = one.Column(1);
    EXPECT_EQ(count->aggregate, kAggregateCount);
    EXPECT_EQ(count->columnName, nullptr);
    EXPECT_STREQ(count->columnAlias, "Products");
    EXPECT_EQ(one.Column(0)->dataType, 14);   // Vendor.Name, a character column
    EXPECT_EQ(one.Column(2)->dataType, 10);   // Product.Price, a double
    EXPECT_EQ(one.Column(2)->aggregate, kAggregateMax);
    ASSERT_NE(one.query->groupBy, nullptr);
    ASSERT_EQ(one.query->groupBy->columns->count, 2);
    auto* first = static_cast<SelectColumn*>(ElementAt(one.query->groupBy->columns, 0)->element);
    auto* second = static_cast<SelectColumn*>(ElementAt(one.query->groupBy->columns, 1)->element);
    EXPECT_STREQ(first->columnName, "Name");
    EXPECT_STREQ(second->columnName, "Country");
    EXPECT_EQ(one.query->groupBy->having, nullptr);
    ASSERT_EQ(one.query->joins->count, 1);
    auto* join = static_cast<JoinSpec*>(ElementAt(one.query->joins, 0)->element);
    EXPECT_EQ(join->joinType, kJoinInner);
    EXPECT_STREQ(join->leftTable, "Vendor");
    EXPECT_STREQ(join->rightTable, "Product");
    ASSERT_NE(one.query->sort, nullptr);
    EXPECT_EQ(one.query->sort->ascending, 1);

    Built two;
    two.query = LoadStoredQuery(2);
    ASSERT_NE(two.query->criteria, nullptr);
    EXPECT_EQ(two.query->criteria->op, kSqlOr);
    ASSERT_NE(two.query->criteria->left, nullptr);
    EXPECT_EQ(two.query->criteria->left->op, kSqlAnd);
    EXPECT_EQ(two.query->criteria->left->parent, two.query->criteria);
    CriteriaNode* country = two.query->criteria->left->left;
    ASSERT_NE(country, nullptr);
    EXPECT_EQ(country->op, kSqlEqual);
    EXPECT_EQ(country->column->dataType, 15);
    EXPECT_EQ(country->column->tableName, nullptr);
    EXPECT_EQ(country->valueLength, 2);
    EXPECT_STREQ(static_cast<const char*>(country->value), "NO");
    EXPECT_EQ(two.query->tables->count, 2);

    Built other;
    other.query = LoadStoredQuery(100);
    ASSERT_EQ(other.query->columns->count, 2);
    EXPECT_EQ(other.Column(0)->dataType, 14);  // no definition of Elsewhere
    EXPECT_EQ(other.Column(1)->dataType, 10);
    ASSERT_NE(other.query->criteria, nullptr);
    EXPECT_EQ(other.query->criteria->op, kSqlOr);
}

TEST_P(StoredQueryTest, CyclicCriteriaAndMissingRowsLeaveTheirPartOut) {
    Start();
    // 60 -> 61 -> 60, and 70 -> 70.
    Exec("insert into BooleanExp (B_ID, LEXPRESSION, OPERATOR, REXPRESSION) values (60, 61, 'AND', 11)");
    Exec("insert into BooleanExp (B_ID, LEXPRESSION, OPERATOR, REXPRESSION) values (61, 12, 'OR', 60)");
    Exec("insert into BooleanExp (B_ID, LEXPRESSION, OPERATOR, REXPRESSION) values (70, 70, 'AND', 11)");
    Exec("insert into QueryvsCriteria (QUERY_ID, B_ID) values (102, 60)");
    Exec("insert into QueryvsCriteria (QUERY_ID, B_ID) values (103, 70)");
    Exec("insert into QueryvsTables (QUERY_ID, TABLE_ID) values (102, 2)");
    Exec("insert into QueryvsTables (QUERY_ID, TABLE_ID) values (103, 2)");
    // Link rows without their detail rows.
    Exec("insert into QueryvsTables (QUERY_ID, TABLE_ID) values (104, 1)");
    Exec("insert into QueryvsColumns (QUERY_ID, COLUMN_ID) values (104, 999)");
    Exec("insert into QueryvsJoins (QUERY_ID, JOIN_ID) values (104, 999)");
    Exec("insert into QueryvsSort (QUERY_ID, SORT_ID) values (104, 999)");
    Exec("insert into QueryvsCriteria (QUERY_ID, B_ID) values (104, 999)");

    for (int32_t id : {102, 103}) {
        Built built;
        built.query = LoadStoredQuery(id);
        ASSERT_NE(built.query, nullptr);
        EXPECT_EQ(built.query->criteria, nullptr) << id;
        EXPECT_EQ(StoredCriteriaText(id), nullptr) << id;
        EXPECT_EQ(OneLine(Take(GenerateStoredQuery(id))), "select * from Product") << id;
    }
    EXPECT_NE(Log().find("refers to itself or to an expression above it: criteria refused"), std::string::npos);

    Built missing;
    missing.query = LoadStoredQuery(104);
    ASSERT_NE(missing.query, nullptr);
    EXPECT_EQ(missing.query->columns->count, 0);
    EXPECT_EQ(missing.query->joins->count, 0);
    EXPECT_EQ(missing.query->criteria, nullptr);
    ASSERT_EQ(missing.query->tables->count, 1);
    EXPECT_NE(Log().find("\nInvalid ID\n"), std::string::npos);
    std::string statement;
    ResultSet* set = RunStoredQuery(104, &statement);
    ASSERT_NE(set, nullptr) << statement;
    EXPECT_EQ(set->rowCount, 3);
    FreeResultSet(set);

    // A query without any definition rows has no statement.
    EXPECT_EQ(GenerateStoredQuery(555), nullptr);
}

TEST_P(StoredQueryTest, BuildersMakeJoinsAndColumns) {
    Start();
    ASSERT_TRUE(InitializeMemPool());
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    Vector* names = MakeColumnVector(query->pool, 2, "a", "b");
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->count, 2);
    EXPECT_STREQ(static_cast<const char*>(ElementAt(names, 1)->element), "b");
    Vector* joinColumns = MakeColumnVectorForJoin(query->pool, "Vendor", 1, "VendorID");
    ASSERT_NE(joinColumns, nullptr);
    auto* joinColumn = static_cast<SelectColumn*>(ElementAt(joinColumns, 0)->element);
    EXPECT_STREQ(joinColumn->tableName, "Vendor");
    EXPECT_EQ(joinColumn->dataType, 5);
    EXPECT_EQ(MakeColumnVectorForJoin(query->pool, "Vendor", 1, static_cast<const char*>(nullptr)), nullptr);

    ASSERT_TRUE(AddColumnToQuery(query, "Product", nullptr, "Name", "ProductName", 0, 14, kAggregateNone));
    ASSERT_TRUE(AddColumnToQuery(query, nullptr, nullptr, nullptr, "Rows", 0, 14, kAggregateCount));
    EXPECT_FALSE(AddColumnToQuery(query, nullptr, nullptr, nullptr, nullptr, 0, 14, kAggregateNone));
    ASSERT_TRUE(AddJoinOnColumns(query, "Vendor", nullptr, "Product", nullptr, kJoinLeft, 1, "VendorID"));
    char* sql = GenerateSelectQuery(query);
    ASSERT_NE(sql, nullptr);
    std::string text = OneLine(sql);
    std::free(sql);
    EXPECT_NE(text.find("Vendor left join Product on Vendor.VendorID = Product.VendorID"), std::string::npos)
        << text;
    FreeSelectQuery(query);
    TerminateMemPool();
}

TEST_P(StoredQueryTest, VelkraQueriesPrintsEveryStoredQuery) {
    if (!Db().runsSingleEngineCases) GTEST_SKIP() << "the command is run end to end on one engine";
    const std::string root = base_ / "root";
    RunResult all = RunProgram(ORV_VELKRA_PROGRAM, {"queries", "--root", root}, {});
    EXPECT_EQ(all.exitStatus, 0) << all.output << ReadFile(root + "/logs/velkra.log");
    EXPECT_EQ(all.output, std::string("query 1\n") + kQuery1Sql +
                              "\nVendorName\tProducts\tTopPrice\t\n"
                              "Alpfab\t2\t15.000000\t\nIberia\t2\t25.000000\t\nNordtek\t3\t120.000000\t\n\n"
                              "query 2\n" + kQuery2Sql +
                              "\nVendorName\tProductName\t\n"
                              "Alpfab\tPrimer P\t\nIberia\tPrimer P\t\nNordtek\tDrill X\t\nNordtek\tPrimer P\t\n\n");

    RunResult one = RunProgram(ORV_VELKRA_PROGRAM, {"query", "--root", root, "2"}, {});
    EXPECT_EQ(one.exitStatus, 0) << one.output;
    EXPECT_EQ(one.output.rfind("query 2\n", 0), 0u) << one.output;
    EXPECT_EQ(SplitLines(one.output).size(), 8u) << one.output;

    RunResult unknown = RunProgram(ORV_VELKRA_PROGRAM, {"query", "--root", root, "9"}, {});
    EXPECT_EQ(unknown.exitStatus, 1);
    EXPECT_NE(unknown.output.find("velkra query: no stored query 9 in QueryDetails"), std::string::npos);
    RunResult word = RunProgram(ORV_VELKRA_PROGRAM, {"query", "--root", root, "x"}, {});
    EXPECT_EQ(word.exitStatus, 2);
    RunResult noRoot = RunProgram(ORV_VELKRA_PROGRAM, {"queries"}, {});
    EXPECT_EQ(noRoot.exitStatus, 2);
    RunResult help = RunProgram(ORV_VELKRA_PROGRAM, {"queries", "--help"}, {});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.output.rfind("usage: velkra queries --root DIR\n", 0), 0u);
    RunResult badRoot =
        RunProgram(ORV_VELKRA_PROGRAM, {"queries", "--root", base_ / "missing"}, {});
    EXPECT_EQ(badRoot.exitStatus, 1);
}

ORV_INSTANTIATE_DB_TESTS_WITH_FIREBIRD(StoredQueryTest);

}  // namespace
}  // namespace orv::test
