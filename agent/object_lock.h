/*
 * The object lock: a process-wide lock keyed by any address.
 *
 * A key is held from LockObject until UnlockObject. Waiters sleep until the
 * key is given back and are then woken; there is no polling. The lock is not
 * re-entrant: a thread must not take a key it already holds. Thread-safe.
 */
#ifndef ORV_AGENT_OBJECT_LOCK_H
#define ORV_AGENT_OBJECT_LOCK_H

namespace orv {

/* Prepares the lock for use by several threads and writes an entry line at
 * TRACE. The lock also works before this call; calling it again is harmless. */
void InitMutex();

/* Waits until the key is free and takes it. REQUIRES: the caller does not
 * hold the key already. */
void LockObject(const void* key);

/* Gives the key back and wakes its waiters. A key that is not held is
 * ignored. */
void UnlockObject(const void* key);

/* Releases the lock's mutex at shutdown (the counterpart of InitMutex). Keys
 * may still be taken afterwards. */
void CloseObjectLockMutex();

}  // namespace orv

#endif
