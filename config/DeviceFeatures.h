// Reader capabilities: the DeviceFeatures word computed from a reader's type code, its firmware
// version and the interface it is attached to. The main window and the configuration pages
// enable, hide or choose functions by its bits.
#pragma once

#include <cstdint>

namespace veltra {

// Bit masks of the DeviceFeatures word. Bit n is the mask 1 << n.
namespace feature {
inline constexpr std::uint32_t SerialInterface = 1u << 0;   // baud/parity/stop-bit group shown
inline constexpr std::uint32_t AsciiDisplay = 1u << 1;      // display mode "ASCII"
inline constexpr std::uint32_t DecimalByteRange = 1u << 2;  // byte range also for decimal modes
inline constexpr std::uint32_t AsciiNoNulDisplay = 1u << 3; // "ASCII (ohne Nullbytes)"
inline constexpr std::uint32_t OperatingMode5 = 1u << 4;
inline constexpr std::uint32_t Zem16Bit = 1u << 5;          // format "Zem 16 Bit"
inline constexpr std::uint32_t Em4569AndReversal = 1u << 6; // chip EM4569, byte/bit reversal
inline constexpr std::uint32_t Bit7 = 1u << 7;              // set by the table, read by nobody
inline constexpr std::uint32_t OperatingMode6 = 1u << 8;
inline constexpr std::uint32_t HidReader = 1u << 9;       // USB HID keyboard reader
inline constexpr std::uint32_t LanConnection = 1u << 10;  // Ethernet: baud rate is fixed
inline constexpr std::uint32_t FdxFormats = 1u << 11;     // FDX formats, extra modulations
inline constexpr std::uint32_t HdxFormats = 1u << 12;     // HDX formats, chip "Tiris (HDX)"
inline constexpr std::uint32_t SecondDataPage = 1u << 13; // also: "Filter" unavailable
inline constexpr std::uint32_t NibbleSwap = 1u << 14;     // "Halbbytes tauschen"
inline constexpr std::uint32_t Sic7888 = 1u << 15;
inline constexpr std::uint32_t Ata5551 = 1u << 16;
inline constexpr std::uint32_t Ata5577Password = 1u << 17;   // chip "ATA5577 + PW"
inline constexpr std::uint32_t ByteMask = 1u << 18;          // "Byte aktiv" masks
inline constexpr std::uint32_t Zem12Bit = 1u << 19;          // format "Zem 12 Bit"
inline constexpr std::uint32_t BlockSequence = 1u << 20;     // "Blockfolge"
inline constexpr std::uint32_t SensorInput = 1u << 21;       // operating mode 2
inline constexpr std::uint32_t SensorData = 1u << 22;        // "Sensordaten ausgeben"
inline constexpr std::uint32_t ReaderModeSilent = 1u << 23;  // "Lesermodus ohne Ausgabe"
inline constexpr std::uint32_t NoCurrentBaudRate = 1u << 30; // current baud rate shown as 0
inline constexpr std::uint32_t PowerOnMode = 1u << 31;       // "Einschaltkonfiguration"

// Alias under the name the main window uses: readers with this bit have no filter values.
inline constexpr std::uint32_t NoFilter = SecondDataPage;
// The TCP client group needs both bits.
inline constexpr std::uint32_t TcpClient = LanConnection | SensorInput;
} // namespace feature

// The value of a firmware version character: '0'-'9' 0-9, 'A'-'Z' 10-35, 'a'-'z' 36-61,
// anything else 255 (which passes every version threshold).
unsigned versionNumber(char c);

// The family of a type code: the code with its lowest hex digit cleared.
inline constexpr unsigned typeFamily(unsigned typeCode) {
    return typeCode & 0xFF0u;
}

// The feature bits that follow from the type code and firmware version number alone.
// Version comparisons are unsigned, so version 255 sets every version-dependent bit.
std::uint32_t deviceTypeFeatures(unsigned typeCode, unsigned version);

// Whether the program configures readers of this type code's family.
bool isSupportedFamily(unsigned typeCode);

} // namespace veltra
