/*
 * A stand-in for FTDI's D2XX library, for the tests: the same entry points and types as the
 * Linux library, but each "FTDI device" is a terminal, normally the reader simulator's
 * pseudo-terminal. So the device link's whole FTDI path (listing, open by serial number,
 * exchanges, close, unplug) runs without an FTDI chip.
 *
 * Environment:
 *   QN_FTD2XX_STANDIN_DEVICES  a file with one device per line: "<serial number> <device path>"
 *                              (an empty serial number is written as "-"); a device whose path
 *                              does not exist is not present (unplugged)
 *   QN_FTD2XX_STANDIN_LOG      optional: a file to which each open and each setting is appended
 *
 * A device is held by a program while that program has an exclusive lock (flock) on its path:
 * this library takes one at open, and so does the device link's serial port. A device that this
 * process holds through this library is listed with its handle; one held elsewhere is listed, as
 * by the real library, with the "opened" flag and without serial number and description.
 *
 * Reads follow the real library's timeout rule: they wait until all requested bytes are there
 * or the total read timeout (constant + multiplier per byte) has passed; with an interval
 * timeout at its maximum and both totals 0 they return at once with what is there.
 *
 * Built once complete and once per variant without one entry point (-DWITHOUT_<entry point>).
 * Like the Linux library it has no FT_W32_GetCommMask.
 */
#define _GNU_SOURCE
#include "devicelink/ftdi/D2xxTypes.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

#define MAX_DEVICES 16
#define MAX_HANDLES 16

typedef struct Device {
    char serial[16];
    char path[256];
} Device;

typedef struct Port {
    int fd;
    char serial[16];
    char path[256];
    QnFtTimeouts timeouts;
    QnFtDcb dcb;
    QnD2xxDword eventMask;
    QnD2xxDword lastError;
} Port;

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static Port* g_ports[MAX_HANDLES];
/* The device list that FT_CreateDeviceInfoList took and FT_GetDeviceInfoList hands out. */
static QnFtDeviceListInfoNode g_list[MAX_DEVICES];
static QnD2xxDword g_listCount;

static void logLine(const char* format, ...) {
    const char* path = getenv("QN_FTD2XX_STANDIN_LOG");
    if (path == NULL || *path == '\0') {
        return;
    }
    FILE* out = fopen(path, "a");
    if (out == NULL) {
        return;
    }
    va_list args;
    va_start(args, format);
    vfprintf(out, format, args);
    va_end(args);
    fputc('\n', out);
    fclose(out);
}

/* Reads the device table; returns the number of devices. */
static int readDevices(Device* devices, int max) {
    const char* table = getenv("QN_FTD2XX_STANDIN_DEVICES");
    if (table == NULL) {
        return 0;
    }
    FILE* in = fopen(table, "r");
    if (in == NULL) {
        return 0;
    }
    int count = 0;
    char line[512];
    while (count < max && fgets(line, sizeof line, in) != NULL) {
        char serial[64];
        char path[256];
        if (sscanf(line, "%63s %255s", serial, path) != 2) {
            continue;
        }
        Device* d = &devices[count++];
        memset(d, 0, sizeof *d);
        /* A serial number of 16 characters fills its field without a terminating NUL, as in
         * the real library. */
        if (strcmp(serial, "-") != 0) {
            const size_t length = strlen(serial);
            memcpy(d->serial, serial, length < sizeof d->serial ? length : sizeof d->serial);
        }
        memcpy(d->path, path, strlen(path) + 1);
    }
    fclose(in);
    return count;
}

/* The open port for a handle, or NULL; g_lock held. */
static Port* findPort(QnD2xxHandle handle) {
    for (int i = 0; i < MAX_HANDLES; ++i) {
        if (g_ports[i] != NULL && (QnD2xxHandle)g_ports[i] == handle) {
            return g_ports[i];
        }
    }
    return NULL;
}

static Port* portOf(QnD2xxHandle handle) {
    pthread_mutex_lock(&g_lock);
    Port* port = findPort(handle);
    pthread_mutex_unlock(&g_lock);
    return port;
}

