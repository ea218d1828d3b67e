/*
 * The library's one way of handing an XML file or buffer to libxml2: no
 * network access and no entity substitution (a document reaches nothing
 * beyond itself), the file opened through the platform layer (so
 * Windows-style paths work) and read by the library, and libxml2's
 * messages sent to the log with the file and line ("<file>:<line>:
 * <message>\n", "(xml)" for a message without a file), on the parser of
 * each call only, so that other users of libxml2 in the process keep
 * their own handlers. Used by the data dictionary loader (a streaming
 * reader) and the XML row documents (whole documents).
 *
 * Thread-safe: each call has its own parser.
 */
#ifndef ORV_DATASTORE_XML_INPUT_H
#define ORV_DATASTORE_XML_INPUT_H

#include <libxml/tree.h>
#include <libxml/xmlreader.h>

#include <cstdint>
#include <cstdio>

namespace orv {

/* The level libxml2's warnings are logged at; its errors are always
 * ERROR. */
enum class XmlWarnings : uint8_t { kAtError, kAtDebug };

/* The whole document of the file at path, or null: "Unable to open
 * <path>\n" at ERROR when the file does not open, libxml2's own messages
 * when it does not parse. The caller frees the document with xmlFreeDoc. */
xmlDocPtr ParseXmlFile(const char* path, XmlWarnings warnings);

/* The whole document of length bytes of buffer (named name in the
 * messages), or null for a null buffer, a negative length or a document
 * that does not parse. */
xmlDocPtr ParseXmlBuffer(const char* buffer, int32_t length, const char* name, XmlWarnings warnings);

/* A streaming reader over the file at path and the open file under it. */
struct XmlFileReader {
    FILE* file;
    xmlTextReaderPtr reader;
};

/* OUT *out: a reader over the file at path. False, with "Unable to open
 * <path>\n" at ERROR, when the file does not open or no reader could be
 * made (nothing is left open then). Close it with CloseXmlFileReader. */
bool OpenXmlFileReader(const char* path, XmlWarnings warnings, XmlFileReader* out);

/* Frees the reader and closes its file. */
void CloseXmlFileReader(XmlFileReader* in);

}  // namespace orv

#endif
