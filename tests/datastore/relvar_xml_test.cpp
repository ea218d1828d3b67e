// The XML row import on real documents: grouping elements, attributes by
// column name, the stored form of each type, references and the ID map,
// generators, values taken from the elements around an element, defaults,
// the buffer, element and file forms, documents that do not parse, and the
// sample rows for the sample dictionary.
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datastore/column_value.h"
#include "datastore/datadict.h"
#include "datastore/notification.h"
#include "datastore/relvar.h"
#include "datastore/relvar_xml.h"
#include "datastore/seqgen.h"
#include "datastore/table_defn.h"
#include "tests/datastore/log_fixture.h"

namespace orv::test {
namespace {

constexpr const char* kRowFailed = "Cannot create and add a new row while constructing tabledata from XML file.\n";
constexpr const char* kNoColumnDetails = "Unable to get Column details for AutoID generation \n";

struct Col {
    const char* name;
    uint8_t type;
    const char* defaultText = nullptr;
    const char* generator = nullptr;
};

struct Fk {
    const char* local;
    const char* referenceTable;
    const char* referenceColumn;
};

class RelvarXmlTest : public LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        InitTableDataList();
        InitNotification();
        ASSERT_TRUE(InitSeqGenState());
    }
    void TearDown() override {
        DeInitNotification();
        FreeAllTableData();
        FreeSeqGenState();
        LogFixture::TearDown();
    }

    /* Defines a table in memory. */
    void Define(const char* table, const std::vector<Col>& columns, const std::vector<const char*>& primaryKey = {},
                const std::vector<Fk>& foreignKeys = {}) {
        Vector* list = NewVector();
        for (const Col& c : columns) {
            int32_t length = c.defaultText ? static_cast<int32_t>(strlen(c.defaultText)) : 0;
            ColumnDefnEntry* entry =
                CreateColumnDefnEntry(c.name, c.type, c.defaultText, length, 0, c.generator, nullptr, 40, 1, nullptr);
            ASSERT_NE(entry, nullptr);
            ASSERT_TRUE(AddValue(list, entry));
        }
        ConstraintDefn* constraints = nullptr;
        if (!primaryKey.empty() || !foreignKeys.empty()) {
            constraints = CreateConstraintDefn();
            ASSERT_NE(constraints, nullptr);
            if (!primaryKey.empty()) {
                constraints->primaryKeyColumns = static_cast<char**>(calloc(primaryKey.size(), sizeof(char*)));
                for (size_t i = 0; i < primaryKey.size(); ++i) {
                    constraints->primaryKeyColumns[i] = strdup(primaryKey[i]);
                }
                constraints->primaryKeyCount = static_cast<int32_t>(primaryKey.size());
            }
            for (const Fk& fk : foreignKeys) {
                ASSERT_TRUE(AddForeignKeyEntry(
                    constraints, CreateForeignKeyEntry(fk.local, fk.referenceColumn, fk.referenceTable, 0, 0, 0)));
            }
        }
        ASSERT_TRUE(AddTableDefn(CreateTableDefn(table, nullptr, list, constraints)));
    }

    /* Customer(CustomerID int, generator CustSeq; Name char), Order(OrderID
     * int; CustomerID bigint -> Customer.CustomerID; Note char; Status char
     * default "new"), primary keys CustomerID and OrderID. */
    void DefineShop() {
        Define("Customer", {{"CustomerID", ORV_SQL_INT, nullptr, "CustSeq"}, {"Name", ORV_SQL_CHAR}}, {"CustomerID"});
        Define("Order",
               {{"OrderID", ORV_SQL_INT},
                {"CustomerID", ORV_SQL_BIGINT},
                {"Note", ORV_SQL_CHAR},
                {"Status", ORV_SQL_CHAR, "new"}},
               {"OrderID"}, {{"CustomerID", "Customer", "CustomerID"}});
    }

    bool Import(const std::string& xml) {
        return CreateTableDataFromXMLBuffer(xml.data(), static_cast<int32_t>(xml.size())) != 0;
    }

    /* The rows of a relvar in list order. */
    std::vector<RowObject*> Rows(const char* table) {
        std::vector<RowObject*> rows;
        TableData* relvar = GetTableDataByName(table);
        for (RowObject* row = relvar ? relvar->firstRow : nullptr; row != nullptr; row = row->next) rows.push_back(row);
        return rows;
    }
    int32_t Index(const char* table, const char* column) {
        TableData* relvar = GetTableDataByName(table);
        for (int32_t i = 0; relvar != nullptr && i < relvar->columnCount; ++i) {
            if (strcmp(GetRelvarColumnName(relvar, i), column) == 0) return i;
        }
        ADD_FAILURE() << "no column " << table << "." << column;
        return -1;
    }
    /* The text form of one value of row n ("NULL" for none, "?" when the
     * row does not exist). */
    std::string Value(const char* table, size_t n, const char* column) {
        std::vector<RowObject*> rows = Rows(table);
        int32_t i = Index(table, column);
        if (n >= rows.size() || i < 0) return "?";
        char* text = ConvertColumnValueToString(rows[n]->values[i], GetRelvarColumnType(GetTableDataByName(table), i));
        std::string out = text ? text : "(none)";
        free(text);
        return out;
    }
    int32_t Length(const char* table, size_t n, const char* column) {
        std::vector<RowObject*> rows = Rows(table);
        int32_t i = Index(table, column);
        if (n >= rows.size() || i < 0) return -99;
        return rows[n]->lengths[i];
    }
    std::vector<std::string> Values(const char* table, const char* column) {
        std::vector<std::string> out;
        for (size_t n = 0; n < Rows(table).size(); ++n) out.push_back(Value(table, n, column));
        return out;
    }

