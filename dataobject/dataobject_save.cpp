/*
 * Saving data objects: the table order by foreign key, rows as RowObjects
 * for the SQL generators, the statement of each row's state, and the save
 * of a whole object in one transaction per data source that keeps a
 * failing row's state while the others apply. Also the criteria look-ups,
 * which evaluate rows as RowObjects.
 */
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "agent/log.h"
#include "dataobject/dataobject.h"
#include "dataobject/dataobject_internal.h"
#include "datastore/criteria.h"
#include "db/connection.h"
#include "persist/save_batch.h"
#include "persist/sql_text.h"

namespace orv {

/* ---- foreign-key order ---- */

Vector* SortTableByFK(Vector* tableList) {
    LogTrace("@@@@  Inside SortTableByFK @@@@\n");
    if (tableList == nullptr) return nullptr;
    std::vector<void*> names;
    for (VectorNode* node = tableList->head; node != nullptr; node = node->next) names.push_back(node->element);
    // Depth first over the references: a table is placed after the tables
    // it refers to; a table already on the path (a cycle, a self-reference)
    // is not followed again, so every input ends.
    enum Mark : uint8_t { kNone, kOnPath, kPlaced };
    std::vector<Mark> marks(names.size(), kNone);
    Vector* sorted = NewVector();
    if (sorted == nullptr) return nullptr;
    auto indexOf = [&](const char* name) -> int {
        for (size_t i = 0; name != nullptr && i < names.size(); ++i) {
            if (strcasecmp(static_cast<const char*>(names[i]), name) == 0) return static_cast<int>(i);
        }
        return -1;
    };
    bool ok = true;
    // An explicit stack: (table, next foreign key to look at).
    struct Frame {
        size_t table;
        VectorNode* next;
    };
    for (size_t start = 0; start < names.size() && ok; ++start) {
        if (marks[start] != kNone) continue;
        std::vector<Frame> stack;
        auto push = [&](size_t i) {
            marks[i] = kOnPath;
            Vector* fks = ForeignKeysOf(GetTableDefn(static_cast<const char*>(names[i])));
            stack.push_back({i, fks != nullptr ? fks->head : nullptr});
        };
        push(start);
        while (!stack.empty() && ok) {
            Frame& f = stack.back();
            if (f.next == nullptr) {
                marks[f.table] = kPlaced;
                ok = AddValue(sorted, names[f.table]) == 1;
                stack.pop_back();
                continue;
            }
            auto* fk = static_cast<ForeignKeyEntry*>(f.next->element);
            f.next = f.next->next;
            const int r = fk != nullptr ? indexOf(fk->referenceTable) : -1;
            if (r >= 0 && marks[static_cast<size_t>(r)] == kNone) push(static_cast<size_t>(r));
        }
    }
    if (!ok) {
        FreeVector(sorted);
        free(sorted);
        return nullptr;
    }
    return sorted;
}

/* ---- rows as RowObjects ---- */

RowObject* GetRowObjectFromRowUnit(const RowUnit* row, const RowCollection* collection) {
    if (row == nullptr || collection == nullptr || collection->tableDefn == nullptr) return nullptr;
    const TableDefn* defn = collection->tableDefn;
    const int32_t n = DefnColumnCount(defn);
    auto** values = static_cast<void**>(calloc(static_cast<size_t>(n) + 1, sizeof(void*)));
    auto* lengths = static_cast<int32_t*>(calloc(static_cast<size_t>(n) + 1, sizeof(int32_t)));
    auto* object = static_cast<RowObject*>(calloc(1, sizeof(RowObject)));
    if (values == nullptr || lengths == nullptr || object == nullptr) {
        free(values);
        free(lengths);
        free(object);
        return nullptr;
    }
    object->values = values;
    object->lengths = lengths;
    object->state = row->state;
    const char* const* names = row->columnNames != nullptr ? row->columnNames : collection->columnNames;
    for (int32_t i = 0; i < n; ++i) {
        ColumnDefnEntry* column = DefnColumnAt(defn, i);
        const int32_t at = NameIndex(names, column->name);
        if (at >= 0 && at < row->columnCount && row->values[at] != nullptr) {
            values[i] = row->values[at];
            lengths[i] = row->lengths[at];
        } else if (column->defaultValue != nullptr) {
            values[i] = column->defaultValue;
            lengths[i] = column->defaultLength;
        } else if (column->nullable) {
            values[i] = nullptr;
            lengths[i] = 0;
        } else {
            LogError("Cannot save RowUnit. Column %s is not not nullable and does not have a default value\n",
                     column->name);
            FreeBorrowedRowObject(object);
            return nullptr;
        }
    }
    return object;
}

void FreeBorrowedRowObject(RowObject* row) {
    if (row == nullptr) return;
    free(row->values);
    free(row->lengths);
    free(row);
}

namespace {

/* The statement of a row's state; *needed false when the state asks for
 * none (0, 1, a new row deleted again, a delete already saved). */
char* StatementForRow(RowUnit* row, const RowCollection* c, bool* needed) {
    *needed = false;
    RowObject* object = GetRowObjectFromRowUnit(row, c);
    if (object == nullptr) {
        LogError("Cannot convert RowUnit to RowObject.\n");
        return nullptr;
    }
    const uint8_t state = row->state;
    LogDebug("RowState %d\n", state);
    const SaveKind kind = SaveKindOf(state);
    *needed = kind != SaveKind::kNone;
    char* sql = GenerateSaveQuery(kind, c->tableName, object);
    if (kind == SaveKind::kNone && state > kRowStored && !((state & kRowNew) && (state & kRowDeleted)) &&
        state != kRowDeleted) {
        LogError("Invalid State for keyStr.  Cannot Save.\n");
    }
    FreeBorrowedRowObject(object);
    if (sql == nullptr) LogError("QueryPtr is NULL.\n");
    return sql;
}

/* The state of a row whose statement was written. */
void MarkWritten(RowUnit* row) { row->state = WrittenState(row->state); }

}  // namespace

bool SaveRowUnit(RowUnit* row, RowCollection* collection) {
    LogTrace("@@@@  Inside SaveRowUnit @@@@\n");
    if (row == nullptr || collection == nullptr) return false;
    bool needed = false;
    char* sql = StatementForRow(row, collection, &needed);
    if (sql == nullptr) return false;
    const char* connectionName = nullptr;
    const char* dialect = nullptr;
    DBConnection* connection = nullptr;
    if (ConnectionForTable(collection->tableName, &connectionName, &dialect)) connection = GetDBConnection(connectionName);
    bool ok = connection != nullptr && ExecuteUpdate(connection, sql) == 1;
    if (connection != nullptr) ReleaseDBConnection(connectionName);
    if (ok) {
        MarkWritten(row);
    } else {
        LogFailedSaveStatement(sql);
    }
    free(sql);
    return ok;
}

bool SaveDataObject(DataObject* object) {
    LogTrace("@@@@  Inside SaveDataObject @@@@\n");
    if (object == nullptr) return true;
    Vector* sorted = SortTableByFK(object->tableList);
    if (sorted != nullptr) {
        FreeVector(object->tableList);
        for (VectorNode* node = sorted->head; node != nullptr; node = node->next) AddValue(object->tableList, node->element);
        FreeVector(sorted);
        free(sorted);
    }
    // The statements by data source, in table order and chain order.
    // Inserts and updates run parents first, deletes children first.
    struct Group {
        const char* connectionName;
        std::vector<SaveStatement> pending;
        std::vector<std::vector<SaveStatement>> deletes;  /* per table, in table order */
    };
    std::vector<Group> groups;
    for (VectorNode* node = object->tableList->head; node != nullptr; node = node->next) {
        RowCollection* c = GetRowCollection(static_cast<const char*>(node->element), object);
        if (c == nullptr) continue;
        const char* connectionName = nullptr;
        const char* dialect = nullptr;
        if (!ConnectionForTable(c->tableName, &connectionName, &dialect)) {
            LogError("No data source for table %s: its rows are not saved.\n", c->tableName);
            continue;
        }
        Group* group = nullptr;
        for (Group& g : groups) {
            const bool same = (g.connectionName == nullptr && connectionName == nullptr) ||
                              (g.connectionName != nullptr && connectionName != nullptr &&
                               strcasecmp(g.connectionName, connectionName) == 0);
            if (same) group = &g;
        }
        if (group == nullptr) {
            groups.push_back(Group{connectionName, {}, {}});
            group = &groups.back();
        }
        group->deletes.emplace_back();
        for (RowUnit* row = c->firstRow; row != nullptr; row = row->next) {
            if (row->state == kRowStored || row->state == 0 || row->state == kRowDeleted) continue;
            bool needed = false;
            char* sql = StatementForRow(row, c, &needed);
            if (sql == nullptr) continue;
            const bool remove = SaveKindOf(row->state) == SaveKind::kDelete;
            (remove ? group->deletes.back() : group->pending).push_back(SaveStatement{row, sql, false});
        }
    }
    for (Group& g : groups) {
        for (auto it = g.deletes.rbegin(); it != g.deletes.rend(); ++it) {
            g.pending.insert(g.pending.end(), it->begin(), it->end());
        }
        if (g.pending.empty()) continue;
        DBConnection* connection = GetDBConnection(g.connectionName);
        if (connection == nullptr) {
            LogError("No connection for %s: its rows keep their state.\n", g.connectionName ? g.connectionName : "the default data source");
        } else {
            RunSaveBatch(connection, SaveBatchWords{"SaveDataObject", "state"}, &g.pending);
            ReleaseDBConnection(g.connectionName);
        }
        for (SaveStatement& p : g.pending) {
            if (p.written) MarkWritten(static_cast<RowUnit*>(p.row));
            free(p.sql);
        }
    }
    return true;
}

/* ---- criteria ---- */

namespace {

/* Walks the table's rows matching the criteria, calling visit for each
 * until it returns false. False when the table is absent, the criteria do
 * not parse or a row cannot be converted. */
bool MatchRows(const char* tableName, const char* criteria, DataObject* object,
               const std::function<bool(RowUnit*)>& visit) {
    RowCollection* c = GetRowCollection(tableName, object);
    if (c == nullptr) {
        LogError(" Table %s is not present in DO\n", tableName ? tableName : "(null)");
        return false;
    }
    LockCriteria();
    std::string error;
    FilterNode* root = ParseCriteria(criteria, &error);
    if (root == nullptr) {
        LogError("Cannot parse criteria %s: %s\n", criteria ? criteria : "(null)", error.c_str());
        UnlockCriteria();
        return false;
    }
    ResolveCriteriaColumns(c->tableDefn->columns, root);
    bool ok = true;
    for (RowUnit* row = c->firstRow; row != nullptr; row = row->next) {
        RowObject* converted = GetRowObjectFromRowUnit(row, c);
        if (converted == nullptr) {
            LogError("RowObject is NULL.\n");
            ok = false;
            break;
        }
        const bool match = EvaluateCriteria(converted, root);
        FreeBorrowedRowObject(converted);
        if (match && !visit(row)) break;
    }
    FreeCriteria(root);
    UnlockCriteria();
    return ok;
}

}  // namespace

uint8_t DeleteRowUnitOnCriteria(const char* tableName, const char* criteria, DataObject* object) {
    LogTrace("@@@@  Inside DeleteRowUnitOnCriteria @@@@\n");
    return MatchRows(tableName, criteria, object, [](RowUnit* row) {
               row->state |= kRowDeleted;
               return true;
           })
               ? 1
               : 0;
}

RowUnit* FindRowUnitOnCriteria(const char* tableName, const char* criteria, DataObject* object) {
    LogTrace("@@@@  Inside DeleteRowUnitOnCriteria @@@@\n");
    RowUnit* found = nullptr;
    if (!MatchRows(tableName, criteria, object, [&](RowUnit* row) {
            found = row;
            return false;
        })) {
        return nullptr;
    }
    return found;
}

}  // namespace orv
