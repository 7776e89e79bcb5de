#include "config/ui/CEinstellDlg.h"

#include "resources/strings/StringTable.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace veltra {
namespace {

QPushButton* rowButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    // No button reacts to Enter: only a click or the button's own shortcut runs it.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

CEinstellDlg::CEinstellDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(str(75500));
    setModal(true);
    setSizeGripEnabled(false);

    tabs_ = new QTabWidget(this);
    tabs_->setUsesScrollButtons(true);

    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setVisible(false);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(progress_, 1);

    save_ = rowButton(str(75501), this);
    load_ = rowButton(str(75502), this);
    program_ = rowButton(str(75503), this);
    cancel_ = rowButton(str(75504), this);
    // The four buttons share one width and spread over the whole width of the tabs, the first
    // flush left, the last flush right, with equal gaps between them.
    auto* buttons = new QHBoxLayout;
    const QList<QPushButton*> row{save_, load_, program_, cancel_};
    for (int i = 0; i < row.size(); ++i) {
        if (i > 0) {
            buttons->addStretch(1);
        }
        buttons->addWidget(row[i]);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(statusRow);
    layout->addLayout(buttons);

    connect(save_, &QPushButton::clicked, this, [this] { onSave(); });
    connect(load_, &QPushButton::clicked, this, [this] { onLoad(); });
    connect(program_, &QPushButton::clicked, this, [this] { onProgram(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(tabs_, &QTabWidget::currentChanged, this, &CEinstellDlg::pageActivated);
}

CEinstellDlg::~CEinstellDlg() = default;

void CEinstellDlg::addPage(QWidget* page, const QString& title) {
    tabs_->addTab(page, title);
    // Equal button widths: the widest caption decides.
    int width = 0;
    for (QPushButton* button : {save_, load_, program_, cancel_}) {
        button->setMinimumWidth(0);
        width = std::max(width, button->sizeHint().width());
    }
    for (QPushButton* button : {save_, load_, program_, cancel_}) {
        button->setMinimumWidth(width);
    }
}

void CEinstellDlg::beginProgress(int steps) {
    progress_->setRange(0, std::max(1, steps));
    progress_->setValue(0);
    progress_->setVisible(true);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CEinstellDlg::stepProgress(const QString& text) {
    status_->setText(text);
    if (!progress_->isHidden() && progress_->value() < progress_->maximum()) {
        progress_->setValue(progress_->value() + 1);
    }
    // Repaint now: the device link keeps the event loop going while it waits, but the text of
    // a step that needs no reply would otherwise only show after the whole sequence.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CEinstellDlg::endProgress() {
    if (!progress_->isHidden()) {
        progress_->setValue(progress_->maximum());
    }
    progress_->setVisible(false);
}

QString CEinstellDlg::statusText() const {
    return status_->text();
}

int CEinstellDlg::progressValue() const {
    return progress_->value();
}

bool CEinstellDlg::progressVisible() const {
    return !progress_->isHidden();
}

void CEinstellDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Return neither close the sheet nor press a button. Escape stays "Abbrechen".
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CEinstellDlg::pageActivated(int index) {
    // The newly shown page gets the focus on the control it names as its focus proxy (the code
    // list of a sequence page).
    QWidget* page = tabs_->widget(index);
    if (page == nullptr) {
        return;
    }
    if (QWidget* proxy = page->focusProxy()) {
        proxy->setFocus(Qt::TabFocusReason);
    }
}

} // namespace veltra