    /* Parses a document and imports it with the element form; the ID map
     * (the test frees it). */
    StringHashTable* ImportNode(const std::string& xml) {
        xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "test.xml", nullptr, XML_PARSE_NONET);
        EXPECT_NE(doc, nullptr);
        if (doc == nullptr) return nullptr;
        StringHashTable* map = CreateTableDataFromXMLNode(doc, xmlDocGetRootElement(doc));
        xmlFreeDoc(doc);
        return map;
    }
    int32_t Mapped(const StringHashTable* map, const char* key) {
        int32_t value = -12345;
        EXPECT_TRUE(GetXmlIdMapValue(map, key, &value)) << key;
        return value;
    }
};

// ---------------------------------------------------------------------------
// Elements and attributes

TEST_F(RelvarXmlTest, GroupingElementIsPassedOverAndItsChildrenImported) {
    DefineShop();
    EXPECT_TRUE(Import("<Shop><OrderList><Order OrderID=\"1\"/><Order OrderID=\"2\"/></OrderList>"
                       "<Order OrderID=\"3\"/></Shop>"));
    EXPECT_EQ(Values("Order", "OrderID"), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(GetTableDataByName("OrderList"), nullptr);
    EXPECT_FALSE(Logged(kRowFailed));
}

TEST_F(RelvarXmlTest, UnknownElementStopsTheImportWithItsMessage) {
    DefineShop();
    EXPECT_FALSE(Import("<Shop><Order OrderID=\"1\"/><Widget Size=\"2\"><Order OrderID=\"2\"/></Widget>"
                        "<Order OrderID=\"3\"/></Shop>"));
    EXPECT_EQ(Values("Order", "OrderID"), (std::vector<std::string>{"1"}));  // rows before it stay
    EXPECT_EQ(CountLogged(kRowFailed), 1);
    EXPECT_TRUE(Logged("Cannot construct table data from XML buffer.\n"));
}

TEST_F(RelvarXmlTest, RootElementIsNotARow) {
    DefineShop();
    EXPECT_TRUE(Import("<Order OrderID=\"5\"><Order OrderID=\"6\"/></Order>"));
    EXPECT_EQ(Values("Order", "OrderID"), (std::vector<std::string>{"6"}));
}

TEST_F(RelvarXmlTest, ElementsAreImportedInDocumentOrderEachBeforeItsChildren) {
    DefineShop();
    EXPECT_TRUE(Import("<S><Order OrderID=\"1\"><Order OrderID=\"2\"><Order OrderID=\"3\"/></Order>"
                       "<Order OrderID=\"4\"/></Order><Order OrderID=\"5\"/></S>"));
    EXPECT_EQ(Values("Order", "OrderID"), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
}

TEST_F(RelvarXmlTest, TableAndColumnNamesMatchInAnyCase) {
    DefineShop();
    EXPECT_TRUE(Import("<S><order orderid=\"7\" NOTE=\"first\" sTaTuS=\"paid\"/></S>"));
    ASSERT_NE(GetTableDataByName("Order"), nullptr);
    EXPECT_EQ(Value("Order", 0, "OrderID"), "7");
    EXPECT_EQ(Value("Order", 0, "Note"), "first");
    EXPECT_EQ(Value("Order", 0, "Status"), "paid");
}

TEST_F(RelvarXmlTest, MissingAttributeTakesTheDefaultOrStaysMissing) {
    DefineShop();
    EXPECT_TRUE(Import("<S><Order OrderID=\"1\"/></S>"));
    EXPECT_EQ(Value("Order", 0, "Status"), "new");
    EXPECT_EQ(Length("Order", 0, "Status"), 3);
    EXPECT_EQ(Value("Order", 0, "Note"), "NULL");
    EXPECT_EQ(Value("Order", 0, "CustomerID"), "NULL");
}

TEST_F(RelvarXmlTest, EachOperationLogsItsTraceLine) {
    DefineShop();
    EXPECT_TRUE(Import("<S><Order OrderID=\"1\"/></S>"));
    EXPECT_TRUE(Logged("@@@ Inside CreateTableDataFromXMLBuffer @@@\n"));
    EXPECT_TRUE(Logged("@@@ Inside AllocateAndCopyColumnValue @@@\n"));
    WriteFile(dir_ / "r.xml", "<S/>");
    EXPECT_TRUE(CreateTableDataFromXMLFile((dir_ / "r.xml").c_str()));
    EXPECT_TRUE(Logged("@@@ Inside CreateTableDataFromXMLFile @@@\n"));
    StringHashTable* map = ImportNode("<S/>");
    EXPECT_NE(map, nullptr);
    FreeXmlIdMap(map);
    EXPECT_TRUE(Logged("@@@ Inside CreateTableDataFromXMLNode @@@\n"));
}

TEST_F(RelvarXmlTest, ValuesOfEveryTypeFromAttributes) {
    Define("All", {{"ti", ORV_SQL_TINYINT},
                   {"si", ORV_SQL_SMALLINT},
                   {"us", ORV_SQL_UNSIGNED_SMALLINT},
                   {"i", ORV_SQL_INT},
                   {"bi", ORV_SQL_BIGINT},
                   {"f", ORV_SQL_FLOAT},
                   {"d", ORV_SQL_DOUBLE},
                   {"t", ORV_SQL_TEXT},
                   {"dt", ORV_SQL_DATETIME},
                   {"b", ORV_SQL_BOOLEAN},
                   {"blob", ORV_SQL_BLOB}});
    EXPECT_TRUE(Import("<S><All ti=\"-1\" si=\"-7\" us=\"65535\" i=\"12a\" bi=\"-5000000000\" f=\"1.25\" d=\"0.5\""
                       " t=\"a: b\" dt=\"2024-02-29 23:59:58\" b=\"FALSE\" blob=\"bytes\"/></S>"));
    EXPECT_EQ(Value("All", 0, "ti"), "-1");
    EXPECT_EQ(Length("All", 0, "ti"), 1);
    EXPECT_EQ(Value("All", 0, "si"), "-7");
    EXPECT_EQ(Length("All", 0, "si"), 2);
    EXPECT_EQ(Value("All", 0, "us"), "65535");
    EXPECT_EQ(Value("All", 0, "i"), "0");
    EXPECT_EQ(Value("All", 0, "bi"), "-5000000000");
    EXPECT_EQ(Length("All", 0, "bi"), 8);
    EXPECT_EQ(Value("All", 0, "f"), "1.250000");
    EXPECT_EQ(Value("All", 0, "d"), "0.500000");
    EXPECT_EQ(Value("All", 0, "t"), "a: b");
    EXPECT_EQ(Value("All", 0, "dt"), "2024-02-29 23:59:58");  // two ":" but a date column
    EXPECT_EQ(Length("All", 0, "dt"), 11);
    EXPECT_EQ(Value("All", 0, "b"), "'f'");
    EXPECT_EQ(Value("All", 0, "blob"), "bytes");
    EXPECT_EQ(Length("All", 0, "blob"), 5);
}

TEST_F(RelvarXmlTest, InternalEntityInAnAttributeIsItsText) {
    DefineShop();
    EXPECT_TRUE(Import("<!DOCTYPE S [<!ENTITY who \"Acme Ltd\">]><S><Order OrderID=\"1\" Note=\"for &who;\"/></S>"));
    EXPECT_EQ(Value("Order", 0, "Note"), "for Acme Ltd");
}

TEST_F(RelvarXmlTest, ExternalEntityIsNeverRead) {
    DefineShop();
    WriteFile(dir_ / "secret.txt", "top secret");
    const std::string xml = "<!DOCTYPE S [<!ENTITY e SYSTEM \"file://" + dir_.path() +
                            "/secret.txt\">]><S><Order OrderID=\"1\">&e;</Order>"
                            "<Order OrderID=\"2\" Note=\"&e;\"/></S>";
    EXPECT_FALSE(Import(xml));  // an external entity in an attribute is a fault
    for (RowObject* row : Rows("Order")) {
        int32_t note = Index("Order", "Note");
        if (row->values[note] != nullptr) {
            EXPECT_EQ(strstr(static_cast<char*>(row->values[note]), "secret"), nullptr);
        }
    }
    EXPECT_FALSE(Logged("top secret"));
}

// ---------------------------------------------------------------------------
// AllocateAndCopyColumnValue

struct Stored {
    std::vector<uint8_t> bytes;
    int32_t length = -1;
    uint8_t ok = 0;
};

Stored Copy(uint8_t type, const char* text) {
    Stored s;
    void* value = reinterpret_cast<void*>(1);
    s.ok = AllocateAndCopyColumnValue(&value, &s.length, type, text);
    if (value != nullptr) {
        const int32_t width = IsDateTimeType(type) ? static_cast<int32_t>(sizeof(DateTimeColumnValue)) : s.length;
        const auto* p = static_cast<const uint8_t*>(value);
        s.bytes.assign(p, p + width);
        if (!IsDateTimeType(type)) {
            EXPECT_EQ(p[s.length], 0) << "no terminating byte for type " << int(type);
        }
        free(value);
    }
    return s;
}

int64_t Signed(const Stored& s) {
    int64_t v = 0;
    if (s.length == 1) v = static_cast<int8_t>(s.bytes[0]);
    if (s.length == 2) v = static_cast<int16_t>(s.bytes[0] | (s.bytes[1] << 8));
    if (s.length == 4) {
        int32_t x;
        memcpy(&x, s.bytes.data(), 4);
        v = x;
    }
    if (s.length == 8) memcpy(&v, s.bytes.data(), 8);
    return v;
}

TEST_F(RelvarXmlTest, AllocateAndCopyStoresIntegersInTheirTypesWidth) {
    const struct {
        uint8_t type;
        const char* text;
        int32_t width;
        int64_t value;
    } cases[] = {
        {ORV_SQL_TINYINT, "-1", 1, -1},          {ORV_SQL_UNSIGNED_TINYINT, "255", 1, -1},
        {ORV_SQL_SMALLINT, "-7", 2, -7},         {ORV_SQL_UNSIGNED_SMALLINT, "65535", 2, -1},
        {ORV_SQL_INT, "-7", 4, -7},              {ORV_SQL_UNSIGNED_INT, "4000000000", 4, -294967296},
        {ORV_SQL_BIGINT, "-5000000000", 8, -5000000000LL},
        {ORV_SQL_UNSIGNED_LONG_INT, "18446744073709551615", 8, -1},
        {ORV_SQL_INT, "+7", 4, 7},               {ORV_SQL_INT, "7.5", 4, 0},
        {ORV_SQL_SMALLINT, "70000", 2, 4464},    // the low bytes
    };
    for (const auto& c : cases) {
        Stored s = Copy(c.type, c.text);
        EXPECT_EQ(s.ok, 1) << c.text;
        EXPECT_EQ(s.length, c.width) << int(c.type) << " " << c.text;
        EXPECT_EQ(Signed(s), c.value) << int(c.type) << " " << c.text;
    }
}

TEST_F(RelvarXmlTest, AllocateAndCopyStoresFloatsTextsAndBooleans) {
    Stored f = Copy(ORV_SQL_FLOAT, "1.25");
    ASSERT_EQ(f.length, 4);
    float fv;
    memcpy(&fv, f.bytes.data(), 4);
    EXPECT_EQ(fv, 1.25f);
    Stored r = Copy(ORV_SQL_REAL, "-2.5");
    ASSERT_EQ(r.length, 4);
    memcpy(&fv, r.bytes.data(), 4);
    EXPECT_EQ(fv, -2.5f);
    Stored d = Copy(ORV_SQL_DOUBLE, "0.125");
    ASSERT_EQ(d.length, 8);
    double dv;
    memcpy(&dv, d.bytes.data(), 8);
    EXPECT_EQ(dv, 0.125);

    for (uint8_t type : {ORV_SQL_CHAR, ORV_SQL_NCHAR, ORV_SQL_TEXT}) {
        Stored t = Copy(type, "hello");
        EXPECT_EQ(t.length, 5);
        EXPECT_EQ(std::string(t.bytes.begin(), t.bytes.end()), "hello");
    }
    for (const char* no : {"false", "FALSE", "False"}) {
        Stored b = Copy(ORV_SQL_BOOLEAN, no);
        ASSERT_EQ(b.length, 1);
        EXPECT_EQ(b.bytes[0], 0) << no;
    }
    for (const char* yes : {"true", "yes", "0", ""}) {
        Stored b = Copy(ORV_SQL_BOOLEAN, yes);
        ASSERT_EQ(b.length, 1);
        EXPECT_EQ(b.bytes[0], 1) << yes;
    }
}

TEST_F(RelvarXmlTest, AllocateAndCopyStoresDatesAsOneBlock) {
    for (uint8_t type : {ORV_SQL_DATE, ORV_SQL_TIME, ORV_SQL_DATETIME}) {
        const char* text = type == ORV_SQL_DATE   ? "2024-02-29"
                           : type == ORV_SQL_TIME ? "23:59:58"
                                                  : "2024-02-29 23:59:58";
        void* value = nullptr;
        int32_t length = 0;
        ASSERT_EQ(AllocateAndCopyColumnValue(&value, &length, type, text), 1);
        EXPECT_EQ(length, 11);
        char* back = ConvertColumnValueToString(value, type);
        EXPECT_NE(strstr(back, text), nullptr) << back;
        free(back);
        free(value);  // one block
    }
    void* value = reinterpret_cast<void*>(1);
    int32_t length = 5;
    EXPECT_EQ(AllocateAndCopyColumnValue(&value, &length, ORV_SQL_DATE, "soon"), 0);
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(length, 0);
}

TEST_F(RelvarXmlTest, AllocateAndCopyKeepsTheTextOfByteTypes) {
    for (uint8_t type : {ORV_SQL_NOT_SUPPORTED_TYPE, ORV_SQL_DECIMAL, ORV_SQL_NUMERIC, ORV_SQL_BLOB, ORV_SQL_CLOB}) {
        Stored s = Copy(type, "12.50 EUR");
        EXPECT_EQ(s.ok, 1);
        EXPECT_EQ(s.length, 9) << int(type);
        EXPECT_EQ(std::string(s.bytes.begin(), s.bytes.end()), "12.50 EUR");
    }
}

TEST_F(RelvarXmlTest, AllocateAndCopyWithoutTextStoresNothing) {
    void* value = reinterpret_cast<void*>(1);
    int32_t length = 3;
    EXPECT_EQ(AllocateAndCopyColumnValue(&value, &length, ORV_SQL_INT, nullptr), 0);
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(CountLogged("value parameter in AllocateAndCopyColumnValue is NULL \n"), 1);
    EXPECT_EQ(AllocateAndCopyColumnValue(nullptr, &length, ORV_SQL_INT, "1"), 0);
    EXPECT_EQ(AllocateAndCopyColumnValue(&value, nullptr, ORV_SQL_INT, "1"), 0);
    EXPECT_EQ(value, nullptr);
}

// ---------------------------------------------------------------------------
// References and the ID map

TEST_F(RelvarXmlTest, ReferenceTakesTheColumnsGeneratorAndTheMapRemembersIt) {
    DefineShop();
    ASSERT_TRUE(SetSeqGenBatch("CustSeq", 500, 799));
    StringHashTable* map = ImportNode(
        "<S><Customer CustomerID=\"Customer:CustomerID:7\" Name=\"Acme\"/>"
        "<Order OrderID=\"1\" CustomerID=\"Customer:CustomerID:7\"/>"
        "<Order OrderID=\"2\" CustomerID=\"Customer:CustomerID:7\"/></S>");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Value("Customer", 0, "CustomerID"), "500");
    EXPECT_EQ(Values("Order", "CustomerID"), (std::vector<std::string>{"500", "500"}));
    EXPECT_EQ(Length("Order", 0, "CustomerID"), 8);  // a BIGINT column holds 8 bytes
    EXPECT_EQ(Mapped(map, "Customer:CustomerID:7"), 500);
    EXPECT_EQ(Mapped(map, "Order:CustomerID:7"), 500);
    EXPECT_EQ(HashCount(map), 2u);
    FreeXmlIdMap(map);
}

TEST_F(RelvarXmlTest, ReferenceToAGeneratorColumnTakesItsNextValue) {
    DefineShop();
    ASSERT_TRUE(SetSeqGenBatch("CustSeq", 40, 50));
    StringHashTable* map = ImportNode(
        "<S><Order OrderID=\"1\" CustomerID=\"Customer:CustomerID:9\"/>"
        "<Order OrderID=\"2\" CustomerID=\"Customer:CustomerID:10\"/>"
        "<Order OrderID=\"3\" CustomerID=\"Customer:CustomerID:9\"/></S>");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Values("Order", "CustomerID"), (std::vector<std::string>{"40", "41", "40"}));
    EXPECT_EQ(Mapped(map, "Customer:CustomerID:9"), 40);
    EXPECT_EQ(Mapped(map, "Order:CustomerID:9"), 40);
    EXPECT_EQ(Mapped(map, "Order:CustomerID:10"), 41);
    FreeXmlIdMap(map);
}

