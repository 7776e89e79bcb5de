#include "network/ui/CIPAddrSuche.h"

#include "network/ui/CLanConfig.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"
#include "widgets/WaitCursor.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace veltra {

namespace {

constexpr int kStrTitle = 78037;
constexpr int kStrChange = 78038;
constexpr int kStrClose = 78039;
constexpr int kStrListCaption = 10129;
constexpr int kStrNothingFound = 10131;

} // namespace

CIPAddrSuche::CIPAddrSuche(ReaderLink& link, QWidget* parent) : QDialog(parent), link_(link) {
    setWindowTitle(str(kStrTitle));
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    change_ = new QPushButton(str(kStrChange), this);
    close_ = new QPushButton(str(kStrClose), this);
    change_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(change_);
    buttons->addStretch();
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);

    openSettings = [this](const QString& entry) {
        CLanConfig settings(link_, entry, this);
        return settings.exec() == QDialog::Accepted;
    };
    connect(change_, &QPushButton::clicked, this, &CIPAddrSuche::changePressed);
    connect(close_, &QPushButton::clicked, this, &CIPAddrSuche::closePressed);
    connect(list_, &QListWidget::itemSelectionChanged, this, &CIPAddrSuche::updateButtons);
    updateButtons();
}

bool CIPAddrSuche::search() {
    for (;;) {
        list_->clear();
        std::vector<LanModuleEntry> found;
        {
            WaitCursor wait;
            found = LanModuleSearch::run(link_);
        }
        for (const auto& entry : found) {
            auto* item = new QListWidgetItem(QString::fromStdString(entry.name), list_);
            item->setData(kNumberRole, entry.number);
            if (entry.number == LanModuleEntry::kOtherModule) {
                // Another maker's module: red italics while not selected (a selected entry is
                // drawn in the highlight colours).
                QFont font = list_->font();
                font.setItalic(true);
                item->setFont(font);
                item->setForeground(QBrush(QColor(Qt::red)));
            }
        }
        if (list_->count() > 0) {
            updateButtons();
            return true;
        }
        if (!messageBox().askRetry(this, str(kStrNothingFound), str(kStrListCaption))) {
            return false;
        }
    }
}

int CIPAddrSuche::exec() {
    // The window's first size is its least.
    setMinimumSize(sizeHint());
    if (!search()) {
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void CIPAddrSuche::updateButtons() {
    change_->setEnabled(!list_->selectedItems().isEmpty());
}

void CIPAddrSuche::changePressed() {
    const auto selected = list_->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    if (openSettings(selected.first()->text())) {
        QThread::msleep(kResearchDelayMs);
        if (!search()) {
            reject();
        }
    }
}

void CIPAddrSuche::closePressed() {
    const auto selected = list_->selectedItems();
    if (!selected.isEmpty() &&
        selected.first()->data(kNumberRole).toInt() == LanModuleEntry::kReader) {
        result_ = selected.first()->text();
    }
    accept();
}

} // namespace veltra
