// "Inhalt eines programmierten Gerätes lesen": reads the configuration stored in a reader and
// shows it as text (sequences as hexadecimal bytes, data formats and parameters in words). It
// only reads; nothing is written to the reader.
#pragma once

#include "config/workflow/ReaderConnector.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace veltra {

class CTestDlg : public QDialog {
    Q_OBJECT
public:
    // `reader` is the opener's connection, whose handle the dialog takes over (it closes it after
    // the first reading); with handle 0 the dialog opens one with the stored interface when
    // reading. It reads through `link`.
    CTestDlg(QWidget* parent, const OpenResult& reader, ReaderLink& link = qnLink());
    ~CTestDlg() override;

    // Reads and, when the reader could be reached, shows the dialog. Without a connection the
    // connection message is shown and the dialog does not open.
    int exec() override;

    // One reading as "Inhalt lesen" runs it. False when no connection could be made.
    bool readContent();

    QString reportText() const;
    QString noticeText() const;
    QPushButton* readButton() const { return read_; }
    QPushButton* clearButton() const { return clear_; }
    QPushButton* closeButton() const { return close_; }

private:
    void showText(const QString& text);

    ReaderLink& link_;
    OpenResult reader_; // the handle is 0 once the reading has taken it
    QPlainTextEdit* text_ = nullptr;
    QLabel* notice_ = nullptr;
    QPushButton* read_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace veltra
