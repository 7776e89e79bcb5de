// Conversion between the 8-bit Windows ANSI code page (cp1252) that readers and configuration
// files use and the UTF-8 of the user interface.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veltra {

// Every byte has a character; the five bytes cp1252 leaves undefined map to the C1 control
// characters of the same value, so nothing is lost.
std::string ansiToUtf8(std::string_view ansi);

// The cp1252 bytes of a UTF-8 text; nullopt when a character has no cp1252 byte or the text is
// not valid UTF-8.
std::optional<std::string> utf8ToAnsi(std::string_view utf8);

} // namespace veltra
