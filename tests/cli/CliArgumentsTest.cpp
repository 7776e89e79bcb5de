#include "tools/veltra-cli/CliCommands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace veltra;

TEST(CliArguments, CommandsOptionsAndRefusals) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        std::string errorStart; // German text the refusal begins with
    };
    const Case cases[] = {
        {{"identify", "--port", "/dev/pts/3:1"}, true, ""},
        {{"--port", "COM3:2", "mode", "--set", "3"}, true, ""},
        {{"save", "--port", "COM3", "out.mkr"}, true, ""},
        {{"program", "--port", "COM3", "in.mkr", "--yes", "--baud", "9601"}, true, ""},
        {{"--help"}, true, ""},
        {{}, false, "Unbekannter Befehl"},
        {{"erase", "--port", "COM3"}, false, "Unbekannter Befehl"},
        {{"identify"}, false, "Die Option --port fehlt."},
        {{"identify", "--port"}, false, "Die Option --port erwartet einen Wert."},
        {{"save", "--port", "COM3"}, false, "Der Name der .mkr-Datei fehlt."},
        {{"identify", "--port", "COM3", "extra"}, false, "Unbekannte Option"},
        {{"identify", "--port", "COM3", "--fast"}, false, "Unbekannte Option"},
        {{"mode", "--port", "COM3", "--set", "2"}, false, "Ungültiger Wert für --set: 2"},
        {{"mode", "--port", "COM3", "--set", "1x"}, false, "Ungültiger Wert für --set"},
        {{"identify", "--port", "COM3", "--baud", "0"}, false, "Ungültiger Wert für --baud"},
        {{"identify", "--port", "COM3", "--baud", "99999999999"},
         false,
         "Ungültiger Wert für --baud"},
        {{"identify", "--port", "COM3", "--timeout", "9"}, false, "Ungültiger Wert für --timeout"},
        {{"identify", "--port", "COM3", "--timeout", "300001"},
         false,
         "Ungültiger Wert für --timeout"},
        {{"identify", "--port", "COM3", "--lang", "fr"}, false, "Ungültiger Wert für --lang"},
        {{"identify", "--port", "COM3", "--interface", "usb"},
         false,
         "Ungültiger Wert für --interface"},
        {{"station", "a.mkr", "--port", "COM3", "--port", "COM4", "--log", "l"}, true, ""},
        {{"station", "a.mkr", "--watch-dir", "/tmp/r", "--count", "3"}, true, ""},
        {{"station", "a.mkr"}, false, "Die Option --port oder --watch fehlt."},
        {{"station", "--watch"}, false, "Der Name der .mkr-Datei fehlt."},
        {{"station", "a.mkr", "--watch", "--count", "0"}, false, "Ungültiger Wert für --count"},
    };
    for (const Case& c : cases) {
        const CliParse parse = parseCliArguments(c.args);
        std::string joined;
        for (const auto& a : c.args) {
            joined += a + " ";
        }
        EXPECT_EQ(parse.options.has_value(), c.ok) << joined << "-> " << parse.error;
        if (!c.ok) {
            EXPECT_EQ(parse.error.rfind(c.errorStart, 0), 0u) << joined << "-> " << parse.error;
        }
    }
}

TEST(CliArguments, ValuesArriveWhereTheyBelong) {
    const CliParse parse =
        parseCliArguments({"program", "--port", "192.168.0.20-10001:3", "--baud", "9602",
                           "--timeout", "1500", "cfg.mkr", "--no", "--lang", "en", "--verbose"});
    ASSERT_TRUE(parse.options);
    const CliOptions& o = *parse.options;
    EXPECT_EQ(o.command, "program");
    EXPECT_EQ(o.port, "192.168.0.20-10001:3");
    EXPECT_EQ(o.baudCode, 9602);
    EXPECT_EQ(o.timeoutMs, 1500);
    EXPECT_EQ(o.file, "cfg.mkr");
    EXPECT_EQ(o.answer, CliAnswer::No);
    EXPECT_EQ(o.language, "en");
    EXPECT_TRUE(o.verbose);
}

TEST(CliArguments, InterfaceKindFromTheLibraryPortName) {
    struct Case {
        std::string port;
        InterfaceKind kind;
    };
    const Case cases[] = {
        {"COM3:1", InterfaceKind::Serial},
        {"/dev/ttyUSB0", InterfaceKind::Serial},
        {"/dev/pts/7:12", InterfaceKind::Serial},
        {"FT1234AB:1", InterfaceKind::Serial},
        {"0815 HID:1", InterfaceKind::Hid},
        {"0815 HID", InterfaceKind::Hid},
        {"192.168.0.20:1", InterfaceKind::Lan},
        {"192.168.0.20-10001:1", InterfaceKind::Lan},
        {"[Halle 3]-10001:2", InterfaceKind::Lan},
        {"[Halle 3]", InterfaceKind::Lan},
        {"/dev/serial/by-id/usb-Maker_HID_Reader-if00:1", InterfaceKind::Serial},
        {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2.3:1.0-port0:1", InterfaceKind::Serial},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(interfaceKindFor(c.port), c.kind) << c.port;
    }
}