TEST_F(RelvarXmlTest, ReferenceFollowsForeignKeysToAGenerator) {
    DefineShop();
    Define("Invoice", {{"InvoiceID", ORV_SQL_INT}, {"Buyer", ORV_SQL_SMALLINT}});
    ASSERT_TRUE(SetSeqGenBatch("CustSeq", 60, 90));
    StringHashTable* map = ImportNode(
        "<S><Invoice InvoiceID=\"1\" Buyer=\"Order:CustomerID:11\"/>"
        "<Order OrderID=\"2\" CustomerID=\"Customer:CustomerID:11\"/></S>");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Value("Invoice", 0, "Buyer"), "60");
    EXPECT_EQ(Length("Invoice", 0, "Buyer"), 2);
    EXPECT_EQ(Mapped(map, "Order:CustomerID:11"), 60);
    EXPECT_EQ(Mapped(map, "Customer:CustomerID:11"), 60);
    EXPECT_EQ(Mapped(map, "Invoice:Buyer:11"), 60);
    EXPECT_EQ(Value("Order", 0, "CustomerID"), "60");  // found in the map
    FreeXmlIdMap(map);
}

TEST_F(RelvarXmlTest, FollowingForeignKeysStopsAtAPairAlreadyMapped) {
    DefineShop();
    Define("Invoice", {{"InvoiceID", ORV_SQL_INT}, {"Buyer", ORV_SQL_INT}});
    ASSERT_TRUE(SetSeqGenBatch("CustSeq", 70, 90));
    StringHashTable* map = ImportNode(
        "<S><Customer CustomerID=\"Customer:CustomerID:12\"/>"
        "<Invoice InvoiceID=\"1\" Buyer=\"Order:CustomerID:12\"/></S>");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Value("Customer", 0, "CustomerID"), "70");
    EXPECT_EQ(Value("Invoice", 0, "Buyer"), "70");
    EXPECT_EQ(Mapped(map, "Order:CustomerID:12"), 70);
    EXPECT_EQ(Mapped(map, "Invoice:Buyer:12"), 70);
    FreeXmlIdMap(map);
}

