// The reading and programming sequences against a reader that keeps its blocks in memory and
// logs every exchange in the order it arrives.
#include "config/workflow/ConfigurationWorkflow.h"
#include "config/workflow/FilterSettings.h"
#include "config/workflow/MemoryFilterSettings.h"
#include "tests/support/FakeReaderLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace veltra;

namespace {

constexpr int kHandle = 3;

// A reader on handle 3 that keeps its blocks in memory.
struct MemoryReader : test::FakeReaderLink {
    MemoryReader() { handle = kHandle; }
};

class TestSource : public ConfigurationSource {
public:
    ReaderConfiguration config;
    std::optional<WorkflowMessage> dataComplaint;
    std::optional<WorkflowMessage> parameterComplaint;
    std::vector<int> shownBaud;
    int selectedPowerOn = -1;
    std::optional<bool> dtrKnown = false;

    TestSource() {
        config.data[0].active = 1;
        config.data[0].transponderType = 0;
        config.data[0].registers = {1, 255, 255, 255};
        config.parameters = defaultReaderParameters();
    }
    Bytes prefixBlock() override { return {0x02}; }
    Bytes suffixBlock() override { return {0x0D, 0x0A}; }
    Bytes pullOffBlock() override { return {}; }
    Bytes separatorBlock() override { return {0x2C}; }
    std::optional<WorkflowMessage> takeDataFormats() override { return dataComplaint; }
    std::optional<WorkflowMessage> takeParameters() override { return parameterComplaint; }
    const ReaderConfiguration& configuration() const override { return config; }
    void showCurrentInterface(int baudCode) override { shownBaud.push_back(baudCode); }
    void selectPowerOnMode(int index) override { selectedPowerOn = index; }
    std::optional<bool> dtrSupported() const override { return dtrKnown; }
};

constexpr std::uint32_t kSerial244 = 0x800020E6u | feature::SerialInterface;
constexpr std::uint32_t kOneOutput = kSerial244 & ~feature::SecondDataPage;

ProgrammingResult program(MemoryReader& reader, TestSource& source, std::uint32_t features,
                          const WorkflowCallbacks& callbacks = {},
                          const FilterSettings* filters = nullptr,
                          const std::string& model = "QN-V4 A") {
    ProgrammingInput input;
    input.modelName = model;
    input.features = features;
    input.baudCode = 19200;
    input.filters = filters;
    input.open = [&reader, features] { return reader.openResult(features); };
    return programConfiguration(reader, source, input, callbacks);
}

} // namespace

TEST(WorkflowProgramming, WritesEverythingInTheSheetsOrder) {
    MemoryReader reader;
    reader.dtrSupported = true;
    TestSource source;
    source.dtrKnown = std::nullopt; // unknown: the sequence asks the reader
    source.config.parameters.powerOnMode = 1;
    source.config.parameters.dtrMode = 1;
    std::vector<WorkflowStep> steps;
    WorkflowCallbacks callbacks;
    callbacks.progress = [&](WorkflowStep step) { steps.push_back(step); };

    const ProgrammingResult r = program(reader, source, kSerial244, callbacks);
    ASSERT_TRUE(r.success) << r.message.text;
    EXPECT_EQ(r.message.id, 74002);
    EXPECT_EQ(r.message.text, "Programmierung erfolgreich abgeschlossen");
    const std::vector<std::string> expected{
        "write 2: 02",     "write 1: 00 01 FF FF FF FF 00 00 0A 05 01 00 00 00 FF FF FF FF",
        "config 0 4A",     "write 6: 00 0A 3F 05",
        "write 3: 0D 0A",  "write 5: ",
        "write 4: 2C",     "setModeStored 1",
        "transact 254 01",
    };
    EXPECT_EQ(reader.writes(), expected);
    EXPECT_EQ(reader.log.back(), "close 3");
    EXPECT_EQ(reader.log[reader.log.size() - 2], "setMode 2");
    EXPECT_EQ(source.shownBaud, (std::vector<int>{19200, 19200}));
    const std::vector<WorkflowStep> expectedSteps{WorkflowStep::Connect,
                                                  WorkflowStep::CheckModel,
                                                  WorkflowStep::WritePrefix,
                                                  WorkflowStep::CheckDataFormats,
                                                  WorkflowStep::WriteDataBlock,
                                                  WorkflowStep::WritePasswords,
                                                  WorkflowStep::WriteFilter,
                                                  WorkflowStep::CheckParameters,
                                                  WorkflowStep::WriteParameterBlock,
                                                  WorkflowStep::WriteSuffix,
                                                  WorkflowStep::WritePullOff,
                                                  WorkflowStep::WriteSeparator,
                                                  WorkflowStep::WritePowerOnMode,
                                                  WorkflowStep::WriteDtrMode,
                                                  WorkflowStep::ReadBackPowerOnMode,
                                                  WorkflowStep::Close};
    EXPECT_EQ(steps, expectedSteps);
}

