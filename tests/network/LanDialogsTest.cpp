// The LAN settings dialog and the IP address search against simulated modules in network
// namespaces, through the real device link; the failure paths through the fake ReaderLink.
#include "network/ui/CIPAddrSuche.h"
#include "network/ui/CLanConfig.h"
#include "resources/strings/StringTable.h"
#include "tests/support/FakeReaderLink.h"
#include "tests/support/NetworkLab.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/SimProcess.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace veltra;
using veltra::test::FakeReaderLink;
using veltra::test::NetworkLab;
using veltra::test::ScriptedMessageBox;
using veltra::test::SimProcess;

QApplication& application() {
    static int argc = 1;
    static char name[] = "lan-dialogs";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class LanDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        application();
        lab_ = std::make_unique<NetworkLab>();
        if (!lab_->create()) {
            return;
        }
        lab_->link("da", "10.80.1.1/24", "m", "10.80.1.10/24");
        lab_->addAddress("m", "da", "10.80.1.11/24");
        lab_->addAddress("m", "da", "10.80.1.12/24");
        lab_->addAddress("m", "da", "10.80.1.13/24");
        reader_ = sim({"--lan", "10.80.1.10", "--lan-name", "GATE"});
        other_ = sim({"--lan", "10.80.1.11", "--lan-type", "XPORT"});
        dhcp_ =
            sim({"--lan", "10.80.1.12", "--lan-dhcp", "--lan-name", "LAB", "--lan-port", "10002"});
        lab_->enterProgramSide();
        ready_ = true;
    }
    static void TearDownTestSuite() {
        reader_.reset();
        other_.reset();
        dhcp_.reset();
        lab_.reset();
    }
    void SetUp() override {
        setMessageBox(&box_);
        if (!ready_ && needsLab()) {
            VELTRA_SKIP_WITHOUT_NETNS(lab_->reason());
        }
    }
    void TearDown() override { setMessageBox(nullptr); }
    virtual bool needsLab() const { return true; }
    static std::unique_ptr<SimProcess> sim(std::vector<std::string> args) {
        auto [program, prefix] = lab_->inModuleSide("m", QN_SIM_PATH);
        prefix.insert(prefix.end(), args.begin(), args.end());
        return std::make_unique<SimProcess>(program, prefix);
    }
    static void clickOk(CLanConfig& d) { d.buttons()->button(QDialogButtonBox::Ok)->click(); }

    ScriptedMessageBox box_;
    static inline std::unique_ptr<NetworkLab> lab_;
    static inline bool ready_ = false;
    static inline std::unique_ptr<SimProcess> reader_, other_, dhcp_;
};

TEST_F(LanDialogs, SettingsOpenInTheReadersModeAndOkSendsTheNewName) {
    CLanConfig fixed(qnLink(), QStringLiteral("10.80.1.10-10001:1"));
    EXPECT_TRUE(fixed.fixedButton()->isChecked());
    EXPECT_EQ(fixed.addressEdit()->text(), QStringLiteral("10.80.1.10"));
    EXPECT_EQ(fixed.addressPortEdit()->value(), 10001);
    EXPECT_EQ(fixed.dhcpNameEdit()->text(), QStringLiteral("GATE"));
    EXPECT_TRUE(fixed.addressEdit()->isEnabled());
    EXPECT_FALSE(fixed.dhcpNameEdit()->isEnabled());
    fixed.addressEdit()->setText(QStringLiteral("0.0.0.0"));
    clickOk(fixed);
    ASSERT_EQ(box_.shown.size(), 1U);
    EXPECT_EQ(box_.shown[0], str(10128));
    EXPECT_EQ(fixed.result(), 0);

    const auto module =
        sim({"--lan", "10.80.1.13", "--lan-dhcp", "--lan-name", "LAB2", "--lan-port", "10002"});
    CLanConfig dhcp(qnLink(), QStringLiteral("[LAB2]-10002"));
    EXPECT_TRUE(dhcp.dhcpButton()->isChecked());
    EXPECT_EQ(dhcp.dhcpNameEdit()->text(), QStringLiteral("LAB2"));
    EXPECT_EQ(dhcp.dhcpPortEdit()->value(), 10002);
    EXPECT_FALSE(dhcp.addressEdit()->isEnabled());
    // Sixteen characters are refused before anything is sent.
    dhcp.dhcpNameEdit()->setText(QStringLiteral("ABCDEFGHIJKLMNOP"));
    clickOk(dhcp);
    ASSERT_EQ(box_.shown.size(), 2U);
    EXPECT_EQ(box_.shown[1], strf(73007, 15));
    EXPECT_EQ(module->log().find("wrote block 0"), std::string::npos);

    dhcp.dhcpNameEdit()->setText(QStringLiteral("LAB2"));
    dhcp.dhcpPortEdit()->setValue(10001);
    clickOk(dhcp);
    EXPECT_EQ(dhcp.result(), QDialog::Accepted);
    EXPECT_EQ(dhcp.readerName(), QStringLiteral("[LAB2]-10001"));
    EXPECT_NE(module->log().find("wrote block 0"), std::string::npos);
    EXPECT_FALSE(dhcp.progressBar()->isVisible());
}

