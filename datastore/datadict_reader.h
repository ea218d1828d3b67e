/*
 * The streaming side of the data dictionary loader: the cursor over
 * libxml2's text reader that the file, table and column walks share, and
 * the tag record helpers that read from it. Used by the loader only.
 */
#ifndef ORV_DATASTORE_DATADICT_READER_H
#define ORV_DATASTORE_DATADICT_READER_H

#include <libxml/xmlreader.h>

#include <string>

#include "datastore/datadict.h"

namespace orv {

/* The reader and the result of its last read (1 a node, 0 the end, -1 an
 * error). */
struct XmlCursor {
    xmlTextReaderPtr reader;
    int last;

    /* Reads one node; logs nothing. Returns the read's result. */
    int Read();
    /* The current node's name ("" when there is none). */
    const char* Name() const;
    int Type() const;
    int Depth() const;
    bool IsEmptyElement() const;
    /* The current node's text value, or null. */
    const char* Value() const;
    bool IsStart(const char* name) const;       /* start tag, name without regard to case */
    bool IsEnd(const char* name) const;         /* end tag, name without regard to case */
    bool IsText() const;                        /* text or CDATA */
    bool IsBlank() const;                       /* white space or a comment */
};

/* Copies the attributes the loader reads (name, system,
 * reference-table-name, isbidirectional, in that order, each if present)
 * into the record; logs "\n Not all Attributes were read\n" at ERROR when
 * the element has others. False when memory runs out. */
bool AllocateAndStrcpyAttrib(xmlTextReaderPtr reader, XmlTagInfo* tag);

/* A new record named name, or null. */
XmlTagInfo* NewTag(const char* name);

/* Appends a text value to a record. False when memory runs out. */
bool AddTagValue(XmlTagInfo* tag, const char* text);

/* The table walk from a table start tag: the tag tree of the table, or
 * null when the walk failed (what it built is freed then). */
XmlTagInfo* WalkTable(XmlCursor* cursor);

}  // namespace orv

#endif
