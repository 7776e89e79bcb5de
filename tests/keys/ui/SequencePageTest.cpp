// The sequence editor pages as a technician uses them: adding through the code field and its
// list, the row that stays selected, deleting, reordering, the messages and the modified flag.
#include "keys/ui/CEingabeBasisRegisterkarteSeriell.h"
#include "keys/ui/CEndeRegisterkarteSeriell.h"
#include "keys/ui/CPrefixRegisterkarteSeriell.h"
#include "keys/ui/CSuffixRegisterkarteSeriell.h"
#include "keys/ui/CTermixRegisterkarteSeriell.h"

#include "config/ui/SheetServices.h"
#include "resources/strings/StringTable.h"
#include "tests/support/ScriptedMessageBox.h"
#include "widgets/IMessageBox.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace veltra {
namespace {

class SequencePage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_sequence_pages";
        static char* argv[] = {name, nullptr};
        static QApplication app(argc, argv);
    }
    void SetUp() override {
        setMessageBox(&box_);
        page_ = std::make_unique<CSuffixRegisterkarteSeriell>();
        list_ = page_->findChild<QTreeWidget*>(QStringLiteral("sequenceList"));
        field_ = page_->findChild<QLineEdit*>(QStringLiteral("codeEdit"));
        codes_ = page_->findChild<QListWidget*>(QStringLiteral("codeList"));
        ASSERT_TRUE(list_ && field_ && codes_);
    }
    void TearDown() override {
        page_.reset();
        setMessageBox(nullptr);
        sheetServices() = SheetServices{};
    }

    void click(const char* button) {
        auto* b = page_->findChild<QPushButton*>(QString::fromLatin1(button));
        ASSERT_NE(b, nullptr) << button;
        b->click();
    }
    void type(const QString& text) {
        field_->clear();
        field_->setFocus();
        field_->insert(text); // as typed: the list's entry is no longer chosen
        codes_->clearSelection();
    }
    void select(int row) { list_->setCurrentItem(list_->topLevelItem(row)); }
    int selectedRow() const {
        const auto selected = list_->selectedItems();
        return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.front());
    }
    std::vector<std::uint8_t> codes() const {
        std::vector<std::uint8_t> out;
        for (const ASCII& a : page_->sequence()) {
            out.push_back(a.code);
        }
        return out;
    }
    void load(const std::vector<std::uint8_t>& codes) {
        std::vector<std::uint8_t> block = codes;
        block.push_back(kSequenceTerminator);
        page_->setBlock(block);
    }

    test::ScriptedMessageBox box_;
    std::unique_ptr<CEingabeBasisRegisterkarteSeriell> page_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* field_ = nullptr;
    QListWidget* codes_ = nullptr;
};

TEST_F(SequencePage, BlockRoundTripMarksThePageUnchanged) {
    const std::vector<std::vector<std::uint8_t>> blocks = {
        {0xFF}, {0x0D, 0xFF}, {0x02, 0x41, 0x0D, 0x0A, 0xFF}, {}};
    for (const auto& block : blocks) {
        page_->setModified(true);
        page_->setBlock(block);
        EXPECT_FALSE(page_->isModified());
        const std::vector<std::uint8_t> expected =
            block.empty() ? std::vector<std::uint8_t>{0xFF} : block;
        EXPECT_EQ(page_->block(), expected);
        EXPECT_EQ(list_->topLevelItemCount(), static_cast<int>(expected.size()) - 1);
    }
    load({0x0D});
    EXPECT_EQ(list_->topLevelItem(0)->text(0), QString::fromStdString(rowText(makeAscii(0x0D))));
}

TEST_F(SequencePage, AddingPlacesTheCodeAndTheSelection) {
    struct Case {
        int selected; // -1: no row
        std::vector<std::uint8_t> expected;
        int selectedAfter;
    };
    const Case cases[] = {
        {-1, {0x01, 0x02, 0x03, 0x41}, -1}, // appended, nothing selected afterwards
        {2, {0x01, 0x02, 0x41, 0x03}, 2},   // inserted as row 2 and selected
        {0, {0x41, 0x01, 0x02, 0x03}, 0},
    };
    for (const Case& c : cases) {
        load({0x01, 0x02, 0x03});
        if (c.selected >= 0) {
            select(c.selected);
        }
        type(QStringLiteral("A"));
        click("add");
        EXPECT_TRUE(box_.shown.empty());
        EXPECT_EQ(codes(), c.expected) << c.selected;
        EXPECT_EQ(selectedRow(), c.selectedAfter) << c.selected;
        EXPECT_TRUE(page_->isModified());
        EXPECT_EQ(field_->selectedText(), QStringLiteral("A")) << "typing replaces the text";
    }
}

