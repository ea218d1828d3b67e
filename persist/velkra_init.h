/*
 * The library's start-up and shutdown.
 *
 * InitVelkra(root) sets the root (datastore/velkra_root.h), opens the log
 * "velkra.log" (under "<root>/logs" unless the application configured the
 * log itself before), starts the memory pool, the providers, the SQL
 * generators and every library-wide list, loads the data dictionary, the
 * data source map ("..\data\dsn_table_map.txt", else under the root) and
 * the connection parameters ("..\data\connparams.txt", else under the
 * root), connects to every data source, creates the defined tables,
 * primes the sequences, loads the tables of loadtablelist.txt and, when
 * every table was created (a new database), stores the default data of
 * defaultdata.txt. The first data source decides the mode: a data source
 * named by DSN in one of the dialects MYSQL, PGSQL, FIREBIRD, SQLITE (any
 * case) turns the data source map on, so that every table's statements go
 * to its own data source in its dialect.
 *
 * Every failure is an ERROR line in the log and a false result; what was
 * built so far stays until DeInitVelkra, which the caller runs in any
 * case. A failing load list and a second start without shutdown are only
 * logged.
 *
 * DeInitVelkra releases everything in reverse: relvars, sequence state,
 * connections and connection parameters, providers, the data source map,
 * table definitions, SQL generators, the memory pool, the log, and the
 * root. The library can be started again afterwards in the same process.
 *
 * Thread-safety: start-up and shutdown run on one thread, before and after
 * every other use of the library. An application that uses the library
 * from several threads calls InitMutex (agent/object_lock.h) first.
 */
#ifndef ORV_DATASTORE_VELKRA_INIT_H
#define ORV_DATASTORE_VELKRA_INIT_H

namespace orv {

/* Starts the library on the root directory (null: keep the root as it
 * was). True when the library is ready. */
bool InitVelkra(const char* rootPath);

/* Stops the library; safe after a failed or without a start. */
void DeInitVelkra();

}  // namespace orv

#endif
