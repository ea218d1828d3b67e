/*
 * XML row documents: rows for the in-memory tables read from an XML file,
 * a buffer or an element of a parsed document.
 *
 * Every element below the document's root element is one row of the table
 * the element is named after, its attributes the columns by name (without
 * regard to case). Elements are imported depth first, in document order,
 * each before its children, so that a nested element can take its foreign
 * key and primary key values from the elements that enclose it:
 *
 *   <CustomerList>
 *     <Customer CustomerID="1" Name="Acme">
 *       <Site SiteID="10" City="Oslo"/>        (CustomerID 1 from Customer)
 *     </Customer>
 *   </CustomerList>
 *
 * An element without a table definition whose name contains "List" groups
 * rows and is passed over (its children are imported); any other element
 * without a definition ends the import. A value "Table:Column:Key" is a
 * reference, resolved through the document's ID map (see
 * CreateTableDataFromXMLNode) and the sequence generator.
 *
 * Documents are parsed whole, without network access and without entity
 * substitution (datastore/xml_input.h); libxml2's errors go to the log at
 * ERROR with the file and line, its warnings at DEBUG. Rows added before an import fails stay in their tables.
 *
 * Thread-safety: the tables are not locked (datastore/relvar.h): callers
 * serialise imports with every other use of the relvars they fill.
 */
#ifndef ORV_DATASTORE_RELVAR_XML_H
#define ORV_DATASTORE_RELVAR_XML_H

#include <libxml/tree.h>

#include <cstdint>

#include "util/string_hash.h"

namespace orv {

/* Buckets of a document's ID map. */
constexpr uint32_t kXmlIdMapBuckets = 50;

/* The name that stands for the document in the messages of the buffer
 * form ("error: could not parse file (buffer)\n"). */
constexpr const char* kXmlBufferName = "(buffer)";

/* Imports the rows of the XML file at path (opened through the platform
 * layer, so Windows-style paths work). Returns 1 when every element was
 * imported, 0 when the file does not open or parse ("error: could not
 * parse file <path>\n" at ERROR) or the import fails ("Cannot construct
 * table data from XML file.\n" at ERROR). */
uint8_t CreateTableDataFromXMLFile(const char* path);

/* As CreateTableDataFromXMLFile (with the same messages), and OUT *kept:
 * the parsed document when 1 is returned (the caller frees it with
 * xmlFreeDoc), else null; for a caller that reads the document further
 * without parsing the file again. */
uint8_t CreateTableDataFromXMLFileKeepingDocument(const char* path, xmlDocPtr* kept);

/* As the file form for length bytes of buffer (no terminating NUL
 * needed); the messages are "error: could not parse file (buffer)\n" and
 * "Cannot construct table data from XML buffer.\n". */
uint8_t CreateTableDataFromXMLBuffer(const char* buffer, int32_t length);

/* Imports every element below element (the element itself is not a row)
 * of a parsed document; the document stays the caller's. Returns the
 * document's ID map, or null with "Cannot construct table data from buffer
 * node.\n" at ERROR when the import fails.
 *
 * The ID map takes texts ("Customer:CustomerID:7" and the like) to the
 * identifiers they were given. Each value is a heap int32_t owned by the
 * map: read one with GetXmlIdMapValue (or *(int32_t*)HashGet(map, key)),
 * release the whole map with FreeXmlIdMap, never with HashFree alone. */
StringHashTable* CreateTableDataFromXMLNode(xmlDocPtr document, xmlNodePtr element);

/* OUT *value: the identifier of key in an ID map. False when the key is
 * absent (then *value is untouched). */
bool GetXmlIdMapValue(const StringHashTable* map, const char* key, int32_t* value);

/* Frees an ID map from CreateTableDataFromXMLNode: its values, its entries
 * and the table record. Null is ignored. */
void FreeXmlIdMap(StringHashTable* map);

/* OUT *value, *length: a new heap block (released with free(), one byte
 * longer than its length, that byte 0) holding text in the stored form of
 * the type code, and its length:
 *   1 to 8         the integer in its type's width (1, 2, 4 or 8 bytes),
 *                  read as ConvertStringToColumnValue reads it
 *   9, 11 / 10     a float, length 4 / a double, length 8, likewise
 *   14, 15, 22     the text, its length
 *   16, 17, 18     a date-time value by the text's shape, length 11
 *   19             0 when the text is "false" in any case, else 1; length 1
 *   0, 12, 13, 20, 21 and codes above 22
 *                  the text's bytes, its length (blobs and clobs written
 *                  as text in a row document keep their text)
 * Returns 1 when a value was stored; 0 (with *value null and *length 0)
 * for a date text that does not parse, a missing argument (a missing text
 * or block pointer logs "value parameter in AllocateAndCopyColumnValue is
 * NULL \n" at TRACE) or short memory. */
uint8_t AllocateAndCopyColumnValue(void** value, int32_t* length, uint8_t type, const char* text);

}  // namespace orv

#endif
