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

#include <cstdint>

#include "datastore/table_defn.h"
#include "util/string_hash.h"

namespace orv {

constexpr int32_t kSeqGenBatchSize = 300;

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

/* Takes a new batch for the sequence from the database of the table's
 * data source. Without a database door it logs why and gives false. */
bool UpdateSeqGen(const char* tableName, const char* sequenceName);

/* The next value of the column's sequence, or -1 when it has none (no
 * generator name, never primed, or no new batch could be taken). */
int32_t GenerateID(const char* tableName, const ColumnDefnEntry* column);

/* The next value of the "INSTANCE_ID" sequence, or -1. */
int32_t GenerateInstanceID();

}  // namespace orv

#endif
