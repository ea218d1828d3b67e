/*
 * The sequence generator: named sequences of integer identifiers handed
 * out from memory in batches of 300. The state table maps a sequence name
 * (a column's generator name) to the next value and the batch's end; the
 * database keeps the end of the batch in use (UpdateSeqGen takes a new
 * batch there once a database door exists; until then a sequence is
 * primed with SetSeqGenBatch).
 *
 * Thread-safety: handing out holds the object lock on the sequence's
 * entry, so two threads never hand out the same value; priming holds the
 * lock on the state table. GenerateInstanceID takes no lock.
 */
#ifndef ORV_DATASTORE_SEQGEN_H
#define ORV_DATASTORE_SEQGEN_H

#include <cstddef>
#include <cstdint>

#include "datastore/table_defn.h"
#include "util/string_hash.h"

namespace orv {

constexpr int32_t kSeqGenBatchSize = 300;

/* The longest sequence name that reaches the database (SEQNAME is
 * varchar(255)); longer names are refused. */
constexpr size_t kMaxSequenceNameLength = 255;

/* One sequence's state: a pair with end below next is exhausted. */
struct SeqGenPair {
    int32_t next;
    int32_t end;
};

/* The state table (50 buckets). */
extern StringHashTable gv_seqGenState;

/* Creates the empty state table (freeing an earlier one). False when
 * memory runs out. */
bool InitSeqGenState();
/* Frees the state table and its pairs. */
void FreeSeqGenState();

/* Stores next and end for the sequence (adding it when missing). False
 * when memory runs out or the table was not created. */
bool SetSeqGenBatch(const char* sequenceName, int32_t next, int32_t end);

/* Creates SeqGenState (SEQNAME varchar(255) primary key, CURRENTBATCHEND
 * integer) on a data source when it is missing; connectionName null means
 * the default connection. False when it neither exists nor could be
 * created. */
bool CreateSeqGenStateTable(const char* connectionName);

/* CreateSeqGenStateTable on every data source in map mode, on the default
 * connection otherwise. True when every one holds the table. */
bool CreateSeqGenStateTables();

/* Primes every sequence at start-up: makes sure SeqGenState exists
 * (CreateSeqGenStateTables), then takes a batch for every column with a
 * generator name, in gv_tableDefnVect order, holding the object lock on
 * the state table for each. False only for a definition without columns.
 * REQUIRES: the state table was created (InitSeqGenState) and the
 * connections established. */
bool SequenceGenerator();

/* Takes a new batch for the sequence from the database of the table's
 * data source (GetConnectionNameForTable in map mode, the default
 * connection otherwise; without a table name the first data source) and
 * stores it in the state table. False, with the pair left as it was, when
 * no batch could be taken: no connection, a name that is empty or longer
 * than kMaxSequenceNameLength, or a failed statement. */
bool UpdateSeqGen(const char* tableName, const char* sequenceName);

/* The next value of the column's sequence, or -1 when it has none (no
 * generator name, never primed, or no new batch could be taken). */
int32_t GenerateID(const char* tableName, const ColumnDefnEntry* column);

/* The next value of the "INSTANCE_ID" sequence, or -1. */
int32_t GenerateInstanceID();

}  // namespace orv

#endif
