// The keyboard layout of this computer as a reader's character-to-key table.
#pragma once

#include "keys/KeyLayout.h"

namespace veltra {

// Fills the table from the layout in use: the X server's active layout on its core keyboard
// when DISPLAY names a server that answers; otherwise the system keyboard settings
// (XKB_DEFAULT_LAYOUT and its companions when set, else XKBLAYOUT, XKBVARIANT, XKBMODEL and
// XKBOPTIONS of /etc/default/keyboard, else the xkb default). For each character 0x20..0x7E
// the key and level that type it are looked up: a key of the 48 on-screen keys before any
// other (keypad keys type some characters too, but the reader cannot address them), then the
// fewest modifiers (none, Shift, AltGr, Shift+AltGr), then the lower scan code. A level reached
// with Shift lands in Shift, one reached with AltGr alone in AltGr, one without either in
// Normal; levels that need Control, Alt, NumLock or CapsLock are not used. The scan code is
// the evdev key code minus 8; scan codes of 128 and above are skipped.
void ComputerLayout(KeyLayout& layout);

// The same for named xkb settings (rules "evdev", model "pc105"), e.g. ("de", "nodeadkeys").
// variant may be null or empty. False (table cleared) when xkb cannot build the keymap.
bool ComputerLayoutFromNames(const char* layout, const char* variant, KeyLayout& table);

// The same for a keyboard settings file in the form of /etc/default/keyboard. False (table
// cleared) when the file cannot be read or names no layout that xkb can build.
bool ComputerLayoutFromKeyboardFile(const char* path, KeyLayout& table);

} // namespace veltra
