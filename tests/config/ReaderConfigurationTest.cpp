#include "config/ReaderConfiguration.h"

#include <gtest/gtest.h>

#include <numeric>

namespace veltra {
namespace {

Bytes counting(std::size_t n, std::uint8_t start = 1) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), start);
    return b;
}

TEST(DataFormatImage, LayoutOfOneRecord) {
    DataFormatRecord r;
    r.transponderType = chip::Hitag1 | kBlockSequenceFlag;
    r.registers = {16, 12, kNoEntry, kNoEntry};
    r.byteMasks = {0x0F, 0x03, kNoEntry, 0x01};
    r.alignment = kReverseByteOrder | kSwapNibbles;
    r.display = 4;
    r.length = 24;
    r.validBytes = 12;
    r.validBytesFrom = 3;
    r.typeIdLeft = 'A';
    r.typeIdRight = 'Z';
    r.modSpeed = 5;
    const Bytes expected{0x85, 16, 12,  255, 255, 255,  5,    4,   24,
                         12,   3,  'A', 'Z', 5,   0x0F, 0x03, 255, 0x01};
    EXPECT_EQ(encodeDataFormat(r), expected);

    DataFormatRecord back;
    back.active = 1;
    back.hitag2Password = "12345678";
    decodeDataFormat(expected, 0, back);
    EXPECT_EQ(back.active, 1) << "decoding leaves the active flag alone";
    EXPECT_TRUE(back.hitag2Password.empty()) << "the reader does not keep passwords";
    back.active = 0;
    EXPECT_EQ(back, r);
}

TEST(DataFormatImage, FillerByteIsNeverRead) {
    Bytes image = encodeDataFormat(DataFormatRecord{});
    DataFormatRecord a;
    DataFormatRecord b;
    decodeDataFormat(image, 0, a);
    image[5] = 0x00;
    decodeDataFormat(image, 0, b);
    EXPECT_EQ(a, b);
}

