// veltra-cli against the reader simulator through the real device link: what the simulator's
// state file holds afterwards is what a reader would have been programmed with.
#include "tests/support/CliProcess.h"
#include "tests/support/SimProcess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#ifdef QN_SIM_PATH

namespace {

using veltra::test::SimProcess;
using Bytes = std::vector<std::uint8_t>;

class CliEndToEnd : public ::testing::Test {
protected:
    // Runs veltra-cli with a private settings folder, so the filter values are the defaults and
    // nothing the user has stored takes part.
    CliRun run(const std::vector<std::string>& arguments) {
        QStringList args;
        for (const std::string& a : arguments) {
            args << QString::fromStdString(a);
        }
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home_.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VELTRA_CLI_PATH), args);
        return finishCliProcess(process, 60000);
    }

    static std::string port(const SimProcess& sim) { return sim.port(); }

    std::string path(const char* name) const { return home_.filePath(name).toStdString(); }

    void write(const std::string& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }

    std::string modelOf(const SimProcess& sim) {
        const CliRun r = run({"identify", "--port", port(sim)});
        const std::string key = "Modell: ";
        const auto at = r.out.find(key);
        if (at == std::string::npos) {
            return {};
        }
        return r.out.substr(at + key.size(), r.out.find('\n', at) - at - key.size());
    }

    QTemporaryDir home_;
};

TEST_F(CliEndToEnd, IdentifyPrintsTypeFirmwareModelAndFeatures) {
    SimProcess sim({"--type", "244", "--version", "K"});
    const CliRun r = run({"identify", "--port", port(sim) + ":1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Gerätetyp: 244\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Firmware: FW V1.20\n"), std::string::npos) << r.out;
    // 0x244 at version 20 on a plain serial port.
    EXPECT_NE(r.out.find("DeviceFeatures: 0x8000F8E7\n"), std::string::npos) << r.out;
    // The reader was left in mode 2 and closed, not in programming mode.
    EXPECT_EQ(sim.value("mode"), "2");
}

