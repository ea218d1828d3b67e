/*
 * The ODBC provider's shared pieces: growing buffers, the reading of ODBC
 * diagnostics after a failed call, and the connection's health check that
 * marks a connection broken when the failure is the connection's own.
 */
#include <strings.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "agent/log.h"
#include "agent/strings.h"
#include "db/connparams.h"
#include "db/odbc/odbc_internal.h"

namespace orv {
namespace odbc {
/* ---- Growing buffers --------------------------------------------------- */

bool Reserve(ByteBuffer* buffer, size_t capacity) {
    if (buffer->data != nullptr && capacity <= buffer->capacity) return true;
    if (capacity >= SIZE_MAX / 4) return false;
    size_t want = buffer->capacity != 0 ? buffer->capacity : 64;
    while (want < capacity) want *= 2;
    auto* grown = static_cast<char*>(realloc(buffer->data, want + 1));
    if (grown == nullptr) return false;
    buffer->data = grown;
    buffer->capacity = want;
    buffer->data[buffer->size] = '\0';
    return true;
}

bool Append(ByteBuffer* buffer, const void* bytes, size_t length) {
    if (length >= SIZE_MAX / 4 - buffer->size) return false;
    if (!Reserve(buffer, buffer->size + length)) return false;
    if (length != 0) memcpy(buffer->data + buffer->size, bytes, length);
    buffer->size += length;
    buffer->data[buffer->size] = '\0';
    return true;
}

bool AppendText(ByteBuffer* buffer, const char* text) { return Append(buffer, text, strlen(text)); }

char* TakeBuffer(ByteBuffer* buffer) {
    if (!Reserve(buffer, 0)) return nullptr;
    char* data = buffer->data;
    buffer->data = nullptr;
    buffer->size = 0;
    buffer->capacity = 0;
    return data;
}

void Release(ByteBuffer* buffer) {
    free(buffer->data);
    buffer->data = nullptr;
    buffer->size = 0;
    buffer->capacity = 0;
}

/* ---- Diagnostics and the connection's health ------------------------- */

OdbcConnection* HandleOf(const DBConnection* connection) {
    if (connection == nullptr) return nullptr;
    auto* handle = static_cast<OdbcConnection*>(connection->providerHandle);
    return handle != nullptr && handle->dbc != SQL_NULL_HDBC ? handle : nullptr;
}

bool IsConnectionLevelFailure(const char* sqlState, SQLINTEGER nativeError) {
    if (sqlState == nullptr) return false;
    if (sqlState[0] == '0' && sqlState[1] == '8') return true;
    if (strcmp(sqlState, "57P01") == 0 || strcmp(sqlState, "57P02") == 0 || strcmp(sqlState, "57P03") == 0) {
        return true;
    }
    return sqlState[0] == 'H' && sqlState[1] == 'Y' && (nativeError == 2006 || nativeError == 2013);
}

void MarkBroken(DBConnection* connection) {
    if (connection == nullptr) return;
    // The pool reads the flag under its own lock while a statement may
    // set it under the connection's.
    __atomic_store_n(&connection->broken, static_cast<uint8_t>(1), __ATOMIC_RELAXED);
}

namespace {

void ReplaceAll(std::string* text, const std::string& what) {
    if (what.empty()) return;
    for (size_t at = text->find(what); at != std::string::npos; at = text->find(what, at + 4)) {
        text->replace(at, what.size(), "****");
    }
}

}  // namespace

char* ScrubText(const char* text, const char* secret) {
    std::string out(text != nullptr ? text : "");
    if (secret != nullptr && secret[0] != '\0') {
        // Its braced form in a connection string doubles every "}".
        std::string braced;
        for (const char* p = secret; *p; ++p) {
            braced += *p;
            if (*p == '}') braced += '}';
        }
        if (braced != secret) ReplaceAll(&out, braced);
        ReplaceAll(&out, secret);
    }
    if (strcasestr(out.c_str(), "PWD=") != nullptr || strcasestr(out.c_str(), "PASSWORD=") != nullptr) {
        return MaskConnectionString(out.c_str());
    }
    char* copy = nullptr;
    return DuplicateString(&copy, out.c_str()) == kDupOk ? copy : nullptr;
}

namespace {

/* At most this many diagnostic records are read after one failure. */
constexpr SQLSMALLINT kMaxDiagRecords = 32;

/* Reads diagnostic record `number` of a handle into state, *native and
 * message (grown to the message's length). False when there is none. */
bool ReadDiagRecord(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT number, SQLCHAR state[6],
                    SQLINTEGER* native, ByteBuffer* message) {
    if (!Reserve(message, 255)) return false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        size_t room = message->capacity + 1;
        if (room > SHRT_MAX) room = SHRT_MAX;
        SQLSMALLINT needed = 0;
        state[0] = '\0';
        *native = 0;
        message->data[0] = '\0';
        SQLRETURN r = SQLGetDiagRec(handleType, handle, number, state, native,
                                    reinterpret_cast<SQLCHAR*>(message->data), static_cast<SQLSMALLINT>(room),
                                    &needed);
        if (!SQL_SUCCEEDED(r)) return false;
        state[5] = '\0';
        if (needed >= 0 && static_cast<size_t>(needed) < room) break;
        if (attempt == 0 && !Reserve(message, static_cast<size_t>(needed))) break;
    }
    message->data[message->capacity] = '\0';
    message->size = strlen(message->data);
    return true;
}

void ReportRecords(DBConnection* connection, const char* secret, SQLSMALLINT handleType, SQLHANDLE handle,
                   DiagStyle style) {
    bool lost = false;
    ByteBuffer message;
    if (style == DiagStyle::kTransaction) LogError("Error in starting transaction\n");
    for (SQLSMALLINT number = 1; number <= kMaxDiagRecords; ++number) {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        if (!ReadDiagRecord(handleType, handle, number, state, &native, &message)) break;
        const char* stateText = reinterpret_cast<const char*>(state);
        if (IsConnectionLevelFailure(stateText, native)) lost = true;
        // One record per line: drivers' messages may hold line ends.
        for (char* c = message.data; *c; ++c) {
            if (*c == '\n' || *c == '\r' || *c == '\t') *c = ' ';
        }
        char* text = ScrubText(message.data, secret);
        const char* shown = text != nullptr ? text : "";
        if (style == DiagStyle::kStatement) {
            LogError("STATE: %s NAT: %ld MSG: %s\n", stateText, static_cast<long>(native), shown);
        } else if (number == 1) {
            LogError("STATE: %s\n", stateText);
            LogError("NAT: %ld\n", static_cast<long>(native));
            LogError("MSG: %s\n", shown);
        }
        free(text);
    }
    Release(&message);
    if (connection == nullptr) return;
    OdbcConnection* odbc = HandleOf(connection);
    if (!lost && odbc != nullptr) {
        // Some failures on a lost connection carry a general state only
        // (psqlODBC's prepared statements: HY000); the driver knows better.
        SQLUINTEGER dead = SQL_CD_FALSE;
        SQLRETURN r = SQLGetConnectAttr(odbc->dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
        if (SQL_SUCCEEDED(r) && dead == SQL_CD_TRUE) lost = true;
    }
    if (lost && __atomic_load_n(&connection->broken, __ATOMIC_RELAXED) == 0) {
        LogError("Connection %s lost; it is renewed on its next hand-out\n",
                 connection->connectionName ? connection->connectionName : "");
    }
    if (lost) MarkBroken(connection);
}

}  // namespace

void ReportFailure(DBConnection* connection, SQLSMALLINT handleType, SQLHANDLE handle, DiagStyle style) {
    OdbcConnection* odbc = HandleOf(connection);
    ReportRecords(connection, odbc ? odbc->secret : nullptr, handleType, handle, style);
}

void ReportConnectFailure(const char* secret, SQLSMALLINT handleType, SQLHANDLE handle) {
    ReportRecords(nullptr, secret, handleType, handle, DiagStyle::kStatement);
}

void FreeStatement(SQLHSTMT statement) {
    if (statement == SQL_NULL_HSTMT) return;
    // Closed first: psqlODBC keeps the result of a failed prepared
    // statement otherwise, and loses it when the handle goes.
    SQLFreeStmt(statement, SQL_CLOSE);
    if (!SQL_SUCCEEDED(SQLFreeHandle(SQL_HANDLE_STMT, statement))) {
        // A statement still waiting for parameter data must be cancelled.
        SQLCancel(statement);
        SQLFreeStmt(statement, SQL_CLOSE);
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
    }
}

}  // namespace odbc
}  // namespace orv
