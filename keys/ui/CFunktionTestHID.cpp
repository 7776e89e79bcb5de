#include "keys/ui/CFunktionTestHID.h"

#include "keys/ui/KeyboardStrings.h"
#include "resources/strings/StringTable.h"

#include <QFont>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace veltra {

namespace {

constexpr int kStrClear = 75512;
constexpr int kStrClose = 75513;

// "Courier New" where it is installed, else the system's fixed-pitch font, at the dialog's size.
QFont monospaceFont(const QFont& dialogFont) {
    QFont font = dialogFont;
    font.setFamilies({QStringLiteral("Courier New"),
                      QFontDatabase::systemFont(QFontDatabase::FixedFont).family()});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

} // namespace

CFunktionTestHID::CFunktionTestHID(QWidget* parent) : QDialog(parent) {
    setWindowTitle(str(kStrHidFunctionTest));
    setSizeGripEnabled(true);
    auto* grid = new QGridLayout(this);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("typedText"));
    text_->setFont(monospaceFont(font()));
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setTabChangesFocus(false);
    const QFontMetrics metrics(text_->font());
    text_->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('0')) * 70,
                          metrics.lineSpacing() * 5);
    clear_ = new QPushButton(str(kStrClear), this);
    close_ = new QPushButton(str(kStrClose), this);
    // Enter belongs to the text box: no button takes it.
    clear_->setAutoDefault(false);
    close_->setAutoDefault(false);

    grid->addWidget(new QLabel(str(kStrKeyboard), this), 0, 0, 1, 3);
    grid->addWidget(text_, 1, 0, 1, 3);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
    grid->addWidget(clear_, 2, 0);
    grid->addWidget(close_, 2, 2);
    setTabOrder(text_, clear_);
    setTabOrder(clear_, close_);

    connect(clear_, &QPushButton::clicked, this, [this] {
        text_->clear();
        text_->setFocus();
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    text_->setFocus();
}

void CFunktionTestHID::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!sized_) {
        sized_ = true;
        adjustSize();
        setMinimumSize(size());
        text_->setFocus();
    }
}

} // namespace veltra
