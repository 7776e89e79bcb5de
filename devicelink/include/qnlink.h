/*
 * qnlink.h - the device link: a flat C interface to the Quarnel Veltra readers.
 *
 * A reader is opened by port name and addressed afterwards by an integer handle. Every operation
 * that talks to a reader is one request/reply exchange of the reader command protocol.
 *
 * Links
 *   Built in: serial ports (RS-232 and USB virtual COM ports, including the stable names under
 *   /dev/serial/), FTDI readers (USB 0403:E130) by serial number through FTDI's D2XX
 *   library, USB HID keyboard readers (through hidapi, see below) and Ethernet readers (TCP
 *   link, module configuration over UDP, ping). Without D2XX an FTDI
 *   reader works as a serial port once the kernel's ftdi_sio driver is bound to it (the udev
 *   rule 71-quarnel-veltra-ftdi.rules does that); it then appears as /dev/ttyUSBn.
 *
 * FTDI's D2XX library
 *   Loaded at run time from the file named by the environment variable QN_FTD2XX_LIBRARY, or
 *   else libftd2xx.so, each time a list or an FTDI connection needs it. Without it FTDI names
 *   fail to open (QN_OPEN_FAILED) and no FTDI reader is listed; everything else works. An entry
 *   point the library lacks makes only the calls that need it fail; a library without
 *   FT_W32_CreateFile or FT_W32_SetCommTimeouts opens no FTDI reader.
 *
 * USB HID readers
 *   hidapi is loaded at run time: the file named by the environment variable
 *   QN_HIDAPI_LIBRARY, else libhidapi-hidraw.so.0 from the library search path. Without it no
 *   HID reader is listed and HID names fail to open (QN_OPEN_FAILED); everything else works.
 *   Readers: vendor 0x16C0 product 0x2913, vendor 0x1C40 product 0x05AB, 0x05AD, 0x05AE or
 *   0x05AF; listed as "<serial number> HID", or "1319-???? HID" without a serial number; a name
 *   present twice is listed once and opens the first. Opening sends the mode message 0
 *   (QN_OPEN_HID_MODE when the reader refuses it), closing the mode message 1. The reader
 *   command protocol travels in data reports whose sizes come from the reader's report
 *   descriptor (9 bytes each when it cannot be read). A reader unplugged while open ends its
 *   connection: the exchange fails with QN_ERR_TIMEOUT and the handle is unknown from then on.
 *   Linux gives access to the reader through its hidraw node; without read and write permission
 *   on it the open gives QN_OPEN_NO_PERMISSION and QnHidDevicePath names the node.
 *
 * Debug messages
 *   With the environment variable QN_DEBUG set to "1" the library writes its debug messages
 *   (the D2XX library or one of its entry points cannot be loaded, listing is not possible) to
 *   standard error, one per line. Otherwise it writes nothing.
 *
 * Results
 *   - status operations:   0 on success, -1 on failure
 *   - reading operations:  number of bytes delivered, or -1
 *   - predicates:          1 or 0, and -1 for an unknown handle
 *   After a -1, QnGetLastError(handle) tells the reason (QN_ERR_* below; any other non-zero
 *   value is a status byte that the reader itself returned). A success never resets it.
 *   An unknown handle makes every connection operation fail without side effects; its last
 *   error reads as QN_ERR_UNKNOWN_HANDLE.
 *
 * Reply timeout
 *   An exchange waits for its reply in up to three phases: the first four bytes, the STX (STX
 *   framing only; bytes before it are dropped) and the rest of the frame. Each phase ends at
 *   its own deadline, one reply timeout after it began, whatever the line sends meanwhile; so
 *   an exchange takes at most three reply timeouts (two in CRC framing), also on a line that
 *   streams text or noise.
 *
 * Buffers
 *   Every output buffer comes with its size, except where stated. A reply that does not fit is
 *   not copied at all: the operation fails with QN_ERR_BUFFER.
 *   List operations fill a multi-string: entries one after another, each ended by a NUL, the
 *   whole ended by one more NUL. An entry is taken only while it fits with its NUL and the final
 *   NUL; the list stops at the first entry that does not fit. The result is the number of bytes
 *   used including the final NUL (1 for an empty list, which is a single NUL).
 *
 * Port names (the first form that matches)
 *   a device path beginning with "/dev/" (also /dev/serial/by-id/..., by-path)  serial port
 *   dotted IPv4 address or "[module name]", optionally "-<tcp port>"             Ethernet reader
 *   "<serial> HID" (any other name containing "HID")                             USB HID reader
 *   "COMn" (mapped to /dev/ttyS{n-1})                                            serial port
 *   anything else                                                                FTDI serial no.
 *   Any form may end in ":<decimal>", the reader's bus address (default 1). A ":" as the very
 *   last character stays part of the name.
 *
 * Threads
 *   Different handles may be used from different threads at the same time. One handle must be
 *   used from one thread at a time. Opening is serialised inside the library.
 *
 * The library depends on nothing beyond the C++ standard library and the POSIX/Linux system
 * interfaces. hidapi and FTDI's D2XX are loaded at run time when an operation needs them.
 */
