#include "widgets/QtMessageBox.h"

#include "resources/strings/StringTable.h"

#include <QMessageBox>
#include <QPushButton>

namespace veltra {
namespace {

// The texts carry Windows line breaks; a message box shows "\r\n" as one break.
QString displayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return shown;
}

} // namespace

void QtMessageBox::show(QWidget* parent, const QString& text, Kind kind) {
    QMessageBox::Icon icon = QMessageBox::Information;
    if (kind == Kind::Warning) {
        icon = QMessageBox::Warning;
    } else if (kind == Kind::Error) {
        icon = QMessageBox::Critical;
    }
    QMessageBox box(icon, str(57344), displayText(text), QMessageBox::Ok, parent);
    box.exec();
}

bool QtMessageBox::askYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, str(57344), displayText(text), QMessageBox::NoButton,
                    parent);
    QPushButton* yes = box.addButton(str(70100), QMessageBox::YesRole);
    QPushButton* no = box.addButton(str(70101), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

bool QtMessageBox::askRetry(QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Warning, caption, displayText(text),
                    QMessageBox::Retry | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Retry);
    return box.exec() == QMessageBox::Retry;
}

} // namespace veltra
