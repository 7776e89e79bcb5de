#include "devicelink/ftdi/FtdiDevice.h"

#include "devicelink/serial/USBSerialPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qnlink {

namespace {

bool validHandle(QnD2xxHandle handle) {
    return handle != nullptr && handle != QN_D2XX_INVALID_HANDLE;
}

// The event mask set at open: received character and CTS change (the value 9).
constexpr QnD2xxDword kEventMask = QN_EV_RXCHAR | 0x0008u;

} // namespace

std::unique_ptr<FtdiDevice> FtdiDevice::open(const std::string& serialNumber, int baudRate,
                                             int lineFormat) {
    auto library = std::make_unique<CFTD2xxPort>();
    if (!library->load() || library->createFile == nullptr || baudRate <= 0) {
        return nullptr;
    }
    QnD2xxHandle handle =
        library->createFile(serialNumber.c_str(), QN_GENERIC_READ | QN_GENERIC_WRITE, 0, nullptr,
                            QN_OPEN_EXISTING, QN_FT_OPEN_BY_SERIAL_NUMBER, nullptr);
    if (!validHandle(handle)) {
        return nullptr;
    }
    // The chip hands over what it received after 2 ms instead of its default 16 ms.
    if (library->setLatencyTimer != nullptr) {
        (void)library->setLatencyTimer(handle, kLatencyTimerMs);
    }
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    // A read waits at most one slice for the bytes it asks for; the port thread asks for one
    // byte while it waits, and afterwards for exactly what is queued.
    QnFtTimeouts timeouts{0, 0, kReadSliceMs, 0, kWriteTimeoutMs};
    if (wakeFd < 0 || library->setCommTimeouts == nullptr ||
        !library->setCommTimeouts(handle, &timeouts)) {
        if (wakeFd >= 0) {
            ::close(wakeFd);
        }
        if (library->closeHandle != nullptr) {
            library->closeHandle(handle);
        }
        return nullptr;
    }
    std::unique_ptr<FtdiDevice> device(new FtdiDevice(std::move(library), handle, wakeFd));
    CFTD2xxPort& api = *device->library_;
    // A failing configuration step ends the configuration, not the open.
    if (api.setCommMask != nullptr && api.setCommMask(handle, kEventMask) &&
        device->configure(baudRate, lineFormat) && api.purgeComm != nullptr) {
        (void)api.purgeComm(handle, QN_PURGE_TXCLEAR | QN_PURGE_RXCLEAR);
    }
    QnD2xxDword status = 0;
    if (api.getCommModemStatus != nullptr && api.getCommModemStatus(handle, &status)) {
        device->modemLines_ = ((status & QN_MS_CTS_ON) != 0 ? TIOCM_CTS : 0) |
                              ((status & QN_MS_DSR_ON) != 0 ? TIOCM_DSR : 0) |
                              ((status & QN_MS_RING_ON) != 0 ? TIOCM_RI : 0) |
                              ((status & QN_MS_RLSD_ON) != 0 ? TIOCM_CD : 0);
    }
    return device;
}

FtdiDevice::FtdiDevice(std::unique_ptr<CFTD2xxPort> library, QnD2xxHandle handle, int wakeFd)
    : library_(std::move(library)), handle_(handle), wakeFd_(wakeFd) {}

FtdiDevice::~FtdiDevice() {
    close();
}

bool FtdiDevice::configure(int baudRate, int lineFormat) {
    CFTD2xxPort& api = *library_;
    if (baudRate <= 0 || api.getCommState == nullptr || api.setCommState == nullptr) {
        return false;
    }
    QnFtDcb dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!api.getCommState(handle_, &dcb)) {
        return false;
    }
    dcb.BaudRate = static_cast<QnD2xxDword>(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = lineFormat == Line8E1   ? QN_EVENPARITY
                 : lineFormat == Line8O1 ? QN_ODDPARITY
                                         : QN_NOPARITY;
    dcb.fParity = dcb.Parity != QN_NOPARITY ? 1 : 0;
    dcb.StopBits = lineFormat == Line8N2 ? QN_TWOSTOPBITS : QN_ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fDtrControl = QN_DTR_CONTROL_ENABLE;
    dcb.fRtsControl = QN_RTS_CONTROL_ENABLE;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fDsrSensitivity = 0;
    dcb.fAbortOnError = 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.fNull = 0;
    return api.setCommState(handle_, &dcb) != 0;
}

