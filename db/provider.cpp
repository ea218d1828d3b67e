/*
 * The provider registry and its two slots, and the SQL generator registry.
 */
#include "db/provider.h"

#include <strings.h>

#include <cstring>
#include <vector>

#include "agent/log.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/odbc_provider.h"
#include "db/sql_generators.h"

namespace orv {

const char* const kDialectNames[4] = {"MYSQL", "PGSQL", "FIREBIRD", "SQLITE"};

namespace {

std::vector<const DBProvider*> g_providers;
const DBProvider* g_slots[kProviderSlots] = {nullptr, nullptr};
std::vector<const SQLGenerator*> g_generators;

bool IsRegistered(const char* name) {
    for (const DBProvider* p : g_providers) {
        if (strcmp(p->name, name) == 0) return true;
    }
    return false;
}

}  // namespace

bool RegisterDBProvider(const DBProvider* provider) {
    if (provider == nullptr || provider->name == nullptr) return false;
    g_providers.push_back(provider);
    return true;
}

bool InitDBProvider() {
    LogTrace("@@@ Inside InitDBProvider @@@\n");
    if (g_slots[0] != nullptr) {
        LogError("InitDBProvider Failed as already initialized\n");
        return false;
    }
    g_slots[0] = nullptr;
    g_slots[1] = nullptr;
    for (const DBProvider* provider : BuiltinDBProviders()) {
        if (!IsRegistered(provider->name)) RegisterDBProvider(provider);
    }
    LoadDBProvider("ODBC");
    LoadDBProvider("SQLITE");  // no provider of that name: the slot stays free
    if (gv_connParamsVect == nullptr) gv_connParamsVect = NewVector();
    InitConnectionPool();
    return true;
}

void DeInitDBProvider() {
    g_slots[0] = nullptr;
    g_slots[1] = nullptr;
    g_providers.clear();
}

bool LoadDBProvider(const char* name) {
    LogTrace("@@@ Inside LoadDBProvider @@@\n");
    int slot = 0;
    while (slot < kProviderSlots && g_slots[slot] != nullptr) ++slot;
    if (slot == kProviderSlots || name == nullptr) return false;
    for (const DBProvider* provider : g_providers) {
        if (strcmp(provider->name, name) == 0) {
            g_slots[slot] = provider;
            return true;
        }
    }
    return false;
}

bool LoadDefaultDBProvider() {
    LogTrace("@@@ Inside LoadDefaultDBProvider @@@\n");
    if (gv_connParamsVect == nullptr || gv_connParamsVect->count == 0) {
        LogError("Cannot Load DB provider.\n");
        return false;
    }
    auto* first = static_cast<ConnParams*>(ElementAt(gv_connParamsVect, 0)->element);
    if (!LoadDBProvider(first->dialectName)) {
        LogError("Cannot Load %s provider.\n", first->dialectName ? first->dialectName : "(null)");
        return false;
    }
    return true;
}

bool UnloadDBProvider(const char* name) {
    LogTrace("@@@ Inside UnloadDBProvider @@@\n");
    if (name == nullptr) return false;
    for (int slot = 0; slot < kProviderSlots; ++slot) {
        if (g_slots[slot] != nullptr && strcmp(g_slots[slot]->name, name) == 0) {
            g_slots[slot] = nullptr;
            return true;
        }
    }
    return false;
}

int GetDBProviderIndex(const char* name) {
    if (name == nullptr) return -1;
    for (int slot = 0; slot < kProviderSlots; ++slot) {
        if (g_slots[slot] != nullptr && strcmp(g_slots[slot]->name, name) == 0) return slot;
    }
    return -1;
}

const DBProvider* GetDBProviderInSlot(int slot) {
    return slot >= 0 && slot < kProviderSlots ? g_slots[slot] : nullptr;
}

void InitSQLGenerators() {
    LogTrace("@@@ Inside InitSQLGenerators @@@\n");
    g_generators.clear();
    for (const SQLGenerator* generator : BuiltinSQLGenerators()) RegisterSQLGenerator(generator);
}

void DeInitSQLGenerators() {
    LogTrace("@@@ Inside DeInitSQLGenerators @@@\n");
    g_generators.clear();
}

bool RegisterSQLGenerator(const SQLGenerator* generator) {
    if (generator == nullptr || generator->name == nullptr) return false;
    g_generators.push_back(generator);
    return true;
}

const SQLGenerator* FindSQLGenerator(const char* name) {
    if (name == nullptr) return nullptr;
    for (const SQLGenerator* generator : g_generators) {
        if (strcasecmp(generator->name, name) == 0) return generator;
    }
    return nullptr;
}

}  // namespace orv
