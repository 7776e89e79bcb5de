// An INI-style text file held whole in memory. Reads answer from memory; the file is written back
// in one piece, keeping the order of sections and lines and the comment lines.
//
// Text handling: files are 8-bit text and their bytes are kept exactly as they are (the
// configuration files written on Windows are in the Windows ANSI code page; their keys are plain
// ASCII). Names compare without regard to case for the ASCII letters A-Z only; other bytes,
// umlauts included, must match exactly. Lines may end in CR LF or LF; the file is written back
// with CR LF, as the configuration files always were, so they stay exchangeable. Section and
// key names given as string-table numbers are the German texts in Latin-1.
//
// Writing back is atomic: the text goes to a temporary file in the same folder, which is flushed
// to disk and then renamed over the original. On any failure the original stays as it was, the
// object stays modified and errorText() tells why.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltra {

struct CSection {
    std::string name; // without brackets; empty for lines before the first header
    std::vector<std::string> keys;
    std::vector<std::string> values; // parallel to keys
};

class CIniEx {
public:
    // How long open() keeps retrying while another process holds a lock on the file.
    static constexpr int kLockRetries = 100;
    static constexpr int kLockRetryDelayMs = 10;
    static constexpr std::size_t kMaxErrorText = 200;

    CIniEx() = default;
    CIniEx(const CIniEx&) = delete;
    CIniEx& operator=(const CIniEx&) = delete;
    virtual ~CIniEx();

    // Binds the object to a file and reads it. A previously bound file is written back first
    // (when it was opened with writeOnClose). Returns true when the file was read; otherwise
    // the object is empty and bound to no file, so it never writes over a file it could not
    // read. Another process holding a lock on the file is waited for a bounded time.
    bool open(const std::string& path, bool writeOnClose, bool createIfMissing,
              bool ignoreCase = true, bool backupOnWrite = false);

    // Replaces the content by the parsed text without binding a file (downloaded lists).
    void parse(std::string_view text);

    // Writes back when bound with writeOnClose, then forgets sections and path.
    void close();

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue = {}) const;
    // The value's leading decimal number (optional blanks and sign; no digits give 0, values
    // beyond the int range saturate); the default when the key is missing.
    int readInt(std::string_view section, std::string_view key, int defaultValue) const;
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInt(std::string_view section, std::string_view key, int value);

    // Section and key given by string-table numbers (the German text of that entry).
    std::string readString(int sectionId, int keyId, std::string_view defaultValue = {}) const;
    int readInt(int sectionId, int keyId, int defaultValue) const;
    void writeString(int sectionId, int keyId, std::string_view value);
    void writeInt(int sectionId, int keyId, int value);

    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;

    // Writes the file back when modified. Returns the backup name used (empty when no backup
    // was made). Whether the write succeeded: writeFailed() / errorText().
    std::string write();
    bool writeFailed() const { return writeFailed_; }

    // The whole document as it would be written.
    std::string toText() const;

    bool isModified() const { return modified_; }
    const std::string& path() const { return path_; }
    const std::string& errorText() const { return errorText_; }
    const std::vector<CSection>& sections() const { return sections_; }
    bool ignoreCase() const { return ignoreCase_; }

    // Leading decimal integer of a text, as readInt reads values.
    static int parseLeadingInt(std::string_view text);

protected:
    void setError(const std::string& text);

private:
    bool readWholeFile(const std::string& path, bool createIfMissing);
    const CSection* findSection(std::string_view name) const;
    CSection* findSection(std::string_view name);
    static int findKey(const CSection& section, std::string_view key, bool ignoreCase);
    bool namesEqual(std::string_view a, std::string_view b) const;
    bool writeFile();
    std::string chooseBackupName() const;

    std::vector<CSection> sections_;
    std::string path_;
    bool ignoreCase_ = true;
    bool writeOnClose_ = false;
    bool backupOnWrite_ = false;
    std::string backupName_;
    bool modified_ = false;
    bool writeFailed_ = false;
    std::string errorText_;
};

} // namespace veltra
