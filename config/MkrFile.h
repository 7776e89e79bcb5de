// Configuration files (.mkr): a reader configuration saved so that many readers can be set up
// alike. INI text with the sections "Device", "Prefix", "Suffix", "Abziehen", "Termix", "Data1",
// "Data2", "Data" (the parameters and a copy of data record 1 in the layout older program
// versions read) and, for keyboard readers, "HID_KEYS".
#pragma once

#include "config/ConfigChecks.h"
#include "config/ReaderConfiguration.h"
#include "keys/KeyLayout.h"
#include "keys/KeySequence.h"

#include <QSettings>
#include <QString>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltra {

class CIniEx;

// Everything a configuration file holds.
struct MkrContent {
    std::string modelName; // saving: the sheet's model; loading: the connected model (input)
    CAsciiArray prefix;
    CAsciiArray suffix;
    CAsciiArray pullOff;   // "Abziehen"
    CAsciiArray separator; // "Termix" ("Block Trenner")
    ReaderConfiguration config;
    std::optional<KeyLayout> layout; // keyboard readers; nullopt = section not written / absent
};

// Feature bit of keyboard (HID) readers: their parameters are stored with fewer keys.
inline constexpr std::uint32_t kHidReaderFeature = 1u << 9;

// File dialog details and the remembered folder.
inline constexpr const char* kMkrDefaultExtension = "mkr";
inline constexpr const char* kMkrFileFilter = "Quarnel (*.mkr)";
inline constexpr const char* kMkrSettingsSection = "Settings";
inline constexpr const char* kMkrFolderKey = "MKRFilePath";

// Message string numbers.
inline constexpr int kStrDataPageInvalidOnSave = 73010; // whatever the page's complaint
inline constexpr int kStrValuesNotLoaded = 73011;
inline constexpr int kStrOtherModelQuestion = 73012; // file model, connected model
inline constexpr int kStrSaveFirstQuestion = 73013;
inline constexpr int kStrFileNotSaved = 73014;          // system error text
inline constexpr int kStrNoConfigurationInFile = 73015; // file path
inline constexpr int kStrInvalidValueInFile = 73016;    // section, key, value

// ---- Saving ------------------------------------------------------------------------------

struct MkrSaveResult {
    bool written = false;
    std::string errorText; // why not, when not written
};

// Saves into `path`. An existing file is read first and only the keys below are replaced; its
// other sections and keys (an earlier "Data2", surplus "Ascii%d" keys) stay. The file is
// replaced atomically: on failure it stays as it was. The caller has taken over the pages with
// their checks before: a failing data page shows kStrDataPageInvalidOnSave, a failing
// parameter page its own message, and nothing is saved in either case.
MkrSaveResult saveConfigurationFile(const std::string& path, const MkrContent& content,
                                    std::uint32_t features);

// Taking the data pages over before saving: the message that stops the save when any page
// fails its checks (the character-count message, whatever the page's own complaint was), or
// nullopt when all pass.
std::optional<int> dataPagesBlockSaving(std::span<const DataPageEntries> pages);

// The individual sections, for callers that hold a document of their own.
void saveDataRecord(CIniEx& file, int sectionNumber, const DataFormatRecord& record);
void saveOlderDataRecord(CIniEx& file, const DataFormatRecord& record);
void saveSerialParameters(CIniEx& file, const ReaderParameters& parameters);
void saveHidParameters(CIniEx& file, const ReaderParameters& parameters);

// ---- Loading -----------------------------------------------------------------------------

enum class MkrLoadStatus {
    Loaded,
    CannotOpen,      // kStrValuesNotLoaded; nothing changed
    NoConfiguration, // neither "Data1" nor "Data": not a configuration file; nothing changed
    InvalidValue,    // a number outside what its field holds (invalidField); nothing changed
    OtherModel,      // the technician declined a file saved from another model; nothing changed
};

// A field whose stored number its record cannot hold ("TransponderTyp"=258, "Laenge"=264).
struct MkrInvalidField {
    std::string section;
    std::string key;
    std::string value; // as the file stores it (8-bit text)
};

struct MkrLoadResult {
    MkrLoadStatus status = MkrLoadStatus::CannotOpen;
    MkrInvalidField invalidField; // with InvalidValue
    std::string fileModel;
    // Messages to show, in order (kStrTooManyCodesInFile once per refused sequence section).
    std::vector<int> messages;
};

// Asked when the file names a model and it differs from the connected one; true = load anyway.
using ModelQuestion =
    std::function<bool(const std::string& fileModel, const std::string& connectedModel)>;

// Loads `path` into `content`. content.modelName is the connected model on input and stays so.
// The prefix, suffix and pull-off sequences are emptied first, so a refused section leaves
// them empty; a refused "Termix" keeps the separator content already there. data[1] is loaded
// only for readers with a second data output; the layout only when the file has "HID_KEYS".
MkrLoadResult loadConfigurationFile(const std::string& path, MkrContent& content,
                                    std::uint32_t features, const ModelQuestion& askOtherModel);

// The message that says why a file was not loaded (CannotOpen, NoConfiguration,
// InvalidValue); empty for the other results.
QString loadRefusalMessage(const MkrLoadResult& result, const std::string& path);

// Record loading for section number n (1 or 2), with the fallback to the older layout in
// "Data" for record 1.
DataFormatRecord loadDataRecord(const CIniEx& file, int sectionNumber);
ReaderParameters loadSerialParameters(const CIniEx& file);
// Keyboard readers: mode, cycle time, timeout and power-on index; the rest of `current` stays.
ReaderParameters loadHidParameters(const CIniEx& file, const ReaderParameters& current);

// Whether a record selects a format or block mode as the data page shows it (the first page
// always shows one; the second shows nothing for unknown format codes).
bool recordSelectsOutput(const DataFormatRecord& record, bool firstPage);

// The question text for a file saved from another model (names in the file's 8-bit text).
QString otherModelQuestion(const std::string& fileModel, const std::string& connectedModel);

// ---- Helpers for the sheet ---------------------------------------------------------------

// The folder remembered as "MKRFilePath": everything before the last path separator.
std::string mkrFolderOf(const std::string& path);

// The folder the file dialogs open in: "Settings"/"MKRFilePath" of the application settings
// (empty when none was stored yet), and storing the folder of a file just saved or loaded.
QString storedMkrFolder(QSettings& settings);
void rememberMkrFolder(QSettings& settings, const QString& filePath);

// The sheet caption after saving or loading: its text up to the first " - ", then " - " and
// the file path.
std::string captionWithFile(const std::string& caption, const std::string& path);

} // namespace veltra