TEST_F(LanDialogs, SearchListsReadersAndOtherModulesAndHandsBackOnlyAReader) {
    CIPAddrSuche search(qnLink());
    QStringList opened;
    search.openSettings = [&](const QString& entry) {
        CLanConfig settings(qnLink(), entry);
        opened << settings.dhcpNameEdit()->text();
        return true;
    };
    ASSERT_TRUE(search.search());
    QListWidget* list = search.list();
    ASSERT_EQ(list->count(), 3);
    struct Row {
        const char* text;
        int number;
    };
    const Row rows[] = {
        {"10.80.1.10-10001", 1}, {"[LAB]10.80.1.12-10002", 1}, {"10.80.1.11-10001", 2}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->item(i)->text(), QString::fromLatin1(rows[i].text));
        EXPECT_EQ(list->item(i)->data(CIPAddrSuche::kNumberRole).toInt(), rows[i].number);
        EXPECT_EQ(list->item(i)->font().italic(), rows[i].number == 2);
        EXPECT_EQ(list->item(i)->foreground().color() == QColor(Qt::red), rows[i].number == 2);
    }
    EXPECT_FALSE(search.changeButton()->isEnabled());
    // Another maker's module: its settings can be changed, but it is no result.
    list->setCurrentRow(2);
    EXPECT_TRUE(search.changeButton()->isEnabled());
    search.changeButton()->click();
    EXPECT_EQ(opened, QStringList{QStringLiteral("QNSIM")});
    EXPECT_EQ(list->count(), 3); // searched again
    list->setCurrentRow(2);
    search.closeButton()->click();
    EXPECT_TRUE(search.result().isEmpty());

    CIPAddrSuche again(qnLink());
    ASSERT_TRUE(again.search());
    again.list()->setCurrentRow(1);
    again.closeButton()->click();
    EXPECT_EQ(again.result(), QStringLiteral("[LAB]10.80.1.12-10002"));
    EXPECT_EQ(LanModuleSearch::interfaceName(again.result().toStdString()), "LAN: [LAB]");
}

class LanDialogsFake : public LanDialogs {
protected:
    bool needsLab() const override { return false; }
    FakeReaderLink link_;
};

TEST_F(LanDialogsFake, NothingFoundAsksForRetryAndARefusedChangeRereads) {
    box_.answers = {true, false}; // retry once, then cancel
    CIPAddrSuche search(link_);
    EXPECT_EQ(search.exec(), QDialog::Rejected);
    EXPECT_EQ(box_.asked, (std::vector<QString>{str(10131), str(10131)}));
    EXPECT_EQ(box_.captions, (std::vector<QString>{str(10129), str(10129)}));

    // Settings that cannot be read: nothing chosen, ports 0, everything enabled; a fixed
    // address is required.
    CLanConfig settings(link_, QStringLiteral("10.80.9.9-10001"));
    EXPECT_FALSE(settings.dhcpButton()->isChecked());
    EXPECT_FALSE(settings.fixedButton()->isChecked());
    EXPECT_EQ(settings.addressPortEdit()->value(), 0);
    EXPECT_TRUE(settings.dhcpNameEdit()->isEnabled());
    EXPECT_TRUE(settings.addressEdit()->isEnabled());
    settings.addressEdit()->setText(QStringLiteral("10.80.9.20"));
    settings.buttons()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(box_.shown, (std::vector<QString>{str(10130)}));
    EXPECT_EQ(link_.log, (std::vector<std::string>{"lanReadSettings 10.80.9.9-10001",
                                                   "lanSetAddress 10.80.9.9-10001 10.80.9.20-0",
                                                   "lanReadSettings 10.80.9.9-10001"}));
    EXPECT_NE(settings.result(), QDialog::Accepted);
    EXPECT_TRUE(settings.buttons()->isVisibleTo(&settings));
}

} // namespace
