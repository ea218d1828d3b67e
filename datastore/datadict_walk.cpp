/*
 * The table and column walks of the data dictionary loader: from a table
 * start tag they read node by node and record the elements that make up a
 * definition in a small tree of tag records.
 *
 * Every walk knows the depth of the element it stands in and ends on that
 * element's end tag, so unknown elements, comments, missing white space and
 * deep nesting are passed over without losing the walk's place. Element
 * names are compared without regard to case here; the definition builder
 * compares them exactly.
 */
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "agent/strings.h"
#include "datastore/datadict_reader.h"

namespace orv {

int XmlCursor::Read() {
    last = xmlTextReaderRead(reader);
    return last;
}

const char* XmlCursor::Name() const {
    const xmlChar* name = xmlTextReaderConstName(reader);
    return name ? reinterpret_cast<const char*>(name) : "";
}

int XmlCursor::Type() const { return xmlTextReaderNodeType(reader); }
int XmlCursor::Depth() const { return xmlTextReaderDepth(reader); }
bool XmlCursor::IsEmptyElement() const { return xmlTextReaderIsEmptyElement(reader) == 1; }

const char* XmlCursor::Value() const {
    return reinterpret_cast<const char*>(xmlTextReaderConstValue(reader));
}

bool XmlCursor::IsStart(const char* name) const {
    return Type() == XML_READER_TYPE_ELEMENT && strcasecmp(Name(), name) == 0;
}

bool XmlCursor::IsEnd(const char* name) const {
    return Type() == XML_READER_TYPE_END_ELEMENT && strcasecmp(Name(), name) == 0;
}

bool XmlCursor::IsText() const { return Type() == XML_READER_TYPE_TEXT || Type() == XML_READER_TYPE_CDATA; }

bool XmlCursor::IsBlank() const {
    int type = Type();
    return type == XML_READER_TYPE_WHITESPACE || type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE ||
           type == XML_READER_TYPE_COMMENT;
}

XmlTagInfo* CreateandInitXmlTagInfo() {
    LogTrace("\n Inside CreateandInitXmlTagInfo \n");
    return static_cast<XmlTagInfo*>(calloc(1, sizeof(XmlTagInfo)));
}

XmlTagInfo* NewTag(const char* name) {
    XmlTagInfo* tag = CreateandInitXmlTagInfo();
    if (tag == nullptr) return nullptr;
    if (DuplicateString(&tag->tagName, name) != kDupOk) {
        free(tag);
        return nullptr;
    }
    return tag;
}

bool AddTagValue(XmlTagInfo* tag, const char* text) {
    auto* grown = static_cast<char**>(realloc(tag->values, sizeof(char*) * (static_cast<size_t>(tag->valueCount) + 1)));
    if (grown == nullptr) return false;
    tag->values = grown;
    char* copy = nullptr;
    if (DuplicateString(&copy, text) != kDupOk) return false;
    tag->values[tag->valueCount++] = copy;
    return true;
}

void FreeXmlTagInfoList(XmlTagInfo* tag) {
    LogTrace("\n Inside FreeXmlTagInfoList\n");
    // Siblings in a loop, children by recursion: the tree is at most a few
    // levels deep, while sibling chains can be long.
    while (tag != nullptr) {
        XmlTagInfo* next = tag->nextSibling;
        if (tag->firstChild != nullptr) FreeXmlTagInfoList(tag->firstChild);
        free(tag->tagName);
        for (int32_t i = 0; i < tag->attributeCount; ++i) {
            free(tag->attributeNames[i]);
            free(tag->attributeValues[i]);
        }
        free(tag->attributeNames);
        free(tag->attributeValues);
        for (int32_t i = 0; i < tag->valueCount; ++i) free(tag->values[i]);
        free(tag->values);
        free(tag);
        tag = next;
    }
}

bool AllocateAndStrcpyAttrib(xmlTextReaderPtr reader, XmlTagInfo* tag) {
    LogTrace("\nInside AllocateAndStrcpyAttrib\n\n");
    static const char* const kRead[] = {"name", "system", "reference-table-name", "isbidirectional"};
    constexpr int kReadCount = 4;
    int present = xmlTextReaderAttributeCount(reader);
    if (present <= 0) return true;
    tag->attributeNames = static_cast<char**>(calloc(kReadCount, sizeof(char*)));
    tag->attributeValues = static_cast<char**>(calloc(kReadCount, sizeof(char*)));
    if (tag->attributeNames == nullptr || tag->attributeValues == nullptr) return false;
    bool ok = true;
    for (const char* name : kRead) {
        xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
        if (value == nullptr) continue;
        int32_t i = tag->attributeCount;
        if (DuplicateString(&tag->attributeNames[i], name) != kDupOk ||
            DuplicateString(&tag->attributeValues[i], reinterpret_cast<const char*>(value)) != kDupOk) {
            ok = false;
        }
        xmlFree(value);
        tag->attributeCount = i + 1;
        if (!ok) break;
    }
    if (present > tag->attributeCount) LogError("\n Not all Attributes were read\n");
    return ok;
}

namespace {

enum class Walk { kDone, kReadFailed };

/* How a leaf element ended. */
enum class Leaf {
    kClosed,    /* its end tag came right after its text (or it was empty) */
    kUnclosed,  /* something else came after its text: the rest was passed over */
    kReadFailed
};

/* Reads a leaf element whose start tag is current; OUT *text gets its
 * first text and *hasText tells whether there was one. The cursor ends on
 * the element's end tag (or stays on an empty element). */
Leaf ReadLeaf(XmlCursor* c, std::string* text, bool* hasText) {
    *hasText = false;
    if (c->IsEmptyElement()) return Leaf::kClosed;
    const int depth = c->Depth();
    if (c->Read() != 1) return Leaf::kReadFailed;
    auto atEnd = [&] { return c->Type() == XML_READER_TYPE_END_ELEMENT && c->Depth() == depth; };
    if (atEnd()) return Leaf::kClosed;
    if (c->IsText()) {
        const char* value = c->Value();
        *text = value ? value : "";
        *hasText = true;
        if (c->Read() != 1) return Leaf::kReadFailed;
        if (atEnd()) return Leaf::kClosed;
    }
    while (!atEnd()) {
        if (c->Read() != 1) return Leaf::kReadFailed;
    }
    return Leaf::kUnclosed;
}

/* Passes over the rest of the element started at depth: the cursor ends
 * on its end tag. REQUIRES: the element is not empty. */
Walk SkipToEnd(XmlCursor* c, int depth) {
    while (!(c->Type() == XML_READER_TYPE_END_ELEMENT && c->Depth() == depth)) {
        if (c->Read() != 1) return Walk::kReadFailed;
    }
    return Walk::kDone;
}

/* Moves to the next node inside the element started at depth: 1 on a
 * child start tag (at depth + 1), 0 on the element's end tag, -1 when a
 * read failed. Deeper nodes, texts and comments are passed over. */
int NextChild(XmlCursor* c, int depth) {
    for (;;) {
        if (c->Read() != 1) return -1;
        if (c->Type() == XML_READER_TYPE_END_ELEMENT && c->Depth() == depth) return 0;
        if (c->Type() == XML_READER_TYPE_ELEMENT && c->Depth() == depth + 1) return 1;
    }
}

/* Appends record after *last (or as first child of parent when there is
 * none yet) and makes it the last. */
void Link(XmlTagInfo* parent, XmlTagInfo** last, XmlTagInfo* record) {
    if (*last == nullptr) {
        parent->firstChild = record;
    } else {
        (*last)->nextSibling = record;
    }
    *last = record;
}

/* A leaf record named as the element is written, holding its text when it
 * has one; null when it has none or memory runs out. OUT *leaf: how it
 * ended. */
XmlTagInfo* LeafRecord(XmlCursor* c, Leaf* leaf, bool keepEmpty = false) {
    std::string name = c->Name();
    std::string text;
    bool hasText = false;
    *leaf = ReadLeaf(c, &text, &hasText);
    if (!hasText && !keepEmpty) return nullptr;
    XmlTagInfo* record = NewTag(name.c_str());
    if (record != nullptr && hasText && !AddTagValue(record, text.c_str())) {
        FreeXmlTagInfoList(record);
        return nullptr;
    }
    return record;
}

/* allowed-values: one value record with every value text, or a from record
 * and a to record. OUT *endColumn: set when the column must end here. */
Walk WalkAllowedValues(XmlCursor* c, XmlTagInfo* column, XmlTagInfo** last, bool* endColumn) {
    if (c->IsEmptyElement()) return Walk::kDone;
    const int depth = c->Depth();
    XmlTagInfo* values = nullptr;
    bool collecting = true;
    bool sawFrom = false;
    bool sawTo = false;
    int r;
    while ((r = NextChild(c, depth)) == 1) {
        Leaf leaf = Leaf::kClosed;
        if (c->IsStart("value") && collecting && !sawFrom) {
            if (values == nullptr) {
                values = NewTag(c->Name());
                if (values == nullptr) {
                    LogError("MEMORY_ALLOCATION_FAILURE\n");
                    return SkipToEnd(c, depth);
                }
                Link(column, last, values);
            }
            std::string text;
            bool hasText = false;
            leaf = ReadLeaf(c, &text, &hasText);
            if (hasText && !AddTagValue(values, text.c_str())) LogError("MEMORY_ALLOCATION_FAILURE\n");
            if (leaf == Leaf::kUnclosed) {
                LogError("\n No ending Value tag\n");
                collecting = false;
            }
        } else if (c->IsStart("from") && values == nullptr && !sawFrom) {
            sawFrom = true;
            XmlTagInfo* from = LeafRecord(c, &leaf, true);
            if (from != nullptr) Link(column, last, from);
            if (leaf == Leaf::kUnclosed) {
                LogError("\nNo Ending FROM tag \n");
                *endColumn = true;
                return SkipToEnd(c, depth);
            }
        } else if (c->IsStart("to") && sawFrom && !sawTo) {
            sawTo = true;
            XmlTagInfo* to = LeafRecord(c, &leaf, true);
            if (to != nullptr) Link(column, last, to);
            if (leaf == Leaf::kUnclosed) LogError("\nNo ending TO tag \n");
        } else if (!c->IsEmptyElement()) {
            if (SkipToEnd(c, c->Depth()) != Walk::kDone) return Walk::kReadFailed;
        }
        if (leaf == Leaf::kReadFailed) return Walk::kReadFailed;
    }
    return r == 0 ? Walk::kDone : Walk::kReadFailed;
}

/* uniquevalue-generation: its first child, when it is generator-name,
 * gives a generator-name record. */
Walk WalkGenerator(XmlCursor* c, XmlTagInfo* column, XmlTagInfo** last) {
    if (c->IsEmptyElement()) return Walk::kDone;
    const int depth = c->Depth();
    bool first = true;
    int r;
    while ((r = NextChild(c, depth)) == 1) {
        if (first && c->IsStart("generator-name")) {
            Leaf leaf;
            XmlTagInfo* record = LeafRecord(c, &leaf);
            if (record != nullptr) {
                free(record->tagName);
                record->tagName = nullptr;
                if (DuplicateString(&record->tagName, "generator-name") != kDupOk) {
                    FreeXmlTagInfoList(record);
                    record = nullptr;
                }
            }
            if (record != nullptr) Link(column, last, record);
            if (leaf == Leaf::kReadFailed) return Walk::kReadFailed;
        } else if (!c->IsEmptyElement()) {
            if (SkipToEnd(c, c->Depth()) != Walk::kDone) return Walk::kReadFailed;
        }
        first = false;
    }
    return r == 0 ? Walk::kDone : Walk::kReadFailed;
}

/* One column's content, the cursor on its start tag. */
Walk WalkColumn(XmlCursor* c, XmlTagInfo* column) {
    if (c->IsEmptyElement()) return Walk::kDone;
    static const char* const kLeaves[] = {"description", "data-type", "nullable",
                                          "max-size",    "default-value", "unique"};
    const int depth = c->Depth();
    XmlTagInfo* last = nullptr;
    int r;
    while ((r = NextChild(c, depth)) == 1) {
        bool isLeaf = false;
        for (const char* name : kLeaves) isLeaf = isLeaf || c->IsStart(name);
        if (isLeaf) {
            Leaf leaf;
            XmlTagInfo* record = LeafRecord(c, &leaf);
            if (record != nullptr) Link(column, &last, record);
            if (leaf == Leaf::kReadFailed) return Walk::kReadFailed;
        } else if (c->IsStart("uniquevalue-generation")) {
            if (WalkGenerator(c, column, &last) != Walk::kDone) return Walk::kReadFailed;
        } else if (c->IsStart("allowed-values")) {
            bool endColumn = false;
            if (WalkAllowedValues(c, column, &last, &endColumn) != Walk::kDone) return Walk::kReadFailed;
            if (endColumn) return SkipToEnd(c, depth);
        } else if (!c->IsEmptyElement()) {
            if (SkipToEnd(c, c->Depth()) != Walk::kDone) return Walk::kReadFailed;
        }
    }
    return r == 0 ? Walk::kDone : Walk::kReadFailed;
}

/* columns: one record per column element, with its content. */
Walk WalkColumns(XmlCursor* c, XmlTagInfo* columns) {
    if (c->IsEmptyElement()) return Walk::kDone;
    const int depth = c->Depth();
    XmlTagInfo* last = nullptr;
    int r;
    while ((r = NextChild(c, depth)) == 1) {
        if (c->IsStart("column")) {
            XmlTagInfo* column = NewTag(c->Name());
            if (column == nullptr) return SkipToEnd(c, depth);
            Link(columns, &last, column);
            if (!AllocateAndStrcpyAttrib(c->reader, column)) return SkipToEnd(c, depth);
            if (WalkColumn(c, column) != Walk::kDone) return Walk::kReadFailed;
        } else if (!c->IsEmptyElement()) {
            if (SkipToEnd(c, c->Depth()) != Walk::kDone) return Walk::kReadFailed;
        }
    }
    return r == 0 ? Walk::kDone : Walk::kReadFailed;
}

/* primary-key: one record per primary-key-column. Anything else ends the
 * key (the rest of the element is passed over). */
Walk WalkPrimaryKey(XmlCursor* c, XmlTagInfo* key) {
    if (c->IsEmptyElement()) return Walk::kDone;
    const int depth = c->Depth();
    XmlTagInfo* last = nullptr;
    int r;
    while ((r = NextChild(c, depth)) == 1) {
        if (!c->IsStart("primary-key-column")) return SkipToEnd(c, depth);
        Leaf leaf;
        XmlTagInfo* record = LeafRecord(c, &leaf, true);
        if (record != nullptr) Link(key, &last, record);
        if (leaf == Leaf::kReadFailed) return Walk::kReadFailed;
        if (leaf == Leaf::kUnclosed) {
            LogError("\nMissing primary-key-column end tag\n");
            return SkipToEnd(c, depth);
        }
    }
    return r == 0 ? Walk::kDone : Walk::kReadFailed;
}

enum class FkWalk { kDone, kLeaveForeignKeys, kReadFailed };

/* fk-column: an fk-local-column record, then an fk-reference-column
 * record. False (after its message) when a leaf is not closed. */
FkWalk WalkFkColumn(XmlCursor* c, XmlTagInfo* column) {
    if (c->IsEmptyElement()) return FkWalk::kDone;
    const int depth = c->Depth();
    XmlTagInfo* last = nullptr;
    bool sawLocal = false;
    int r;
    while ((r = NextChild(c, depth)) == 1) {
        Leaf leaf = Leaf::kClosed;
        if (c->IsStart("fk-local-column") && !sawLocal) {
            sawLocal = true;
            XmlTagInfo* record = LeafRecord(c, &leaf, true);
            if (record != nullptr) Link(column, &last, record);
            if (leaf == Leaf::kUnclosed) {
                LogError("\n Missing endof FK-LOCAL-COLUMN tag\n");
                return SkipToEnd(c, depth) == Walk::kDone ? FkWalk::kLeaveForeignKeys : FkWalk::kReadFailed;
            }
        } else if (c->IsStart("fk-reference-column") && sawLocal) {
            XmlTagInfo* record = LeafRecord(c, &leaf, true);
            if (record != nullptr) Link(column, &last, record);
            if (leaf == Leaf::kUnclosed) {
                LogError("\nMissing endof FK-REFERENCE-COLUMN\n");
                return SkipToEnd(c, depth) == Walk::kDone ? FkWalk::kLeaveForeignKeys : FkWalk::kReadFailed;
            }
        } else if (!c->IsEmptyElement()) {
            if (SkipToEnd(c, c->Depth()) != Walk::kDone) return FkWalk::kReadFailed;
        }
        if (leaf == Leaf::kReadFailed) return FkWalk::kReadFailed;
    }
    return r == 0 ? FkWalk::kDone : FkWalk::kReadFailed;
}

/* foreign-key: an fk-columns record (first child) with its fk-column
 * records, then an optional fk-constraints record. kLeaveForeignKeys when
 * a column pair is broken (the rest of this foreign key is passed over). */
FkWalk WalkForeignKey(XmlCursor* c, XmlTagInfo* foreignKey) {
    if (c->IsEmptyElement()) return FkWalk::kDone;
    const int depth = c->Depth();
    XmlTagInfo* last = nullptr;
    XmlTagInfo* columns = nullptr;
    bool first = true;
    int r;
    while ((r = NextChild(c, depth)) == 1) {
        if (first && c->IsStart("fk-columns")) {
            columns = NewTag(c->Name());
            if (columns == nullptr) {
                return SkipToEnd(c, depth) == Walk::kDone ? FkWalk::kDone : FkWalk::kReadFailed;
            }
            Link(foreignKey, &last, columns);
            if (!c->IsEmptyElement()) {
                const int columnsDepth = c->Depth();
                XmlTagInfo* lastColumn = nullptr;
                int rc;
                while ((rc = NextChild(c, columnsDepth)) == 1) {
                    if (!c->IsStart("fk-column")) {
                        LogError("\nMissing end FK-COLUMNS\n");
                        return SkipToEnd(c, depth) == Walk::kDone ? FkWalk::kLeaveForeignKeys
                                                                  : FkWalk::kReadFailed;
                    }
                    XmlTagInfo* column = NewTag(c->Name());
                    if (column == nullptr) {
                        return SkipToEnd(c, depth) == Walk::kDone ? FkWalk::kDone : FkWalk::kReadFailed;
                    }
                    Link(columns, &lastColumn, column);
                    FkWalk w = WalkFkColumn(c, column);
                    if (w == FkWalk::kReadFailed) return w;
                    if (w == FkWalk::kLeaveForeignKeys) {
                        return SkipToEnd(c, depth) == Walk::kDone ? FkWalk::kDone : FkWalk::kReadFailed;
                    }
                }
                if (rc < 0) return FkWalk::kReadFailed;
            }
        } else if (!first && columns != nullptr && last == columns && c->IsStart("fk-constraints")) {
            Leaf leaf;
            XmlTagInfo* record = LeafRecord(c, &leaf);
            if (record != nullptr) Link(foreignKey, &last, record);
            if (leaf == Leaf::kReadFailed) return FkWalk::kReadFailed;
            if (leaf == Leaf::kUnclosed) LogError("\nMissing endof FK-CONSTRAINTS tag\n");
        } else if (!c->IsEmptyElement()) {
            if (SkipToEnd(c, c->Depth()) != Walk::kDone) return FkWalk::kReadFailed;
        }
        first = false;
    }
    return r == 0 ? FkWalk::kDone : FkWalk::kReadFailed;
}

/* foreign-keys: one record per foreign-key element. */
Walk WalkForeignKeys(XmlCursor* c, XmlTagInfo* keys) {
    if (c->IsEmptyElement()) return Walk::kDone;
    const int depth = c->Depth();
    XmlTagInfo* last = nullptr;
    int r;
    while ((r = NextChild(c, depth)) == 1) {
        if (c->IsStart("foreign-key")) {
            XmlTagInfo* key = NewTag(c->Name());
            if (key == nullptr) return SkipToEnd(c, depth);
            Link(keys, &last, key);
            if (!AllocateAndStrcpyAttrib(c->reader, key)) return SkipToEnd(c, depth);
            FkWalk w = WalkForeignKey(c, key);
            if (w == FkWalk::kReadFailed) return Walk::kReadFailed;
            if (w == FkWalk::kLeaveForeignKeys) return SkipToEnd(c, depth);
        } else if (!c->IsEmptyElement()) {
            if (SkipToEnd(c, c->Depth()) != Walk::kDone) return Walk::kReadFailed;
        }
    }
    return r == 0 ? Walk::kDone : Walk::kReadFailed;
}

const char* FirstAttributeValue(const XmlTagInfo* tag) {
    return tag->attributeCount > 0 ? tag->attributeValues[0] : nullptr;
}

}  // namespace

XmlTagInfo* WalkTable(XmlCursor* c) {
    if (!c->IsStart("table")) {
        LogError("\nTABLE tag missing\n");
        return nullptr;
    }
    XmlTagInfo* table = NewTag(c->Name());
    if (table == nullptr) return nullptr;
    if (!AllocateAndStrcpyAttrib(c->reader, table)) {
        FreeXmlTagInfoList(table);
        return nullptr;
    }
    const char* name = FirstAttributeValue(table);
    LogTrace("@@@@Parsing Table Info : %s @@@@\n", name ? name : "(null)");
    if (c->IsEmptyElement()) return table;

    const int depth = c->Depth();
    XmlTagInfo* last = nullptr;  // the last record below the table
    int r;
    while ((r = NextChild(c, depth)) == 1) {
        Walk w = Walk::kDone;
        XmlTagInfo* record = nullptr;
        if (c->IsStart("description")) {
            Leaf leaf;
            record = LeafRecord(c, &leaf, true);
            if (record != nullptr) {
                if (last != nullptr) LogError("\nDescription tag ambiguity \n");
                Link(table, &last, record);
            }
            if (leaf == Leaf::kReadFailed) w = Walk::kReadFailed;
        } else if (c->IsStart("columns") || c->IsStart("primary-key") || c->IsStart("foreign-keys")) {
            record = NewTag(c->Name());
            if (record == nullptr) {
                w = c->IsEmptyElement() ? Walk::kDone : SkipToEnd(c, c->Depth());
            } else {
                Link(table, &last, record);
                if (c->IsStart("columns")) {
                    w = WalkColumns(c, record);
                } else if (c->IsStart("primary-key")) {
                    if (!AllocateAndStrcpyAttrib(c->reader, record)) LogError("MEMORY_ALLOCATION_FAILURE\n");
                    w = WalkPrimaryKey(c, record);
                } else {
                    w = WalkForeignKeys(c, record);
                }
            }
        } else if (!c->IsEmptyElement()) {
            w = SkipToEnd(c, c->Depth());
        }
        if (w != Walk::kDone) {
            r = -1;
            break;
        }
    }
    if (r != 0) {
        LogError("\nxmlTextReaderRead returned error \n");
        FreeXmlTagInfoList(table);
        return nullptr;
    }
    return table;
}

}  // namespace orv
