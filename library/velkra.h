/*
 * The data-access library's public headers in one include.
 *
 * An application includes "velkra.h" and links the CMake target velkra
 * (static, alias orv::velkra) or velkra_shared. The headers keep their
 * folders below this one: agent/ (log writer and its per-thread ERROR
 * records, object lock, heap copies),
 * util/ (vector, string hash table, date-time values), datastore/ (type
 * codes, column values, table definitions, the data dictionary loader, the
 * library root, relvars, criteria, XML row documents, change listeners,
 * the sequence generator, loading and saving tables, start-up and
 * shutdown), db/ (providers, connection parameters, the
 * connection pool, result sets, the data source map, select queries).
 * "datastore/relvar_xml.h" (XML row documents) is included on its own: it
 * needs libxml2's headers. Thread-safety is stated in each header.
 */
#ifndef ORV_VELKRA_H
#define ORV_VELKRA_H

#include "agent/log.h"
#include "agent/log_errors.h"
#include "agent/object_lock.h"
#include "agent/strings.h"
#include "dataobject/dataobject.h"
#include "dataobject/personality.h"
#include "datastore/column_value.h"
#include "datastore/criteria.h"
#include "datastore/datadict.h"
#include "datastore/notification.h"
#include "datastore/relvar.h"
#include "datastore/seqgen.h"
#include "datastore/table_defn.h"
#include "datastore/type_codes.h"
#include "datastore/velkra_root.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/datasource_map.h"
#include "db/odbc/odbc_provider.h"
#include "db/provider.h"
#include "db/result_set.h"
#include "db/select_query.h"
#include "persist/seqgen_db.h"
#include "persist/table_io.h"
#include "persist/velkra_init.h"
#include "util/conv_misc.h"
#include "util/conv_number.h"
#include "util/conv_oid.h"
#include "util/conv_time.h"
#include "util/datetime.h"
#include "util/datetime_arith.h"
#include "util/datetime_parse.h"
#include "util/datetime_scan.h"
#include "util/mempool.h"
#include "util/string_hash.h"
#include "util/string_util.h"
#include "util/vector.h"

#endif
