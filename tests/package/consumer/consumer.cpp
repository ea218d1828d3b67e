// A small application of the installed library: the vector, the string
// hash table and, when the library has it, the data dictionary (a type
// name look-up and the load of one XML file, which runs libxml2).
//   consumer WORK_DIR
// Exits 0 when every call gave what it should, else 1 with a message.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "velkra.h"
#if ORV_CONSUMER_DATASTORE
#include "datastore/datadict.h"
#include "datastore/table_defn.h"
#include "datastore/type_codes.h"
#endif

namespace {

int failures = 0;

void Expect(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "consumer: %s\n", what);
        ++failures;
    }
}

void UseVector() {
    orv::Vector* v = orv::NewVector();
    Expect(v != nullptr, "NewVector gave no vector");
    if (v == nullptr) return;
    char first[] = "first";
    char second[] = "second";
    Expect(orv::AddValue(v, first) == 1, "AddValue refused the first element");
    Expect(orv::AddValue(v, second) == 1, "AddValue refused the second element");
    Expect(v->count == 2, "the vector does not hold two elements");
    orv::VectorNode* node = orv::ElementAt(v, 1);
    Expect(node != nullptr && node->element == second, "ElementAt(1) is not the second element");
    orv::FreeVector(v);
    std::free(v);
}

void UseHashTable() {
    orv::StringHashTable table{};
    Expect(orv::HashInit(&table, 16), "HashInit failed");
    int value = 7;
    Expect(orv::HashPut(&table, "key", &value), "HashPut failed");
    Expect(orv::HashGet(&table, "key") == &value, "HashGet did not find the value");
    orv::HashFree(&table);
}

#if ORV_CONSUMER_DATASTORE
void UseDataDictionary(const std::string& workDir) {
    Expect(orv::GetDataTypeCode("INTEGER") == 5, "GetDataTypeCode(\"INTEGER\") is not 5");
    Expect(orv::GetDataTypeCode("bigint") == orv::ORV_SQL_BIGINT, "GetDataTypeCode(\"bigint\") is not BIGINT");

    const std::string path = workDir + "/consumer.xml";
    std::FILE* file = std::fopen(path.c_str(), "w");
    Expect(file != nullptr, "cannot write the data dictionary file");
    if (file == nullptr) return;
    std::fputs(
        "<?xml version=\"1.0\"?>\n"
        "<data-dictionary>\n"
        "    <table name=\"Account\">\n"
        "        <columns>\n"
        "            <column name=\"AccountID\">\n"
        "                <data-type>INTEGER</data-type>\n"
        "                <nullable>false</nullable>\n"
        "            </column>\n"
        "            <column name=\"Owner\">\n"
        "                <data-type>CHAR</data-type>\n"
        "                <max-size>32</max-size>\n"
        "            </column>\n"
        "        </columns>\n"
        "        <primary-key>\n"
        "            <primary-key-column>AccountID</primary-key-column>\n"
        "        </primary-key>\n"
        "    </table>\n"
        "</data-dictionary>\n",
        file);
    std::fclose(file);

    orv::InitTableDefnList();
    Expect(orv::LoadDataDictFromXMLFile(path.c_str()), "LoadDataDictFromXMLFile failed");
    orv::TableDefn* defn = orv::GetTableDefn("Account");
    Expect(defn != nullptr, "the table Account was not loaded");
    if (defn != nullptr) {
        Expect(defn->columns != nullptr && defn->columns->count == 2, "Account does not have two columns");
        Expect(orv::GetColumnType("Account", "AccountID") == orv::ORV_SQL_INT, "AccountID is not an INTEGER");
    }
    orv::FreeAllTableDefns();
    orv::FreeVector(orv::gv_tableDefnVect);
    std::free(orv::gv_tableDefnVect);
    orv::gv_tableDefnVect = nullptr;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: consumer WORK_DIR\n");
        return 2;
    }
    UseVector();
    UseHashTable();
#if ORV_CONSUMER_DATASTORE
    UseDataDictionary(argv[1]);
#endif
    if (failures != 0) return 1;
    std::printf("consumer: ok\n");
    return 0;
}
