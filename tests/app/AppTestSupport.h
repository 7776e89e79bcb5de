// Shared pieces of the program's widget tests: one QApplication for the test program, settings
// kept in a fresh temporary folder per test, a message box that records and answers, port
// lists given by the test, and answering the next modal dialog.
#pragma once

#include "app/AppSettings.h"
#include "app/PortEnumerator.h"
#include "tests/support/ScriptedMessageBox.h"
#include "widgets/IMessageBox.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace veltra::test {

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Port lists as the test sets them; anything not set is empty.
class FixedPorts final : public PortEnumerator {
public:
    QStringList list(PortKind kind) override {
        ++calls[static_cast<std::size_t>(kind)];
        return lists[static_cast<std::size_t>(kind)];
    }
    bool ping(const QString& name) override { return answering.count(name) != 0; }
    int devicesWithoutDriver() override { return missingDrivers; }
    bool cdcDriverInstalled() override { return cdc; }

    void set(PortKind kind, QStringList names) {
        lists[static_cast<std::size_t>(kind)] = std::move(names);
    }

    std::array<QStringList, 3> lists;
    std::array<int, 3> calls{};
    std::set<QString> answering;
    int missingDrivers = 0;
    bool cdc = true;
};

// Each test gets empty settings of its own and the scripted message box.
class AppTest : public ::testing::Test {
protected:
    // The application exists before any widget member of a derived fixture.
    AppTest() { application(); }

    void SetUp() override {
        application();
        dir_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(dir_->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_->path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_->path());
        setMessageBox(&box);
    }
    void TearDown() override { setMessageBox(nullptr); }

    // The stored value, read the way another program run would read it.
    static QVariant stored(const QString& key) {
        QSettings settings(QString::fromLatin1(AppSettings::kOrganisation),
                           QString::fromLatin1(AppSettings::kApplication));
        return settings.value(key);
    }
    static void store(const QString& key, const QVariant& value) {
        QSettings settings(QString::fromLatin1(AppSettings::kOrganisation),
                           QString::fromLatin1(AppSettings::kApplication));
        settings.setValue(key, value);
    }

    QString tempPath() const { return dir_->path(); }

    ScriptedMessageBox box;

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

// Calls `answer` with the next modal dialog as soon as it is shown.
inline void onNextModal(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

} // namespace veltra::test
