// Feeds arbitrary bytes to the INI parser: the document must survive being written out and read
// back, and a value written must read back as written (line breaks turned into blanks).
#include "config/ini/CIniEx.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    veltra::CIniEx ini;
    ini.parse(text);

    // Reading every key of every section never fails and stays within the document.
    for (const veltra::CSection& section : ini.sections()) {
        if (section.keys.size() != section.values.size()) {
            std::abort();
        }
        for (const std::string& key : section.keys) {
            (void)ini.readString(section.name, key);
            (void)ini.readInt(section.name, key, 0);
        }
    }

    // Once written, the document is stable under a further read and write.
    veltra::CIniEx first;
    first.parse(ini.toText());
    veltra::CIniEx second;
    second.parse(first.toText());
    if (second.toText() != first.toText()) {
        std::abort();
    }

    // The first line of the input, used as a value, reads back unchanged.
    std::string value(text.substr(0, text.find_first_of("\r\n")));
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.pop_back();
    }
    while (!value.empty() && value.front() == ' ') {
        value.erase(value.begin());
    }
    ini.writeString("Fuzz", "Value", value);
    veltra::CIniEx reread;
    reread.parse(ini.toText());
    if (reread.readString("Fuzz", "Value") != value) {
        std::abort();
    }
    return 0;
}
