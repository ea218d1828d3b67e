/*
 * Opening XML files and buffers for libxml2, with its messages to the log.
 */
#include "datastore/xml_input.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

#include <string>

#include "agent/log.h"
#include "platform/win32.h"

namespace orv {

namespace {

/* No network access and no entity substitution. */
constexpr int kParseOptions = XML_PARSE_NONET;

#if LIBXML_VERSION >= 21200
using XmlErrorArg = const xmlError*;
#else
using XmlErrorArg = xmlErrorPtr;
#endif

/* One libxml2 message to the log; warnings at the given level. */
void LogXmlMessage(XmlErrorArg error, XmlWarnings warnings) {
    if (error == nullptr) return;
    std::string message = error->message ? error->message : "";
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    const char* file = error->file ? error->file : "(xml)";
    if (error->level == XML_ERR_WARNING && warnings == XmlWarnings::kAtDebug) {
        LogDebug("%s:%d: %s\n", file, error->line, message.c_str());
    } else {
        LogError("%s:%d: %s\n", file, error->line, message.c_str());
    }
}

void LogWarningsAtError(void*, XmlErrorArg error) { LogXmlMessage(error, XmlWarnings::kAtError); }
void LogWarningsAtDebug(void*, XmlErrorArg error) { LogXmlMessage(error, XmlWarnings::kAtDebug); }

xmlStructuredErrorFunc HandlerFor(XmlWarnings warnings) {
    return warnings == XmlWarnings::kAtDebug ? LogWarningsAtDebug : LogWarningsAtError;
}

int ReadFromFile(void* context, char* buffer, int length) {
    if (length <= 0) return 0;
    size_t n = fread(buffer, 1, static_cast<size_t>(length), static_cast<FILE*>(context));
    if (n == 0 && ferror(static_cast<FILE*>(context))) return -1;
    return static_cast<int>(n);
}

/* The file is closed by its opener. */
int KeepFileOpen(void*) { return 0; }

/* A parser context whose messages go to the log, or null. */
xmlParserCtxtPtr NewParser(XmlWarnings warnings) {
    xmlInitParser();
    xmlParserCtxtPtr parser = xmlNewParserCtxt();
    if (parser == nullptr) return nullptr;
    if (parser->sax == nullptr) {
        xmlFreeParserCtxt(parser);
        return nullptr;
    }
    parser->sax->serror = HandlerFor(warnings);
    return parser;
}

}  // namespace

xmlDocPtr ParseXmlFile(const char* path, XmlWarnings warnings) {
    FILE* file = _fsopen(path, "rb", _SH_DENYNO);
    if (file == nullptr) {
        LogError("Unable to open %s\n", path);
        return nullptr;
    }
    xmlDocPtr document = nullptr;
    xmlParserCtxtPtr parser = NewParser(warnings);
    if (parser != nullptr) {
        document = xmlCtxtReadIO(parser, ReadFromFile, KeepFileOpen, file, path, nullptr, kParseOptions);
        xmlFreeParserCtxt(parser);
    }
    fclose(file);
    return document;
}

xmlDocPtr ParseXmlBuffer(const char* buffer, int32_t length, const char* name, XmlWarnings warnings) {
    if (buffer == nullptr || length < 0) return nullptr;
    xmlParserCtxtPtr parser = NewParser(warnings);
    if (parser == nullptr) return nullptr;
    xmlDocPtr document = xmlCtxtReadMemory(parser, buffer, length, name, nullptr, kParseOptions);
    xmlFreeParserCtxt(parser);
    return document;
}

bool OpenXmlFileReader(const char* path, XmlWarnings warnings, XmlFileReader* out) {
    out->file = _fsopen(path, "rb", _SH_DENYNO);
    out->reader = nullptr;
    if (out->file != nullptr) {
        out->reader = xmlReaderForIO(ReadFromFile, KeepFileOpen, out->file, path, nullptr, kParseOptions);
    }
    if (out->reader == nullptr) {
        LogError("Unable to open %s\n", path);
        if (out->file != nullptr) fclose(out->file);
        out->file = nullptr;
        return false;
    }
    xmlTextReaderSetStructuredErrorHandler(out->reader, HandlerFor(warnings), nullptr);
    return true;
}

void CloseXmlFileReader(XmlFileReader* in) {
    if (in->reader != nullptr) xmlFreeTextReader(in->reader);
    if (in->file != nullptr) fclose(in->file);
    in->reader = nullptr;
    in->file = nullptr;
}

}  // namespace orv
