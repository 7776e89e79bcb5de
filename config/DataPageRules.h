// The rules of the data format page that do not need a widget: how a record looks once the page
// has adjusted it to the reader, which entries the page checks, which modulations and which
// description it offers for a selection. The data page widget and veltra-cli both use them.
#pragma once

#include "config/ConfigChecks.h"
#include "config/ReaderConfiguration.h"

#include <cstdint>
#include <span>
#include <vector>

namespace veltra {

// The twelve mutually exclusive boxes of a data page, in the page's order. None: nothing
// checked (only possible on the second data page).
enum class DataChoice : int {
    None = -1,
    Unique = 0,
    Zem16Bit,
    Zem12Bit,
    UniqueXL,
    FdxBIso,
    FdxA,
    HdxIso,
    FdxBEn,
    HdxEn,
    Uid,
    SingleBlocks,
    BlockSequence,
};
inline constexpr int kDataChoiceCount = 12;

struct DataChoiceEntry {
    const char* caption;
    DataChoice choice;
    std::uint8_t formatCode;   // fixed-format code, 0 for the three chip modes
    std::uint32_t visibleWith; // feature bits of which one is needed to show the box, 0 = always
};
std::span<const DataChoiceEntry> dataChoiceTable();

// The box of a fixed-format code (format:: constants), None for anything else.
DataChoice choiceForFormat(std::uint8_t formatCode);
// The fixed-format code of a box, 0 for the chip modes and None.
std::uint8_t formatCodeOf(DataChoice choice);
// "UID", "Einzelblöcke" or "Blockfolge": the modes that read a chip.
bool isChipMode(DataChoice choice);
// The FDX and HDX animal and waste formats: fixed output, no display settings.
bool isAnimalFormat(DataChoice choice);

// The feature bit a chip radio button needs to be shown, 0 when it is always there.
std::uint32_t chipVisibleWith(std::uint8_t chipCode);

// A data record as its page shows it for a reader with these features: display modes and chips
// the reader lacks are replaced, a block sequence without block-sequence support becomes empty
// single blocks.
DataFormatRecord pageRecord(const DataFormatRecord& record, std::uint32_t features);

// The page entries a record stands for, as the page's checks see them.
DataPageEntries dataPageEntriesOf(const DataFormatRecord& record);

// The modulation codes the "Modulation:" list offers, in list order; empty when the list is
// emptied and disabled.
std::vector<std::uint8_t> modulationChoices(DataChoice choice, std::uint8_t chipCode,
                                            std::uint32_t features);

// The description shown below the formats for the selection.
struct DataInfoText {
    const char* caption = "";   // UTF-8, a format or chip name (empty: nothing selected)
    std::vector<int> lineIds;   // string numbers, at most five
    bool showsPassword = false; // "Passwort" with its field and "Hex" are shown
};
inline constexpr std::size_t kInfoLineCount = 5;
DataInfoText dataInfoText(DataChoice choice, std::uint8_t chipCode);

// The reversal example: the bytes 0x12 0x37 before and after the arrangement, two lines.
std::string reversalExample(std::uint8_t alignment);

} // namespace veltra
