// The configuration sheet against the reader simulator: pages by feature bits, reading a
// reader into the pages, programming edited pages back and checking the reader's blocks, the
// model check and the power-on question, saving and loading .mkr files.
#include "config/DeviceFeatures.h"
#include "config/MkrFile.h"
#include "config/ui/CDatenRegisterkarteSeriell.h"
#include "config/ui/CParamRegisterkarteSeriell.h"
#include "config/ui/CSeriellEinstellDlg.h"
#include "config/ui/DialogMkrFileChooser.h"
#include "config/ui/MkrFileChooser.h"
#include "config/workflow/ConfigurationWorkflow.h"
#include "keys/ui/CEingabeBasisRegisterkarteSeriell.h"
#include "keys/ui/CParamRegisterkarteHID.h"
#include "resources/strings/StringTable.h"
#include "tests/config/ui/SheetTestSupport.h"
#include "tests/support/FtdiStandIn.h"
#include "tests/support/SimProcess.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>

#include <fstream>
#include <optional>

namespace veltra::test {
namespace {

// Answers the file dialogs with names the test sets; records the folders they opened in.
class ScriptedChooser final : public MkrFileChooser {
public:
    QString saveFileName(QWidget*, const QString& folder) override {
        folders.push_back(folder);
        return saveName;
    }
    QString openFileName(QWidget*, const QString& folder) override {
        folders.push_back(folder);
        return openName;
    }
    QString saveName;
    QString openName;
    std::vector<QString> folders;
};

class SheetEndToEnd : public SheetTest {
protected:
    // A sheet opened as the main window opens it: with the reader's connection handed over.
    std::unique_ptr<CSeriellEinstellDlg> openSheet() {
        const OpenResult opened = openReader();
        EXPECT_GT(opened.handle, 0);
        auto sheet = std::make_unique<CSeriellEinstellDlg>(
            nullptr, openedReader(opened.handle, 19200, opened.features));
        sheet->setFileChooser(&chooser);
        EXPECT_TRUE(sheet->readReader());
        return sheet;
    }

    QStringList tabTitles(const CSeriellEinstellDlg& sheet) {
        QStringList titles;
        for (int i = 0; i < sheet.tabs()->count(); ++i) {
            titles << sheet.tabs()->tabText(i);
        }
        return titles;
    }

    ScriptedChooser chooser;
};

CAsciiArray sequenceOf(std::initializer_list<std::uint8_t> codes) {
    std::vector<std::uint8_t> block(codes);
    block.push_back(0xFF);
    return sequenceFromBlock(block);
}

TEST_F(SheetEndToEnd, PagesAndTheirOrderFollowTheFeatureBits) {
    struct Case {
        const char* name;
        std::uint32_t features;
        QStringList titles;
    };
    const QString parameter = CParamRegisterkarteSeriell::caption();
    const Case cases[] = {
        {"one data output",
         0,
         {parameter, str(129), QStringLiteral("Daten"), str(130), str(131), str(149)}},
        {"two data outputs",
         feature::SecondDataPage,
         {parameter, str(129), QStringLiteral("Daten 1"), QStringLiteral("Daten 2"), str(130),
          str(131), str(149)}},
        {"keyboard reader with its own parameter page",
         feature::HidReader,
         {CParamRegisterkarteHID::caption(), str(129), QStringLiteral("Daten"), str(130), str(131),
          str(149)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSeriellEinstellDlg sheet(nullptr, openedReader(0, 19200, c.features));
        EXPECT_EQ(tabTitles(sheet), c.titles);
        EXPECT_EQ(sheet.dataPage(1) != nullptr, (c.features & feature::SecondDataPage) != 0);
        EXPECT_EQ(sheet.parameterPage() != nullptr, (c.features & feature::HidReader) == 0);
        EXPECT_EQ(sheet.hidParameterPage() != nullptr, (c.features & feature::HidReader) != 0);
    }
}

TEST_F(SheetEndToEnd, ButtonRowAndEnterKey) {
    CSeriellEinstellDlg sheet(nullptr, openedReader(0, 19200, 0));
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Programmierung eingeben"));
    const QList<QPushButton*> buttons =
        sheet.findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly);
    QStringList captions;
    for (QPushButton* button : buttons) {
        captions << button->text();
        EXPECT_FALSE(button->autoDefault()) << button->text().toStdString();
    }
    EXPECT_EQ(captions,
              (QStringList{QStringLiteral("Speichern"), QStringLiteral("Laden"),
                           QStringLiteral("Programmieren"), QStringLiteral("Abbrechen")}));
    sheet.show();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&sheet, &enter);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), 0);
    sheet.cancelButton()->click();
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
}

