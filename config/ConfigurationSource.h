// Where the programming sequence takes the configuration from. The configuration model is one;
// the configuration sheet puts its pages in front of the model, so that each page is taken
// over with its checks at the step that needs it: an invalid data output stops programming
// after the prefix has been written.
#pragma once

#include "config/ReaderConfiguration.h"
#include "config/WorkflowMessage.h"

#include <optional>

namespace veltra {

class ConfigurationSource {
public:
    virtual ~ConfigurationSource() = default;

    // The encoded key sequences of blocks 2 (prefix), 3 (suffix), 5 (pull-off), 4 (separator).
    virtual Bytes prefixBlock() = 0;
    virtual Bytes suffixBlock() = 0;
    virtual Bytes pullOffBlock() = 0;
    virtual Bytes separatorBlock() = 0;

    // Takes the data outputs over with their checks. A refusal's message comes back; an empty
    // message means that a page has shown it already.
    virtual std::optional<WorkflowMessage> takeDataFormats() = 0;
    // Takes the parameters over with their checks.
    virtual std::optional<WorkflowMessage> takeParameters() = 0;
    // The configuration after the take-overs.
    virtual const ReaderConfiguration& configuration() const = 0;

    // The "Aktuell" fields of the parameter page.
    virtual void showCurrentInterface(int /*baudCode*/) {}
    // The reader runs at this baud-rate code now: a later programming must not switch it back.
    virtual void baudRateProgrammed(int /*baudCode*/) {}
    // Selects a power-on mode (page index) after the reader was switched to reader mode.
    virtual void selectPowerOnMode(int /*index*/) {}
    // Whether the reader answered the DTR query when it was read; unknown makes the sequence ask
    // the reader.
    virtual std::optional<bool> dtrSupported() const { return std::nullopt; }
    // HID readers: the power-on mode (page index) of the HID page, -1 for none.
    virtual int hidPowerOnMode() const { return -1; }
};

} // namespace veltra