TEST(WorkflowProgramming, StopsWhereTheSheetStops) {
    struct Case {
        const char* what;
        std::optional<WorkflowMessage> dataComplaint;
        std::optional<WorkflowMessage> parameterComplaint;
        std::string model;
        int failingWrite;
        int messageId;
        std::vector<std::string> writes;
    };
    const Case cases[] = {
        {"model mismatch writes nothing", {}, {}, "QN-V4 B", 0, 74000, {}},
        {"invalid data format after the prefix",
         WorkflowMessage{73001, "Zeichenanzahl"},
         {},
         "QN-V4 A",
         0,
         73001,
         {"write 2: 02"}},
        {"invalid parameters after data and filter",
         {},
         WorkflowMessage{73002, "Zykluszeit"},
         "QN-V4 A",
         0,
         73002,
         {"write 2: 02", "write 1: 00 01 FF FF FF FF 00 00 0A 05 01 00 00 00 FF FF FF FF",
          "config 0 4A"}},
        {"prefix write fails", {}, {}, "QN-V4 A", 2, 139, {"write 2: 02"}},
        {"data write fails",
         {},
         {},
         "QN-V4 A",
         1,
         139,
         {"write 2: 02", "write 1: 00 01 FF FF FF FF 00 00 0A 05 01 00 00 00 FF FF FF FF"}},
        {"separator write fails",
         {},
         {},
         "QN-V4 A",
         4,
         139,
         {"write 2: 02", "write 1: 00 01 FF FF FF FF 00 00 0A 05 01 00 00 00 FF FF FF FF",
          "config 0 4A", "write 6: 00 0A 3F 05", "write 3: 0D 0A", "write 5: ", "write 4: 2C"}},
    };
    for (const Case& c : cases) {
        MemoryReader reader;
        if (c.failingWrite != 0) {
            reader.failingWrites.insert(c.failingWrite);
        }
        TestSource source;
        source.dataComplaint = c.dataComplaint;
        source.parameterComplaint = c.parameterComplaint;
        WorkflowCallbacks callbacks;
        bool asked = false;
        callbacks.askYesNo = [&](const std::string&) { return asked = true; };
        ProgrammingInput input;
        const ProgrammingResult r =
            program(reader, source, kSerial244, callbacks, nullptr, c.model);
        EXPECT_FALSE(r.success) << c.what;
        EXPECT_EQ(r.message.id, c.messageId) << c.what;
        EXPECT_EQ(reader.writes(), c.writes) << c.what;
        EXPECT_FALSE(asked) << c.what;
        ASSERT_GE(reader.log.size(), 2u);
        EXPECT_EQ(reader.log[reader.log.size() - 2], "setMode 2") << c.what;
        EXPECT_EQ(reader.log.back(), "close 3") << c.what;
    }
}

TEST(WorkflowProgramming, ModelMismatchNamesTheConfiguredModelFirst) {
    MemoryReader reader;
    TestSource source;
    const ProgrammingResult r = program(reader, source, kSerial244, {}, nullptr, "QN-V2 X");
    EXPECT_EQ(r.message.text, "Die Einstellungen sind für <QN-V2 X>, aktuell ist aber ein "
                              "<QN-V4 A> angeschlossen!\nProgrammieren nicht möglich!");
}

