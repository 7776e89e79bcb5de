// Writes the Qt translation source (.ts) for English from the string table, so the translation
// file can never lack a text that the program has.
#include <cstdio>
#include <string>

namespace {

struct Entry {
    int id;
    const char* key;
    const char* german;
    const char* english;
};

#define VELTRA_STRING(id, german, english) Entry{id, #id, german, english},
const Entry kEntries[] = {
#include "strings_app.inc"
#include "strings_config.inc"
#include "strings_keys.inc"
#include "strings_network.inc"
#include "strings_station.inc"
#include "strings_update.inc"
};
#undef VELTRA_STRING

std::string xmlEscape(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        switch (*p) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += "&#9;"; break;
        default: out += *p; break;
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.ts\n", argv[0]);
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
                      "<TS version=\"2.1\" language=\"en_GB\" sourcelanguage=\"de_DE\">\n"
                      "<context>\n    <name>Strings</name>\n");
    for (const Entry& e : kEntries) {
        std::fprintf(out,
                     "    <message>\n        <source>%s</source>\n"
                     "        <comment>%s</comment>\n"
                     "        <translation>%s</translation>\n    </message>\n",
                     xmlEscape(e.german).c_str(), e.key, xmlEscape(e.english).c_str());
    }
    std::fprintf(out, "</context>\n</TS>\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
