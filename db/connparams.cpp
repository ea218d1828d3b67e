/*
 * Connection parameters: connparams.txt, the records and their look-ups.
 */
#include "db/connparams.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "agent/strings.h"
#include "db/word_reader.h"

namespace orv {

Vector* gv_connParamsVect = nullptr;

namespace {

char* Copy(const char* text, bool* ok) {
    if (text == nullptr) return nullptr;
    char* copy = nullptr;
    if (DuplicateString(&copy, text) != kDupOk) *ok = false;
    return copy;
}

/* A decimal word in 16 bits (wrapping); false when it is not a number. */
bool ReadNumber(const std::string& word, uint16_t* out) {
    size_t i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
    if (i == word.size()) return false;
    uint32_t value = 0;
    for (; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9') return false;
        value = value * 10u + static_cast<uint32_t>(word[i] - '0');
    }
    *out = static_cast<uint16_t>(negative ? 0u - value : value);
    return true;
}

}  // namespace

ConnParams* CreateConnParams(const char* extraText, uint16_t extraNumber, const char* dsnName, const char* userName,
                             const char* password, const char* connectionName, uint8_t useConnString,
                             const char* connString, const char* providerName, const char* dialectName) {
    auto* params = static_cast<ConnParams*>(calloc(1, sizeof(ConnParams)));
    if (params == nullptr) return nullptr;
    bool ok = true;
    params->extraText = Copy(extraText, &ok);
    params->extraNumber = extraNumber;
    params->dsnName = Copy(dsnName, &ok);
    params->userName = Copy(userName, &ok);
    params->password = password != nullptr && strcmp(password, "NULL") != 0 ? Copy(password, &ok) : nullptr;
    params->connectionName = Copy(connectionName, &ok);
    params->useConnString = useConnString ? 1 : 0;
    params->connString = useConnString ? Copy(connString ? connString : "", &ok) : nullptr;
    params->providerName = Copy(providerName, &ok);
    params->dialectName = Copy(dialectName, &ok);
    if (!ok) {
        FreeConnParams(params);
        return nullptr;
    }
    return params;
}

void FreeConnParams(ConnParams* params) {
    if (params == nullptr) return;
    free(params->extraText);
    free(params->dsnName);
    free(params->userName);
    if (params->password != nullptr) {
        memset(params->password, 0, strlen(params->password));
        free(params->password);
    }
    free(params->connectionName);
    free(params->connString);
    free(params->providerName);
    free(params->dialectName);
    free(params);
}

bool AddConnParams(ConnParams* params) {
    if (params == nullptr) return false;
    if (gv_connParamsVect == nullptr) {
        gv_connParamsVect = NewVector();
        if (gv_connParamsVect == nullptr) return false;
    }
    return AddValue(gv_connParamsVect, params) == 1;
}

ConnParams* GetConnParams(const char* connectionName) {
    if (connectionName == nullptr || gv_connParamsVect == nullptr) return nullptr;
    for (VectorNode* node = ElementAt(gv_connParamsVect, 0); node != nullptr; node = node->next) {
        auto* params = static_cast<ConnParams*>(node->element);
        if (params->connectionName != nullptr && strcmp(params->connectionName, connectionName) == 0) return params;
    }
    return nullptr;
}

bool RemoveConnParams(const char* connectionName) {
    ConnParams* params = GetConnParams(connectionName);
    if (params == nullptr) return false;
    DeleteLCDVector(gv_connParamsVect, params);
    FreeConnParams(params);
    return true;
}

void FreeAllConnParams() {
    if (gv_connParamsVect == nullptr) return;
    for (VectorNode* node = ElementAt(gv_connParamsVect, 0); node != nullptr; node = node->next) {
        FreeConnParams(static_cast<ConnParams*>(node->element));
    }
    FreeVector(gv_connParamsVect);
}

const char* GetDefaultConnectionName() {
    ConnParams* first = gv_connParamsVect && gv_connParamsVect->count > 0
                            ? static_cast<ConnParams*>(ElementAt(gv_connParamsVect, 0)->element)
                            : nullptr;
    if (first == nullptr || first->connectionName == nullptr) {
        LogError("Connection Name IS NULL\n");
        return nullptr;
    }
    return first->connectionName;
}

const char* GetProviderNameOfConnection(const char* connectionName) {
    ConnParams* params = GetConnParams(connectionName);
    return params ? params->providerName : nullptr;
}

const char* GetDialectNameOfConnection(const char* connectionName) {
    ConnParams* params = GetConnParams(connectionName);
    if (params == nullptr) {
        LogError("dbConnPtr is NULL for Connection Name %s \n", connectionName ? connectionName : "(null)");
        return nullptr;
    }
    return params->dialectName;
}

bool LoadConnParamsEntryFromFile(const char* path) {
    LogTrace("@@@ Inside LoadConnParamsEntryFromFile @@@\n");
    FILE* file = OpenDataFile(path, "connparams.txt", 135);
    if (file == nullptr) {
        LogError("Cannot open Connection Parameters File.\n");
        return false;
    }
    for (;;) {
        std::string words[10];
        bool tooLong = false;
        bool ended = false;
        for (std::string& word : words) {
            WordRead r = ReadBoundedWord(file, kMaxConnParamsWord, &word);
            if (r == WordRead::kEnd) {
                ended = true;
                break;
            }
            tooLong = tooLong || r == WordRead::kTooLong;
        }
        if (ended) break;
        uint16_t number = 0;
        if (!tooLong && !ReadNumber(words[1], &number)) break;  // a field that cannot be read ends the file
        std::string rest;
        WordRead restRead = ReadRestOfLine(file, kMaxConnParamsRest, &rest);
        if (tooLong || restRead == WordRead::kTooLong) {
            LogError("Connection parameters line with a word over %d or a rest over %d characters skipped.\n",
                     kMaxConnParamsWord, kMaxConnParamsRest);
            continue;
        }
        const uint8_t useConnString = strcasecmp(words[9].c_str(), "YES") == 0;
        const char* connString = rest.empty() ? "" : rest.c_str() + 1;
        ConnParams* params = CreateConnParams(words[0].c_str(), number, words[2].c_str(), words[3].c_str(),
                                              words[4].c_str(), words[6].c_str(), useConnString, connString,
                                              words[7].c_str(), words[8].c_str());
        if (params != nullptr && !AddConnParams(params)) FreeConnParams(params);
        for (std::string& word : words) std::fill(word.begin(), word.end(), '\0');
        std::fill(rest.begin(), rest.end(), '\0');
    }
    fclose(file);
    return true;
}

char* MaskConnectionString(const char* text) {
    if (text == nullptr) return nullptr;
    std::string out;
    const char* p = text;
    while (*p) {
        const char* end = strchr(p, ';');
        size_t n = end ? static_cast<size_t>(end - p) : strlen(p);
        std::string part(p, n);
        size_t eq = part.find('=');
        std::string key = eq == std::string::npos ? part : part.substr(0, eq);
        while (!key.empty() && key.front() == ' ') key.erase(0, 1);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        if (eq != std::string::npos && (strcasecmp(key.c_str(), "PWD") == 0 || strcasecmp(key.c_str(), "PASSWORD") == 0)) {
            part = part.substr(0, eq + 1) + "****";
        }
        out += part;
        if (end == nullptr) break;
        out += ';';
        p = end + 1;
    }
    char* copy = nullptr;
    return DuplicateString(&copy, out.c_str()) == kDupOk ? copy : nullptr;
}

}  // namespace orv
