#include "app/ReaderConfigDlg.h"

#include "config/DeviceFeatures.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace veltra {

CReaderConfig::CReaderConfig(const OpenResult& reader, QWidget* parent, ReaderLink& link)
    : QDialog(parent), link_(link), handle_(reader.handle) {
    setWindowTitle(str(70300));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QButtonGroup(this);
    const int captions[3] = {70301, 70302, 70303};
    for (int i = 0; i < 3; ++i) {
        buttons_[i] = new QRadioButton(str(captions[i]), this);
        group->addButton(buttons_[i], i);
        layout->addWidget(buttons_[i]);
    }
    buttons_[2]->setEnabled((reader.features & feature::ReaderModeSilent) != 0);
    auto* box = new QDialogButtonBox(this);
    box->addButton(str(70102), QDialogButtonBox::AcceptRole);
    box->addButton(str(70103), QDialogButtonBox::RejectRole);
    connect(box, &QDialogButtonBox::accepted, this, &CReaderConfig::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CReaderConfig::reject);
    layout->addSpacing(8);
    layout->addWidget(box);
    setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
}

void CReaderConfig::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!modeRead_) {
        readMode();
    }
}

void CReaderConfig::readMode() {
    modeRead_ = true;
    const int mode = link_.readMode(handle_);
    if (mode < 0) {
        messageBox().show(this, str(519), IMessageBox::Kind::Warning);
        select(-1);
        return;
    }
    select((mode & 0x02) != 0 ? 2 : (mode & 0x03));
}

int CReaderConfig::selection() const {
    for (int i = 0; i < 3; ++i) {
        if (buttons_[i]->isChecked()) {
            return i;
        }
    }
    return -1;
}

void CReaderConfig::select(int index) {
    // Exclusive radio buttons cannot be cleared one by one; lift the rule for the moment.
    for (QRadioButton* button : buttons_) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
    if (index >= 0 && index < 3) {
        buttons_[index]->setChecked(true);
    }
}

void CReaderConfig::accept() {
    // Button 2 is reader mode without output, which the reader knows as mode 3.
    static constexpr int kModes[3] = {0, 1, 3};
    const int index = selection();
    if (index < 0) {
        // Nothing chosen (the mode could not be read): there is nothing to program.
        QDialog::accept();
        return;
    }
    if (link_.setModeStored(handle_, kModes[index]) != 0) {
        messageBox().show(this, str(139), IMessageBox::Kind::Error);
        return;
    }
    QDialog::accept();
}

} // namespace veltra
