/*
 * The string hash table's operations. Not thread-safe.
 */
#include "util/string_hash.h"

#include <cstdlib>
#include <cstring>

namespace orv {

namespace {

constexpr uint32_t kDefaultBucketCount = 10;

char* CopyKey(const char* key) {
    size_t length = std::strlen(key);
    auto* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy != nullptr) {
        std::memcpy(copy, key, length + 1);
    }
    return copy;
}

bool IsReady(const StringHashTable* table) {
    return table != nullptr && table->buckets != nullptr && table->bucketCount > 0;
}

}  // namespace

uint32_t HashBucketIndex(const char* key, uint32_t bucketCount) {
    // index < bucketCount <= 2^32 - 1, so index * 26 + 255 fits in 64 bits.
    uint64_t index = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); *p != 0; p++) {
        index = (index * 26u + *p) % bucketCount;
    }
    return static_cast<uint32_t>(index);
}

bool HashInit(StringHashTable* table, uint32_t bucketCount) {
    if (table == nullptr) {
        return false;
    }
    if (bucketCount == 0) {
        bucketCount = kDefaultBucketCount;
    }
    table->bucketCount = 0;
    table->buckets =
        static_cast<StringHashEntry**>(std::calloc(bucketCount, sizeof(StringHashEntry*)));
    if (table->buckets == nullptr) {
        return false;
    }
    table->bucketCount = bucketCount;
    for (uint32_t i = 0; i < bucketCount; i++) {
        table->buckets[i] = static_cast<StringHashEntry*>(std::calloc(1, sizeof(StringHashEntry)));
        if (table->buckets[i] == nullptr) {
            HashFree(table);
            return false;
        }
    }
    return true;
}

bool HashPut(StringHashTable* table, const char* key, void* value) {
    if (!IsReady(table) || key == nullptr) {
        return false;
    }
    StringHashEntry* first = table->buckets[HashBucketIndex(key, table->bucketCount)];
    if (first->key == nullptr) {
        first->key = CopyKey(key);
        if (first->key == nullptr) {
            return false;
        }
        first->value = value;
        return true;
    }
    StringHashEntry* last = first;
    for (StringHashEntry* e = first; e != nullptr; e = e->next) {
        if (std::strcmp(e->key, key) == 0) {
            e->value = value;
            return true;
        }
        last = e;
    }
    auto* entry = static_cast<StringHashEntry*>(std::calloc(1, sizeof(StringHashEntry)));
    if (entry == nullptr) {
        return false;
    }
    entry->key = CopyKey(key);
    if (entry->key == nullptr) {
        std::free(entry);
        return false;
    }
    entry->value = value;
    last->next = entry;
    return true;
}

StringHashEntry* HashGetEntry(const StringHashTable* table, const char* key) {
    if (!IsReady(table) || key == nullptr) {
        return nullptr;
    }
    for (StringHashEntry* e = table->buckets[HashBucketIndex(key, table->bucketCount)];
         e != nullptr; e = e->next) {
        if (e->key != nullptr && std::strcmp(e->key, key) == 0) {
            return e;
        }
    }
    return nullptr;
}

bool HashContains(const StringHashTable* table, const char* key) {
    return HashGetEntry(table, key) != nullptr;
}

void* HashGet(const StringHashTable* table, const char* key) {
    StringHashEntry* entry = HashGetEntry(table, key);
    return entry != nullptr ? entry->value : nullptr;
}

bool HashRemove(StringHashTable* table, const char* key) {
    if (!IsReady(table) || key == nullptr) {
        return false;
    }
    StringHashEntry** slot = &table->buckets[HashBucketIndex(key, table->bucketCount)];
    StringHashEntry* first = *slot;
    if (first->key != nullptr && std::strcmp(first->key, key) == 0) {
        std::free(first->key);
        if (first->next != nullptr) {
            *slot = first->next;
            std::free(first);
        } else {
            first->key = nullptr;
            first->value = nullptr;
        }
        return true;
    }
    for (StringHashEntry* prev = first; prev->next != nullptr; prev = prev->next) {
        StringHashEntry* e = prev->next;
        if (std::strcmp(e->key, key) == 0) {
            prev->next = e->next;
            std::free(e->key);
            std::free(e);
            return true;
        }
    }
    return false;
}

uint32_t HashCount(const StringHashTable* table) {
    if (!IsReady(table)) {
        return 0;
    }
    uint32_t count = 0;
    for (uint32_t i = 0; i < table->bucketCount; i++) {
        for (StringHashEntry* e = table->buckets[i]; e != nullptr; e = e->next) {
            if (e->key != nullptr) {
                count++;
            }
        }
    }
    return count;
}

char** HashKeys(const StringHashTable* table) {
    if (table == nullptr) {
        return nullptr;
    }
    uint32_t count = HashCount(table);
    auto* keys = static_cast<char**>(std::calloc(static_cast<size_t>(count) + 1, sizeof(char*)));
    if (keys == nullptr) {
        return nullptr;
    }
    size_t n = 0;
    for (uint32_t i = 0; IsReady(table) && i < table->bucketCount; i++) {
        for (StringHashEntry* e = table->buckets[i]; e != nullptr; e = e->next) {
            if (e->key != nullptr) {
                keys[n++] = e->key;
            }
        }
    }
    keys[n] = nullptr;
    return keys;
}

void HashFree(StringHashTable* table) {
    if (table == nullptr || table->buckets == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < table->bucketCount; i++) {
        for (StringHashEntry* e = table->buckets[i]; e != nullptr;) {
            StringHashEntry* next = e->next;
            std::free(e->key);
            std::free(e);
            e = next;
        }
    }
    std::free(table->buckets);
    table->buckets = nullptr;
    table->bucketCount = 0;
}

bool HashMerge(const StringHashTable* source, StringHashTable* target) {
    if (source == nullptr || target == nullptr) {
        return false;
    }
    if (!IsReady(source)) {
        return true;
    }
    for (uint32_t i = 0; i < source->bucketCount; i++) {
        for (StringHashEntry* e = source->buckets[i]; e != nullptr; e = e->next) {
            if (e->key != nullptr && !HashContains(target, e->key) &&
                !HashPut(target, e->key, e->value)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace orv
