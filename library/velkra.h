/*
 * The data-access library's public headers in one include.
 *
 * An application includes "velkra.h" and links the CMake target velkra
 * (static, alias orv::velkra) or velkra_shared. The headers keep their
 * folders below this one: agent/ (log writer, object lock, heap copies),
 * util/ (vector, string hash table, date-time values), datastore/ (type
 * codes, column values, table definitions, the data dictionary loader, the
 * library root). Thread-safety is stated in each header.
 */
#ifndef ORV_VELKRA_H
#define ORV_VELKRA_H

#include "agent/log.h"
#include "agent/object_lock.h"
#include "agent/strings.h"
#include "datastore/column_value.h"
#include "datastore/datadict.h"
#include "datastore/table_defn.h"
#include "datastore/type_codes.h"
#include "datastore/velkra_root.h"
#include "util/datetime.h"
#include "util/datetime_arith.h"
#include "util/datetime_parse.h"
#include "util/datetime_scan.h"
#include "util/string_hash.h"
#include "util/vector.h"

#endif
