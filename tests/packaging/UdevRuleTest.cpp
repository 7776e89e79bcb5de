// The udev rules, checked without a device: the one that gives the logged-in user the readers,
// and the one that binds the kernel's ftdi_sio driver to FTDI readers: the rule file is parsed as
// udev reads it (every key, operator and quoted value, or the test fails), its match keys are
// applied to device descriptions, and the commands it runs are run with the sysfs path moved into a
// temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fnmatch.h>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Key {
    std::string name; // "ACTION", "ATTR{idVendor}", ...
    std::string op;   // "==", "!=", "=", "+=", ":=", "-="
    std::string value;
};

using Rule = std::vector<Key>;
using Device = std::map<std::string, std::string>;

// The keys a rule of ours may use, as udev names them.
bool isMatchKey(const std::string& name) {
    static const std::regex match(
        "ACTION|SUBSYSTEMS?|KERNELS?|DRIVERS?|DEVPATH|(ENV|ATTRS?)\\{[A-Za-z_][A-Za-z0-9_]*\\}");
    return std::regex_match(name, match);
}
bool isAssignKey(const std::string& name) {
    static const std::regex assign("RUN|MODE|GROUP|OWNER|SYMLINK|TAG|ENV\\{[A-Za-z_]+\\}");
    return std::regex_match(name, assign);
}

// Reads the rules of a file; a line that is not a valid rule fails the test.
std::vector<Rule> readRules(const fs::path& file) {
    std::ifstream in(file);
    EXPECT_TRUE(in.good()) << file;
    std::vector<Rule> rules;
    std::string line;
    std::string text;
    int number = 0;
    static const std::regex keyPattern(
        R"(\s*([A-Z]+(?:\{[^}]*\})?)\s*(==|!=|\+=|-=|:=|=)\s*\"((?:[^\"\\]|\\.)*)\"\s*(,|$))");
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\\') {
            text += line.substr(0, line.size() - 1);
            continue;
        }
        text += line;
        const auto first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#') {
            text.clear();
            continue;
        }
        Rule rule;
        auto at = text.cbegin();
        std::smatch m;
        while (at != text.cend() && std::regex_search(at, text.cend(), m, keyPattern,
                                                      std::regex_constants::match_continuous)) {
            Key key{m[1], m[2], m[3]};
            const bool matching = key.op == "==" || key.op == "!=";
            EXPECT_TRUE(matching ? isMatchKey(key.name) : isAssignKey(key.name))
                << "line " << number << ": " << key.name << key.op;
            rule.push_back(key);
            at = m[0].second;
            if (m[4].length() == 0) {
                break;
            }
        }
        EXPECT_TRUE(at == text.cend())
            << "line " << number << " unreadable from: " << std::string(at, text.cend());
        rules.push_back(rule);
        text.clear();
    }
    return rules;
}

