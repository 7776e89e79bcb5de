// The "Filter" dialog on the real settings: defaults, the checks with their messages, upper-case
// storage, and the main window's way to it.

#include "app/CFilterParameterDlg.h"
#include "app/MainFrame.h"
#include "config/workflow/FilterSettings.h"
#include "config/workflow/ProfileFilterSettings.h"
#include "resources/strings/StringTable.h"
#include "tests/app/AppTestSupport.h"

#include <QAction>
#include <QLineEdit>
#include <QStatusBar>

#include <array>

namespace veltra::test {
namespace {

using Texts = std::array<const char*, 6>;

class FilterDialogTest : public AppTest {
protected:
    static QString storedFilter(const char* key) {
        return stored(QStringLiteral("Filter/") + QLatin1String(key)).toString();
    }

    static void fill(CFilterParameterDlg& dialog, const Texts& texts) {
        for (int i = 0; i < 6; ++i) {
            dialog.field(i)->setText(QString::fromUtf8(texts[static_cast<std::size_t>(i)]));
        }
    }
};

TEST_F(FilterDialogTest, ShowsStoredValuesOrDefaultsAndTakesTwoCharacters) {
    store(QStringLiteral("Filter/Q5"), QStringLiteral("7C"));
    ProfileFilterSettings settings;
    CFilterParameterDlg dialog(settings);
    const Texts expected{"4A", "4A", "4A", "7C", "42", "40"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(dialog.field(i)->text(), expected[static_cast<std::size_t>(i)]) << i;
        EXPECT_EQ(dialog.field(i)->maxLength(), 2);
    }
    // Nothing is written by merely looking.
    dialog.reject();
    EXPECT_FALSE(stored(QStringLiteral("Filter/Hitag1")).isValid());
}

TEST_F(FilterDialogTest, OkChecksEveryFieldThenStoresUpperCase) {
    struct Case {
        const char* name;
        Texts texts;
        int message; // 0: accepted and stored
        int focus;   // field that gets the focus after a message
    };
    const Case cases[] = {
        {"valid, lower case", {"4a", "4b", "ff", "0c", "42", "40"}, 0, -1},
        {"one empty field", {"4A", "4A", "", "4B", "42", "40"}, 211, 2},
        {"one digit", {"4A", "4A", "4A", "4B", "4", "40"}, 211, 4},
        {"not a hex digit", {"4A", "4A", "4A", "4G", "42", "40"}, 212, 3},
        {"blank inside", {"4 ", "4A", "4A", "4B", "42", "40"}, 212, 0},
        {"length before digits", {"4A", "XY", "4A", "4B", "42", "4"}, 211, 5},
        {"umlaut is one character", {"4A", "4A", "4A", "4B", "42", "\xC3\xA4"}, 211, 5},
        {"umlaut with a digit", {"4A", "4A", "4A", "4B", "4\xC3\xA4", "40"}, 212, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box.shown.clear();
        {
            QSettings clear(QString::fromLatin1(AppSettings::kOrganisation),
                            QString::fromLatin1(AppSettings::kApplication));
            clear.remove(QStringLiteral("Filter"));
        }
        ProfileFilterSettings settings;
        CFilterParameterDlg dialog(settings);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        fill(dialog, c.texts);
        dialog.accept();
        if (c.message == 0) {
            EXPECT_TRUE(box.shown.empty());
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            const auto entries = filterEntries();
            for (std::size_t i = 0; i < entries.size(); ++i) {
                EXPECT_EQ(storedFilter(entries[i].key), QString::fromUtf8(c.texts[i]).toUpper());
            }
        } else {
            ASSERT_EQ(box.shown.size(), 1u);
            EXPECT_EQ(box.shown[0], str(c.message));
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_TRUE(dialog.field(c.focus)->hasFocus());
            EXPECT_FALSE(stored(QStringLiteral("Filter/Hitag1")).isValid());
        }
        dialog.hide();
    }
}

TEST_F(FilterDialogTest, MainWindowCommandOpensTheDialog) {
    struct Case {
        bool ok;
        QVariant stored;
    };
    FixedPorts ports;
    AppSettings settings;
    CMainFrame::Options options;
    options.connectOnFirstShow = false;
    CMainFrame frame(settings, ports, options);
    // "Abbrechen" first: it must leave the settings as they were.
    for (const Case& c : {Case{false, QVariant()}, Case{true, QStringLiteral("4B")}}) {
        bool opened = false;
        onNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<CFilterParameterDlg*>(modal);
            ASSERT_NE(dialog, nullptr);
            opened = true;
            dialog->field(0)->setText(QStringLiteral("4b"));
            if (c.ok) {
                dialog->accept();
            } else {
                dialog->reject();
            }
        });
        frame.action(command::Filter)->trigger();
        EXPECT_TRUE(opened);
        EXPECT_NE(frame.statusBar()->currentMessage(), str(70034));
        EXPECT_EQ(stored(QStringLiteral("Filter/Hitag1")), c.stored);
        // Programming reads what the dialog stored.
        EXPECT_EQ(ProfileFilterSettings().value("Hitag1"), c.ok ? "4B" : "4A");
    }
}

} // namespace
} // namespace veltra::test