// The standard file dialogs: the "Quarnel (*.mkr)" filter, the "mkr" extension, the folder
// they were given, asking before an existing file is replaced; cancelling gives no name.
TEST_F(SheetEndToEnd, FileDialogsOfferConfigurationFiles) {
    for (const bool saving : {true, false}) {
        SCOPED_TRACE(saving);
        QStringList filters;
        QString suffix;
        QString folder;
        bool confirmsOverwrite = false;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                timer.stop();
                filters = dialog->nameFilters();
                suffix = dialog->defaultSuffix();
                folder = dialog->directory().absolutePath();
                confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
                mode = dialog->acceptMode();
                dialog->reject();
            }
        });
        timer.start();
        DialogMkrFileChooser chooser;
        const QString chosen = saving ? chooser.saveFileName(nullptr, tempDir.path())
                                      : chooser.openFileName(nullptr, tempDir.path());
        EXPECT_TRUE(chosen.isEmpty());
        EXPECT_EQ(filters, QStringList{QStringLiteral("Quarnel (*.mkr)")});
        EXPECT_EQ(suffix, QStringLiteral("mkr"));
        EXPECT_EQ(folder, QDir(tempDir.path()).absolutePath());
        EXPECT_TRUE(confirmsOverwrite);
        EXPECT_EQ(mode, saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    }
}

TEST_F(SheetEndToEnd, NoReaderLeavesThePagesInTheirInitialState) {
    CSeriellEinstellDlg sheet(nullptr, openedReader(0, 19200, feature::SecondDataPage));
    EXPECT_FALSE(sheet.readReader());
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Programmierung eingeben"));
    EXPECT_EQ(sheet.parameterPage()->parameters().cycleTimeMs, 1000);
    EXPECT_TRUE(sheet.suffixPage()->sequence().empty());
}

TEST_F(SheetEndToEnd, ReadsEditsAndProgramsTheReader) {
    // A reader on a serial port, and an FTDI reader through the D2XX library (the stand-in,
    // on the simulator's terminal) by the connection string the program builds for it.
    for (const bool ftdi : {false, true}) {
        SCOPED_TRACE(ftdi ? "FTDI reader" : "serial port");
        SimProcess sim({"--type", "244"});
        std::optional<FtdiStandIn> d2xx;
        port = sim.port();
        if (ftdi) {
            d2xx.emplace(FtdiStandIn::Devices{{"1680A001", sim.port()}});
            port = "1680A001:1";
        }
        auto sheet = openSheet();
        ASSERT_NE(sheet->dataPage(1), nullptr);
        EXPECT_TRUE(sim.waitForValue("mode", "2")); // closed after reading
        EXPECT_FALSE(sheet->modelName().empty());
        EXPECT_TRUE(sheet->windowTitle().endsWith(
            QStringLiteral(" <") + QString::fromStdString(sheet->modelName()) + QLatin1Char('>')));

        // What the simulator holds is on the pages.
        const DataFormatRecord first = sheet->dataPage(0)->getRecord();
        EXPECT_TRUE(first.isFixedFormat());
        EXPECT_EQ(first.registers[0], 1); // "Unique"
        EXPECT_EQ(first.length, 10);
        EXPECT_EQ(sheet->suffixPage()->block(), (std::vector<std::uint8_t>{0x0D, 0x0A, 0xFF}));
        EXPECT_TRUE(sheet->prefixPage()->sequence().empty());
        const ReaderParameters read = sheet->parameterPage()->parameters();
        EXPECT_EQ(read.cycleTimeMs, 1000);
        EXPECT_EQ(read.timeoutMs, 500);
        EXPECT_EQ(read.prompt, '?');
        for (auto* page : {sheet->prefixPage(), sheet->suffixPage(), sheet->pullOffPage(),
                           sheet->separatorPage()}) {
            EXPECT_FALSE(page->isModified());
        }

        // Edits: decimal output of twelve characters, "AB" as prefix, 2 s cycle time.
        DataFormatRecord edited = first;
        edited.display = 1;
        edited.length = 12;
        sheet->dataPage(0)->setFromRecord(edited);
        sheet->prefixPage()->setSequence(sequenceOf({0x41, 0x42}));
        ReaderParameters parameters = read;
        parameters.cycleTimeMs = 2000;
        sheet->parameterPage()->setParameters(parameters, false);

        ASSERT_TRUE(sheet->programReader());
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_EQ(messages.shown.back(),
                  QStringLiteral("Programmierung erfolgreich abgeschlossen"));
        EXPECT_TRUE(messages.asked.empty());

        EXPECT_EQ(sim.block(2), (std::vector<std::uint8_t>{0x41, 0x42, 0xFF}));
        EXPECT_EQ(sim.block(3), (std::vector<std::uint8_t>{0x0D, 0x0A, 0xFF}));
        EXPECT_EQ(sim.block(6), (std::vector<std::uint8_t>{0x00, 20, '?', 5}));
        const std::vector<std::uint8_t> data = sim.block(1);
        ASSERT_EQ(data.size(), 40u);
        EXPECT_EQ(data[0], 0x00);                   // fixed format
        EXPECT_EQ(data[1], 0x01);                   // "Unique"
        EXPECT_EQ(data[7], 1);                      // decimal
        EXPECT_EQ(data[8], 12);                     // characters
        EXPECT_TRUE(sim.waitForValue("mode", "2")); // closed after programming
        EXPECT_EQ(storedBaud, 19200);
    }
}

