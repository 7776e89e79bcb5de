#include "keys/ComputerLayout.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <xcb/xcb.h>

namespace veltra {
namespace {

constexpr int kFirstChar = 0x20;
constexpr int kLastChar = 0x7E;
constexpr xkb_keycode_t kEvdevOffset = 8; // evdev key code = set-1 scan code + 8

struct ContextDeleter {
    void operator()(xkb_context* c) const { xkb_context_unref(c); }
};
struct KeymapDeleter {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};
struct StateDeleter {
    void operator()(xkb_state* s) const { xkb_state_unref(s); }
};
struct ConnectionDeleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using Context = std::unique_ptr<xkb_context, ContextDeleter>;
using Keymap = std::unique_ptr<xkb_keymap, KeymapDeleter>;
using State = std::unique_ptr<xkb_state, StateDeleter>;
using Connection = std::unique_ptr<xcb_connection_t, ConnectionDeleter>;

// A way to type one character: lower is better.
struct Candidate {
    bool found = false;
    bool offScreen = true;
    int modifiers = 0; // 0 none, 1 Shift, 2 AltGr, 3 Shift+AltGr
    int scanCode = 0;
    KeyLayout::Field field = KeyLayout::Normal;

    bool betterThan(const Candidate& other) const {
        if (!other.found) {
            return true;
        }
        if (offScreen != other.offScreen) {
            return !offScreen;
        }
        if (modifiers != other.modifiers) {
            return modifiers < other.modifiers;
        }
        return scanCode < other.scanCode;
    }
};

xkb_mod_mask_t modBit(xkb_keymap* keymap, const char* name) {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
    return index == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t(1) << index;
}

// Reads the characters of one layout group of the keymap into the table.
void fillFromKeymap(xkb_keymap* keymap, xkb_layout_index_t group, KeyLayout& table) {
    table = KeyLayout{};
    const xkb_mod_mask_t shift = modBit(keymap, XKB_MOD_NAME_SHIFT);
    // AltGr is ISO_Level3_Shift, which the evdev rules put on Mod5 (named LevelThree by newer
    // xkbcommon versions).
    const xkb_mod_mask_t altGr = modBit(keymap, "Mod5") | modBit(keymap, "LevelThree");

    Candidate best[kLastChar + 1];
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= last; ++key) {
        if (key < kEvdevOffset || key - kEvdevOffset >= table.entries.size()) {
            continue;
        }
        const int scanCode = int(key - kEvdevOffset);
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, key, group);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap, key, group, level, &syms) != 1) {
                continue;
            }
            const std::uint32_t character = xkb_keysym_to_utf32(syms[0]);
            if (character < kFirstChar || character > kLastChar) {
                continue;
            }
            xkb_mod_mask_t masks[16];
            const std::size_t count =
                xkb_keymap_key_get_mods_for_level(keymap, key, group, level, masks, 16);
            for (std::size_t m = 0; m < count; ++m) {
                if ((masks[m] & ~(shift | altGr)) != 0) {
                    continue; // needs Control, Alt, NumLock, CapsLock or the like
                }
                Candidate c;
                c.found = true;
                c.offScreen = ScanCodeToKey(scanCode) < 0;
                c.scanCode = scanCode;
                const bool withShift = (masks[m] & shift) != 0;
                const bool withAltGr = (masks[m] & altGr) != 0;
                c.modifiers = (withShift ? 1 : 0) + (withAltGr ? 2 : 0);
                c.field = withShift   ? KeyLayout::Shift
                          : withAltGr ? KeyLayout::AltGr
                                      : KeyLayout::Normal;
                if (c.betterThan(best[character])) {
                    best[character] = c;
                }
            }
        }
    }
    for (int character = kFirstChar; character <= kLastChar; ++character) {
        const Candidate& c = best[character];
        if (c.found) {
            table.entries[std::size_t(c.scanCode)][c.field] = std::uint8_t(character);
        }
    }
}

bool fillFromNames(const xkb_rule_names& names, KeyLayout& table) {
    table = KeyLayout{};
    Context context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        return false;
    }
    Keymap keymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        return false;
    }
    fillFromKeymap(keymap.get(), 0, table);
    return true;
}

// The X server's core keyboard with its active layout group.
bool fillFromXServer(KeyLayout& table) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        return false;
    }
    Connection connection(xcb_connect(nullptr, nullptr));
    if (!connection || xcb_connection_has_error(connection.get()) != 0) {
        return false;
    }
    if (xkb_x11_setup_xkb_extension(
            connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) == 0) {
        return false;
    }
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection.get());
    if (device < 0) {
        return false;
    }
    Context context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        return false;
    }
    Keymap keymap(xkb_x11_keymap_new_from_device(context.get(), connection.get(), device,
                                                 XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        return false;
    }
    State state(xkb_x11_state_new_from_device(keymap.get(), connection.get(), device));
    const xkb_layout_index_t group =
        state ? xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE) : 0;
    fillFromKeymap(keymap.get(), group, table);
    return true;
}

// KEY="value" lines of a shell-style settings file.
std::map<std::string, std::string> readSettings(const char* path) {
    std::map<std::string, std::string> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') {
            continue;
        }
        const std::size_t eq = line.find('=', start);
        if (eq == std::string::npos) {
            continue;
        }
        std::string value = line.substr(eq + 1);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) {
            value.pop_back();
        }
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        values[line.substr(start, eq - start)] = value;
    }
    return values;
}

} // namespace

bool ComputerLayoutFromNames(const char* layout, const char* variant, KeyLayout& table) {
    xkb_rule_names names{};
    names.rules = "evdev";
    names.model = "pc105";
    names.layout = layout;
    names.variant = variant;
    return fillFromNames(names, table);
}

bool ComputerLayoutFromKeyboardFile(const char* path, KeyLayout& table) {
    table = KeyLayout{};
    const std::map<std::string, std::string> settings = readSettings(path);
    const auto value = [&settings](const char* key) -> const char* {
        const auto it = settings.find(key);
        return it == settings.end() || it->second.empty() ? nullptr : it->second.c_str();
    };
    if (value("XKBLAYOUT") == nullptr) {
        return false;
    }
    xkb_rule_names names{};
    names.rules = "evdev";
    names.model = value("XKBMODEL");
    names.layout = value("XKBLAYOUT");
    names.variant = value("XKBVARIANT");
    names.options = value("XKBOPTIONS");
    return fillFromNames(names, table);
}

void ComputerLayout(KeyLayout& layout) {
    if (fillFromXServer(layout)) {
        return;
    }
    const char* fromEnvironment = std::getenv("XKB_DEFAULT_LAYOUT");
    if (fromEnvironment == nullptr || fromEnvironment[0] == '\0') {
        if (ComputerLayoutFromKeyboardFile("/etc/default/keyboard", layout)) {
            return;
        }
    }
    // Empty names: xkbcommon takes XKB_DEFAULT_RULES, _MODEL, _LAYOUT, _VARIANT and _OPTIONS
    // from the environment, and its built-in default for what is not set.
    const xkb_rule_names names{};
    fillFromNames(names, layout);
}

} // namespace veltra