TEST(WorkflowProgramming, PasswordsAndTheirRefusal) {
    struct Case {
        const char* what;
        std::uint8_t type0;
        std::string hitag2;
        std::string ata;
        std::uint8_t type1;
        std::string ata1;
        std::uint32_t features;
        bool success;
        std::vector<std::string> passwordWrites;
    };
    const std::uint32_t two = kSerial244 | feature::SecondDataPage;
    const Case cases[] = {
        {"Hitag2, last digit pair first",
         2,
         "11223344",
         "",
         0,
         "",
         kSerial244,
         true,
         {"password 44 33 22 11"}},
        {"ATA5577 + PW with its type",
         48,
         "",
         "A1b2C3d4",
         0,
         "",
         kSerial244,
         true,
         {"passwordEx 48 D4 C3 B2 A1"}},
        {"block sequence of Hitag2 keeps its password",
         2 | 0x80,
         "01020304",
         "",
         0,
         "",
         kSerial244,
         true,
         {"password 04 03 02 01"}},
        {"empty text writes nothing", 2, "", "", 0, "", kSerial244, true, {}},
        {"other chip ignores the texts", 5, "zz", "zz", 0, "", kSerial244, true, {}},
        {"fixed format ignores the texts", 0, "1", "1", 0, "", kSerial244, true, {}},
        {"seven digits stop", 2, "1122334", "", 0, "", kSerial244, false, {}},
        {"non-hex stops", 48, "", "1122334G", 0, "", kSerial244, false, {}},
        {"second output with bit 13",
         2,
         "11223344",
         "",
         48,
         "55667788",
         two,
         true,
         {"password 44 33 22 11", "passwordEx 48 88 77 66 55"}},
        {"second output without bit 13 is ignored",
         2,
         "11223344",
         "",
         48,
         "bad",
         kOneOutput,
         true,
         {"password 44 33 22 11"}},
    };
    for (const Case& c : cases) {
        MemoryReader reader;
        TestSource source;
        DataFormatRecord& first = source.config.data[0];
        first.transponderType = c.type0;
        first.registers = {254, 255, 255, 255};
        first.hitag2Password = c.hitag2;
        first.ata5577Password = c.ata;
        DataFormatRecord& second = source.config.data[1];
        second.active = c.type1 != 0 ? 1 : 0;
        second.transponderType = c.type1;
        second.registers = {254, 255, 255, 255};
        second.ata5577Password = c.ata1;
        const ProgrammingResult r = program(reader, source, c.features);
        EXPECT_EQ(r.success, c.success) << c.what << ": " << r.message.text;
        if (!c.success) {
            EXPECT_EQ(r.message.text, "Passwort nicht korrekt") << c.what;
            // The data block is already written; nothing after the passwords is.
            EXPECT_EQ(reader.writes().size(), 2u) << c.what;
        }
        std::vector<std::string> passwords;
        for (const std::string& w : reader.writes()) {
            if (w.rfind("password", 0) == 0) {
                passwords.push_back(w);
            }
        }
        EXPECT_EQ(passwords, c.passwordWrites) << c.what;
    }
}

TEST(WorkflowProgramming, FilterByteOfTheFirstOutputsChip) {
    struct Case {
        std::uint8_t type;
        const char* key;
        const char* stored;
        const char* expected;
    };
    const Case cases[] = {
        {3, nullptr, nullptr, "config 0 4B"},  {9, nullptr, nullptr, "config 0 4A"},
        {6, nullptr, nullptr, "config 0 42"},  {7, nullptr, nullptr, "config 0 40"},
        {0, nullptr, nullptr, "config 0 4A"},  {0, "Hitag2", "5c", "config 0 5C"},
        {5, "Hitag1", "7", "config 0 4A"},     {4, "HitagS", "1F", "config 0 1F"},
        {3 | 0x80, "Q5", "33", "config 0 33"}, {33, "Hitag2", "01", "config 0 01"},
    };
    for (const Case& c : cases) {
        MemoryReader reader;
        TestSource source;
        source.config.data[0].transponderType = c.type;
        MemoryFilterSettings filters;
        if (c.key != nullptr) {
            filters.setValue(c.key, c.stored);
        }
        ASSERT_TRUE(program(reader, source, kSerial244, {}, &filters).success);
        const auto writes = reader.writes();
        EXPECT_NE(std::find(writes.begin(), writes.end(), c.expected), writes.end())
            << int(c.type) << " expected " << c.expected;
    }
}

