// Checks of the values a technician enters on the data and parameter pages, before they are
// stored, saved or programmed. Each check names the message (string number) and the field that
// failed, so the page can show the message and put the focus there.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace veltra {

enum class CheckField {
    None,
    Block1,
    Block2,
    Block3,
    Block4,
    Password,
    TypeIdBefore,
    TypeIdAfter,
    CharacterCount,
    UsedBytesFrom,
    UsedBytesTo,
    StartBlock,
    LengthInBytes,
    Prompt,
    CycleTime,
    Timeout,
    ServerAddress,
    ServerPort,
};

struct CheckFailure {
    int stringId = 0;
    CheckField field = CheckField::None;
    int low = 0; // bounds of a range message, or the limit of a length message
    int high = 0;

    // The message in the current language, with the bounds filled in.
    QString message() const;
    bool operator==(const CheckFailure&) const = default;
};

using CheckResult = std::optional<CheckFailure>;

// Message string numbers.
inline constexpr int kStrPasswordLength = 73000;
inline constexpr int kStrPasswordHex = 73001;
inline constexpr int kStrNoBlockEntered = 73002;
inline constexpr int kStrBlockOutOfRange = 73003;
inline constexpr int kStrStartBlockOutOfRange = 73004;
inline constexpr int kStrLengthOutOfRange = 73005;
inline constexpr int kStrIntegerRange = 73006; // "%d" .. "%d"
inline constexpr int kStrMaxCharacters = 73007;

// What the data page selects.
enum class DataSelection {
    None,
    FixedFormat, // one of the fixed formats
    Uid,
    SingleBlocks,  // "Einzelblöcke"
    BlockSequence, // "Blockfolge"
};

// The entries of a data page as the technician typed them. Texts are 8-bit (the Windows ANSI
// code page the reader uses, see keys/AnsiText.h), so a character is one byte.
struct DataPageEntries {
    DataSelection selection = DataSelection::FixedFormat;
    std::uint8_t chip = 5;
    std::string blocks[4];     // at most 2 characters each; empty = not used
    std::string password;      // at most 8 characters
    std::string typeIdBefore;  // at most 1 character
    std::string typeIdAfter;   // at most 1 character
    int characterCount = 8;    // 1..32
    int usedBytesFrom = 1;     // 1..16
    int usedBytesTo = 5;       // 1..16
    std::string startBlock;    // block sequence: first block
    std::string lengthInBytes; // block sequence: number of bytes
};

CheckResult checkDataPage(const DataPageEntries& entries);

// The entries of the serial parameter page (the prompt as 8-bit text, like the data page).
struct ParameterPageEntries {
    std::string prompt; // at most 1 character
    int cycleTimeMs = 1000;
    int timeoutMs = 500;
};

CheckResult checkParameterPage(const ParameterPageEntries& entries);

// Range of the cycle time and the timeout, in ms.
inline constexpr int kMinTimeMs = 100;
inline constexpr int kMaxTimeMs = 12700;

// Block numbers a chip allows. Chips without limits of their own ("Hitag µ", "ATA5551",
// "ATA5577 + PW" and unknown codes) accept every block number a register can hold (0..255) and
// any length up to 255 bytes.
bool chipHasBlockLimits(std::uint8_t chip);
bool singleBlockAllowed(std::uint8_t chip, int block);
bool startBlockAllowed(std::uint8_t chip, int block);
// Bytes that can be read from this start block to the end of the chip's memory.
int bytesAvailable(std::uint8_t chip, int startBlock);

// Decimal value of a page field as the page reads it: leading digits, empty = 0.
int fieldValue(const std::string& text);

} // namespace veltra