TEST_F(CliEndToEnd, IdentifyInEnglish) {
    SimProcess sim({"--type", "551", "--version", "8"});
    const CliRun r = run({"identify", "--port", port(sim), "--lang", "en"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Device type: 551\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("DeviceFeatures: 0x80FFE0EF\n"), std::string::npos) << r.out;
}

TEST_F(CliEndToEnd, BaudRateSearchFindsAReaderAnsweringOnlyAt4800) {
    SimProcess sim({"--type", "244", "--version", "K", "--baud", "4800"});
    const CliRun r = run({"identify", "--port", port(sim), "--baud", "19200"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Achtung!\nAuf dieses Gerät kann nur mit Baudrate 4800 zugegriffen "
                         "werden!\nEinstellung wurde korrigiert!"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("Gerätetyp: 244"), std::string::npos);
}

TEST_F(CliEndToEnd, RefusedReadersExitWithTheirMessage) {
    struct Case {
        std::vector<std::string> sim;
        std::string message;
    };
    const Case cases[] = {
        {{"--type", "109"}, "Dieser Gerätetyp wird von dieser Software nicht unterstützt."},
        {{"--type", "240"}, "Achtung!\nDieses Gerät unterstützt den Reader Modus nicht! "},
        {{"--type", "244", "--baud", "57600"}, "konnte nicht geöffnet werden"},
    };
    for (const Case& c : cases) {
        SimProcess sim(c.sim);
        const CliRun r = run({"identify", "--port", port(sim), "--timeout", "100"});
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

TEST_F(CliEndToEnd, SavedConfigurationProgramsASecondReaderIdentically) {
    SimProcess first({"--type", "244", "--version", "K"});
    // Give the first reader a configuration of its own through the tool.
    const std::string model = modelOf(first);
    ASSERT_FALSE(model.empty());
    const std::string seed = path("seed.mkr");
    write(seed, "[Device]\nName=" + model +
                    "\n[Prefix]\nCount=2\nAscii0=2\nAscii1=65\n"
                    "[Suffix]\nCount=2\nAscii0=13\nAscii1=10\n[Abziehen]\nCount=1\nAscii0=7\n"
                    "[Termix]\nCount=1\nAscii0=44\n"
                    "[Data1]\nTransponderTyp=9\nRegister1=3\nRegister2=4\nRegister3=255\n"
                    "Register4=255\nDarstellung=0\nLaenge=16\nGueltigeBytes=8\n"
                    "GueltigeBytesAb=1\n"
                    "[Data]\nBetriebsart=3\nZykluszeit=700\nBaudrate=19200\nAufforderung=!\n"
                    "Timeout=1200\nReaderModus=1\n");
    CliRun r = run({"program", "--port", port(first), seed, "--no"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Programmierung erfolgreich abgeschlossen"), std::string::npos);

    const std::string saved = path("saved.mkr");
    r = run({"save", "--port", port(first), saved});
    ASSERT_EQ(r.status, 0) << r.err;

    SimProcess second({"--type", "244", "--version", "K"});
    r = run({"program", "--port", port(second), saved, "--no"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int block = 1; block <= 6; ++block) {
        EXPECT_FALSE(first.block(block).empty()) << "block " << block;
        EXPECT_EQ(second.block(block), first.block(block)) << "block " << block;
    }
    EXPECT_EQ(second.value("stored_mode"), first.value("stored_mode"));
    EXPECT_EQ(second.bytes("transponder_config"), first.bytes("transponder_config"));
}

TEST_F(CliEndToEnd, HandWrittenFileIsProgrammedBlockByBlock) {
    SimProcess sim({"--type", "244", "--version", "K", "--mode", "0"});
    const std::string model = modelOf(sim);
    const std::string file = path("hand.mkr");
    write(file, "[Device]\nName=" + model +
                    "\n[Prefix]\nCount=1\nAscii0=2\n[Suffix]\nCount=2\nAscii0=13\nAscii1=10\n"
                    "[Abziehen]\nCount=0\n[Termix]\nCount=1\nAscii0=44\n"
                    "[Data1]\nTransponderTyp=0\nRegister1=1\nDarstellung=1\nLaenge=10\n"
                    "GueltigeBytes=5\nGueltigeBytesAb=1\n"
                    "[Data]\nBetriebsart=1\nZykluszeit=500\nBaudrate=19200\nAufforderung=?\n"
                    "Timeout=1000\nReaderModus=1\n");
    const CliRun r = run({"program", "--port", port(sim), file, "--no"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim.block(2), (Bytes{0x02, 0xFF}));
    // Only the first output is sent (18 bytes); the reader keeps its second record.
    const Bytes block1 = sim.block(1);
    ASSERT_GE(block1.size(), 18u);
    EXPECT_EQ(Bytes(block1.begin(), block1.begin() + 18),
              (Bytes{0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01, 0x0A, 0x05, 0x01, 0x00, 0x00,
                     0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(sim.block(6), (Bytes{0x01, 0x05, 0x3F, 0x0A}));
    EXPECT_EQ(sim.block(3), (Bytes{0x0D, 0x0A, 0xFF}));
    EXPECT_EQ(sim.block(5), (Bytes{0xFF}));
    EXPECT_EQ(sim.block(4), (Bytes{0x2C, 0xFF}));
    // A fixed format uses the "Hitag2" filter value, 4A by default.
    const Bytes filter = sim.bytes("transponder_config");
    ASSERT_FALSE(filter.empty());
    EXPECT_EQ(filter.back(), 0x4A);
    EXPECT_EQ(sim.value("stored_mode"), "1");

    // The report reads the same configuration back, one line per line.
    const CliRun report = run({"report", "--port", port(sim)});
    ASSERT_EQ(report.status, 0) << report.err;
    for (const char* line :
         {" Prefix            : 02 \n", " Suffix            : 0D 0A \n",
          " Tag Typ           : Unique \n", " Zeichenzahl       : 10\n", " Mode              : 1\n",
          " Zykluszeit        : 500 Millisekunden\n"}) {
        EXPECT_NE(report.out.find(line), std::string::npos) << line << "\n" << report.out;
    }
}

// A command line has no page to go back to: every file the pages would refuse, or that holds
// no configuration, is refused before anything is written, with the message and status 1.
TEST_F(CliEndToEnd, RefusedFilesWriteNothing) {
    SimProcess sim({"--type", "551", "--version", "8"}); // two data outputs
    const std::string model = modelOf(sim);
    const std::string head = "[Device]\nName=" + model + "\n[Prefix]\nCount=1\nAscii0=66\n";
    const std::string unique = "[Data1]\nTransponderTyp=0\nRegister1=1\n";
    const std::string params = "[Data]\nZykluszeit=500\nTimeout=500\n";
    struct Case {
        const char* what;
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"no block entered",
         head + "[Data1]\nTransponderTyp=3\nRegister1=255\nRegister2=255\n" + params,
         "Kein Block eingetragen!\nBitte wählen sie mindestens einen Block aus."},
        {"display mode", head + unique + "Darstellung=200\n" + params, "[Data1] Darstellung=200"},
        {"arrangement", head + unique + "Ausrichtung=255\n" + params, "[Data1] Ausrichtung=255"},
        {"modulation", head + unique + "ModSpeed=99\n" + params, "[Data1] ModSpeed=99"},
        {"operating mode", head + unique + params + "Betriebsart=255\n", "[Data] Betriebsart=255"},
        {"type beyond a byte", head + "[Data1]\nTransponderTyp=258\n" + params,
         "[Data1] TransponderTyp=258"},
        {"length beyond a byte", head + unique + "Laenge=264\n" + params, "[Data1] Laenge=264"},
        {"register beyond a byte", head + "[Data1]\nTransponderTyp=5\nRegister1=1000\n" + params,
         "[Data1] Register1=1000"},
        {"second output repeats the first",
         head + unique + "[Data2]\nTransponderTyp=0\nRegister1=1\n" + params,
         "Daten 2 gibt dasselbe aus wie Daten 1."},
        {"sequence too long", head + unique + params + "[Suffix]\nCount=20\n",
         "Maximum der Befehlszeilen"},
        {"empty file", "", "Die Datei enthält keine Konfiguration"},
        {"not a configuration", std::string(3000, '\x9c') + "\n=\xff[x\n",
         "Die Datei enthält keine Konfiguration"},
    };
    const SimProcess::StateMap before = sim.state();
    for (const Case& c : cases) {
        const std::string file = path("refused.mkr");
        write(file, c.text);
        const CliRun r = run({"program", "--port", port(sim), file, "--yes"});
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(r.out.find("erfolgreich"), std::string::npos) << c.what;
        EXPECT_EQ(sim.state(), before) << c.what;
    }
}

// A reader whose suffix has more codes than a file can carry is saved, but that file is not
// programmed back: the reader keeps its suffix instead of losing it.
TEST_F(CliEndToEnd, ReaderWithTooLongSequenceKeepsIt) {
    const std::string state = path("long-suffix.txt");
    std::string suffix = "block3=";
    for (int i = 0; i < 20; ++i) {
        suffix += "41 ";
    }
    write(state, suffix + "FF\n");
    SimProcess sim({"--type", "244", "--version", "K", "--state", state});
    const Bytes before = sim.block(3);
    ASSERT_EQ(before.size(), 21u);
    const std::string file = path("long.mkr");
    ASSERT_EQ(run({"save", "--port", port(sim), file}).status, 0);
    const CliRun r = run({"program", "--port", port(sim), file, "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Maximum der Befehlszeilen"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("erfolgreich"), std::string::npos);
    EXPECT_EQ(sim.block(3), before);
}

// A blank prompt character survives the file: saved from one reader, programmed into another.
TEST_F(CliEndToEnd, BlankPromptSurvivesTheFile) {
    const std::string state = path("blank-prompt.txt");
    write(state, "block6=00 0A 20 05\n");
    SimProcess first({"--type", "244", "--version", "K", "--state", state});
    const std::string file = path("blank.mkr");
    ASSERT_EQ(run({"save", "--port", port(first), file}).status, 0);
    SimProcess second({"--type", "244", "--version", "K"});
    const CliRun r = run({"program", "--port", port(second), file, "--no"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(second.block(6), (Bytes{0x00, 0x0A, 0x20, 0x05}));
}

TEST_F(CliEndToEnd, FileForAnotherModelWritesNothingWhenDeclined) {
    SimProcess sim({"--type", "244", "--version", "K"});
    const SimProcess::StateMap before = sim.state();
    const std::string file = path("other.mkr");
    write(file, "[Device]\nName=QN-Anderes Modell\n[Prefix]\nCount=1\nAscii0=66\n"
                "[Data]\nZykluszeit=500\n");
    const CliRun r = run({"program", "--port", port(sim), file, "--no"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Die Datei wurde nicht geladen."), std::string::npos) << r.err;
    SimProcess::StateMap after = sim.state();
    for (const char* key : {"block1", "block2", "block3", "block4", "block5", "block6",
                            "stored_mode", "transponder_config", "baud"}) {
        EXPECT_EQ(after[key], before.count(key) ? before.at(key) : "") << key;
    }
}

TEST_F(CliEndToEnd, PowerOnModeIsReadAndStored) {
    SimProcess sim({"--type", "244", "--version", "K"});
    CliRun r = run({"mode", "--port", port(sim), "--set", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Einschaltkonfiguration 3 gespeichert."), std::string::npos) << r.out;
    EXPECT_EQ(sim.value("stored_mode"), "3");
    r = run({"mode", "--port", port(sim)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Einschaltkonfiguration: 3 (Lesermodus ohne Ausgabe)"), std::string::npos)
        << r.out;
}

TEST_F(CliEndToEnd, ProgrammingModeQuestionIsAnsweredByTheOptions) {
    struct Case {
        std::vector<std::string> answer;
        std::string storedMode;
    };
    // Without --yes or --no and without a terminal the answer is No.
    const Case cases[] = {{{}, "0"}, {{"--no"}, "0"}, {{"--yes"}, "1"}};
    for (const Case& c : cases) {
        SimProcess sim({"--type", "244", "--version", "K"});
        const std::string file = path("programming-mode.mkr");
        write(file, "[Device]\nName=" + modelOf(sim) +
                        "\n[Data]\nZykluszeit=500\nTimeout=500\nReaderModus=0\n");
        std::vector<std::string> args{"program", "--port", port(sim), file};
        args.insert(args.end(), c.answer.begin(), c.answer.end());
        const CliRun r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(sim.value("stored_mode"), c.storedMode) << r.err;
    }
}

TEST_F(CliEndToEnd, ReportReadErrorsNameTheReadersStatus) {
    struct Case {
        const char* command; // block read that fails
        std::string message;
        std::string lastLine; // the report shows what was read before the failure
    };
    const Case cases[] = {
        {"8A", "Lesefehler : 35Hex", ""},
        {"8B", "Konfiguration konnte nicht gelesen werden!", " Suffix            : "},
        {"8E", "Konfiguration konnte nicht gelesen werden!",
         " -------------------------------------------------"},
    };
    for (const Case& c : cases) {
        SimProcess sim({"--type", "244", "--status", "35", "--fault-command", c.command});
        const CliRun r = run({"report", "--port", port(sim)});
        EXPECT_EQ(r.status, 1) << c.command;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.command << ": " << r.err;
        if (c.lastLine.empty()) {
            EXPECT_TRUE(r.out.empty()) << r.out;
        } else {
            EXPECT_EQ(r.out.rfind(" Prefix            : ", 0), 0u) << r.out;
            const std::string tail = c.lastLine + "\n";
            EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), tail.size())), tail)
                << r.out;
        }
        // The reader is closed on every path.
        EXPECT_EQ(sim.value("mode"), "2") << c.command;
    }
}

TEST_F(CliEndToEnd, HelpAndUsageErrors) {
    CliRun r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"identify", "report", "save", "program", "mode", "--set 0|1|3",
                                "--yes, --no", "--lang de|en"}) {
        EXPECT_NE(r.out.find(command), std::string::npos) << command;
    }
    r = run({"--help", "--lang", "en"});
    EXPECT_EQ(r.out.rfind("Usage: veltra-cli COMMAND --port NAME [options]", 0), 0u) << r.out;
    r = run({"frobnicate", "--port", "COM1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Unbekannter Befehl: \"frobnicate\""), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

} // namespace

#endif
