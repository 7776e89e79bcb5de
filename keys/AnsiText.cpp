#include "keys/AnsiText.h"

#include <cstdint>

namespace veltra {
namespace {

// cp1252 bytes 0x80..0x9F; 0 marks the undefined ones, which keep their own value.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char32_t toUnicode(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F && kHighControls[byte - 0x80] != 0) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<std::uint8_t> toAnsi(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<std::uint8_t>(c);
    }
    for (std::uint8_t i = 0; i < 32; ++i) {
        const char32_t mapped = kHighControls[i] != 0 ? kHighControls[i] : 0x80 + i;
        if (mapped == c) {
            return static_cast<std::uint8_t>(0x80 + i);
        }
    }
    return std::nullopt;
}

} // namespace

std::string ansiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        appendUtf8(out, toUnicode(static_cast<std::uint8_t>(c)));
    }
    return out;
}

std::optional<std::string> utf8ToAnsi(std::string_view utf8) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        std::size_t extra = 0;
        char32_t c = 0;
        if (lead < 0x80) {
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            c = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            c = lead & 0x0F;
        } else {
            return std::nullopt; // 4-byte characters have no cp1252 byte either
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            if (i + k >= utf8.size()) {
                return std::nullopt;
            }
            const auto cont = static_cast<std::uint8_t>(utf8[i + k]);
            if ((cont & 0xC0) != 0x80) {
                return std::nullopt;
            }
            c = (c << 6) | (cont & 0x3F);
        }
        if ((extra == 1 && c < 0x80) || (extra == 2 && c < 0x800)) {
            return std::nullopt; // overlong form
        }
        const auto byte = toAnsi(c);
        if (!byte) {
            return std::nullopt;
        }
        out += static_cast<char>(*byte);
        i += extra + 1;
    }
    return out;
}

} // namespace veltra
