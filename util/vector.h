/*
 * The vector: the library's one list container.
 *
 * Despite its name a vector is a singly linked list of untyped element
 * pointers with a head, a tail and a count, kept in insertion order (or in
 * the order of an optional compare routine). The vector never owns its
 * elements: releasing it frees its nodes, the elements stay the caller's.
 *
 * Thread-safety: the operations that read or change the chain take the
 * object lock keyed by the vector's own address for their whole run, so
 * several threads may add to and delete from one vector. GetNthElement and
 * InitVector take no lock, and a caller that walks the next links itself
 * (after ElementAt) must not do so while another thread removes nodes. The
 * object lock is not re-entrant: a compare routine must not call a vector
 * operation on the vector it is ordering.
 *
 * Memory: nodes are heap blocks from malloc/calloc; a node handed to
 * AddElement or InsertElementAt belongs to the vector from then on and is
 * released with free() when it is removed. A vector from NewVector or
 * CloneVector is released with FreeVector followed by free().
 */
#ifndef ORV_UTIL_VECTOR_H
#define ORV_UTIL_VECTOR_H

#include <cstdint>

namespace orv {

/* One element of a vector; the element is the first field, so a node
 * pointer can be read as a pointer to its element pointer. */
struct VectorNode {
    void* element;
    VectorNode* next;
};

/* Ordering routine: given a new node and a node already present, above 0
 * when the new element belongs after the present one, below 0 when before
 * it, 0 when the two are equal. */
typedef int8_t (*VectorCompare)(const VectorNode* newNode, const VectorNode* presentNode);

/* A holder of a compare routine: the routine is its first word. */
struct VectorCompareHolder {
    VectorCompare compare;
};

/* Invariants: count equals the number of nodes reachable from head; tail is
 * the last of them; an empty vector has head and tail null and count 0. */
struct Vector {
    VectorNode* head;
    int32_t count;
    VectorNode* tail;
    VectorCompare compare;
};

/* Clears head, count and tail; takes the compare routine from the holder
 * when one is given, else none. Returns the vector (null for a null
 * vector). Takes no lock: use it before the vector is shared. */
Vector* InitVector(Vector* vector, const VectorCompareHolder* holder = nullptr);

/* A new zero-filled heap vector without a compare routine, or null with
 * "MEMORY_ALLOCATION_FAILURE\n" at ERROR. */
Vector* NewVector();

/* Adds a heap node whose element is set (its next is overwritten). Without
 * a compare routine the node is appended after the tail. With one it is
 * placed in order, and a node whose element compares equal to one present
 * is refused. Returns 1 when added, 0 when refused or an argument is null;
 * a refused node stays the caller's. Takes the vector's lock. */
uint8_t AddElement(Vector* vector, VectorNode* node);

/* Wraps the element in a new node and AddElements it. Returns 1 when added,
 * 0 when no node could be allocated (nothing logged) or it was refused (the
 * node is then freed again). */
uint8_t AddValue(Vector* vector, void* element);

/* Links the heap node in at the index (0 makes it the head, count makes it
 * the tail), ignoring any compare routine. Returns false for an index below
 * 0 or above count, or a null argument. Takes the vector's lock. */
bool InsertElementAt(Vector* vector, VectorNode* node, int32_t index);

/* Removes the node (found by identity) and frees it; the element is not
 * touched. Returns false for an empty or null vector, true otherwise, also
 * when the node is not in the vector (then nothing changes). Takes the
 * vector's lock. */
bool DeleteElement(Vector* vector, VectorNode* node);

/* Removes and frees the node at the index. Returns 1, or 0 for an index
 * outside 0 to count - 1. Takes the vector's lock. */
uint8_t DeleteElementAt(Vector* vector, int32_t index);

/* The node at the index, or null for an index outside 0 to count - 1. Takes
 * the vector's lock; the node may be freed by another thread afterwards. */
VectorNode* ElementAt(Vector* vector, int32_t index);

/* The node n links after the start node, or null when n is below 0, n is
 * count or more, the vector is empty, or the chain ends first. Takes no
 * lock. */
VectorNode* GetNthElement(Vector* vector, int32_t n, VectorNode* start);

/* Removes the first node whose element is this very pointer (addresses are
 * compared, not contents). Returns true when such a node was removed. The
 * search and the removal happen under one hold of the vector's lock. */
bool DeleteLCDVector(Vector* vector, const void* element);

/* Appends every element of the source to the destination (shared by
 * reference, in the source's order) and empties the source. Returns 1, 99
 * when a node cannot be allocated (both vectors are left as far as they
 * got and the source is not emptied), or 0 for a null vector. Merging a
 * vector into itself changes nothing and returns 1. The source's lock and
 * the destination's lock are taken in turn, never together. */
uint8_t MergeVector(Vector* destination, Vector* source);

/* A new heap vector holding heap copies of the source's elements, which must
 * all be zero-terminated texts (a null element is copied as null), in the
 * same order. Returns null with "Cannot clone vector.  Vector is NULL.\n" at
 * ERROR for a null vector, or null when an allocation fails (nothing is
 * left allocated then). The copies are the caller's to free. */
Vector* CloneVector(Vector* vector);

/* Frees every node, leaving head and tail null and count 0. The elements
 * and the vector record itself are not touched. Takes the vector's lock. */
void FreeVector(Vector* vector);

}  // namespace orv

#endif
