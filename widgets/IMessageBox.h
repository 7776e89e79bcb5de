// Every message the program shows goes through IMessageBox, so that tests can read and answer
// them. The program uses QtMessageBox.
#pragma once

#include <QString>

class QWidget;

namespace veltra {

class IMessageBox {
public:
    enum class Kind { Information, Warning, Error };

    virtual ~IMessageBox() = default;
    // A message with an OK button.
    virtual void show(QWidget* parent, const QString& text, Kind kind) = 0;
    // A question with "Ja" and "Nein"; true for "Ja".
    virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
    // A message with its own caption and the buttons retry and cancel; true for retry.
    virtual bool askRetry(QWidget* parent, const QString& text, const QString& caption) = 0;
};

// The message box in use; QtMessageBox until another one is installed. Passing nullptr
// restores QtMessageBox. The caller keeps ownership of what it installs.
IMessageBox& messageBox();
void setMessageBox(IMessageBox* box);

} // namespace veltra
