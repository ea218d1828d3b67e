/*
 * The definition builder: turns the tag tree of one table element into a
 * TableDefn. Element names are compared exactly here, so only elements
 * written in lower case give definitions.
 */
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "agent/log.h"
#include "datastore/datadict.h"
#include "datastore/table_defn.h"

namespace orv {

namespace {

bool Named(const XmlTagInfo* tag, const char* name) {
    return tag != nullptr && tag->tagName != nullptr && strcmp(tag->tagName, name) == 0;
}

const char* FirstValue(const XmlTagInfo* tag) {
    return tag != nullptr && tag->valueCount > 0 ? tag->values[0] : nullptr;
}

const char* FirstAttributeValue(const XmlTagInfo* tag) {
    return tag->attributeCount > 0 ? tag->attributeValues[0] : nullptr;
}

const char* AttributeValue(const XmlTagInfo* tag, const char* name) {
    for (int32_t i = 0; i < tag->attributeCount; ++i) {
        if (strcmp(tag->attributeNames[i], name) == 0) return tag->attributeValues[i];
    }
    return nullptr;
}

/* An optional sign, then digits; any other text gives -1. Wraps in 32
 * bits. */
int32_t ReadMaxSize(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint32_t value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') return -1;
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    }
    return static_cast<int32_t>(negative ? 0u - value : value);
}

/* Owns the columns vector while the builder fills it. */
struct ColumnList {
    Vector* vector = nullptr;
    ~ColumnList() {
        if (vector == nullptr) return;
        for (VectorNode* node = ElementAt(vector, 0); node != nullptr; node = node->next) {
            FreeColumnDefnEntry(static_cast<ColumnDefnEntry*>(node->element));
        }
        FreeVector(vector);
        free(vector);
    }
    Vector* release() {
        Vector* v = vector;
        vector = nullptr;
        return v;
    }
};

enum class Built { kColumn, kSkipped, kTableLost };

/* One column from its record. */
Built BuildColumn(const XmlTagInfo* record, const char* tableName, Vector* columns) {
    const char* name = FirstAttributeValue(record);
    const char* typeName = nullptr;
    const char* description = nullptr;
    const char* defaultText = nullptr;
    const char* generator = nullptr;
    uint8_t nullable = 1;
    int32_t maxSize = 0;
    uint8_t unique = 0;
    AllowedValues* allowed = nullptr;
    for (const XmlTagInfo* leaf = record->firstChild; leaf != nullptr; leaf = leaf->nextSibling) {
        const char* text = FirstValue(leaf);
        if (Named(leaf, "data-type")) {
            typeName = text;
        } else if (Named(leaf, "nullable")) {
            nullable = text != nullptr && strcasecmp(text, "true") == 0;
        } else if (Named(leaf, "max-size")) {
            maxSize = ReadMaxSize(text);
        } else if (Named(leaf, "description")) {
            description = text;
        } else if (Named(leaf, "default-value")) {
            defaultText = text;
        } else if (Named(leaf, "generator-name")) {
            generator = text;
        } else if (Named(leaf, "unique")) {
            unique = text != nullptr && strcmp(text, "true") == 0;
        } else if (Named(leaf, "value") && allowed == nullptr && leaf->valueCount > 0) {
            std::vector<const char*> texts(leaf->values, leaf->values + leaf->valueCount);
            allowed = CreateAllowedValues(texts.data(), leaf->valueCount, 0);
            if (allowed == nullptr) {
                LogError("Cannot copy allowed values.\n");
                return Built::kTableLost;
            }
        } else if (Named(leaf, "from") && allowed == nullptr) {
            if (!Named(leaf->nextSibling, "to")) {
                LogError("In the allowed values attribute, 'to' tag is missing.\n");
                return Built::kTableLost;
            }
            const char* range[2] = {text ? text : "", FirstValue(leaf->nextSibling) ? FirstValue(leaf->nextSibling) : ""};
            allowed = CreateAllowedValues(range, 2, 1);
            if (allowed == nullptr) {
                LogError("Cannot copy allowed values.\n");
                return Built::kTableLost;
            }
        }
    }
    if (name == nullptr) {
        FreeAllowedValues(allowed);
        LogError("A column of table %s has no name attribute; column skipped.\n", tableName);
        return Built::kSkipped;
    }
    const int32_t defaultLength = defaultText ? static_cast<int32_t>(strnlen(defaultText, INT32_MAX)) : 0;
    ColumnDefnEntry* column = CreateColumnDefnEntry(name, GetDataTypeCode(typeName), defaultText, defaultLength,
                                                    unique, generator, description, maxSize, nullable, allowed);
    if (column == nullptr || AddValue(columns, column) != 1) {
        FreeColumnDefnEntry(column);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return Built::kTableLost;
    }
    return Built::kColumn;
}

/* The primary key columns from the primary-key record. */
bool BuildPrimaryKey(const XmlTagInfo* key, ConstraintDefn* constraints) {
    int32_t count = 0;
    for (const XmlTagInfo* c = key->firstChild; c != nullptr; c = c->nextSibling) ++count;
    if (count == 0) return true;
    constraints->primaryKeyColumns = static_cast<char**>(calloc(static_cast<size_t>(count), sizeof(char*)));
    if (constraints->primaryKeyColumns == nullptr) return false;
    for (const XmlTagInfo* c = key->firstChild; c != nullptr; c = c->nextSibling) {
        const char* text = FirstValue(c);
        if (text == nullptr) continue;  // an empty key column names nothing
        char* copy = strdup(text);
        if (copy == nullptr) return false;
        constraints->primaryKeyColumns[constraints->primaryKeyCount++] = copy;
    }
    return true;
}

/* The column pairs of one foreign-key record. */
bool BuildForeignKey(const XmlTagInfo* key, const char* tableName, ConstraintDefn* constraints) {
    const char* referenceTable = AttributeValue(key, "reference-table-name");
    const char* bidirectionalText = AttributeValue(key, "isbidirectional");
    const uint8_t bidirectional = bidirectionalText != nullptr && strcmp(bidirectionalText, "true") == 0;
    const XmlTagInfo* columns = key->firstChild;
    if (!Named(columns, "fk-columns")) {
        LogDebug("fk-columns tag not found \n");
        return true;
    }
    if (referenceTable == nullptr) {
        LogError("A foreign key of table %s has no reference-table-name; foreign key skipped.\n", tableName);
        return true;
    }
    uint8_t cascade = 0;
    const XmlTagInfo* constraintTag = columns->nextSibling;
    if (Named(constraintTag, "fk-constraints") && FirstValue(constraintTag) != nullptr) {
        cascade = strcmp(FirstValue(constraintTag), "ON-DELETE-CASCADE") == 0;
    }
    for (const XmlTagInfo* pair = columns->firstChild; pair != nullptr; pair = pair->nextSibling) {
        if (!Named(pair, "fk-column")) continue;
        const XmlTagInfo* local = pair->firstChild;
        const XmlTagInfo* reference = local ? local->nextSibling : nullptr;
        const char* localColumn = Named(local, "fk-local-column") ? FirstValue(local) : nullptr;
        const char* referenceColumn = Named(reference, "fk-reference-column") ? FirstValue(reference) : nullptr;
        if (localColumn == nullptr || referenceColumn == nullptr) {
            LogError("A foreign key column pair of table %s is incomplete; pair skipped.\n", tableName);
            continue;
        }
        ForeignKeyEntry* entry =
            CreateForeignKeyEntry(localColumn, referenceColumn, referenceTable, cascade, 0, bidirectional);
        if (entry == nullptr || !AddForeignKeyEntry(constraints, entry)) {
            FreeForeignKeyEntry(entry);
            return false;
        }
    }
    return true;
}

}  // namespace

