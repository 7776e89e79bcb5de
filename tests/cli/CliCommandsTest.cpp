// Commands run against a keyboard reader that the device link reports as a HID connection.
#include "CliCommands.h"
#include "FilterSettings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace veltra;

namespace {

class KeyboardReader : public ReaderLink {
public:
    std::vector<std::string> writes;

    int openPort(const char*, int, int, int) override { return 10001; }
    int closePort(int) override { return 0; }
    int lastError(int) override { return 0; }
    int portName(int, char*, int) override { return -1; }
    int isLanConnection(int) override { return 0; }
    int isHidConnection(int) override { return 1; }
    int supportsReaderMode(int) override { return 1; }
    int readDeviceType(int, unsigned char* reply, int replySize, char* name,
                       int nameSize) override {
        if (replySize < 4 || nameSize < 12) {
            return -1;
        }
        std::memcpy(reply, "551K", 4);
        std::memcpy(name, "QN-V551 HID", 12);
        return 4;
    }
    int readMode(int) override { return 1; }
    int setMode(int, int) override { return 0; }
    int setModeStored(int, int mode) override { return record("mode " + std::to_string(mode)); }
    int setBaudRate(int, int, int) override { return record("baud"); }
    int writeTransponderConfig(int, int, const unsigned char*, int) override {
        return record("config");
    }
    int writeTransponderPassword(int, const unsigned char*, int) override {
        return record("password");
    }
    int writeTransponderPasswordEx(int, int, const unsigned char*, int) override {
        return record("passwordEx");
    }
    int readParameterBlock(int, int block, unsigned char* buffer, int size) override {
        const unsigned char six[] = {0x01, 0x0A, 0x3F, 0x05};
        if (block == 6 && size >= 4) {
            std::memcpy(buffer, six, 4);
            return 4;
        }
        if (size >= 2) {
            buffer[0] = 0x0D;
            buffer[1] = 0xFF;
            return 2;
        }
        return -1;
    }
    int writeParameterBlock(int, int block, const unsigned char*, int) override {
        return record("block " + std::to_string(block));
    }
    int transact(int, int, const unsigned char*, int, unsigned char*, int) override { return -1; }
    int lanReadRemoteHost(const char*, char*, int*) override { return -1; }
    int lanWriteRemoteHost(const char*, const char*, int) override { return record("remote"); }

private:
    int record(const std::string& what) {
        writes.push_back(what);
        return 0;
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
        EXPECT_TRUE(reader.writes.empty()) << command;
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