TEST_F(SheetEndToEnd, AnotherModelAttachedBeforeProgrammingIsRefusedBeforeAnyWrite) {
    SimProcess configured({"--type", "244"});
    port = configured.port();
    auto sheet = openSheet();
    sheet->prefixPage()->setSequence(sequenceOf({0x41}));

    SimProcess other({"--type", "551", "--version", "8"});
    port = other.port();
    const std::vector<std::uint8_t> prefixBefore = other.block(2);
    EXPECT_FALSE(sheet->programReader());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].startsWith(QStringLiteral("Die Einstellungen sind für <") +
                                             QString::fromStdString(sheet->modelName()) +
                                             QStringLiteral(">, aktuell ist aber ein <")))
        << messages.shown[0].toStdString();
    EXPECT_FALSE(messages.shown[0].contains(QStringLiteral("<") +
                                            QString::fromStdString(sheet->modelName()) +
                                            QStringLiteral("> angeschlossen")));
    EXPECT_EQ(other.block(2), prefixBefore);
    EXPECT_EQ(configured.block(2), (std::vector<std::uint8_t>{0xFF}));
}

// A data page that fails its checks: programming stops after the prefix has been written, with
// the page's own message only; saving writes nothing and says so with one message.
TEST_F(SheetEndToEnd, InvalidDataPageStopsProgrammingAndSaving) {
    SimProcess sim({"--type", "244"});
    port = sim.port();
    auto sheet = openSheet();
    const std::vector<std::uint8_t> dataBefore = sim.block(1);
    sheet->prefixPage()->setSequence(sequenceOf({0x41}));
    DataFormatRecord hitag1; // Hitag1 has no block 5
    hitag1.active = 1;
    hitag1.transponderType = chip::Hitag1;
    hitag1.registers = {5, 255, 255, 255};
    hitag1.length = 8;
    sheet->dataPage(0)->setFromRecord(hitag1);

    EXPECT_FALSE(sheet->programReader());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], str(73003));
    EXPECT_EQ(sim.block(2), (std::vector<std::uint8_t>{0x41, 0xFF}));
    EXPECT_EQ(sim.block(1), dataBefore);
    EXPECT_EQ(sheet->tabs()->currentWidget(), sheet->dataPage(0));
    EXPECT_TRUE(sim.waitForValue("mode", "2"));

    messages.shown.clear();
    const QString path = tempDir.filePath(QStringLiteral("refused.mkr"));
    chooser.saveName = path;
    EXPECT_FALSE(sheet->saveConfiguration());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], str(kStrDataPageInvalidOnSave));
    EXPECT_TRUE(chooser.folders.empty()); // not even asked for a name
    EXPECT_FALSE(QFile::exists(path));
}

