/*
 * Change notification listeners: named callbacks told of every row added,
 * modified or removed in the in-memory table store, synchronously on the
 * changing thread, with a copy of the row.
 *
 * Thread-safety: the listener list has no lock of its own; listeners are
 * added and removed while no changes are being made.
 */
#ifndef ORV_DATASTORE_NOTIFICATION_H
#define ORV_DATASTORE_NOTIFICATION_H

#include <cstdint>

#include "datastore/relvar.h"
#include "util/datetime.h"

namespace orv {

/* One change, passed to the callbacks and freed after the last one. */
struct IMDSNotification {
    char* tableName;     /* owned copy */
    RowObject* row;      /* owned copy of the changed row (no successor) */
    OrvDateTime* time;   /* local time of the change */
    int32_t columnCount; /* of the row's relvar */
};

typedef void (*NotificationCallback)(IMDSNotification* notification, const char* listenerName);

struct NotificationListener {
    char* name;          /* the caller's heap text, freed on removal */
    char** tables;       /* the caller's null-ended array, sorted in place, kept */
    uint8_t enabled;
    uint8_t eventType;   /* 0 every change, else a row state flag */
    NotificationCallback callback;
};

/* Makes the listener list empty (removing any listeners). */
void InitNotification();

/* Adds an enabled or disabled listener. The name (a heap text) and the
 * table array (null-ended, at least one name) are kept, not copied: the
 * names array is sorted in place without regard to case. A listener with
 * the same name (without regard to case) is not added; the result is then
 * still true and the name handed over is freed. False when memory runs out. */
uint8_t AddNotificationListener(char* name, uint8_t eventType, NotificationCallback callback, uint8_t enabled,
                                char** tables);

uint8_t DisableNotificationListener(const char* name);

/* Removes and frees the first listener of that name (its name text; the
 * table array stays the caller's). */
uint8_t RemoveNotificationListener(const char* name);

/* Tells every enabled listener of the table whose event type fits the
 * row's state flags. */
void SendNotification(const RowObject* row, const char* tableName);

void DeInitNotification();

/* A notification for the row of that relvar, or null when the relvar does
 * not exist or memory runs out. */
IMDSNotification* CreateIMDSNotification(const RowObject* row, const char* tableName);
void FreeIMDSNotification(IMDSNotification* notification);

/* True when the sorted names hold the name (without regard to case). */
uint8_t IsListContains(char* const* sortedNames, const char* name);

}  // namespace orv

#endif
