/*
 * The memory pool.
 *
 * A block is one heap allocation: a 24-byte header followed by its data.
 * Block sizes (header included) are multiples of 4096, so the standard
 * block of 8192 bytes serves 8168 bytes. A pool's blocks form a list whose
 * head is the current block; requests are cut from the current block's
 * unused tail. When it is full a standard block becomes the new current
 * block; a request larger than a standard block gets a block of its own,
 * linked behind the current one so that the current block's tail stays in
 * use.
 *
 * Released blocks of up to 20 steps of 4096 bytes go to the shared free
 * lists, one list per size; a list keeps at most kMaxBlocksPerList blocks
 * and all lists together at most kMaxFreeListBytes, the rest goes back to
 * the heap. The last TerminateMemPool empties the free lists.
 *
 * Locks: gTreeMutex guards the root pointer, its use count and every
 * pool's child links; gFreeListMutex guards the free lists. The tree lock
 * may be held while the free-list lock is taken, never the other way round.
 * Nothing else of a pool is shared: one thread uses a pool at a time.
 */
#include "util/mempool.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace orv {

namespace {

struct MemBlock {
    MemBlock* next;
    size_t size; /* whole allocation, header included, a multiple of kBlockStep */
    size_t used; /* bytes of data handed out */
};
static_assert(sizeof(MemBlock) == 24, "the block header is three words");

constexpr size_t kBlockStep = 4096;
constexpr size_t kFreeListCount = 20;
constexpr size_t kStandardBlockSize = 8192;
constexpr size_t kHeaderSize = sizeof(MemBlock);
constexpr size_t kStandardCapacity = kStandardBlockSize - kHeaderSize; /* 8168 */
constexpr size_t kAlign = 8;
constexpr size_t kMaxBlocksPerList = 64;
constexpr size_t kMaxFreeListBytes = size_t{4} * 1024 * 1024;
/* Larger requests are refused before any size arithmetic. */
constexpr size_t kMaxRequest = static_cast<size_t>(PTRDIFF_MAX) - 2 * kBlockStep;

struct Cleanup {
    void (*fn)(void*);
    void* arg;
    Cleanup* next;
};

}  // namespace

struct MemPool {
    MemPool* parent;
    MemPool* firstChild;
    MemPool* nextSibling;
    MemPool* prevSibling;
    MemBlock* blocks; /* head: the current block */
    MemBlock* first;  /* the block the pool was made with, kept by a clear */
    Cleanup* cleanups; /* most recent first */
};

