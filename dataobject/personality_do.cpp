/*
 * Data objects of personalities: the dominant table joined with its
 * constituents, or the personality's tables selected by a row or by
 * criteria, for one personality or merged over several.
 */
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "agent/log.h"
#include "dataobject/dataobject_internal.h"
#include "dataobject/personality.h"

namespace orv {

namespace {

/* The dominant table and the named constituents (each once). */
std::vector<const char*> PersonalityTables(const PersonalityDefn* p) {
    std::vector<const char*> names{p->dominantTableName};
    for (VectorNode* n = p->constituentTables->head; n != nullptr; n = n->next) {
        auto* c = static_cast<ConstituentTable*>(n->element);
        if (c->tableName == nullptr) continue;
        bool known = false;
        for (const char* t : names) known = known || strcasecmp(t, c->tableName) == 0;
        if (!known) names.push_back(c->tableName);
    }
    names.push_back(nullptr);
    return names;
}

const PersonalityDefn* Named(const char* personalityName) {
    if (personalityName == nullptr) {
        LogError("Cannot get Personality.  personalityName is NULL\n");
        return nullptr;
    }
    const PersonalityDefn* p = GetPersonalityDefn(personalityName);
    if (p == nullptr || p->dominantTableName == nullptr) {
        LogError("No personality found for %s\n", personalityName);
        return nullptr;
    }
    return p;
}

/* Merges the object of each name into a new one. */
template <typename Each>
DataObject* MergeEach(const char* const* names, Each each) {
    if (names == nullptr) return nullptr;
    DataObject* merged = CreateDataObject();
    if (merged == nullptr) return nullptr;
    for (int32_t i = 0; names[i] != nullptr; ++i) {
        DataObject* part = each(names[i]);
        if (part == nullptr || MergeDataObject(merged, part) == nullptr) {
            LogError("Cannot Merge DO's.\n");
            FreeDataObject(part);
            FreeDataObject(merged);
            return nullptr;
        }
        FreeDataObject(part);
    }
    return merged;
}

}  // namespace

DataObject* GetDOFromPersonality(const char* personalityName) {
    LogTrace("@@@@ Inside GetDOFromPersonality @@@@\n");
    const PersonalityDefn* p = Named(personalityName);
    if (p == nullptr) return nullptr;
    const char* dominant = p->dominantTableName;
    Vector* keys = GetPKColumnInfo(dominant);
    SelectQuery* query = keys != nullptr ? CreateSelectQuery() : nullptr;
    Vector* left = query != nullptr ? NewColumnList(query->pool) : nullptr;
    bool ok = left != nullptr;
    for (VectorNode* k = ok ? keys->head : nullptr; k != nullptr && ok; k = k->next) {
        auto* key = static_cast<ColumnDefnEntry*>(k->element);
        ok = AddColumnToList(query->pool, CreateSelectColumn(dominant, nullptr, key->name, nullptr, 0, 5, 0, query->pool),
                             left);
    }
    bool first = true;
    for (VectorNode* n = ok ? p->constituentTables->head : nullptr; n != nullptr && ok; n = n->next) {
        auto* c = static_cast<ConstituentTable*>(n->element);
        const TableDefn* defn = c->tableName != nullptr ? GetTableDefn(c->tableName) : nullptr;
        if (defn == nullptr) continue;
        // The constituent's column for each key column of the dominant table.
        Vector* right = NewColumnList(query->pool);
        bool joined = right != nullptr;
        for (VectorNode* k = keys->head; k != nullptr && joined; k = k->next) {
            auto* key = static_cast<ColumnDefnEntry*>(k->element);
            const char* local = nullptr;
            Vector* fks = ForeignKeysOf(defn);
            for (VectorNode* f = fks != nullptr ? fks->head : nullptr; f != nullptr && local == nullptr; f = f->next) {
                auto* fk = static_cast<ForeignKeyEntry*>(f->element);
                const char* reached = ChainToTable(fk->referenceTable, fk->referenceColumn, dominant, 0);
                if (reached != nullptr && strcasecmp(reached, key->name) == 0) local = fk->localColumn;
            }
            ColumnDefnEntry* column = local != nullptr ? DefnColumn(defn, local) : nullptr;
            joined = column != nullptr &&
                     AddColumnToList(query->pool,
                                     CreateSelectColumn(defn->name, nullptr, column->name, nullptr, 0, column->type, 0,
                                                        query->pool),
                                     right);
        }
        if (!joined) {
            LogError("Constituent %s does not refer to %s: not joined.\n", defn->name, dominant);
            continue;
        }
        ok = AddJoin(query, CreateJoinSpec(first ? dominant : nullptr, nullptr, defn->name, nullptr, kJoinLeft, left,
                                           right, query->pool));
        first = false;
    }
    if (ok && first) ok = AddSelectTable(query, CreateSelectTable(dominant, nullptr, query->pool));
    if (keys != nullptr) {
        FreeVector(keys);
        free(keys);
    }
    DataObject* object = ok ? GetDataObject(query) : nullptr;
    if (object == nullptr) {
        LogError("Cannot get DO for personality %s\n", personalityName);
        FreeSelectQuery(query);
        return nullptr;
    }
    object->ownsQuery = 1;
    return object;
}

DataObject* GetDOFromPersonalities(const char* const* personalityNames) {
    LogTrace("@@@@ Inside GetDOFromPersonalities @@@@\n");
    return MergeEach(personalityNames, [](const char* name) { return GetDOFromPersonality(name); });
}

DataObject* GetDOFromPersonalityByRowUnit(const char* personalityName, const RowUnit* row) {
    LogTrace("@@@@ Inside GetDOFromPersonalityByRowUnit @@@@\n");
    const PersonalityDefn* p = Named(personalityName);
    if (p == nullptr) return nullptr;
    std::vector<const char*> tables = PersonalityTables(p);
    return GetDataObjectByRowUnit(tables.data(), row);
}

DataObject* GetDOFromPersonalitiesByRowUnit(const char* const* personalityNames, const RowUnit* row) {
    LogTrace("@@@@ Inside GetDOFromPersonalitiesByRowUnit @@@@\n");
    return MergeEach(personalityNames, [row](const char* name) { return GetDOFromPersonalityByRowUnit(name, row); });
}

DataObject* GetDOFromPersonalityByCriteria(const char* personalityName, CriteriaNode* criteria) {
    LogTrace("@@@@ Inside GetDOFromPersonalityByCriteria @@@@\n");
    const PersonalityDefn* p = Named(personalityName);
    if (p == nullptr) return nullptr;
    std::vector<const char*> tables = PersonalityTables(p);
    return GetDataObjectByCriteria(tables.data(), criteria);
}

DataObject* GetDOFromPersonalitiesByCriteria(const char* const* personalityNames, CriteriaNode* criteria) {
    LogTrace("@@@@ Inside GetDOFromPersonalitiesByCriteria @@@@\n");
    return MergeEach(personalityNames,
                     [criteria](const char* name) { return GetDOFromPersonalityByCriteria(name, criteria); });
}

}  // namespace orv
