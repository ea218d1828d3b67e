/*
 * A small hash table from text keys to untyped value pointers.
 *
 * The table owns copies of its keys; it never owns the values. Keys are
 * compared byte for byte (case matters) and occur at most once. Every bucket
 * always has a first entry, made when the table is created; an empty bucket
 * is a first entry whose key is null.
 *
 * Not thread-safe: a table shared between threads needs the caller's lock.
 * Nothing here logs.
 */
#ifndef ORV_UTIL_STRING_HASH_H
#define ORV_UTIL_STRING_HASH_H

#include <cstdint>

namespace orv {

struct StringHashEntry {
    char* key;              /* owned copy, or null in an empty bucket */
    void* value;            /* not owned */
    StringHashEntry* next;  /* next entry of the bucket's chain */
};

struct StringHashTable {
    uint32_t bucketCount;      /* fixed at creation; 0 before HashInit */
    StringHashEntry** buckets; /* bucketCount first entries */
};

/* Allocates the buckets and their empty first entries; a bucket count of 0
 * gives 10. Returns false for a null table or when memory runs out (all
 * that was allocated is freed again and the table is left empty).
 * REQUIRES: the table is not initialised, or was HashFree'd. */
bool HashInit(StringHashTable* table, uint32_t bucketCount);

/* The bucket of a key: starting from 0, for each byte (unsigned)
 * index = (index * 26 + byte) mod bucketCount. REQUIRES: bucketCount > 0. */
uint32_t HashBucketIndex(const char* key, uint32_t bucketCount);

/* Sets the value for the key, storing a copy of a new key. Returns false
 * for a null table or key, an uninitialised table, or when memory runs
 * out. */
bool HashPut(StringHashTable* table, const char* key, void* value);

/* True when the key is present. */
bool HashContains(const StringHashTable* table, const char* key);

/* The key's value, or null when the key is absent. */
void* HashGet(const StringHashTable* table, const char* key);

/* The key's entry (owned by the table), or null when the key is absent. */
StringHashEntry* HashGetEntry(const StringHashTable* table, const char* key);

/* Removes the key and frees its copy. Returns true when the key was present
 * and is now removed. The value is left to its owner. */
bool HashRemove(StringHashTable* table, const char* key);

/* The number of keys. */
uint32_t HashCount(const StringHashTable* table);

/* A new null-terminated array of the table's key pointers (not copies) in
 * bucket order and chain order; the caller frees the array only, with
 * free(). Null for a null table or when memory runs out. */
char** HashKeys(const StringHashTable* table);

/* Frees every entry, key copy and the bucket array, leaving the table with
 * 0 buckets. Values are left to their owners; the table record itself is
 * the caller's. */
void HashFree(StringHashTable* table);

/* Adds to the target every key of the source that the target lacks, with
 * the source's value pointer; keys the target has keep its value. Returns
 * false when either table is null or a put runs out of memory. */
bool HashMerge(const StringHashTable* source, StringHashTable* target);

}  // namespace orv

#endif
