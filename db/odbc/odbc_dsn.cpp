/*
 * Creating ODBC data sources through the ODBC installer (odbcinst).
 *
 * CreateDSN asks the installer to add the data source
 * (SQLConfigDataSource with ODBC_ADD_DSN), which calls the driver's setup
 * routine. Drivers without one (Debian's SQLite, PostgreSQL and MariaDB
 * drivers ship none) make that call fail; the data source is then written
 * into odbc.ini directly (SQLWriteDSNToIni and one
 * SQLWritePrivateProfileString per attribute), which unixODBC puts in the
 * user's odbc.ini: $ODBCINI when set. The installer library is linked, so
 * it is always there; there is no installer library to choose or load.
 *
 * The attributes are DSN, DESCRIPTION, SERVER, UID, PWD and DATABASE; one
 * whose value is "NULL" (any case) is left out. Their text has no bound.
 * Passwords are never written to the log.
 */
#include <odbcinst.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent/log.h"
#include "db/odbc/odbc_internal.h"
#include "db/odbc/odbc_provider.h"

namespace orv {

namespace {

using odbc::Append;
using odbc::AppendText;
using odbc::ByteBuffer;
using odbc::Release;
using odbc::Reserve;

struct Attribute {
    const char* key;
    const char* value;
};

bool Given(const char* value) { return value != nullptr && strcasecmp(value, "NULL") != 0; }

/* The installer's error records, at ERROR (at DEBUG when asked). */
void LogInstallerErrors(bool debugOnly = false) {
    for (WORD number = 1; number <= 8; ++number) {
        DWORD code = 0;
        char message[SQL_MAX_MESSAGE_LENGTH + 1] = {0};
        WORD length = 0;
        RETCODE r = SQLInstallerError(number, &code, message, sizeof message - 1, &length);
        if (r != SQL_SUCCESS && r != SQL_SUCCESS_WITH_INFO) break;
        if (debugOnly) {
            LogDebug("ODBC installer error %lu: %s\n", static_cast<unsigned long>(code), message);
        } else {
            LogError("ODBC installer error %lu: %s\n", static_cast<unsigned long>(code), message);
        }
    }
}

/* Whether odbcinst.ini has a section for the driver. */
bool DriverInstalled(const char* driver) {
    char value[16] = {0};
    int n = SQLGetPrivateProfileString(driver, nullptr, "", value, sizeof value, "odbcinst.ini");
    return n > 0;
}

/* Writes the data source into odbc.ini without the driver's setup
 * routine. */
bool WriteDataSource(const char* dsn, const char* driver, const Attribute* attributes, int count) {
    if (!DriverInstalled(driver)) {
        LogError("ODBC driver %s is not installed\n", driver);
        return false;
    }
    if (!SQLWriteDSNToIni(dsn, driver)) {
        LogInstallerErrors();
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (strcmp(attributes[i].key, "DSN") == 0) continue;
        if (!SQLWritePrivateProfileString(dsn, attributes[i].key, attributes[i].value, "odbc.ini")) {
            LogInstallerErrors();
            return false;
        }
    }
    return true;
}

}  // namespace

bool CreateDSN(const char* dsn, const char* description, const char* server, const char* user, const char* password,
               const char* database, const char* driver) {
    if (driver == nullptr || dsn == nullptr || driver[0] == '\0' || dsn[0] == '\0') {
        LogError("DriverName or DSN name is NULL \n");
        return false;
    }
    const Attribute all[] = {{"DSN", dsn},       {"DESCRIPTION", description}, {"SERVER", server},
                             {"UID", user},      {"PWD", password},            {"DATABASE", database}};
    Attribute attributes[6];
    int count = 0;
    for (const Attribute& attribute : all) {
        if (Given(attribute.value)) attributes[count++] = attribute;
    }
    // The installer takes "key=value" strings, each ended by a zero byte,
    // the list ended by another: built from the pairs themselves, so a
    // value holding ";" stays whole.
    ByteBuffer list;
    bool ok = Reserve(&list, 256);
    for (int i = 0; ok && i < count; ++i) {
        ok = AppendText(&list, attributes[i].key) && AppendText(&list, "=") && AppendText(&list, attributes[i].value) &&
             Append(&list, "", 1);
    }
    ok = ok && Append(&list, "", 1);
    if (!ok) {
        LogError("Unable to Allocate and copy dsnStr \n");
        Release(&list);
        return false;
    }
    bool created = SQLConfigDataSource(nullptr, ODBC_ADD_DSN, driver, list.data) != 0;
    Release(&list);
    if (created) return true;
    LogError("SQLConfigDataSource returned FALSE \n");
    // Expected for drivers without a setup routine: then the data source
    // is written directly.
    LogInstallerErrors(true);
    if (WriteDataSource(dsn, driver, attributes, count)) {
        LogDebug("Data source %s written to odbc.ini for driver %s\n", dsn, driver);
        return true;
    }
    LogError("Writing data source %s to odbc.ini failed\n", dsn);
    return false;
}

namespace {

/* Reads the next blank-separated word (skipping blanks and line ends
 * before it) into word. False at the end of the file. */
bool ReadWord(FILE* file, ByteBuffer* word) {
    word->size = 0;
    int c = fgetc(file);
    while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') c = fgetc(file);
    if (c == EOF) return false;
    while (c != EOF && c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') {
        char ch = static_cast<char>(c);
        if (!Append(word, &ch, 1)) return false;
        c = fgetc(file);
    }
    if (c != EOF) ungetc(c, file);
    return Reserve(word, 0);
}

/* Reads the rest of the line without its leading blanks and its line end
 * (and trailing blanks) into rest. */
bool ReadRest(FILE* file, ByteBuffer* rest) {
    rest->size = 0;
    if (!Reserve(rest, 64)) return false;
    int c = fgetc(file);
    while (c == ' ' || c == '\t') c = fgetc(file);
    while (c != EOF && c != '\n') {
        char ch = static_cast<char>(c);
        if (!Append(rest, &ch, 1)) return false;
        c = fgetc(file);
    }
    while (rest->size > 0 && (rest->data[rest->size - 1] == '\r' || rest->data[rest->size - 1] == ' ' ||
                              rest->data[rest->size - 1] == '\t')) {
        rest->data[--rest->size] = '\0';
    }
    return true;
}

}  // namespace

bool CreateDSNsFromFile(const char* path) {
    FILE* file = path != nullptr ? fopen(path, "r") : nullptr;
    if (file == nullptr) {
        LogError("Error opening File %s \n", path ? path : "(null)");
        return false;
    }
    ByteBuffer words[6];
    ByteBuffer driver;
    for (;;) {
        bool complete = true;
        for (ByteBuffer& word : words) {
            if (!ReadWord(file, &word)) {
                complete = false;
                break;
            }
        }
        if (!complete || !ReadRest(file, &driver)) break;
        if (!CreateDSN(words[0].data, words[1].data, words[2].data, words[3].data, words[4].data, words[5].data,
                       driver.data)) {
            LogError("Creating DSN %s Failed\n", words[0].data);
        }
    }
    for (ByteBuffer& word : words) Release(&word);
    Release(&driver);
    fclose(file);
    return true;
}

}  // namespace orv
