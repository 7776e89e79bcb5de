// Decoding of the identification reply: type, version, capability bits, model names and
// reader-mode support.
#include "devicelink/Identity.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace qnlink;

namespace {

std::span<const std::uint8_t> bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(IdentityTest, IdentificationRepliesAreDecoded) {
    struct Case {
        std::string reply;
        int type;
        int version;
        bool extended;
        bool extra;
    };
    const Case cases[] = {
        {"2A3x", 0x2A3, 59, false, false},
        {"0293", 0x029, 3, false, false},
        {"0297", 0x029, 7, false, true},
        {"029z", 0x029, 61, false, true},
        {"0616", 0x061, 6, false, false},
        {"0617", 0x061, 7, false, true},
        {"0390", 0x039, 0, false, true},
        {"0415", 0x041, 5, false, true},
        {"1090", 0x109, 0, false, true},
        {"2141", 0x214, 1, false, true},
        {"0810", 0x081, 0, false, true},
        {"2710", 0x271, 0, false, true},
        {"244K", 0x244, 20, true, false},
        {"2310", 0x231, 0, true, false},
        {"2730", 0x273, 0, true, false},
        {"0550", 0x055, 0, true, false},
        {"5731", 0x573, 1, true, false},
        {"2901", 0x290, 1, true, false},
        {"0109", 0x010, 9, false, false},
        {"0319", 0x031, 9, false, false},
        {"244-", 0x244, 255, true, false},
        {"24G1", 0, 1, false, false},            // not a hex number: type unknown
        {"Z-Reader 1.2", 0x242, 3, true, false}, // a text instead of a code
        {"24", 0, 0, false, false},
        {"", 0, 0, false, false},
    };
    for (const auto& c : cases) {
        const ReaderIdentity id = decodeIdentification(bytes(c.reply));
        EXPECT_EQ(id.typeCode, c.type) << c.reply;
        EXPECT_EQ(id.firmwareVersion, c.version) << c.reply;
        EXPECT_EQ(id.extendedParameters, c.extended) << c.reply;
        EXPECT_EQ(id.extraBlock1Byte, c.extra) << c.reply;
    }
}

TEST(IdentityTest, ModelNamesFollowTheReply) {
    struct Case {
        std::string reply;
        std::string name;
    };
    const Case cases[] = {
        {"244K", "QN-V244"}, {"0010", "QN-V001"},     {"5733", "QN-V573"},
        {"2a3x", "QN-#2a3"}, {"9991", "QN-#999"},     {"12", "---"},
        {"", "---"},         {"Z-Reader", "QN-V242"}, {"123", "QN-#123"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(modelNameForReply(bytes(c.reply)), c.name) << c.reply;
    }
    // One distinct name per model, every one of them found.
    EXPECT_EQ(modelTableSize(), 77);
    std::set<std::string> names;
    int known = 0;
    for (int code = 0; code <= 0xFFF; ++code) {
        const std::string name = modelNameForType(code);
        if (!name.empty()) {
            ++known;
            names.insert(name);
        }
    }
    EXPECT_EQ(known, 77);
    EXPECT_EQ(names.size(), 77u);
}

TEST(IdentityTest, ReaderModeSupportByTypeCode) {
    struct Case {
        int type;
        int supported;
    };
    const Case cases[] = {
        {0x001, 0}, {0x010, 0}, {0x039, 0}, {0x081, 0}, {0x271, 0}, {0x273, 0}, {0x284, 0},
        {0x291, 0}, {0x024, 1}, {0x021, 0}, {0x044, 1}, {0x045, 1}, {0x041, 0}, {0x064, 1},
        {0x109, 0}, {0x214, 1}, {0x211, 0}, {0x051, 1}, {0x050, 0}, {0x231, 1}, {0x240, 0},
        {0x244, 1}, {0x250, 0}, {0x255, 1}, {0x522, 1}, {0x532, 1}, {0x551, 1}, {0x560, 0},
        {0x573, 1}, {0x541, 0}, {0x011, 0}, {0x031, 0}, {0x071, 0}, {0x2A3, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(supportsReaderMode(c.type), c.supported) << std::hex << c.type;
    }
}

} // namespace
