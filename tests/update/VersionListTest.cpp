// The version numbers and the rules that decide whether a list offers something newer.
#include "update/VersionList.h"

#include <gtest/gtest.h>

namespace veltra {
namespace {

TEST(VersionList, VersionNumbersCompareLikeTheReaderCountsThem) {
    struct Case {
        const char* text;
        unsigned number;
    };
    const Case cases[] = {
        {"1.07", 1007},  {"1.7", 1007},   {"1.10", 1010},  {"1.9", 1009},
        {" 2.3x", 2003}, {"-.--", 0},     {"", 0},         {".5", 0},
        {"3", 3000},     {"1.2.3", 1002}, {"+1.+5", 1005}, {"1 ", 1000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionToNumber(c.text), c.number) << '"' << c.text << '"';
    }
    EXPECT_EQ(localProgramVersion(""), "-.--");
    EXPECT_EQ(localProgramVersion("1.1"), "1.1 ");
    EXPECT_EQ(localProgramVersion("1.10"), "1.10");
    EXPECT_EQ(localProgramVersion("12345678901234567890"), "-.--");
}

TEST(VersionList, ProgramIsOfferedANewerVersionOrANewerBuild) {
    struct Case {
        const char* version;
        const char* build;
        const char* localVersion;
        const char* localBuild;
        bool newer;
    };
    const Case cases[] = {
        {"1.10", "2025-01-01", "1.9 ", "2025-06-01", true},
        {"1.10", "2025-02-01", "1.10", "2025-01-15", true},
        {"1.10", "2025-02-01", "1.10", "2025-03-01", false},
        {"1.10", "2025-02-01", "1.11", "2025-01-15", true}, // the build decides alone
        {"1.10", "", "1.10", "2025-01-15", false},
        {"1.01", "2025-02-01", "-.--", "2026-01-01", true}, // no version of its own
    };
    for (const Case& c : cases) {
        const std::string text = std::string("[Quarnel-Veltra]\r\nVersion=") + c.version +
                                 "\r\nBuild=" + c.build + "\r\n";
        const VersionList list(text);
        ASSERT_TRUE(list.parses());
        EXPECT_EQ(list.productNewer("Quarnel-Veltra", c.localVersion, c.localBuild), c.newer)
            << c.localVersion << ' ' << c.localBuild;
    }
    // Text that is no list offers nothing.
    for (const char* text : {"", "<html><body>Not found</body></html>", "Version=9.99\n"}) {
        EXPECT_FALSE(VersionList(text).parses()) << text;
        EXPECT_FALSE(VersionList(text).productNewer("", "-.--", "")) << text;
    }
}

} // namespace
} // namespace veltra
