/*
 * The check run's options, filled from its command line. Not thread-safe;
 * the run is single-threaded.
 */
#ifndef ORV_CHECK_CHECK_OPTIONS_H
#define ORV_CHECK_CHECK_OPTIONS_H

#include <cstdint>
#include <string>

namespace orv {

constexpr int32_t kDefaultFoundError = 50020;
constexpr int32_t kDefaultNotFoundError = 0;

struct CheckOptions {
    std::string name;                                // -name, only logged
    int32_t foundError = kDefaultFoundError;         // -foundError: exit code when not clear
    int32_t notFoundError = kDefaultNotFoundError;   // -notFoundError: exit code when clear
    std::string fileToInstall;                       // -fileToInstall, only logged
    std::string installSwitch;                       // -switch, only logged
    int32_t installIfAvFound = 0;                    // -installIfAvFound, only logged
    std::string processName;                         // -processname: the product's executable
};

/* Reads an integer as "%ld" does: blanks skipped, an optional sign, then
 * decimal digits up to the first other character. A number too large for 32
 * bits keeps its low 32 bits. Returns false, leaving *value alone, when no
 * digit follows. */
bool ParseLongValue(const char* text, int32_t* value);

/* Walks argv[1..argc-1]: each option (ASCII case ignored) takes the next
 * token as its value whatever it looks like, stores it and logs its INFO
 * line; other tokens, and an option standing last, are skipped silently. */
void ParseCheckOptions(int argc, const char* const* argv, CheckOptions* options);

}  // namespace orv

#endif
