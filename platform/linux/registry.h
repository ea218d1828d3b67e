/*
 * Internal hooks of the file-backed registry. Thread-safe.
 */
#ifndef ORV_PLATFORM_LINUX_REGISTRY_H
#define ORV_PLATFORM_LINUX_REGISTRY_H

namespace orv::platform {

/* Forgets the loaded registry, so that the next registry call loads the file
 * named by ORV_REGISTRY_FILE again. Keys already open keep seeing the
 * registry they were opened in. For unit tests. */
void ReloadRegistryForTesting();

}  // namespace orv::platform

#endif