TEST(WorkflowProgramming, BaudRateChangesOnlyWhereAllowed) {
    struct Case {
        const char* what;
        int parameterBaud;
        std::uint32_t features;
        bool hidConnection;
        std::string expected; // empty: no change
        bool success;
    };
    const Case cases[] = {
        {"even parity at 9600", 9601, kSerial244, false, "setBaudRate 9600 1", true},
        {"two stop bits", 38403, kSerial244, false, "setBaudRate 38400 3", true},
        {"odd digits count as 8N1", 4807, kSerial244, false, "setBaudRate 4800 0", true},
        {"unchanged", 19200, kSerial244, false, "", true},
        {"fixed baud rate on LAN", 9600, kSerial244 | feature::LanConnection, false, "", true},
        {"HID connection", 9600, kSerial244, true, "", true},
        {"no rate at all is refused", 0, kSerial244, false, "", false},
    };
    for (const Case& c : cases) {
        MemoryReader reader;
        reader.hidConnection = c.hidConnection;
        TestSource source;
        source.config.parameters.baudRate = c.parameterBaud;
        const ProgrammingResult r = program(reader, source, c.features);
        EXPECT_EQ(r.success, c.success) << c.what;
        std::string change;
        for (const std::string& w : reader.writes()) {
            if (w.rfind("setBaudRate", 0) == 0) {
                change = w;
            }
        }
        EXPECT_EQ(change, c.expected) << c.what;
        EXPECT_EQ(r.baudChanged, !c.expected.empty()) << c.what;
        if (r.baudChanged) {
            EXPECT_EQ(r.baudCode, c.parameterBaud) << c.what;
            EXPECT_EQ(source.shownBaud.back(), c.parameterBaud) << c.what;
        }
    }
}

TEST(WorkflowProgramming, ProgrammingModeQuestion) {
    struct Case {
        const char* what;
        std::uint32_t features;
        int pageSelection;
        int modeBefore;
        bool answer;
        bool asked;
        int modeAfter;
    };
    const std::uint32_t noPowerOn = kSerial244 & ~feature::PowerOnMode;
    const Case cases[] = {
        {"programming mode selected, Yes", kSerial244, 0, 1, true, true, 1},
        {"programming mode selected, No keeps it", kSerial244, 0, 1, false, true, 0},
        {"reader stays in programming mode", kSerial244, -1, 0, true, true, 1},
        {"stored value 4 reads as programming mode", kSerial244, -1, 4, false, true, 4},
        {"reader mode needs no question", kSerial244, 1, 0, true, false, 1},
        {"silent reader mode is written as 3", kSerial244, 2, 0, true, false, 3},
        {"no power-on mode: no question, nothing written", noPowerOn, 0, 0, true, false, 0},
    };
    for (const Case& c : cases) {
        MemoryReader reader;
        reader.storedMode = c.modeBefore;
        TestSource source;
        source.config.parameters.powerOnMode = static_cast<std::int8_t>(c.pageSelection);
        bool asked = false;
        std::string question;
        WorkflowCallbacks callbacks;
        callbacks.askYesNo = [&](const std::string& q) {
            asked = true;
            question = q;
            return c.answer;
        };
        const ProgrammingResult r = program(reader, source, c.features, callbacks);
        EXPECT_TRUE(r.success) << c.what;
        EXPECT_EQ(asked, c.asked) << c.what;
        EXPECT_EQ(reader.storedMode, c.modeAfter) << c.what;
        EXPECT_EQ(r.switchedToReaderMode, c.asked && c.answer) << c.what;
        EXPECT_EQ(source.selectedPowerOn, c.asked && c.answer ? 1 : -1) << c.what;
        if (asked) {
            EXPECT_EQ(question.rfind("Als Einschaltkonfiguration ist \"Programmiermodus\" "
                                     "gewählt!\nUm dieses Gerät",
                                     0),
                      0u);
        }
    }
}

TEST(WorkflowProgramming, SecondDataOutputOnlyWhenActive) {
    struct Case {
        std::uint32_t features;
        std::uint8_t secondActive;
        std::size_t length;
    };
    const Case cases[] = {{kSerial244 | feature::SecondDataPage, 0, 18},
                          {kSerial244 | feature::SecondDataPage, 1, 40},
                          {kOneOutput, 1, 18}};
    for (const Case& c : cases) {
        MemoryReader reader;
        TestSource source;
        source.config.data[1].active = c.secondActive;
        source.config.data[1].transponderType = 9;
        ASSERT_TRUE(program(reader, source, c.features).success);
        EXPECT_EQ(reader.blocks[1].size(), c.length);
    }
}

