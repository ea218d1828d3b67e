/*
 * Result cursors over selected rows, column access through them, sorting
 * and the printed layout of relvars and results.
 */
#include <strings.h>

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "agent/log.h"
#include "datastore/column_value.h"
#include "datastore/relvar.h"
#include "util/datetime.h"
#include "util/string_util.h"

namespace orv {

namespace {

Vector* ShapeColumns(const ResultData* result) {
    if (result->kind == kRelvarView) return result->viewDefn ? result->viewDefn->columns : nullptr;
    return result->tableDefn ? result->tableDefn->columns : nullptr;
}

const char* NodeColumnName(const ResultData* result, const VectorNode* node) {
    if (result->kind == kRelvarView) return static_cast<const ViewColumnDefn*>(node->element)->columnName;
    return static_cast<const ColumnDefnEntry*>(node->element)->name;
}

uint8_t NodeColumnType(const ResultData* result, const VectorNode* node) {
    if (result->kind == kRelvarView) {
        const ColumnDefnEntry* column = static_cast<const ViewColumnDefn*>(node->element)->column;
        return column ? column->type : 0;
    }
    return static_cast<const ColumnDefnEntry*>(node->element)->type;
}

/* The position and type of a column of the result, or -1. */
int32_t ResultColumn(const ResultData* result, const char* columnName, uint8_t* type) {
    Vector* columns = ShapeColumns(result);
    if (columns == nullptr || columnName == nullptr) return -1;
    int32_t i = 0;
    for (VectorNode* node = ElementAt(columns, 0); node != nullptr; node = node->next, ++i) {
        const char* name = NodeColumnName(result, node);
        if (name != nullptr && strcasecmp(name, columnName) == 0) {
            if (type) *type = NodeColumnType(result, node);
            return i < result->columnCount ? i : -1;
        }
    }
    return -1;
}

template <typename T>
T Read(const void* value) {
    T out;
    memcpy(&out, value, sizeof(T));
    return out;
}

std::string OwnedText(char* text) {
    std::string out = text ? text : "";
    free(text);
    return out;
}

/* The sort key of a value: integers by their type and width; any other
 * value by its first bytes (up to four) as a little-endian signed 32-bit
 * number, as the sort has always read them. A missing value sorts first. */
int64_t SortKey(const void* value, int32_t length, uint8_t type) {
    if (value == nullptr) return INT64_MIN;
    switch (type) {
        case 1: return Read<int8_t>(value);
        case 2: return Read<uint8_t>(value);
        case 3: return Read<int16_t>(value);
        case 4: return Read<uint16_t>(value);
        case 5: return Read<int32_t>(value);
        case 6: return Read<uint32_t>(value);
        case 7: return Read<int64_t>(value);
        case 8: return static_cast<int64_t>(Read<uint64_t>(value) >> 1);  // keeps the order within int64
        default: break;
    }
    uint32_t bits = 0;
    size_t n = length < 0 ? 0 : static_cast<size_t>(length < 4 ? length : 4);
    memcpy(&bits, value, n);
    return static_cast<int32_t>(bits);
}

/* The column names of a result's shape, each followed by a tab, and a line
 * end. */
void RenderHeader(const ResultData* result, std::string* out) {
    Vector* columns = ShapeColumns(result);
    int32_t i = 0;
    for (VectorNode* node = columns ? ElementAt(columns, 0) : nullptr; node != nullptr && i < result->columnCount;
         node = node->next, ++i) {
        const char* name = NodeColumnName(result, node);
        *out += name ? name : "";
        *out += '\t';
    }
    *out += '\n';
}

/* The types of a result's columns in order. */
std::vector<uint8_t> ColumnTypes(const ResultData* result) {
    std::vector<uint8_t> types;
    Vector* columns = ShapeColumns(result);
    for (VectorNode* node = columns ? ElementAt(columns, 0) : nullptr;
         node != nullptr && static_cast<int32_t>(types.size()) < result->columnCount; node = node->next) {
        types.push_back(NodeColumnType(result, node));
    }
    types.resize(static_cast<size_t>(result->columnCount), 0);
    return types;
}

void RenderRow(const RowObject* row, const std::vector<uint8_t>& types, FloatForm floats, std::string* out) {
    for (size_t i = 0; i < types.size(); ++i) {
        *out += FormatPrintedValue(row->values[i], types[i], floats);
        *out += '\t';
    }
    *out += '\n';
}

/* A result over every row of the relvar, for printing; null for an
 * unknown relvar. */
ResultData* WholeRelvar(const char* name) { return SelectRows(name, nullptr); }

/* Writes text to the log at DEBUG, one record per line. */
void DebugLines(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size() - 1;
        LogDebug("%.*s", static_cast<int>(end - start + 1), text.c_str() + start);
        start = end + 1;
    }
}

char* ToStringRelvar(const char* name, uint8_t kind) {
    TableData* relvar = GetTableDataByName(name);
    if (relvar == nullptr || relvar->kind != kind) return nullptr;
    ResultData* result = WholeRelvar(name);
    if (result == nullptr) return nullptr;
    std::string text;
    RenderResultData(result, true, &text);
    FreeResultData(result);
    LogTrace("String Value of Relvar Data\n %s\n", text.c_str());
    return strdup(text.c_str());
}

}  // namespace

