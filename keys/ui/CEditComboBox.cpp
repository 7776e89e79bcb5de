#include "keys/ui/CEditComboBox.h"

#include "keys/AnsiText.h"
#include "keys/KeySequence.h"

#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace veltra {

CEditComboBox::CEditComboBox(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("codeEdit"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("codeList"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const std::string& entry : editorCodeList()) {
        list_->addItem(QString::fromStdString(ansiToUtf8(entry)));
    }
    layout->addWidget(edit_);
    layout->addWidget(list_, 1);
    setFocusProxy(edit_);

    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { edit_->setText(item->text()); });
    connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item != nullptr && item->isSelected()) {
            edit_->setText(item->text());
        }
    });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        edit_->setText(item->text());
        emit entryDoubleClicked();
    });
    // Typed text counts as typed: it no longer names the entry chosen before.
    connect(edit_, &QLineEdit::textEdited, this, [this] { list_->clearSelection(); });
}

int CEditComboBox::selectedEntry() const {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->row(selected.front());
}

void CEditComboBox::scrollToTop(int entry) {
    if (QListWidgetItem* item = list_->item(entry)) {
        list_->scrollToItem(item, QAbstractItemView::PositionAtTop);
    }
}

} // namespace veltra