TEST(WorkflowProgramming, RemoteHostIsWrittenAfterCloseForTcpClients) {
    MemoryReader reader;
    TestSource source;
    source.config.parameters.remoteIp = "10.0.0.7";
    source.config.parameters.remotePort = 4001;
    const std::uint32_t features = 0x807FE0EEu | feature::LanConnection;
    ASSERT_TRUE(program(reader, source, features).success);
    EXPECT_EQ(reader.log.back(), "remoteHost /dev/pts/9 10.0.0.7 4001");
    EXPECT_EQ(reader.log[reader.log.size() - 2], "close 3");
}

TEST(WorkflowReading, ReadsInTheSheetsOrderAndDecodes) {
    MemoryReader reader;
    reader.blocks[6] = {0x13, 0x0A, 0x21, 0x05};
    reader.blocks[1] =
        Bytes{0x09, 0x01, 0x02, 0xFF, 0xFF, 0xFF, 0x00, 0x02, 0x08, 0x04, 0x01, 0x00, 0x00};
    reader.blocks[2] = {0x02};
    reader.blocks[3] = {0x0D, 0x0A};
    reader.blocks[4] = {};
    reader.storedMode = 3;
    reader.dtrSupported = true;
    reader.dtr = 1;
    ReadingInput input;
    input.open = [&] { return reader.openResult(kSerial244); };
    const ReaderReading r = readConfiguration(reader, input);
    ASSERT_TRUE(r.connected);
    const std::vector<std::string> expected{"read 6",    "readMode", "transact 254", "read 1",
                                            "read 2",    "read 3",   "read 5",       "read 4",
                                            "setMode 2", "close 3"};
    EXPECT_EQ(reader.log, expected);
    EXPECT_EQ(r.modelName, "QN-V4 A");
    EXPECT_TRUE(r.parametersDecoded);
    EXPECT_EQ(r.parameters.operatingMode, 0x13);
    EXPECT_EQ(r.parameters.cycleTimeMs, 1000);
    EXPECT_EQ(r.parameters.prompt, '!');
    EXPECT_EQ(r.parameters.timeoutMs, 500);
    EXPECT_EQ(r.parameters.baudRate, 19200);
    EXPECT_EQ(r.parameters.powerOnMode, 3);
    EXPECT_EQ(r.parameters.dtrMode, 1);
    EXPECT_TRUE(r.dtrSupported);
    // A 13-byte block of an older reader: one record, "ModSpeed" 0.
    EXPECT_EQ(r.dataRecords, 1);
    EXPECT_EQ(r.configuration.data[0].transponderType, 9);
    EXPECT_EQ(r.configuration.data[0].modSpeed, 0);
    EXPECT_EQ(r.configuration.data[0].active, 1);
    EXPECT_EQ(r.configuration.data[1].active, 0);
    EXPECT_EQ(r.prefix, Bytes{0x02});
    EXPECT_EQ(r.separator, Bytes{});
    EXPECT_FALSE(r.pullOff.has_value());
}

TEST(WorkflowReading, MissingBlocksAndFlags) {
    struct Case {
        const char* what;
        std::uint32_t features;
        bool block6;
        bool modeReadable;
        int expectedBaud;
        int expectedPowerOn;
    };
    const Case cases[] = {
        {"no block 6: no mode or DTR query", kSerial244, false, true, 19200, -1},
        {"failed mode read reads as -1", kSerial244, true, false, 19200, -1},
        {"bit 30 shows no current baud rate", kSerial244 | feature::NoCurrentBaudRate, true, true,
         0, 1},
    };
    for (const Case& c : cases) {
        MemoryReader reader;
        if (c.block6) {
            reader.blocks[6] = {0x00, 0x0A, 0x3F, 0x05};
        }
        reader.modeReadable = c.modeReadable;
        ReadingInput input;
        input.open = [&] { return reader.openResult(c.features); };
        const ReaderReading r = readConfiguration(reader, input);
        EXPECT_EQ(r.parameterBlock.has_value(), c.block6) << c.what;
        EXPECT_EQ(r.parametersDecoded, c.block6) << c.what;
        const bool queried =
            std::find(reader.log.begin(), reader.log.end(), "readMode") != reader.log.end();
        EXPECT_EQ(queried, c.block6) << c.what;
        if (c.block6) {
            EXPECT_EQ(r.parameters.baudRate, c.expectedBaud) << c.what;
            EXPECT_EQ(r.parameters.powerOnMode, c.expectedPowerOn) << c.what;
        }
        EXPECT_EQ(reader.log.back(), "close 3") << c.what;
    }
}

