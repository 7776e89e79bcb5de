// The rules of the keyboard reader's "Parameter" page, free of widgets, so that the page and
// veltra-cli decode, check and show a keyboard reader's parameters alike: parameter block 6 as
// the page takes it, the record the page programs, the enable rules and the text of the
// on-screen keys.
#pragma once

#include "config/ConfigChecks.h"
#include "config/ReaderConfiguration.h"
#include "keys/KeyLayout.h"

#include <cstdint>
#include <string>

namespace veltra {

// The page's values: operating mode 0, 2 or 3, sensor output, cycle time and timeout in ms,
// power-on configuration as index (0 "Programmiermodus", 1 "Lesermodus", 2 "Lesermodus ohne
// Ausgabe", -1 none).
struct HidPageValues {
    int mode = 0;
    bool sensorOutput = false;
    int cycleTimeMs = 1000;
    int timeoutMs = 500;
    int powerOnIndex = -1;

    bool operator==(const HidPageValues&) const = default;
};

// The mode button that shows a stored mode: 2 and 3 have their own, every other value (1, and
// values without a button) shows and saves as mode 0.
int hidShownMode(int mode);

// The page's values from a reader's parameter block 6 and its QnReadMode value. Timeout bytes
// of 0 or with bit 7 set mean 500 ms; the power-on index is (value & 3) capped at 2, so a
// failed read (-1) selects "Lesermodus ohne Ausgabe". Values that fail the range checks are
// replaced by mode 0, 1000 ms and 500 ms and the failure comes back; fewer than four bytes
// leave `values` alone and give false.
struct HidBlockResult {
    bool taken = false;  // the block had its four bytes
    CheckResult failure; // the range check that failed, if any
};
HidBlockResult hidValuesFromBlock(const Bytes& block, int powerOnValue, HidPageValues& values);

// The page's values from a configuration's parameters (a file's "Data" section) and back.
HidPageValues hidValuesFromParameters(const ReaderParameters& parameters);
ReaderParameters hidParameters(const HidPageValues& values);

// Cycle time, then timeout: 100..12700 ms each.
CheckResult checkHidValues(const HidPageValues& values);

// Which controls the page enables for a mode and the reader's DeviceFeatures.
struct HidPageControls {
    bool mode2 = false;
    bool programmingMode = false;
    bool readerMode = false;
    bool readerModeSilent = false;
    bool timeout = true;
    bool cycleTime = false;
};
HidPageControls hidPageControls(int mode, std::uint32_t features);

// The text of an on-screen key: the Shift character, a line feed, the Normal character, a tab,
// the AltGr character. An empty Shift or Normal character shows as a blank, an empty AltGr
// character as nothing; "&" is doubled so that a button shows it instead of a mnemonic.
std::string keyButtonText(const KeyLayout& layout, int scanCode);

// The setting that switches the layout warning on ("Settings"/"LayoutErrorAnzeigen").
inline constexpr const char* kLayoutWarningGroup = "Settings";
inline constexpr const char* kLayoutWarningKey = "LayoutErrorAnzeigen";

} // namespace veltra
