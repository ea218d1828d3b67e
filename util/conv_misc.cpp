// Key scrambling, the message queue and the directory test.
#include "util/conv_misc.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "agent/log.h"
#include "agent/object_lock.h"

namespace orv {

int32_t EncryptDecryptKey(uint8_t* buffer, int32_t length, int32_t key) {
    LogTrace("@@@ Inside EncryptDecryptKey @@@\n");
    if (buffer == nullptr || length < 0) return 0;
    uint32_t sum = static_cast<uint32_t>(key) + 9u;
    uint8_t keyByte = (key >= 247 && key <= 2147483638) ? static_cast<uint8_t>(sum % 255u)
                                                        : static_cast<uint8_t>(sum & 0xFFu);
    for (int32_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(buffer[i] ^ keyByte);
    return length;
}

uint8_t AddRcvdMsgToQueue(Vector* queue, void* message) {
    LogTrace("@@@ Inside AddRcvdMsgToQueue @@@\n");
    if (queue == nullptr) return 0;
    auto* node = static_cast<VectorNode*>(std::calloc(1, sizeof(VectorNode)));
    if (node == nullptr) {
        LogError("Buffer allocation is failed !!!\n");
        return 0;
    }
    node->element = message;
    if (AddElement(queue, node) != 1) {
        std::free(node);
        return 0;
    }
    return 1;
}

void* ReadMsgFromQueueForProcessing(Vector* queue) {
    LogTrace("@@@ Inside ReadMsgFromQueueForProcessing @@@\n");
    if (queue == nullptr) return nullptr;
    LockObject(queue);
    VectorNode* node = queue->head;
    if (node != nullptr) {
        queue->head = node->next;
        if (queue->head == nullptr) queue->tail = nullptr;
        --queue->count;
    }
    UnlockObject(queue);
    if (node == nullptr) return nullptr;
    void* message = node->element;
    std::free(node);
    return message;
}

uint8_t IsDirectory(const char* path) {
    LogTrace("@@@ Inside IsDirectory @@@\n");
    if (path == nullptr || *path == '\0') return 0;
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(path), error) ? 1 : 0;
}

}  // namespace orv
