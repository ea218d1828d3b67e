// Takes identifiers from one sequence of a test database and prints each
// to a file as soon as it has it, for the sequence tests that run several
// processes at once or end one with SIGKILL.
//
//   seqgen_helper ENGINE TABLE SEQUENCE COUNT OUTPUT LOGDIR [DELAY_US [HOLD_AFTER]]
//
// Starts the library on ENGINE ("sqlite", "pg", "mariadb"; the database
// environment from ORV_DB_DIR), defines TABLE with an integer column whose
// generator is SEQUENCE, primes it (SequenceGenerator) and then takes COUNT
// identifiers with GenerateID (0: until it is ended), waiting DELAY_US
// microseconds after each. OUTPUT gets one identifier per line, flushed at
// once, and "DONE" after the last; "FAILED <reason>" ends it early.
// Exits 0 after DONE, 1 otherwise.
// With HOLD_AFTER (above 0) it stops after that many identifiers, writes
// "HOLDING" and waits to be ended (a test kills it then, between two
// identifiers); it ends itself with its parent, or after ten minutes.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/db/library_session.h"

int main(int argc, char** argv) {
    using namespace orv;
    using namespace orv::test;
    if (argc < 7) {
        fprintf(stderr, "usage: %s ENGINE TABLE SEQUENCE COUNT OUTPUT LOGDIR [DELAY_US [HOLD_AFTER]]\n", argv[0]);
        return 2;
    }
    const std::string engine = argv[1], table = argv[2], sequence = argv[3];
    const long count = strtol(argv[4], nullptr, 10);
    const long delay = argc > 7 ? strtol(argv[7], nullptr, 10) : 0;
    const long holdAfter = argc > 8 ? strtol(argv[8], nullptr, 10) : 0;
    const pid_t parent = getppid();
    if (holdAfter > 0) prctl(PR_SET_PDEATHSIG, SIGKILL);
    FILE* out = fopen(argv[5], "w");
    if (out == nullptr) return 1;
    auto fail = [&](const std::string& reason) {
        fprintf(out, "FAILED %s\n", reason.c_str());
        fclose(out);
        return 1;
    };
    std::string error;
    if (!LoadDbEnvironment(&error)) return fail(error);
    LibrarySession session;
    if (!session.Start(DbContextNamed(engine), argv[6], &error)) return fail(error);
    if (!session.Define(table, {{"ID", ORV_SQL_INT, 0, sequence}})) return fail("define");
    if (!SequenceGenerator()) return fail("SequenceGenerator");
    const ColumnDefnEntry* column = GetColumnDefnEntry(table.c_str(), "ID");
    for (long i = 0; count == 0 || i < count; ++i) {
        int32_t id = GenerateID(table.c_str(), column);
        if (id < 0) return fail("GenerateID");
        fprintf(out, "%d\n", id);
        fflush(out);
        if (delay > 0) usleep(static_cast<useconds_t>(delay));
        if (holdAfter > 0 && i + 1 == holdAfter) {
            fprintf(out, "HOLDING\n");
            fflush(out);
            for (int s = 0; s < 600 && getppid() == parent; ++s) sleep(1);
            return fail("not ended while holding");
        }
    }
    fprintf(out, "DONE\n");
    fclose(out);
    session.Stop();
    return 0;
}