#ifndef QNLINK_H
#define QNLINK_H

#if defined(QNLINK_BUILDING)
#define QN_API __attribute__((visibility("default")))
#else
#define QN_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Last-error codes (QnGetLastError) ------------------------------------------------------ */
#define QN_ERR_NONE 0
#define QN_ERR_UNKNOWN_HANDLE 6 /* the handle is not open (only QnGetLastError returns it) */
#define QN_ERR_TIMEOUT 7        /* no complete reply within the reply timeout */
#define QN_ERR_BUFFER 8         /* reply or name does not fit the caller's buffer */
#define QN_ERR_LENGTH 9         /* data length refused (block > 100 bytes, password != 4, ...) */
#define QN_ERR_EMPTY_REQUEST 11 /* request without a command */
#define QN_ERR_CHECKSUM 14      /* reply BCC or CRC wrong */
#define QN_ERR_NO_REPLY 16      /* no reply bytes at all */
#define QN_ERR_MODE 18          /* operating mode value not allowed */
#define QN_ERR_NOT_SERIAL 19    /* baud-rate change on a link that is not a serial port */
#define QN_ERR_BLOCK1_SHORT 21  /* block 1 reply of an older reader too short to convert */

/* ---- QnOpenPort results other than a handle ------------------------------------------------- */
#define QN_OPEN_FAILED (-1)      /* the link cannot be opened */
#define QN_OPEN_BAD_TIMEOUT (-5) /* negative reply timeout */
#define QN_OPEN_NO_ANSWER (-15)  /* the reader did not answer the identification */
#define QN_OPEN_NO_PERMISSION                                                                      \
    (-13) /* the HID reader or serial port is present, but this user may not read and write its    \
             device node (QnHidDevicePath names a HID reader's node); a udev rule giving the       \
             logged-in user access, or the dialout group for a serial port, fixes it */
#define QN_OPEN_HID_MODE (-18) /* the HID reader did not take the mode message */

/* ---- QnOpenPort flags ----------------------------------------------------------------------- */
#define QN_FLAG_LINE_MASK 0x0F    /* 0 = 8N1, 1 = 8E1, 2 = 8O1, 3 = 8N2, other = 8N1 */
#define QN_FLAG_STX_ONLY 0x40     /* do not fall back to CRC framing during identification */
#define QN_FLAG_KEEP_ENABLED 0x80 /* do not report waits to the wait callback */

/* ---- Handle ranges -------------------------------------------------------------------------- */
#define QN_HANDLE_SERIAL_BASE 0  /* serial and FTDI handles count from 1 */
#define QN_HANDLE_HID_BASE 10000 /* HID handles count from 10001 */
#define QN_HANDLE_TCP_BASE 20000 /* TCP handles count from 20001 */

/* Minimum size of each output buffer of QnLanReadSettings; the operation never writes more. */
#define QN_LAN_TEXT_SIZE 32
/* Minimum size of the address buffer of QnLanReadRemoteHost. */
#define QN_LAN_ADDRESS_SIZE 16

/* ---- Library and enumeration ---------------------------------------------------------------- */

/* 441: version 4.41 of the interface. */
QN_API int QnGetLibraryVersion(void);
/* Multi-string of serial ports: device path ("/dev/ttyS0", "/dev/ttyACM0", ...), sorted by
 * name and number, with " [description]" for the maker's USB virtual COM ports. Legacy ttyS
 * ports without a UART are left out. Read from sysfs: /sys, or the folder named by the
 * environment variable QN_SYSFS_ROOT. A buffer of size < 1 gets nothing and the result is 0. */
QN_API int QnListComPorts(char* buffer, int size);
/* Multi-string of USB readers: the serial numbers of the FTDI readers that no program holds open
 * (through D2XX; a device without serial number is left out), then the HID readers
 * ("<serial> HID"). Each name once, and only names whose first four characters are one of the
 * maker's product numbers (1100, 1124, 1136, 1140, 1310-1319, 1620-1639, 1650-1659, 1680,
 * 2000-2099). */
