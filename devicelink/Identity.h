// What the identification reply (command 0xF0) says about a reader: type code, firmware
// version, the two capability bits that change how block 1 is exchanged, the model name and
// whether the reader has a reader mode.
#ifndef QNLINK_IDENTITY_H
#define QNLINK_IDENTITY_H

#include <cstdint>
#include <span>
#include <string>

namespace qnlink {

struct ReaderIdentity {
    int typeCode = 0;
    std::uint8_t firmwareVersion = 0; // 0..61, 255 for a character that is no base-62 digit
    bool extendedParameters = false;  // block 1 and 0xF1 in the reader's own layout
    bool extraBlock1Byte = false;     // the converted block 1 carries one more byte
};

// "0".."9" -> 0..9, "A".."Z" -> 10..35, "a".."z" -> 36..61, else 255.
std::uint8_t decodeVersionCharacter(std::uint8_t c);
// Three hexadecimal characters -> type code; -1 when one of them is not a hex digit.
int decodeTypeCode(std::span<const std::uint8_t> threeChars);

bool hasExtendedParameters(int typeCode);
bool hasExtraBlock1Byte(int typeCode, std::uint8_t firmwareVersion);

// Decodes the data of an identification reply. Four characters: type and version. More: a
// reader that answers with a text (treated as type 0x242, version 3). Fewer: nothing known.
ReaderIdentity decodeIdentification(std::span<const std::uint8_t> reply);

// The model name shown for an identification reply: "---" when shorter than three
// characters, the model of the type code, or "QN-#" and the three characters as received.
std::string modelNameForReply(std::span<const std::uint8_t> reply);
// Model name of a known type code, empty when the code is not in the model table.
std::string modelNameForType(int typeCode);
// Number of rows of the model table.
int modelTableSize();

// 1 when readers of this type code have a reader mode, else 0.
int supportsReaderMode(int typeCode);

} // namespace qnlink

#endif
