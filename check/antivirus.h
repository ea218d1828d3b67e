/*
 * Detection of the antivirus product among the installed programs of one
 * registry view, and the comparison of its version with the minimum at
 * which its fix counts as installed. Changes nothing. Thread-safe.
 */
#ifndef ORV_CHECK_ANTIVIRUS_H
#define ORV_CHECK_ANTIVIRUS_H

#include <string>
#include <vector>

#include "platform/win32.h"

namespace orv {

extern const char* const kUninstallKeyPath;
extern const char* const kAntivirusDisplayName;
extern const char* const kAntivirusMinimumVersion;

/* True when the view is clear: the product is not registered, or the last
 * of its entries whose version was read is at or above the minimum version
 * and no entry of it has a version that cannot be read. False when it is
 * registered below the minimum, when one of its entries has no readable
 * version, or when the uninstall key cannot be opened. view64 chooses the
 * 64-bit view, otherwise the 32-bit view. */
bool CheckAntivirusFix(bool view64);

/* The names of all subkeys of an open key, in index order; a name that
 * cannot be read is skipped. */
std::vector<std::string> ListSubkeyNames(HKEY key);

/* Compares dotted versions component by component from the left: 1 when
 * installed is the higher, -1 when lower, 0 when equal. Missing components
 * count as 0; every character but "." counts as a digit (c - '0'), and a
 * component wraps at 32 bits. */
int CompareVersions(const char* installed, const char* required);

}  // namespace orv

#endif
