// Fuzzes the XML row import: every input is a row document for a small
// dictionary built in memory, Customer(CustomerID int with generator
// CustSeq, Name char 32, Active boolean, Joined datetime, Notes text) and
// Order(OrderID bigint, CustomerID int -> Customer.CustomerID, Total
// double, Status char 8 default "new", Lines smallint, Payload blob), each
// run from empty tables, definitions and sequences. No log is open, so
// the import's records are dropped. The import must not crash, overflow,
// loop or leak on any input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "datastore/relvar.h"
#include "datastore/relvar_xml.h"
#include "datastore/seqgen.h"
#include "datastore/table_defn.h"
#include "util/vector.h"

namespace {

using namespace orv;

struct Column {
    const char* name;
    uint8_t type;
    const char* defaultText;
    const char* generator;
    int32_t maxSize;
};

bool AddTable(const char* name, const Column* columns, size_t count, const char* primaryKey,
              const ForeignKeyEntry* foreignKey) {
    Vector* list = NewVector();
    if (list == nullptr) return false;
    for (size_t i = 0; i < count; ++i) {
        const Column& c = columns[i];
        const int32_t length = c.defaultText ? static_cast<int32_t>(strlen(c.defaultText)) : 0;
        ColumnDefnEntry* entry = CreateColumnDefnEntry(c.name, c.type, c.defaultText, length, 0, c.generator,
                                                       nullptr, c.maxSize, 1, nullptr);
        if (entry == nullptr || !AddValue(list, entry)) std::abort();
    }
    ConstraintDefn* constraints = CreateConstraintDefn();
    if (constraints == nullptr) std::abort();
    constraints->primaryKeyColumns = static_cast<char**>(calloc(1, sizeof(char*)));
    if (constraints->primaryKeyColumns == nullptr) std::abort();
    constraints->primaryKeyColumns[0] = strdup(primaryKey);
    constraints->primaryKeyCount = 1;
    if (foreignKey != nullptr &&
        !AddForeignKeyEntry(constraints,
                            CreateForeignKeyEntry(foreignKey->localColumn, foreignKey->referenceColumn,
                                                  foreignKey->referenceTable, 1, 0, 0))) {
        std::abort();
    }
    return AddTableDefn(CreateTableDefn(name, nullptr, list, constraints));
}

void DefineTables() {
    static const Column customer[] = {
        {"CustomerID", ORV_SQL_INT, nullptr, "CustSeq", 0},
        {"Name", ORV_SQL_CHAR, nullptr, nullptr, 32},
        {"Active", ORV_SQL_BOOLEAN, "true", nullptr, 0},
        {"Joined", ORV_SQL_DATETIME, "2024-01-01 00:00:00", nullptr, 0},
        {"Notes", ORV_SQL_TEXT, nullptr, nullptr, 0},
    };
    static const Column order[] = {
        {"OrderID", ORV_SQL_BIGINT, nullptr, nullptr, 0},
        {"CustomerID", ORV_SQL_INT, nullptr, nullptr, 0},
        {"Total", ORV_SQL_DOUBLE, nullptr, nullptr, 0},
        {"Status", ORV_SQL_CHAR, "new", nullptr, 8},
        {"Lines", ORV_SQL_SMALLINT, "1", nullptr, 0},
        {"Payload", ORV_SQL_BLOB, nullptr, nullptr, 0},
    };
    char local[] = "CustomerID";
    char referenceColumn[] = "CustomerID";
    char referenceTable[] = "Customer";
    const ForeignKeyEntry toCustomer{local, referenceColumn, referenceTable, 1, 0, 0};
    if (!AddTable("Customer", customer, sizeof(customer) / sizeof(customer[0]), "CustomerID", nullptr) ||
        !AddTable("Order", order, sizeof(order) / sizeof(order[0]), "OrderID", &toCustomer)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > static_cast<size_t>(INT32_MAX)) return 0;
    InitTableDefnList();
    DefineTables();
    InitTableDataList();
    if (!InitSeqGenState() || !SetSeqGenBatch("CustSeq", 1, 300)) std::abort();

    CreateTableDataFromXMLBuffer(reinterpret_cast<const char*>(data), static_cast<int32_t>(size));

    FreeAllTableData();
    FreeSeqGenState();
    FreeAllTableDefns();
    return 0;
}
