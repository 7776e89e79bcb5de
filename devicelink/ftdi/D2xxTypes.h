/*
 * The types and constants of FTDI's D2XX library as its Linux build lays them out, written down
 * once for the device link and for the stand-in library of the tests. The Linux library differs
 * from the Windows one: DWORD and ULONG are 32 bits, handles are pointers, and the invalid handle
 * that FT_W32_CreateFile returns is the pointer value 0xFFFFFFFF. The sizes are checked below so
 * that a changed field cannot go unnoticed.
 *
 * Plain C, so that the stand-in library (C) includes the very same definitions.
 */
#ifndef QNLINK_D2XXTYPES_H
#define QNLINK_D2XXTYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#define QN_D2XX_STATIC_ASSERT(cond, text) static_assert(cond, text)
#else
#define QN_D2XX_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif

typedef uint32_t QnD2xxDword; /* DWORD and ULONG of the Linux library */
typedef int32_t QnD2xxBool;   /* BOOL: 0 is failure */
typedef void* QnD2xxHandle;   /* FT_HANDLE */
typedef QnD2xxDword QnD2xxStatus;

#define QN_FT_OK 0u
#define QN_FT_INVALID_HANDLE 1u
#define QN_FT_DEVICE_NOT_FOUND 2u
#define QN_FT_DEVICE_NOT_OPENED 3u
#define QN_FT_IO_ERROR 4u

/* FT_W32_CreateFile: the flags argument, opening by serial number, no overlapped I/O. */
#define QN_FT_OPEN_BY_SERIAL_NUMBER 1u
#define QN_GENERIC_READ 0x80000000u
#define QN_GENERIC_WRITE 0x40000000u
#define QN_OPEN_EXISTING 3u
/* The value FT_W32_CreateFile returns when it fails. */
#define QN_D2XX_INVALID_HANDLE ((QnD2xxHandle)(uintptr_t)0xFFFFFFFFu)

/* Device list record flags. */
#define QN_FT_FLAGS_OPENED 1u

/* FT_W32_PurgeComm flags. */
#define QN_PURGE_TXABORT 0x01u
#define QN_PURGE_RXABORT 0x02u
#define QN_PURGE_TXCLEAR 0x04u
#define QN_PURGE_RXCLEAR 0x08u

/* FT_W32_SetCommMask: received character, received event character. */
#define QN_EV_RXCHAR 0x0001u
#define QN_EV_RXFLAG 0x0002u

/* FT_W32_GetCommModemStatus bits. */
#define QN_MS_CTS_ON 0x0010u
#define QN_MS_DSR_ON 0x0020u
#define QN_MS_RING_ON 0x0040u
#define QN_MS_RLSD_ON 0x0080u

/* Device control block values. */
#define QN_NOPARITY 0u
#define QN_ODDPARITY 1u
#define QN_EVENPARITY 2u
#define QN_ONESTOPBIT 0u
#define QN_TWOSTOPBITS 2u
#define QN_DTR_CONTROL_ENABLE 1u
#define QN_RTS_CONTROL_ENABLE 1u

/* A read timeout value that means "the maximum". */
#define QN_MAXDWORD 0xFFFFFFFFu

/* One record of FT_GetDeviceInfoList. */
typedef struct QnFtDeviceListInfoNode {
    QnD2xxDword Flags;
    QnD2xxDword Type;
    QnD2xxDword ID;
    QnD2xxDword LocId;
    char SerialNumber[16];
    char Description[64];
    QnD2xxHandle ftHandle; /* empty while no program has the device open */
} QnFtDeviceListInfoNode;

/* FTDCB, the device control block in the Win32 layout. */
typedef struct QnFtDcb {
    QnD2xxDword DCBlength;
    QnD2xxDword BaudRate;
    unsigned int fBinary : 1;
    unsigned int fParity : 1;
    unsigned int fOutxCtsFlow : 1;
    unsigned int fOutxDsrFlow : 1;
    unsigned int fDtrControl : 2;
    unsigned int fDsrSensitivity : 1;
    unsigned int fTXContinueOnXoff : 1;
    unsigned int fOutX : 1;
    unsigned int fInX : 1;
    unsigned int fErrorChar : 1;
    unsigned int fNull : 1;
    unsigned int fRtsControl : 2;
    unsigned int fAbortOnError : 1;
    unsigned int fDummy2 : 17;
    uint16_t wReserved;
    uint16_t XonLim;
    uint16_t XoffLim;
    uint8_t ByteSize;
    uint8_t Parity;
    uint8_t StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    uint16_t wReserved1;
} QnFtDcb;

/* FTCOMSTAT: status bits, then the bytes waiting in the receive and the transmit queue. */
typedef struct QnFtComStat {
    QnD2xxDword flags;
    QnD2xxDword cbInQue;
    QnD2xxDword cbOutQue;
} QnFtComStat;

