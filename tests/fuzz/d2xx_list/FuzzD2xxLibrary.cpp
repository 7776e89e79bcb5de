#include "tests/fuzz/d2xx_list/FuzzD2xxLibrary.h"

#include "devicelink/ftdi/D2xxTypes.h"

#include <algorithm>
#include <cstring>
#include <vector>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Larger counts are possible, but the list is kept small enough to stay fast.
constexpr std::size_t kMaxListed = 4096;

std::vector<QnFtDeviceListInfoNode> g_nodes;
QnD2xxDword g_createCount = 0;
QnD2xxDword g_getCount = 0;
bool g_createFails = false;
bool g_getFails = false;

} // namespace

EXPORT void qnFuzzD2xxSetList(const std::uint8_t* data, std::size_t size) {
    g_nodes.clear();
    g_createCount = g_getCount = 0;
    g_createFails = g_getFails = false;
    if (size < 5) {
        return;
    }
    g_createCount =
        static_cast<QnD2xxDword>(std::min<std::size_t>(data[0] | data[1] << 8, kMaxListed));
    g_getCount = static_cast<QnD2xxDword>(data[2] | data[3] << 8);
    g_createFails = (data[4] & 1) != 0;
    g_getFails = (data[4] & 2) != 0;
    g_nodes.assign(g_createCount, QnFtDeviceListInfoNode{});
    std::size_t at = 5;
    for (auto& node : g_nodes) {
        if (at + 1 + sizeof node.SerialNumber + 1 > size) {
            break;
        }
        const std::uint8_t flags = data[at++];
        node.Flags = (flags & 1) != 0 ? QN_FT_FLAGS_OPENED : 0;
        node.ftHandle = (flags & 2) != 0 ? &node : nullptr;
        node.Type = 5;
        std::memcpy(node.SerialNumber, data + at, sizeof node.SerialNumber);
        at += sizeof node.SerialNumber;
        const std::size_t length =
            std::min<std::size_t>({data[at++], sizeof node.Description, size - at});
        std::memcpy(node.Description, data + at, length);
        at += length;
    }
}

EXPORT QnD2xxStatus FT_CreateDeviceInfoList(QnD2xxDword* count) {
    if (g_createFails) {
        return QN_FT_IO_ERROR;
    }
    *count = g_createCount;
    return QN_FT_OK;
}

EXPORT QnD2xxStatus FT_GetDeviceInfoList(QnFtDeviceListInfoNode* nodes, QnD2xxDword* count) {
    if (g_getFails) {
        return QN_FT_IO_ERROR;
    }
    // Like the real library, the whole list is written whatever the caller made room for.
    std::copy(g_nodes.begin(), g_nodes.end(), nodes);
    *count = g_getCount;
    return QN_FT_OK;
}