bool BuildTableDefnFromXmlTags(const XmlTagInfo* table) {
    if (table == nullptr) return false;
    const char* tableName = FirstAttributeValue(table);
    if (tableName == nullptr) {
        LogError("A table element has no name attribute; table skipped.\n");
        return false;
    }
    const XmlTagInfo* columnsTag = table->firstChild;
    const char* description = nullptr;
    if (Named(columnsTag, "description")) {
        description = FirstValue(columnsTag);
        columnsTag = columnsTag->nextSibling;
    }
    if (columnsTag == nullptr || columnsTag->firstChild == nullptr) {
        LogError("Table %s has no columns; no definition built.\n", tableName);
        return false;
    }

    ColumnList columns;
    columns.vector = NewVector();
    if (columns.vector == nullptr) return false;
    for (const XmlTagInfo* record = columnsTag->firstChild; record != nullptr; record = record->nextSibling) {
        if (!Named(record, "column")) continue;
        if (BuildColumn(record, tableName, columns.vector) == Built::kTableLost) return false;
    }
    if (columns.vector->count == 0) {
        LogError("Table %s has no columns; no definition built.\n", tableName);
        return false;
    }

    ConstraintDefn* constraints = CreateConstraintDefn();
    if (constraints == nullptr) return false;
    const XmlTagInfo* next = columnsTag->nextSibling;
    bool ok = true;
    if (Named(next, "primary-key")) {
        ok = BuildPrimaryKey(next, constraints);
        next = next->nextSibling;
    }
    if (ok && Named(next, "foreign-keys")) {
        for (const XmlTagInfo* key = next->firstChild; key != nullptr && ok; key = key->nextSibling) {
            if (Named(key, "foreign-key")) ok = BuildForeignKey(key, tableName, constraints);
        }
    }
    if (!ok) {
        FreeConstraintDefn(constraints);
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return false;
    }
    TableDefn* defn = CreateTableDefn(tableName, description, columns.release(), constraints);
    if (defn == nullptr) return false;
    if (!AddTableDefn(defn)) {
        FreeTableDefn(defn);
        return false;
    }
    LogTrace("\t@@@@ Loaded Table definition Successfully @@@@\n");
    return true;
}

}  // namespace orv
