/*
 * The library root: the directory under which the library finds its data
 * files ("<root>/data/...") and its log ("<root>/logs/velkra.log").
 *
 * The library keeps a copy of the caller's text: the caller's own text may
 * go away at once. Set at start-up, before other threads run; the root is
 * forgotten at shutdown (DeInitVelkra).
 */
#ifndef ORV_DATASTORE_VELKRA_ROOT_H
#define ORV_DATASTORE_VELKRA_ROOT_H

namespace orv {

/* Logs "@@@ Inside SetVelkraRoot @@@\n" at TRACE. A null path logs "Default
 * Path Used" at DEBUG and leaves the root as it was; otherwise the root
 * becomes a copy of the path (and the log writer falls back on it). */
void SetVelkraRoot(const char* path);

/* The root, or null when none was set. The text stays valid until the
 * next SetVelkraRoot or ClearVelkraRoot. */
const char* GetVelkraRoot();

/* Forgets the root (and the log writer's copy of it). */
void ClearVelkraRoot();

}  // namespace orv

#endif
