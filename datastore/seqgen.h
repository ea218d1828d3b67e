/*
 * The sequence generator: named sequences of integer identifiers handed
 * out from memory in batches of 300. The state table maps a sequence name
 * (a column's generator name) to the next value and the batch's end; the
 * database keeps the end of the batch in use: an exhausted sequence takes
 * its next batch from the installed batch source (SetSeqGenBatchSource;
 * persist/seqgen_db.h is the database's), and a sequence can be primed by
 * hand with SetSeqGenBatch.
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

/* Where an exhausted sequence takes its next batch. takeBatch stores a new
 * batch of the sequence with SetSeqGenBatch and returns true, or returns
 * false when none could be taken; tableName (null for none) names the
 * table whose column asked. It is called with the sequence's entry locked
 * and must not hand out values itself. */
struct SeqGenBatchSource {
    bool (*takeBatch)(void* context, const char* tableName, const char* sequenceName);
    void* context;
};

/* Installs a copy of *source as the batch source of every sequence; null
 * removes it. Without a source an exhausted sequence gives no value (an
 * ERROR record says so). The persistence layer installs the database's
 * (InstallSeqGenDatabaseSource) at start-up. */
void SetSeqGenBatchSource(const SeqGenBatchSource* source);

/* The next value of the column's sequence, or -1 when it has none (no
 * generator name, never primed, or no new batch could be taken). */
int32_t GenerateID(const char* tableName, const ColumnDefnEntry* column);

/* The next value of the "INSTANCE_ID" sequence, or -1. */
int32_t GenerateInstanceID();

}  // namespace orv

#endif