// Whether every match key of the rule holds for the device (udev's glob patterns with "|").
bool matches(const Rule& rule, const Device& device) {
    for (const Key& key : rule) {
        if (key.op != "==" && key.op != "!=") {
            continue;
        }
        const auto it = device.find(key.name);
        const std::string value = it == device.end() ? "" : it->second;
        bool any = false;
        std::stringstream patterns(key.value);
        std::string pattern;
        while (std::getline(patterns, pattern, '|')) {
            any = any || fnmatch(pattern.c_str(), value.c_str(), 0) == 0;
        }
        if (any != (key.op == "==")) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> runCommands(const Rule& rule) {
    std::vector<std::string> commands;
    for (const Key& key : rule) {
        if (key.name == "RUN") {
            commands.push_back(key.value);
        }
    }
    return commands;
}

TEST(UdevRuleTest, BindsFtdiSioToTheFtdiReaderOnly) {
    const std::vector<Rule> rules = readRules(VELTRA_FTDI_RULES);
    ASSERT_EQ(rules.size(), 1u);
    const Rule& rule = rules[0];

    const Device reader{{"ACTION", "add"},
                        {"SUBSYSTEM", "usb"},
                        {"ENV{DEVTYPE}", "usb_device"},
                        {"ATTR{idVendor}", "0403"},
                        {"ATTR{idProduct}", "e130"}};
    struct Case {
        const char* what;
        std::string key;
        std::string value;
        bool fires;
    };
    const std::vector<Case> cases = {
        {"the FTDI reader plugged in", "", "", true},
        {"an FTDI chip with FTDI's own id", "ATTR{idProduct}", "6001", false},
        {"another maker's device", "ATTR{idVendor}", "1c40", false},
        {"the reader unplugged", "ACTION", "remove", false},
        {"one of the reader's interfaces", "ENV{DEVTYPE}", "usb_interface", false},
        {"the reader's serial port", "SUBSYSTEM", "tty", false},
    };
    for (const Case& c : cases) {
        Device device = reader;
        if (!c.key.empty()) {
            device[c.key] = c.value;
        }
        EXPECT_EQ(matches(rule, device), c.fires) << c.what;
    }

    // What it runs: loads the driver, then hands it the reader's id. The id goes to the
    // driver's new_id file; run here with sysfs moved into a temporary folder.
    const std::vector<std::string> commands = runCommands(rule);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], "/sbin/modprobe ftdi_sio");
    const std::string newId = "/sys/bus/usb-serial/drivers/ftdi_sio/new_id";
    std::string command = commands[1];
    const auto at = command.find(newId);
    ASSERT_NE(at, std::string::npos) << command;
    char pattern[] = "/tmp/qn-udev.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path fakeSys = fs::path(pattern) / "sys";
    fs::create_directories(fakeSys / "bus/usb-serial/drivers/ftdi_sio");
    command.replace(at, 4, fakeSys.string());
    ASSERT_EQ(command.rfind("/bin/sh -c '", 0), 0u) << command;
    ASSERT_EQ(command.back(), '\'');
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    std::ifstream written(fakeSys / "bus/usb-serial/drivers/ftdi_sio/new_id");
    std::string id;
    std::getline(written, id);
    EXPECT_EQ(id, "0403 e130");
    fs::remove_all(pattern);
}

bool tagsForTheUser(const Rule& rule) {
    for (const Key& key : rule) {
        if (key.name == "TAG" && key.op == "+=" && key.value == "uaccess") {
            return true;
        }
    }
    return false;
}

TEST(UdevRuleTest, GivesTheLoggedInUserTheReadersAndNothingElse) {
    // Ahead of 73-seat-late.rules, which turns the tag into the user's access.
    EXPECT_LT(std::stoi(fs::path(VELTRA_ACCESS_RULES).filename().string()), 73);
    const std::vector<Rule> rules = readRules(VELTRA_ACCESS_RULES);
    const auto device = [](const char* subsystem, const char* vendor, const char* product) {
        Device d{{"SUBSYSTEM", subsystem}};
        if (std::string(subsystem) == "usb") {
            d["ENV{DEVTYPE}"] = "usb_device";
            d["ATTR{idVendor}"] = vendor;
            d["ATTR{idProduct}"] = product;
        } else if (*vendor != '\0') {
            d["ATTRS{idVendor}"] = vendor;
            d["ATTRS{idProduct}"] = product;
        }
        return d;
    };
    struct Case {
        const char* what;
        Device device;
        bool granted;
    };
    const std::vector<Case> cases = {
        {"HID reader 16c0:2913", device("hidraw", "16c0", "2913"), true},
        {"HID reader 1c40:05ab", device("hidraw", "1c40", "05ab"), true},
        {"HID reader 1c40:05af", device("hidraw", "1c40", "05af"), true},
        {"another HID device of the maker", device("hidraw", "1c40", "05a0"), false},
        {"a mouse", device("hidraw", "046d", "c52b"), false},
        {"virtual COM reader", device("tty", "1c40", "05ac"), true},
        {"FTDI reader under ftdi_sio", device("tty", "0403", "e130"), true},
        {"FTDI reader for D2XX", device("usb", "0403", "e130"), true},
        {"another FTDI adapter", device("tty", "0403", "6001"), false},
        {"another FTDI chip for D2XX", device("usb", "0403", "6001"), false},
        {"an RS-232 port (dialout group)", device("tty", "", ""), false},
        {"a HID reader's USB device", device("usb", "16c0", "2913"), false},
    };
    for (const Case& c : cases) {
        bool granted = false;
        for (const Rule& rule : rules) {
            granted = granted || (matches(rule, c.device) && tagsForTheUser(rule));
        }
        EXPECT_EQ(granted, c.granted) << c.what;
    }
}

} // namespace