// A parameter page that fails its checks stops the save before the file is touched: an
// existing file keeps every byte instead of getting only the sections before the parameters.
TEST_F(SheetEndToEnd, InvalidParameterPageLeavesTheFileAlone) {
    SimProcess sim({"--type", "244"});
    port = sim.port();
    auto sheet = openSheet();
    const QString path = tempDir.filePath(QStringLiteral("kept.mkr"));
    const QByteArray before("[Device]\r\nName=Earlier\r\n[Prefix]\r\nCount=1\r\nAscii0=66\r\n");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    sheet->prefixPage()->setSequence(sequenceOf({0x41, 0x42}));
    auto* timeout = sheet->parameterPage()->findChild<QLineEdit*>(QStringLiteral("timeout"));
    ASSERT_NE(timeout, nullptr);
    timeout->setText(QStringLiteral("99"));

    chooser.saveName = path;
    EXPECT_FALSE(sheet->saveConfiguration());
    ASSERT_EQ(messages.shown.size(), 1u); // the page's own range message
    EXPECT_TRUE(messages.shown[0].contains(QStringLiteral("12700")))
        << messages.shown[0].toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_TRUE(chooser.folders.empty());
}

// A reader whose power-on configuration is programming mode: the sheet asks whether to switch
// it to reader mode, and does so only on "Ja".
TEST_F(SheetEndToEnd, PowerOnProgrammingModeQuestion) {
    struct Case {
        bool answer;
        const char* storedMode;
    };
    for (const Case c : {Case{true, "1"}, Case{false, "0"}}) {
        SCOPED_TRACE(c.answer);
        messages.asked.clear();
        messages.shown.clear();
        const std::string state = tempDir.filePath(QStringLiteral("reader.txt")).toStdString();
        std::ofstream(state) << "type=244\nstored_mode=0\n";
        SimProcess sim({"--state", state});
        port = sim.port();
        auto sheet = openSheet();
        messages.answers = {c.answer};
        // The question comes late in programming: the progress line shows how far it got.
        bool progressShown = false;
        int progressSteps = 0;
        messages.whileAsking = [&] {
            progressShown = sheet->progressVisible();
            progressSteps = sheet->progressValue();
        };
        EXPECT_TRUE(sheet->programReader());
        messages.whileAsking = nullptr;
        EXPECT_TRUE(progressShown);
        EXPECT_GE(progressSteps, 10);
        EXPECT_FALSE(sheet->progressVisible());
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0], QString::fromStdString(programmingModeQuestion()));
        EXPECT_EQ(sim.value("stored_mode"), c.storedMode);
        EXPECT_EQ(messages.shown.back(),
                  QStringLiteral("Programmierung erfolgreich abgeschlossen"));
        EXPECT_EQ(sheet->parameterPage()->parameters().powerOnMode, c.answer ? 1 : 0);
    }
}

TEST_F(SheetEndToEnd, SavesAndLoadsConfigurationFiles) {
    SimProcess sim({"--type", "244"});
    port = sim.port();
    auto sheet = openSheet();
    const QString path = tempDir.filePath(QStringLiteral("reader.mkr"));
    sheet->prefixPage()->setSequence(sequenceOf({0x41, 0x42}));
    ReaderParameters parameters = sheet->parameterPage()->parameters();
    parameters.cycleTimeMs = 3000;
    sheet->parameterPage()->setParameters(parameters, false);

    chooser.saveName = path;
    ASSERT_TRUE(sheet->saveConfiguration());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(QSettings().value(QStringLiteral("Settings/MKRFilePath")).toString(), tempDir.path());
    EXPECT_TRUE(sheet->windowTitle().endsWith(QStringLiteral(" - ") + path));
    EXPECT_EQ(sheet->statusText(), QStringLiteral("Gespeichert: ") + path);
    EXPECT_FALSE(sheet->prefixPage()->isModified());
    {
        QSettings file(path, QSettings::IniFormat);
        EXPECT_EQ(file.value(QStringLiteral("Prefix/Count")).toInt(), 2);
        EXPECT_EQ(file.value(QStringLiteral("Prefix/Ascii1")).toInt(), 0x42);
        EXPECT_EQ(file.value(QStringLiteral("Data/Zykluszeit")).toInt(), 3000);
        EXPECT_EQ(file.value(QStringLiteral("Device/Name")).toString().toStdString(),
                  sheet->modelName());
    }

    // Changed pages: the sheet asks to save first; "Nein" goes straight on to loading.
    sheet->prefixPage()->OnClearPage();
    ASSERT_TRUE(sheet->prefixPage()->isModified());
    parameters.cycleTimeMs = 1000;
    sheet->parameterPage()->setParameters(parameters, false);
    chooser.openName = path;
    messages.answers = {false};
    ASSERT_TRUE(sheet->loadConfiguration());
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0], str(kStrSaveFirstQuestion));
    EXPECT_EQ(sheet->prefixPage()->block(), (std::vector<std::uint8_t>{0x41, 0x42, 0xFF}));
    EXPECT_EQ(sheet->parameterPage()->parameters().cycleTimeMs, 3000);
    EXPECT_FALSE(sheet->prefixPage()->isModified());
    // The title names the file once, however often it is saved or loaded.
    EXPECT_EQ(sheet->windowTitle().count(QStringLiteral(" - ")), 1);
    EXPECT_EQ(chooser.folders.back(), tempDir.path());
}

