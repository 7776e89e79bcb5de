// The function test of a serial reader: the reader runs in reader mode while the dialog is open,
// and every telegram it sends is shown as characters and as hexadecimal bytes with a running
// count. Buttons send the prompt character, switch the relay and sound the buzzer. The dialog
// opens its own connection and ends it when it closes.
#pragma once

#include "app/TelegramLine.h"

#include "app/ReaderConnection.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <span>

class QLineEdit;
class QPushButton;

namespace veltra {

// The prompt character as the test sends it: control characters give way to '?'.
std::uint8_t promptForTest(std::uint8_t blockByte);

// The operating mode the test switches to from the reader's stored power-on mode: reader mode
// (1) when the reader keeps the programming mode or cannot say, else the stored reader mode.
int testModeFor(int storedMode);

class CFunktionTestDlg : public QDialog {
    Q_OBJECT
public:
    // Poll period for received bytes.
    static constexpr int kPollMs = 50;

    // The dialog connects with `context` and speaks to the reader through its link.
    explicit CFunktionTestDlg(ConnectionContext context, QWidget* parent = nullptr);
    ~CFunktionTestDlg() override;

    // Connects with the connection procedure (its messages included), reads the parameter
    // block and switches the reader into reader mode. False when any of it fails; the
    // connection is closed again then.
    bool initDialog();
    // initDialog(), then the dialog; Rejected at once when initDialog() fails.
    int exec() override;
    // Stops polling and ends the connection (mode 2, then close).
    void done(int result) override;

    int handle() const { return reader_.handle; }
    std::uint32_t features() const { return reader_.features; }
    int baudCode() const { return reader_.baudCode; }
    const TelegramLine& telegram() const { return telegram_; }
    // The reader's prompt character as read from the parameter block.
    std::uint8_t promptCharacter() const { return prompt_; }

    // The controls, for the tests.
    QLineEdit* modeEdit() const { return mode_; }
    QLineEdit* counterEdit() const { return counter_; }
    QLineEdit* asciiEdit() const { return ascii_; }
    QLineEdit* hexEdit() const { return hex_; }
    QLineEdit* promptEdit() const { return promptEdit_; }
    QPushButton* sendButton() const { return send_; }
    QPushButton* relayButton() const { return relay_; }
    QPushButton* buzzerButton() const { return buzzer_; }
    QPushButton* closeButton() const { return close_; }

    // One poll: takes what the reader sent since the last one.
    void poll();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void showTelegram();
    bool writeByte(std::uint8_t byte);
    void onSend();
    void onRelay(bool on);
    void onBuzzer();

    ConnectionContext context_;
    OpenResult reader_; // handle 0 while no reader is open
    std::uint8_t prompt_ = '?';
    TelegramLine telegram_;
    QElapsedTimer clock_;
    QTimer pollTimer_;
    bool minimumTaken_ = false;

    QLineEdit* mode_ = nullptr;
    QLineEdit* counter_ = nullptr;
    QLineEdit* ascii_ = nullptr;
    QLineEdit* hex_ = nullptr;
    QLineEdit* promptEdit_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* relay_ = nullptr; // pressed in: relay on
    QPushButton* buzzer_ = nullptr;
    QPushButton* close_ = nullptr;
};

// Makes the configuration pages' "Funktionstest" buttons open this dialog with the program's
// settings and interfaces; `window` is the main window whose title shows the reader.
void installFunctionTest(AppSettings& settings, PortEnumerator& ports, QWidget* window);

} // namespace veltra
