/*
 * The transaction guard: one transaction on a connection, held under the
 * connection's transaction lock from the guard's making to its end, and
 * rolled back when it goes out of scope without a commit. It replaces the
 * hand-paired lock, begin, commit, rollback and unlock of the library's
 * own transactions (the save batch, the sequence batch).
 *
 * A guard belongs to the thread that made it; guards on different
 * connections are independent, two guards on one connection wait for each
 * other.
 */
#ifndef ORV_DB_TRANSACTION_GUARD_H
#define ORV_DB_TRANSACTION_GUARD_H

namespace orv {

struct DBConnection;

/* The object lock key that serialises the library's transactions on one
 * connection: a data source with a single connection shares it between
 * threads, and two transactions interleaved on it would be one. Held from
 * BeginTransaction to the commit or rollback; never while a listener or
 * other caller code runs. Distinct from the key the provider takes for
 * each statement. */
const void* TransactionLockKey(const DBConnection* connection);

class TransactionGuard {
public:
    /* Takes the transaction lock of connection (waiting for it) and begins
     * a transaction; open() tells whether it began. REQUIRES: connection is
     * not null and this thread does not hold its transaction lock. */
    explicit TransactionGuard(DBConnection* connection);
    /* Rolls back the transaction when it is still open, then gives the
     * lock back. */
    ~TransactionGuard();
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;

    /* Commits the open transaction: true when the commit succeeded, false
     * when it failed or none was open. Either way the transaction is over:
     * a failed commit is not rolled back again (the connection has left
     * the transaction). */
    bool Commit();
    /* Rolls back the open transaction (nothing when none is open): true
     * when the rollback succeeded. The lock stays held. */
    bool Rollback();
    /* Rolls back the open transaction, if any, and begins a new one under
     * the same lock: true when it began. */
    bool Restart();

    /* A transaction was begun and is neither committed nor rolled back. */
    bool open() const { return open_; }
    DBConnection* connection() const { return connection_; }

private:
    DBConnection* connection_;
    bool open_ = false;
};

}  // namespace orv

#endif
