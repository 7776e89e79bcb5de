// Loads arbitrary bytes as a configuration file: every record, parameter set, sequence and
// layout must load without overrunning anything, and what was loaded must survive its byte
// image and a save and reload unchanged.
#include "config/MkrFile.h"
#include "config/ini/CIniEx.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace veltra;
    CIniEx file;
    file.parse(std::string_view(reinterpret_cast<const char*>(data), size));

    MkrContent content;
    for (int n = 1; n <= 2; ++n) {
        DataFormatRecord record = loadDataRecord(file, n);
        DataFormatRecord decoded;
        decodeDataFormat(encodeDataFormat(record), 0, decoded);
        record.hitag2Password.clear();
        record.ata5577Password.clear();
        require(decoded == record);
        content.config.data[std::size_t(n - 1)] = loadDataRecord(file, n);
    }
    content.config.parameters = loadSerialParameters(file);
    require(content.config.parameters.powerOnMode >= -1 &&
            content.config.parameters.powerOnMode <= 2);
    (void)encodeParameterBlock(content.config.parameters);
    (void)loadHidParameters(file, content.config.parameters);

    const char* sections[] = {"Prefix", "Suffix", "Abziehen", "Termix"};
    CAsciiArray* targets[] = {&content.prefix, &content.suffix, &content.pullOff,
                              &content.separator};
    for (int i = 0; i < 4; ++i) {
        if (LoadSequenceSection(file, sections[i], *targets[i]) == SequenceLoadResult::Loaded) {
            require(targets[i]->size() <= kMaxSequenceCodes);
        }
    }
    KeyLayout layout;
    if (LoadLayoutSection(file, layout)) {
        content.layout = layout;
    }

    // What was loaded saves and loads back the same (in memory, the way a file would).
    CIniEx saved;
    SaveSequenceSection(saved, "Prefix", content.prefix);
    saveDataRecord(saved, 1, content.config.data[0]);
    saveSerialParameters(saved, content.config.parameters);
    CIniEx reread;
    reread.parse(saved.toText());
    CAsciiArray prefix;
    require(LoadSequenceSection(reread, "Prefix", prefix) == SequenceLoadResult::Loaded);
    require(prefix == content.prefix);
    require(loadDataRecord(reread, 1) == content.config.data[0]);
    const ReaderParameters params = loadSerialParameters(reread);
    require(params.operatingMode == content.config.parameters.operatingMode);
    require(params.baudRate == content.config.parameters.baudRate);
    require(params.powerOnMode == content.config.parameters.powerOnMode);
    return 0;
}
