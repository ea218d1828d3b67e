/*
 * The vector's operations. Every operation that touches the chain does so
 * under one hold of the object lock keyed by the vector's address; the
 * helpers in the unnamed namespace assume that hold and never lock again,
 * so no operation takes a vector's key while already holding it.
 */
#include "util/vector.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "agent/log.h"
#include "agent/object_lock.h"
#include "agent/strings.h"

namespace orv {

namespace {

/* Holds the object lock keyed by the vector for the guard's lifetime. */
class VectorLock {
public:
    explicit VectorLock(const Vector* vector) : key_(vector) { LockObject(key_); }
    ~VectorLock() { UnlockObject(key_); }
    VectorLock(const VectorLock&) = delete;
    VectorLock& operator=(const VectorLock&) = delete;

private:
    const void* key_;
};

/* Unlinks node, whose predecessor is prev (null for the head), and frees
 * it. REQUIRES: the vector's lock is held and node is in the chain. */
void UnlinkAndFree(Vector* vector, VectorNode* prev, VectorNode* node) {
    if (prev == nullptr) {
        vector->head = node->next;
    } else {
        prev->next = node->next;
    }
    if (vector->tail == node) {
        vector->tail = prev;
    }
    vector->count--;
    std::free(node);
}

/* Appends without consulting a compare routine. REQUIRES: the lock is
 * held. */
void AppendLocked(Vector* vector, VectorNode* node) {
    node->next = nullptr;
    if (vector->head == nullptr) {
        vector->head = node;
    } else {
        vector->tail->next = node;
    }
    vector->tail = node;
    vector->count++;
}

/* Places the node in the compare routine's order. Returns 0 when an equal
 * element is present. REQUIRES: the lock is held. */
uint8_t InsertOrderedLocked(Vector* vector, VectorNode* node) {
    VectorNode* prev = nullptr;
    VectorNode* cur = vector->head;
    while (cur != nullptr) {
        int8_t order = vector->compare(node, cur);
        if (order == 0) {
            return 0;
        }
        if (order < 0) {
            break;
        }
        prev = cur;
        cur = cur->next;
    }
    node->next = cur;
    if (prev == nullptr) {
        vector->head = node;
    } else {
        prev->next = node;
    }
    if (cur == nullptr) {
        vector->tail = node;
    }
    vector->count++;
    return 1;
}

/* Copies the element pointers of the chain in order. REQUIRES: the lock is
 * held. Returns false when memory runs out. */
bool SnapshotLocked(const Vector* vector, std::vector<void*>* out) {
    try {
        out->reserve(static_cast<size_t>(vector->count > 0 ? vector->count : 0));
        for (VectorNode* cur = vector->head; cur != nullptr; cur = cur->next) {
            out->push_back(cur->element);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

/* Releases a vector made here that must not be handed out. */
void DiscardClone(Vector* clone) {
    for (VectorNode* cur = clone->head; cur != nullptr;) {
        VectorNode* next = cur->next;
        std::free(cur->element);
        std::free(cur);
        cur = next;
    }
    std::free(clone);
}

}  // namespace

Vector* InitVector(Vector* vector, const VectorCompareHolder* holder) {
    LogTrace("@@@ Inside InitVector @@@\n");
    if (vector == nullptr) {
        return nullptr;
    }
    vector->head = nullptr;
    vector->count = 0;
    vector->tail = nullptr;
    vector->compare = holder != nullptr ? holder->compare : nullptr;
    return vector;
}

Vector* NewVector() {
    LogTrace("@@@ Inside NewVector @@@\n");
    auto* vector = static_cast<Vector*>(std::calloc(1, sizeof(Vector)));
    if (vector == nullptr) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return nullptr;
    }
    return InitVector(vector, nullptr);
}

uint8_t AddElement(Vector* vector, VectorNode* node) {
    LogTrace("@@@ Inside AddElement @@@\n");
    if (vector == nullptr || node == nullptr) {
        return 0;
    }
    VectorLock lock(vector);
    if (vector->compare == nullptr || vector->head == nullptr) {
        AppendLocked(vector, node);
        return 1;
    }
    return InsertOrderedLocked(vector, node);
}

uint8_t AddValue(Vector* vector, void* element) {
    LogTrace("@@@ Inside AddValue @@@\n");
    auto* node = static_cast<VectorNode*>(std::calloc(1, sizeof(VectorNode)));
    if (node == nullptr) {
        return 0;
    }
    node->element = element;
    if (AddElement(vector, node) != 1) {
        std::free(node);
        return 0;
    }
    return 1;
}

bool InsertElementAt(Vector* vector, VectorNode* node, int32_t index) {
    LogTrace("@@@ Inside InsertElementAt @@@\n");
    if (vector == nullptr || node == nullptr) {
        return false;
    }
    VectorLock lock(vector);
    if (index < 0 || index > vector->count) {
        return false;
    }
    if (index == vector->count) {
        AppendLocked(vector, node);
        return true;
    }
    if (index == 0) {
        node->next = vector->head;
        vector->head = node;
    } else {
        VectorNode* prev = vector->head;
        for (int32_t i = 1; i < index; i++) {
            prev = prev->next;
        }
        node->next = prev->next;
        prev->next = node;
    }
    vector->count++;
    return true;
}

bool DeleteElement(Vector* vector, VectorNode* node) {
    LogTrace("@@@ Inside DeleteElement @@@\n");
    if (vector == nullptr) {
        return false;
    }
    VectorLock lock(vector);
    if (vector->head == nullptr) {
        return false;
    }
    VectorNode* prev = nullptr;
    for (VectorNode* cur = vector->head; cur != nullptr; prev = cur, cur = cur->next) {
        if (cur == node) {
            UnlinkAndFree(vector, prev, cur);
            break;
        }
    }
    return true;
}

uint8_t DeleteElementAt(Vector* vector, int32_t index) {
    LogTrace("@@@ Inside DeleteElementAt @@@\n");
    if (vector == nullptr) {
        return 0;
    }
    VectorLock lock(vector);
    if (index < 0 || index >= vector->count || vector->head == nullptr) {
        return 0;
    }
    VectorNode* prev = nullptr;
    VectorNode* cur = vector->head;
    for (int32_t i = 0; i < index && cur != nullptr; i++) {
        prev = cur;
        cur = cur->next;
    }
    if (cur == nullptr) {
        return 0;
    }
    UnlinkAndFree(vector, prev, cur);
    return 1;
}

VectorNode* ElementAt(Vector* vector, int32_t index) {
    LogTrace("@@@ Inside ElementAt @@@\n");
    if (vector == nullptr) {
        return nullptr;
    }
    VectorLock lock(vector);
    if (index < 0 || index >= vector->count) {
        return nullptr;
    }
    VectorNode* cur = vector->head;
    for (int32_t i = 0; i < index && cur != nullptr; i++) {
        cur = cur->next;
    }
    return cur;
}

VectorNode* GetNthElement(Vector* vector, int32_t n, VectorNode* start) {
    LogTrace("@@@ Inside GetNthElement @@@\n");
    if (vector == nullptr || n < 0 || n >= vector->count || vector->head == nullptr) {
        return nullptr;
    }
    VectorNode* cur = start;
    for (int32_t i = 0; i < n && cur != nullptr; i++) {
        cur = cur->next;
    }
    return cur;
}

bool DeleteLCDVector(Vector* vector, const void* element) {
    LogTrace("@@@ Inside DeleteLCDVector @@@\n");
    if (vector == nullptr) {
        return false;
    }
    VectorLock lock(vector);
    VectorNode* prev = nullptr;
    for (VectorNode* cur = vector->head; cur != nullptr; prev = cur, cur = cur->next) {
        if (cur->element == element) {
            UnlinkAndFree(vector, prev, cur);
            return true;
        }
    }
    return false;
}

uint8_t MergeVector(Vector* destination, Vector* source) {
    LogTrace("@@@ Inside MergeVector @@@\n");
    if (destination == nullptr || source == nullptr) {
        return 0;
    }
    if (destination == source) {
        return 1;
    }
    std::vector<void*> elements;
    bool copied;
    {
        VectorLock lock(source);
        copied = SnapshotLocked(source, &elements);
    }
    if (!copied) {
        return 99;
    }
    for (void* element : elements) {
        auto* node = static_cast<VectorNode*>(std::calloc(1, sizeof(VectorNode)));
        if (node == nullptr) {
            return 99;
        }
        node->element = element;
        if (AddElement(destination, node) != 1) {
            std::free(node);  // refused by the destination's compare routine
        }
    }
    FreeVector(source);
    return 1;
}

Vector* CloneVector(Vector* vector) {
    LogTrace("@@@ Inside CloneVector @@@\n");
    if (vector == nullptr) {
        LogError("Cannot clone vector.  Vector is NULL.\n");
        return nullptr;
    }
    Vector* clone = NewVector();
    if (clone == nullptr) {
        return nullptr;
    }
    std::vector<void*> elements;
    bool copied;
    {
        VectorLock lock(vector);
        copied = SnapshotLocked(vector, &elements);
    }
    if (!copied) {
        DiscardClone(clone);
        return nullptr;
    }
    for (void* element : elements) {
        char* copy = nullptr;
        if (element != nullptr) {
            const char* text = static_cast<const char*>(element);
            if (DuplicateBytes(&copy, text, std::strlen(text)) != kDupOk) {
                DiscardClone(clone);
                return nullptr;
            }
        }
        if (AddValue(clone, copy) != 1) {
            std::free(copy);
            DiscardClone(clone);
            return nullptr;
        }
    }
    return clone;
}

void FreeVector(Vector* vector) {
    LogTrace("@@@ Inside FreeVector @@@\n");
    if (vector == nullptr) {
        return;
    }
    VectorLock lock(vector);
    for (VectorNode* cur = vector->head; cur != nullptr;) {
        VectorNode* next = cur->next;
        std::free(cur);
        cur = next;
    }
    vector->head = nullptr;
    vector->tail = nullptr;
    vector->count = 0;
}

}  // namespace orv