TEST(WorkflowReading, RemoteHostOfTcpClientsAndTheHidPagesOwnReading) {
    struct Case {
        const char* what;
        std::uint32_t features;
        std::string remoteHost;
        bool hidReadFails;
        std::string expectedIp;
        int expectedPort;
        bool readsRemote;
        bool hidMessage;
    };
    const std::uint32_t lan = 0x807FE0EEu | feature::LanConnection;
    const std::uint32_t hid = 0x807FE0EEu | feature::HidReader;
    const Case cases[] = {
        {"TCP client", lan, "10.1.2.3", false, "10.1.2.3", 4001, true, false},
        {"TCP client without remote host", lan, "", false, "", 0, true, false},
        {"LAN without sensor input", lan & ~feature::SensorInput, "10.1.2.3", false, "", 0, false,
         false},
        {"HID page reads its settings", hid, "", false, "", 0, false, false},
        {"HID page cannot read", hid, "", true, "", 0, false, true},
    };
    for (const Case& c : cases) {
        MemoryReader reader;
        reader.blocks[6] = {0x00, 0x0A, 0x3F, 0x05};
        reader.remoteHost = c.remoteHost;
        ReadingInput input;
        input.open = [&] { return reader.openResult(c.features); };
        WorkflowCallbacks callbacks;
        bool hidRead = false;
        callbacks.readHidSettings = [&](ReaderLink&, int handle) {
            hidRead = handle == kHandle;
            return !c.hidReadFails;
        };
        const ReaderReading r = readConfiguration(reader, input, callbacks);
        EXPECT_EQ(r.parameters.remoteIp, c.expectedIp) << c.what;
        EXPECT_EQ(r.parameters.remotePort, c.expectedPort) << c.what;
        const bool readRemote = std::find(reader.log.begin(), reader.log.end(),
                                          "readRemoteHost /dev/pts/9") != reader.log.end();
        EXPECT_EQ(readRemote, c.readsRemote) << c.what;
        EXPECT_EQ(hidRead, (c.features & feature::HidReader) != 0) << c.what;
        EXPECT_EQ(r.hidMessage.has_value(), c.hidMessage) << c.what;
        if (r.hidMessage) {
            EXPECT_EQ(r.hidMessage->id, 151);
        }
        EXPECT_EQ(reader.log.back(), "close 3") << c.what;
    }
}

TEST(WorkflowReading, GivenHandleReadsTheModelNameAndNoConnectionReadsNothing) {
    MemoryReader reader;
    ReadingInput input;
    input.handle = kHandle;
    input.features = kSerial244;
    const ReaderReading r = readConfiguration(reader, input);
    EXPECT_EQ(reader.log.front(), "readDeviceType 4 31");
    EXPECT_EQ(r.modelName, "QN-V4 A");

    MemoryReader absent;
    ReadingInput none;
    none.open = [] { return OpenResult{}; };
    const ReaderReading n = readConfiguration(absent, none);
    EXPECT_FALSE(n.connected);
    EXPECT_TRUE(absent.log.empty());
}

TEST(WorkflowFilterSettings, DialogChecksAndStoredTexts) {
    struct Case {
        std::vector<std::string> texts;
        int expected;
    };
    const Case cases[] = {
        {{"4A", "4a", "00", "FF", "42", "40"}, 0},   {{"4A", "", "00", "FF", "42", "40"}, 211},
        {{"4A", "4G", "00", "FF", "42", "4"}, 211},  {{"4A", "4G", "00", "FF", "42", "40"}, 212},
        {{"4A", "4A", "0x", "FF", "42", "40"}, 212},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(checkFilterTexts(c.texts), c.expected);
    }
    MemoryFilterSettings settings;
    EXPECT_EQ(settings.value("Q5"), "4B");
    EXPECT_EQ(settings.value("Titan"), "42");
    EXPECT_EQ(settings.value("Unknown"), "");
    settings.setValue("Q5", "4a");
    EXPECT_EQ(settings.value("Q5"), "4A");
}
