// The data format page as a technician uses it: clicks on the boxes and chips, typed fields,
// the checks with their messages and focus, and the record the page hands to the sheet.
#include "config/ui/CDatenRegisterkarteSeriell.h"

#include "config/DeviceFeatures.h"
#include "config/ini/CIniEx.h"
#include "config/ui/SheetServices.h"
#include "resources/strings/StringTable.h"
#include "tests/support/ScriptedMessageBox.h"
#include "widgets/IMessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QValidator>

#include <gtest/gtest.h>

#include <vector>

namespace veltra {
namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "data_page_test";
    static char* argv[] = {name, nullptr};
    static QApplication* created = new QApplication(argc, argv);
    return *created;
}

using namespace feature;

// A reader with every data-page feature (but no HID keyboard).
constexpr std::uint32_t kFull = ((1u << 21) - 1) & ~HidReader;
constexpr std::uint32_t kSerialOld = 0;

class DataPageTest : public ::testing::Test {
protected:
    DataPageTest() { app(); }
    void SetUp() override { setMessageBox(&box); }
    void TearDown() override {
        setMessageBox(nullptr);
        sheetServices() = SheetServices{};
    }

    template <typename T>
    static T* child(const QWidget& page, const QString& name) {
        T* found = page.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    static QCheckBox* choice(const QWidget& page, DataChoice c) {
        return child<QCheckBox>(page, QStringLiteral("choice%1").arg(static_cast<int>(c)));
    }
    static QRadioButton* chipButton(const QWidget& page, std::uint8_t code) {
        return child<QRadioButton>(page, QStringLiteral("chip%1").arg(code));
    }
    static QLineEdit* edit(const QWidget& page, const char* name) {
        return child<QLineEdit>(page, QString::fromLatin1(name));
    }
    static std::vector<QString> modulationEntries(const QWidget& page) {
        auto* list = child<QComboBox>(page, QStringLiteral("modulation"));
        std::vector<QString> out;
        for (int i = 0; i < list->count(); ++i) {
            out.push_back(list->itemText(i));
        }
        return out;
    }

    test::ScriptedMessageBox box;
};

DataFormatRecord chipRecord(std::uint8_t type, std::array<std::uint8_t, 4> registers) {
    DataFormatRecord r;
    r.active = 1;
    r.transponderType = type;
    r.registers = registers;
    r.length = 8;
    return r;
}

TEST_F(DataPageTest, ClearingTheOnlyCheckedBox) {
    struct Case {
        bool firstPage;
        DataChoice start;
        DataChoice expected;
        std::uint8_t expectedActive;
    };
    const Case cases[] = {
        {true, DataChoice::Unique, DataChoice::Unique, 1},
        {true, DataChoice::SingleBlocks, DataChoice::Unique, 1},
        {false, DataChoice::Unique, DataChoice::None, 0},
        {false, DataChoice::Uid, DataChoice::None, 0},
    };
    for (const Case& c : cases) {
        CDatenRegisterkarteSeriell page(kFull, c.firstPage);
        choice(page, c.start)->click();
        if (c.start != DataChoice::Unique) {
            EXPECT_FALSE(choice(page, DataChoice::Unique)->isChecked());
        }
        ASSERT_TRUE(choice(page, c.start)->isChecked());
        choice(page, c.start)->click(); // clears it
        EXPECT_EQ(page.selection(), c.expected) << c.firstPage;
        int checked = 0;
        for (int i = 0; i < kDataChoiceCount; ++i) {
            checked += choice(page, static_cast<DataChoice>(i))->isChecked() ? 1 : 0;
        }
        EXPECT_EQ(checked, c.expected == DataChoice::None ? 0 : 1);
        const DataFormatRecord r = page.getRecord();
        EXPECT_EQ(r.active, c.expectedActive);
        if (c.expected == DataChoice::None) {
            EXPECT_EQ(r.transponderType, 0);
            EXPECT_EQ(r.registers, (std::array<std::uint8_t, 4>{255, 255, 255, 255}));
        }
    }
}

// The checks run in their order; the first failure shows its message and focuses its field.
TEST_F(DataPageTest, ChecksShowMessageAndFocusField) {
    struct Case {
        const char* what;
        DataFormatRecord record;
        std::vector<std::pair<const char*, const char*>> typed; // field, text
        int messageId;                                          // 0: passes
        const char* focus;
    };
    const Case cases[] = {
        {"Hitag1 block 5", chipRecord(chip::Hitag1, {5, 255, 255, 255}), {}, 73003, "block1"},
        {"Hitag1 block 16", chipRecord(chip::Hitag1, {16, 255, 255, 255}), {}, 0, nullptr},
        {"Hitag1 empty second field counts as 0",
         chipRecord(chip::Hitag1, {16, 255, 255, 255}),
         {{"block3", "17"}},
         0,
         nullptr},
        {"Hitag1 third field out of range",
         chipRecord(chip::Hitag1, {16, 255, 255, 255}),
         {{"block3", "9"}},
         73003,
         "block3"},
        {"no block",
         chipRecord(chip::Hitag1, {16, 255, 255, 255}),
         {{"block1", ""}},
         73002,
         "block1"},
        {"Hitag2 start 6 length 9",
         chipRecord(chip::Hitag2 | 0x80, {6, 9, 255, 255}),
         {},
         73005,
         "lengthInBytes"},
        {"Hitag2 start 6 length 8",
         chipRecord(chip::Hitag2 | 0x80, {6, 8, 255, 255}),
         {},
         0,
         nullptr},
        {"Hitag2 start 8",
         chipRecord(chip::Hitag2 | 0x80, {8, 4, 255, 255}),
         {},
         73004,
         "startBlock"},
        {"Tiris start 17 length 8",
         chipRecord(chip::Tiris | 0x80, {17, 8, 255, 255}),
         {},
         0,
         nullptr},
        {"Tiris start 17 length 9",
         chipRecord(chip::Tiris | 0x80, {17, 9, 255, 255}),
         {},
         73005,
         "lengthInBytes"},
        {"sequence length 0",
         chipRecord(chip::HitagS | 0x80, {0, 0, 255, 255}),
         {},
         73005,
         "lengthInBytes"},
        {"Hitag2 short password",
         chipRecord(chip::Hitag2, {4, 255, 255, 255}),
         {{"password", "1234567"}},
         73000,
         "password"},
        {"ATA5577 + PW password not hex",
         chipRecord(chip::ATA5577Pw, {1, 255, 255, 255}),
         {{"password", "1234567G"}},
         73001,
         "password"},
        {"password before blocks",
         chipRecord(chip::Hitag2, {9, 255, 255, 255}),
         {{"password", "12"}},
         73000,
         "password"},
        {"character count 0",
         chipRecord(chip::Hitag1, {16, 255, 255, 255}),
         {{"characterCount", "0"}},
         73006,
         "characterCount"},
        {"character count empty",
         chipRecord(chip::Hitag1, {16, 255, 255, 255}),
         {{"characterCount", ""}},
         73006,
         "characterCount"},
        {"used bytes 17",
         chipRecord(chip::Hitag1, {16, 255, 255, 255}),
         {{"usedBytesTo", "17"}},
         73006,
         "usedBytesTo"},
        {"field limits before blocks",
         chipRecord(chip::Hitag1, {5, 255, 255, 255}),
         {{"usedBytesFrom", "0"}},
         73006,
         "usedBytesFrom"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDatenRegisterkarteSeriell page(kFull, true);
        page.setFromRecord(c.record);
        for (const auto& [field, text] : c.typed) {
            edit(page, field)->setText(QString::fromUtf8(text));
        }
        box.shown.clear();
        DataFormatRecord out;
        out.length = 99;
        const bool passed = page.takeOver(out);
        if (c.messageId == 0) {
            EXPECT_TRUE(passed);
            EXPECT_TRUE(box.shown.empty());
            EXPECT_EQ(out.transponderType, c.record.transponderType);
            continue;
        }
        EXPECT_FALSE(passed);
        EXPECT_EQ(out.length, 99) << "a failed take-over leaves the record alone";
        ASSERT_EQ(box.shown.size(), 1u);
        // Range messages name the field's bounds.
        const std::string focus = c.focus;
        const QString expected = c.messageId != 73006        ? str(c.messageId)
                                 : focus == "characterCount" ? strf(73006, 1, 32)
                                                             : strf(73006, 1, 16);
        EXPECT_EQ(box.shown[0], expected);
        EXPECT_EQ(page.focusWidget(), edit(page, c.focus));
    }
}

TEST_F(DataPageTest, RecordRoundTrip) {
    auto full = [](DataFormatRecord r) {
        r.active = 1;
        return r;
    };
    DataFormatRecord unique;
    unique.registers = {17, 255, 255, 255};
    unique.modSpeed = 5;
    unique.display = 3;
    unique.length = 12;
    unique.validBytesFrom = 2;
    unique.validBytes = 9;
    unique.alignment = 7;
    unique.typeIdLeft = 'A';
    unique.typeIdRight = 0xE4; // 'ä' in the reader's character set
    DataFormatRecord fdx;
    fdx.registers = {format::FdxBEn, 255, 255, 255};
    DataFormatRecord zem12;
    zem12.registers = {25, 255, 255, 255};
    zem12.modSpeed = 5;
    DataFormatRecord uid = chipRecord(chip::EM4305, {254, 255, 255, 255});
    uid.modSpeed = 6;
    DataFormatRecord single = chipRecord(chip::HitagS, {3, 40, 255, 255});
    single.byteMasks = {0x05, 0x0A, 255, 255};
    DataFormatRecord singleUnmasked = chipRecord(chip::Titan, {0, 33, 2, 1});
    DataFormatRecord sequence = chipRecord(chip::ATA5577 | 0x80, {2, 20, 255, 255});
    sequence.modSpeed = 2;
    DataFormatRecord hitag2 = chipRecord(chip::Hitag2, {4, 5, 255, 255});
    hitag2.hitag2Password = "0A1B2C3D";
    DataFormatRecord ata = chipRecord(chip::ATA5577Pw | 0x80, {1, 8, 255, 255});
    ata.ata5577Password = "DEADBEEF";
    ata.modSpeed = 1;

    for (const DataFormatRecord& record : {full(unique), full(fdx), full(zem12), uid, single,
                                           singleUnmasked, sequence, hitag2, ata}) {
        CDatenRegisterkarteSeriell page(kFull, true);
        page.setFromRecord(record);
        EXPECT_EQ(page.getRecord(), record)
            << int(record.transponderType) << " " << int(record.registers[0]);
        DataFormatRecord taken;
        EXPECT_TRUE(page.takeOver(taken))
            << (box.shown.empty() ? "" : box.shown.back().toStdString());
        EXPECT_EQ(taken, record);
    }
}

// What a record from a more capable reader looks like on a smaller one.
TEST_F(DataPageTest, RecordAdjustedToTheReader) {
    struct Case {
        const char* what;
        std::uint32_t features;
        DataFormatRecord record;
        const char* checkedButton;
        bool passwordShown;
    };
    DataFormatRecord ata = chipRecord(chip::ATA5577Pw, {1, 255, 255, 255});
    ata.ata5577Password = "01234567";
    DataFormatRecord ascii0 = chipRecord(chip::Hitag1, {16, 255, 255, 255});
    ascii0.display = 5;
    const Case cases[] = {
        {"chip 48 without bit 17", kFull & ~Ata5577Password, ata, "chip9", false},
        {"chip 48 with bit 17", kFull, ata, "chip48", true},
        {"display 5 without bit 3", kFull & ~AsciiNoNulDisplay, ascii0, "display2", false},
        {"display 5 without bit 1", kFull & ~AsciiDisplay & ~AsciiNoNulDisplay, ascii0, "display0",
         false},
        {"display 5 with bit 3", kFull, ascii0, "display5", false},
        {"EM4569 without bit 6", kFull & ~Em4569AndReversal,
         chipRecord(chip::EM4569, {5, 255, 255, 255}), "chip5", false},
        {"Tiris without bit 12", kFull & ~HdxFormats, chipRecord(chip::Tiris, {1, 255, 255, 255}),
         "chip4", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDatenRegisterkarteSeriell page(c.features, true);
        page.setFromRecord(c.record);
        EXPECT_TRUE(child<QRadioButton>(page, QString::fromLatin1(c.checkedButton))->isChecked());
        EXPECT_EQ(edit(page, "password")->isVisibleTo(&page), c.passwordShown);
        if (c.passwordShown) {
            EXPECT_EQ(edit(page, "password")->text().toStdString(), c.record.ata5577Password);
        }
    }
}

TEST_F(DataPageTest, BlockSequenceWithoutSupportBecomesEmptySingleBlocks) {
    CDatenRegisterkarteSeriell page(kFull & ~BlockSequence, true);
    page.setFromRecord(chipRecord(chip::HitagS | 0x80, {2, 8, 255, 255}));
    EXPECT_EQ(page.selection(), DataChoice::SingleBlocks);
    EXPECT_FALSE(choice(page, DataChoice::BlockSequence)->isEnabled());
    EXPECT_TRUE(edit(page, "block1")->text().isEmpty());
    DataFormatRecord out;
    EXPECT_FALSE(page.takeOver(out));
    EXPECT_EQ(box.shown.back(), str(73002));
}

// Which controls a reader's features show and enable.
TEST_F(DataPageTest, VisibilityAndEnableByFeatures) {
    struct Case {
        const char* what;
        std::uint32_t features;
        DataFormatRecord record;
        const char* control;
        bool visible;
        bool enabled;
    };
    DataFormatRecord unique;
    unique.active = 1;
    unique.registers = {1, 255, 255, 255};
    DataFormatRecord decimal = unique;
    decimal.display = 1;
    DataFormatRecord fdx = unique;
    fdx.registers = {format::FdxA, 255, 255, 255};
    const DataFormatRecord single = chipRecord(chip::Hitag1, {16, 255, 255, 255});
    DataFormatRecord singleDecimal = single;
    singleDecimal.display = 1;
    const Case cases[] = {
        {"Zem 16 Bit needs bit 5", kFull & ~Zem16Bit, unique, "choice1", false, true},
        {"Zem 12 Bit needs bit 19", kFull & ~Zem12Bit, unique, "choice2", false, true},
        {"FDX-A needs bit 11", kFull & ~FdxFormats, unique, "choice5", false, true},
        {"HDX needs bit 12", kFull & ~HdxFormats, unique, "choice6", false, true},
        {"UID needs bit 13", kFull & ~SecondDataPage, unique, "choice9", false, true},
        {"Hitag µ needs bit 13", kFull & ~SecondDataPage, single, "chip10", false, false},
        {"SIC7888 needs bit 15", kFull & ~Sic7888, single, "chip12", false, false},
        {"ATA5551 needs bit 16", kFull & ~Ata5551, single, "chip13", false, false},
        {"type identifiers need bit 13", kFull & ~SecondDataPage, unique, "typeIdBefore", false,
         true},
        {"byte reversal needs bit 6", kFull & ~Em4569AndReversal, unique, "reverseBytes", false,
         true},
        {"chips disabled for fixed formats", kFull, unique, "chip5", true, false},
        {"chips enabled for blocks", kFull, single, "chip2", true, true},
        {"ASCII needs bit 1", kSerialOld, unique, "display2", true, false},
        {"lowercase hex needs bit 13", kSerialOld, unique, "display4", true, false},
        {"ASCII without nulls needs bit 3", kFull & ~AsciiNoNulDisplay, unique, "display5", true,
         false},
        {"Blockfolge needs bit 20", kFull & ~BlockSequence, unique, "choice11", true, false},
        {"FDX disables the display", kFull, fdx, "display0", true, false},
        {"FDX disables the character count", kFull, fdx, "characterCount", true, false},
        {"FDX disables the reversal", kFull, fdx, "reverseNibbleBits", true, false},
        {"upper used byte with bit 13", SecondDataPage, unique, "usedBytesTo", true, true},
        {"upper used byte off without bits 2 and 13", DecimalByteRange, unique, "usedBytesTo", true,
         false},
        {"upper used byte with bit 2 in decimal", DecimalByteRange, decimal, "usedBytesTo", true,
         true},
        {"lower used byte needs bit 13", DecimalByteRange, decimal, "usedBytesFrom", true, false},
        {"bit order in nibble with bit 6 for Unique", Em4569AndReversal, unique,
         "reverseNibbleBits", true, true},
        {"byte order not with bit 6 for Unique", Em4569AndReversal, unique, "reverseBytes", true,
         false},
        {"byte order with bit 6 for blocks", Em4569AndReversal, single, "reverseBytes", true, true},
        {"nibble swap needs 13 and 14", kFull & ~NibbleSwap, unique, "swapNibbles", true, false},
        {"Byte aktiv in single blocks with bit 18", kFull, single, "byteActive", true, true},
        {"Byte aktiv not in decimal display", kFull, singleDecimal, "byteActive", true, false},
        {"Byte aktiv needs bit 18", kFull & ~ByteMask, single, "byteActive", true, false},
        {"Byte aktiv not for fixed formats", kFull, unique, "byteActive", true, false},
        {"mask boxes need Byte aktiv checked", kFull, single, "mask1_0", true, false},
        {"block fields only in single blocks", kFull, unique, "block1", true, false},
        {"start block hidden for single blocks", kFull, single, "startBlock", false, true},
        {"block fields hidden in a sequence", kFull,
         chipRecord(chip::Hitag1 | 0x80, {16, 4, 255, 255}), "block2", false, false},
        {"start block shown in a sequence", kFull,
         chipRecord(chip::Hitag1 | 0x80, {16, 4, 255, 255}), "startBlock", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDatenRegisterkarteSeriell page(c.features, true);
        page.setFromRecord(c.record);
        QWidget* w = child<QWidget>(page, QString::fromLatin1(c.control));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->isVisibleTo(&page), c.visible);
        if (c.visible) {
            EXPECT_EQ(w->isEnabled(), c.enabled);
        }
    }
}

TEST_F(DataPageTest, ByteMasksFollowByteActiveAndDisplay) {
    CDatenRegisterkarteSeriell page(kFull, true);
    page.setFromRecord(chipRecord(chip::HitagS, {3, 255, 255, 255}));
    edit(page, "block2")->setText(QStringLiteral("7"));
    child<QCheckBox>(page, QStringLiteral("byteActive"))->click();
    EXPECT_TRUE(child<QCheckBox>(page, QStringLiteral("mask1_0"))->isEnabled());
    child<QCheckBox>(page, QStringLiteral("mask1_1"))->click(); // off
    child<QCheckBox>(page, QStringLiteral("mask2_3"))->click(); // off
    DataFormatRecord r = page.getRecord();
    EXPECT_EQ(r.registers, (std::array<std::uint8_t, 4>{3, 7, 255, 255}));
    EXPECT_EQ(r.byteMasks, (std::array<std::uint8_t, 4>{0x0D, 0x07, 255, 255}));
    // An empty first field: the second block moves up and takes its own row's mask along.
    edit(page, "block1")->clear();
    r = page.getRecord();
    EXPECT_EQ(r.registers, (std::array<std::uint8_t, 4>{7, 255, 255, 255}));
    EXPECT_EQ(r.byteMasks, (std::array<std::uint8_t, 4>{0x07, 255, 255, 255}));
    // Decimal output uses whole blocks.
    child<QRadioButton>(page, QStringLiteral("display1"))->click();
    EXPECT_FALSE(child<QCheckBox>(page, QStringLiteral("byteActive"))->isEnabled());
    EXPECT_EQ(page.getRecord().byteMasks, (std::array<std::uint8_t, 4>{255, 255, 255, 255}));
}

TEST_F(DataPageTest, ModulationList) {
    const std::vector<QString> two{QStringLiteral("Manchester(RF/64)"),
                                   QStringLiteral("Manchester(RF/32)")};
    const std::vector<QString> five{
        QStringLiteral("Manchester(RF/64)"), QStringLiteral("Manchester(RF/32)"),
        QStringLiteral("Diff.Bi-Phase(RF/64)"), QStringLiteral("Diff.Bi-Phase(RF/32)"),
        QStringLiteral("FSK2a(RF/50)")};
    DataFormatRecord unique;
    unique.registers = {1, 255, 255, 255};
    struct Case {
        const char* what;
        std::uint32_t features;
        DataFormatRecord record;
        std::vector<QString> entries;
        int selected;
    };
    DataFormatRecord q5 = chipRecord(chip::Q5, {1, 255, 255, 255});
    q5.modSpeed = 1;
    DataFormatRecord hitag1 = chipRecord(chip::Hitag1, {16, 255, 255, 255});
    DataFormatRecord uniqueRf32 = unique;
    uniqueRf32.registers[0] = 17;
    uniqueRf32.modSpeed = 5;
    DataFormatRecord fdx = unique;
    fdx.registers[0] = format::FdxBIso;
    const Case cases[] = {
        {"Q5 with bit 11", kFull, q5, five, 3},
        {"Q5 without bit 11", kFull & ~FdxFormats, q5, two, -1},
        {"Hitag1 has none", kFull, hitag1, {}, -1},
        {"Unique with bit 11", kFull, uniqueRf32, two, 1},
        {"Unique without bit 11", kFull & ~FdxFormats, uniqueRf32, {}, -1},
        {"FDX has none", kFull, fdx, {}, -1},
        {"needs bit 17", kFull & ~Ata5577Password, q5, {}, -1},
        {"needs bit 13", kFull & ~SecondDataPage, uniqueRf32, {}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDatenRegisterkarteSeriell page(c.features, true);
        page.setFromRecord(c.record);
        EXPECT_EQ(modulationEntries(page), c.entries);
        auto* list = child<QComboBox>(page, QStringLiteral("modulation"));
        EXPECT_EQ(list->isEnabled(), !c.entries.empty());
        EXPECT_EQ(list->currentIndex(), c.selected);
    }
}

TEST_F(DataPageTest, ModulationKeptWhileChangingChip) {
    DataFormatRecord record = chipRecord(chip::ATA5577, {1, 255, 255, 255});
    record.modSpeed = 2; // FSK2a
    CDatenRegisterkarteSeriell page(kFull, true);
    page.setFromRecord(record);
    chipButton(page, chip::Hitag1)->click();
    EXPECT_TRUE(modulationEntries(page).empty());
    EXPECT_EQ(page.getRecord().modSpeed, 0);
    chipButton(page, chip::ATA5551)->click();
    EXPECT_EQ(page.getRecord().modSpeed, 2);
    // A fixed format keeps the RF/32 variant in its code.
    auto* list = child<QComboBox>(page, QStringLiteral("modulation"));
    choice(page, DataChoice::Unique)->click();
    list->setCurrentIndex(1);
    emit list->activated(1);
    EXPECT_EQ(page.getRecord().registers[0], 17);
    EXPECT_EQ(page.getRecord().modSpeed, 5);
}

TEST_F(DataPageTest, SecondPageFollowsTheFirst) {
    CDatenRegisterkarteSeriell first(kFull, true);
    CDatenRegisterkarteSeriell second(kFull, false);
    DataFormatRecord fdx;
    fdx.active = 1;
    fdx.registers = {format::FdxA, 255, 255, 255};
    second.setFromRecord(fdx);
    second.setFirstDataPage(&first);
    EXPECT_EQ(second.selection(), DataChoice::FdxA);

    // The first page takes FDX-A: the second loses it and cannot choose it.
    choice(first, DataChoice::FdxA)->click();
    EXPECT_EQ(second.selection(), DataChoice::None);
    EXPECT_FALSE(choice(second, DataChoice::FdxA)->isEnabled());
    EXPECT_TRUE(choice(second, DataChoice::Unique)->isEnabled());
    EXPECT_EQ(second.getRecord().active, 0);

    // The first page reads Hitag2 blocks: the second moves on from Hitag2 to HitagS.
    second.setFromRecord(chipRecord(chip::Hitag2, {4, 255, 255, 255}));
    first.setFromRecord(chipRecord(chip::Hitag2 | 0x80, {0, 4, 255, 255}));
    EXPECT_TRUE(chipButton(second, chip::HitagS)->isChecked());
    EXPECT_FALSE(chipButton(second, chip::Hitag2)->isEnabled());
    EXPECT_TRUE(chipButton(second, chip::Hitag1)->isEnabled());
    EXPECT_EQ(second.getRecord().transponderType, chip::HitagS);

    // Wrapping round the end of the cycling order; chips the reader lacks are skipped.
    CDatenRegisterkarteSeriell small1(kFull & ~Ata5577Password, true);
    CDatenRegisterkarteSeriell small2(kFull & ~Ata5577Password, false);
    small2.setFirstDataPage(&small1);
    small2.setFromRecord(chipRecord(chip::Tiris, {1, 255, 255, 255}));
    small1.setFromRecord(chipRecord(chip::Tiris, {254, 255, 255, 255}));
    EXPECT_TRUE(chipButton(small2, chip::Hitag1)->isChecked());
}

TEST_F(DataPageTest, InfoBoxAndPassword) {
    struct Case {
        DataFormatRecord record;
        QString caption;
        int firstLine;
        int lines;
        bool password;
    };
    DataFormatRecord unique;
    unique.registers = {1, 255, 255, 255};
    DataFormatRecord hdxEn = unique;
    hdxEn.registers[0] = format::HdxEn;
    const Case cases[] = {
        {unique, QStringLiteral("Unique"), 75000, 3, false},
        {hdxEn, QStringLiteral("HDX (EN14803)"), 75010, 4, false},
        {chipRecord(chip::Hitag2, {4, 255, 255, 255}), QStringLiteral("Hitag2"), 75017, 5, true},
        {chipRecord(chip::ATA5577Pw, {254, 255, 255, 255}), QStringLiteral("ATA5577"), 75024, 5,
         true},
        {chipRecord(chip::HitagMicro, {1, 255, 255, 255}), QString::fromUtf8("Hitag µ"), 75035, 3,
         false},
    };
    for (const Case& c : cases) {
        CDatenRegisterkarteSeriell page(kFull, true);
        page.setFromRecord(c.record);
        auto* info = child<QGroupBox>(page, QStringLiteral("infoBox"));
        EXPECT_EQ(info->title(), c.caption);
        EXPECT_EQ(child<QLabel>(page, QStringLiteral("infoLine0"))->text(), str(c.firstLine));
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(child<QLabel>(page, QStringLiteral("infoLine%1").arg(i))->text().isEmpty(),
                      i >= c.lines)
                << c.caption.toStdString() << " line " << i;
        }
        EXPECT_EQ(edit(page, "password")->isVisibleTo(&page), c.password);
    }
    // Nothing selected on the second page: no description.
    CDatenRegisterkarteSeriell second(kFull, false);
    EXPECT_TRUE(child<QGroupBox>(second, QStringLiteral("infoBox"))->title().isEmpty());
    EXPECT_TRUE(child<QLabel>(second, QStringLiteral("infoLine0"))->text().isEmpty());
}

TEST_F(DataPageTest, ReversalExampleFollowsTheBoxes) {
    CDatenRegisterkarteSeriell page(kFull, true);
    auto* example = child<QLabel>(page, QStringLiteral("reversalExample"));
    EXPECT_EQ(example->text(), QStringLiteral("   0001 0010  0011 0111\n=> 0001 0010  0011 0111"));
    child<QCheckBox>(page, QStringLiteral("reverseBytes"))->click();
    child<QCheckBox>(page, QStringLiteral("swapNibbles"))->click();
    EXPECT_EQ(example->text(), QStringLiteral("   0001 0010  0011 0111\n=> 0111 0011  0010 0001"));
    EXPECT_EQ(page.getRecord().alignment, 5);
}

TEST_F(DataPageTest, ModifiedWhenAnyEntryChanges) {
    CDatenRegisterkarteSeriell page(kFull, true);
    page.setFromRecord(chipRecord(chip::Hitag1, {16, 255, 255, 255}));
    EXPECT_FALSE(page.isModified()) << "not shown yet";
    page.show();
    EXPECT_FALSE(page.isModified());
    chipButton(page, chip::HitagS)->click();
    EXPECT_TRUE(page.isModified()) << "a new chip is a change worth saving";
    page.setModified(false);
    EXPECT_FALSE(page.isModified());
    edit(page, "characterCount")->setText(QStringLiteral("12"));
    EXPECT_TRUE(page.isModified());
    edit(page, "characterCount")->setText(QStringLiteral("40"));
    EXPECT_FALSE(page.isModified()) << "entries that fail the checks";
    edit(page, "characterCount")->setText(QStringLiteral("8"));
    EXPECT_FALSE(page.isModified());
    page.setModified(true);
    EXPECT_TRUE(page.isModified());
    EXPECT_TRUE(box.shown.empty()) << "asking never shows a message";
}

TEST_F(DataPageTest, ButtonsOpenTheDialogsOfTheReader) {
    std::vector<std::string> opened;
    sheetServices().openFunctionTest = [&](QWidget*) { opened.push_back("serial"); };
    sheetServices().openHidFunctionTest = [&](QWidget*) { opened.push_back("hid"); };
    sheetServices().openReport = [&](QWidget*) { opened.push_back("report"); };
    CDatenRegisterkarteSeriell serial(kFull, true);
    CDatenRegisterkarteSeriell hid(kFull | HidReader, true);
    child<QPushButton>(serial, QStringLiteral("functionTest"))->click();
    child<QPushButton>(hid, QStringLiteral("functionTest"))->click();
    child<QPushButton>(hid, QStringLiteral("readContents"))->click();
    EXPECT_EQ(opened, (std::vector<std::string>{"serial", "hid", "report"}));
}

TEST_F(DataPageTest, PageTitles) {
    EXPECT_EQ(CDatenRegisterkarteSeriell(0, true).pageTitle(), QStringLiteral("Daten"));
    EXPECT_EQ(CDatenRegisterkarteSeriell(SecondDataPage, true).pageTitle(),
              QStringLiteral("Daten 1"));
    EXPECT_EQ(CDatenRegisterkarteSeriell(SecondDataPage, false).pageTitle(),
              QStringLiteral("Daten 2"));
}

TEST_F(DataPageTest, FailedCheckBringsItsPageToTheFront) {
    QTabWidget sheet;
    auto* first = new CDatenRegisterkarteSeriell(kFull, true);
    auto* second = new CDatenRegisterkarteSeriell(kFull, false);
    sheet.addTab(first, first->pageTitle());
    sheet.addTab(second, second->pageTitle());
    second->setFromRecord(chipRecord(chip::Hitag2 | 0x80, {6, 9, 255, 255}));
    sheet.setCurrentIndex(0);
    sheet.show();
    DataFormatRecord out;
    EXPECT_TRUE(first->takeOver(out));
    EXPECT_FALSE(second->takeOver(out));
    EXPECT_EQ(sheet.currentIndex(), 1);
    EXPECT_EQ(sheet.focusWidget(), edit(*second, "lengthInBytes"));
}

TEST_F(DataPageTest, LoadFromConfigurationFile) {
    CIniEx file;
    file.parse("[Data1]\nLaenge=12\n"
               "[Data2]\nTransponderTyp=130\nRegister1=4\nRegister2=8\nLaenge=20\n"
               "Hitag2PW=0A0B0C0D\n");
    CDatenRegisterkarteSeriell first(kFull, true);
    CDatenRegisterkarteSeriell second(kFull, false);
    second.loadFromFile(file, 2);
    EXPECT_EQ(second.selection(), DataChoice::BlockSequence);
    EXPECT_TRUE(chipButton(second, chip::Hitag2)->isChecked());
    EXPECT_EQ(edit(second, "startBlock")->text(), QStringLiteral("4"));
    EXPECT_EQ(edit(second, "lengthInBytes")->text(), QStringLiteral("8"));
    EXPECT_EQ(edit(second, "characterCount")->text(), QStringLiteral("20"));
    EXPECT_EQ(edit(second, "password")->text(), QStringLiteral("0A0B0C0D"));
    // No type stored: the first page shows "Unique", the second nothing.
    first.loadFromFile(file, 1);
    EXPECT_EQ(first.selection(), DataChoice::Unique);
    EXPECT_EQ(edit(first, "characterCount")->text(), QStringLiteral("12"));
    file.parse("[Data2]\nLaenge=20\n");
    second.loadFromFile(file, 2);
    EXPECT_EQ(second.selection(), DataChoice::None);
}

// Type identifiers and passwords go to the reader as 8-bit characters: text it cannot carry is
// refused while typing instead of reaching the reader mangled.
TEST_F(DataPageTest, TypedTextStaysInTheReadersCharacterSet) {
    CDatenRegisterkarteSeriell page(kFull, true);
    struct Case {
        const char* field;
        QString text;
        bool accepted;
    };
    const Case cases[] = {
        {"typeIdBefore", QString::fromUtf8("\u00e4"), true},  // in the reader's set
        {"typeIdAfter", QString::fromUtf8("\u20ac"), true},   // the euro sign is too
        {"typeIdBefore", QString::fromUtf8("\u3042"), false}, // a kana is not
        {"password", QString::fromUtf8("12\u0416"), false},
        {"password", QStringLiteral("0a1B2c3D"), true},
    };
    for (const Case& c : cases) {
        QLineEdit* field = edit(page, c.field);
        ASSERT_NE(field->validator(), nullptr);
        QString text = c.text;
        int pos = 0;
        EXPECT_EQ(field->validator()->validate(text, pos) == QValidator::Acceptable, c.accepted)
            << c.field;
    }
    edit(page, "typeIdBefore")->setText(QString::fromUtf8("\u00e4"));
    EXPECT_EQ(page.getRecord().typeIdLeft, 0xE4);
}

} // namespace
} // namespace veltra
