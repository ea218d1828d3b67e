/*
 * What the two halves of the XML row import share: the ID map's own
 * helpers (relvar_xml.cpp) and the element walk (relvar_xml_import.cpp).
 * Used by the import only.
 */
#ifndef ORV_DATASTORE_RELVAR_XML_INTERNAL_H
#define ORV_DATASTORE_RELVAR_XML_INTERNAL_H

#include <libxml/tree.h>

#include <cstdint>

#include "util/string_hash.h"

namespace orv {

/* A new empty ID map of kXmlIdMapBuckets buckets, or null. */
StringHashTable* NewXmlIdMap();

/* Sets the identifier of key (a new heap int32_t for a new key, the old
 * one overwritten otherwise). False when memory runs out. */
bool PutXmlId(StringHashTable* map, const char* key, int32_t value);

/* Imports every element below top; the ID map, or null when the import
 * failed (its messages are logged, the map is freed then). Logs nothing
 * of its own caller's. */
StringHashTable* ImportXmlRows(xmlDocPtr document, xmlNodePtr top);

}  // namespace orv

#endif