TEST_F(SequencePage, TypedTextIsInterpreted) {
    struct Case {
        const char* text;
        int code; // -1: refused
    };
    const Case cases[] = {{"0D", 0x0D}, {"a", 'a'}, {"SP", ' '}, {"F1", 0xF1}, {"cr", -1},
                          {"", -1},     {"FF", -1}, {"xyz", -1}, {"é", 0xE9}};
    for (const Case& c : cases) {
        page_->setBlock({});
        box_ = {};
        type(QString::fromUtf8(c.text));
        click("add");
        if (c.code < 0) {
            ASSERT_EQ(box_.shown.size(), 1u) << c.text;
            EXPECT_EQ(box_.shown[0], str(158));
            EXPECT_EQ(box_.kinds[0], IMessageBox::Kind::Warning);
            EXPECT_EQ(field_->text(), QString::fromUtf8(c.text)) << "the typed text stays";
            EXPECT_TRUE(codes().empty());
            EXPECT_FALSE(page_->isModified());
        } else {
            EXPECT_TRUE(box_.shown.empty()) << c.text;
            EXPECT_EQ(codes(), std::vector<std::uint8_t>{static_cast<std::uint8_t>(c.code)})
                << c.text;
        }
    }
}

TEST_F(SequencePage, ChosenListEntryGivesItsPositionAndTheFieldsName) {
    codes_->setCurrentRow(0x0D);
    EXPECT_EQ(field_->text(), QString::fromStdString(editorCodeList()[0x0D]));
    click("add");
    ASSERT_EQ(page_->sequence().size(), 1u);
    EXPECT_EQ(page_->sequence()[0].code, 0x0D);
    EXPECT_EQ(page_->sequence()[0].name, editorCodeList()[0x0D]);

    // Typing after choosing an entry: the typed text counts, not the entry chosen before.
    codes_->setCurrentRow(0x0D);
    field_->setFocus();
    field_->selectAll();
    field_->insert(QStringLiteral("B"));
    click("add");
    ASSERT_EQ(page_->sequence().size(), 2u);
    EXPECT_EQ(page_->sequence()[1].code, 'B');

    // A double click on an entry adds it straight away.
    emit codes_->itemDoubleClicked(codes_->item(0x20));
    ASSERT_EQ(page_->sequence().size(), 3u);
    EXPECT_EQ(page_->sequence()[2].code, 0x20);
}

TEST_F(SequencePage, FifteenCodesAtMost) {
    load(std::vector<std::uint8_t>(kMaxSequenceCodes, 0x30));
    page_->setModified(false);
    select(4);
    type(QStringLiteral("A"));
    click("add");
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0], str(159));
    EXPECT_EQ(box_.kinds[0], IMessageBox::Kind::Information);
    EXPECT_EQ(page_->sequence().size(), kMaxSequenceCodes);
    EXPECT_EQ(list_->topLevelItemCount(), static_cast<int>(kMaxSequenceCodes));
    EXPECT_EQ(selectedRow(), 4);
    EXPECT_FALSE(page_->isModified());
    EXPECT_EQ(page_->block().size(), kMaxSequenceCodes + 1);
}

TEST_F(SequencePage, DeleteSelectsTheRowThatMovedUp) {
    struct Case {
        int selected;
        std::vector<std::uint8_t> expected;
        int selectedAfter;
    };
    const Case cases[] = {
        {1, {0x01, 0x03}, 1},  // middle row: the next one takes its place
        {2, {0x01, 0x02}, -1}, // last row: nothing selected
        {0, {0x02, 0x03}, 0},
    };
    for (const Case& c : cases) {
        load({0x01, 0x02, 0x03});
        select(c.selected);
        field_->setText(QStringLiteral("x"));
        click("deleteCode");
        EXPECT_EQ(codes(), c.expected) << c.selected;
        EXPECT_EQ(selectedRow(), c.selectedAfter) << c.selected;
        EXPECT_TRUE(page_->isModified());
        EXPECT_TRUE(field_->text().isEmpty());
    }

    load({0x01});
    click("deleteCode");
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0], str(157));
    EXPECT_EQ(box_.kinds[0], IMessageBox::Kind::Warning);
    EXPECT_EQ(codes(), std::vector<std::uint8_t>{0x01});
    EXPECT_FALSE(page_->isModified());
}

