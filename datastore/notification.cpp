/*
 * Change notification listeners.
 */
#include "datastore/notification.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "agent/log.h"
#include "agent/strings.h"

namespace orv {

namespace {

Vector* g_listeners = nullptr;

/* The node of the first listener of that name, and its index. */
VectorNode* FindListener(const char* name, int32_t* index) {
    if (g_listeners == nullptr || name == nullptr) return nullptr;
    int32_t i = 0;
    for (VectorNode* node = ElementAt(g_listeners, 0); node != nullptr; node = node->next, ++i) {
        auto* listener = static_cast<NotificationListener*>(node->element);
        if (strcasecmp(listener->name, name) == 0) {
            if (index) *index = i;
            return node;
        }
    }
    return nullptr;
}

void FreeListener(NotificationListener* listener) {
    free(listener->name);
    free(listener);
}

/* Event type 0 fits every row; otherwise the row's flags must be the event
 * type alone or with deleted, modified or stored added. */
bool EventFits(uint8_t eventType, uint8_t state) {
    if (eventType == 0) return true;
    for (uint8_t extra : {uint8_t{0}, kRowDeleted, kRowModified, kRowStored}) {
        if (state == (eventType | extra)) return true;
    }
    return false;
}

}  // namespace

void InitNotification() {
    LogTrace("@@@ Inside InitNotification @@@\n");
    if (g_listeners != nullptr) {
        DeInitNotification();
        return;
    }
    g_listeners = NewVector();
}

uint8_t AddNotificationListener(char* name, uint8_t eventType, NotificationCallback callback, uint8_t enabled,
                                char** tables) {
    LogTrace("In Add notification Listener\n");
    if (name == nullptr || tables == nullptr || tables[0] == nullptr) return 0;
    if (FindListener(name, nullptr) != nullptr) {
        LogError("Listener with same name exists %s\n", name);
        free(name);  // the name is the library's once it is handed over
        return 1;
    }
    if (g_listeners == nullptr) {
        g_listeners = NewVector();
        if (g_listeners == nullptr) {
            LogError("Buffer Allocation is failed for listener!!!\n");
            return 0;
        }
    }
    size_t count = 0;
    while (tables[count] != nullptr) ++count;
    std::sort(tables, tables + count, [](const char* a, const char* b) { return strcasecmp(a, b) < 0; });
    auto* listener = static_cast<NotificationListener*>(calloc(1, sizeof(NotificationListener)));
    if (listener == nullptr) {
        LogError("Buffer Allocation is failed for listener!!!\n");
        return 0;
    }
    listener->name = name;
    listener->tables = tables;
    listener->enabled = enabled;
    listener->eventType = eventType;
    listener->callback = callback;
    if (AddValue(g_listeners, listener) != 1) {
        free(listener);
        LogError("Buffer allocation is failed for nodePtr !!!\n");
        return 0;
    }
    LogDebug("Listener with name %s added\n", name);
    return 1;
}

uint8_t DisableNotificationListener(const char* name) {
    LogTrace("In Disable notification\n");
    if (g_listeners == nullptr || g_listeners->count == 0) return 0;
    VectorNode* node = FindListener(name, nullptr);
    if (node == nullptr) {
        LogError("Listener with name %s doesn't exists\n", name ? name : "(null)");
        return 0;
    }
    static_cast<NotificationListener*>(node->element)->enabled = 0;
    LogDebug("Listener with name %s disabled\n", name);
    return 1;
}

uint8_t RemoveNotificationListener(const char* name) {
    LogTrace("In Remove notification\n");
    if (g_listeners == nullptr || g_listeners->count == 0) return 0;
    int32_t index = 0;
    VectorNode* node = FindListener(name, &index);
    if (node == nullptr) {
        LogError("Listener with name %s doesn't exists\n", name ? name : "(null)");
        return 0;
    }
    auto* listener = static_cast<NotificationListener*>(node->element);
    LogDebug("Listener with name %s removed\n", name);
    DeleteElementAt(g_listeners, index);
    FreeListener(listener);
    return 1;
}

IMDSNotification* CreateIMDSNotification(const RowObject* row, const char* tableName) {
    LogTrace("In CreateIMDSNotification \n");
    TableData* relvar = GetTableDataByName(tableName);
    if (relvar == nullptr || row == nullptr) return nullptr;
    auto* notification = static_cast<IMDSNotification*>(calloc(1, sizeof(IMDSNotification)));
    if (notification == nullptr) return nullptr;
    notification->columnCount = relvar->columnCount;
    if (DuplicateString(&notification->tableName, tableName) != kDupOk ||
        (notification->row = CopyRowObject(relvar, row)) == nullptr ||
        (notification->time = GetCurrentOrvDateTime()) == nullptr) {
        FreeIMDSNotification(notification);
        return nullptr;
    }
    notification->row->next = nullptr;
    return notification;
}

void FreeIMDSNotification(IMDSNotification* notification) {
    if (notification == nullptr) return;
    free(notification->tableName);
    FreeRowObject(notification->row, notification->columnCount);
    FreeOrvDateTime(notification->time);
    free(notification);
}

void SendNotification(const RowObject* row, const char* tableName) {
    LogTrace("In send notification\n");
    if (g_listeners == nullptr || g_listeners->count == 0 || row == nullptr) return;
    IMDSNotification* notification = CreateIMDSNotification(row, tableName);
    if (notification == nullptr) return;
    for (VectorNode* node = ElementAt(g_listeners, 0); node != nullptr; node = node->next) {
        auto* listener = static_cast<NotificationListener*>(node->element);
        if (!listener->enabled) {
            LogDebug("Listener %s  disabled\n", listener->name);
        } else if (!IsListContains(listener->tables, tableName)) {
            LogDebug("Listener not registered for %s table\n", tableName);
        } else if (EventFits(listener->eventType, row->state)) {
            if (listener->callback != nullptr) listener->callback(notification, listener->name);
        } else {
            LogDebug("Listener not registered for Eventype %d\n", row->state);
        }
    }
    FreeIMDSNotification(notification);
}

void DeInitNotification() {
    LogTrace("In DeInit notification\n");
    if (g_listeners == nullptr) return;
    while (g_listeners->count > 0) {
        VectorNode* node = ElementAt(g_listeners, 0);
        auto* listener = static_cast<NotificationListener*>(node->element);
        LogTrace("Listener with name %s removed\n", listener->name);
        DeleteElementAt(g_listeners, 0);
        FreeListener(listener);
    }
}

uint8_t IsListContains(char* const* sortedNames, const char* name) {
    LogTrace("@@@ Inside IsListContains @@@\n");
    if (sortedNames == nullptr || name == nullptr) return 0;
    size_t count = 0;
    while (sortedNames[count] != nullptr) ++count;
    size_t low = 0;
    size_t high = count;
    while (low < high) {
        size_t mid = low + (high - low) / 2;
        int c = strcasecmp(sortedNames[mid], name);
        if (c == 0) return 1;
        if (c < 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    LogDebug("List doesn't contains key \n");
    return 0;
}

}  // namespace orv