TEST(DataBlock, DecodingByLength) {
    struct Case {
        std::size_t size;
        int records;
        std::uint8_t modSpeed0;
        std::uint8_t mask0;
        bool secondDecoded;
    };
    const Case cases[] = {
        {0, 0, 0, 0, false},   {12, 0, 0, 0, false},   {13, 1, 0, 0, false},
        {14, 1, 14, 0, false}, {18, 1, 14, 15, false}, {39, 1, 14, 15, false},
        {40, 2, 14, 15, true}, {64, 2, 14, 15, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ReaderConfiguration config;
        config.data[0].modSpeed = 99;
        const ReaderConfiguration before = config;
        const Bytes block = counting(c.size);
        EXPECT_EQ(decodeDataBlock(block, config), c.records);
        if (c.records == 0) {
            EXPECT_EQ(config, before) << "a short block leaves the record as it was";
            continue;
        }
        EXPECT_EQ(config.data[0].transponderType, 1);
        EXPECT_EQ(config.data[0].registers[0], 2);
        EXPECT_EQ(config.data[0].typeIdRight, 13);
        EXPECT_EQ(config.data[0].modSpeed, c.modSpeed0);
        EXPECT_EQ(config.data[0].byteMasks[0], c.mask0);
        if (c.secondDecoded) {
            EXPECT_EQ(config.data[1].transponderType, 21);
            EXPECT_EQ(config.data[1].modSpeed, 34);
            EXPECT_EQ(config.data[1].byteMasks[3], 38);
        } else {
            EXPECT_EQ(config.data[1], before.data[1]);
        }
    }
}

TEST(DataBlock, OlderReaderBlockOfThirteenBytes) {
    // An older reader's block converted by the device link: no "ModSpeed", no byte masks.
    const Bytes block{chip::Q5, 1, 255, 255, 255, 255, 0, 0, 10, 5, 1, 0, 0};
    ReaderConfiguration config;
    ASSERT_EQ(decodeDataBlock(block, config), 1);
    EXPECT_EQ(config.data[0].chipCode(), chip::Q5);
    EXPECT_EQ(config.data[0].registers[0], 1);
    EXPECT_EQ(config.data[0].modSpeed, 0);
    EXPECT_EQ(config.data[0].length, 10);
}

TEST(DataBlock, EncodingWithSecondOutput) {
    ReaderConfiguration config;
    config.data[0].transponderType = 0;
    config.data[0].registers = {format::Unique, 255, 255, 255};
    config.data[1].transponderType = chip::Hitag2;
    config.data[1].registers = {4, 5, 255, 255};

    struct Case {
        std::uint32_t features;
        std::uint8_t secondActive;
        std::size_t size;
    };
    const Case cases[] = {
        {0, 1, 18},
        {kSecondDataOutputFeature, 0, 18},
        {kSecondDataOutputFeature, 1, 40},
        {0xFFFFFFFFu & ~kSecondDataOutputFeature, 1, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.features);
        config.data[1].active = c.secondActive;
        const Bytes block = encodeDataBlock(config, c.features);
        ASSERT_EQ(block.size(), c.size);
        EXPECT_EQ(Bytes(block.begin(), block.begin() + 18), encodeDataFormat(config.data[0]));
        if (c.size == 40) {
            EXPECT_EQ(block[18], 0);
            EXPECT_EQ(block[19], 0);
            EXPECT_EQ(Bytes(block.begin() + 20, block.begin() + 38),
                      encodeDataFormat(config.data[1]));
            EXPECT_EQ(block[38], 0);
            EXPECT_EQ(block[39], 0);
            ReaderConfiguration back;
            ASSERT_EQ(decodeDataBlock(block, back), 2);
            EXPECT_EQ(back.data[1].registers, config.data[1].registers);
        }
    }
}

TEST(ParameterBlock, RoundTripAndBounds) {
    ReaderParameters p;
    p.operatingMode = 3 | 0x10;
    p.cycleTimeMs = 12700;
    p.prompt = '#';
    p.timeoutMs = 150;
    EXPECT_EQ(encodeParameterBlock(p), (Bytes{0x13, 127, '#', 1}));

    ReaderParameters back;
    ASSERT_TRUE(decodeParameterBlock(Bytes{0x13, 127, '#', 1}, back));
    EXPECT_EQ(back.mode(), 3u);
    EXPECT_TRUE(back.sensorDataOutput());
    EXPECT_EQ(back.cycleTimeMs, 12700);
    EXPECT_EQ(back.timeoutMs, 100) << "the reader keeps the timeout in steps of 100 ms";

    ReaderParameters untouched;
    EXPECT_FALSE(decodeParameterBlock(Bytes{1, 2, 3}, untouched));
    EXPECT_EQ(untouched, ReaderParameters{});

    // Unchecked values are clamped, not wrapped around to a tiny time.
    p.cycleTimeMs = 30000;
    p.timeoutMs = -500;
    const Bytes clamped = encodeParameterBlock(p);
    EXPECT_EQ(clamped[1], 255);
    EXPECT_EQ(clamped[3], 0);
}

TEST(Alignment, ExampleBytes) {
    const char* expected[8] = {
        "0001 0010  0011 0111", "0011 0111  0001 0010", "1000 0100  1100 1110",
        "1100 1110  1000 0100", "0010 0001  0111 0011", "0111 0011  0010 0001",
        "0100 1000  1110 1100", "1110 1100  0100 1000",
    };
    for (std::uint8_t a = 0; a < 8; ++a) {
        EXPECT_EQ(alignmentIllustration(a), expected[a]) << int(a);
    }
    // "Ausrichtung" 5: byte order reversed and nibbles swapped, bits inside nibbles untouched.
    EXPECT_EQ(applyAlignment(Bytes{0x12, 0x37, 0xA0}, 5), (Bytes{0x0A, 0x73, 0x21}));
    EXPECT_TRUE(applyAlignment(Bytes{}, 7).empty());
}

TEST(Password, Encoding) {
    struct Case {
        const char* text;
        PasswordResult result;
        std::array<std::uint8_t, 4> bytes;
        bool blocks;
    };
    const Case cases[] = {
        {"12345678", PasswordResult::Valid, {0x78, 0x56, 0x34, 0x12}, false},
        {"aBcDeF01", PasswordResult::Valid, {0x01, 0xEF, 0xCD, 0xAB}, false},
        {"FFFFFFFF", PasswordResult::Valid, {0xFF, 0xFF, 0xFF, 0xFF}, false},
        {"", PasswordResult::None, {}, false},
        {"1234567", PasswordResult::None, {}, true},
        {"123456789", PasswordResult::None, {}, true},
        {"1234567G", PasswordResult::Invalid, {}, true},
        {"1234 678", PasswordResult::Invalid, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const EncodedPassword pw = encodePassword(c.text);
        EXPECT_EQ(pw.result, c.result);
        if (c.result == PasswordResult::Valid) {
            EXPECT_EQ(pw.bytes, c.bytes);
        }
        EXPECT_EQ(passwordBlocksProgramming(c.text), c.blocks);
    }
}

TEST(FilterByte, KeyAndValue) {
    struct Case {
        std::uint8_t type;
        const char* key;
        const char* stored; // nullptr = the key's default
        std::uint8_t expected;
    };
    const Case cases[] = {
        {0, "Hitag2", nullptr, 0x4A},
        {chip::Hitag1, "Hitag1", "4C", 0x4C},
        {chip::Hitag1 | kBlockSequenceFlag, "Hitag1", "4c", 0x4C},
        {chip::Q5, "Q5", nullptr, 0x4B},
        {chip::Titan, "Titan", nullptr, 0x42},
        {chip::EM4569, "EM4569", nullptr, 0x40},
        {chip::HitagS, "HitagS", "7", 0x4A},
        {chip::ATA5577, "Hitag2", "5A", 0x5A},
        {chip::Tiris, "Hitag2", "", 0x4A},
        {chip::Hitag2, "Hitag2", "4G", 0x4A},
        {chip::Hitag2, "Hitag2", "41extra", 0x41},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_STREQ(filterKeyFor(c.type).key, c.key);
        std::string askedFor;
        const std::uint8_t byte = filterByteFor(c.type, [&](const FilterKey& key) {
            askedFor = key.key;
            return std::string(c.stored ? c.stored : key.defaultValue);
        });
        EXPECT_EQ(askedFor, c.key);
        EXPECT_EQ(byte, c.expected);
    }
}

TEST(CodeTables, FormatSelectedByRegister) {
    struct Case {
        std::uint8_t reg;
        std::uint8_t first;
        std::uint8_t second;
    };
    const Case cases[] = {
        {0, format::Unique, 0},
        {1, format::Unique, format::Unique},
        {17, format::Unique, format::Unique},
        {18, format::Zem16Bit, format::Zem16Bit},
        {19, format::UniqueXL, format::UniqueXL},
        {4, format::FdxBIso, format::FdxBIso},
        {8, format::HdxEn, format::HdxEn},
        {20, 0, 0},
        {24, 0, 0},
        {9, format::Zem12Bit, format::Zem12Bit},
        {25, format::Zem12Bit, format::Zem12Bit},
        {10, format::Unique, 0},
        {26, format::Unique, 0},
        {255, format::Unique, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.reg));
        EXPECT_EQ(formatForRegister(c.reg, true), c.first);
        EXPECT_EQ(formatForRegister(c.reg, false), c.second);
    }
    EXPECT_EQ(formatRegisterFor(format::Unique, 5), 17);
    EXPECT_EQ(formatRegisterFor(format::Zem12Bit, 5), 25);
    EXPECT_EQ(formatRegisterFor(format::FdxA, 5), format::FdxA);
    EXPECT_EQ(formatRegisterFor(format::Unique, 6), format::Unique);
}

TEST(CodeTables, Modulation) {
    const int positions[][2] = {{0, 0}, {5, 1}, {6, 2}, {1, 3}, {2, 4}, {3, -1}, {255, -1}};
    for (const auto& p : positions) {
        EXPECT_EQ(modulationListPosition(static_cast<std::uint8_t>(p[0])), p[1]) << p[0];
    }
    const int codes[][2] = {{-1, 0}, {0, 0}, {1, 5}, {2, 6}, {3, 1}, {4, 2}, {5, 0}};
    for (const auto& c : codes) {
        EXPECT_EQ(modulationCodeForPosition(c[0]), c[1]) << c[0];
    }
}

TEST(CodeTables, BaudValue) {
    struct Case {
        int value;
        int rate;
        int code;
        Parity parity;
        int stopBits;
    };
    const Case cases[] = {
        {19200, 19200, 0, Parity::None, 1}, {19203, 19200, 3, Parity::None, 2},
        {19207, 19200, 0, Parity::None, 1}, {9601, 9600, 1, Parity::Even, 1},
        {9602, 9600, 2, Parity::Odd, 1},    {115299, 115200, 0, Parity::None, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(baudRateOf(c.value), c.rate);
        EXPECT_EQ(serialFormatCode(c.value), c.code);
        const SerialFormat f = serialFormatFor(c.code);
        EXPECT_EQ(f.parity, c.parity);
        EXPECT_EQ(f.stopBits, c.stopBits);
        EXPECT_EQ(serialFormatCodeFor(f.parity, f.stopBits), c.code);
    }
    EXPECT_EQ(serialFormatCodeFor(Parity::Even, 2), 1);
    EXPECT_EQ(serialFormatCodeFor(Parity::Odd, 2), 2);
}

TEST(CodeTables, PowerOnMode) {
    const int indexFor[8] = {0, 1, 2, 2, 0, 1, 2, 2};
    for (int stored = 0; stored < 8; ++stored) {
        EXPECT_EQ(powerOnIndexFromStored(stored), indexFor[stored]) << stored;
    }
    // A value 2 read back selects the third button, which writes 3.
    EXPECT_EQ(powerOnStoredValueFor(powerOnIndexFromStored(2)), 3);
    EXPECT_EQ(powerOnStoredValueFor(0), 0);
    EXPECT_EQ(powerOnStoredValueFor(1), 1);
    EXPECT_EQ(powerOnStoredValueFor(-1), -1);
}

TEST(CodeTables, ChipsInCyclingOrder) {
    ASSERT_EQ(chipTable().size(), 14u);
    EXPECT_EQ(chipTable().front().code, chip::Hitag1);
    EXPECT_EQ(chipTable().back().code, chip::ATA5577Pw);
    EXPECT_STREQ(chipName(chip::Q5), "Q5 (ATA5555)");
    EXPECT_EQ(chipName(1), nullptr);
}

} // namespace
} // namespace veltra
