/*
 * The memory pool: a region allocator for select queries. A pool starts
 * with one block of 8168 bytes; requests are rounded up to multiples of 8
 * and served from the current block; a new block comes from a shared free
 * list (by size in 4096-byte steps, up to 20 lists) or from the heap.
 * Pools form a tree: a pool created under another goes with it.
 *
 * Thread-safety: one pool is used by one thread at a time; the shared free
 * lists and the root pool's count are guarded by a lock of their own.
 */
#ifndef ORV_DB_MEMPOOL_H
#define ORV_DB_MEMPOOL_H

#include <cstddef>
#include <cstdint>

namespace orv {

struct MemPool;

/* The root pool, counted: the first call creates it, later calls count.
 * False when memory runs out. */
bool InitializeMemPool();
/* Ends one use of the root pool; the last end destroys it. */
void TerminateMemPool();
/* The root pool, or null before InitializeMemPool. */
MemPool* GetRootMemPool();

/* A new pool under parent (the root when parent is null and the root
 * exists; a free-standing pool otherwise), or null. */
MemPool* CreateMemPool(MemPool* parent);
/* Destroys the pool, its children and their blocks. */
void DestroyMemPool(MemPool* pool);
/* Frees everything allocated from the pool but keeps its first block. */
void ClearMemPool(MemPool* pool);

/* size bytes (rounded up to 8), zero-filled, from the pool; null when
 * memory runs out. */
void* MemPoolAlloc(MemPool* pool, size_t size);
/* A copy of text in the pool (null for a null text). */
char* MemPoolStrdup(MemPool* pool, const char* text);
/* A copy of length bytes plus a zero byte in the pool. */
void* MemPoolMemdup(MemPool* pool, const void* data, size_t length);

/* Registers fn(arg) to run when the pool is destroyed or cleared, before
 * its memory goes (most recent registration first, after the pool's
 * children are gone). Used to release heap memory that pool records point
 * to, such as the nodes of a vector kept in the pool. fn must not create,
 * clear or destroy pools. False when memory runs out (fn is then not
 * registered). */
bool MemPoolOnDestroy(MemPool* pool, void (*fn)(void*), void* arg);

/* Bookkeeping, for tests and diagnostics: the blocks a pool holds and
 * their bytes (headers included); the blocks waiting in the shared free
 * lists and their bytes. */
size_t GetMemPoolBlockCount(const MemPool* pool);
size_t GetMemPoolBytesHeld(const MemPool* pool);
size_t GetMemPoolFreeListBlocks();
size_t GetMemPoolFreeListBytes();

}  // namespace orv

#endif
