/*
 * The save batch and the rule from a row's state to its statement.
 */
#include "persist/save_batch.h"

#include "agent/log.h"
#include "db/connection.h"
#include "db/transaction_guard.h"

namespace orv {

namespace {

/* Attempts at one transaction for a batch before the rest run one at a
 * time. */
constexpr int kMaxSaveAttempts = 10;

}  // namespace

SaveKind SaveKindOf(uint8_t state) {
    if (state == (kRowStored | kRowModified)) return SaveKind::kUpdate;
    if ((state & kRowStored) && (state & kRowDeleted)) return SaveKind::kDelete;
    if (state == kRowNew || state == (kRowNew | kRowModified)) return SaveKind::kInsert;
    return SaveKind::kNone;
}

char* GenerateSaveQuery(SaveKind kind, const char* tableName, const RowObject* row) {
    switch (kind) {
        case SaveKind::kUpdate:
            return GenerateUpdateQuery(tableName, row);
        case SaveKind::kDelete:
            return GenerateDeleteQuery(tableName, row);
        case SaveKind::kInsert:
            return GenerateInsertQuery(tableName, row);
        case SaveKind::kNone:
            break;
    }
    return nullptr;
}

uint8_t WrittenState(uint8_t state) { return (state & kRowDeleted) ? kRowDeleted : kRowStored; }

void LogFailedSaveStatement(const char* sql) {
    LogError("Error in executing update query \n");
    LogError("QUERY : %s\n", sql != nullptr ? sql : "(null)");
}

void RunSaveBatch(DBConnection* connection, const SaveBatchWords& words, std::vector<SaveStatement>* statements) {
    if (statements->empty()) return;
    std::vector<SaveStatement>& batch = *statements;
    std::vector<bool> failed(batch.size(), false);
    TransactionGuard transaction(connection);
    for (int attempt = 0; attempt < kMaxSaveAttempts; ++attempt) {
        if (attempt > 0) transaction.Restart();
        if (!transaction.open()) {
            LogError("Cannot begin the transaction of %s\n", words.caller);
            return;
        }
        size_t failedAt = batch.size();
        for (size_t i = 0; i < batch.size() && failedAt == batch.size(); ++i) {
            if (!failed[i] && ExecuteUpdate(connection, batch[i].sql) != 1) failedAt = i;
        }
        if (failedAt == batch.size()) {
            if (!transaction.Commit()) {
                LogError("Commit failed in %s: every row keeps its %s\n", words.caller, words.kept);
                return;
            }
            for (size_t i = 0; i < batch.size(); ++i) batch[i].written = !failed[i];
            return;
        }
        LogFailedSaveStatement(batch[failedAt].sql);
        transaction.Rollback();
        failed[failedAt] = true;
    }
    LogError("%s: %d statements failed; the others run one at a time\n", words.caller, kMaxSaveAttempts);
    for (size_t i = 0; i < batch.size(); ++i) {
        if (failed[i]) continue;
        if (ExecuteUpdate(connection, batch[i].sql) == 1) {
            batch[i].written = true;
        } else {
            LogFailedSaveStatement(batch[i].sql);
        }
    }
}

}  // namespace orv
