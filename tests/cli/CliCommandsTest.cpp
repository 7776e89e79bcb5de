// Commands run against a keyboard reader that the device link reports as a HID connection.
#include "tools/veltra-cli/CliCommands.h"
#include "config/workflow/FilterSettings.h"
#include "config/workflow/MemoryFilterSettings.h"
#include "tests/support/FakeReaderLink.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <iterator>
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

// A keyboard reader's configuration goes to a file with its layout ("HID_KEYS", the layout
// question answered by --no), and a file's layout is programmed into the reader.
TEST(CliCommands, KeyboardReadersAreSavedAndProgrammedWithTheirLayout) {
    ::unsetenv("DISPLAY");
    ::setenv("XKB_DEFAULT_LAYOUT", "us", 1);
    QTemporaryDir dir;
    const std::string saved = dir.filePath("hid.mkr").toStdString();
    KeyboardReader reader;
    reader.hidKeys = {{'a', 0x04}, {'A', 0x0204}, {'@', 0x021F}};
    MemoryFilterSettings filters;
    std::ostringstream out;
    std::ostringstream err;
    CliEnvironment env{reader, filters, out, err, {}};
    const CliParse save = parseCliArguments({"save", "--port", "0815 HID:1", saved, "--no"});
    ASSERT_TRUE(save.options);
    ASSERT_EQ(runCliCommand(*save.options, env), kExitOk) << err.str();
    const std::string text = [&] {
        std::ifstream in(saved);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    EXPECT_NE(text.find("Zykluszeit=1000"), std::string::npos) << text;
    EXPECT_NE(text.find("TimeoutRS232=500"), std::string::npos) << text;
    EXPECT_NE(text.find("ScanCode030Normal=a"), std::string::npos) << text;
    EXPECT_NE(text.find("ScanCode003Shift=@"), std::string::npos) << text;
    EXPECT_NE(text.find("ScanCode016Normal=\r\n"), std::string::npos) << text;

    // The file now types 'a' with AltGr on the Q key; programming sends exactly that change and
    // the escape message, and the reader's table follows.
    std::string edited = text;
    edited.replace(edited.find("ScanCode030Normal=a"), 19, "ScanCode030Normal=");
    edited.replace(edited.find("ScanCode016AltGr=\r"), 18, "ScanCode016AltGr=a\r");
    { std::ofstream(saved) << edited; }
    const CliParse program = parseCliArguments({"program", "--port", "0815 HID:1", saved, "--no"});
    ASSERT_TRUE(program.options);
    ASSERT_EQ(runCliCommand(*program.options, env), kExitOk) << err.str();
    EXPECT_EQ(reader.hidKeys.at('a'), 0x4014);
    EXPECT_EQ(reader.hidKeys.at('@'), 0x021F);
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

// A keyboard reader whose hidraw node the user may not open: the message names the node and the
// udev rule instead of a bare connection failure.
TEST(CliCommands, MissingPermissionNamesTheDeviceNodeAndItsFix) {
    // A HID reader's node is opened up by the udev rule; a serial port by the dialout group.
    struct Case {
        const char* port;
        const char* hidNode;
        const char* named;
        const char* fix;
    };
    const Case cases[] = {
        {"0815 HID:1", "/dev/hidraw3", "/dev/hidraw3", "70-quarnel-veltra.rules"},
        {"/dev/ttyS0:1", "", "/dev/ttyS0", "dialout"},
    };
    for (const Case& c : cases) {
        KeyboardReader reader;
        reader.permissionDenied = true;
        reader.hidNode = c.hidNode;
        MemoryFilterSettings filters;
        std::ostringstream out;
        std::ostringstream err;
        CliEnvironment env{reader, filters, out, err, {}};
        const CliParse parse = parseCliArguments({"identify", "--port", c.port});
        ASSERT_TRUE(parse.options);
        EXPECT_EQ(runCliCommand(*parse.options, env), kExitFailed);
        EXPECT_NE(err.str().find(std::string(c.named) + " "), std::string::npos) << err.str();
        EXPECT_NE(err.str().find(c.fix), std::string::npos) << err.str();
    }
}