TEST_F(SequencePage, UpAndDown) {
    struct Case {
        const char* button;
        int selected;
        std::vector<std::uint8_t> expected;
        int selectedAfter;
        bool modified;
    };
    const Case cases[] = {
        {"up", 1, {0x02, 0x01, 0x03}, 0, true},    {"down", 1, {0x01, 0x03, 0x02}, 2, true},
        {"up", 0, {0x01, 0x02, 0x03}, 0, false},   {"down", 2, {0x01, 0x02, 0x03}, 2, false},
        {"up", -1, {0x01, 0x02, 0x03}, -1, false}, {"down", -1, {0x01, 0x02, 0x03}, -1, false},
    };
    for (const Case& c : cases) {
        load({0x01, 0x02, 0x03});
        if (c.selected >= 0) {
            select(c.selected);
        }
        click(c.button);
        EXPECT_EQ(codes(), c.expected) << c.button << c.selected;
        EXPECT_EQ(selectedRow(), c.selectedAfter) << c.button << c.selected;
        EXPECT_EQ(page_->isModified(), c.modified) << c.button << c.selected;
    }
}

TEST_F(SequencePage, ClearPageAndFileAccessors) {
    load({0x01, 0x02});
    click("clearPage");
    EXPECT_TRUE(codes().empty());
    EXPECT_EQ(list_->topLevelItemCount(), 0);
    EXPECT_TRUE(page_->isModified());
    EXPECT_TRUE(box_.shown.empty());

    // Loading from a file keeps the flag as the sheet left it.
    page_->setModified(false);
    const CAsciiArray fromFile{makeAscii(0x1B), ASCII{0x41, "A"}};
    page_->setSequence(fromFile);
    EXPECT_EQ(page_->sequence(), fromFile);
    EXPECT_EQ(list_->topLevelItemCount(), 2);
    EXPECT_FALSE(page_->isModified());
    EXPECT_EQ(page_->block(), (std::vector<std::uint8_t>{0x1B, 0x41, 0xFF}));
}

TEST_F(SequencePage, FunctionTestFollowsTheHidFlag) {
    int serial = 0;
    int hid = 0;
    int reports = 0;
    sheetServices().openFunctionTest = [&](QWidget*) { ++serial; };
    sheetServices().openHidFunctionTest = [&](QWidget*) { ++hid; };
    sheetServices().openReport = [&](QWidget*) { ++reports; };
    click("functionTest");
    page_->setHidReader(true);
    click("functionTest");
    click("functionTest");
    click("readContents");
    EXPECT_EQ(serial, 1);
    EXPECT_EQ(hid, 2);
    EXPECT_EQ(reports, 1);
}

TEST_F(SequencePage, DerivedPagesCaptionAndHeader) {
    struct Case {
        std::unique_ptr<CEingabeBasisRegisterkarteSeriell> page;
        QString caption;
        QString header;
    };
    Case cases[] = {
        {std::make_unique<CPrefixRegisterkarteSeriell>(), QStringLiteral("Prefix"),
         QStringLiteral("Prefix")},
        {std::make_unique<CSuffixRegisterkarteSeriell>(), QStringLiteral("Suffix"),
         QStringLiteral("Suffix Code")},
        {std::make_unique<CEndeRegisterkarteSeriell>(), QStringLiteral("Abziehen"),
         QStringLiteral("Abziehen")},
        {std::make_unique<CTermixRegisterkarteSeriell>(), QStringLiteral("Block Trenner"),
         QStringLiteral("Trenner code")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.page->caption(), c.caption);
        auto* list = c.page->findChild<QTreeWidget*>(QStringLiteral("sequenceList"));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->headerItem()->text(0), c.header);
        EXPECT_EQ(c.page->findChild<QListWidget*>(QStringLiteral("codeList"))->count(), 144);
    }
}

TEST_F(SequencePage, ListHasTheFocusWhenThePageIsShown) {
    page_->show();
    EXPECT_EQ(page_->focusWidget(), list_);
}

} // namespace
} // namespace veltra