TEST_F(RelvarXmlTest, ReferenceWithoutAnyGeneratorIsItsKeysNumber) {
    DefineShop();  // CustSeq never primed: the generator gives -1
    Define("Site", {{"SiteID", ORV_SQL_INT}});
    Define("Visit", {{"VisitID", ORV_SQL_INT}, {"SiteID", ORV_SQL_INT}, {"Who", ORV_SQL_INT}});
    StringHashTable* map =
        ImportNode("<S><Visit VisitID=\"1\" SiteID=\"Site:SiteID:42\" Who=\"Order:CustomerID:8\"/></S>");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Value("Visit", 0, "SiteID"), "42");
    EXPECT_EQ(Value("Visit", 0, "Who"), "8");
    EXPECT_EQ(Mapped(map, "Site:SiteID:42"), 42);
    EXPECT_EQ(Mapped(map, "Visit:SiteID:42"), 42);
    EXPECT_EQ(Mapped(map, "Visit:Who:8"), 8);
    FreeXmlIdMap(map);
}

TEST_F(RelvarXmlTest, CyclicForeignKeysEndTheSearch) {
    Define("A", {{"x", ORV_SQL_INT}}, {}, {{"x", "B", "y"}});
    Define("B", {{"y", ORV_SQL_INT}}, {}, {{"y", "A", "x"}});
    Define("C", {{"id", ORV_SQL_INT}, {"ref", ORV_SQL_INT}});
    EXPECT_TRUE(Import("<S><C id=\"1\" ref=\"A:x:5\"/></S>"));
    EXPECT_EQ(Value("C", 0, "ref"), "5");
}