QN_API int QnListUsbDevices(char* buffer, int size);
/* Device node (on Linux the hidraw node, e.g. "/dev/hidraw3") of the first present HID reader
 * with this name; a ":<address>" suffix is ignored. Meant for the message after an open ended
 * with QN_OPEN_NO_PERMISSION. Returns the length of the path, or -1 when there is no such
 * reader, hidapi cannot be loaded or the path does not fit the buffer with its NUL. */
QN_API int QnHidDevicePath(const char* name, char* buffer, int size);
/* Bit set: 1 = an FTDI reader (0403:E130) is present while neither the D2XX library can be
 * loaded nor a kernel driver (ftdi_sio) is bound to one of its interfaces, 2 = a virtual-COM
 * reader (1C40:05AC) is present and none of its interfaces has a driver. */
QN_API int QnFindUsbDevicesWithoutDriver(void);
/* 1 when the kernel's CDC ACM driver is loaded, built in or installed as a module, else 0. */
QN_API int QnIsCdcDriverInstalled(void);

/* ---- Connections ---------------------------------------------------------------------------- */

/* Opens and identifies a reader. Returns a handle (> 0) or QN_OPEN_*. Names that are not serial
 * port names are opened at 19200 whatever baudRate says. The low flag bits give the line
 * format. The identification (0xF0) runs with a reply timeout of at most 300 ms per attempt:
 * STX framing, again with a fresh connection, then CRC framing unless QN_FLAG_STX_ONLY; the
 * framing found is kept.
 * Afterwards timeoutMs applies to every exchange.
 * QN_OPEN_FAILED: no such port, held by someone else (serial ports are opened exclusively),
 * not a terminal, a rate the port does not take, no such HID reader or no hidapi, or a link
 * kind not built in. HID readers also give QN_OPEN_NO_PERMISSION and QN_OPEN_HID_MODE. */
QN_API int QnOpenPort(const char* portName, int baudRate, int flags, int timeoutMs);
/* 0, or -1 for an unknown handle. */
QN_API int QnClosePort(int handle);
/* Last error of the connection; QN_ERR_UNKNOWN_HANDLE for an unknown handle. */
QN_API int QnGetLastError(int handle);
/* Length of the name (serial: as opened, without bus address; TCP: the resolved host address
 * without the port; HID: the listed name), -1 with QN_ERR_BUFFER if it does not fit with its
 * NUL; -1 without touching the buffer for an unknown handle. */
QN_API int QnGetPortName(int handle, char* buffer, int size);
/* 1 for a TCP or a HID connection, else 0; -1 for an unknown handle. HID handles count from
 * 10001, TCP handles from 20001. */
QN_API int QnIsLanConnection(int handle);
QN_API int QnIsHidConnection(int handle);
/* 1 when the reader's type supports reader mode, 0 when not, -1 for an unknown handle. */
QN_API int QnSupportsReaderMode(int handle);

/* ---- Reader operations ---------------------------------------------------------------------- */

/* Identification 0xF0: copies the reply (normally 4 bytes) and returns its length; the model
 * name is copied only if it fits with its NUL. Errors: reply errors, QN_ERR_BUFFER.
 * Reply errors of every exchange: QN_ERR_TIMEOUT, QN_ERR_NO_REPLY, QN_ERR_CHECKSUM or the
 * reader's status byte. A serial port whose device went away answers QN_ERR_TIMEOUT. */
QN_API int QnReadDeviceType(int handle, unsigned char* reply, int replySize, char* modelName,
                            int modelNameSize);
/* Stored power-on mode (0..127) or -1: reply errors, or QN_ERR_NO_REPLY when the reader
 * answered something other than one byte with bit 7 set. */
QN_API int QnReadMode(int handle);
/* mode in {0,1,2,3,128,129,131}, else QN_ERR_MODE and nothing is sent. */
QN_API int QnSetMode(int handle, int mode);
/* mode in {0,1,3}, stored as the power-on mode; else QN_ERR_MODE and nothing is sent. */
QN_API int QnSetModeStored(int handle, int mode);
/* Serial ports only (else QN_ERR_NOT_SERIAL). parity: 0 none, 1 even, 2 odd, 3 none + 2 stop
 * bits. Sends 0xF2 with the baud code (2400 0, 4800 1, 9600 2, 38400 4, 57600 5, 115200 6,
 * 230400 7, 460800 8, 921600 9, 1382400 10, any other rate 3) and the parity in the high
 * nibble; after the reader's reply the PC port follows, then 200 ms for the reader to settle.
 * A rate <= 0 or a parity outside 0..3 gives QN_ERR_LENGTH and nothing is sent; a PC port
 * that does not take the rate gives QN_ERR_NOT_SERIAL. */
