/*
 * The error channel beside the log: each thread keeps the ERROR records it
 * produced since it last cleared them, so that a caller can ask why a call
 * failed (as sqlite3_errmsg answers) instead of reading the log back.
 *
 * Every LogError call is kept for its thread, whatever the log level and
 * whether or not a log file is open: the failure happened even when the
 * log does not write it. Other threads' records never show. The channel
 * writes nothing to the log and changes no log line.
 *
 * A record is kept as the log writes it: "[ stamp ] [ thread ] [ERROR] "
 * and the message; when the log file holds it, with the same stamp. The
 * message is the text that LogError formatted, its own line end included.
 * A thread keeps at most its limit of records (kLogErrorLimit unless it set
 * another), dropping the oldest first; its last record is always kept.
 * Memory is given back by ClearLogErrors and when the thread ends.
 *
 * Thread-safety: every function works on the calling thread's records only;
 * no lock is taken. A returned text stays valid until the thread's next
 * LogError, ClearLogErrors or SetLogErrorLimit.
 */
#ifndef ORV_AGENT_LOG_ERRORS_H
#define ORV_AGENT_LOG_ERRORS_H

#include <cstddef>

namespace orv {

/* How many ERROR records a thread keeps unless it set another limit. */
constexpr size_t kLogErrorLimit = 64;

/* The message of the calling thread's last ERROR record since its last
 * clear, its line end included; "" when there is none. Never null. */
const char* GetLastLogError();

/* Forgets the calling thread's ERROR records (the dropped count too). */
void ClearLogErrors();

/* The number of ERROR records the calling thread keeps now. */
size_t CountLogErrors();

/* Record i of the calling thread's kept ERROR records, oldest first, as the
 * log writes it ("[ stamp ] [ thread ] [ERROR] message"); null when i is
 * not below CountLogErrors(). */
const char* GetLogErrorRecord(size_t i);

/* How many of the calling thread's ERROR records since its last clear were
 * dropped to stay within its limit. */
size_t CountDroppedLogErrors();

/* Sets how many ERROR records the calling thread keeps (at least 1; 0 is
 * taken as 1), dropping the oldest ones beyond it now. */
void SetLogErrorLimit(size_t limit);

/* For the log writer: keeps one ERROR record of the calling thread, the
 * prefix (prefixLength bytes) followed by the message (length bytes). A
 * record that cannot be kept for want of memory is dropped and counted,
 * and the older ones with it (they would no longer end in the last). */
void KeepLogError(const char* prefix, size_t prefixLength, const char* message, size_t length);

}  // namespace orv

#endif
