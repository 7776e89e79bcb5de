// The reads that several commands share, on an open connection: one parameter block, the
// reader's device type with its model name, and the blocks of the configuration report. The
// connection procedure, the main window, the configuration sheet, the report dialog and
// veltra-cli all read through these, so a buffer size or an order is decided once.
#pragma once

#include "config/ConfigReport.h"
#include "config/ReaderConfiguration.h"
#include "config/workflow/ReaderLink.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace veltra {

// Parameter block `block` (1..6) read into a buffer of `bufferSize` bytes; nullopt when the read
// fails. Never more bytes than the buffer holds.
std::optional<Bytes> readBlock(ReaderLink& link, int handle, int block, int bufferSize);

// The reader's answer to the device-type query.
struct DeviceTypeReply {
    int length = -1; // identity bytes the link returned; -1 when the query failed
    // Three hexadecimal digits of the type code and the firmware version character.
    std::array<unsigned char, 4> identity{};
    std::string modelName; // at most 30 characters; empty when the query failed
};

// The device type and model name (a buffer of 30 characters and its NUL).
DeviceTypeReply readDeviceType(ReaderLink& link, int handle);

// The blocks of the configuration report in the report's order: prefix (block 2, 64-byte
// buffer), suffix (3), pull-off (5) and separator (4) in 255 bytes each, then the data block (1,
// 255 bytes) and the parameter block (6, 4 bytes). Reading stops at the first block that fails;
// its entry and all after it stay empty. `sequenceRead` is called after each of the four
// sequence blocks that was read, so a window can show the report as it grows.
ReportReads readReportBlocks(ReaderLink& link, int handle,
                             const std::function<void(const ReportReads&)>& sequenceRead = {});

} // namespace veltra
