// The reader configuration record, its byte images and the code tables that give the bytes
// their meaning. Everything here is a pure function of the record: the configuration sheet
// moves the images to and from the reader through the device link.
//
// Block 1 holds the data-format records, block 6 the reader parameters; blocks 2 to 5 hold the
// key sequences (keys/KeySequence.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltra {

using Bytes = std::vector<std::uint8_t>;

// Register and byte-mask value meaning "no entry" / "all four bytes active".
inline constexpr std::uint8_t kNoEntry = 255;
// First register value that selects the chip's UID instead of data blocks.
inline constexpr std::uint8_t kUidRegister = 254;
// Bit 7 of "TransponderTyp": the registers hold a block sequence (start block, length).
inline constexpr std::uint8_t kBlockSequenceFlag = 0x80;
// Bit 4 of a fixed format code: the Manchester RF/32 variant of the format.
inline constexpr std::uint8_t kRf32FormatFlag = 0x10;

// "Ausrichtung" flags.
inline constexpr std::uint8_t kReverseByteOrder = 0x01;  // "Byteweise drehen"
inline constexpr std::uint8_t kReverseNibbleBits = 0x02; // "Bits im Halbbyte drehen"
inline constexpr std::uint8_t kSwapNibbles = 0x04;       // "Halbbytes tauschen"

// Feature bit that gives a reader its second data output.
inline constexpr std::uint32_t kSecondDataOutputFeature = 1u << 13;

// Sizes of the byte images.
inline constexpr std::size_t kDataFormatSize = 18;
inline constexpr std::size_t kSecondRecordOffset = 20;
inline constexpr std::size_t kTwoRecordBlockSize = 40;
inline constexpr std::size_t kParameterBlockSize = 4;

// Byte offsets in the parameter block (block 6).
namespace parameterByte {
inline constexpr std::size_t Mode = 0;      // operating mode; bit 4 switches the sensor input on
inline constexpr std::size_t CycleTime = 1; // cycle time in units of 100 ms
inline constexpr std::size_t Prompt = 2;    // prompt character
inline constexpr std::size_t Timeout = 3;   // timeout in units of 100 ms
} // namespace parameterByte

// One data output of the reader. The comments give the key under which the configuration file
// stores each field.
struct DataFormatRecord {
    std::uint8_t active = 0;          // 1 when a format or block mode is selected
    std::uint8_t transponderType = 0; // "TransponderTyp": 0 fixed format, else chip | block seq.
    std::array<std::uint8_t, 4> registers{kNoEntry, kNoEntry, kNoEntry, kNoEntry}; // "Register1-4"
    std::array<std::uint8_t, 4> byteMasks{kNoEntry, kNoEntry, kNoEntry,
                                          kNoEntry}; // "BytesMaske1-4"
    std::uint8_t alignment = 0;                      // "Ausrichtung"
    std::uint8_t display = 0;                        // "Darstellung"
    std::uint8_t length = 10;                        // "Laenge": characters output, 1..32
    std::uint8_t validBytes = 5;                     // "GueltigeBytes": last used byte, 1..16
    std::uint8_t validBytesFrom = 1;                 // "GueltigeBytesAb": first used byte, 1..16
    std::uint8_t typeIdLeft = 0;  // "KennungLinks": sent before the data, 0 = none
    std::uint8_t typeIdRight = 0; // "KennungRechts": sent after the data, 0 = none
    std::uint8_t modSpeed = 0;    // "ModSpeed": modulation code
    std::string hitag2Password;   // "Hitag2PW": chip code 2, 8 hex digits
    std::string ata5577Password;  // "ATA5577PW": chip code 48, 8 hex digits

    bool operator==(const DataFormatRecord&) const = default;

    // Chip code (bits 0-6 of "TransponderTyp"); only meaningful when transponderType != 0.
    std::uint8_t chipCode() const { return transponderType & 0x7F; }
    bool isFixedFormat() const { return transponderType == 0; }
    bool isBlockSequence() const { return (transponderType & kBlockSequenceFlag) != 0; }
};

