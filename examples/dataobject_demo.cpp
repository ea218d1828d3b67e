/*
 * Data objects on a SQLite file: customers and their sites (the sample
 * dictionary of examples/data) stored from an object built in memory,
 * retrieved again through a join as one object, changed, merged with an
 * object of new rows, saved, and retrieved once more; each object printed
 * in the library's printed layout.
 *
 *   dataobject_demo [SAMPLE_DATA_DIR [WORK_DIR]]
 *
 * SAMPLE_DATA_DIR holds the sample dictionary (examples/data); WORK_DIR
 * (out/dataobject-demo of the project) gets the library root with a copy
 * of it and a connparams.txt naming the database file
 * WORK_DIR/monitoring.db (reached through the SQLITE provider), and the log
 * root/logs/velkra.log. Exit status 0 when every step did what it
 * should.
 */
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "velkra.h"

namespace {

const char* const kDataFiles[] = {"datadictionary.txt", "inventory.xml", "monitoring.xml", "dsn_table_map.txt"};

int g_failures = 0;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        fprintf(stderr, "dataobject_demo: FAILED: %s\n", what.c_str());
        ++g_failures;
    }
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    return static_cast<bool>(out);
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

bool Insert(orv::DataObject* o, const char* table, const std::vector<const char*>& texts) {
    return orv::InsertStringRowIntoDO(table, texts.data(), o) == 1;
}

/* Customer joined with Site on CustomerID. */
orv::SelectQuery* CustomerSites() {
    orv::SelectQuery* q = orv::CreateSelectQuery();
    if (q == nullptr) return nullptr;
    orv::Vector* left = orv::NewColumnList(q->pool);
    orv::Vector* right = orv::NewColumnList(q->pool);
    orv::AddColumnToList(q->pool, orv::CreateSelectColumn("Customer", nullptr, "CustomerID", nullptr, 0, 7, 0, q->pool),
                         left);
    orv::AddColumnToList(q->pool, orv::CreateSelectColumn("Site", nullptr, "CustomerID", nullptr, 0, 7, 0, q->pool),
                         right);
    orv::AddJoin(q, orv::CreateJoinSpec("Customer", nullptr, "Site", nullptr, orv::kJoinInner, left, right, q->pool));
    return q;
}

void Show(const char* title, const orv::DataObject* o) {
    printf("%s\n%s", title, orv::RenderDataObject(o).c_str());
    orv::PrintDataObject(o);
}