namespace {

std::mutex gTreeMutex;
MemPool* gRoot = nullptr;
int gRootUses = 0;

std::mutex gFreeListMutex;
MemBlock* gFreeLists[kFreeListCount] = {};
size_t gFreeListLengths[kFreeListCount] = {};
size_t gFreeListBytes = 0;
size_t gFreeListBlocks = 0;

char* BlockData(MemBlock* block) { return reinterpret_cast<char*>(block) + kHeaderSize; }

size_t BlockCapacity(const MemBlock* block) { return block->size - kHeaderSize; }

/* The free list for a block size, or kFreeListCount when none covers it. */
size_t FreeListIndex(size_t size) {
    size_t steps = size / kBlockStep;
    if (steps == 0 || steps > kFreeListCount || size % kBlockStep != 0) {
        return kFreeListCount;
    }
    return steps - 1;
}

/* A block of size bytes (a multiple of kBlockStep), empty; null when the
 * heap has none. */
MemBlock* ObtainBlock(size_t size) {
    size_t index = FreeListIndex(size);
    MemBlock* block = nullptr;
    if (index < kFreeListCount) {
        std::lock_guard<std::mutex> hold(gFreeListMutex);
        block = gFreeLists[index];
        if (block != nullptr) {
            gFreeLists[index] = block->next;
            gFreeListLengths[index]--;
            gFreeListBytes -= block->size;
            gFreeListBlocks--;
        }
    }
    if (block == nullptr) {
        block = static_cast<MemBlock*>(std::malloc(size));
        if (block == nullptr) {
            return nullptr;
        }
        block->size = size;
    }
    block->next = nullptr;
    block->used = 0;
    return block;
}

/* Gives a chain of blocks back: to the free lists while they have room,
 * the rest to the heap (outside the lock). */
void ReleaseBlocks(MemBlock* chain) {
    MemBlock* toHeap = nullptr;
    {
        std::lock_guard<std::mutex> hold(gFreeListMutex);
        while (chain != nullptr) {
            MemBlock* block = chain;
            chain = chain->next;
            size_t index = FreeListIndex(block->size);
            if (index < kFreeListCount && gFreeListLengths[index] < kMaxBlocksPerList &&
                block->size <= kMaxFreeListBytes - gFreeListBytes) {
                block->next = gFreeLists[index];
                gFreeLists[index] = block;
                gFreeListLengths[index]++;
                gFreeListBytes += block->size;
                gFreeListBlocks++;
            } else {
                block->next = toHeap;
                toHeap = block;
            }
        }
    }
    while (toHeap != nullptr) {
        MemBlock* next = toHeap->next;
        std::free(toHeap);
        toHeap = next;
    }
}

/* Empties every free list into the heap. */
void DrainFreeLists() {
    MemBlock* chain = nullptr;
    {
        std::lock_guard<std::mutex> hold(gFreeListMutex);
        for (size_t i = 0; i < kFreeListCount; ++i) {
            while (gFreeLists[i] != nullptr) {
                MemBlock* block = gFreeLists[i];
                gFreeLists[i] = block->next;
                block->next = chain;
                chain = block;
            }
            gFreeListLengths[i] = 0;
        }
        gFreeListBytes = 0;
        gFreeListBlocks = 0;
    }
    while (chain != nullptr) {
        MemBlock* next = chain->next;
        std::free(chain);
        chain = next;
    }
}

/* A pool record with its first block, linked nowhere; null when memory is
 * short. */
MemPool* NewPoolRecord() {
    MemPool* pool = static_cast<MemPool*>(std::calloc(1, sizeof(MemPool)));
    if (pool == nullptr) {
        return nullptr;
    }
    MemBlock* block = ObtainBlock(kStandardBlockSize);
    if (block == nullptr) {
        std::free(pool);
        return nullptr;
    }
    pool->blocks = block;
    pool->first = block;
    return pool;
}

/* Links child as the first child of parent. REQUIRES: gTreeMutex held. */
void LinkChildLocked(MemPool* parent, MemPool* child) {
    child->parent = parent;
    child->prevSibling = nullptr;
    child->nextSibling = parent->firstChild;
    if (parent->firstChild != nullptr) {
        parent->firstChild->prevSibling = child;
    }
    parent->firstChild = child;
}

/* Unlinks pool from its parent, if any. REQUIRES: gTreeMutex held. */
void UnlinkLocked(MemPool* pool) {
    if (pool->parent == nullptr) {
        return;
    }
    if (pool->prevSibling != nullptr) {
        pool->prevSibling->nextSibling = pool->nextSibling;
    } else {
        pool->parent->firstChild = pool->nextSibling;
    }
    if (pool->nextSibling != nullptr) {
        pool->nextSibling->prevSibling = pool->prevSibling;
    }
    pool->parent = nullptr;
    pool->nextSibling = nullptr;
    pool->prevSibling = nullptr;
}

/* Runs and forgets the pool's cleanups, most recent first. */
void RunCleanups(MemPool* pool) {
    while (pool->cleanups != nullptr) {
        Cleanup* cleanup = pool->cleanups;
        pool->cleanups = cleanup->next;
        cleanup->fn(cleanup->arg);
    }
}

/* Destroys a pool whose children are gone: cleanups, blocks, record. */
void ReleaseLeafPool(MemPool* pool) {
    RunCleanups(pool);
    ReleaseBlocks(pool->blocks);
    std::free(pool);
}

/* Destroys a pool already unlinked from its parent, with its subtree.
 * Iterative: always the first child of the deepest pool goes next. The
 * subtree is reachable from no other thread, so no lock is needed for its
 * links. */
void DestroyDetached(MemPool* top) {
    MemPool* pool = top;
    while (pool != nullptr) {
        if (pool->firstChild != nullptr) {
            pool = pool->firstChild;
            continue;
        }
        MemPool* parent = (pool == top) ? nullptr : pool->parent;
        if (parent != nullptr) {
            parent->firstChild = pool->nextSibling;
            if (pool->nextSibling != nullptr) {
                pool->nextSibling->prevSibling = nullptr;
            }
        }
        ReleaseLeafPool(pool);
        pool = parent;
    }
}

/* n rounded up to kAlign, a zero request counting as one byte; false when
 * the result does not fit. */
bool RoundRequest(size_t n, size_t* out) {
    if (n > kMaxRequest) {
        return false;
    }
    if (n == 0) {
        n = 1;
    }
    *out = (n + (kAlign - 1)) & ~(kAlign - 1);
    return true;
}

}  // namespace

bool InitializeMemPool() {
    std::lock_guard<std::mutex> hold(gTreeMutex);
    if (gRootUses > 0) {
        gRootUses++;
        return true;
    }
    MemPool* root = NewPoolRecord();
    if (root == nullptr) {
        return false;
    }
    gRoot = root;
    gRootUses = 1;
    return true;
}

void TerminateMemPool() {
    MemPool* root = nullptr;
    {
        std::lock_guard<std::mutex> hold(gTreeMutex);
        if (gRootUses == 0) {
            return;
        }
        if (--gRootUses > 0) {
            return;
        }
        root = gRoot;
        gRoot = nullptr;
    }
    if (root != nullptr) {
        DestroyDetached(root);
    }
    DrainFreeLists();
}

