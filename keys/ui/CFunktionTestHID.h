// The function test of a keyboard (USB HID) reader. The reader types what it reads, so the test
// needs no connection: a text box with the keyboard focus receives the typed output (data,
// prefix, suffix, separators, Enter and Tab) as the computer's keyboard layout turns it into
// characters. The window can grow, never shrink below the size it opened with.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace veltra {

class CFunktionTestHID : public QDialog {
    Q_OBJECT

public:
    explicit CFunktionTestHID(QWidget* parent = nullptr);

    QPlainTextEdit* textBox() const { return text_; }
    QPushButton* clearButton() const { return clear_; }
    QPushButton* closeButton() const { return close_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPlainTextEdit* text_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* close_ = nullptr;
    bool sized_ = false;
};

} // namespace veltra
