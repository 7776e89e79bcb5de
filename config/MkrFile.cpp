#include "config/MkrFile.h"

#include "config/ini/CIniEx.h"
#include "keys/AnsiText.h"
#include "resources/strings/StringTable.h"

#include <filesystem>
#include <optional>
#include <span>

namespace veltra {
namespace {

constexpr const char* kDevice = "Device";
constexpr const char* kPrefix = "Prefix";
constexpr const char* kSuffix = "Suffix";
constexpr const char* kPullOff = "Abziehen";
constexpr const char* kSeparator = "Termix";
constexpr const char* kData = "Data";
constexpr int kMissing = 255;

std::string dataSection(int n) {
    return "Data" + std::to_string(n);
}

std::string numbered(const char* key, int n) {
    return key + std::to_string(n);
}

std::uint8_t lowByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

std::uint8_t readByte(const CIniEx& file, std::string_view section, std::string_view key,
                      int defaultValue) {
    return lowByte(file.readInt(section, key, defaultValue));
}

// Chip codes as the older layout numbered them, and back.
int olderTypeOf(std::uint8_t chipCode) {
    switch (chipCode) {
    case chip::Hitag2:
        return 2;
    case chip::Q5:
    case chip::ATA5577:
        return 5;
    case chip::HitagS:
        return 3;
    case chip::Hitag1:
        return 1;
    case chip::Titan:
        return 6;
    case chip::EM4569:
        return 8;
    default:
        return 0;
    }
}

int chipOfOlderType(int olderType) {
    switch (olderType) {
    case 1:
        return chip::Hitag1;
    case 2:
        return chip::Hitag2;
    case 3:
        return chip::HitagS;
    case 5:
        return chip::Q5;
    case 6:
        return chip::Titan;
    case 8:
        return chip::EM4569;
    default:
        return 0;
    }
}

void readTail(const CIniEx& file, std::string_view section, DataFormatRecord& r) {
    r.display = readByte(file, section, "Darstellung", 0);
    r.length = readByte(file, section, "Laenge", 8);
    r.validBytes = readByte(file, section, "GueltigeBytes", 5);
    r.validBytesFrom = readByte(file, section, "GueltigeBytesAb", 1);
    r.typeIdLeft = readByte(file, section, "KennungLinks", 0);
    r.typeIdRight = readByte(file, section, "KennungRechts", 0);
    r.modSpeed = readByte(file, section, "ModSpeed", 0);
    r.hitag2Password = file.readString(section, "Hitag2PW", "");
    r.ata5577Password = file.readString(section, "ATA5577PW", "");
}

void writeTail(CIniEx& file, std::string_view section, const DataFormatRecord& r) {
    file.writeInt(section, "Darstellung", r.display);
    file.writeInt(section, "Laenge", r.length);
    file.writeInt(section, "GueltigeBytes", r.validBytes);
    file.writeInt(section, "GueltigeBytesAb", r.validBytesFrom);
    file.writeInt(section, "KennungLinks", r.typeIdLeft);
    file.writeInt(section, "KennungRechts", r.typeIdRight);
    file.writeInt(section, "ModSpeed", r.modSpeed);
    file.writeString(section, "Hitag2PW", r.hitag2Password);
    file.writeString(section, "ATA5577PW", r.ata5577Password);
}

DataFormatRecord loadOlderDataRecord(const CIniEx& file) {
    DataFormatRecord r;
    for (int i = 0; i < 4; ++i) {
        r.byteMasks[std::size_t(i)] = readByte(file, kData, numbered("BytesMaske", i + 1), 255);
    }
    const int olderType = file.readInt(kData, "TransponderTyp", kMissing) & 127;
    if (olderType == 0 || olderType == 7) {
        r.transponderType = 0;
        r.registers = {olderType == 0 ? format::Unique : format::Zem16Bit, kNoEntry, kNoEntry,
                       kNoEntry};
    } else if (const int chipCode = chipOfOlderType(olderType); chipCode != 0) {
        r.transponderType = static_cast<std::uint8_t>(chipCode);
        r.registers[0] = readByte(file, kData, "Register1", 1);
        for (int i = 1; i < 4; ++i) {
            r.registers[std::size_t(i)] = readByte(file, kData, numbered("Register", i + 1), 255);
        }
    } else {
        // Older types without a chip of their own: the page shows them as "Unique".
        r.transponderType = 0;
        r.registers = {0, 0, 0, 0};
    }
    readTail(file, kData, r);
    r.alignment = 0;
    return r;
}

void saveSequence(CIniEx& file, const char* section, const CAsciiArray& sequence) {
    SaveSequenceSection(file, section, sequence);
}

bool loadSequence(const CIniEx& file, const char* section, CAsciiArray& target,
                  std::vector<int>& messages) {
    if (LoadSequenceSection(file, section, target) == SequenceLoadResult::TooManyCodes) {
        messages.push_back(kStrTooManyCodesInFile);
        return false;
    }
    return true;
}

// The prompt character goes into the file as a one-character text. A blank does not survive as
// text (the file's lines lose their trailing blanks), so its code is written beside it and read
// back when the text came back empty. Control characters still load as "?".
constexpr const char* kPromptKey = "Aufforderung";
constexpr const char* kPromptCodeKey = "AufforderungCode";

char loadPrompt(const CIniEx& file) {
    const std::string text = file.readString(kData, kPromptKey, "?");
    if (!text.empty()) {
        return static_cast<unsigned char>(text[0]) < 32 ? '?' : text[0];
    }
    const int code = file.readInt(kData, kPromptCodeKey, 0);
    return code >= 32 && code <= 255 ? static_cast<char>(code) : '?';
}

// ---- What a field may hold ------------------------------------------------------------------

bool isByte(int v) {
    return v >= 0 && v <= 255;
}
bool isDisplayMode(int v) {
    return v >= 0 && v < static_cast<int>(displayModeTable().size());
}
bool isAlignment(int v) {
    return v >= 0 && v <= (kReverseByteOrder | kReverseNibbleBits | kSwapNibbles);
}
bool isModulation(int v) {
    return isByte(v) && modulationListPosition(static_cast<std::uint8_t>(v)) >= 0;
}
// 255 and -1 both stand for "no type".
bool isTransponderType(int v) {
    return v == 0 || v == kMissing || v == -1 ||
           (isByte(v) && chipName(static_cast<std::uint8_t>(v & 0x7F)) != nullptr);
}
bool isTypeOrMissing(int v) {
    return isByte(v) || v == -1;
}
// Mode 0..6 in bits 0-3, sensor data output in bit 4, nothing else.
bool isOperatingMode(int v) {
    return isByte(v) && (v & 0x0F) <= 6 && (v & 0xE0) == 0;
}

struct FieldRule {
    const char* key;
    bool (*valid)(int);
};

// The fields of a data record section ("Data1", "Data2") and of the older copy in "Data".
constexpr FieldRule kRecordRules[] = {
    {"Register1", isByte},    {"Register2", isByte},     {"Register3", isByte},
    {"Register4", isByte},    {"BytesMaske1", isByte},   {"BytesMaske2", isByte},
    {"BytesMaske3", isByte},  {"BytesMaske4", isByte},   {"Darstellung", isDisplayMode},
    {"Laenge", isByte},       {"GueltigeBytes", isByte}, {"GueltigeBytesAb", isByte},
    {"KennungLinks", isByte}, {"KennungRechts", isByte}, {"ModSpeed", isModulation},
};

// The first field of `section` whose stored number is out of its range, if any.
std::optional<MkrInvalidField> invalidField(const CIniEx& file, const std::string& section,
                                            std::span<const FieldRule> rules) {
    for (const FieldRule& rule : rules) {
        if (file.hasKey(section, rule.key) && !rule.valid(file.readInt(section, rule.key, 0))) {
            return MkrInvalidField{section, rule.key, file.readString(section, rule.key, "")};
        }
    }
    return std::nullopt;
}

bool hasConfigurationSection(const CIniEx& file) {
    for (const char* section :
         {kDevice, kPrefix, kSuffix, kPullOff, kSeparator, kData, "Data1", "Data2", "HID_KEYS"}) {
        if (file.hasSection(section)) {
            return true;
        }
    }
    return false;
}

bool usesOlderLayout(const CIniEx& file) {
    const int type = file.readInt(dataSection(1), "TransponderTyp", kMissing);
    const int older = file.readInt(kData, "TransponderTyp", kMissing);
    return (type == kMissing || type == -1) && older != kMissing && older != -1;
}

// Checks every number the loading would take over, before anything is taken over: a value a
// field cannot hold is never cut down to another valid one.
std::optional<MkrInvalidField> findInvalidField(const CIniEx& file, std::uint32_t features) {
    std::vector<std::string> records;
    if (usesOlderLayout(file)) {
        const FieldRule olderType[] = {{"TransponderTyp", isTypeOrMissing}};
        if (auto bad = invalidField(file, kData, olderType)) {
            return bad;
        }
        records.push_back(kData);
    } else {
        records.push_back(dataSection(1));
    }
    if ((features & kSecondDataOutputFeature) != 0) {
        records.push_back(dataSection(2));
    }
    for (const std::string& section : records) {
        const FieldRule type[] = {{"TransponderTyp", isTransponderType},
                                  {"Ausrichtung", isAlignment}};
        if (section != kData) {
            if (auto bad = invalidField(file, section, type)) {
                return bad;
            }
        }
        if (auto bad = invalidField(file, section, kRecordRules)) {
            return bad;
        }
    }
    const FieldRule parameters[] = {{"Betriebsart", isOperatingMode}};
    return invalidField(file, kData, parameters);
}

int loadTimeout(const CIniEx& file) {
    int timeout = file.readInt(kData, "Timeout", 0);
    if (timeout == 0) {
        timeout = file.readInt(kData, "TimeoutRS232", 0);
    }
    return timeout == 0 ? 500 : timeout;
}

} // namespace

// ---- Saving ------------------------------------------------------------------------------

std::optional<int> dataPagesBlockSaving(std::span<const DataPageEntries> pages) {
    for (const DataPageEntries& page : pages) {
        if (checkDataPage(page)) {
            return kStrDataPageInvalidOnSave;
        }
    }
    return std::nullopt;
}

void saveDataRecord(CIniEx& file, int n, const DataFormatRecord& r) {
    const std::string section = dataSection(n);
    file.writeInt(section, "TransponderTyp", r.transponderType);
    for (int i = 0; i < 4; ++i) {
        file.writeInt(section, numbered("Register", i + 1), r.registers[std::size_t(i)]);
    }
    for (int i = 0; i < 4; ++i) {
        file.writeInt(section, numbered("BytesMaske", i + 1), r.byteMasks[std::size_t(i)]);
    }
    file.writeInt(section, "Ausrichtung", r.alignment);
    writeTail(file, section, r);
}

void saveOlderDataRecord(CIniEx& file, const DataFormatRecord& r) {
    if (!r.isFixedFormat()) {
        int olderType = olderTypeOf(r.chipCode());
        if ((r.alignment & kReverseByteOrder) != 0) {
            olderType += 128;
        }
        file.writeInt(kData, "TransponderTyp", olderType);
        for (int i = 0; i < 4; ++i) {
            file.writeInt(kData, numbered("Register", i + 1), r.registers[std::size_t(i)]);
        }
    } else {
        // Older versions knew only "Unique" and "Zem 16 Bit" as fixed formats.
        if (r.registers[0] == format::Unique) {
            file.writeInt(kData, "TransponderTyp", 0);
        } else if (r.registers[0] == format::Zem16Bit) {
            file.writeInt(kData, "TransponderTyp", 7);
        }
        for (int i = 0; i < 4; ++i) {
            file.writeInt(kData, numbered("Register", i + 1), kNoEntry);
        }
    }
    file.writeInt(kData, "BitInvers", (r.alignment & kReverseNibbleBits) != 0 ? 1 : 0);
    writeTail(file, kData, r);
}

void saveSerialParameters(CIniEx& file, const ReaderParameters& p) {
    file.writeInt(kData, "Betriebsart", p.operatingMode);
    file.writeInt(kData, "Zykluszeit", p.cycleTimeMs);
    file.writeInt(kData, "Baudrate", p.baudRate);
    // A control character is not written as text (it would break the line); a blank would
    // vanish as trailing blank and keeps its code beside the text.
    const auto prompt = static_cast<unsigned char>(p.prompt);
    file.writeString(kData, kPromptKey, prompt < 32 ? std::string() : std::string(1, p.prompt));
    if (prompt == ' ') {
        file.writeInt(kData, kPromptCodeKey, prompt);
    }
    file.writeInt(kData, "Timeout", p.timeoutMs);
    file.writeInt(kData, "TimeoutRS232", p.timeoutMs);
    if (p.powerOnMode != -1) {
        file.writeInt(kData, "ReaderModus", p.powerOnMode);
    }
    file.writeInt(kData, "DTRModus", p.dtrMode);
    file.writeString(kData, "RemoteIP", p.remoteIp);
    file.writeInt(kData, "RemotePort", p.remotePort);
}

void saveHidParameters(CIniEx& file, const ReaderParameters& p) {
    file.writeInt(kData, "Betriebsart", p.operatingMode);
    file.writeInt(kData, "Zykluszeit", p.cycleTimeMs);
    file.writeInt(kData, "Timeout", p.timeoutMs);
    file.writeInt(kData, "TimeoutRS232", p.timeoutMs);
    if (p.powerOnMode != -1) {
        file.writeInt(kData, "ReaderModus", p.powerOnMode);
    }
}

MkrSaveResult saveConfigurationFile(const std::string& path, const MkrContent& content,
                                    std::uint32_t features) {
    MkrSaveResult result;
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    CIniEx file;
    // Read the existing file first: saving replaces only the keys written here.
    if (!file.open(path, /*writeOnClose=*/true, /*createIfMissing=*/true)) {
        result.errorText = file.errorText();
        return result;
    }
    file.writeString(kDevice, "Name", content.modelName);
    saveSequence(file, kPrefix, content.prefix);
    saveDataRecord(file, 1, content.config.data[0]);
    saveOlderDataRecord(file, content.config.data[0]);
    if ((features & kSecondDataOutputFeature) != 0) {
        saveDataRecord(file, 2, content.config.data[1]);
    }
    if ((features & kHidReaderFeature) != 0) {
        saveHidParameters(file, content.config.parameters);
        if (content.layout) {
            SaveLayoutSection(file, *content.layout);
        }
    } else {
        saveSerialParameters(file, content.config.parameters);
    }
    saveSequence(file, kSuffix, content.suffix);
    saveSequence(file, kPullOff, content.pullOff);
    saveSequence(file, kSeparator, content.separator);

    file.write();
    if (file.writeFailed()) {
        result.errorText = file.errorText();
        // The file stays as it was; do not try again when the document is closed, and do not
        // leave behind the empty file that opening created.
        file.parse("");
        if (!existed) {
            std::filesystem::remove(path, ec);
        }
        return result;
    }
    result.written = true;
    return result;
}

// ---- Loading -----------------------------------------------------------------------------

DataFormatRecord loadDataRecord(const CIniEx& file, int n) {
    const std::string section = dataSection(n);
    // A stored 255 means "no type" whatever the spelling (255, 511, -1 all reach the record as
    // the byte 255).
    const int type = lowByte(file.readInt(section, "TransponderTyp", kMissing));
    if (type == kMissing && n == 1 &&
        lowByte(file.readInt(kData, "TransponderTyp", kMissing)) != kMissing) {
        return loadOlderDataRecord(file);
    }
    DataFormatRecord r;
    if (type == kMissing) {
        r.transponderType = 0;
        r.registers = {0, kNoEntry, kNoEntry, kNoEntry};
    } else {
        r.transponderType = lowByte(type);
        for (int i = 0; i < 4; ++i) {
            r.registers[std::size_t(i)] = readByte(file, section, numbered("Register", i + 1), 255);
        }
    }
    for (int i = 0; i < 4; ++i) {
        r.byteMasks[std::size_t(i)] = readByte(file, section, numbered("BytesMaske", i + 1), 255);
    }
    r.alignment = readByte(file, section, "Ausrichtung", 0);
    readTail(file, section, r);
    return r;
}

ReaderParameters loadSerialParameters(const CIniEx& file) {
    ReaderParameters p;
    p.operatingMode = readByte(file, kData, "Betriebsart", 0);
    p.cycleTimeMs = file.readInt(kData, "Zykluszeit", 1000);
    p.baudRate = file.readInt(kData, "Baudrate", 19200);
    p.prompt = loadPrompt(file);
    p.timeoutMs = loadTimeout(file);
    // An index the page cannot show counts as not set, instead of wrapping into a valid one.
    const int powerOn = file.readInt(kData, "ReaderModus", -1);
    p.powerOnMode = static_cast<std::int8_t>(powerOn >= 0 && powerOn <= 2 ? powerOn : -1);
    p.dtrMode = file.readInt(kData, "DTRModus", 0) != 0 ? 1 : 0;
    p.remoteIp = file.readString(kData, "RemoteIP", "");
    p.remotePort = file.readInt(kData, "RemotePort", 0);
    return p;
}

ReaderParameters loadHidParameters(const CIniEx& file, const ReaderParameters& current) {
    ReaderParameters p = current;
    p.operatingMode = readByte(file, kData, "Betriebsart", 0);
    p.cycleTimeMs = file.readInt(kData, "Zykluszeit", 1000);
    p.timeoutMs = loadTimeout(file);
    const int powerOn = file.readInt(kData, "ReaderModus", 1);
    if (powerOn != 255) {
        p.powerOnMode = static_cast<std::int8_t>(powerOn >= 0 && powerOn <= 2 ? powerOn : -1);
    }
    return p;
}

bool recordSelectsOutput(const DataFormatRecord& r, bool firstPage) {
    if (!r.isFixedFormat()) {
        return true;
    }
    return firstPage || formatForRegister(r.registers[0], false) != 0;
}

QString otherModelQuestion(const std::string& fileModel, const std::string& connectedModel) {
    const std::string file = ansiToUtf8(fileModel);
    const std::string connected = ansiToUtf8(connectedModel);
    return strf(kStrOtherModelQuestion, file.c_str(), connected.c_str());
}

MkrLoadResult loadConfigurationFile(const std::string& path, MkrContent& content,
                                    std::uint32_t features, const ModelQuestion& askOtherModel) {
    MkrLoadResult result;
    CIniEx file;
    if (!file.open(path, /*writeOnClose=*/false, /*createIfMissing=*/false)) {
        result.status = MkrLoadStatus::CannotOpen;
        return result;
    }
    // A file with none of the sections of a configuration file (an empty file, another kind of
    // file) would otherwise load as the default values.
    if (!hasConfigurationSection(file)) {
        result.status = MkrLoadStatus::NoConfiguration;
        return result;
    }
    if (std::optional<MkrInvalidField> bad = findInvalidField(file, features)) {
        result.status = MkrLoadStatus::InvalidValue;
        result.invalidField = std::move(*bad);
        return result;
    }
    result.fileModel = file.readString(kDevice, "Name", "");
    if (!result.fileModel.empty() && !content.modelName.empty() &&
        result.fileModel != content.modelName) {
        if (!askOtherModel || !askOtherModel(result.fileModel, content.modelName)) {
            result.status = MkrLoadStatus::OtherModel;
            return result;
        }
    }

    content.prefix.clear();
    content.suffix.clear();
    content.pullOff.clear();
    loadSequence(file, kPrefix, content.prefix, result.messages);

    content.config.data[0] = loadDataRecord(file, 1);
    content.config.data[0].active = recordSelectsOutput(content.config.data[0], true) ? 1 : 0;
    if ((features & kSecondDataOutputFeature) != 0) {
        content.config.data[1] = loadDataRecord(file, 2);
        content.config.data[1].active = recordSelectsOutput(content.config.data[1], false) ? 1 : 0;
    }

    if ((features & kHidReaderFeature) != 0) {
        content.config.parameters = loadHidParameters(file, content.config.parameters);
        KeyLayout layout = content.layout.value_or(KeyLayout{});
        if (LoadLayoutSection(file, layout)) {
            content.layout = layout;
        }
    } else {
        content.config.parameters = loadSerialParameters(file);
    }

    loadSequence(file, kSuffix, content.suffix, result.messages);
    loadSequence(file, kPullOff, content.pullOff, result.messages);
    loadSequence(file, kSeparator, content.separator, result.messages);
    result.status = MkrLoadStatus::Loaded;
    return result;
}

QString loadRefusalMessage(const MkrLoadResult& result, const std::string& path) {
    switch (result.status) {
    case MkrLoadStatus::CannotOpen:
        return str(kStrValuesNotLoaded);
    case MkrLoadStatus::NoConfiguration:
        return strf(kStrNoConfigurationInFile, path.c_str());
    case MkrLoadStatus::InvalidValue: {
        const MkrInvalidField& f = result.invalidField;
        const std::string value = ansiToUtf8(f.value);
        return strf(kStrInvalidValueInFile, f.section.c_str(), f.key.c_str(), value.c_str());
    }
    case MkrLoadStatus::Loaded:
    case MkrLoadStatus::OtherModel:
        break;
    }
    return {};
}

// ---- Helpers -----------------------------------------------------------------------------

std::string mkrFolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

QString storedMkrFolder(QSettings& settings) {
    settings.beginGroup(QString::fromLatin1(kMkrSettingsSection));
    const QString folder = settings.value(QString::fromLatin1(kMkrFolderKey)).toString();
    settings.endGroup();
    return folder;
}

void rememberMkrFolder(QSettings& settings, const QString& filePath) {
    const std::string folder = mkrFolderOf(filePath.toStdString());
    settings.beginGroup(QString::fromLatin1(kMkrSettingsSection));
    settings.setValue(QString::fromLatin1(kMkrFolderKey), QString::fromStdString(folder));
    settings.endGroup();
}

std::string captionWithFile(const std::string& caption, const std::string& path) {
    const std::size_t dash = caption.find(" - ");
    return caption.substr(0, dash) + " - " + path;
}

} // namespace veltra