TEST_F(RelvarXmlTest, ReferenceToAnUnknownColumnKeepsOnlyTheDefault) {
    Define("T", {{"id", ORV_SQL_INT}, {"ref", ORV_SQL_INT, "3"}, {"other", ORV_SQL_INT}});
    StringHashTable* map = ImportNode("<S><T id=\"1\" ref=\"Ghost:Col:1\" other=\"::4\"/></S>");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(CountLogged(kNoColumnDetails), 2);
    EXPECT_EQ(Value("T", 0, "ref"), "3");
    EXPECT_EQ(Value("T", 0, "other"), "NULL");
    EXPECT_EQ(HashCount(map), 0u);
    FreeXmlIdMap(map);
}

TEST_F(RelvarXmlTest, TextAndBlobColumnsTakeTheTextAfterTheSecondColon) {
    Define("T", {{"id", ORV_SQL_INT}, {"note", ORV_SQL_CHAR}, {"body", ORV_SQL_TEXT}, {"raw", ORV_SQL_BLOB},
                 {"clob", ORV_SQL_CLOB}});
    StringHashTable* map = ImportNode(
        "<S><T id=\"1\" note=\"a:b:c:d\" body=\"x:y:\" raw=\"p:q:payload\" clob=\"T:id:77\"/></S>");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Value("T", 0, "note"), "c:d");
    EXPECT_EQ(Value("T", 0, "body"), "");
    EXPECT_EQ(Value("T", 0, "raw"), "payload");
    EXPECT_EQ(Length("T", 0, "raw"), 7);
    EXPECT_EQ(Value("T", 0, "clob"), "77");  // a clob goes by the identifier, as its decimal text
    EXPECT_EQ(Mapped(map, "T:id:77"), 77);
    EXPECT_FALSE(HashContains(map, "a:b:c:d"));
    FreeXmlIdMap(map);
}

