/*
 * Type names of the data dictionary and the stored width table.
 */
#include "datastore/type_codes.h"

#include <strings.h>

#include "agent/log.h"

namespace orv {

namespace {

struct TypeName {
    const char* name;
    uint8_t code;
};

/* Compared in this order; the first match wins. */
constexpr TypeName kTypeNames[] = {
    {"ORV_SQL_NOT_SUPPORTED_TYPE", ORV_SQL_NOT_SUPPORTED_TYPE},
    {"ORV_SQL_TINYINT", ORV_SQL_TINYINT},
    {"ORV_SQL_UNSIGNED_TINYINT", ORV_SQL_UNSIGNED_TINYINT},
    {"ORV_SQL_SMALLINT", ORV_SQL_SMALLINT},
    {"ORV_SQL_UNSIGNED_SMALLINT", ORV_SQL_UNSIGNED_SMALLINT},
    {"ORV_SQL_INT", ORV_SQL_INT},
    {"BIGINT", ORV_SQL_BIGINT},
    {"INTEGER", ORV_SQL_INT},
    {"ORV_SQL_UNSIGNED_INT", ORV_SQL_UNSIGNED_INT},
    {"LONG", ORV_SQL_INT},
    {"ORV_SQL_UNSIGNED_LONG_INT", ORV_SQL_UNSIGNED_LONG_INT},
    {"ORV_SQL_FLOAT", ORV_SQL_FLOAT},
    {"FLOAT", ORV_SQL_FLOAT},
    {"ORV_SQL_DOUBLE", ORV_SQL_DOUBLE},
    {"ORV_SQL_REAL", ORV_SQL_REAL},
    {"ORV_SQL_DECIMAL", ORV_SQL_DECIMAL},
    {"ORV_SQL_NUMERIC", ORV_SQL_NUMERIC},
    {"ORV_SQL_CHAR", ORV_SQL_CHAR},
    {"CHAR", ORV_SQL_NCHAR},
    {"NCHAR", ORV_SQL_NCHAR},
    {"ORV_SQL_TEXT", ORV_SQL_TEXT},
    {"TEXT", ORV_SQL_TEXT},
    {"ORV_SQL_DATE", ORV_SQL_DATE},
    {"DATE", ORV_SQL_DATE},
    {"ORV_SQL_TIME", ORV_SQL_TIME},
    {"TIME", ORV_SQL_TIME},
    {"ORV_SQL_DATETIME", ORV_SQL_DATETIME},
    {"DATETIME", ORV_SQL_DATETIME},
    {"TIMESTAMP", ORV_SQL_DATETIME},
    {"ORV_SQL_CLOB", ORV_SQL_CLOB},
    {"CLOB", ORV_SQL_CLOB},
    {"ORV_SQL_BLOB", ORV_SQL_BLOB},
    {"BLOB", ORV_SQL_BLOB},
    {"BOOLEAN", ORV_SQL_BOOLEAN},
};

/* Widths of codes 0 to 11, indexed by code. */
constexpr int32_t kFixedWidths[] = {0, 1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 4};

}  // namespace

uint8_t GetDataTypeCode(const char* typeName) {
    if (typeName == nullptr) {
        LogError("Column data type not supported - Error while creating column definition.\n");
        return ORV_SQL_NOT_SUPPORTED_TYPE;
    }
    for (const TypeName& entry : kTypeNames) {
        if (strcasecmp(typeName, entry.name) == 0) return entry.code;
    }
    return ORV_SQL_NOT_SUPPORTED_TYPE;
}

int32_t GetStoredWidth(uint8_t type) {
    if (type >= 1 && type <= 11) return kFixedWidths[type];
    if (IsDateTimeType(type)) return kDateTimeStoredWidth;
    if (type == ORV_SQL_BOOLEAN) return 1;
    return -1;
}

bool IsIntegerType(uint8_t type, bool* isSigned) {
    if (type < ORV_SQL_TINYINT || type > ORV_SQL_UNSIGNED_LONG_INT) return false;
    if (isSigned) *isSigned = (type % 2) == 1;
    return true;
}

bool IsFloatType(uint8_t type) {
    return type == ORV_SQL_FLOAT || type == ORV_SQL_DOUBLE || type == ORV_SQL_REAL;
}

bool IsTextType(uint8_t type) {
    return type == ORV_SQL_CHAR || type == ORV_SQL_NCHAR || type == ORV_SQL_TEXT;
}

bool IsBytesType(uint8_t type) {
    return type == ORV_SQL_NOT_SUPPORTED_TYPE || type == ORV_SQL_DECIMAL || type == ORV_SQL_NUMERIC ||
           type == ORV_SQL_BLOB || type == ORV_SQL_CLOB;
}

bool IsDateTimeType(uint8_t type) {
    return type == ORV_SQL_DATE || type == ORV_SQL_TIME || type == ORV_SQL_DATETIME;
}

}  // namespace orv