QN_API int QnSetBaudRate(int handle, int baudRate, int parity);
/* mode 1 = keyboard HID, 2 = virtual COM. */
QN_API int QnSetUsbInterface(int handle, int mode);
QN_API int QnResetReader(int handle, int byte1, int byte2);
/* Transponder configuration 0xF1; length >= 1 (else QN_ERR_LENGTH). Readers with the
 * extended parameter protocol get index and data; older ones (data[0] AND 0x0F) OR 0x40. */
QN_API int QnWriteTransponderConfig(int handle, int index, const unsigned char* data, int length);
/* length must be 4 (else QN_ERR_LENGTH). */
QN_API int QnWriteTransponderPassword(int handle, const unsigned char* password, int length);
QN_API int QnWriteTransponderPasswordEx(int handle, int transponderType,
                                        const unsigned char* password, int length);

/* Parameter blocks: reads return the block length, writes 0; -1 on failure. Block 1 of readers
 * without the extended parameter protocol is converted to and from the current 13-byte layout:
 * a reply of fewer than 11 bytes gives QN_ERR_BLOCK1_SHORT, a write of fewer than 12 bytes
 * QN_ERR_LENGTH (nothing sent). Blocks 2..6 longer than 100 bytes are refused with
 * QN_ERR_LENGTH. A read into a buffer that is too small gives QN_ERR_BUFFER. */
QN_API int QnReadParameterBlock1(int handle, unsigned char* buffer, int size);
QN_API int QnReadParameterBlock2(int handle, unsigned char* buffer, int size);
QN_API int QnReadParameterBlock3(int handle, unsigned char* buffer, int size);
QN_API int QnReadParameterBlock4(int handle, unsigned char* buffer, int size);
QN_API int QnReadParameterBlock5(int handle, unsigned char* buffer, int size);
QN_API int QnReadParameterBlock6(int handle, unsigned char* buffer, int size);
QN_API int QnWriteParameterBlock1(int handle, const unsigned char* data, int length);
QN_API int QnWriteParameterBlock2(int handle, const unsigned char* data, int length);
QN_API int QnWriteParameterBlock3(int handle, const unsigned char* data, int length);
QN_API int QnWriteParameterBlock4(int handle, const unsigned char* data, int length);
QN_API int QnWriteParameterBlock5(int handle, const unsigned char* data, int length);
QN_API int QnWriteParameterBlock6(int handle, const unsigned char* data, int length);

/* Any command: returns the reply length; the reply is copied when reply is not NULL and
 * replySize is not 0 (QN_ERR_BUFFER when it does not fit). data may be NULL when length is 0.
 * A command outside 0..255 gives QN_ERR_EMPTY_REQUEST; a negative length or more than 255
 * data bytes (one LEN byte cannot count them) QN_ERR_LENGTH, and nothing is sent. */
QN_API int QnTransact(int handle, int command, const unsigned char* data, int length,
                      unsigned char* reply, int replySize);
/* Sends bytes unframed on the link. 0 / -1: QN_ERR_BUFFER when the link's write buffer
 * (512 bytes on serial ports) cannot take them beside what is still pending, or a HID reader
 * does not take its data reports. */
QN_API int QnWriteRaw(int handle, const unsigned char* data, int length);
/* Moves up to size received bytes out of the connection's queue; returns the count (0 when
 * there are none or size < 1). */
QN_API int QnReadReceived(int handle, unsigned char* buffer, int size);

/* ---- HID control channel --------------------------------------------------------------------
 * Short messages to a HID reader beside the command protocol, at most report length - 2 bytes.
 * -1 on connections without one (every connection but a HID one; last error unchanged), for a
 * message too long for one report and when the reader is gone; QN_ERR_LENGTH for a negative
 * length.
 * QnHidCommand: sends the message and waits up to 100 ms for the answer; an answer of more than
 * two bytes that starts with the first byte sent is copied (at most replySize bytes) and the
 * count returned; any other answer, or none, gives -1.
 * QnHidControlWrite: sends the message, waits 15 ms for the reader to act on it and gives 0;
 * -1 when the reader does not take the report. */