TEST_F(RelvarXmlTest, NextStatementOfTheLastStatementIsZero) {
    Define("Workflow_Statements", {{"STATEMENT_ID", ORV_SQL_INT}, {"NEXT_STATEMENT_ID", ORV_SQL_INT}});
    StringHashTable* map = ImportNode(
        "<S><Workflow_Statements STATEMENT_ID=\"1\" NEXT_STATEMENT_ID=\"Workflow_Statements:STATEMENT_ID:2\"/>"
        "<Workflow_Statements STATEMENT_ID=\"2\" NEXT_STATEMENT_ID=\"Workflow_Statements:STATEMENT_ID:0\"/></S>");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Values("Workflow_Statements", "NEXT_STATEMENT_ID"), (std::vector<std::string>{"2", "0"}));
    EXPECT_EQ(Length("Workflow_Statements", 1, "NEXT_STATEMENT_ID"), 4);
    EXPECT_FALSE(HashContains(map, "Workflow_Statements:STATEMENT_ID:0"));
    FreeXmlIdMap(map);
}

TEST_F(RelvarXmlTest, NextStatementZeroGivesWayToADefault) {
    Define("Workflow_Statements", {{"STATEMENT_ID", ORV_SQL_INT}, {"NEXT_STATEMENT_ID", ORV_SQL_INT, "9"}});
    EXPECT_TRUE(Import("<S><Workflow_Statements STATEMENT_ID=\"2\" NEXT_STATEMENT_ID=\"W:S:0\"/></S>"));
    EXPECT_EQ(Value("Workflow_Statements", 0, "NEXT_STATEMENT_ID"), "9");
}

// ---------------------------------------------------------------------------
// Generators and values from the elements around

TEST_F(RelvarXmlTest, GeneratorColumnWithoutAttributeIsFilledFromItsSequence) {
    DefineShop();
    ASSERT_TRUE(SetSeqGenBatch("CustSeq", 301, 600));
    EXPECT_TRUE(Import("<S><Customer Name=\"a\"/><Customer Name=\"b\"/><Customer CustomerID=\"5\" Name=\"c\"/></S>"));
    EXPECT_EQ(Values("Customer", "CustomerID"), (std::vector<std::string>{"301", "302", "5"}));
}

TEST_F(RelvarXmlTest, ForeignKeyComesFromTheEnclosingElement) {
    DefineShop();
    EXPECT_TRUE(Import("<S><Customer CustomerID=\"4\"><Order OrderID=\"1\"/>"
                       "<OrderList><Order OrderID=\"2\"/></OrderList></Customer>"
                       "<Customer CustomerID=\"6\"><Order OrderID=\"3\" CustomerID=\"99\"/></Customer></S>"));
    EXPECT_EQ(Values("Order", "CustomerID"), (std::vector<std::string>{"4", "4", "99"}));
    EXPECT_EQ(Length("Order", 0, "CustomerID"), 8);
}

TEST_F(RelvarXmlTest, ForeignKeyComesFromTheNearestEnclosingElementWithTheAttribute) {
    DefineShop();
    EXPECT_TRUE(Import("<S CustomerID=\"1\"><Customer CustomerID=\"2\"><Customer CustomerID=\"3\">"
                       "<Order OrderID=\"1\"/></Customer></Customer><Order OrderID=\"2\"/></S>"));
    EXPECT_EQ(Values("Order", "CustomerID"), (std::vector<std::string>{"3", "1"}));
}

TEST_F(RelvarXmlTest, ForeignKeyComesThroughTheReferencedTablesOwnForeignKey) {
    Define("Customer", {{"CustomerID", ORV_SQL_INT}});
    Define("Order", {{"OrderID", ORV_SQL_INT}, {"Buyer", ORV_SQL_INT}}, {"OrderID"},
           {{"Buyer", "Customer", "CustomerID"}});
    Define("Shipment", {{"ShipID", ORV_SQL_INT}, {"Buyer", ORV_SQL_INT}}, {"ShipID"}, {{"Buyer", "Order", "Buyer"}});
    EXPECT_TRUE(Import("<S><Customer CustomerID=\"4\"><Order OrderID=\"1\"><Shipment ShipID=\"9\"/></Order>"
                       "</Customer></S>"));
    EXPECT_EQ(Value("Order", 0, "Buyer"), "4");
    EXPECT_EQ(Value("Shipment", 0, "Buyer"), "4");
}

