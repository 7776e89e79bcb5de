#include "keys/ui/CLayoutErrorDlg.h"

#include "config/HidPageRules.h"
#include "keys/ui/KeyboardStrings.h"
#include "resources/strings/StringTable.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace veltra {
namespace {

QString settingKey() {
    return QString::fromLatin1(kLayoutWarningGroup) + QLatin1Char('/') +
           QString::fromLatin1(kLayoutWarningKey);
}

} // namespace

bool CLayoutErrorDlg::ShowLayoutWarning() {
    return QSettings().value(settingKey(), 1).toInt() != 0;
}

CLayoutErrorDlg::CLayoutErrorDlg(int differences, QWidget* parent) : QDialog(parent) {
    setWindowTitle(str(kStrProgramName));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    message_ = new QLabel(strf(kStrLayoutDiffers, differences), this);
    message_->setWordWrap(true);
    root->addWidget(message_);
    dontShowAgain_ = new QCheckBox(str(kStrDontShowAgain), this);
    dontShowAgain_->setChecked(!ShowLayoutWarning());
    root->addWidget(dontShowAgain_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    yes_ = new QPushButton(str(kStrYes), this);
    no_ = new QPushButton(str(kStrNo), this);
    yes_->setDefault(true);
    buttons->addWidget(yes_);
    buttons->addWidget(no_);
    root->addLayout(buttons);
    connect(yes_, &QPushButton::clicked, this, [this] { answer(true); });
    connect(no_, &QPushButton::clicked, this, [this] { answer(false); });
    yes_->setFocus();
}

QString CLayoutErrorDlg::messageText() const {
    return message_->text();
}

void CLayoutErrorDlg::answer(bool yes) {
    answered_ = true;
    QSettings settings;
    settings.setValue(settingKey(), dontShowAgain_->isChecked() ? 0 : 1);
    settings.sync();
    if (yes) {
        QDialog::accept();
    } else {
        QDialog::reject();
    }
}

void CLayoutErrorDlg::reject() {
    if (!answered_) {
        answer(false);
        return;
    }
    QDialog::reject();
}

} // namespace veltra
