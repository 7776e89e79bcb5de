// The configuration being edited, free of widgets: the model name, the four key sequences, the
// data records, the parameters and a keyboard reader's layout, with every check
// of the configuration sheet's pages. A reading or a .mkr file is loaded into it, it is saved
// to a file, and the programming sequence writes it. The sheet's pages load from it and save
// into it; veltra-cli uses it directly, so both run the same checks with the same messages.
#pragma once

#include "config/ConfigurationSource.h"
#include "config/MkrFile.h"
#include "config/WorkflowMessage.h"

#include <cstdint>
#include <optional>
#include <string>

namespace veltra {

class ConfigurationModel final : public ConfigurationSource {
public:
    // `features` is the reader's DeviceFeatures word; it decides which parts exist (a second
    // data output, serial or keyboard parameters) and how records are shown.
    explicit ConfigurationModel(std::uint32_t features = 0);

    std::uint32_t features() const { return features_; }
    bool isKeyboardReader() const;
    bool hasSecondDataOutput() const;

    MkrContent& content() { return content_; }
    const MkrContent& content() const { return content_; }
    const std::string& modelName() const { return content_.modelName; }
    void setModelName(std::string name) { content_.modelName = std::move(name); }
    void setDtrSupported(std::optional<bool> supported) { dtrSupported_ = supported; }

    // Loads a configuration file. Anything but MkrLoadStatus::Loaded leaves the model as it
    // was; loadRefusalMessage() says why.
    MkrLoadResult loadFile(const std::string& path, const ModelQuestion& askOtherModel);
    // Saves into a file after checkForSaving() has passed; a refusal writes nothing.
    MkrSaveResult saveFile(const std::string& path) const;

    // The checks, each in the pages' order; nullopt when everything passes.
    // Both data records as their pages check them, then the second against the first.
    std::optional<WorkflowMessage> checkDataRecords() const;
    // The parameter page's checks (the serial page's, or the keyboard reader's ranges).
    std::optional<WorkflowMessage> checkParameters() const;
    // What "Speichern" refuses: a failing data record (with the character-count message,
    // whatever the record's own complaint), then the parameters.
    std::optional<WorkflowMessage> checkForSaving() const;
    // Everything programming would refuse, checked before anything is written: the data
    // records, their passwords and the parameters.
    std::optional<WorkflowMessage> checkForProgramming() const;

    // ConfigurationSource
    Bytes prefixBlock() override;
    Bytes suffixBlock() override;
    Bytes pullOffBlock() override;
    Bytes separatorBlock() override;
    std::optional<WorkflowMessage> takeDataFormats() override;
    std::optional<WorkflowMessage> takeParameters() override;
    const ReaderConfiguration& configuration() const override { return content_.config; }
    void baudRateProgrammed(int baudCode) override;
    void selectPowerOnMode(int index) override;
    std::optional<bool> dtrSupported() const override { return dtrSupported_; }
    int hidPowerOnMode() const override;

private:
    // The records as their pages show them for this reader, with their output flags.
    ReaderConfiguration shownRecords() const;
    // The parameters as the reader's parameter page shows and programs them.
    ReaderParameters shownParameters() const;

    std::uint32_t features_;
    std::optional<bool> dtrSupported_;
    MkrContent content_;
};

// Whether the second data output repeats the first: the same fixed format, or the same chip
// read in a chip mode. The second data page offers neither.
bool secondOutputRepeatsFirst(const DataFormatRecord& first, const DataFormatRecord& second);

// The message of a failed page check.
WorkflowMessage messageOf(const CheckFailure& failure);

inline constexpr int kStrSecondOutputRepeatsFirst = 73017;

} // namespace veltra