MemPool* GetRootMemPool() {
    std::lock_guard<std::mutex> hold(gTreeMutex);
    return gRoot;
}

MemPool* CreateMemPool(MemPool* parent) {
    MemPool* pool = NewPoolRecord();
    if (pool == nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(gTreeMutex);
    MemPool* under = (parent != nullptr) ? parent : gRoot;
    if (under != nullptr) {
        LinkChildLocked(under, pool);
    }
    return pool;
}

void DestroyMemPool(MemPool* pool) {
    if (pool == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(gTreeMutex);
        UnlinkLocked(pool);
        if (pool == gRoot) {
            /* The root destroyed directly ends every use of it. */
            gRoot = nullptr;
            gRootUses = 0;
        }
    }
    DestroyDetached(pool);
}

void ClearMemPool(MemPool* pool) {
    if (pool == nullptr) {
        return;
    }
    MemPool* children = nullptr;
    {
        std::lock_guard<std::mutex> hold(gTreeMutex);
        children = pool->firstChild;
        pool->firstChild = nullptr;
    }
    while (children != nullptr) {
        MemPool* next = children->nextSibling;
        children->parent = nullptr;
        children->nextSibling = nullptr;
        children->prevSibling = nullptr;
        DestroyDetached(children);
        children = next;
    }
    RunCleanups(pool);

    MemBlock* others = nullptr;
    MemBlock* block = pool->blocks;
    while (block != nullptr) {
        MemBlock* next = block->next;
        if (block != pool->first) {
            block->next = others;
            others = block;
        }
        block = next;
    }
    ReleaseBlocks(others);
    pool->first->next = nullptr;
    pool->first->used = 0;
    pool->blocks = pool->first;
}

void* MemPoolAlloc(MemPool* pool, size_t size) {
    size_t n = 0;
    if (pool == nullptr || !RoundRequest(size, &n)) {
        return nullptr;
    }
    MemBlock* current = pool->blocks;
    MemBlock* target = nullptr;
    if (BlockCapacity(current) - current->used >= n) {
        target = current;
    } else if (n > kStandardCapacity) {
        /* A block of its own, linked behind the current block. n is at most
         * kMaxRequest, so the sum cannot overflow. */
        size_t blockSize = (n + kHeaderSize + (kBlockStep - 1)) / kBlockStep * kBlockStep;
        target = ObtainBlock(blockSize);
        if (target == nullptr) {
            return nullptr;
        }
        target->next = current->next;
        current->next = target;
    } else {
        target = ObtainBlock(kStandardBlockSize);
        if (target == nullptr) {
            return nullptr;
        }
        target->next = current;
        pool->blocks = target;
    }
    char* at = BlockData(target) + target->used;
    target->used += n;
    std::memset(at, 0, n);
    return at;
}

char* MemPoolStrdup(MemPool* pool, const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    return static_cast<char*>(MemPoolMemdup(pool, text, std::strlen(text)));
}

void* MemPoolMemdup(MemPool* pool, const void* data, size_t length) {
    if (length > kMaxRequest || (data == nullptr && length > 0)) {
        return nullptr;
    }
    char* copy = static_cast<char*>(MemPoolAlloc(pool, length + 1));
    if (copy == nullptr) {
        return nullptr;
    }
    if (length > 0) {
        std::memcpy(copy, data, length);
    }
    /* The zero byte is there already: the allocation is zero-filled. */
    return copy;
}

bool MemPoolOnDestroy(MemPool* pool, void (*fn)(void*), void* arg) {
    if (pool == nullptr || fn == nullptr) {
        return false;
    }
    Cleanup* cleanup = static_cast<Cleanup*>(MemPoolAlloc(pool, sizeof(Cleanup)));
    if (cleanup == nullptr) {
        return false;
    }
    cleanup->fn = fn;
    cleanup->arg = arg;
    cleanup->next = pool->cleanups;
    pool->cleanups = cleanup;
    return true;
}

size_t GetMemPoolBlockCount(const MemPool* pool) {
    size_t count = 0;
    if (pool != nullptr) {
        for (const MemBlock* block = pool->blocks; block != nullptr; block = block->next) {
            ++count;
        }
    }
    return count;
}

size_t GetMemPoolBytesHeld(const MemPool* pool) {
    size_t bytes = 0;
    if (pool != nullptr) {
        for (const MemBlock* block = pool->blocks; block != nullptr; block = block->next) {
            bytes += block->size;
        }
    }
    return bytes;
}

size_t GetMemPoolFreeListBlocks() {
    std::lock_guard<std::mutex> hold(gFreeListMutex);
    return gFreeListBlocks;
}

size_t GetMemPoolFreeListBytes() {
    std::lock_guard<std::mutex> hold(gFreeListMutex);
    return gFreeListBytes;
}

}  // namespace orv
