/*
 * Start-up and shutdown of the library.
 */
#include "persist/velkra_init.h"

#include "agent/log.h"
#include "datastore/datadict.h"
#include "datastore/relvar.h"
#include "datastore/seqgen.h"
#include "datastore/table_defn.h"
#include "datastore/velkra_root.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/datasource_map.h"
#include "db/provider.h"
#include "db/sql/dialect_record.h"
#include "persist/seqgen_db.h"
#include "persist/table_io.h"
#include "util/mempool.h"

namespace orv {

namespace {

/* Memory pool starts made by InitVelkra and not yet ended: shutdown ends
 * only its own. */
int g_memPoolStarts = 0;

/* Map mode for a first data source named by DSN in a known dialect. A
 * first data source reached by a full connection string leaves map mode
 * off, but its dialect (when one of the four) becomes the library's, so
 * that statements are written for the engine they go to rather than in
 * the first dialect. */
void ChooseMapMode() {
    const ConnParams* first = static_cast<const ConnParams*>(ElementAt(gv_connParamsVect, 0)->element);
    if (first == nullptr || first->dialectName == nullptr) return;
    const int index = FindDialectIndex(first->dialectName);
    if (index >= 0) SetDSNMapValid(first->useConnString != 0 ? 0 : 1, static_cast<uint8_t>(index));
}

}  // namespace

bool InitVelkra(const char* rootPath) {
    LogTrace("@@ Inside InitVelkra @@\n");
    SetVelkraRoot(rootPath);

    if (!InitDefaultLog()) return false;
    if (!OpenLogAppend()) return false;

    if (!InitializeMemPool()) {
        LogError("InitializeMemPool failed.\n");
        return false;
    }
    ++g_memPoolStarts;

    if (!InitDBProvider()) LogError("InitDBProvider failed. Already initialized.\n");

    InitTableDefnList();
    InitSQLGenerators();
    InitTableDataList();
    if (gv_tableDataVect == nullptr || !InitSeqGenState()) {
        LogError("Memory allocation Failed\n");
        return false;
    }
    InstallSeqGenDatabaseSource();

    if (!LoadAllDataDictFiles()) {
        LogError("LoadAllDataDictFiles failed.\n");
        return false;
    }
    if (!LoadDataSourceMapEntryFromFile("..\\data\\dsn_table_map.txt")) {
        LogError("LoadDataSourceMapEntryFromFile failed.\n");
        return false;
    }
    if (!LoadConnParamsEntryFromFile("..\\data\\connparams.txt")) {
        LogError("LoadConnParamsEntryFromFile failed.\n");
        return false;
    }
    if (gv_connParamsVect == nullptr || gv_connParamsVect->count == 0) {
        LogError("No entires in data source vector. InitVelkra failed.\n");
        return false;
    }
    ChooseMapMode();
    if (!EstablishDBConnections()) {
        LogError("EstablishDBConnections failed.\n");
        return false;
    }
    const bool newDatabase = CreateTables();
    if (!SequenceGenerator()) {
        LogError("SequenceGenerator failed.\n");
        return false;
    }
    if (!LoadAllTables()) {
        LogError(
            "Error in loading tables from loadtablelist.txt.  Please check if there are any entries in your "
            "loadtablelist.txt or load the required tables manually.\n");
    }
    if (newDatabase && !SaveDefaultData()) {
        LogError("Cannot save default data.\n");
        return false;
    }
    LogDebug(
        "\nWelcome to Velkra.  You have successfully initialised the appropriate parameters, loaded the "
        "mentioned files/tables and established connection with the DB.\n");
    return true;
}

void DeInitVelkra() {
    LogTrace("Inside DeInitVelkra.\n");
    UnLoadAllTable();
    SetSeqGenBatchSource(nullptr);
    FreeSeqGenState();
    CloseAllDBConnections();
    FreeAllConnParams();
    // The providers go too, so that the next start initialises them anew.
    DeInitDBProvider();
    FreeAllDataSourceMapEntries();
    FreeAllTableDefns();
    DeInitSQLGenerators();
    for (; g_memPoolStarts > 0; --g_memPoolStarts) TerminateMemPool();
    CloseLog();
    FreeLogSettings();
    ClearVelkraRoot();
}

}  // namespace orv