/* Whether the device is gone: its terminal hung up. */
static int hungUp(Port* port) {
    struct pollfd p = {port->fd, 0, 0};
    return poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

static long long nowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

static speed_t speedOf(QnD2xxDword baud) {
    switch (baud) {
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return 0;
    }
}

/* Applies the control block to the terminal. A pseudo-terminal drops the parity flag and
 * reports that as EINVAL; the rest is applied all the same. */
static int applyDcb(Port* port, const QnFtDcb* dcb) {
    const speed_t speed = speedOf(dcb->BaudRate);
    struct termios tio;
    if (speed == 0 || dcb->ByteSize != 8 || tcgetattr(port->fd, &tio) != 0) {
        return 0;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    if (dcb->Parity == QN_EVENPARITY) {
        tio.c_cflag |= PARENB;
    } else if (dcb->Parity == QN_ODDPARITY) {
        tio.c_cflag |= PARENB | PARODD;
    }
    if (dcb->StopBits == QN_TWOSTOPBITS) {
        tio.c_cflag |= CSTOPB;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetspeed(&tio, speed);
    if (tcsetattr(port->fd, TCSANOW, &tio) != 0 && errno != EINVAL) {
        return 0;
    }
    port->dcb = *dcb;
    logLine("SetCommState %.16s baud=%u parity=%u stop=%u dtr=%u rts=%u", port->serial,
            dcb->BaudRate, dcb->Parity, dcb->StopBits, dcb->fDtrControl, dcb->fRtsControl);
    return 1;
}

static QnD2xxBool fail(Port* port, QnD2xxDword error) {
    if (port != NULL) {
        port->lastError = error;
    }
    return 0;
}

#ifndef WITHOUT_FT_CreateDeviceInfoList
EXPORT QnD2xxStatus FT_CreateDeviceInfoList(QnD2xxDword* count) {
    if (count == NULL) {
        return QN_FT_INVALID_HANDLE;
    }
    Device devices[MAX_DEVICES];
    const int n = readDevices(devices, MAX_DEVICES);
    pthread_mutex_lock(&g_lock);
    g_listCount = 0;
    for (int i = 0; i < n; ++i) {
        if (access(devices[i].path, F_OK) != 0) {
            continue; /* unplugged */
        }
        QnFtDeviceListInfoNode* node = &g_list[g_listCount++];
        memset(node, 0, sizeof *node);
        node->Type = 5; /* FT232R */
        node->ID = 0x0403E130u;
        node->LocId = (QnD2xxDword)(i + 1);
        for (int h = 0; h < MAX_HANDLES; ++h) {
            if (g_ports[h] != NULL && strcmp(g_ports[h]->path, devices[i].path) == 0) {
                node->ftHandle = g_ports[h];
                node->Flags = QN_FT_FLAGS_OPENED;
            }
        }
        if (node->ftHandle == NULL) {
            const int fd = open(devices[i].path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
                node->Flags = QN_FT_FLAGS_OPENED; /* another program holds it */
            }
            if (fd >= 0) {
                close(fd);
            }
        }
        if (node->ftHandle != NULL || node->Flags == 0) {
            memcpy(node->SerialNumber, devices[i].serial, sizeof node->SerialNumber);
            snprintf(node->Description, sizeof node->Description, "Quarnel Reader %.16s",
                     devices[i].serial);
        }
    }
    *count = g_listCount;
    pthread_mutex_unlock(&g_lock);
    return QN_FT_OK;
}
#endif

#ifndef WITHOUT_FT_GetDeviceInfoList
EXPORT QnD2xxStatus FT_GetDeviceInfoList(QnFtDeviceListInfoNode* nodes, QnD2xxDword* count) {
    if (nodes == NULL || count == NULL) {
        return QN_FT_INVALID_HANDLE;
    }
    pthread_mutex_lock(&g_lock);
    memcpy(nodes, g_list, g_listCount * sizeof *nodes);
    *count = g_listCount;
    pthread_mutex_unlock(&g_lock);
    return QN_FT_OK;
}
#endif

#ifndef WITHOUT_FT_GetDeviceInfoDetail
EXPORT QnD2xxStatus FT_GetDeviceInfoDetail(QnD2xxDword index, QnD2xxDword* flags, QnD2xxDword* type,
                                           QnD2xxDword* id, QnD2xxDword* locId, void* serial,
                                           void* description, QnD2xxHandle* handle) {
    pthread_mutex_lock(&g_lock);
    if (index >= g_listCount) {
        pthread_mutex_unlock(&g_lock);
        return QN_FT_DEVICE_NOT_FOUND;
    }
    const QnFtDeviceListInfoNode* node = &g_list[index];
    *flags = node->Flags;
    *type = node->Type;
    *id = node->ID;
    *locId = node->LocId;
    memcpy(serial, node->SerialNumber, sizeof node->SerialNumber);
    memcpy(description, node->Description, sizeof node->Description);
    *handle = node->ftHandle;
    pthread_mutex_unlock(&g_lock);
    return QN_FT_OK;
}
#endif

#ifndef WITHOUT_FT_ListDevices
/* Only the number of devices (FT_LIST_NUMBER_ONLY); other queries are not supported (17). */
EXPORT QnD2xxStatus FT_ListDevices(void* arg1, void* arg2, QnD2xxDword flags) {
    (void)arg2;
    if (flags != 0x80000000u || arg1 == NULL) {
        return 17;
    }
    Device devices[MAX_DEVICES];
    *(QnD2xxDword*)arg1 = (QnD2xxDword)readDevices(devices, MAX_DEVICES);
    return QN_FT_OK;
}
#endif

#ifndef WITHOUT_FT_W32_CreateFile
EXPORT QnD2xxHandle FT_W32_CreateFile(const char* name, QnD2xxDword access, QnD2xxDword share,
                                      void* security, QnD2xxDword create, QnD2xxDword flags,
                                      void* templateFile) {
    (void)security;
    (void)templateFile;
    logLine("CreateFile %s access=%08x share=%u create=%u flags=%08x", name != NULL ? name : "",
            access, share, create, flags);
    /* Opening by serial number, without overlapped I/O. */
    if (name == NULL || *name == '\0' || (flags & QN_FT_OPEN_BY_SERIAL_NUMBER) == 0 ||
        (flags & 0x40000000u) != 0 || create != QN_OPEN_EXISTING) {
        return QN_D2XX_INVALID_HANDLE;
    }
    Device devices[MAX_DEVICES];
    const int n = readDevices(devices, MAX_DEVICES);
    const Device* device = NULL;
    for (int i = 0; i < n && device == NULL; ++i) {
        if (devices[i].serial[0] != '\0' && strlen(name) <= sizeof devices[i].serial &&
            strncmp(devices[i].serial, name, sizeof devices[i].serial) == 0) {
            device = &devices[i];
        }
    }
    if (device == NULL) {
        return QN_D2XX_INVALID_HANDLE;
    }
    const int fd = open(device->path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return QN_D2XX_INVALID_HANDLE;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return QN_D2XX_INVALID_HANDLE;
    }
    /* Raw bytes; reads that find nothing return at once and wait in poll(). */
    struct termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        const speed_t speed = cfgetospeed(&tio);
        cfmakeraw(&tio);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        cfsetspeed(&tio, speed);
        (void)tcsetattr(fd, TCSANOW, &tio);
    }
    Port* port = calloc(1, sizeof *port);
    if (port == NULL) {
        close(fd);
        return QN_D2XX_INVALID_HANDLE;
    }
    port->fd = fd;
    memcpy(port->serial, device->serial, sizeof port->serial);
    memcpy(port->path, device->path, sizeof port->path);
    port->dcb.DCBlength = sizeof port->dcb;
    port->dcb.BaudRate = 9600;
    port->dcb.ByteSize = 8;
    pthread_mutex_lock(&g_lock);
    int slot = -1;
    for (int i = 0; i < MAX_HANDLES && slot < 0; ++i) {
        if (g_ports[i] == NULL) {
            slot = i;
        }
    }
    if (slot >= 0) {
        g_ports[slot] = port;
    }
    pthread_mutex_unlock(&g_lock);
    if (slot < 0) {
        close(fd);
        free(port);
        return QN_D2XX_INVALID_HANDLE;
    }
    return port;
}
#endif

#ifndef WITHOUT_FT_W32_CloseHandle
EXPORT QnD2xxBool FT_W32_CloseHandle(QnD2xxHandle handle) {
    pthread_mutex_lock(&g_lock);
    Port* port = NULL;
    for (int i = 0; i < MAX_HANDLES; ++i) {
        if (g_ports[i] != NULL && (QnD2xxHandle)g_ports[i] == handle) {
            port = g_ports[i];
            g_ports[i] = NULL;
        }
    }
    pthread_mutex_unlock(&g_lock);
    if (port == NULL) {
        return 0;
    }
    logLine("CloseHandle %.16s", port->serial);
    close(port->fd);
    free(port);
    return 1;
}
#endif

#ifndef WITHOUT_FT_W32_ReadFile
EXPORT QnD2xxBool FT_W32_ReadFile(QnD2xxHandle handle, void* buffer, QnD2xxDword size,
                                  QnD2xxDword* got, void* overlapped) {
    Port* port = portOf(handle);
    if (port == NULL || buffer == NULL || got == NULL || overlapped != NULL) {
        return fail(port, 6);
    }
    *got = 0;
    const QnFtTimeouts* t = &port->timeouts;
    const int immediate = t->ReadIntervalTimeout == QN_MAXDWORD &&
                          t->ReadTotalTimeoutMultiplier == 0 && t->ReadTotalTimeoutConstant == 0;
    const long long total = (long long)t->ReadTotalTimeoutConstant +
                            (t->ReadTotalTimeoutMultiplier == QN_MAXDWORD
                                 ? 0
                                 : (long long)t->ReadTotalTimeoutMultiplier * size);
    const long long end = nowMs() + total;
    while (*got < size) {
        const ssize_t n = read(port->fd, (unsigned char*)buffer + *got, size - *got);
        if (n > 0) {
            *got += (QnD2xxDword)n;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return *got > 0 ? 1 : fail(port, 4); /* the device went away */
        }
        const long long left = end - nowMs();
        if (immediate || (total != 0 && left <= 0)) {
            break;
        }
        struct pollfd p = {port->fd, POLLIN, 0};
        if (poll(&p, 1, total == 0 ? -1 : (int)left) < 0 && errno != EINTR) {
            return fail(port, 4);
        }
        if ((p.revents & (POLLHUP | POLLERR)) != 0 && (p.revents & POLLIN) == 0) {
            return *got > 0 ? 1 : fail(port, 4);
        }
    }
    return 1;
}
#endif

#ifndef WITHOUT_FT_W32_WriteFile
EXPORT QnD2xxBool FT_W32_WriteFile(QnD2xxHandle handle, void* buffer, QnD2xxDword size,
                                   QnD2xxDword* written, void* overlapped) {
    Port* port = portOf(handle);
    if (port == NULL || buffer == NULL || written == NULL || overlapped != NULL) {
        return fail(port, 6);
    }
    *written = 0;
    const QnFtTimeouts* t = &port->timeouts;
    const long long total =
        (long long)t->WriteTotalTimeoutConstant + (long long)t->WriteTotalTimeoutMultiplier * size;
    const long long end = nowMs() + total;
    while (*written < size) {
        const ssize_t n = write(port->fd, (unsigned char*)buffer + *written, size - *written);
        if (n > 0) {
            *written += (QnD2xxDword)n;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return fail(port, 4);
        }
        const long long left = end - nowMs();
        if (total != 0 && left <= 0) {
            break;
        }
        struct pollfd p = {port->fd, POLLOUT, 0};
        (void)poll(&p, 1, total == 0 ? -1 : (int)left);
    }
    return 1;
}
#endif

#ifndef WITHOUT_FT_W32_GetLastError
EXPORT QnD2xxDword FT_W32_GetLastError(QnD2xxHandle handle) {
    Port* port = portOf(handle);
    return port != NULL ? port->lastError : 6;
}
#endif

#ifndef WITHOUT_FT_W32_GetOverlappedResult
/* No overlapped I/O is started through this library, so there is never a result. */
EXPORT QnD2xxBool FT_W32_GetOverlappedResult(QnD2xxHandle handle, void* overlapped,
                                             QnD2xxDword* transferred, QnD2xxBool wait) {
    (void)overlapped;
    (void)transferred;
    (void)wait;
    return fail(portOf(handle), 6);
}
#endif

#ifndef WITHOUT_FT_W32_ClearCommError
EXPORT QnD2xxBool FT_W32_ClearCommError(QnD2xxHandle handle, QnD2xxDword* errors,
                                        QnFtComStat* stat) {
    Port* port = portOf(handle);
    if (port == NULL || hungUp(port)) {
        return fail(port, 4);
    }
    int in = 0;
    int out = 0;
    if (ioctl(port->fd, FIONREAD, &in) != 0) {
        return fail(port, 4);
    }
    (void)ioctl(port->fd, TIOCOUTQ, &out);
    if (errors != NULL) {
        *errors = 0;
    }
    if (stat != NULL) {
        memset(stat, 0, sizeof *stat);
        stat->cbInQue = (QnD2xxDword)in;
        stat->cbOutQue = (QnD2xxDword)out;
    }
    return 1;
}
#endif

#ifndef WITHOUT_FT_W32_GetCommModemStatus
/* A pseudo-terminal has no modem lines: all off while the device is there. */
EXPORT QnD2xxBool FT_W32_GetCommModemStatus(QnD2xxHandle handle, QnD2xxDword* status) {
    Port* port = portOf(handle);
    if (port == NULL || status == NULL || hungUp(port)) {
        return fail(port, 4);
    }
    *status = 0;
    return 1;
}
#endif

#ifndef WITHOUT_FT_W32_GetCommState
EXPORT QnD2xxBool FT_W32_GetCommState(QnD2xxHandle handle, QnFtDcb* dcb) {
    Port* port = portOf(handle);
    if (port == NULL || dcb == NULL) {
        return fail(port, 6);
    }
    *dcb = port->dcb;
    return 1;
}
#endif

#ifndef WITHOUT_FT_W32_SetCommState
EXPORT QnD2xxBool FT_W32_SetCommState(QnD2xxHandle handle, QnFtDcb* dcb) {
    Port* port = portOf(handle);
    if (port == NULL || dcb == NULL || !applyDcb(port, dcb)) {
        return fail(port, 87);
    }
    return 1;
}
#endif

#ifndef WITHOUT_FT_SetBaudRate
EXPORT QnD2xxStatus FT_SetBaudRate(QnD2xxHandle handle, QnD2xxDword baud) {
    Port* port = portOf(handle);
    if (port == NULL) {
        return QN_FT_INVALID_HANDLE;
    }
    QnFtDcb dcb = port->dcb;
    dcb.BaudRate = baud;
    return applyDcb(port, &dcb) ? QN_FT_OK : 7; /* FT_INVALID_BAUD_RATE */
}
#endif

#ifndef WITHOUT_FT_SetLatencyTimer
EXPORT QnD2xxStatus FT_SetLatencyTimer(QnD2xxHandle handle, uint8_t milliseconds) {
    Port* port = portOf(handle);
    if (port == NULL) {
        return QN_FT_INVALID_HANDLE;
    }
    logLine("SetLatencyTimer %.16s %u", port->serial, milliseconds);
    return milliseconds >= 2 ? QN_FT_OK : 6; /* FT_INVALID_PARAMETER below 2 ms */
}
#endif

#ifndef WITHOUT_FT_SetUSBParameters
EXPORT QnD2xxStatus FT_SetUSBParameters(QnD2xxHandle handle, QnD2xxDword in, QnD2xxDword out) {
    (void)in;
    (void)out;
    return portOf(handle) != NULL ? QN_FT_OK : QN_FT_INVALID_HANDLE;
}
#endif

#ifndef WITHOUT_FT_ResetDevice
EXPORT QnD2xxStatus FT_ResetDevice(QnD2xxHandle handle) {
    Port* port = portOf(handle);
    if (port == NULL) {
        return QN_FT_INVALID_HANDLE;
    }
    tcflush(port->fd, TCIOFLUSH);
    return QN_FT_OK;
}
#endif

#ifndef WITHOUT_FT_W32_GetCommTimeouts
EXPORT QnD2xxBool FT_W32_GetCommTimeouts(QnD2xxHandle handle, QnFtTimeouts* timeouts) {
    Port* port = portOf(handle);
    if (port == NULL || timeouts == NULL) {
        return fail(port, 6);
    }
    *timeouts = port->timeouts;
    return 1;
}
#endif

#ifndef WITHOUT_FT_W32_SetCommTimeouts
EXPORT QnD2xxBool FT_W32_SetCommTimeouts(QnD2xxHandle handle, QnFtTimeouts* timeouts) {
    Port* port = portOf(handle);
    if (port == NULL || timeouts == NULL) {
        return fail(port, 6);
    }
    port->timeouts = *timeouts;
    logLine("SetCommTimeouts %.16s %u %u %u %u %u", port->serial, timeouts->ReadIntervalTimeout,
            timeouts->ReadTotalTimeoutMultiplier, timeouts->ReadTotalTimeoutConstant,
            timeouts->WriteTotalTimeoutMultiplier, timeouts->WriteTotalTimeoutConstant);
    return 1;
}
#endif

#ifndef WITHOUT_FT_W32_SetCommMask
EXPORT QnD2xxBool FT_W32_SetCommMask(QnD2xxHandle handle, QnD2xxDword mask) {
    Port* port = portOf(handle);
    if (port == NULL) {
        return 0;
    }
    port->eventMask = mask;
    return 1;
}
#endif

#ifndef WITHOUT_FT_W32_PurgeComm
EXPORT QnD2xxBool FT_W32_PurgeComm(QnD2xxHandle handle, QnD2xxDword flags) {
    Port* port = portOf(handle);
    if (port == NULL) {
        return 0;
    }
    const int rx = (flags & QN_PURGE_RXCLEAR) != 0;
    const int tx = (flags & QN_PURGE_TXCLEAR) != 0;
    if (rx || tx) {
        tcflush(port->fd, rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH));
    }
    logLine("PurgeComm %.16s %u", port->serial, flags);
    return 1;
}
#endif

#ifndef WITHOUT_FT_W32_SetCommBreak
EXPORT QnD2xxBool FT_W32_SetCommBreak(QnD2xxHandle handle) {
    return portOf(handle) != NULL;
}
#endif

#ifndef WITHOUT_FT_W32_ClearCommBreak
EXPORT QnD2xxBool FT_W32_ClearCommBreak(QnD2xxHandle handle) {
    return portOf(handle) != NULL;
}
#endif

#ifndef WITHOUT_FT_W32_EscapeCommFunction
EXPORT QnD2xxBool FT_W32_EscapeCommFunction(QnD2xxHandle handle, QnD2xxDword function) {
    (void)function;
    return portOf(handle) != NULL;
}
#endif

#ifndef WITHOUT_FT_W32_SetupComm
EXPORT QnD2xxBool FT_W32_SetupComm(QnD2xxHandle handle, QnD2xxDword in, QnD2xxDword out) {
    (void)in;
    (void)out;
    return portOf(handle) != NULL;
}
#endif

#ifndef WITHOUT_FT_W32_WaitCommEvent
/* Without overlapped I/O: blocks until a byte can be read, then reports a received character. */
EXPORT QnD2xxBool FT_W32_WaitCommEvent(QnD2xxHandle handle, QnD2xxDword* event, void* overlapped) {
    Port* port = portOf(handle);
    if (port == NULL || event == NULL || overlapped != NULL) {
        return fail(port, 6);
    }
    struct pollfd p = {port->fd, POLLIN, 0};
    if (poll(&p, 1, -1) < 0 || (p.revents & POLLIN) == 0) {
        return fail(port, 4);
    }
    *event = QN_EV_RXCHAR & port->eventMask;
    return 1;
}
#endif
