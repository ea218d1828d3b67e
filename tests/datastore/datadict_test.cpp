// The data dictionary loader on real files: the list file and its look-up
// order, every element of the format, the builder's rules, and malformed
// input that must be logged and passed over.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "datastore/datadict.h"
#include "datastore/table_defn.h"
#include "datastore/velkra_root.h"
#include "tests/datastore/log_fixture.h"

namespace orv::test {
namespace {

/* A table element with one int column named c and optional extra text
 * inside the column and the table. */
std::string Table(const std::string& name, const std::string& column = "", const std::string& tail = "") {
    return "  <table name=\"" + name + "\">\n    <columns>\n      <column name=\"c\">\n" +
           "        <data-type>ORV_SQL_INT</data-type>\n" + column + "      </column>\n    </columns>\n" + tail +
           "  </table>\n";
}

std::string Document(const std::string& tables) {
    return "<?xml version=\"1.0\"?>\n<data-dictionary>\n  <description>test</description>\n" + tables +
           "</data-dictionary>\n";
}

class DataDictTest : public LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        char cwd[PATH_MAX];
        ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
        cwd_ = cwd;
        root_ = dir_ / "root";
        mkdir(root_.c_str(), 0755);
        mkdir((root_ + "/data").c_str(), 0755);
        // A working directory whose ../data holds nothing, unless a test
        // writes there.
        mkdir((dir_ / "work").c_str(), 0755);
        ASSERT_EQ(chdir((dir_ / "work").c_str()), 0);
        SetVelkraRoot(root_.c_str());
        ResetDataDictLoadReport();
    }
    void TearDown() override {
        EXPECT_EQ(chdir(cwd_.c_str()), 0);
        LogFixture::TearDown();
    }
    /* Writes a file under root/data. */
    void Data(const std::string& name, const std::string& content) { WriteFile(root_ + "/data/" + name, content); }
    /* Writes the list and one file, and loads. */
    void LoadOne(const std::string& xml) {
        Data("datadictionary.txt", "one.xml\n");
        Data("one.xml", xml);
        ASSERT_TRUE(LoadAllDataDictFiles());
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        Vector* list = GetTableDefnList();
        for (VectorNode* n = list ? ElementAt(list, 0) : nullptr; n != nullptr; n = n->next) {
            names.push_back(static_cast<TableDefn*>(n->element)->name);
        }
        return names;
    }
    ColumnDefnEntry* Column(const char* table, const char* column) { return GetColumnDefnEntry(table, column); }

    std::string cwd_;
    std::string root_;
};

