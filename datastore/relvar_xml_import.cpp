/*
 * The XML row import's element walk: every element below the top element,
 * depth first in document order and each before its children, becomes a
 * row of its table. The walk follows the tree's own parent and sibling
 * links, so it needs neither recursion nor a stack however deep the
 * document nests.
 *
 * A column's value comes from the element's attribute of that name. A
 * value "Table:Column:Key" is a reference: text columns take the text
 * after the second ":", dates the whole text, every other column an
 * identifier from the document's ID map, from the sequence generator (the
 * column's own, else the referenced column's, else one reached over the
 * referenced table's foreign keys), or else the key's own number.
 * Identifiers are stored in the column's own form: integers in their
 * width, any other type converted from the identifier's decimal text.
 *
 * A column without an attribute takes its foreign key's value from the
 * elements around its element, else a primary key value of the same name
 * from an enclosing element, else its default.
 */
#include <libxml/tree.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "agent/log.h"
#include "agent/strings.h"
#include "datastore/column_value.h"
#include "datastore/relvar.h"
#include "datastore/relvar_xml.h"
#include "datastore/relvar_xml_internal.h"
#include "datastore/seqgen.h"
#include "datastore/table_defn.h"
#include "datastore/type_codes.h"

namespace orv {

namespace {

constexpr const char* kRowFailedMessage =
    "Cannot create and add a new row while constructing tabledata from XML file.\n";

struct Import {
    xmlDocPtr document;
    xmlNodePtr top;       /* not imported; the outermost enclosing element */
    StringHashTable* map; /* the ID map */
    int32_t hopBound;     /* most foreign key hops followed in one search */
};

const char* NameOf(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

bool SameName(const char* a, const char* b) { return a != nullptr && b != nullptr && strcasecmp(a, b) == 0; }

/* The element after node in document order within top (children before
 * siblings), or null at the end of top's subtree. */
xmlNodePtr NextElement(xmlNodePtr node, xmlNodePtr top) {
    xmlNodePtr child = xmlFirstElementChild(node);
    if (child != nullptr) return child;
    while (node != nullptr && node != top) {
        xmlNodePtr sibling = xmlNextElementSibling(node);
        if (sibling != nullptr) return sibling;
        node = node->parent;
    }
    return nullptr;
}

/* The element enclosing node, up to and including the top element. */
xmlNodePtr Enclosing(const Import& import, xmlNodePtr node) {
    if (node == import.top) return nullptr;
    xmlNodePtr parent = node->parent;
    return parent != nullptr && parent->type == XML_ELEMENT_NODE ? parent : nullptr;
}

/* The element's first attribute of that name (without regard to case). */
xmlAttrPtr FindAttribute(xmlNodePtr element, const char* name) {
    if (name == nullptr) return nullptr;
    for (xmlAttrPtr attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
        if (SameName(reinterpret_cast<const char*>(attribute->name), name)) return attribute;
    }
    return nullptr;
}

std::string AttributeText(const Import& import, xmlAttrPtr attribute) {
    xmlChar* value = xmlNodeListGetString(import.document, attribute->children, 1);
    if (value == nullptr) return std::string();
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

/* OUT *text: the attribute of that name of the nearest element enclosing
 * node that has one. False when none has. */
bool EnclosingAttributeText(const Import& import, xmlNodePtr node, const char* name, std::string* text) {
    for (xmlNodePtr up = Enclosing(import, node); up != nullptr; up = Enclosing(import, up)) {
        xmlAttrPtr attribute = FindAttribute(up, name);
        if (attribute != nullptr) {
            *text = AttributeText(import, attribute);
            return true;
        }
    }
    return false;
}

/* The table's first foreign key pair whose local column is that column
 * (without regard to case), or null; logs nothing. */
const ForeignKeyEntry* FindForeignKey(const TableDefn* defn, const char* localColumn) {
    if (defn == nullptr || localColumn == nullptr || defn->constraints == nullptr ||
        defn->constraints->foreignKeys == nullptr) {
        return nullptr;
    }
    for (VectorNode* node = ElementAt(defn->constraints->foreignKeys, 0); node != nullptr; node = node->next) {
        const auto* entry = static_cast<const ForeignKeyEntry*>(node->element);
        if (entry != nullptr && SameName(entry->localColumn, localColumn)) return entry;
    }
    return nullptr;
}

bool IsPrimaryKeyColumn(const TableDefn* defn, const char* column) {
    const ConstraintDefn* constraints = defn->constraints;
    if (constraints == nullptr || constraints->primaryKeyColumns == nullptr) return false;
    for (int32_t i = 0; i < constraints->primaryKeyCount; ++i) {
        if (SameName(constraints->primaryKeyColumns[i], column)) return true;
    }
    return false;
}

/* OUT *text: the value of the foreign key of element's row: from the
 * nearest enclosing element with an attribute named like the referenced
 * column; else from an enclosing element of the referenced table, through
 * that table's own foreign key for the column; else from the first
 * element below of the referenced table with that attribute. */
bool ForeignKeyText(const Import& import, xmlNodePtr element, const ForeignKeyEntry* key, std::string* text) {
    if (key->referenceTable == nullptr || key->referenceColumn == nullptr) return false;
    xmlNodePtr from = element;
    const char* table = key->referenceTable;
    const char* column = key->referenceColumn;
    for (int32_t hop = 0; hop <= import.hopBound; ++hop) {
        if (EnclosingAttributeText(import, from, column, text)) return true;
        xmlNodePtr owner = nullptr;
        for (xmlNodePtr up = Enclosing(import, from); up != nullptr && owner == nullptr; up = Enclosing(import, up)) {
            if (SameName(NameOf(up), table)) owner = up;
        }
        if (owner == nullptr) break;
        const ForeignKeyEntry* next = FindForeignKey(GetTableDefn(table), column);
        if (next == nullptr || next->referenceTable == nullptr || next->referenceColumn == nullptr) break;
        from = owner;
        table = next->referenceTable;
        column = next->referenceColumn;
    }
    for (xmlNodePtr below = NextElement(element, element); below != nullptr; below = NextElement(below, element)) {
        if (!SameName(NameOf(below), key->referenceTable)) continue;
        xmlAttrPtr attribute = FindAttribute(below, key->referenceColumn);
        if (attribute != nullptr) {
            *text = AttributeText(import, attribute);
            return true;
        }
    }
    return false;
}

/* OUT *value, *length: the value of a column without an attribute: its
 * foreign key's, else its primary key's from an enclosing element, else a
 * copy of its default. False when there is none. */
bool ContextValue(const Import& import, xmlNodePtr element, const TableDefn* defn, const ColumnDefnEntry* column,
                  void** value, int32_t* length) {
    std::string text;
    const ForeignKeyEntry* key = FindForeignKey(defn, column->name);
    bool found = key != nullptr && ForeignKeyText(import, element, key, &text);
    if (!found && IsPrimaryKeyColumn(defn, column->name)) {
        found = EnclosingAttributeText(import, element, column->name, &text);
    }
    if (found && AllocateAndCopyColumnValue(value, length, column->type, text.c_str())) return true;
    if (column->defaultValue != nullptr) {
        *value = CopyColumnValue(column->defaultValue, column->defaultLength, column->type);
        if (*value != nullptr) {
            *length = column->defaultLength;
            return true;
        }
    }
    return false;
}

/* A decimal text as a 32-bit integer: an optional sign and digits, any
 * other character gives 0; wraps. */
int32_t ScanInt32(const char* text) {
    const char* p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint32_t value = 0;
    for (; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return 0;
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    }
    if (negative) value = 0u - value;
    int32_t result;
    memcpy(&result, &value, sizeof(result));
    return result;
}

/* An identifier in the column's form: integers in their type's width
 * (sign-extended), any other type from the identifier's decimal text. */
void* IdentifierValue(int32_t id, uint8_t type, int32_t* length) {
    *length = 0;
    char* block = nullptr;
    if (IsIntegerType(type)) {
        const int32_t width = GetStoredWidth(type);
        const uint64_t wide = static_cast<uint64_t>(static_cast<int64_t>(id));
        const uint8_t b1 = static_cast<uint8_t>(wide);
        const uint16_t b2 = static_cast<uint16_t>(wide);
        const uint32_t b4 = static_cast<uint32_t>(wide);
        const void* bytes = width == 1 ? static_cast<const void*>(&b1)
                            : width == 2 ? static_cast<const void*>(&b2)
                            : width == 4 ? static_cast<const void*>(&b4)
                                         : static_cast<const void*>(&wide);
        if (DuplicateBytes(&block, bytes, static_cast<size_t>(width)) != kDupOk) return nullptr;
        *length = width;
        return block;
    }
    char text[16];
    snprintf(text, sizeof(text), "%d", id);
    int32_t n = static_cast<int32_t>(strlen(text));
    void* value = ConvertStringToColumnValue(text, &n, type);
    if (value != nullptr) *length = n;
    return value;
}

std::string MapKey(const std::string& table, const std::string& column, const std::string& key) {
    return table + ":" + column + ":" + key;
}

/* OUT *id: the identifier for key of the referenced table:column. The
 * referenced column's generator gives it, else the generator of the first
 * column reached over foreign keys that has one; each pair on the way then
 * gets the map entry "table:column:key" (stopping at a pair already
 * mapped, whose identifier is used). Without a generator, the key's own
 * number. False when memory runs out. */
bool FollowGenerators(const Import& import, const std::string& table, const std::string& column,
                      const ColumnDefnEntry* target, const std::string& key, int32_t* id) {
    std::vector<std::pair<std::string, std::string>> path{{table, column}};
    std::string t = table;
    std::string c = column;
    const ColumnDefnEntry* entry = target;
    int32_t generated = -1;
    for (int32_t hop = 0; hop <= import.hopBound; ++hop) {
        if (entry != nullptr && entry->generatorName != nullptr) {
            generated = GenerateID(t.c_str(), entry);
            if (generated != -1) break;
        }
        const ForeignKeyEntry* next = FindForeignKey(GetTableDefn(t.c_str()), c.c_str());
        if (next == nullptr || next->referenceTable == nullptr || next->referenceColumn == nullptr) break;
        t = next->referenceTable;
        c = next->referenceColumn;
        entry = GetColumnDefnEntry(t.c_str(), c.c_str());
        path.emplace_back(t, c);
    }
    if (generated == -1) {
        *id = ScanInt32(key.c_str());
        return true;
    }
    *id = generated;
    for (const auto& [pairTable, pairColumn] : path) {
        const std::string mapped = MapKey(pairTable, pairColumn, key);
        int32_t existing = 0;
        if (GetXmlIdMapValue(import.map, mapped.c_str(), &existing)) {
            *id = existing;
            break;
        }
        if (!PutXmlId(import.map, mapped.c_str(), generated)) return false;
    }
    return true;
}

/* OUT *value, *length: the value of a reference "Table:Column:Key" for a
 * column of the table. False when memory runs out. */
bool ResolveReference(const Import& import, const TableDefn* defn, const TableData* relvar,
                      const ColumnDefnEntry* column, const std::string& text, void** value, int32_t* length) {
    const size_t first = text.find(':');
    const size_t second = text.find(':', first + 1);
    const std::string refTable = text.substr(0, first);
    const std::string refColumn = text.substr(first + 1, second - first - 1);
    const std::string key = text.substr(second + 1);
    const uint8_t type = column->type;
    if (IsTextType(type) || type == ORV_SQL_BLOB) {
        AllocateAndCopyColumnValue(value, length, type, key.c_str());
        return true;
    }
    if (IsDateTimeType(type)) {
        AllocateAndCopyColumnValue(value, length, type, text.c_str());
        return true;
    }
    int32_t id = 0;
    if (GetXmlIdMapValue(import.map, text.c_str(), &id)) {
        if (!key.empty() && !PutXmlId(import.map, MapKey(defn->name, column->name, key).c_str(), id)) return false;
    } else if (column->generatorName != nullptr) {
        id = GenerateID(relvar->name, column);
    } else {
        const ColumnDefnEntry* target = nullptr;
        if (!refTable.empty() && !refColumn.empty()) target = GetColumnDefnEntry(refTable.c_str(), refColumn.c_str());
        if (target == nullptr) {
            LogError("Unable to get Column details for AutoID generation \n");
            return true;  // the column keeps only its default
        }
        if (!FollowGenerators(import, refTable, refColumn, target, key, &id)) return false;
        if (!key.empty() && !PutXmlId(import.map, MapKey(defn->name, column->name, key).c_str(), id)) return false;
    }
    if (!PutXmlId(import.map, text.c_str(), id)) return false;
    *value = IdentifierValue(id, type, length);
    return true;
}

/* The third ":"-separated field of a text. */
std::string ThirdField(const std::string& text) {
    const size_t second = text.find(':', text.find(':') + 1);
    const size_t end = text.find(':', second + 1);
    return text.substr(second + 1, end == std::string::npos ? std::string::npos : end - second - 1);
}

bool IsNextStatementColumn(const TableDefn* defn, const ColumnDefnEntry* column) {
    return SameName(defn->name, "Workflow_Statements") && SameName(column->name, "NEXT_STATEMENT_ID");
}

/* OUT *value, *length: one column's value for the element's row (null
 * when it has none). False when memory runs out. */
bool FillColumn(const Import& import, xmlNodePtr element, const TableData* relvar, const ColumnDefnEntry* column,
                void** value, int32_t* length) {
    const TableDefn* defn = relvar->tableDefn;
    xmlAttrPtr attribute = FindAttribute(element, column->name);
    bool fromContext = attribute == nullptr;
    if (attribute != nullptr) {
        const std::string text = AttributeText(import, attribute);
        size_t colons = 0;
        for (char ch : text) colons += ch == ':' ? 1 : 0;
        if (colons < 2) {
            AllocateAndCopyColumnValue(value, length, column->type, text.c_str());
        } else if (IsNextStatementColumn(defn, column) && ThirdField(text) == "0") {
            // The end of a statement chain; a value from around the
            // element still replaces it.
            *value = IdentifierValue(0, column->type, length);
            fromContext = true;
        } else if (!ResolveReference(import, defn, relvar, column, text, value, length)) {
            return false;
        }
    }
    if (fromContext) {
        void* found = nullptr;
        int32_t foundLength = 0;
        if (ContextValue(import, element, defn, column, &found, &foundLength)) {
            free(*value);
            *value = found;
            *length = foundLength;
        }
    }
    return true;
}

/* The table relvar of that name, created when the name has a definition;
 * null otherwise (and for a view). */
TableData* FindTable(const char* name) {
    if (name == nullptr) return nullptr;
    TableData* relvar = GetTableDataByName(name);
    if (relvar == nullptr) {
        CreateTable(name);
        relvar = GetTableDataByName(name);
    }
    if (relvar == nullptr || relvar->kind != kRelvarTable || relvar->tableDefn == nullptr) return nullptr;
    return relvar;
}

enum class Outcome { kImported, kPassedOver, kFailed };

Outcome ImportElement(const Import& import, xmlNodePtr element) {
    const char* name = NameOf(element);
    TableData* relvar = FindTable(name);
    if (relvar == nullptr) {
        if (name != nullptr && strstr(name, "List") != nullptr) return Outcome::kPassedOver;
        LogError("%s", kRowFailedMessage);
        return Outcome::kFailed;
    }
    const int32_t count = relvar->columnCount > 0 ? relvar->columnCount : 0;
    const size_t slots = count > 0 ? static_cast<size_t>(count) : 1;
    auto** values = static_cast<void**>(calloc(slots, sizeof(void*)));
    auto* lengths = static_cast<int32_t*>(calloc(slots, sizeof(int32_t)));
    bool built = values != nullptr && lengths != nullptr;
    int32_t i = 0;
    for (VectorNode* node = built ? ElementAt(relvar->tableDefn->columns, 0) : nullptr;
         built && node != nullptr && i < count; node = node->next, ++i) {
        const auto* column = static_cast<const ColumnDefnEntry*>(node->element);
        if (column != nullptr) built = FillColumn(import, element, relvar, column, &values[i], &lengths[i]);
    }
    RowObject* row = built ? CreateNewRowObject(values, lengths) : nullptr;
    if (row == nullptr) {
        if (values != nullptr) {
            for (int32_t j = 0; j < count; ++j) free(values[j]);
        }
        free(values);
        free(lengths);
        LogError("%s", kRowFailedMessage);
        return Outcome::kFailed;
    }
    if (!AddNewRow(relvar->name, row)) {
        FreeRowObject(row, count);
        LogError("%s", kRowFailedMessage);
        return Outcome::kFailed;
    }
    return Outcome::kImported;
}

/* Bounds every walk over foreign keys: no chain without a cycle is longer
 * than the number of columns of all definitions. */
int32_t HopBound() {
    int32_t bound = 1;
    if (gv_tableDefnVect == nullptr) return bound;
    for (VectorNode* node = ElementAt(gv_tableDefnVect, 0); node != nullptr; node = node->next) {
        const auto* defn = static_cast<const TableDefn*>(node->element);
        if (defn != nullptr && defn->columns != nullptr && bound < INT32_MAX - defn->columns->count) {
            bound += defn->columns->count;
        }
    }
    return bound;
}

}  // namespace

StringHashTable* ImportXmlRows(xmlDocPtr document, xmlNodePtr top) {
    if (top == nullptr) return nullptr;
    StringHashTable* map = NewXmlIdMap();
    if (map == nullptr) return nullptr;
    const Import import{document, top, map, HopBound()};
    for (xmlNodePtr element = NextElement(top, top); element != nullptr; element = NextElement(element, top)) {
        if (ImportElement(import, element) == Outcome::kFailed) {
            FreeXmlIdMap(map);
            return nullptr;
        }
    }
    return map;
}

}  // namespace orv
