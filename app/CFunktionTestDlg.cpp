#include "app/CFunktionTestDlg.h"

#include "config/DeviceFeatures.h"
#include "config/ReaderConfiguration.h"
#include "config/ui/SheetServices.h"
#include "config/workflow/ReaderReads.h"
#include "keys/ui/CFunktionTestHID.h"
#include "resources/strings/StringTable.h"
#include "widgets/WaitCursor.h"
#include "widgets/WaitIndicator.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <optional>

namespace veltra {
namespace {

// Raw bytes a reader in reader mode takes besides its prompt character.
constexpr std::uint8_t kRelayOn = 0x11;
constexpr std::uint8_t kRelayOff = 0x13;
constexpr std::uint8_t kBuzzer = 0x07;

// Room for any block the reader may send; blocks never exceed 100 bytes.
constexpr int kBlockBufferSize = 100;
// What one poll takes from the receive queue at most.
constexpr int kPollBytes = 255;
// Buffers taken per poll at most: enough for the fastest line the readers have.
constexpr int kPollRounds = 32;

QString hexByte(std::uint8_t byte) {
    return QStringLiteral("%1 ").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

std::uint8_t promptForTest(std::uint8_t blockByte) {
    return blockByte < 0x20 ? std::uint8_t{'?'} : blockByte;
}

int testModeFor(int storedMode) {
    if (storedMode <= 0) {
        return 1;
    }
    const int mode = storedMode & 0x03;
    // A stored mode whose low bits name the programming mode would leave the reader silent.
    return mode == 0 ? 1 : mode;
}

CFunktionTestDlg::CFunktionTestDlg(ConnectionContext context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setWindowTitle(str(75800));
    buildControls();
    pollTimer_.setInterval(kPollMs);
    connect(&pollTimer_, &QTimer::timeout, this, &CFunktionTestDlg::poll);
}

CFunktionTestDlg::~CFunktionTestDlg() {
    pollTimer_.stop();
    CloseReader(reader_.handle, context_.link);
}

void CFunktionTestDlg::buildControls() {
    auto* grid = new QGridLayout;
    mode_ = new QLineEdit(this);
    mode_->setReadOnly(true);
    mode_->setAlignment(Qt::AlignCenter);
    counter_ = new QLineEdit(QStringLiteral("0"), this);
    counter_->setReadOnly(true);
    counter_->setAlignment(Qt::AlignRight);
    ascii_ = new QLineEdit(this);
    ascii_->setReadOnly(true);
    hex_ = new QLineEdit(this);
    hex_->setReadOnly(true);

    // The data fields in a fixed-pitch font at the dialog's size, so that the bytes of a
    // telegram stand in even columns.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setFamilies({QStringLiteral("Courier New"), fixed.family()});
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    if (font().pointSizeF() > 0) {
        fixed.setPointSizeF(font().pointSizeF());
    } else if (font().pixelSize() > 0) {
        fixed.setPixelSize(font().pixelSize());
    }
    ascii_->setFont(fixed);
    hex_->setFont(fixed);

    const QFontMetrics metrics(fixed);
    mode_->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("00")) + 16);
    counter_->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("0000000")) + 16);
    ascii_->setMinimumWidth(metrics.horizontalAdvance(QLatin1Char('0')) * 64);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(str(75801), this));
    top->addWidget(mode_);
    top->addStretch(1);
    top->addWidget(new QLabel(str(75802), this));
    top->addWidget(counter_);

    grid->addWidget(new QLabel(str(75803), this), 0, 0);
    grid->addWidget(ascii_, 0, 1);
    grid->addWidget(new QLabel(str(75804), this), 1, 0);
    grid->addWidget(hex_, 1, 1);

    send_ = new QPushButton(str(75805), this);
    promptEdit_ = new QLineEdit(this);
    // Two hexadecimal digits: the character the reader waits for before it sends a telegram.
    promptEdit_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,2} ?")), promptEdit_));
    promptEdit_->setFont(fixed);
    promptEdit_->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("000")) + 16);
    relay_ = new QPushButton(str(75808), this);
    relay_->setCheckable(true);
    buzzer_ = new QPushButton(str(75809), this);
    close_ = new QPushButton(str(75810), this);
    // Return sends the prompt again, the quickest way to ask for telegram after telegram.
    for (QPushButton* button : {relay_, buzzer_, close_}) {
        button->setAutoDefault(false);
    }
    send_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(send_);
    buttons->addWidget(new QLabel(str(75806), this));
    buttons->addWidget(promptEdit_);
    buttons->addWidget(new QLabel(str(75807), this));
    buttons->addSpacing(16);
    buttons->addWidget(relay_);
    buttons->addWidget(buzzer_);
    buttons->addStretch(1);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(send_, &QPushButton::clicked, this, &CFunktionTestDlg::onSend);
    connect(relay_, &QPushButton::toggled, this, &CFunktionTestDlg::onRelay);
    connect(buzzer_, &QPushButton::clicked, this, &CFunktionTestDlg::onBuzzer);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(promptEdit_, &QLineEdit::textChanged, this,
            [this] { send_->setEnabled(!promptEdit_->text().trimmed().isEmpty()); });
    send_->setEnabled(false);
    relay_->setVisible(false);
}

