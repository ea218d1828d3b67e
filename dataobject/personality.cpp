/*
 * Personality definitions: the personality file read into element records,
 * the definitions made from them, look-ups, name lists and the printed
 * layout.
 */
#include "dataobject/personality.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "agent/strings.h"

namespace orv {

Vector* gv_personalityDefnVect = nullptr;

namespace {

char* Copy(const char* text) { return text != nullptr ? strdup(text) : nullptr; }

void FreeConstituent(ConstituentTable* c) {
    if (c == nullptr) return;
    free(c->dominantTableName);
    free(c->tableName);
    free(c->fkConstraintId);
    free(c);
}

void FreePersonality(PersonalityDefn* p) {
    if (p == nullptr) return;
    if (p->constituentTables != nullptr) {
        for (VectorNode* n = p->constituentTables->head; n != nullptr; n = n->next) {
            FreeConstituent(static_cast<ConstituentTable*>(n->element));
        }
        FreeVector(p->constituentTables);
        free(p->constituentTables);
    }
    free(p->personalityName);
    free(p->dominantTableName);
    free(p->description);
    free(p);
}

/* Appends a record per element below node, in document order. */
bool CollectElements(xmlNodePtr node, Vector* records) {
    for (xmlNodePtr n = node; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        auto* record = static_cast<XmlElementRecord*>(calloc(1, sizeof(XmlElementRecord)));
        if (record == nullptr) return false;
        record->name = Copy(reinterpret_cast<const char*>(n->name));
        record->attributes = NewVector();
        if (AddValue(records, record) != 1) {
            free(record->name);
            if (record->attributes != nullptr) free(record->attributes);
            free(record);
            return false;
        }
        if (record->name == nullptr || record->attributes == nullptr) return false;
        for (xmlAttrPtr a = n->properties; a != nullptr; a = a->next) {
            auto* attribute = static_cast<XmlAttributeRecord*>(calloc(1, sizeof(XmlAttributeRecord)));
            if (attribute == nullptr) return false;
            xmlChar* value = xmlNodeListGetString(n->doc, a->children, 1);
            attribute->name = Copy(reinterpret_cast<const char*>(a->name));
            attribute->value = Copy(value != nullptr ? reinterpret_cast<const char*>(value) : "");
            if (value != nullptr) xmlFree(value);
            if (AddValue(record->attributes, attribute) != 1) {
                free(attribute->name);
                free(attribute->value);
                free(attribute);
                return false;
            }
        }
        if (!CollectElements(n->children, records)) return false;
    }
    return true;
}

const char* Attribute(const XmlElementRecord* record, const char* name) {
    for (VectorNode* n = record->attributes != nullptr ? record->attributes->head : nullptr; n != nullptr; n = n->next) {
        auto* a = static_cast<XmlAttributeRecord*>(n->element);
        if (strcasecmp(a->name, name) == 0) return a->value;
    }
    return nullptr;
}

bool Named(const XmlElementRecord* record, const char* name) {
    return record != nullptr && record->name != nullptr && strcasecmp(record->name, name) == 0;
}

/* A null-terminated heap array of copies of the texts. */
char** NameArray(const std::vector<const char*>& texts) {
    auto** names = static_cast<char**>(calloc(texts.size() + 1, sizeof(char*)));
    if (names == nullptr) return nullptr;
    for (size_t i = 0; i < texts.size(); ++i) {
        names[i] = Copy(texts[i]);
        if (names[i] == nullptr) {
            FreeNameList(names);
            return nullptr;
        }
    }
    return names;
}

}  // namespace

uint8_t InitPersonality() {
    LogTrace("@@@@ Inside InitPersonality @@@@\n");
    FreeAllPersonalities();
    gv_personalityDefnVect = NewVector();
    if (gv_personalityDefnVect == nullptr) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return 99;
    }
    return 1;
}

void FreeAllPersonalities() {
    if (gv_personalityDefnVect == nullptr) return;
    for (VectorNode* n = gv_personalityDefnVect->head; n != nullptr; n = n->next) {
        FreePersonality(static_cast<PersonalityDefn*>(n->element));
    }
    FreeVector(gv_personalityDefnVect);
    free(gv_personalityDefnVect);
    gv_personalityDefnVect = nullptr;
}

