/*
 * Path translation for the file calls of this layer. Thread-safe.
 */
#ifndef ORV_PLATFORM_LINUX_PATHS_H
#define ORV_PLATFORM_LINUX_PATHS_H

#include <string>

namespace orv::platform {

/* Returns path with every backslash made a '/', the directory separator
 * on Linux; "" for a null path. Every file call of this layer passes its
 * paths through here. */
std::string LinuxPath(const char* path);

}  // namespace orv::platform

#endif
