// The configuration sheet's pages without widgets: the values a reader or a .mkr file put on
// the pages, taken over with the pages' adjustments and checks when they are saved or
// programmed. veltra-cli feeds the reading and programming sequences from it.
#pragma once

#include "ConfigurationWorkflow.h"
#include "DataPageRules.h"
#include "MkrFile.h"
#include "ParamPageRules.h"

#include <optional>

namespace veltra {

class SheetPages final : public ConfigurationSource {
public:
    SheetPages(std::uint32_t features, bool dtrSupported);

    // Fills the pages from a reading: data records, parameters (the page's defaults when the
    // reader gave no usable parameter block), key sequences and the model name.
    void fillFromReading(const ReaderReading& reading);

    MkrContent& content() { return content_; }
    const MkrContent& content() const { return content_; }

    // ConfigurationSource
    Bytes prefixBlock() override;
    Bytes suffixBlock() override;
    Bytes pullOffBlock() override;
    Bytes separatorBlock() override;
    std::optional<WorkflowMessage> takeDataFormats() override;
    std::optional<WorkflowMessage> takeParameters() override;
    const ReaderConfiguration& configuration() const override { return content_.config; }
    std::optional<bool> dtrSupported() const override { return dtrSupported_; }
    void selectPowerOnMode(int index) override;

private:
    std::uint32_t features_;
    bool dtrSupported_;
    MkrContent content_;
};

// The page checks of one data record; nullopt when it passes.
std::optional<WorkflowMessage> checkDataRecord(const DataFormatRecord& record);

// The page checks of the parameters; nullopt when they pass.
std::optional<WorkflowMessage> checkParameters(const ReaderParameters& parameters);

} // namespace veltra
