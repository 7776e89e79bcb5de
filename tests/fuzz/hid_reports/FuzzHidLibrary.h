// A hidapi whose one reader says whatever the fuzz target hands it. The device link loads it by
// its file name (QN_HIDAPI_LIBRARY) like the real hidapi; the target links it too, so both see
// the same reader.
#pragma once

#include <cstddef>
#include <cstdint>

// What the reader says from now on. Layout: one byte of options (bit 0: the report descriptor
// cannot be read; bit 1: the keyboard collection is listed before the report channel), the
// report descriptor (a length byte and that many bytes), the serial number (a length byte and
// that many 16-bit characters, low byte first; length 255: none), then the input reports, each
// a length byte and that many bytes (length 0: no report within the wait). Once the reports
// are used up, reading fails as for an unplugged reader.
extern "C" __attribute__((visibility("default"))) void qnFuzzHidSetReader(const std::uint8_t* data,
                                                                          std::size_t size);
// The reader's name as the device link lists it is built from this serial number; nullptr
// when the reader has none.
extern "C" __attribute__((visibility("default"))) const wchar_t* qnFuzzHidSerial();
