// Key sequences: the short, user-defined code strings a reader sends around its data (prefix,
// suffix, pull-off and block separator). This is the code vocabulary with its display names and
// the three encodings of a sequence: editor rows, reader parameter block, configuration-file
// section.
//
// Names are 8-bit strings in the Windows ANSI code page (cp1252), the same bytes the reader and
// the configuration files use; keys/AnsiText.h converts them for display.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltra {

class CIniEx;

// The editor refuses a 16th code; a file section with a "Count" of 16 or more is refused.
inline constexpr std::size_t kMaxSequenceCodes = 15;
// Ends a sequence inside the reader's parameter block.
inline constexpr std::uint8_t kSequenceTerminator = 0xFF;
// Number of entries of the editor's code list; the position of an entry is its code.
inline constexpr std::size_t kEditorCodeCount = 144;

// One element of a sequence. The name is fixed when the element is made.
struct ASCII {
    std::uint8_t code = 0;
    std::string name;

    bool operator==(const ASCII&) const = default;
};

// The ordered sequence a page holds, copied by value.
using CAsciiArray = std::vector<ASCII>;

struct KeyName {
    std::uint8_t code;
    const char* name;
};

// The 50 codes with a name of their own, in search order.
std::span<const KeyName> KeyNameTable();

// The name of a code: its KeyNameTable name, or the code itself as a one-byte string.
std::string CodeName(std::uint8_t code);

// 0..15 for a hex digit, 0xFF for any other character.
std::uint8_t HexDigitValue(char c);

// The 144 texts of the editor's code list (entry p is code p).
std::span<const std::string> editorCodeList();

// An element for a code, named by CodeName.
ASCII makeAscii(std::uint8_t code);

// Interprets text typed into the editor field (8-bit text, not trimmed): one character is that
// byte ("SP" for a blank); two hex digits are a hex code (so "F1" is 0xF1, not the function key);
// anything else must equal a list entry, regardless of case. nullopt = "Kein gültiges Zeichen".
std::optional<ASCII> ParseEntry(std::string_view text,
                                std::span<const std::string> codeList = editorCodeList());

// "0D H     CR (Enter)": the text of an element's editor row.
std::string rowText(const ASCII& element);

// Appends each code and then the terminator; the buffer is not cleared first.
void AppendCodes(const CAsciiArray& sequence, std::vector<std::uint8_t>& buffer);

// The sequence held in a parameter block as read from the reader: every byte but the last
// (the terminator, not examined). Fewer than two bytes give an empty sequence.
CAsciiArray sequenceFromBlock(std::span<const std::uint8_t> block);

// Replaces `target` by the sequence in `length` bytes read from the reader; a failed read
// (length < 0) leaves it unchanged and returns false.
bool LoadFromBytes(CAsciiArray& target, const std::uint8_t* bytes, int length);

enum class SequenceLoadResult {
    Loaded,
    TooManyCodes, // "Count" of 16 or more (kStrTooManyCodesInFile); the target stays as it was
};

// Reads one sequence from a configuration-file section ("Count", "Ascii0", ...).
SequenceLoadResult LoadSequenceSection(const CIniEx& file, std::string_view section,
                                       CAsciiArray& target);

// Writes "Count" and one "Ascii%d" per code. Keys of a longer earlier sequence stay in the
// file; "Count" tells how many are valid.
void SaveSequenceSection(CIniEx& file, std::string_view section, const CAsciiArray& sequence);

// Message string numbers of the sequence model.
inline constexpr int kStrNoValidCharacter = 158; // "Kein gültiges Zeichen"
inline constexpr int kStrTooManyCodesInFile = 160;

} // namespace veltra
