#include "config/DataPageRules.h"

#include "config/DeviceFeatures.h"

#include <string>

namespace veltra {
namespace {

constexpr DataChoiceEntry kChoices[kDataChoiceCount] = {
    {"Unique", DataChoice::Unique, format::Unique, 0},
    {"Zem 16 Bit", DataChoice::Zem16Bit, format::Zem16Bit, feature::Zem16Bit},
    {"Zem 12 Bit", DataChoice::Zem12Bit, format::Zem12Bit, feature::Zem12Bit},
    {"Unique XL", DataChoice::UniqueXL, format::UniqueXL, feature::SecondDataPage},
    {"FDX-B (ISO11784)", DataChoice::FdxBIso, format::FdxBIso, feature::FdxFormats},
    {"FDX-A", DataChoice::FdxA, format::FdxA, feature::FdxFormats},
    {"HDX (ISO11784)", DataChoice::HdxIso, format::HdxIso, feature::HdxFormats},
    {"FDX-B (EN14803)", DataChoice::FdxBEn, format::FdxBEn, feature::FdxFormats},
    {"HDX (EN14803)", DataChoice::HdxEn, format::HdxEn, feature::HdxFormats},
    {"UID", DataChoice::Uid, 0, feature::SecondDataPage},
    {"Einzelblöcke", DataChoice::SingleBlocks, 0, 0},
    {"Blockfolge", DataChoice::BlockSequence, 0, 0},
};

// Description lines of the info box (string numbers).
enum InfoLine : int {
    NoBlocks = 75000,
    UniqueChips,
    UniqueCompatible,
    Compatible,
    AnimalCode,
    CountryCode,
    Separator,
    IdNumber12,
    FixedFormat,
    Id10Hex,
    WasteFormat,
    MakerCode,
    IdNumber7,
    H1Serial,
    H1Config,
    H1Protected,
    H1User,
    H2Serial,
    H2Protected,
    H2Config,
    H2User,
    PasswordLine,
    HSConfig,
    HSUser,
    Q5Config,
    Q5User,
    TitanProtection,
    TitanControl,
    TitanUser,
    TitanSerial,
    EmChipType,
    EmSerial,
    EmControl,
    Em4569User,
    Em4305User,
    MicroBlocks,
    MicroAdvancedBlocks,
    MicroAdvancedPlusBlocks,
    Ata5575Config,
    Ata5575User,
    Ata5575BytePerBlock,
    SicUser,
    SicTraceability,
    Ata5577Traceability,
    Ata5577AnalogFrontEnd,
    TirisRo,
    TirisRw,
    TirisMpt,
};

} // namespace

std::span<const DataChoiceEntry> dataChoiceTable() {
    return kChoices;
}

DataChoice choiceForFormat(std::uint8_t formatCode) {
    for (const DataChoiceEntry& entry : kChoices) {
        if (entry.formatCode != 0 && entry.formatCode == formatCode) {
            return entry.choice;
        }
    }
    return DataChoice::None;
}

std::uint8_t formatCodeOf(DataChoice choice) {
    const int index = static_cast<int>(choice);
    return index < 0 || index >= kDataChoiceCount ? 0 : kChoices[index].formatCode;
}

bool isChipMode(DataChoice choice) {
    return choice == DataChoice::Uid || choice == DataChoice::SingleBlocks ||
           choice == DataChoice::BlockSequence;
}

bool isAnimalFormat(DataChoice choice) {
    switch (choice) {
    case DataChoice::FdxBIso:
    case DataChoice::FdxA:
    case DataChoice::HdxIso:
    case DataChoice::FdxBEn:
    case DataChoice::HdxEn:
        return true;
    default:
        return false;
    }
}

std::uint32_t chipVisibleWith(std::uint8_t chipCode) {
    switch (chipCode) {
    case chip::HitagMicro:
    case chip::EM4305:
    case chip::ATA5575:
        return feature::SecondDataPage;
    case chip::SIC7888:
        return feature::Sic7888;
    case chip::ATA5551:
        return feature::Ata5551;
    case chip::ATA5577Pw:
        return feature::Ata5577Password;
    case chip::EM4569:
        return feature::Em4569AndReversal;
    case chip::Tiris:
        return feature::HdxFormats;
    default:
        return 0;
    }
}

DataFormatRecord pageRecord(const DataFormatRecord& record, std::uint32_t features) {
    auto has = [features](std::uint32_t bit) { return (features & bit) != 0; };
    DataFormatRecord r = record;
    if (r.display == 5 && !has(feature::AsciiNoNulDisplay)) {
        r.display = 2;
    }
    if (!has(feature::AsciiDisplay) && r.display > 1) {
        r.display = 0;
    }
    if (!has(feature::SecondDataPage)) {
        if (r.display == 3) {
            r.display = 1;
        } else if (r.display == 4) {
            r.display = 0;
        }
    }
    if (r.isFixedFormat()) {
        return r;
    }
    std::uint8_t code = r.chipCode();
    const bool sequence = r.isBlockSequence();
    if (code == chip::EM4569 && !has(feature::Em4569AndReversal)) {
        code = chip::Hitag1;
    } else if (code == chip::HitagMicro && !has(feature::SecondDataPage)) {
        code = chip::HitagS;
    } else if (code == chip::EM4305 && !has(feature::SecondDataPage)) {
        code = chip::Hitag1;
    } else if ((code == chip::ATA5575 && !has(feature::SecondDataPage)) ||
               (code == chip::ATA5551 && !has(feature::Ata5551))) {
        code = chip::ATA5577;
    } else if (code == chip::SIC7888 && !has(feature::Sic7888)) {
        code = chip::HitagS;
    } else if (code == chip::ATA5577Pw && !has(feature::Ata5577Password)) {
        code = chip::ATA5577;
    } else if (code == chip::Tiris && !has(feature::HdxFormats)) {
        code = chip::HitagS;
    }
    r.transponderType = static_cast<std::uint8_t>(code | (sequence ? kBlockSequenceFlag : 0));
    if (sequence && r.registers[0] != kUidRegister && !has(feature::BlockSequence)) {
        // The page shows single blocks with empty block fields.
        r.transponderType = code;
        r.registers = {kNoEntry, kNoEntry, kNoEntry, kNoEntry};
    }
    return r;
}

DataPageEntries dataPageEntriesOf(const DataFormatRecord& record) {
    auto characterText = [](std::uint8_t c) {
        return c == 0 ? std::string() : std::string(1, static_cast<char>(c));
    };
    DataPageEntries e;
    if (record.active == 0) {
        e.selection = DataSelection::None;
    } else if (record.isFixedFormat()) {
        e.selection = DataSelection::FixedFormat;
    } else if (record.registers[0] == kUidRegister) {
        e.selection = DataSelection::Uid;
    } else if (record.isBlockSequence()) {
        e.selection = DataSelection::BlockSequence;
        e.startBlock = std::to_string(record.registers[0]);
        e.lengthInBytes = std::to_string(record.registers[1]);
    } else {
        e.selection = DataSelection::SingleBlocks;
        for (std::size_t i = 0; i < 4; ++i) {
            e.blocks[i] = record.registers[i] == kNoEntry ? std::string()
                                                          : std::to_string(record.registers[i]);
        }
    }
    e.chip = record.isFixedFormat() ? 0 : record.chipCode();
    if (e.chip == chip::Hitag2) {
        e.password = record.hitag2Password;
    } else if (e.chip == chip::ATA5577Pw) {
        e.password = record.ata5577Password;
    }
    e.typeIdBefore = characterText(record.typeIdLeft);
    e.typeIdAfter = characterText(record.typeIdRight);
    e.characterCount = record.length;
    e.usedBytesFrom = record.validBytesFrom;
    e.usedBytesTo = record.validBytes;
    return e;
}

std::vector<std::uint8_t> modulationChoices(DataChoice choice, std::uint8_t chipCode,
                                            std::uint32_t features) {
    constexpr std::uint32_t listFeatures = feature::SecondDataPage | feature::Ata5577Password;
    if ((features & listFeatures) != listFeatures) {
        return {};
    }
    const bool fdx = (features & feature::FdxFormats) != 0;
    if (isChipMode(choice)) {
        switch (chipCode) {
        case chip::Q5:
        case chip::EM4569:
        case chip::EM4305:
        case chip::ATA5577:
        case chip::ATA5575:
        case chip::ATA5551:
        case chip::ATA5577Pw:
            if (fdx) {
                return {0, 5, 6, 1, 2};
            }
            return {0, 5};
        default:
            return {};
        }
    }
    const bool manchesterFormat = choice == DataChoice::Unique || choice == DataChoice::UniqueXL ||
                                  choice == DataChoice::Zem16Bit || choice == DataChoice::Zem12Bit;
    if (manchesterFormat && fdx) {
        return {0, 5};
    }
    return {};
}

DataInfoText dataInfoText(DataChoice choice, std::uint8_t chipCode) {
    const std::vector<int> animal{AnimalCode, CountryCode, Separator, IdNumber12};
    const std::vector<int> waste{WasteFormat, MakerCode, Separator, IdNumber7};
    switch (choice) {
    case DataChoice::None:
        return {};
    case DataChoice::Unique:
        return {"Unique", {NoBlocks, UniqueChips, UniqueCompatible}, false};
    case DataChoice::UniqueXL:
    case DataChoice::Zem16Bit:
    case DataChoice::Zem12Bit:
        return {kChoices[static_cast<int>(choice)].caption, {NoBlocks, Compatible}, false};
    case DataChoice::FdxBIso:
        return {"FDX-B (ISO11784)", animal, false};
    case DataChoice::FdxA:
        return {"FDX-A", {FixedFormat, Id10Hex}, false};
    case DataChoice::HdxIso:
        return {"HDX (ISO11784)", animal, false};
    case DataChoice::FdxBEn:
        return {"FDX (EN14803)", waste, false};
    case DataChoice::HdxEn:
        return {"HDX (EN14803)", waste, false};
    case DataChoice::Uid:
    case DataChoice::SingleBlocks:
    case DataChoice::BlockSequence:
        break;
    }
    switch (chipCode) {
    case chip::Hitag1:
        return {"Hitag1", {H1Serial, H1Config, H1Protected, H1User}, false};
    case chip::Hitag2:
        return {"Hitag2", {H2Serial, H2Protected, H2Config, H2User, PasswordLine}, true};
    case chip::HitagS:
        return {"HitagS", {H2Serial, HSConfig, HSUser}, false};
    case chip::Q5:
        return {"Q5", {Q5Config, Q5User}, false};
    case chip::Titan:
        return {"Titan", {TitanProtection, TitanControl, TitanUser, TitanSerial}, false};
    case chip::EM4569:
        return {"EM4569", {EmChipType, EmSerial, EmControl, Em4569User}, false};
    case chip::EM4305:
        return {"EM4305", {EmChipType, EmSerial, EmControl, Em4305User}, false};
    case chip::HitagMicro:
        return {"Hitag µ", {MicroBlocks, MicroAdvancedBlocks, MicroAdvancedPlusBlocks}, false};
    case chip::ATA5575:
        return {"ATA 5575", {Ata5575Config, Ata5575User, Ata5575BytePerBlock}, false};
    case chip::SIC7888:
        return {"SIC7888", {H2Serial, HSConfig, SicUser, SicTraceability}, false};
    case chip::ATA5551:
        return {"ATA5551", {Q5Config, Q5User}, false};
    case chip::ATA5577:
        return {"ATA5577", {Q5Config, Q5User, Ata5577Traceability, Ata5577AnalogFrontEnd}, false};
    case chip::ATA5577Pw:
        return {"ATA5577",
                {Q5Config, Q5User, Ata5577Traceability, Ata5577AnalogFrontEnd, PasswordLine},
                true};
    case chip::Tiris:
        return {"Tiris (HDX)", {TirisRo, TirisRw, TirisMpt}, false};
    default:
        return {};
    }
}

std::string reversalExample(std::uint8_t alignment) {
    return "   " + alignmentIllustration(0) + "\n=> " + alignmentIllustration(alignment);
}

} // namespace veltra