std::string FormatPrintedValue(const void* value, uint8_t type, FloatForm floats) {
    if (value == nullptr) return "NULL";
    if (floats == FloatForm::kShortest && IsFloatType(type)) {
        char text[64];
        std::to_chars_result r = type == ORV_SQL_DOUBLE
                                     ? std::to_chars(text, text + sizeof text, Read<double>(value))
                                     : std::to_chars(text, text + sizeof text, Read<float>(value));
        return std::string(text, r.ptr);
    }
    switch (type) {
        case 1: return Printf("%d", Read<int8_t>(value));
        case 2: return Printf("%u", Read<uint8_t>(value));
        case 3: return Printf("%d", Read<int16_t>(value));
        case 4: return Printf("%u", Read<uint16_t>(value));
        case 5: return Printf("%" PRId32, Read<int32_t>(value));
        case 6: return Printf("%" PRIu32, Read<uint32_t>(value));
        case 7: return Printf("%" PRId64, Read<int64_t>(value));
        case 8: return Printf("%" PRIu64, Read<uint64_t>(value));
        case 9:
        case 11: return Printf("%f", static_cast<double>(Read<float>(value)));
        case 10: return Printf("%f", Read<double>(value));
        case 14:
        case 15:
        case 22: return static_cast<const char*>(value);
        case 16: return OwnedText(OrvDateToString(static_cast<const OrvDateTime*>(value)->date));
        case 17: return OwnedText(OrvTimeToString(static_cast<const OrvDateTime*>(value)->time));
        case 18: return OwnedText(OrvDateTimeToString(static_cast<const OrvDateTime*>(value)));
        case 19: return Printf("%d", Read<uint8_t>(value));
        default: return "";
    }
}

void RenderResultData(const ResultData* result, bool skipDeleted, std::string* out, FloatForm floats) {
    if (result == nullptr || out == nullptr) return;
    RenderHeader(result, out);
    std::vector<uint8_t> types = ColumnTypes(result);
    for (const ResultNode* node = result->head; node != nullptr; node = node->next) {
        if (skipDeleted && (node->row->state & kRowDeleted)) continue;
        RenderRow(node->row, types, floats, out);
    }
}

ResultData* CreateResultData() {
    LogTrace("@@@ Inside CreateResultData @@@\n");
    return static_cast<ResultData*>(calloc(1, sizeof(ResultData)));
}

uint8_t AddRowToResultData(RowObject* row, ResultData* result) {
    if (row == nullptr || result == nullptr) return 0;
    auto* node = static_cast<ResultNode*>(malloc(sizeof(ResultNode)));
    if (node == nullptr) return 0;
    node->row = row;
    node->next = nullptr;
    if (result->tail == nullptr) {
        result->head = node;
    } else {
        result->tail->next = node;
    }
    result->tail = node;
    result->cursor = node;  // the last node while the result is filled
    result->rowCount++;
    return 1;
}

void FreeResultData(ResultData* result) {
    LogTrace("@@@ Inside FreeResultData @@@\n");
    if (result == nullptr) return;
    ResultNode* node = result->head;
    while (node != nullptr) {
        ResultNode* next = node->next;
        free(node);
        node = next;
    }
    free(result);
}

RowObject* GotoNextRowObject(ResultData* result) {
    LogTrace("@@@ Inside GotoNextRowObject @@@\n");
    if (result == nullptr) return nullptr;
    result->cursor = result->cursor == nullptr ? result->head : result->cursor->next;
    return result->cursor ? result->cursor->row : nullptr;
}

void ResetResultDataCursor(ResultData* result) {
    LogTrace("@@@ Inside ResetResultDataCursor @@@\n");
    if (result != nullptr) result->cursor = nullptr;
}

void* GetColumnValueByName(const char* columnName, int32_t* length, ResultData* result) {
    LogTrace("\t@@@@@ GetColumnValueByName() @@@@@\n");
    if (result == nullptr || result->cursor == nullptr) return nullptr;
    int32_t i = ResultColumn(result, columnName, nullptr);
    if (i < 0) return nullptr;
    const RowObject* row = result->cursor->row;
    if (length) *length = row->lengths[i];
    return row->values[i];
}

