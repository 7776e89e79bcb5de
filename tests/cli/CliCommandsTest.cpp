// Commands run against a keyboard reader that the device link reports as a HID connection.
#include "tools/veltra-cli/CliCommands.h"
#include "config/workflow/FilterSettings.h"
#include "config/workflow/MemoryFilterSettings.h"
#include "tests/support/FakeReaderLink.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace veltra;

namespace {

// A keyboard reader of type 551 that the device link reports as a HID connection.
struct KeyboardReader : test::FakeReaderLink {
    KeyboardReader() {
        handle = 10001;
        hidConnection = true;
        identity = "551K";
        model = "QN-V551 HID";
        for (int block = 1; block <= 5; ++block) {
            blocks[block] = {0x0D, 0xFF};
        }
        blocks[6] = {0x01, 0x0A, 0x3F, 0x05};
    }
};

} // namespace

TEST(CliCommands, KeyboardReadersAreNeitherSavedNorProgrammed) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("hid.mkr").toStdString();
    { std::ofstream(file) << "[Device]\nName=QN-V551 HID\n[Data]\nZykluszeit=500\n"; }
    for (const char* command : {"save", "program"}) {
        KeyboardReader reader;
        MemoryFilterSettings filters;
        std::ostringstream out;
        std::ostringstream err;
        CliEnvironment env{reader, filters, out, err, {}};
        const std::string target =
            std::string(command) == "save" ? dir.filePath("new.mkr").toStdString() : file;
        const CliParse parse =
            parseCliArguments({command, "--port", "0815 HID:1", target, "--yes"});
        ASSERT_TRUE(parse.options);
        EXPECT_EQ(runCliCommand(*parse.options, env), kExitFailed) << command;
        EXPECT_NE(err.str().find("Tastaturleser (USB HID)"), std::string::npos) << err.str();
        EXPECT_TRUE(reader.writes().empty()) << command;
        EXPECT_TRUE(out.str().empty()) << command;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.filePath("new.mkr").toStdString()));
}

TEST(CliCommands, IdentifyShowsAKeyboardReadersFeatures) {
    KeyboardReader reader;
    MemoryFilterSettings filters;
    std::ostringstream out;
    std::ostringstream err;
    CliEnvironment env{reader, filters, out, err, {}};
    const CliParse parse = parseCliArguments({"identify", "--port", "0815 HID:1"});
    ASSERT_TRUE(parse.options);
    ASSERT_EQ(runCliCommand(*parse.options, env), kExitOk) << err.str();
    // 0x551 at version 20 with the HID bit, without the serial-interface bit.
    EXPECT_NE(out.str().find("DeviceFeatures: 0x80FFE2EE\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Modell: QN-V551 HID\n"), std::string::npos) << out.str();
}
