/*
 * The library root: the directory under which the library finds its data
 * files ("<root>/data/...") and its log ("<root>/logs/velkra.log").
 *
 * The library keeps the caller's text itself (no copy): it must outlive the
 * library's use of it. Set at start-up, before other threads run.
 */
#ifndef ORV_DATASTORE_VELKRA_ROOT_H
#define ORV_DATASTORE_VELKRA_ROOT_H

namespace orv {

/* Logs "@@@ Inside SetVelkraRoot @@@\n" at TRACE. A null path logs "Default
 * Path Used" at DEBUG and leaves the root as it was; otherwise the root
 * becomes the path (and the log writer falls back on it). */
void SetVelkraRoot(const char* path);

/* The root, or null when none was set. */
const char* GetVelkraRoot();

}  // namespace orv

#endif