void* GetColumnValue(const char* tableName, const char* columnName, const char* criteria, int32_t* length) {
    LogTrace("@@@ Inside GetColumnValue @@@\n");
    ResultData* result = SelectRows(tableName, criteria);
    if (result == nullptr) {
        LogError("Error in executing SelectRows(%s,%s)\n", tableName ? tableName : "(null)",
                 criteria ? criteria : "(null)");
        return nullptr;
    }
    void* value = nullptr;
    if (GotoNextRowObject(result) != nullptr) {
        value = GetColumnValueByName(columnName, length, result);
        if (value == nullptr) LogError("columnValue is NULL for :%s\n", columnName ? columnName : "(null)");
    } else {
        LogTrace("No such row available in the %s for %s", tableName ? tableName : "(null)",
                 criteria ? criteria : "(null)");
    }
    FreeResultData(result);
    return value;
}

uint8_t GetColumnTypeByName(const char* columnName, ResultData* result) {
    LogTrace("@@@ Inside GetColumnTypeByName @@@\n");
    if (result == nullptr) return 0;
    uint8_t type = 0;
    return ResultColumn(result, columnName, &type) < 0 ? 0 : type;
}

const char* GetColumnNameByIndex(int32_t index, ResultData* result) {
    LogTrace("@@@ Inside GetColumnNameByIndex @@@\n");
    if (result == nullptr || index < 0 || index >= result->columnCount) return nullptr;
    Vector* columns = ShapeColumns(result);
    VectorNode* node = columns ? ElementAt(columns, index) : nullptr;
    return node ? NodeColumnName(result, node) : nullptr;
}

const char* GetTableNameFromResultData(ResultData* result) {
    LogTrace("@@@ Inside GetTableNameFromResultData @@@\n");
    if (result == nullptr) return nullptr;
    if (result->kind == kRelvarView) {
        return result->viewDefn && result->viewDefn->tableCount > 0 ? result->viewDefn->tableNames[0] : nullptr;
    }
    return result->tableDefn ? result->tableDefn->name : nullptr;
}

const char* GetTableNameOfView(const char* name) {
    LogTrace("@@@ Inside GetTableNameOfView @@@\n");
    TableData* relvar = GetTableDataByName(name);
    if (relvar != nullptr && relvar->kind == kRelvarView && relvar->viewDefn != nullptr &&
        relvar->viewDefn->tableCount > 0) {
        return relvar->viewDefn->tableNames[0];
    }
    return name;
}

uint8_t SortResultSet(ResultData* result, const char* columnName, uint8_t ascending) {
    LogTrace("@@@ Inside SortResultSet @@@\n");
    if (result == nullptr || columnName == nullptr || ShapeColumns(result) == nullptr) return 0;
    uint8_t type = 0;
    int32_t column = ResultColumn(result, columnName, &type);
    if (column < 0 || result->head == nullptr) return 0;
    if (result->head->next == nullptr) {
        if (result->rowCount == 1) {
            LogDebug("Number of Rows is 1 for the Relvar to be Sorted \n");
            return 1;
        }
        return 0;
    }
    // A stable sort of the nodes by key: rows with equal keys keep their
    // order, exactly as swapping only out-of-order neighbours would.
    std::vector<std::pair<int64_t, ResultNode*>> nodes;
    for (ResultNode* node = result->head; node != nullptr; node = node->next) {
        const RowObject* row = node->row;
        nodes.emplace_back(SortKey(row->values[column], row->lengths[column], type), node);
    }
    const bool up = ascending == 1;
    std::stable_sort(nodes.begin(), nodes.end(), [up](const auto& a, const auto& b) {
        return up ? a.first < b.first : a.first > b.first;
    });
    for (size_t i = 0; i + 1 < nodes.size(); ++i) nodes[i].second->next = nodes[i + 1].second;
    nodes.back().second->next = nullptr;
    result->head = nodes.front().second;
    result->tail = nodes.back().second;
    return 1;
}

void PrintTableData(const char* name) {
    LogTrace("@@@ Inside PrintTableData @@@\n");
    TableData* relvar = GetTableDataByName(name);
    if (relvar == nullptr || relvar->kind != kRelvarTable) return;
    ResultData* result = WholeRelvar(name);
    PrintResultData(result);
    FreeResultData(result);
}

void PrintCustomViewData(const char* name) {
    LogTrace("@@@ Inside PrintCustomViewData @@@\n");
    TableData* relvar = GetTableDataByName(name);
    if (relvar == nullptr || relvar->kind != kRelvarView) return;
    ResultData* result = WholeRelvar(name);
    PrintResultData(result);
    FreeResultData(result);
}

void PrintResultData(ResultData* result) {
    LogTrace("\t@@@@@ Inside PrintResultData() @@@@@\n");
    if (result == nullptr) return;
    std::string text;
    RenderResultData(result, true, &text);
    DebugLines(text);
}

char* ToStringTableData(const char* name) {
    LogTrace("@@@ Inside ToStringTableData @@@\n");
    return ToStringRelvar(name, kRelvarTable);
}

char* ToStringCustomViewData(const char* name) {
    LogTrace("@@@ Inside ToStringCustomViewData @@@\n");
    return ToStringRelvar(name, kRelvarView);
}

}  // namespace orv
