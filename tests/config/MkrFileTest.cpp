#include "config/MkrFile.h"
#include "config/ini/CIniEx.h"

#include "resources/strings/StringTable.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/resource.h>
#include <unistd.h>

namespace veltra {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kTwoOutputs = kSecondDataOutputFeature;

class MkrFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "veltra-mkr-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data());
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string path(const char* name = "conf.mkr") const { return (dir_ / name).string(); }
    void put(const std::string& text, const char* name = "conf.mkr") const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::string get(const char* name = "conf.mkr") const {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    MkrContent load(const std::string& text, std::uint32_t features = kTwoOutputs,
                    MkrLoadResult* resultOut = nullptr) const {
        put(text);
        MkrContent content;
        const MkrLoadResult result = loadConfigurationFile(path(), content, features, {});
        EXPECT_EQ(result.status, MkrLoadStatus::Loaded);
        if (resultOut != nullptr) {
            *resultOut = result;
        }
        return content;
    }

    fs::path dir_;
};

MkrContent sampleContent() {
    MkrContent c;
    c.modelName = "QN-K7";
    c.prefix = {makeAscii(0x02)};
    c.suffix = {makeAscii(0x0D), makeAscii(0x0A)};
    c.pullOff = {makeAscii(0x8F), makeAscii('X')};
    c.separator = {makeAscii('-')};
    DataFormatRecord& d0 = c.config.data[0];
    d0.active = 1;
    d0.transponderType = chip::Hitag2;
    d0.registers = {4, 5, kNoEntry, kNoEntry};
    d0.byteMasks = {0x0F, 0x03, kNoEntry, kNoEntry};
    d0.alignment = 3;
    d0.display = 2;
    d0.length = 16;
    d0.validBytes = 8;
    d0.validBytesFrom = 2;
    d0.typeIdLeft = 'L';
    d0.typeIdRight = 'R';
    d0.modSpeed = 6;
    d0.hitag2Password = "4D494B52";
    DataFormatRecord& d1 = c.config.data[1];
    d1.active = 1;
    d1.transponderType = 0;
    d1.registers = {17, kNoEntry, kNoEntry, kNoEntry};
    d1.modSpeed = 5;
    ReaderParameters& p = c.config.parameters;
    p.operatingMode = 0x13;
    p.cycleTimeMs = 2500;
    p.baudRate = 9603;
    p.timeoutMs = 800;
    p.prompt = '#';
    p.powerOnMode = 2;
    p.dtrMode = 1;
    p.remoteIp = "192.168.10.20";
    p.remotePort = 10001;
    return c;
}

TEST_F(MkrFileTest, SaveAndLoadRoundTrip) {
    const MkrContent saved = sampleContent();
    const MkrSaveResult result = saveConfigurationFile(path(), saved, kTwoOutputs);
    ASSERT_TRUE(result.written) << result.errorText;

    MkrContent loaded;
    loaded.modelName = "QN-K7";
    ASSERT_EQ(loadConfigurationFile(path(), loaded, kTwoOutputs, {}).status, MkrLoadStatus::Loaded);
    EXPECT_EQ(loaded.prefix, saved.prefix);
    EXPECT_EQ(loaded.suffix, saved.suffix);
    EXPECT_EQ(loaded.pullOff, saved.pullOff);
    EXPECT_EQ(loaded.separator, saved.separator);
    EXPECT_EQ(loaded.config.data[0], saved.config.data[0]);
    EXPECT_EQ(loaded.config.data[1], saved.config.data[1]);
    EXPECT_EQ(loaded.config.parameters, saved.config.parameters);
    EXPECT_FALSE(loaded.layout.has_value());

    CIniEx file;
    ASSERT_TRUE(file.open(path(), false, false));
    EXPECT_EQ(file.readString("Device", "Name"), "QN-K7");
    EXPECT_EQ(file.readString("Data", "TimeoutRS232"), "800");
    EXPECT_EQ(file.readString("Data", "Aufforderung"), "#");
    EXPECT_EQ(file.readString("Data1", "KennungLinks"), "76") << "bytes are written in decimal";
}

TEST_F(MkrFileTest, OlderCopyOfFirstRecord) {
    struct Case {
        std::uint8_t type;
        std::uint8_t register1;
        std::uint8_t alignment;
        const char* olderType; // nullptr: no key
        const char* register2;
        const char* bitInvers;
    };
    const Case cases[] = {
        {chip::Hitag1, 16, 0, "1", "17", "0"},
        {chip::Hitag1 | kBlockSequenceFlag, 16, kReverseByteOrder, "129", "17", "0"},
        {chip::Q5, 1, kReverseNibbleBits, "5", "17", "1"},
        {chip::ATA5577, 1, 0, "5", "17", "0"},
        {chip::HitagS, 1, 0, "3", "17", "0"},
        {chip::EM4569, 1, 0, "8", "17", "0"},
        {chip::EM4305, 1, 0, "0", "17", "0"},
        {0, format::Unique, 0, "0", "255", "0"},
        {0, format::Zem16Bit, 0, "7", "255", "0"},
        {0, format::FdxA, 0, nullptr, "255", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type) * 1000 + c.register1);
        CIniEx file;
        DataFormatRecord r;
        r.transponderType = c.type;
        r.registers = {c.register1, 17, kNoEntry, kNoEntry};
        r.alignment = c.alignment;
        saveOlderDataRecord(file, r);
        EXPECT_EQ(file.readString("Data", "TransponderTyp", "<none>"),
                  c.olderType ? c.olderType : "<none>");
        EXPECT_EQ(file.readString("Data", "Register2"), c.register2);
        EXPECT_EQ(file.readString("Data", "BitInvers"), c.bitInvers);
    }
}