void FreeElementRecords(Vector* records) {
    if (records == nullptr) return;
    for (VectorNode* n = records->head; n != nullptr; n = n->next) {
        auto* r = static_cast<XmlElementRecord*>(n->element);
        if (r->attributes != nullptr) {
            for (VectorNode* a = r->attributes->head; a != nullptr; a = a->next) {
                auto* attribute = static_cast<XmlAttributeRecord*>(a->element);
                free(attribute->name);
                free(attribute->value);
                free(attribute);
            }
            FreeVector(r->attributes);
            free(r->attributes);
        }
        free(r->name);
        free(r);
    }
    FreeVector(records);
    free(records);
}

uint8_t CreatePersonalityFromXMLFile(const char* path) {
    LogTrace("@@@@ Inside CreatePersonalityFromXMLFile @@@@\n");
    if (path == nullptr) return 0;
    if (gv_personalityDefnVect == nullptr && InitPersonality() != 1) return 99;
    xmlDocPtr document = xmlReadFile(path, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (document == nullptr) {
        LogError("Could not parse file %s\n", path);
        return 0;
    }
    xmlNodePtr root = xmlDocGetRootElement(document);
    Vector* records = NewVector();
    bool ok = records != nullptr && (root == nullptr || CollectElements(root->children, records));
    xmlFreeDoc(document);
    if (!ok) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        FreeElementRecords(records);
        return 99;
    }
    CreateIndexTable(records);
    const uint8_t result = CreateAndAddPersonalityDefn(records);
    FreeElementRecords(records);
    return result;
}

uint8_t CreateAndAddPersonalityDefn(Vector* records) {
    LogTrace("@@@@ Inside CreateAndAddPersonalityDefn @@@@\n");
    if (records == nullptr) return 0;
    if (gv_personalityDefnVect == nullptr && InitPersonality() != 1) return 99;
    uint8_t result = 1;
    VectorNode* node = records->head;
    while (node != nullptr) {
        auto* record = static_cast<XmlElementRecord*>(node->element);
        node = node->next;
        if (!Named(record, "PersonalityConfiguration")) continue;
        auto* p = static_cast<PersonalityDefn*>(calloc(1, sizeof(PersonalityDefn)));
        if (p == nullptr) return 99;
        p->personalityName = Copy(Attribute(record, "personalityname"));
        p->description = Copy(Attribute(record, "description"));
        p->dominantTableName = Copy(Attribute(record, "dominanttableid"));
        p->constituentTables = NewVector();
        if (p->constituentTables == nullptr) {
            FreePersonality(p);
            return 99;
        }
        for (; node != nullptr && Named(static_cast<XmlElementRecord*>(node->element), "ConstituentTable");
             node = node->next) {
            auto* r = static_cast<XmlElementRecord*>(node->element);
            auto* c = static_cast<ConstituentTable*>(calloc(1, sizeof(ConstituentTable)));
            if (c == nullptr) {
                FreePersonality(p);
                return 99;
            }
            c->dominantTableName = Copy(p->dominantTableName);
            c->mandatory = 1;
            bool dropped = false;
            for (VectorNode* a = r->attributes != nullptr ? r->attributes->head : nullptr; a != nullptr; a = a->next) {
                auto* attribute = static_cast<XmlAttributeRecord*>(a->element);
                if (strcasecmp(attribute->name, "tableindex") == 0) {
                    if (strcmp(attribute->value, "0") == 0) break;
                    c->tableIndex = static_cast<int32_t>(strtol(attribute->value, nullptr, 10));
                } else if (strcasecmp(attribute->name, "tableid") == 0) {
                    if (p->dominantTableName != nullptr && strcasecmp(attribute->value, p->dominantTableName) == 0) {
                        dropped = true;
                        break;
                    }
                    free(c->tableName);
                    c->tableName = Copy(attribute->value);
                } else if (strcasecmp(attribute->name, "fkconstraint_id") == 0) {
                    free(c->fkConstraintId);
                    c->fkConstraintId = Copy(attribute->value);
                } else if (strcasecmp(attribute->name, "mandatory") == 0) {
                    c->mandatory = strcasecmp(attribute->value, "false") == 0 ? 0 : 1;
                }
            }
            if (dropped) {
                FreeConstituent(c);
                continue;
            }
            if (AddValue(p->constituentTables, c) != 1) {
                LogError("Cannot Add constituent table %s into constituentTableVect.\n",
                         c->tableName ? c->tableName : "(null)");
                FreeConstituent(c);
                result = 0;
            }
        }
        if (AddValue(gv_personalityDefnVect, p) != 1) {
            LogError("Cannot Add personality %s into gv_personalityDefnVect.\n",
                     p->personalityName ? p->personalityName : "(null)");
            FreePersonality(p);
            result = 0;
        }
    }
    return result;
}