/* FTTIMEOUTS, in milliseconds. */
typedef struct QnFtTimeouts {
    QnD2xxDword ReadIntervalTimeout;
    QnD2xxDword ReadTotalTimeoutMultiplier;
    QnD2xxDword ReadTotalTimeoutConstant;
    QnD2xxDword WriteTotalTimeoutMultiplier;
    QnD2xxDword WriteTotalTimeoutConstant;
} QnFtTimeouts;

QN_D2XX_STATIC_ASSERT(sizeof(QnD2xxDword) == 4, "DWORD is 32 bits in the Linux library");
QN_D2XX_STATIC_ASSERT(sizeof(void*) != 8 || sizeof(QnFtDeviceListInfoNode) == 104,
                      "device list record: four 32-bit values, 16 + 64 characters, a handle");
QN_D2XX_STATIC_ASSERT(sizeof(QnFtDcb) == 28, "FTDCB is 28 bytes");
QN_D2XX_STATIC_ASSERT(sizeof(QnFtComStat) == 12, "FTCOMSTAT is 12 bytes");
QN_D2XX_STATIC_ASSERT(sizeof(QnFtTimeouts) == 20, "FTTIMEOUTS is 20 bytes");

/* The entry points, by the names the library exports. Pointers that are not used may be passed
 * as null (security attributes, overlapped structures, template handle). */
typedef QnD2xxStatus (*QnFtSetBaudRate)(QnD2xxHandle, QnD2xxDword);
typedef QnD2xxStatus (*QnFtSetLatencyTimer)(QnD2xxHandle, uint8_t);
typedef QnD2xxStatus (*QnFtSetUsbParameters)(QnD2xxHandle, QnD2xxDword, QnD2xxDword);
typedef QnD2xxStatus (*QnFtListDevices)(void*, void*, QnD2xxDword);
typedef QnD2xxStatus (*QnFtCreateDeviceInfoList)(QnD2xxDword*);
typedef QnD2xxStatus (*QnFtGetDeviceInfoList)(QnFtDeviceListInfoNode*, QnD2xxDword*);
typedef QnD2xxStatus (*QnFtGetDeviceInfoDetail)(QnD2xxDword, QnD2xxDword*, QnD2xxDword*,
                                                QnD2xxDword*, QnD2xxDword*, void*, void*,
                                                QnD2xxHandle*);
typedef QnD2xxStatus (*QnFtResetDevice)(QnD2xxHandle);
typedef QnD2xxHandle (*QnFtW32CreateFile)(const char*, QnD2xxDword, QnD2xxDword, void*, QnD2xxDword,
                                          QnD2xxDword, void*);
typedef QnD2xxBool (*QnFtW32CloseHandle)(QnD2xxHandle);
typedef QnD2xxBool (*QnFtW32ReadFile)(QnD2xxHandle, void*, QnD2xxDword, QnD2xxDword*, void*);
typedef QnD2xxBool (*QnFtW32WriteFile)(QnD2xxHandle, void*, QnD2xxDword, QnD2xxDword*, void*);
typedef QnD2xxDword (*QnFtW32GetLastError)(QnD2xxHandle);
typedef QnD2xxBool (*QnFtW32GetOverlappedResult)(QnD2xxHandle, void*, QnD2xxDword*, QnD2xxBool);
typedef QnD2xxBool (*QnFtW32ClearCommBreak)(QnD2xxHandle);
typedef QnD2xxBool (*QnFtW32ClearCommError)(QnD2xxHandle, QnD2xxDword*, QnFtComStat*);
typedef QnD2xxBool (*QnFtW32EscapeCommFunction)(QnD2xxHandle, QnD2xxDword);
typedef QnD2xxBool (*QnFtW32GetCommModemStatus)(QnD2xxHandle, QnD2xxDword*);
typedef QnD2xxBool (*QnFtW32GetCommState)(QnD2xxHandle, QnFtDcb*);
typedef QnD2xxBool (*QnFtW32GetCommTimeouts)(QnD2xxHandle, QnFtTimeouts*);
typedef QnD2xxBool (*QnFtW32PurgeComm)(QnD2xxHandle, QnD2xxDword);
typedef QnD2xxBool (*QnFtW32SetCommBreak)(QnD2xxHandle);
typedef QnD2xxBool (*QnFtW32SetCommMask)(QnD2xxHandle, QnD2xxDword);
typedef QnD2xxBool (*QnFtW32SetCommState)(QnD2xxHandle, QnFtDcb*);
typedef QnD2xxBool (*QnFtW32SetCommTimeouts)(QnD2xxHandle, QnFtTimeouts*);
typedef QnD2xxBool (*QnFtW32SetupComm)(QnD2xxHandle, QnD2xxDword, QnD2xxDword);
typedef QnD2xxBool (*QnFtW32WaitCommEvent)(QnD2xxHandle, QnD2xxDword*, void*);

#ifdef __cplusplus
}
#endif

#endif
