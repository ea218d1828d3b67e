/*
 * The provider registry and its slots, and the SQL generator registry.
 */
#include "db/provider.h"

#include <strings.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "agent/log.h"
#include "db/connection.h"
#include "db/connparams.h"
#include "db/odbc/odbc_provider.h"
#include "db/sql/sql_generators.h"

namespace orv {

const char* const kDialectNames[4] = {"MYSQL", "PGSQL", "FIREBIRD", "SQLITE"};

namespace {

/* The registered providers and the slots. A connection's statements read
 * its slot without a lock while another thread's first connection to a
 * data source may load that source's provider into the free slot: the
 * slots are atomic, and loading, unloading and registering take the
 * registry's mutex so that two loaders never choose the same slot. */
std::mutex& RegistryMutex() {
    static auto* mutex = new std::mutex();
    return *mutex;
}
std::vector<const DBProvider*> g_providers;
std::atomic<const DBProvider*> g_slots[kProviderSlots] = {};
std::vector<const SQLGenerator*> g_generators;

const DBProvider* Slot(int slot) { return g_slots[slot].load(std::memory_order_acquire); }

void SetSlot(int slot, const DBProvider* provider) { g_slots[slot].store(provider, std::memory_order_release); }

/* True when the provider has a name and every function: the statement
 * calls (db/connection.cpp) call them without asking again. */
bool IsComplete(const DBProvider* provider) {
    return provider != nullptr && provider->name != nullptr && provider->connect != nullptr &&
           provider->executeUpdate != nullptr && provider->executeQuery != nullptr &&
           provider->disconnect != nullptr && provider->beginTransaction != nullptr &&
           provider->commitTransaction != nullptr && provider->rollbackTransaction != nullptr &&
           provider->executeUpdateBlob != nullptr && provider->executeQueryBlob != nullptr;
}

/* REQUIRES: the registry mutex is held. */
bool IsRegistered(const char* name) {
    for (const DBProvider* p : g_providers) {
        if (strcmp(p->name, name) == 0) return true;
    }
    return false;
}

}  // namespace

bool RegisterDBProvider(const DBProvider* provider) {
    if (!IsComplete(provider)) return false;
    std::lock_guard<std::mutex> guard(RegistryMutex());
    g_providers.push_back(provider);
    return true;
}

bool InitDBProvider() {
    LogTrace("@@@ Inside InitDBProvider @@@\n");
    {
        std::lock_guard<std::mutex> guard(RegistryMutex());
        if (Slot(0) != nullptr) {
            LogError("InitDBProvider Failed as already initialized\n");
            return false;
        }
        for (int slot = 1; slot < kProviderSlots; ++slot) SetSlot(slot, nullptr);
        for (const DBProvider* provider : BuiltinDBProviders()) {
            if (IsComplete(provider) && !IsRegistered(provider->name)) g_providers.push_back(provider);
        }
    }
    LoadDBProvider("ODBC");
    LoadDBProvider("SQLITE");
    if (gv_connParamsVect == nullptr) gv_connParamsVect = NewVector();
    InitConnectionPool();
    return true;
}

void DeInitDBProvider() {
    std::lock_guard<std::mutex> guard(RegistryMutex());
    for (int slot = 0; slot < kProviderSlots; ++slot) SetSlot(slot, nullptr);
    g_providers.clear();
}

bool LoadDBProvider(const char* name) {
    LogTrace("@@@ Inside LoadDBProvider @@@\n");
    std::lock_guard<std::mutex> guard(RegistryMutex());
    int slot = 0;
    while (slot < kProviderSlots && Slot(slot) != nullptr) ++slot;
    if (slot == kProviderSlots || name == nullptr) return false;
    for (const DBProvider* provider : g_providers) {
        if (strcmp(provider->name, name) == 0) {
            SetSlot(slot, provider);
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
    std::lock_guard<std::mutex> guard(RegistryMutex());
    for (int slot = 0; slot < kProviderSlots; ++slot) {
        const DBProvider* provider = Slot(slot);
        if (provider != nullptr && strcmp(provider->name, name) == 0) {
            SetSlot(slot, nullptr);
            return true;
        }
    }
    return false;
}

int GetDBProviderIndex(const char* name) {
    if (name == nullptr) return -1;
    for (int slot = 0; slot < kProviderSlots; ++slot) {
        const DBProvider* provider = Slot(slot);
        if (provider != nullptr && strcmp(provider->name, name) == 0) return slot;
    }
    return -1;
}

const DBProvider* GetDBProviderInSlot(int slot) {
    return slot >= 0 && slot < kProviderSlots ? Slot(slot) : nullptr;
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
