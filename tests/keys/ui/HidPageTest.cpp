// The keyboard reader's parameter page, its layout question and its function test, against a
// fake reader that answers the layout queries from a table of its own. The computer's layout is
// the German one (XKB_DEFAULT_LAYOUT, no X display), so the reader's US table differs from it.
#include "config/ui/SheetServices.h"
#include "keys/ComputerLayout.h"
#include "keys/ui/CFunktionTestHID.h"
#include "keys/ui/CLayoutErrorDlg.h"
#include "keys/ui/CParamRegisterkarteHID.h"
#include "keys/ui/LayoutKeyButton.h"
#include "resources/strings/StringTable.h"
#include "tests/support/FakeReaderLink.h"
#include "tests/support/ScriptedMessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

namespace veltra::test {
namespace {

QApplication& application() {
    static int argc = 1;
    static char name[] = "hid_page_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        ::unsetenv("DISPLAY");
        ::setenv("XKB_DEFAULT_LAYOUT", "de", 1);
        auto* created = new QApplication(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Veltra Tests"));
        QCoreApplication::setApplicationName(QStringLiteral("HID Page Tests"));
        return created;
    }();
    return *app;
}

// A keyboard reader with a US table for letters and a few signs.
struct UsKeyboardReader : FakeReaderLink {
    UsKeyboardReader() {
        handle = 10001;
        hidConnection = true;
        for (char c = 'a'; c <= 'z'; ++c) {
            hidKeys[static_cast<std::uint8_t>(c)] = static_cast<std::uint16_t>(0x04 + (c - 'a'));
            hidKeys[static_cast<std::uint8_t>(c - 32)] =
                static_cast<std::uint16_t>(0x0200 | (0x04 + (c - 'a')));
        }
        hidKeys['&'] = 0x0224; // Shift+7
        hidKeys['@'] = 0x021F; // Shift+2
    }
};

class HidPage : public ::testing::Test {
protected:
    HidPage() {
        application();
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        setMessageBox(&messages);
        sheetServices() = SheetServices{};
        sheetServices().connectReader = [this](QWidget*) {
            ++connects;
            OpenResult r;
            r.handle = reader.handle;
            return r;
        };
        sheetServices().closeReader = [this](int& handle) {
            ++closes;
            handle = 0;
        };
    }
    ~HidPage() override {
        sheetServices() = SheetServices{};
        setMessageBox(nullptr);
    }

    // Answers the next layout question with the button `yes` or "Nein", the box set to `dontShow`.
    void answerQuestion(bool yes, bool dontShow) {
        QTimer::singleShot(0, [=, this] {
            auto* dialog = qobject_cast<CLayoutErrorDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            question = dialog->messageText();
            dialog->dontShowAgain()->setChecked(dontShow);
            (yes ? dialog->yesButton() : dialog->noButton())->click();
        });
    }

    UsKeyboardReader reader;
    ScriptedMessageBox messages;
    QString question;
    int connects = 0;
    int closes = 0;
};

TEST_F(HidPage, LoadFromReaderAsksAndTakesTheComputersLayoutOnYes) {
    CParamRegisterkarteHID page(0, nullptr, reader);
    KeyLayout computer;
    ComputerLayout(computer);
    answerQuestion(true, false);
    page.LoadFromReader();
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(question.startsWith(QStringLiteral("Die Tastenbelegung des Gerätes")));
    EXPECT_EQ(page.layout(), computer);
    // German keyboard: z on the key that the US layout calls Y (scan code 21).
    EXPECT_EQ(page.keyButton(21 - 16 + 13)->normalPart(), QStringLiteral("z"));
    EXPECT_TRUE(page.warningBox()->isChecked());
    EXPECT_TRUE(page.isModified());
}

TEST_F(HidPage, NoWithDontShowAgainKeepsTheReadersLayoutAndSwitchesTheWarningOff) {
    CParamRegisterkarteHID page(0, nullptr, reader);
    answerQuestion(false, true);
    page.LoadFromReader();
    EXPECT_FALSE(question.isEmpty());
    EXPECT_EQ(page.layout().entries[8][KeyLayout::Shift], '&'); // the reader's Shift+7
    EXPECT_EQ(QSettings().value(QStringLiteral("Settings/LayoutErrorAnzeigen")).toInt(), 0);
    EXPECT_FALSE(page.warningBox()->isChecked());

    // Switched off: the next load keeps the reader's layout without asking.
    question.clear();
    reader.hidKeys['q'] = 0x14 | 0x4000; // the reader now types q with AltGr+Q
    page.LoadFromReader();
    EXPECT_TRUE(question.isEmpty());
    EXPECT_EQ(page.layout().entries[16][KeyLayout::AltGr], 'q');
    // "&" shows as itself on its key, not as a mnemonic.
    EXPECT_EQ(page.keyButton(7)->shiftPart(), QStringLiteral("&"));
}

TEST_F(HidPage, ReaderThatDoesNotAnswerKeepsThePageAndSays151) {
    CParamRegisterkarteHID page(0, nullptr, reader);
    page.UseComputerLayout();
    const KeyLayout before = page.layout();
    reader.hidConnection = false; // no control channel: every query fails
    page.LoadFromReader();
    EXPECT_EQ(page.layout(), before);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], str(151));
    EXPECT_EQ(closes, 1);
}

TEST_F(HidPage, BlockOutOfRangeShowsTheRangeMessageAndFallsBack) {
    using feature_t = std::uint32_t;
    const feature_t features = (1u << 21) | (1u << 31);
    CParamRegisterkarteHID page(features, nullptr, reader);
    EXPECT_TRUE(page.setFromParameterBlock({0x03, 20, 0x3F, 0x80}, 1));
    EXPECT_TRUE(page.modeButton(3)->isChecked());
    EXPECT_FALSE(page.timeoutField()->isEnabled());
    EXPECT_TRUE(page.cycleTimeField()->isEnabled());
    EXPECT_EQ(page.timeoutField()->text(), QStringLiteral("500"));
    EXPECT_TRUE(page.powerOnButton(1)->isChecked());
    EXPECT_FALSE(page.powerOnButton(2)->isEnabled());
    EXPECT_FALSE(page.isModified());

    EXPECT_FALSE(page.setFromParameterBlock({0x02, 0, 0, 5}, 1));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(page.modeButton(0)->isChecked());
    EXPECT_EQ(page.cycleTimeField()->text(), QStringLiteral("1000"));

    page.cycleTimeField()->setText(QStringLiteral("99"));
    ReaderParameters out;
    EXPECT_FALSE(page.takeOver(out));
    EXPECT_EQ(messages.shown.size(), 2u);
}

TEST_F(HidPage, FunctionTestKeepsItsSizeAndClearsIntoTheTextBox) {
    CFunktionTestHID dialog;
    dialog.show();
    QApplication::processEvents();
    const QSize opened = dialog.size();
    dialog.resize(opened / 2);
    QApplication::processEvents();
    EXPECT_GE(dialog.width(), opened.width());
    EXPECT_GE(dialog.height(), opened.height());
    dialog.textBox()->setPlainText(QStringLiteral("4711\n"));
    dialog.clearButton()->click();
    EXPECT_TRUE(dialog.textBox()->toPlainText().isEmpty());
    EXPECT_TRUE(dialog.textBox()->hasFocus() || QApplication::focusWidget() == dialog.textBox());
    EXPECT_FALSE(dialog.closeButton()->autoDefault());
}

} // namespace
} // namespace veltra::test