QN_API int QnHidCommand(int handle, const unsigned char* data, int length, unsigned char* reply,
                        int replySize);
QN_API int QnHidControlWrite(int handle, const unsigned char* data, int length);

/* ---- Ethernet readers -----------------------------------------------------------------------
 * Names: "a.b.c.d-port" (port 10001 without "-") or "[module name]-port", optionally with
 * ":address". A bracketed name is found by a broadcast on every adapter (200 ms) for a module
 * of that name whose configured address differs from the one it answers from (DHCP); without
 * one, the operation fails (the ping gives 0 without sending an echo request).
 * Adapters: every IPv4 address other than 0.0.0.0 of the Ethernet and Wi-Fi interfaces that are
 * up. The module configuration runs on UDP port 30718; each answer is waited for 500 ms (a
 * datagram that does not match starts the 500 ms again, up to 5 s in all). While the library
 * waits it reports to the wait callback as for exchanges.
 * TCP connections get handles from QN_HANDLE_TCP_BASE + 1; each LAN operation holds one of those
 * numbers for its configuration access.
 *
 * Searches: a broadcast on every adapter at once, collecting answers until 500 ms pass without
 * one on that adapter; entries "a.b.c.d-port", or "[name]a.b.c.d-port" for a module whose
 * configured address is not the one it answered from; sorted, without duplicates.
 * QnSearchLanReaders keeps the maker's readers (block 2 type text "QN-..."), a bracketed entry
 * shortened to "[name]". */
QN_API int QnSearchLanReaders(char* buffer, int size);
QN_API int QnSearchLanDevices(char* buffer, int size);
/* 1 if the device answers an ICMP echo (16 bytes 0x45, 200 ms; an answer with other data does
 * not count), else 0. Uses an unprivileged ICMP datagram socket; where net.ipv4.ping_group_range
 * forbids it a raw socket; where that is not permitted either, a TCP connection attempt to the
 * reader's port (accepted or refused both count as an answer). */
QN_API int QnPingLanDevice(const char* portName);
/* Each output buffer that is given (any may be NULL) must hold at least QN_LAN_TEXT_SIZE bytes:
 * name "[name]-port", address "a.b.c.d-port" (empty for DHCP; the name when no name buffer is
 * given), subnet mask and gateway dotted. 0, or -1 when the module cannot be reached. */
QN_API int QnLanReadSettings(const char* portName, char* name, char* address, char* subnetMask,
                             char* gateway);
/* newAddress: "a.b.c.d[-port]" or "[name][-port]" (DHCP with that name, at most 16 characters);
 * subnetMask and gateway dotted or NULL/empty (no gateway = 0.0.0.0). A new IP address is sent
 * with the set-IP-address message, then the library waits up to 5 s for a ping at the new
 * address and reaches the module there again; then block 0 (and for a new name block 3) is
 * written when anything differs. 0, -1 on failure (also for a malformed address, mask or
 * gateway, before anything is sent), or the code of a configuration access that failed. */
QN_API int QnLanSetAddress(const char* portName, const char* newAddress, const char* subnetMask,
                           const char* gateway);
/* address must hold at least QN_LAN_ADDRESS_SIZE bytes; both outputs are needed (else -17).
 * Empty address and port 0 when the TCP client is off. */
QN_API int QnLanReadRemoteHost(const char* portName, char* address, int* port);
/* Writes block 0 (and sends the closing message) only when the values differ from the stored
 * ones; an empty address switches the TCP client off. -1 for an address that is not dotted. */
QN_API int QnLanWriteRemoteHost(const char* portName, const char* address, int port);

/* ---- Extension: waiting ----------------------------------------------------------------------
 * While an exchange waits for a reader's reply, the library calls the registered callback on
 * the waiting thread: once with QN_WAIT_BEGIN, every few milliseconds with QN_WAIT_PROGRESS and
 * once with QN_WAIT_END (also after a timeout). A desktop program uses it to disable its
 * window, keep painting and restore both. Connections opened with QN_FLAG_KEEP_ENABLED do not
 * call it. The waiting itself blocks; the callback must not call into the library. Passing
 * NULL removes the callback. The callback is process-wide. */
#define QN_WAIT_BEGIN 0
#define QN_WAIT_PROGRESS 1
#define QN_WAIT_END 2
typedef void (*QnWaitCallback)(int phase, void* context);
QN_API void QnSetWaitCallback(QnWaitCallback callback, void* context);

#ifdef __cplusplus
}
#endif

#endif /* QNLINK_H */