TEST_F(MkrFileTest, OlderLayoutAsFallback) {
    struct Case {
        const char* data;
        std::uint8_t type;
        std::array<std::uint8_t, 4> registers;
    };
    const Case cases[] = {
        {"TransponderTyp=5\n", chip::Q5, {1, 255, 255, 255}},
        {"TransponderTyp=133\nRegister1=3\nRegister2=4\n", chip::Q5, {3, 4, 255, 255}},
        {"TransponderTyp=1\nRegister1=20\n", chip::Hitag1, {20, 255, 255, 255}},
        {"TransponderTyp=2\n", chip::Hitag2, {1, 255, 255, 255}},
        {"TransponderTyp=3\n", chip::HitagS, {1, 255, 255, 255}},
        {"TransponderTyp=6\n", chip::Titan, {1, 255, 255, 255}},
        {"TransponderTyp=8\n", chip::EM4569, {1, 255, 255, 255}},
        {"TransponderTyp=0\nRegister1=9\n", 0, {1, 255, 255, 255}},
        {"TransponderTyp=7\n", 0, {2, 255, 255, 255}},
        {"TransponderTyp=4\n", 0, {0, 0, 0, 0}},
        {"TransponderTyp=9\n", 0, {0, 0, 0, 0}},
        {"Zykluszeit=1000\n", 0, {0, 255, 255, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        const MkrContent content = load(std::string("[Data]\nBytesMaske2=7\nLaenge=12\n") + c.data);
        const DataFormatRecord& r = content.config.data[0];
        EXPECT_EQ(r.transponderType, c.type);
        EXPECT_EQ(r.registers, c.registers);
        EXPECT_EQ(r.alignment, 0);
        EXPECT_EQ(r.active, 1) << "the first page always shows a selection";
        const bool fallback = c.data[0] == 'T';
        EXPECT_EQ(r.length, fallback ? 12 : 8);
        EXPECT_EQ(r.byteMasks[1], fallback ? 7 : 255);
    }
    // The newer section wins over the older copy; record 2 never falls back.
    const MkrContent both =
        load("[Data1]\nTransponderTyp=4\n[Data]\nTransponderTyp=5\n[Data2]\nLaenge=9\n");
    EXPECT_EQ(both.config.data[0].transponderType, chip::HitagS);
    EXPECT_EQ(both.config.data[1].transponderType, 0);
    EXPECT_EQ(both.config.data[1].registers[0], 0);
    EXPECT_EQ(both.config.data[1].active, 0) << "the second page shows nothing selected";
}

TEST_F(MkrFileTest, ParameterLoadingRules) {
    struct Case {
        const char* data;
        char prompt;
        int timeout;
        int powerOn;
    };
    const Case cases[] = {
        {"Aufforderung=\t\n", '?', 500, -1},
        {"Aufforderung=\n", '?', 500, -1},
        {"Aufforderung=AB\n", 'A', 500, -1},
        {"Aufforderung=\x7F\n", '\x7F', 500, -1},
        {"Timeout=0\nTimeoutRS232=300\n", '?', 300, -1},
        {"TimeoutRS232=300\n", '?', 300, -1},
        {"Timeout=0\nTimeoutRS232=0\n", '?', 500, -1},
        {"Timeout=700\nTimeoutRS232=300\n", '?', 700, -1},
        {"ReaderModus=2\n", '?', 500, 2},
        {"ReaderModus=7\n", '?', 500, -1},
        {"ReaderModus=256\n", '?', 500, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        const ReaderParameters p = load(std::string("[Data]\n") + c.data).config.parameters;
        EXPECT_EQ(p.prompt, c.prompt);
        EXPECT_EQ(p.timeoutMs, c.timeout);
        EXPECT_EQ(p.powerOnMode, c.powerOn);
        EXPECT_EQ(p.cycleTimeMs, 1000);
        EXPECT_EQ(p.baudRate, 19200);
    }
}

TEST_F(MkrFileTest, SequenceCountLimit) {
    put("[Prefix]\nCount=1\nAscii0=2\n"
        "[Suffix]\nCount=16\nAscii0=13\n"
        "[Abziehen]\nCount=15\n"
        "[Termix]\nCount=20\n");
    MkrContent content;
    content.suffix = {makeAscii('s')};
    content.separator = {makeAscii('t')};
    const MkrLoadResult result = loadConfigurationFile(path(), content, 0, {});
    ASSERT_EQ(result.status, MkrLoadStatus::Loaded);
    EXPECT_EQ(result.messages, (std::vector<int>{kStrTooManyCodesInFile, kStrTooManyCodesInFile}));
    EXPECT_EQ(content.prefix.size(), 1u);
    EXPECT_TRUE(content.suffix.empty()) << "emptied before loading";
    EXPECT_EQ(content.pullOff.size(), 15u);
    EXPECT_EQ(content.separator, (CAsciiArray{makeAscii('t')})) << "the separator keeps its codes";
}

TEST_F(MkrFileTest, SavingOverLongerFileKeepsOtherKeys) {
    put("[Prefix]\nCount=5\nAscii0=1\nAscii1=2\nAscii2=3\nAscii3=4\nAscii4=5\n"
        "[Data2]\nTransponderTyp=2\n[Extra]\nNote=kept\n");
    MkrContent content = sampleContent();
    content.prefix = {makeAscii('a'), makeAscii('b')};
    ASSERT_TRUE(saveConfigurationFile(path(), content, /*features=*/0).written);

    CIniEx file;
    ASSERT_TRUE(file.open(path(), false, false));
    EXPECT_EQ(file.readInt("Prefix", "Count", 0), 2);
    EXPECT_EQ(file.readString("Prefix", "Ascii4"), "5");
    EXPECT_EQ(file.readString("Data2", "TransponderTyp"), "2") << "not written without bit 13";
    EXPECT_EQ(file.readString("Extra", "Note"), "kept");

    MkrContent loaded;
    ASSERT_EQ(loadConfigurationFile(path(), loaded, 0, {}).status, MkrLoadStatus::Loaded);
    EXPECT_EQ(loaded.prefix, content.prefix);
}

TEST_F(MkrFileTest, ModelQuestion) {
    put("[Device]\nName=QN-A\n[Prefix]\nCount=1\nAscii0=7\n");
    struct Case {
        const char* connected;
        bool answer;
        bool asked;
        MkrLoadStatus status;
    };
    const Case cases[] = {
        {"QN-B", false, true, MkrLoadStatus::OtherModel},
        {"QN-B", true, true, MkrLoadStatus::Loaded},
        {"QN-A", false, false, MkrLoadStatus::Loaded},
        {"", false, false, MkrLoadStatus::Loaded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.connected);
        MkrContent content;
        content.modelName = c.connected;
        content.prefix = {makeAscii('x'), makeAscii('y')};
        bool asked = false;
        const MkrLoadResult result = loadConfigurationFile(
            path(), content, 0, [&](const std::string& file, const std::string& connected) {
                asked = true;
                EXPECT_EQ(file, "QN-A");
                EXPECT_EQ(connected, c.connected);
                return c.answer;
            });
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(content.modelName, c.connected);
        EXPECT_EQ(content.prefix.size(), c.status == MkrLoadStatus::Loaded ? 1u : 2u);
    }
    EXPECT_EQ(otherModelQuestion("QN-A", "QN-B"),
              QString::fromUtf8("Die zu ladende Datei ist für <QN-A>, aktuell ist aber ein "
                                "<QN-B> angeschlossen\nTrotzem verwenden?"));
}

TEST_F(MkrFileTest, MissingFileChangesNothing) {
    MkrContent content = sampleContent();
    const MkrContent before = content;
    EXPECT_EQ(loadConfigurationFile(path("none.mkr"), content, 0, {}).status,
              MkrLoadStatus::CannotOpen);
    EXPECT_EQ(content.prefix, before.prefix);
    EXPECT_EQ(content.config, before.config);
    EXPECT_FALSE(fs::exists(path("none.mkr")));
}

TEST_F(MkrFileTest, FailedSaveKeepsTheOldFile) {
    const std::string original = "[Device]\nName=old\n";
    put(original);
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const MkrSaveResult existing = saveConfigurationFile(path(), sampleContent(), 0);
    const MkrSaveResult fresh = saveConfigurationFile(path("new.mkr"), sampleContent(), 0);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(existing.written);
    EXPECT_FALSE(existing.errorText.empty());
    EXPECT_EQ(get(), original);
    EXPECT_FALSE(fresh.written);
    EXPECT_FALSE(fs::exists(path("new.mkr"))) << "no empty file left behind";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    const MkrSaveResult noFolder =
        saveConfigurationFile((dir_ / "missing" / "x.mkr").string(), sampleContent(), 0);
    EXPECT_FALSE(noFolder.written);
    EXPECT_FALSE(noFolder.errorText.empty());
}

TEST_F(MkrFileTest, KeyboardReaderKeysAndLayout) {
    MkrContent saved = sampleContent();
    KeyLayout layout;
    layout.entries[30][KeyLayout::Normal] = 'a';
    layout.entries[30][KeyLayout::Shift] = 'A';
    layout.entries[16][KeyLayout::AltGr] = '@';
    saved.layout = layout;
    saved.config.parameters.powerOnMode = -1;
    ASSERT_TRUE(saveConfigurationFile(path(), saved, kHidReaderFeature).written);

    CIniEx file;
    ASSERT_TRUE(file.open(path(), false, false));
    EXPECT_FALSE(file.hasKey("Data", "Baudrate")) << "keyboard readers have no serial keys";
    EXPECT_FALSE(file.hasKey("Data", "ReaderModus")) << "not written while not set";
    EXPECT_EQ(file.readString("HID_KEYS", "ScanCode016AltGr"), "@");
    EXPECT_TRUE(file.hasKey("HID_KEYS", "ScanCode127Normal"));

    MkrContent loaded;
    loaded.config.parameters.powerOnMode = 0;
    ASSERT_EQ(loadConfigurationFile(path(), loaded, kHidReaderFeature, {}).status,
              MkrLoadStatus::Loaded);
    ASSERT_TRUE(loaded.layout.has_value());
    EXPECT_EQ(*loaded.layout, layout);
    EXPECT_EQ(loaded.config.parameters.powerOnMode, 1) << "missing index defaults to 1";
    EXPECT_EQ(loaded.config.parameters.cycleTimeMs, 2500);

    put("[Data]\nReaderModus=255\n[HID_KEYS]\nScanCode030Normal=xyz\n");
    MkrContent kept;
    kept.config.parameters.powerOnMode = 2;
    ASSERT_EQ(loadConfigurationFile(path(), kept, kHidReaderFeature, {}).status,
              MkrLoadStatus::Loaded);
    EXPECT_EQ(kept.config.parameters.powerOnMode, 2) << "255 leaves the index";
    EXPECT_EQ(kept.layout->entries[30][KeyLayout::Normal], 'x') << "first character only";
    EXPECT_EQ(kept.layout->entries[30][KeyLayout::Shift], 0);
}

TEST_F(MkrFileTest, ControlCharacterPromptIsNotWrittenRaw) {
    MkrContent content = sampleContent();
    content.config.parameters.prompt = '\r';
    ASSERT_TRUE(saveConfigurationFile(path(), content, 0).written);
    EXPECT_EQ(get().find("Aufforderung=\r\n") != std::string::npos, true);
    MkrContent loaded;
    ASSERT_EQ(loadConfigurationFile(path(), loaded, 0, {}).status, MkrLoadStatus::Loaded);
    EXPECT_EQ(loaded.config.parameters.prompt, '?');
}

TEST(MkrHelpers, InvalidDataPageStopsSavingWithOneMessage) {
    DataPageEntries good;
    DataPageEntries badBlock;
    badBlock.selection = DataSelection::SingleBlocks;
    badBlock.chip = chip::Hitag1;
    badBlock.blocks[0] = "5";
    DataPageEntries badCount;
    badCount.characterCount = 40;
    const std::vector<DataPageEntries> ok{good, good};
    EXPECT_EQ(dataPagesBlockSaving(ok), std::nullopt);
    for (const DataPageEntries& bad : {badBlock, badCount}) {
        const std::vector<DataPageEntries> pages{good, bad};
        EXPECT_EQ(dataPagesBlockSaving(pages), kStrDataPageInvalidOnSave);
    }
    EXPECT_EQ(QString(veltra::str(kStrDataPageInvalidOnSave)),
              QString::fromUtf8("Fehler bei der Zeichenanzahl \r\nin der Daten Registerkarte"));
}

TEST_F(MkrFileTest, RemembersTheFolder) {
    QSettings settings(QString::fromStdString(path("settings.ini")), QSettings::IniFormat);
    EXPECT_EQ(storedMkrFolder(settings), QString());
    rememberMkrFolder(settings, QStringLiteral("/home/tech/Geräte/k7.mkr"));
    EXPECT_EQ(storedMkrFolder(settings), QStringLiteral("/home/tech/Geräte"));
    EXPECT_EQ(settings.value(QStringLiteral("Settings/MKRFilePath")).toString(),
              QStringLiteral("/home/tech/Geräte"));
}

TEST(MkrHelpers, FolderAndCaption) {
    EXPECT_EQ(mkrFolderOf("/home/tech/configs/a.mkr"), "/home/tech/configs");
    EXPECT_EQ(mkrFolderOf("a.mkr"), "");
    EXPECT_EQ(captionWithFile("Konfiguration - /old/x.mkr", "/new/y.mkr"),
              "Konfiguration - /new/y.mkr");
    EXPECT_EQ(captionWithFile("Konfiguration", "/new/y.mkr"), "Konfiguration - /new/y.mkr");
}

} // namespace
} // namespace veltra
