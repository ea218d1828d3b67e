/*
 * The database half of the sequence generator: every data source keeps the
 * end of each sequence's batch in use in its SeqGenState table, and a new
 * batch is taken there in one transaction.
 */
#ifndef ORV_PERSIST_SEQGEN_DB_H
#define ORV_PERSIST_SEQGEN_DB_H

#include "datastore/seqgen.h"

namespace orv {

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

/* Installs the database as the batch source of the in-memory hand-out
 * (UpdateSeqGen for every exhausted sequence). InitVelkra calls it. */
void InstallSeqGenDatabaseSource();

}  // namespace orv

#endif
