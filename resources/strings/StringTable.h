// The program's string table: every user-visible text has a number; the German text is compiled
// in, the English one comes from Quarnel-VeltraEng.qm through the installed QTranslator.
#pragma once

#include <QString>

namespace veltra {

// Translation context under which all table texts are looked up.
inline constexpr const char* kStringContext = "Strings";

// The text with this number in the current language (German when no translation is loaded or
// the translation lacks it). An unknown number gives an empty string.
QString str(int id);

// The German text with this number, or nullptr for an unknown number.
const char* germanString(int id);

// The text with this number formatted printf-style, as the program formats "%d" and "%s" texts.
QString strf(int id, ...);

struct StringEntry {
    int id;
    const char* key;     // the number as text, used to tell equal German texts apart
    const char* german;  // UTF-8
    const char* english; // UTF-8, our translation
};

// Every entry of the table, ordered by number.
const StringEntry* stringTableBegin();
const StringEntry* stringTableEnd();

} // namespace veltra
