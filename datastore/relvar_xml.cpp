/*
 * XML row documents: parsing files and buffers, the ID map, and the
 * conversion of attribute texts into column values. The element walk that
 * builds the rows is in relvar_xml_import.cpp.
 */
#include "datastore/relvar_xml.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "agent/strings.h"
#include "datastore/column_value.h"
#include "datastore/relvar_xml_internal.h"
#include "datastore/type_codes.h"
#include "datastore/xml_input.h"

namespace orv {

namespace {

/* Imports a parsed document (which stays the caller's); true when the
 * import went through. */
bool ImportDocument(xmlDocPtr document) {
    xmlNodePtr root = xmlDocGetRootElement(document);
    StringHashTable* map = root != nullptr ? ImportXmlRows(document, root) : nullptr;
    if (map == nullptr) return false;
    FreeXmlIdMap(map);
    return true;
}

}  // namespace

StringHashTable* NewXmlIdMap() {
    auto* map = static_cast<StringHashTable*>(calloc(1, sizeof(StringHashTable)));
    if (map == nullptr) return nullptr;
    if (!HashInit(map, kXmlIdMapBuckets)) {
        free(map);
        return nullptr;
    }
    return map;
}

bool PutXmlId(StringHashTable* map, const char* key, int32_t value) {
    if (map == nullptr || key == nullptr) return false;
    StringHashEntry* entry = HashGetEntry(map, key);
    if (entry != nullptr && entry->value != nullptr) {
        *static_cast<int32_t*>(entry->value) = value;
        return true;
    }
    auto* held = static_cast<int32_t*>(malloc(sizeof(int32_t)));
    if (held == nullptr) return false;
    *held = value;
    if (!HashPut(map, key, held)) {
        free(held);
        return false;
    }
    return true;
}

bool GetXmlIdMapValue(const StringHashTable* map, const char* key, int32_t* value) {
    if (map == nullptr || key == nullptr || value == nullptr) return false;
    const void* held = HashGet(map, key);
    if (held == nullptr) return false;
    *value = *static_cast<const int32_t*>(held);
    return true;
}

void FreeXmlIdMap(StringHashTable* map) {
    if (map == nullptr) return;
    for (uint32_t b = 0; b < map->bucketCount; ++b) {
        for (StringHashEntry* entry = map->buckets[b]; entry != nullptr; entry = entry->next) {
            if (entry->key != nullptr) free(entry->value);
        }
    }
    HashFree(map);
    free(map);
}

uint8_t AllocateAndCopyColumnValue(void** value, int32_t* length, uint8_t type, const char* text) {
    LogTrace("@@@ Inside AllocateAndCopyColumnValue @@@\n");
    if (value != nullptr) *value = nullptr;
    if (length != nullptr) *length = 0;
    if (value == nullptr || text == nullptr) {
        LogTrace("value parameter in AllocateAndCopyColumnValue is NULL \n");
        return 0;
    }
    if (length == nullptr) return 0;

    void* block = nullptr;
    int32_t stored = 0;
    if (type == ORV_SQL_BOOLEAN) {
        const uint8_t flag = strcasecmp(text, "false") == 0 ? 0 : 1;
        char* copy = nullptr;
        if (DuplicateBytes(&copy, &flag, 1) == kDupOk) {
            block = copy;
            stored = 1;
        }
    } else if (IsIntegerType(type) || IsFloatType(type) || IsTextType(type) || IsDateTimeType(type)) {
        block = ConvertStringToColumnValue(text, &stored, type);
    } else {
        // Raw bytes (0, 12, 13, 20, 21, and codes outside the table): a
        // document can only give them as text, so the text is what they
        // hold.
        const size_t n = strlen(text);
        if (n > static_cast<size_t>(INT32_MAX)) return 0;
        char* copy = nullptr;
        if (DuplicateBytes(&copy, text, n) == kDupOk) {
            block = copy;
            stored = static_cast<int32_t>(n);
        }
    }
    if (block == nullptr) return 0;
    *value = block;
    *length = stored;
    return 1;
}

uint8_t CreateTableDataFromXMLFile(const char* path) {
    xmlDocPtr document = nullptr;
    const uint8_t ok = CreateTableDataFromXMLFileKeepingDocument(path, &document);
    if (document != nullptr) xmlFreeDoc(document);
    return ok;
}

uint8_t CreateTableDataFromXMLFileKeepingDocument(const char* path, xmlDocPtr* kept) {
    LogTrace("@@@ Inside CreateTableDataFromXMLFile @@@\n");
    *kept = nullptr;
    xmlDocPtr document = path != nullptr ? ParseXmlFile(path, XmlWarnings::kAtDebug) : nullptr;
    if (document == nullptr) {
        LogError("error: could not parse file %s\n", path != nullptr ? path : "(null)");
        return 0;
    }
    const bool imported = ImportDocument(document);
    if (!imported) {
        xmlFreeDoc(document);
        LogError("Cannot construct table data from XML file.\n");
        return 0;
    }
    *kept = document;
    return 1;
}

uint8_t CreateTableDataFromXMLBuffer(const char* buffer, int32_t length) {
    LogTrace("@@@ Inside CreateTableDataFromXMLBuffer @@@\n");
    xmlDocPtr document = ParseXmlBuffer(buffer, length, kXmlBufferName, XmlWarnings::kAtDebug);
    if (document == nullptr) {
        LogError("error: could not parse file %s\n", kXmlBufferName);
        return 0;
    }
    const bool imported = ImportDocument(document);
    xmlFreeDoc(document);
    if (!imported) {
        LogError("Cannot construct table data from XML buffer.\n");
        return 0;
    }
    return 1;
}

StringHashTable* CreateTableDataFromXMLNode(xmlDocPtr document, xmlNodePtr element) {
    LogTrace("@@@ Inside CreateTableDataFromXMLNode @@@\n");
    StringHashTable* map = nullptr;
    if (element != nullptr && element->type == XML_ELEMENT_NODE) {
        map = ImportXmlRows(document != nullptr ? document : element->doc, element);
    }
    if (map == nullptr) LogError("Cannot construct table data from buffer node.\n");
    return map;
}

}  // namespace orv