TEST_F(DataDictTest, ExampleDictionaryLoadsEveryElement) {
    SetVelkraRoot(ORV_EXAMPLES_DIR);
    ASSERT_TRUE(LoadAllDataDictFiles());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Customer", "Site", "Device", "Port", "Alarm"}));
    DataDictLoadReport report = GetDataDictLoadReport();
    EXPECT_EQ(report.filesLoaded, 2);
    EXPECT_EQ(report.tablesLoaded, 5);
    EXPECT_EQ(report.filesFailed + report.tablesFailed + report.entriesRefused, 0);

    TableDefn* customer = GetTableDefn("customer");
    EXPECT_STREQ(customer->description, "A customer of the service.");
    EXPECT_EQ(customer->columns->count, 5);
    ColumnDefnEntry* id = Column("Customer", "CustomerID");
    EXPECT_EQ(id->type, ORV_SQL_BIGINT);
    EXPECT_EQ(id->unique, 1);
    EXPECT_EQ(id->nullable, 0);
    EXPECT_STREQ(id->generatorName, "CustomerSeq");
    EXPECT_STREQ(id->description, "Identifier from the sequence generator.");
    EXPECT_EQ(Column("Customer", "Name")->maxSize, 64);
    EXPECT_EQ(Column("Customer", "Notes")->type, ORV_SQL_TEXT);
    EXPECT_EQ(Column("Customer", "Notes")->nullable, 1);  // omitted: nullable
    ColumnDefnEntry* active = Column("Customer", "Active");
    ASSERT_NE(active->defaultValue, nullptr);
    EXPECT_EQ(*static_cast<uint8_t*>(active->defaultValue), 1);
    EXPECT_EQ(customer->constraints->primaryKeyCount, 1);
    EXPECT_EQ(customer->constraints->foreignKeys, nullptr);

    AllowedValues* floors = Column("Site", "Floors")->allowedValues;
    ASSERT_NE(floors, nullptr);
    EXPECT_EQ(floors->isRange, 1);
    EXPECT_STREQ(floors->values[0], "1");
    EXPECT_STREQ(floors->values[1], "200");
    AllowedValues* kind = Column("Device", "Kind")->allowedValues;
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(kind->isRange, 0);
    EXPECT_STREQ(kind->values[2], "firewall");
    EXPECT_EQ(kind->values[3], nullptr);
    EXPECT_STREQ(static_cast<char*>(Column("Device", "Kind")->defaultValue), "router");
    EXPECT_EQ(Column("Device", "DeviceID")->type, ORV_SQL_INT);  // "integer"

    ForeignKeyEntry* site = GetForeignKeyEntry(GetTableDefn("Site"), "CustomerID");
    ASSERT_NE(site, nullptr);
    EXPECT_STREQ(site->referenceTable, "Customer");
    EXPECT_EQ(site->onDeleteCascade, 1);
    ForeignKeyEntry* device = GetForeignKeyEntry(GetTableDefn("Device"), "SiteID");
    EXPECT_EQ(device->bidirectional, 1);
    EXPECT_EQ(device->onDeleteCascade, 0);
    EXPECT_EQ(device->reserved, 0);

    TableDefn* alarm = GetTableDefn("Alarm");
    ASSERT_EQ(alarm->constraints->foreignKeys->count, 2);
    for (VectorNode* n = ElementAt(alarm->constraints->foreignKeys, 0); n; n = n->next) {
        auto* fk = static_cast<ForeignKeyEntry*>(n->element);
        EXPECT_STREQ(fk->referenceTable, "Port");
        EXPECT_EQ(fk->onDeleteCascade, 0);
    }
    EXPECT_STREQ(GetForeignKeyEntry(alarm, "ifindex")->referenceColumn, "IfIndex");
    EXPECT_EQ(GetTableDefn("Port")->constraints->primaryKeyCount, 2);
    EXPECT_STREQ(GetTableDefn("Port")->constraints->primaryKeyColumns[1], "IfIndex");
}