// Loading replaces every page, so an edit on any of them brings the question to save first.
TEST_F(SheetEndToEnd, LoadingAsksToSaveEditsOfEveryPage) {
    SimProcess sim({"--type", "244"});
    port = sim.port();
    const QString path = tempDir.filePath(QStringLiteral("plain.mkr"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Prefix]\r\nCount=0\r\n");
    }
    struct Case {
        const char* page;
        std::function<void(CSeriellEinstellDlg&)> edit;
        std::size_t questions;
    };
    const Case cases[] = {
        {"none", [](CSeriellEinstellDlg&) {}, 0},
        {"prefix", [](CSeriellEinstellDlg& s) { s.prefixPage()->OnClearPage(); }, 1},
        {"separator", [](CSeriellEinstellDlg& s) { s.separatorPage()->OnClearPage(); }, 1},
        {"parameters",
         [](CSeriellEinstellDlg& s) {
             s.parameterPage()
                 ->findChild<QLineEdit*>(QStringLiteral("timeout"))
                 ->setText(QStringLiteral("700"));
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        auto sheet = openSheet();
        messages.asked.clear();
        c.edit(*sheet);
        chooser.openName = path;
        messages.answers = {false};
        EXPECT_TRUE(sheet->loadConfiguration());
        EXPECT_EQ(messages.asked.size(), c.questions);
    }
}

TEST_F(SheetEndToEnd, LoadingAFileOfAnotherModelAsksFirst) {
    SimProcess sim({"--type", "244"});
    port = sim.port();
    auto sheet = openSheet();
    const QString path = tempDir.filePath(QStringLiteral("other.mkr"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Device]\r\nName=Other Reader\r\n[Prefix]\r\nCount=1\r\nAscii0=65\r\n");
    }
    chooser.openName = path;
    struct Case {
        bool answer;
        std::vector<std::uint8_t> prefix;
    };
    for (const Case& c : {Case{false, {0xFF}}, Case{true, {0x41, 0xFF}}}) {
        SCOPED_TRACE(c.answer);
        messages.asked.clear();
        messages.answers = {c.answer};
        EXPECT_EQ(sheet->loadConfiguration(), c.answer);
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0], otherModelQuestion("Other Reader", sheet->modelName()));
        EXPECT_EQ(sheet->prefixPage()->block(), c.prefix);
    }
    // A file that cannot be opened changes nothing.
    chooser.openName = tempDir.filePath(QStringLiteral("missing.mkr"));
    messages.shown.clear();
    EXPECT_FALSE(sheet->loadConfiguration());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], str(kStrValuesNotLoaded));
    EXPECT_EQ(sheet->prefixPage()->block(), (std::vector<std::uint8_t>{0x41, 0xFF}));
}

