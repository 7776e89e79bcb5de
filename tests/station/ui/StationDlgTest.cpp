// The "Serienprogrammierung" dialog against a simulated reader: the reader on the interface is
// programmed from the chosen file, its result lands in the list and its line in the log.
#include "station/ui/StationDlg.h"
#include "config/workflow/ReaderConnector.h"
#include "tests/support/DoorConfiguration.h"
#include "tests/support/SimProcess.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

using namespace veltra;
using veltra::test::SimProcess;

QApplication& application() {
    static int argc = 1;
    static char name[] = "station-dialog";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

TEST(StationDlg, ProgramsTheReaderOnTheInterfaceListsItAndLogsIt) {
    application();
    SimProcess sim({"--type", "244", "--version", "K"});
    ConnectionTarget target;
    target.connectionString = sim.port();
    const OpenResult opened = openReaderConnection(qnLink(), target);
    ASSERT_GT(opened.handle, 0);
    closeReaderConnection(qnLink(), opened.handle);

    QTemporaryDir dir;
    const std::string file = dir.filePath("door.mkr").toStdString();
    const std::string log = dir.filePath("door.jsonl").toStdString();
    ASSERT_TRUE(veltra::test::writeDoorConfiguration(file, opened.identity.modelName));

    StationDlg dialog(qnLink(), target, nullptr);
    dialog.show();
    dialog.fileEdit()->setText(QString::fromStdString(file));
    dialog.logEdit()->setText(QString::fromStdString(log));
    ASSERT_TRUE(dialog.startButton()->isEnabled());
    QSignalSpy finished(&dialog, &StationDlg::readerFinished);
    // The default button: Enter starts the station.
    QTest::keyClick(dialog.fileEdit(), Qt::Key_Return);
    EXPECT_TRUE(dialog.running());
    EXPECT_FALSE(dialog.startButton()->isEnabled());
    ASSERT_TRUE(finished.wait(30000));

    EXPECT_TRUE(finished.at(0).at(0).toBool());
    ASSERT_EQ(dialog.results()->count(), 1);
    EXPECT_TRUE(dialog.results()->item(0)->text().contains(QStringLiteral("in Ordnung")))
        << dialog.results()->item(0)->text().toStdString();
    EXPECT_TRUE(dialog.startButton()->isEnabled());
    EXPECT_EQ(sim.block(3), (std::vector<std::uint8_t>{0x23, 0x0D, 0x0A, 0xFF}));

    std::ifstream in(log);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    const QJsonObject entry = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    EXPECT_EQ(entry.value("result").toString(), "ok");
    EXPECT_EQ(entry.value("port").toString().toStdString(), sim.port());
    EXPECT_FALSE(std::getline(in, line));
}

} // namespace