TEST_F(DataDictTest, EntriesOnOneLineLoadInOrder) {
    Data("datadictionary.txt", "b.xml a.xml\n\n  c.xml");
    Data("a.xml", Document(Table("A")));
    Data("b.xml", Document(Table("B")));
    Data("c.xml", Document(Table("C")));
    ASSERT_TRUE(LoadAllDataDictFiles());
    EXPECT_EQ(Names(), (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_TRUE(Logged("[DEBUG] Opening " + root_ + "/data/datadictionary.txt\n"));
    EXPECT_TRUE(Logged("[DEBUG] Opening " + root_ + "/data/a.xml\n"));
}

TEST_F(DataDictTest, WorkingDirectoryListComesBeforeTheRoot) {
    mkdir((dir_ / "data").c_str(), 0755);  // ../data seen from the working directory
    WriteFile(dir_ / "data/datadictionary.txt", "w.xml\n");
    WriteFile(dir_ / "data/w.xml", Document(Table("FromWorkingDir")));
    Data("datadictionary.txt", "r.xml\n");
    Data("r.xml", Document(Table("FromRoot")));
    ASSERT_TRUE(LoadAllDataDictFiles());
    EXPECT_EQ(Names(), (std::vector<std::string>{"FromWorkingDir"}));
    EXPECT_TRUE(Logged("[DEBUG] Opening ..\\data\\w.xml\n"));
    EXPECT_FALSE(Logged(root_ + "/data/datadictionary.txt"));
}

TEST_F(DataDictTest, NoListFileFails) {
    EXPECT_FALSE(LoadAllDataDictFiles());
    EXPECT_TRUE(Logged("[ERROR] Cannot open DataDictionary File.\n"));
    EXPECT_FALSE(LoadDataDictFiles((dir_ / "nowhere").c_str()));
    EXPECT_FALSE(LoadDataDictFromXMLFile(nullptr));
}

TEST_F(DataDictTest, LoadDataDictFilesReadsAnotherDirectory) {
    std::string other = dir_ / "other";
    mkdir(other.c_str(), 0755);
    WriteFile(other + "/datadictionary.txt", "x.xml");
    WriteFile(other + "/x.xml", Document(Table("X")));
    ASSERT_TRUE(LoadDataDictFiles(other.c_str()));
    EXPECT_EQ(Names(), (std::vector<std::string>{"X"}));
}

TEST_F(DataDictTest, ColumnFlagsAndTypes) {
    std::string xml = "  <table name=\"T\">\n    <columns>\n"
                      "      <column name=\"misspelled\">\n        <data-type>INTEGR</data-type>\n      </column>\n"
                      "      <column name=\"untyped\">\n        <nullable>FALSE</nullable>\n      </column>\n"
                      "      <column name=\"upperUnique\">\n        <data-type>INTEGER</data-type>\n"
                      "        <unique>TRUE</unique>\n        <nullable>no</nullable>\n      </column>\n"
                      "      <column name=\"plain\">\n        <data-type>long</data-type>\n"
                      "        <nullable>True</nullable>\n        <max-size>-12</max-size>\n      </column>\n"
                      "      <column name=\"size\">\n        <data-type>ORV_SQL_CHAR</data-type>\n"
                      "        <max-size>12x</max-size>\n        <default-value>-7</default-value>\n"
                      "      </column>\n"
                      "    </columns>\n  </table>\n";
    LoadOne(Document(xml));
    ASSERT_EQ(Names().size(), 1u);
    EXPECT_EQ(Column("T", "misspelled")->type, 0);
    EXPECT_EQ(CountLogged("Column data type not supported"), 1);  // only for the missing one
    EXPECT_EQ(Column("T", "untyped")->type, 0);
    EXPECT_EQ(Column("T", "untyped")->nullable, 0);
    EXPECT_EQ(Column("T", "upperUnique")->unique, 0);
    EXPECT_EQ(Column("T", "upperUnique")->nullable, 0);
    EXPECT_EQ(Column("T", "plain")->type, ORV_SQL_INT);
    EXPECT_EQ(Column("T", "plain")->nullable, 1);
    EXPECT_EQ(Column("T", "plain")->maxSize, -12);
    EXPECT_EQ(Column("T", "size")->maxSize, -1);
    EXPECT_STREQ(static_cast<char*>(Column("T", "size")->defaultValue), "-7");
    // Omitted nullable and max-size start afresh for every column.
    EXPECT_EQ(Column("T", "misspelled")->nullable, 1);
    EXPECT_EQ(Column("T", "misspelled")->maxSize, 0);
}

TEST_F(DataDictTest, CascadeNeedsTheExactText) {
    auto fk = [](const std::string& ref, const std::string& constraints) {
        return "    <foreign-keys>\n      <foreign-key reference-table-name=\"" + ref +
               "\">\n        <fk-columns>\n          <fk-column>\n"
               "            <fk-local-column>c</fk-local-column>\n"
               "            <fk-reference-column>c</fk-reference-column>\n          </fk-column>\n"
               "        </fk-columns>\n" +
               constraints + "      </foreign-key>\n    </foreign-keys>\n";
    };
    LoadOne(Document(Table("Lower", "", fk("R", "        <fk-constraints>on-delete-cascade</fk-constraints>\n")) +
                     Table("Exact", "", fk("R", "        <fk-constraints>ON-DELETE-CASCADE</fk-constraints>\n")) +
                     Table("None", "", fk("R", ""))));
    EXPECT_EQ(GetForeignKeyEntry(GetTableDefn("Lower"), "c")->onDeleteCascade, 0);
    EXPECT_EQ(GetForeignKeyEntry(GetTableDefn("Exact"), "c")->onDeleteCascade, 1);
    EXPECT_EQ(GetForeignKeyEntry(GetTableDefn("None"), "c")->onDeleteCascade, 0);
}

TEST_F(DataDictTest, RangeWithoutToLosesOnlyItsTable) {
    LoadOne(Document(Table("Before") +
                     Table("Broken", "        <allowed-values>\n          <from>1</from>\n        </allowed-values>\n") +
                     Table("After")));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Before", "After"}));
    EXPECT_TRUE(Logged("[ERROR] In the allowed values attribute, 'to' tag is missing.\n"));
    EXPECT_EQ(GetDataDictLoadReport().tablesFailed, 1);
}

TEST_F(DataDictTest, ExtraAttributeIsReportedAndTheTableLoads) {
    LoadOne(Document("  <table name=\"Extra\" system=\"x\" colour=\"red\">\n    <columns>\n"
                     "      <column name=\"c\"><data-type>INTEGER</data-type></column>\n    </columns>\n  </table>\n"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Extra"}));
    EXPECT_TRUE(Logged("[ERROR] \n Not all Attributes were read\n"));
    EXPECT_TRUE(Logged("[TRACE] @@@@Parsing Table Info : Extra @@@@\n"));
    EXPECT_TRUE(Logged("[TRACE] \t@@@@ Loaded Table definition Successfully @@@@\n"));
}

TEST_F(DataDictTest, FilesWithoutWhiteSpaceLoadTheSame) {
    std::string xml =
        "<data-dictionary><description>d</description><table name=\"Tight\"><description>t</description>"
        "<columns><column name=\"a\"><data-type>INTEGER</data-type><nullable>false</nullable></column>"
        "<column name=\"b\"><data-type>BOOLEAN</data-type><allowed-values><value>true</value><value>false</value>"
        "</allowed-values></column></columns><primary-key><primary-key-column>a</primary-key-column>"
        "<primary-key-column>b</primary-key-column></primary-key><foreign-keys><foreign-key "
        "reference-table-name=\"R\"><fk-columns><fk-column><fk-local-column>a</fk-local-column>"
        "<fk-reference-column>ra</fk-reference-column></fk-column></fk-columns><fk-constraints>ON-DELETE-CASCADE"
        "</fk-constraints></foreign-key></foreign-keys></table></data-dictionary>";
    LoadOne(xml);
    ASSERT_EQ(Names(), (std::vector<std::string>{"Tight"}));
    TableDefn* t = GetTableDefn("Tight");
    EXPECT_STREQ(t->description, "t");
    EXPECT_EQ(t->columns->count, 2);
    EXPECT_EQ(Column("Tight", "a")->nullable, 0);
    EXPECT_STREQ(Column("Tight", "b")->allowedValues->values[1], "false");
    EXPECT_EQ(t->constraints->primaryKeyCount, 2);
    ForeignKeyEntry* fk = GetForeignKeyEntry(t, "a");
    ASSERT_NE(fk, nullptr);
    EXPECT_STREQ(fk->referenceColumn, "ra");
    EXPECT_EQ(fk->onDeleteCascade, 1);
}

TEST_F(DataDictTest, UnknownAndUpperCaseElementsArePassedOver) {
    LoadOne(Document("  <note>ignored<table name=\"Inner\"/></note>\n  <TABLE name=\"Upper\"><columns/></TABLE>\n" +
                     Table("Known", "        <colour>blue</colour>\n        <Data-Type>TEXT</Data-Type>\n",
                           "    <indexes><index>c</index></indexes>\n")));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Known"}));
    EXPECT_EQ(Column("Known", "c")->type, ORV_SQL_INT);
}

TEST_F(DataDictTest, MalformedFilesAreLoggedAndTheNextFileLoads) {
    Data("datadictionary.txt", "notxml.xml truncated.xml missing.xml empty.xml good.xml");
    Data("notxml.xml", "this is not xml at all\n");
    Data("truncated.xml", Document(Table("Whole") + Table("Cut")).substr(0, 260));
    Data("empty.xml", "");
    Data("good.xml", Document(Table("Good")));
    ASSERT_TRUE(LoadAllDataDictFiles());
    EXPECT_EQ(Names().back(), "Good");
    for (const std::string& name : Names()) EXPECT_NE(name, "Cut");
    EXPECT_TRUE(Logged("[ERROR] " + root_ + "/data/notxml.xml : failed to parse\n"));
    EXPECT_TRUE(Logged("[ERROR] " + root_ + "/data/truncated.xml : failed to parse\n"));
    EXPECT_TRUE(Logged("[ERROR] Unable to open " + root_ + "/data/missing.xml\n"));
    // libxml2's own account of the error, with file and line.
    EXPECT_TRUE(Logged("[ERROR] " + root_ + "/data/notxml.xml:1: "));
    DataDictLoadReport report = GetDataDictLoadReport();
    EXPECT_EQ(report.filesLoaded, 1);
    EXPECT_EQ(report.filesFailed, 4);
}

TEST_F(DataDictTest, MissingAttributesAndEmptyElementsAreRefusedCleanly) {
    LoadOne(Document(
        "  <table>\n    <columns><column name=\"c\"><data-type>INTEGER</data-type></column></columns>\n  </table>\n"
        "  <table name=\"NoColumns\"/>\n"
        "  <table name=\"EmptyColumns\"><columns/></table>\n"
        "  <table name=\"Mixed\"><description/><columns>\n"
        "    <column><data-type>INTEGER</data-type></column>\n"
        "    <column name=\"kept\"><data-type/><nullable/><max-size/><default-value/><unique/>"
        "<uniquevalue-generation/><allowed-values/></column>\n"
        "    <column name=\"emptyValues\"><data-type>INTEGER</data-type><allowed-values><value/></allowed-values>"
        "</column>\n"
        "    <column name=\"emptyRange\"><data-type>INTEGER</data-type><allowed-values><from/><to/></allowed-values>"
        "</column>\n"
        "  </columns>\n"
        "  <primary-key><primary-key-column/><primary-key-column>kept</primary-key-column></primary-key>\n"
        "  <foreign-keys>\n"
        "    <foreign-key><fk-columns><fk-column><fk-local-column>kept</fk-local-column>"
        "<fk-reference-column>x</fk-reference-column></fk-column></fk-columns></foreign-key>\n"
        "    <foreign-key reference-table-name=\"R\"><fk-columns><fk-column><fk-local-column/>"
        "<fk-reference-column/></fk-column><fk-column/></fk-columns></foreign-key>\n"
        "    <foreign-key reference-table-name=\"R\"/>\n"
        "    <foreign-key reference-table-name=\"R\"><other/></foreign-key>\n"
        "  </foreign-keys></table>\n"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Mixed"}));
    TableDefn* mixed = GetTableDefn("Mixed");
    EXPECT_EQ(mixed->description, nullptr);
    EXPECT_EQ(mixed->columns->count, 3);
    EXPECT_EQ(Column("Mixed", "kept")->type, 0);
    EXPECT_EQ(Column("Mixed", "kept")->allowedValues, nullptr);
    EXPECT_EQ(Column("Mixed", "emptyValues")->allowedValues, nullptr);  // no value text, no list
    EXPECT_STREQ(Column("Mixed", "emptyRange")->allowedValues->values[0], "");
    EXPECT_EQ(mixed->constraints->primaryKeyCount, 1);
    EXPECT_STREQ(mixed->constraints->primaryKeyColumns[0], "kept");
    EXPECT_EQ(mixed->constraints->foreignKeys, nullptr);
    EXPECT_TRUE(Logged("fk-columns tag not found \n"));
}

TEST_F(DataDictTest, MixedContentGivesTheMissingEndTagMessages) {
    LoadOne(Document(Table(
        "Mixed",
        "        <allowed-values><value>a<b/></value><value>z</value></allowed-values>\n",
        "    <primary-key><primary-key-column>c<!-- note --></primary-key-column></primary-key>\n"
        "    <foreign-keys><foreign-key reference-table-name=\"R\"><fk-columns><fk-column>"
        "<fk-local-column>c<x/></fk-local-column><fk-reference-column>c</fk-reference-column></fk-column>"
        "</fk-columns></foreign-key></foreign-keys>\n")));
    EXPECT_TRUE(Logged("[ERROR] \n No ending Value tag\n"));
    EXPECT_TRUE(Logged("[ERROR] \nMissing primary-key-column end tag\n"));
    EXPECT_TRUE(Logged("[ERROR] \n Missing endof FK-LOCAL-COLUMN tag\n"));
    ASSERT_EQ(Names(), (std::vector<std::string>{"Mixed"}));
    AllowedValues* values = Column("Mixed", "c")->allowedValues;
    ASSERT_NE(values, nullptr);
    EXPECT_STREQ(values->values[0], "a");
    EXPECT_EQ(values->values[1], nullptr);  // collection stopped
}

TEST_F(DataDictTest, DeepNestingIsPassedOver) {
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "<n>";
    for (int i = 0; i < 5000; ++i) deep += "</n>";
    LoadOne(Document(Table("Deep", "        " + deep + "\n", "    " + deep + "\n") + "  " + deep + "\n" +
                     Table("Next")));
    // libxml2 refuses nesting past its own limit: the file fails to parse
    // at that point, never crashes, and what came before it loads.
    DataDictLoadReport report = GetDataDictLoadReport();
    EXPECT_EQ(report.filesLoaded + report.filesFailed, 1);
}

TEST_F(DataDictTest, OverlongEntriesAndPathsAreRefused) {
    std::string longEntry(128, 'e');
    std::string fitting(127, 'f');
    Data("datadictionary.txt", longEntry + " ok.xml " + fitting);
    Data("ok.xml", Document(Table("Ok")));
    ASSERT_TRUE(LoadAllDataDictFiles());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Ok"}));
    EXPECT_TRUE(Logged("Data dictionary list entry longer than 127 characters refused"));
    EXPECT_TRUE(Logged("Unable to open " + root_ + "/data/" + fitting));  // fits, but does not exist
    EXPECT_EQ(GetDataDictLoadReport().entriesRefused, 1);

    // A root long enough that root/data/entry passes 259 characters.
    std::string deepRoot = dir_.path();
    while (deepRoot.size() < 200) {
        deepRoot += "/dddddddddddddddddddd";
        mkdir(deepRoot.c_str(), 0755);
    }
    SetVelkraRoot(deepRoot.c_str());
    ResetDataDictLoadReport();
    EXPECT_FALSE(LoadAllDataDictFiles());  // the list path itself is over its bound
    EXPECT_TRUE(Logged("[ERROR] Cannot open DataDictionary File.\n"));
}

TEST_F(DataDictTest, TraceLinesOfTheWalk) {
    LoadOne(Document(Table("Traced")));
    for (const char* line : {"\t@@@@@ Inside LoadAllDataDictFiles() @@@@@\n", "\nInside LoadDataDictFromXMLFile() \n\n",
                             "\n Inside XmlDataParser\n", "\n Inside CreateandInitXmlTagInfo \n",
                             "\nInside AllocateAndStrcpyAttrib\n\n", "\n Inside FreeXmlTagInfoList\n"}) {
        EXPECT_TRUE(Logged(std::string("[TRACE] ") + line)) << line;
    }
}

}  // namespace
}  // namespace orv::test