long FtdiDevice::queued() {
    if (library_->clearCommError == nullptr) {
        return -1;
    }
    QnD2xxDword errors = 0;
    QnFtComStat stat{};
    if (!library_->clearCommError(handle_, &errors, &stat)) {
        return -1;
    }
    return static_cast<long>(stat.cbInQue);
}

long FtdiDevice::read(std::uint8_t* data, std::size_t size) {
    std::size_t given = std::min(size, held_.size());
    std::copy_n(held_.begin(), given, data);
    held_.erase(held_.begin(), held_.begin() + static_cast<long>(given));
    if (given == size) {
        return static_cast<long>(given);
    }
    const long waiting = queued();
    if (waiting <= 0 || library_->readFile == nullptr) {
        return given > 0 ? static_cast<long>(given) : (waiting < 0 ? -1 : 0);
    }
    // Exactly what is queued, so the read returns at once.
    const auto want =
        static_cast<QnD2xxDword>(std::min(static_cast<std::size_t>(waiting), size - given));
    QnD2xxDword got = 0;
    if (!library_->readFile(handle_, data + given, want, &got, nullptr)) {
        return given > 0 ? static_cast<long>(given) : -1;
    }
    return static_cast<long>(given + std::min(got, want));
}

long FtdiDevice::write(const std::uint8_t* data, std::size_t size) {
    if (library_->writeFile == nullptr) {
        return -1;
    }
    QnD2xxDword written = 0;
    const auto count = static_cast<QnD2xxDword>(std::min<std::size_t>(size, 0x7FFFFFFF));
    // The call takes a non-const buffer but only reads it.
    if (!library_->writeFile(handle_, const_cast<std::uint8_t*>(data), count, &written, nullptr)) {
        return -1;
    }
    return static_cast<long>(std::min(written, count));
}

void FtdiDevice::setInterest(bool input, bool room) {
    wantInput_ = input;
    wantRoom_ = room;
    wake();
}

bool FtdiDevice::takeWake() {
    std::uint64_t count = 0;
    return ::read(wakeFd_, &count, sizeof count) == static_cast<ssize_t>(sizeof count);
}

PortDevice::Events FtdiDevice::wait() {
    Events seen;
    for (;;) {
        if (takeWake()) {
            seen.woken = true;
            return seen;
        }
        if (wantRoom_) {
            // A write blocks until the device took the bytes or its timeout passed, so the
            // device has room as soon as it is asked again.
            seen.room = true;
            return seen;
        }
        if (!wantInput_) {
            pollfd wake{wakeFd_, POLLIN, 0};
            if (::poll(&wake, 1, -1) < 0 && errno != EINTR) {
                seen.ended = true;
                return seen;
            }
            continue;
        }
        if (!held_.empty()) {
            seen.input = true;
            return seen;
        }
        const long waiting = queued();
        if (waiting != 0 || library_->readFile == nullptr) {
            seen.input = waiting > 0;
            seen.ended = waiting < 0 || library_->readFile == nullptr;
            return seen;
        }
        // The bounded wait: one byte, or nothing after one slice.
        const auto began = std::chrono::steady_clock::now();
        std::uint8_t byte = 0;
        QnD2xxDword got = 0;
        if (!library_->readFile(handle_, &byte, 1, &got, nullptr)) {
            seen.ended = true;
            return seen;
        }
        if (got == 1) {
            held_.push_back(byte);
            seen.input = true;
            return seen;
        }
        // A library that came back early without a byte must not make this loop spin: sleep
        // out the rest of the slice, unless woken.
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - began);
        if (spent.count() < static_cast<long>(kReadSliceMs)) {
            pollfd wake{wakeFd_, POLLIN, 0};
            (void)::poll(&wake, 1, static_cast<int>(kReadSliceMs - spent.count()));
        }
    }
}

void FtdiDevice::wake() {
    const std::uint64_t one = 1;
    (void)::write(wakeFd_, &one, sizeof one);
}

void FtdiDevice::close() {
    if (validHandle(handle_) && library_->closeHandle != nullptr) {
        library_->closeHandle(handle_);
    }
    handle_ = nullptr;
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
        wakeFd_ = -1;
    }
}

} // namespace qnlink