// The reader's operating parameters.
struct ReaderParameters {
    std::uint8_t operatingMode = 0; // "Betriebsart": mode in bits 0-3, sensor data in bit 4
    int cycleTimeMs = 10;           // "Zykluszeit": 100..12700 once checked
    int baudRate = 19200;           // "Baudrate": rate plus serial format code
    int timeoutMs = 500;            // "Timeout": 100..12700 once checked
    char prompt = '?';              // "Aufforderung"
    std::int8_t powerOnMode = -1;   // "ReaderModus": page index 0..2, -1 = not read
    std::uint8_t dtrMode = 0;       // "DTRModus"
    std::string remoteIp;           // "RemoteIP": empty = TCP client off
    int remotePort = 0;             // "RemotePort"

    bool operator==(const ReaderParameters&) const = default;

    unsigned mode() const { return operatingMode & 0x0F; }
    bool sensorDataOutput() const { return (operatingMode & 0x10) != 0; }
};

// The parameter set that replaces a parameter block the page cannot accept (the initial cycle
// time 10 does not pass the range check).
ReaderParameters defaultReaderParameters();

struct ReaderConfiguration {
    std::array<DataFormatRecord, 2> data{};
    ReaderParameters parameters{};

    bool operator==(const ReaderConfiguration&) const = default;
};

// --- Byte images --------------------------------------------------------------------------

// The 18-byte image of one record.
Bytes encodeDataFormat(const DataFormatRecord& record);

// Fills the type, registers, byte masks and the single-byte fields from the 18 bytes at
// `offset`; bytes beyond the end of `bytes` read as 0. Clears both passwords (the reader does
// not keep them) and leaves `active` alone.
void decodeDataFormat(std::span<const std::uint8_t> bytes, std::size_t offset,
                      DataFormatRecord& record);

// Block 1 as it is written: data[0] alone (18 bytes), or, for a reader with a second data
// output whose data[1] is active, data[0], two zero bytes, data[1], two zero bytes (40 bytes).
Bytes encodeDataBlock(const ReaderConfiguration& config, std::uint32_t features);

// Decodes block 1 as read from the reader. More than 12 bytes: data[0] (a 13-byte block from an
// older reader gets "ModSpeed" 0); 40 bytes or more: data[1] as well. 12 bytes or fewer leave
// both records unchanged. Returns how many records were decoded.
int decodeDataBlock(std::span<const std::uint8_t> bytes, ReaderConfiguration& config);

// Block 6: mode, cycle time / 100, prompt, timeout / 100. Times are clamped to what one byte
// can carry (0..25500 ms) so an unchecked value never wraps around on the reader.
Bytes encodeParameterBlock(const ReaderParameters& parameters);

// Fills mode, cycle time, prompt and timeout from block 6. Fewer than 4 bytes leave the
// parameters unchanged and return false.
bool decodeParameterBlock(std::span<const std::uint8_t> bytes, ReaderParameters& parameters);

// --- Byte arrangement ("Ausrichtung") -----------------------------------------------------

// The data bytes as the reader arranges them: byte order reversed (bit 0), the bits inside each
// nibble reversed (bit 1), the two nibbles of each byte swapped (bit 2).
Bytes applyAlignment(std::span<const std::uint8_t> bytes, std::uint8_t alignment);

// The example the data page shows: 0x12 0x37 after the arrangement, as "0001 0010  0011 0111".
std::string alignmentIllustration(std::uint8_t alignment);

// --- Passwords ----------------------------------------------------------------------------

enum class PasswordResult { Valid = 0, Invalid = 1, None = 2 };

struct EncodedPassword {
    PasswordResult result = PasswordResult::None;
    std::array<std::uint8_t, 4> bytes{}; // least significant byte first
};

// An 8-digit hex text as the reader takes it: the last digit pair becomes byte 0. A text whose
// length is not 8 gives None, one with a non-hex character Invalid.
EncodedPassword encodePassword(std::string_view text);

// Whether a password text stops programming: invalid, or non-empty but not usable.
bool passwordBlocksProgramming(std::string_view text);

// --- Filter byte --------------------------------------------------------------------------

struct FilterKey {
    const char* key;          // key in the "Filter" section of the application settings
    const char* defaultValue; // two hex digits
};

// The filter setting that applies to a record with this "TransponderTyp" (the "Hitag2" key for
// a fixed format and for every chip without a key of its own).
FilterKey filterKeyFor(std::uint8_t transponderType);

// The filter byte from a setting text: its first two characters as a hex byte; 0x4A when the
// text is shorter or those two characters are not hex digits.
std::uint8_t filterByteFromText(std::string_view text);

