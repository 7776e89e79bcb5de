// Multi-string lists and the USB product-number filter.
#include "devicelink/MultiString.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using namespace qnlink;

namespace {

TEST(MultiStringTest, EntriesAreTakenWhileTheyFit) {
    struct Case {
        std::vector<std::string> entries;
        int size;
        int result;
        std::string bytes; // the used part of the buffer, NULs included
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {{}, 16, 1, "\0"s},
        {{}, 1, 1, "\0"s},
        {{"ab", "cde"}, 16, 8, "ab\0cde\0\0"s},
        {{"ab", "cde"}, 8, 8, "ab\0cde\0\0"s},
        {{"ab", "cde"}, 7, 4, "ab\0\0"s},          // "cde" would leave no room for the end
        {{"ab", "c", "defg"}, 7, 6, "ab\0c\0\0"s}, // the list stops at the first misfit
        {{"abcdef", "x"}, 4, 1, "\0"s},            // a first entry that does not fit
        {{"", "ab"}, 8, 4, "ab\0\0"s},
    };
    for (const auto& c : cases) {
        std::array<char, 32> buffer;
        buffer.fill('#');
        const int r = writeMultiString(c.entries, buffer.data(), c.size);
        EXPECT_EQ(r, c.result) << c.size;
        EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(r)), c.bytes) << c.size;
        // Nothing beyond the stated size is touched.
        EXPECT_EQ(buffer[static_cast<std::size_t>(c.size)], '#') << c.size;
    }
    EXPECT_EQ(writeMultiString({"a"}, nullptr, 10), 0);
    std::array<char, 2> none{'#', '#'};
    EXPECT_EQ(writeMultiString({"a"}, none.data(), 0), 0);
    EXPECT_EQ(none[0], '#');
}

TEST(MultiStringTest, UsbEntriesAreFilteredByProductNumber) {
    const std::pair<const char*, bool> cases[] = {
        {"1100A", true}, {"1124", true}, {"1136x", true},         {"1140", true},
        {"1309", false}, {"1310", true}, {"1319-???? HID", true}, {"1320", false},
        {"1620", true},  {"1639", true}, {"1640", false},         {"1649", false},
        {"1650", true},  {"1659", true}, {"1680", true},          {"1681", false},
        {"2000", true},  {"2099", true}, {"2100", false},         {"110", false},
        {"A100", false}, {"", false},
    };
    for (auto [entry, kept] : cases) {
        EXPECT_EQ(isReaderProductNumber(entry), kept) << entry;
    }
}

} // namespace
