/*
 * The transaction guard over BeginTransaction, CommitTransaction and
 * RollbackTransaction, and the transaction lock key of a connection.
 */
#include "db/transaction_guard.h"

#include "agent/object_lock.h"
#include "db/connection.h"

namespace orv {

const void* TransactionLockKey(const DBConnection* connection) {
    return reinterpret_cast<const char*>(connection) + 1;
}

TransactionGuard::TransactionGuard(DBConnection* connection) : connection_(connection) {
    LockObject(TransactionLockKey(connection_));
    open_ = BeginTransaction(connection_) == 1;
}

TransactionGuard::~TransactionGuard() {
    Rollback();
    UnlockObject(TransactionLockKey(connection_));
}

bool TransactionGuard::Commit() {
    if (!open_) return false;
    open_ = false;
    return CommitTransaction(connection_) == 1;
}

bool TransactionGuard::Rollback() {
    if (!open_) return false;
    open_ = false;
    return RollbackTransaction(connection_) == 1;
}

bool TransactionGuard::Restart() {
    Rollback();
    open_ = BeginTransaction(connection_) == 1;
    return open_;
}

}  // namespace orv