// Files the sheet refuses change no page: the message says why, the pages keep their values.
TEST_F(SheetEndToEnd, RefusedFilesChangeNoPage) {
    SimProcess sim({"--type", "244"});
    port = sim.port();
    auto sheet = openSheet();
    sheet->prefixPage()->setSequence(sequenceOf({0x41}));
    sheet->prefixPage()->setModified(false);
    const QString path = tempDir.filePath(QStringLiteral("refused.mkr"));
    chooser.openName = path;
    const std::pair<QByteArray, QString> cases[] = {
        {QByteArray(), QStringLiteral("Die Datei enthält keine Konfiguration:\n") + path},
        {QByteArray(2000, '\x9c'),
         QStringLiteral("Die Datei enthält keine Konfiguration:\n") + path},
        {"[Prefix]\r\nCount=0\r\n[Data1]\r\nTransponderTyp=258\r\n",
         QStringLiteral("Die Datei enthält einen ungültigen Wert:\n[Data1] TransponderTyp=258")},
        {"[Data1]\r\nTransponderTyp=5\r\nRegister1=1000\r\n",
         QStringLiteral("Die Datei enthält einen ungültigen Wert:\n[Data1] Register1=1000")},
    };
    for (const auto& [text, message] : cases) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        messages.shown.clear();
        EXPECT_FALSE(sheet->loadConfiguration());
        ASSERT_EQ(messages.shown.size(), 1u) << message.toStdString();
        EXPECT_EQ(messages.shown[0], message);
        EXPECT_EQ(sheet->prefixPage()->sequence().size(), 1u) << message.toStdString();
    }
}

// A reader at 38400 shows 19200 in the "Setzen" list and is switched to it when programmed; the
// page then holds the new rate, so programming again does not switch the reader back.
TEST_F(SheetEndToEnd, ProgrammedRateIsKeptWhenProgrammingAgain) {
    SimProcess sim({"--type", "244", "--baud", "38400"});
    port = sim.port();
    storedBaud = 38400;
    auto sheet = openSheet();
    EXPECT_EQ(
        sheet->parameterPage()->findChild<QComboBox*>(QStringLiteral("setBaud"))->currentText(),
        QStringLiteral("19200"));
    ASSERT_TRUE(sheet->programReader());
    EXPECT_EQ(storedBaud, 19200);
    EXPECT_EQ(sim.value("baud"), "19200");
    ASSERT_TRUE(sheet->programReader()) << messages.shown.back().toStdString();
    EXPECT_EQ(storedBaud, 19200);
    EXPECT_EQ(sim.value("baud"), "19200");
    EXPECT_EQ(messages.shown.back(), QStringLiteral("Programmierung erfolgreich abgeschlossen"));
}

// "Speichern" checks the entries as typed: a start block of 300 is refused as "Programmieren"
// refuses it, not saved as 255.
TEST_F(SheetEndToEnd, SavingChecksTheEntriesAsTyped) {
    SimProcess sim({"--type", "551", "--version", "8"});
    port = sim.port();
    auto sheet = openSheet();
    DataFormatRecord sequence;
    sequence.active = 1;
    sequence.transponderType = chip::HitagMicro | kBlockSequenceFlag;
    sequence.registers = {0, 4, 255, 255};
    sheet->dataPage(0)->setFromRecord(sequence);
    sheet->dataPage(0)
        ->findChild<QLineEdit*>(QStringLiteral("startBlock"))
        ->setText(QStringLiteral("300"));
    const QString path = tempDir.filePath(QStringLiteral("start300.mkr"));
    chooser.saveName = path;
    EXPECT_FALSE(sheet->saveConfiguration());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], str(kStrDataPageInvalidOnSave));
    EXPECT_FALSE(QFile::exists(path));
}

// A blank prompt character survives saving and loading.
TEST_F(SheetEndToEnd, BlankPromptSurvivesTheFile) {
    const QString state = tempDir.filePath(QStringLiteral("state.txt"));
    {
        QFile file(state);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("block6=00 0A 20 05\n");
    }
    SimProcess sim({"--type", "244", "--state", state.toStdString()});
    port = sim.port();
    auto sheet = openSheet();
    EXPECT_EQ(sheet->parameterPage()->parameters().prompt, ' ');
    const QString path = tempDir.filePath(QStringLiteral("blank.mkr"));
    chooser.saveName = chooser.openName = path;
    ASSERT_TRUE(sheet->saveConfiguration());
    sheet->parameterPage()
        ->findChild<QLineEdit*>(QStringLiteral("prompt"))
        ->setText(QStringLiteral("!"));
    ASSERT_TRUE(sheet->loadConfiguration());
    EXPECT_EQ(sheet->parameterPage()->parameters().prompt, ' ');
}

} // namespace
} // namespace veltra::test