PersonalityDefn* GetPersonalityDefn(const char* personalityName) {
    LogTrace("@@@@ Inside GetPersonalityDefn @@@@\n");
    if (personalityName == nullptr) {
        LogError("Cannot get personality.  Personality name is NULL\n");
        return nullptr;
    }
    for (VectorNode* n = gv_personalityDefnVect ? gv_personalityDefnVect->head : nullptr; n != nullptr; n = n->next) {
        auto* p = static_cast<PersonalityDefn*>(n->element);
        if (p->personalityName != nullptr && strcmp(p->personalityName, personalityName) == 0) return p;
    }
    LogError("Personality %s not found in gv_personalityDefnVect\n", personalityName);
    return nullptr;
}

uint8_t PrintPersonalityDefn(const char* personalityName) {
    LogTrace("@@@@ Inside PrintPersonalityDefn @@@@\n");
    if (personalityName == nullptr) {
        LogError("Cannot print personality definition.  PersonalityName is NULL\n");
        return 0;
    }
    PersonalityDefn* p = GetPersonalityDefn(personalityName);
    if (p == nullptr) {
        LogError("Cannot print PersonalityDefn.  personalityDefnPtr is NULL\n");
        return 0;
    }
    auto text = [](const char* s) { return std::string(s != nullptr ? s : "(null)"); };
    std::string out = "\nPersonality Name: " + text(p->personalityName) + "\n";
    out += "Description: " + text(p->description) + "\n";
    out += "Dominant Table: " + text(p->dominantTableName) + "\n\n";
    out += "Constituent Table Information\n";
    for (VectorNode* n = p->constituentTables->head; n != nullptr; n = n->next) {
        auto* c = static_cast<ConstituentTable*>(n->element);
        out += "Constituent Table Name: " + text(c->tableName) + "\n";
        out += "Constituent Table Index: " + std::to_string(c->tableIndex) + "\n";
        out += "Foreign Key: " + text(c->fkConstraintId) + "\n";
        out += "Mandatory Status: " + std::to_string(c->mandatory) + "\n\n";
    }
    LogDebug("\n%s\n", out.c_str());
    return 1;
}

char** GetConstituentTables(const char* personalityName) {
    LogTrace("@@@@ Inside GetConstituentTables @@@@\n");
    if (personalityName == nullptr) {
        LogError("Cannot get constituent tables list.  PersonalityName is NULL\n");
        return nullptr;
    }
    PersonalityDefn* p = GetPersonalityDefn(personalityName);
    if (p == nullptr) {
        LogError("Cannot get constituent tables list.  PersonalityDefn is NULL\n");
        return nullptr;
    }
    if (p->constituentTables == nullptr) {
        LogError("Cannot get constituent tables list.  ConstituentTableVect is NULL\n");
        return nullptr;
    }
    std::vector<const char*> names;
    for (VectorNode* n = p->constituentTables->head; n != nullptr; n = n->next) {
        auto* c = static_cast<ConstituentTable*>(n->element);
        if (c->tableName != nullptr) names.push_back(c->tableName);
    }
    return NameArray(names);
}

namespace {

char** PersonalityField(bool dominant) {
    LogTrace("@@@@ Inside GetDominantTables @@@@\n");
    if (gv_personalityDefnVect == nullptr || gv_personalityDefnVect->count == 0) return nullptr;
    std::vector<const char*> names;
    for (VectorNode* n = gv_personalityDefnVect->head; n != nullptr; n = n->next) {
        auto* p = static_cast<PersonalityDefn*>(n->element);
        const char* name = dominant ? p->dominantTableName : p->personalityName;
        if (name != nullptr) names.push_back(name);
    }
    return NameArray(names);
}

}  // namespace

char** GetDominantTables() { return PersonalityField(true); }
char** GetPersonalityNames() { return PersonalityField(false); }

bool IsDominantTable(const char* tableName) {
    if (tableName == nullptr) return false;
    for (VectorNode* n = gv_personalityDefnVect ? gv_personalityDefnVect->head : nullptr; n != nullptr; n = n->next) {
        auto* p = static_cast<PersonalityDefn*>(n->element);
        if (p->dominantTableName != nullptr && strcmp(p->dominantTableName, tableName) == 0) return true;
    }
    return false;
}

void FreeNameList(char** names) {
    if (names == nullptr) return;
    for (char** n = names; *n != nullptr; ++n) free(*n);
    free(names);
}

}  // namespace orv