int RowCount(orv::DataObject* o, const char* table) {
    int n = 0;
    for (orv::RowUnit* r = orv::GetFirstRowUnit(table, o); r != nullptr; r = r->next) ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string data = argc > 1 ? argv[1] : ORV_DEMO_DATA_DIR;
    const std::string work = argc > 2 ? argv[2] : ORV_DEMO_WORK_DIR;
    const std::string root = work + "/root";
    orv::MakeDirectoryPath((root + "/data").c_str());
    for (const char* name : kDataFiles) {
        if (!CopyFile(data + "/" + name, root + "/data/" + name)) {
            fprintf(stderr, "dataobject_demo: cannot copy %s/%s to %s/data\n", data.c_str(), name, root.c_str());
            return 1;
        }
    }
    const std::string database = work + "/monitoring.db";
    unlink(database.c_str());
    unlink((root + "/logs/velkra.log").c_str());
    if (!WriteText(root + "/data/connparams.txt", "sample 0 " + database + " NULL NULL x sample SQLITE SQLITE no\n")) {
        fprintf(stderr, "dataobject_demo: cannot write %s/data/connparams.txt\n", root.c_str());
        return 1;
    }
    if (chdir(work.c_str()) != 0) return 1;
    const std::string log = root + "/logs/velkra.log";
    if (!orv::InitVelkra(root.c_str())) {
        fprintf(stderr, "dataobject_demo: the library did not start; see %s\n", log.c_str());
        orv::DeInitVelkra();
        return 1;
    }

    // Two customers and their sites, built in memory (sites first: the
    // save puts customers first all the same) and saved.
    orv::DataObject* seed = orv::CreateDataObject();
    Check(orv::AddTableToDO(seed, "Site", nullptr) && orv::AddTableToDO(seed, "Customer", nullptr), "tables");
    Check(Insert(seed, "Site", {"10", "1", "Oslo", "4"}) && Insert(seed, "Site", {"11", "1", "Bergen", "2"}) &&
              Insert(seed, "Site", {"20", "2", "Tromso", "1"}),
          "sites");
    Check(Insert(seed, "Customer", {"1", "Initech", "", "true", "2026-12-01 09:00:00"}) &&
              Insert(seed, "Customer", {"2", "Umbrella", "night shift", "false", "2026-12-02 17:30:00"}),
          "customers");
    Check(orv::SaveDataObject(seed), "save the seed");
    orv::FreeDataObject(seed);

    orv::SelectQuery* query = CustomerSites();
    orv::DataObject* sites = orv::GetDataObject(query);
    Check(sites != nullptr, "retrieve customers with their sites");
    if (sites == nullptr) {
        orv::FreeSelectQuery(query);
        orv::DeInitVelkra();
        return 1;
    }
    Show("Retrieved (one row per customer however many sites):", sites);
    Check(RowCount(sites, "Customer") == 2 && RowCount(sites, "Site") == 3, "2 customers, 3 sites");

    // Changes: Oslo gets a floor more, Bergen closes; a new site comes in
    // an object of its own and is merged.
    orv::RowUnit* oslo = orv::FindRowUnitOnCriteria("Site", "SiteID = 10", sites);
    Check(oslo != nullptr, "find Oslo");
    if (oslo != nullptr) {
        // The changed row: the same key, a new Floors value.
        const size_t n = static_cast<size_t>(oslo->columnCount);
        auto** values = static_cast<void**>(orv::DataObjectAlloc(sites, sizeof(void*) * n));
        auto* lengths = static_cast<int32_t*>(orv::DataObjectAlloc(sites, sizeof(int32_t) * n));
        memcpy(values, oslo->values, sizeof(void*) * n);
        memcpy(lengths, oslo->lengths, sizeof(int32_t) * n);
        const int16_t five = 5;
        values[3] = orv::DataObjectAlloc(sites, sizeof five + 1);
        memcpy(values[3], &five, sizeof five);
        lengths[3] = sizeof five;
        orv::RowUnit* change = orv::CreateRowUnit("Site", values, lengths, sites->pool);
        Check(orv::UpdateRowUnit(change, sites) == 1 && oslo->state == 5, "Oslo gets 5 floors");
    }
    Check(orv::DeleteRowUnitOnCriteria("Site", "City = 'Bergen'", sites), "close Bergen");
    orv::DataObject* extra = orv::CreateDataObject();
    Check(orv::AddTableToDO(extra, "Site", nullptr) && Insert(extra, "Site", {"21", "2", "Narvik", "3"}), "a new site");
    Check(orv::MergeDataObject(sites, extra) == sites, "merge the new site");
    orv::FreeDataObject(extra);
    Show("Changed and merged (state 5 updated, 9 deleted, 2 new):", sites);
    Check(orv::SaveDataObject(sites), "save the changes");
    orv::FreeDataObject(sites);

    orv::DataObject* after = orv::GetDataObject(query);
    Check(after != nullptr, "retrieve again");
    if (after != nullptr) {
        Show("Retrieved after the save:", after);
        Check(RowCount(after, "Site") == 3, "Oslo, Tromso and Narvik");
        Check(orv::FindRowUnitOnCriteria("Site", "City = 'Bergen'", after) == nullptr, "Bergen gone");
        orv::RowUnit* floors = orv::FindRowUnitOnCriteria("Site", "Floors = 5", after);
        Check(floors != nullptr, "Oslo has 5 floors");
        orv::FreeDataObject(after);
    }
    orv::FreeSelectQuery(query);
    orv::DeInitVelkra();
    printf("Log: %s\n", log.c_str());
    if (g_failures > 0) {
        fprintf(stderr, "dataobject_demo: %d step(s) failed\n", g_failures);
        return 1;
    }
    printf("Demo done: every step did what it should.\n");
    return 0;
}
