#include "resources/strings/StringTable.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cstdarg>

namespace veltra {
namespace {

#define VELTRA_STRING(id, german, english) StringEntry{id, #id, german, english},
constexpr StringEntry kEntries[] = {
#include "strings_app.inc"
#include "strings_config.inc"
#include "strings_keys.inc"
#include "strings_network.inc"
#include "strings_station.inc"
#include "strings_update.inc"
};
#undef VELTRA_STRING

constexpr std::size_t kCount = sizeof(kEntries) / sizeof(kEntries[0]);

// The table sorted by number once, so lookups are a binary search.
const std::array<StringEntry, kCount>& sortedEntries() {
    static const std::array<StringEntry, kCount> sorted = [] {
        std::array<StringEntry, kCount> copy{};
        std::copy(std::begin(kEntries), std::end(kEntries), copy.begin());
        std::stable_sort(copy.begin(), copy.end(),
                         [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
        return copy;
    }();
    return sorted;
}

const StringEntry* find(int id) {
    const auto& entries = sortedEntries();
    auto it = std::lower_bound(entries.begin(), entries.end(), id,
                               [](const StringEntry& e, int value) { return e.id < value; });
    if (it == entries.end() || it->id != id) {
        return nullptr;
    }
    return &*it;
}

} // namespace

QString str(int id) {
    const StringEntry* entry = find(id);
    if (entry == nullptr) {
        return {};
    }
    return QCoreApplication::translate(kStringContext, entry->german, entry->key);
}

const char* germanString(int id) {
    const StringEntry* entry = find(id);
    return entry == nullptr ? nullptr : entry->german;
}

QString strf(int id, ...) {
    const QString format = str(id);
    va_list args;
    va_start(args, id);
    QString result = QString::vasprintf(format.toUtf8().constData(), args);
    va_end(args);
    return result;
}

const StringEntry* stringTableBegin() {
    return sortedEntries().data();
}
const StringEntry* stringTableEnd() {
    return sortedEntries().data() + kCount;
}

} // namespace veltra