// The filter byte for a record with this "TransponderTyp"; `valueOf` returns the stored text of
// a filter key (or its default).
std::uint8_t filterByteFor(std::uint8_t transponderType,
                           const std::function<std::string(const FilterKey&)>& valueOf);

// --- Code tables --------------------------------------------------------------------------

namespace chip {
inline constexpr std::uint8_t Hitag2 = 2;
inline constexpr std::uint8_t Q5 = 3;
inline constexpr std::uint8_t HitagS = 4;
inline constexpr std::uint8_t Hitag1 = 5;
inline constexpr std::uint8_t Titan = 6;
inline constexpr std::uint8_t EM4569 = 7;
inline constexpr std::uint8_t EM4305 = 8;
inline constexpr std::uint8_t ATA5577 = 9;
inline constexpr std::uint8_t HitagMicro = 10;
inline constexpr std::uint8_t ATA5575 = 11;
inline constexpr std::uint8_t SIC7888 = 12;
inline constexpr std::uint8_t ATA5551 = 13;
inline constexpr std::uint8_t Tiris = 33;
inline constexpr std::uint8_t ATA5577Pw = 48;
} // namespace chip

namespace format {
inline constexpr std::uint8_t Unique = 1;
inline constexpr std::uint8_t Zem16Bit = 2;
inline constexpr std::uint8_t UniqueXL = 3;
inline constexpr std::uint8_t FdxBIso = 4;
inline constexpr std::uint8_t FdxA = 5;
inline constexpr std::uint8_t HdxIso = 6;
inline constexpr std::uint8_t FdxBEn = 7;
inline constexpr std::uint8_t HdxEn = 8;
inline constexpr std::uint8_t Zem12Bit = 9;
} // namespace format

struct ChipEntry {
    const char* name; // radio button caption
    std::uint8_t code;
};
// The chips in the page's cycling order.
std::span<const ChipEntry> chipTable();
// Caption of a chip code, nullptr for an unknown code.
const char* chipName(std::uint8_t code);
// Index in chipTable() or -1.
int chipIndex(std::uint8_t code);

struct FormatEntry {
    const char* name;
    std::uint8_t code;
    std::uint8_t rf32Code; // 0 when the format has no RF/32 variant
};
std::span<const FormatEntry> formatTable();

// The fixed format a first register selects on a data page (0 = nothing). Codes 17, 18, 19
// decode like 1, 2, 3; "Zem 12 Bit" is 9 or 25; 4..8 only unmasked. On the first page "Unique"
// also stands for every code whose value without the RF/32 bit is below 2 or above 9; on the
// second page only 1 and 17 select it.
std::uint8_t formatForRegister(std::uint8_t registerValue, bool firstPage);

// The code written as first register for a fixed format with this modulation.
std::uint8_t formatRegisterFor(std::uint8_t format, std::uint8_t modSpeed);

struct DisplayModeEntry {
    std::uint8_t value;
    const char* name;
};
std::span<const DisplayModeEntry> displayModeTable();

struct ModulationEntry {
    std::uint8_t code;
    const char* name;
    int listPosition;
};
std::span<const ModulationEntry> modulationTable();
// List position of a modulation code, -1 when the code selects no entry.
int modulationListPosition(std::uint8_t code);
// Code stored for a list position; positions other than 1..4 store 0.
std::uint8_t modulationCodeForPosition(int position);
// Caption of a modulation code, nullptr when unknown.
const char* modulationName(std::uint8_t code);

// "Baudrate" value: rate rounded down to a multiple of 100 plus the serial format code.
enum class Parity { None, Even, Odd };
struct SerialFormat {
    Parity parity;
    int stopBits;
};
// The rate without the format digits (19203 -> 19200).
int baudRateOf(int baudValue);
// The serial format code 0..3 of a value; a remainder of 4 or more counts as 0.
int serialFormatCode(int baudValue);
SerialFormat serialFormatFor(int code);
// Code for a parity and stop-bit choice; even or odd parity with 2 stop bits is not
// representable and gives the parity's code.
int serialFormatCodeFor(Parity parity, int stopBits);

// Power-on mode: page index (0 "Programmiermodus", 1 "Lesermodus", 2 "Lesermodus ohne
// Ausgabe") to the stored value and back.
int powerOnIndexFromStored(int storedValue);
int powerOnStoredValueFor(int index);

} // namespace veltra