TEST_F(RelvarXmlTest, ForeignKeyComesFromAnElementBelow) {
    DefineShop();
    EXPECT_TRUE(Import("<S><Order OrderID=\"1\"><OrderList><Customer Name=\"x\"/><Customer CustomerID=\"8\"/>"
                       "</OrderList><Customer CustomerID=\"9\"/></Order></S>"));
    EXPECT_EQ(Value("Order", 0, "CustomerID"), "8");
}

TEST_F(RelvarXmlTest, PrimaryKeyComesFromTheEnclosingElement) {
    Define("Order", {{"OrderID", ORV_SQL_INT}}, {"OrderID"});
    Define("OrderLine", {{"OrderID", ORV_SQL_SMALLINT}, {"LineNo", ORV_SQL_INT}, {"Qty", ORV_SQL_INT, "1"}},
           {"OrderID", "LineNo"});
    EXPECT_TRUE(Import("<S><Order OrderID=\"3\"><OrderLine LineNo=\"1\"/><OrderLine LineNo=\"2\" Qty=\"5\"/>"
                       "</Order></S>"));
    EXPECT_EQ(Values("OrderLine", "OrderID"), (std::vector<std::string>{"3", "3"}));
    EXPECT_EQ(Length("OrderLine", 0, "OrderID"), 2);
    EXPECT_EQ(Values("OrderLine", "LineNo"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(Values("OrderLine", "Qty"), (std::vector<std::string>{"1", "5"}));
}

TEST_F(RelvarXmlTest, DeepNestingWithinTheParsersBoundImportsEveryElement) {
    DefineShop();
    std::string xml = "<S>";
    for (int i = 0; i < 200; ++i) xml += "<OrderList>";
    xml += "<Order OrderID=\"1\"/>";
    for (int i = 0; i < 200; ++i) xml += "</OrderList>";
    xml += "<Order OrderID=\"2\"/></S>";
    EXPECT_TRUE(Import(xml));
    EXPECT_EQ(Values("Order", "OrderID"), (std::vector<std::string>{"1", "2"}));
}

TEST_F(RelvarXmlTest, NestingBeyondTheParsersBoundIsRefused) {
    DefineShop();
    std::string xml = "<S>";
    for (int i = 0; i < 5000; ++i) xml += "<OrderList>";
    for (int i = 0; i < 5000; ++i) xml += "</OrderList>";
    xml += "</S>";
    EXPECT_FALSE(Import(xml));
    EXPECT_TRUE(Logged("error: could not parse file (buffer)\n"));
}

TEST_F(RelvarXmlTest, RowOfATableWithoutColumnsIsRefused) {
    Define("Empty", {});
    EXPECT_FALSE(Import("<S><Empty/></S>"));
    EXPECT_TRUE(Logged(kRowFailed));
    EXPECT_TRUE(Rows("Empty").empty());
}

// ---------------------------------------------------------------------------
// The buffer, element and file forms

TEST_F(RelvarXmlTest, BufferNeedsNoTerminatorAndRefusesBadArguments) {
    DefineShop();
    const std::string xml = "<S><Order OrderID=\"1\"/></S>garbage";
    EXPECT_TRUE(CreateTableDataFromXMLBuffer(xml.data(), static_cast<int32_t>(xml.size() - 7)));
    EXPECT_EQ(Values("Order", "OrderID"), (std::vector<std::string>{"1"}));
    EXPECT_FALSE(CreateTableDataFromXMLBuffer(nullptr, 4));
    EXPECT_FALSE(CreateTableDataFromXMLBuffer(xml.data(), -1));
    EXPECT_FALSE(CreateTableDataFromXMLBuffer(xml.data(), 0));
    EXPECT_EQ(CountLogged("error: could not parse file (buffer)\n"), 3);
}

TEST_F(RelvarXmlTest, BufferThatDoesNotParseLogsWhereLibxml2Stopped) {
    DefineShop();
    EXPECT_FALSE(Import("<S>\n<Order OrderID=\"1\">\n</S>\n"));
    EXPECT_TRUE(Logged("error: could not parse file (buffer)\n"));
    EXPECT_TRUE(Logged("(buffer):3: "));
    EXPECT_FALSE(Logged("Cannot construct table data from XML buffer.\n"));
    EXPECT_TRUE(Rows("Order").empty());
}

TEST_F(RelvarXmlTest, ElementFormImportsBelowTheGivenElementAndReturnsTheMap) {
    DefineShop();
    const std::string xml = "<S><Order OrderID=\"1\"/><X><Order OrderID=\"2\" CustomerID=\"Site:Id:5\"/></X></S>";
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "t.xml", nullptr, XML_PARSE_NONET);
    ASSERT_NE(doc, nullptr);
    xmlNodePtr x = xmlLastElementChild(xmlDocGetRootElement(doc));
    ASSERT_NE(x, nullptr);
    StringHashTable* map = CreateTableDataFromXMLNode(doc, x);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(Values("Order", "OrderID"), (std::vector<std::string>{"2"}));
    FreeXmlIdMap(map);
    EXPECT_EQ(CreateTableDataFromXMLNode(doc, nullptr), nullptr);
    EXPECT_TRUE(Logged("Cannot construct table data from buffer node.\n"));
    // An unknown element: the import fails and gives no map.
    EXPECT_EQ(CreateTableDataFromXMLNode(doc, xmlDocGetRootElement(doc)), nullptr);
    EXPECT_EQ(CountLogged("Cannot construct table data from buffer node.\n"), 2);
    xmlFreeDoc(doc);
}

TEST_F(RelvarXmlTest, FileFormImportsARealFileAlsoByAWindowsStylePath) {
    DefineShop();
    WriteFile(dir_ / "rows.xml", "<?xml version=\"1.0\"?>\n<S>\n  <Customer CustomerID=\"1\" Name=\"Acme\">\n"
                                 "    <Order OrderID=\"10\"/>\n  </Customer>\n</S>\n");
    EXPECT_TRUE(CreateTableDataFromXMLFile((dir_ / "rows.xml").c_str()));
    EXPECT_TRUE(CreateTableDataFromXMLFile((dir_.path() + "\\rows.xml").c_str()));
    EXPECT_EQ(Values("Customer", "Name"), (std::vector<std::string>{"Acme", "Acme"}));
    EXPECT_EQ(Values("Order", "CustomerID"), (std::vector<std::string>{"1", "1"}));
}

TEST_F(RelvarXmlTest, FileThatDoesNotParseIsReportedWithItsPath) {
    DefineShop();
    const std::string bad = dir_ / "bad.xml";
    WriteFile(bad, "<S>\n<Order OrderID=\"1\"\n</S>\n");
    EXPECT_FALSE(CreateTableDataFromXMLFile(bad.c_str()));
    EXPECT_TRUE(Logged("error: could not parse file " + bad + "\n"));
    EXPECT_TRUE(Logged(bad + ":3: "));
    const std::string missing = dir_ / "missing.xml";
    EXPECT_FALSE(CreateTableDataFromXMLFile(missing.c_str()));
    EXPECT_TRUE(Logged("error: could not parse file " + missing + "\n"));
    EXPECT_TRUE(Rows("Order").empty());
}

TEST_F(RelvarXmlTest, FileWhoseImportFailsIsReported) {
    DefineShop();
    WriteFile(dir_ / "unknown.xml", "<S><Gadget/></S>");
    EXPECT_FALSE(CreateTableDataFromXMLFile((dir_ / "unknown.xml").c_str()));
    EXPECT_TRUE(Logged(kRowFailed));
    EXPECT_TRUE(Logged("Cannot construct table data from XML file.\n"));
}

TEST_F(RelvarXmlTest, SampleRowsLoadIntoTheSampleDictionary) {
    ASSERT_TRUE(LoadDataDictFiles(ORV_EXAMPLES_DIR "/data"));
    ASSERT_TRUE(CreateTableDataFromXMLFile(ORV_EXAMPLES_DIR "/data/rows.xml")) << Log();
    EXPECT_EQ(Rows("Customer").size(), 3u);
    EXPECT_EQ(Rows("Site").size(), 4u);
    EXPECT_EQ(Rows("Device").size(), 6u);
    EXPECT_EQ(Rows("Port").size(), 10u);
    EXPECT_EQ(Rows("Alarm").size(), 5u);
    EXPECT_EQ(GetTableDataByName("CustomerList"), nullptr);
    EXPECT_EQ(GetTableDataByName("AlarmList"), nullptr);

    EXPECT_EQ(Values("Customer", "Name"), (std::vector<std::string>{"Acme", "Borealis", "Cirrus"}));
    EXPECT_EQ(Values("Customer", "Active"), (std::vector<std::string>{"'t'", "'f'", "'t'"}));
    EXPECT_EQ(Value("Customer", 0, "CreatedAt"), "2023-05-02 09:30:00");
    EXPECT_EQ(Value("Customer", 1, "CreatedAt"), "2024-01-01 00:00:00");
    EXPECT_EQ(Values("Site", "CustomerID"), (std::vector<std::string>{"1", "1", "2", "3"}));
    EXPECT_EQ(Values("Site", "Floors"), (std::vector<std::string>{"3", "1", "12", "1"}));
    EXPECT_EQ(Values("Device", "SiteID"), (std::vector<std::string>{"10", "10", "11", "20", "20", "30"}));
    EXPECT_EQ(Value("Device", 3, "Kind"), "router");
    EXPECT_EQ(Value("Device", 0, "Config"), "NULL");
    EXPECT_EQ(Values("Port", "DeviceID"),
              (std::vector<std::string>{"100", "100", "101", "101", "102", "102", "200", "200", "201", "300"}));
    EXPECT_EQ(Value("Port", 0, "Speed"), "10000000000");
    EXPECT_EQ(Value("Port", 1, "Speed"), "1000000000");
    EXPECT_EQ(Value("Port", 3, "AdminUp"), "'f'");
    EXPECT_EQ(Values("Alarm", "DeviceID"), (std::vector<std::string>{"100", "102", "200", "201", "300"}));
    EXPECT_EQ(Values("Alarm", "IfIndex"), (std::vector<std::string>{"1", "2", "2", "1", "1"}));
    EXPECT_EQ(Values("Alarm", "Severity"), (std::vector<std::string>{"1", "2", "3", "4", "3"}));
    EXPECT_EQ(Value("Alarm", 4, "RaisedAt"), "2024-03-05 23:59:59");
    EXPECT_FALSE(Logged(kRowFailed));
}

}  // namespace
}  // namespace orv::test
