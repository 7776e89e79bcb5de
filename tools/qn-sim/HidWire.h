// The messages between the simulator's HID face and the stand-in hidapi library, one message
// per packet of a Unix SOCK_SEQPACKET socket. The first byte names the message.
//
//   client -> simulator
//     'I'            describe the device; answered by 'I' + description text (below)
//     'W' report     an output report as hid_write takes it (report ID first); answered by
//                    'A' 0 when the reader took it, 'A' 1 when it stalled it
//     'T' text       type the text into the X display; answered by 'A' 0 when it is typed,
//                    'A' 1 when the simulator has no display to type into
//   simulator -> client
//     'R' report     an input report, report ID first (the stand-in drops it, as hidraw does)
//
// Description text, one field per line: vendor and product as 4 hex digits each, separated by
// a blank; usage page and usage, the same way; the device path; "S" followed by the serial
// number in UTF-8, or "N" without one; the report descriptor in hex, two digits a byte.
#pragma once

#include <cstddef>

namespace qnsim::hidwire {

constexpr char kDescribe = 'I';
constexpr char kWrite = 'W';
constexpr char kType = 'T';
constexpr char kAck = 'A';
constexpr char kReport = 'R';

constexpr unsigned char kAckTaken = 0;
constexpr unsigned char kAckStalled = 1;

// Largest packet either side sends: a 4096-byte report, its tag, and room to spare.
constexpr std::size_t kMaxPacket = 16384;

} // namespace qnsim::hidwire
