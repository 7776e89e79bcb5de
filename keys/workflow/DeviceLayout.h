// The keyboard layout stored in a HID reader: read it, set single keys and program a whole
// table, all through the reader's HID control channel.
#pragma once

#include "config/workflow/ReaderLink.h"
#include "keys/KeyLayout.h"

#include <cstdint>

namespace veltra {

// What the layout operations sent, for measurements.
struct LayoutExchangeCount {
    int queries = 0;     // query-key messages (0x11), repetitions included
    int setKeys = 0;     // set-key messages (0x12), repetitions and the final ESC included
    int modePolls = 0;   // readMode calls while waiting for the reader after programming
    int layoutReads = 0; // whole-table reads
};

// Asks the reader for the key of each character 0x20..0x7E (up to five queries each) and
// fills the table: Shift when the modifier has either Shift bit, else AltGr for right Alt,
// else Normal. Characters without a usable answer, answered 0xFF 0xFF or on a key that is not
// an on-screen key stay unassigned. Fails when not one character got a usable answer (no
// reader, or not a keyboard reader) or when the connection went away while reading (the
// reader was unplugged); the table is then empty.
bool ReadDeviceLayout(ReaderLink& link, int handle, KeyLayout& layout);
bool ReadDeviceLayout(ReaderLink& link, int handle, KeyLayout& layout, LayoutExchangeCount& count);

// Sets the key of one character (key code: modifier byte << 8 | usage id), up to five
// attempts. Character 0 is not sent and counts as success.
bool WriteKeyMapping(ReaderLink& link, int handle, std::uint8_t character, std::uint16_t keyCode);

// Makes the reader's table equal to the desired one on the 48 on-screen keys: reads it, sets
// every character 0x21..0x7E whose key differs, ends with ESC on the Escape key, waits for the
// reader and reads back until the tables agree (up to five rounds). Fails when a read gets no
// answer at all, a key is refused five times, or the tables still differ. The changes, each
// read-back and the duration ("Tastenbelegung speichern") go to the trace log.
bool ProgramLayout(ReaderLink& link, int handle, const KeyLayout& desired);
bool ProgramLayout(ReaderLink& link, int handle, const KeyLayout& desired,
                   LayoutExchangeCount& count);

} // namespace veltra
