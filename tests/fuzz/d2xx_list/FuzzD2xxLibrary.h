// A D2XX library whose device list is whatever the fuzz target hands it. The device link loads
// it by its file name (QN_FTD2XX_LIBRARY) like the real library; the target links it too, so
// both see the same list.
#pragma once

#include <cstddef>
#include <cstdint>

// The list the next listing returns. Layout: the count FT_CreateDeviceInfoList reports (2 bytes,
// low first), the count FT_GetDeviceInfoList reports back (2 bytes), one byte whose bits make
// the two calls fail, then records of one flags byte (bit 0: opened, bit 1: a handle), the
// 16-byte serial number field as it is (no terminating zero needed) and a description length
// with that many description bytes. FT_GetDeviceInfoList fills as many records as
// FT_CreateDeviceInfoList reported, as the real library does; missing records are all zero.
extern "C" __attribute__((visibility("default"))) void qnFuzzD2xxSetList(const std::uint8_t* data,
                                                                         std::size_t size);
