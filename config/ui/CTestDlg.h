// "Inhalt eines programmierten Gerätes lesen": reads the configuration stored in a reader and
// shows it as text (sequences as hexadecimal bytes, data formats and parameters in words). It
// only reads; nothing is written to the reader.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace veltra {

class ReaderLink;

class CTestDlg : public QDialog {
    Q_OBJECT
public:
    // `handle` is an open connection the dialog takes over (it closes it after the first
    // reading), or 0 to open one with the stored interface when reading. The baud-rate code and
    // the features word are those of the opener's connection.
    CTestDlg(QWidget* parent, int handle, int baudCode, std::uint32_t features);
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

    // The device link the dialog reads through; the real one unless a test sets another.
    void setLink(ReaderLink& link) { link_ = &link; }

private:
    void showText(const QString& text);

    ReaderLink* link_;
    int handle_;
    int baudCode_;
    std::uint32_t features_;
    QPlainTextEdit* text_ = nullptr;
    QLabel* notice_ = nullptr;
    QPushButton* read_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace veltra