bool CFunktionTestDlg::initDialog() {
    {
        WaitCursor wait;
        reader_ = ConnectReader(context_, true);
    }
    if (reader_.handle <= 0) {
        return false;
    }
    ReaderLink& link = context_.link;
    const int handle = reader_.handle;
    const std::optional<Bytes> block = readBlock(link, handle, 6, kBlockBufferSize);
    // A reply too short to hold the prompt character is as good as none.
    if (!block || block->size() <= parameterByte::Prompt) {
        CloseReader(reader_.handle, link);
        return false;
    }
    if (link.setMode(handle, testModeFor(link.readMode(handle))) != 0) {
        CloseReader(reader_.handle, link);
        return false;
    }
    // The operating mode is the low four bits of the mode byte.
    mode_->setText(QString::number((*block)[parameterByte::Mode] & 0x0F));
    prompt_ = (*block)[parameterByte::Prompt];
    promptEdit_->setText(hexByte(promptForTest(prompt_)));

    clock_.start();
    telegram_ = TelegramLine(clock_.elapsed());
    showTelegram();
    pollTimer_.start();

    relay_->setVisible((reader_.features & feature::SensorData) != 0);
    return true;
}

int CFunktionTestDlg::exec() {
    if (!initDialog()) {
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void CFunktionTestDlg::done(int result) {
    pollTimer_.stop();
    if (relay_->isChecked()) {
        // The relay does not stay switched on behind the technician's back.
        writeByte(kRelayOff);
        const QSignalBlocker block(relay_);
        relay_->setChecked(false);
    }
    CloseReader(reader_.handle, context_.link);
    QDialog::done(result);
}

void CFunktionTestDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!minimumTaken_) {
        // The dialog never gets smaller than it first appears.
        minimumTaken_ = true;
        setMinimumSize(size().expandedTo(minimumSizeHint()));
    }
}

void CFunktionTestDlg::poll() {
    if (reader_.handle <= 0 || readerWaitActive()) {
        return;
    }
    // A fast line brings more than one buffer per poll; everything waiting is taken, so the
    // screen never falls behind the reader.
    const std::int64_t now = clock_.elapsed();
    bool any = false;
    std::array<unsigned char, kPollBytes> buffer{};
    for (int round = 0; round < kPollRounds; ++round) {
        const int count = context_.link.readReceived(reader_.handle, buffer.data(),
                                                     static_cast<int>(buffer.size()));
        if (count <= 0) {
            break;
        }
        const std::size_t taken = std::min(static_cast<std::size_t>(count), buffer.size());
        telegram_.receive(std::span<const std::uint8_t>(buffer.data(), taken), now);
        any = true;
        if (taken < buffer.size()) {
            break;
        }
    }
    if (any) {
        showTelegram();
    }
}

void CFunktionTestDlg::showTelegram() {
    counter_->setText(QString::number(telegram_.count()));
    ascii_->setText(telegram_.asciiText());
    hex_->setText(telegram_.hexText());
}

bool CFunktionTestDlg::writeByte(std::uint8_t byte) {
    if (reader_.handle <= 0) {
        return false;
    }
    return context_.link.writeRaw(reader_.handle, &byte, 1) == 0;
}

void CFunktionTestDlg::onSend() {
    bool ok = false;
    const unsigned value = promptEdit_->text().trimmed().toUInt(&ok, 16);
    if (!ok || value > 0xFF) {
        return;
    }
    writeByte(static_cast<std::uint8_t>(value));
    telegram_.clear();
    showTelegram();
}

void CFunktionTestDlg::onRelay(bool on) {
    if (!writeByte(on ? kRelayOn : kRelayOff)) {
        // The button shows the relay as the reader has it: a byte that did not go out
        // changed nothing.
        const QSignalBlocker block(relay_);
        relay_->setChecked(!on);
    }
}

void CFunktionTestDlg::onBuzzer() {
    writeByte(kBuzzer);
}

void installFunctionTest(AppSettings& settings, PortEnumerator& ports, QWidget* window) {
    QPointer<QWidget> mainWindow(window);
    sheetServices().openFunctionTest = [&settings, &ports, mainWindow](QWidget* parent) {
        CFunktionTestDlg dialog(ConnectionContext{settings, ports, mainWindow.data()}, parent);
        dialog.exec();
    };
    // A keyboard reader types its telegrams: its test needs no connection.
    sheetServices().openHidFunctionTest = [](QWidget* parent) {
        CFunktionTestHID dialog(parent);
        dialog.exec();
    };
}

} // namespace veltra
