/*
 * The save batch: the statements of a save (a relvar's changed rows, a
 * data object's rows of one data source) run in one transaction that is
 * committed only when each of them succeeded, and the one rule from a
 * row's state to its statement. Internal to the library.
 *
 * Thread-safety: a batch holds its connection's transaction lock while it
 * runs; the rows are the caller's to guard.
 */
#ifndef ORV_PERSIST_SAVE_BATCH_H
#define ORV_PERSIST_SAVE_BATCH_H

#include <cstdint>
#include <vector>

#include "datastore/row_object.h"

namespace orv {

struct DBConnection;

/* The statement a row's state calls for. */
enum class SaveKind : uint8_t { kNone, kInsert, kUpdate, kDelete };

/* stored|modified: an update; stored and deleted (whatever else is set): a
 * delete; new or new|modified: an insert; every other state: none. */
SaveKind SaveKindOf(uint8_t state);

/* The generated statement of kind for the row of the table (heap text for
 * free()), or null for kNone or when the generator gives none. */
char* GenerateSaveQuery(SaveKind kind, const char* tableName, const RowObject* row);

/* The state of a row after its statement was written: deleted when it was
 * marked deleted, else stored. */
uint8_t WrittenState(uint8_t state);

/* The two ERROR lines of a statement that failed (or, for null, of one
 * that was not generated). */
void LogFailedSaveStatement(const char* sql);

/* One row's statement in a batch. */
struct SaveStatement {
    void* row;    /* the caller's row; not used by the batch */
    char* sql;    /* the statement, not null; the caller frees it */
    bool written; /* OUT: ran without failure and was committed (or ran
                   * alone, see RunSaveBatch) */
};

/* How a batch names its caller in its ERROR lines. */
struct SaveBatchWords {
    const char* caller;  /* "SaveTable for ORDERS", "SaveDataObject" */
    const char* kept;    /* what a row keeps when the commit fails: "flags", "state" */
};

/* Runs the statements in order in one transaction on connection, under its
 * transaction lock, and marks written the ones a successful commit holds.
 * A statement that fails ends the attempt: the transaction is rolled back
 * and tried again without it (and without every statement that failed
 * before), so whatever the engine and driver do with a failed statement
 * inside a transaction (PostgreSQL aborts the transaction, its ODBC driver
 * may roll back the statement or all of it, MariaDB rolls back all of it
 * on a deadlock), a commit holds exactly the statements marked written.
 * After ten failing attempts the remaining statements run one at a time,
 * each marked written when it succeeds. Nothing is written when the
 * transaction cannot begin or the commit fails. Nothing is done for an
 * empty batch. REQUIRES: the caller holds connection (GetDBConnection) and
 * not its transaction lock. */
void RunSaveBatch(DBConnection* connection, const SaveBatchWords& words, std::vector<SaveStatement>* statements);

}  // namespace orv

#endif
