#pragma once
// Profile (INI) files with the semantics of the old system's profile functions.
//
// Section and key names match without regard to letter case; values are trimmed of surrounding
// blanks; lines that begin with ";" are comments. A write changes only its own key (or appends
// it to its section, or appends the section) and keeps every other line, comment and section as
// it was; the file is written with CR LF line ends and replaced atomically. Values are bytes
// (CP932), passed through unchanged. Paths are native (UTF-8).

#include <optional>
#include <string>
#include <vector>

namespace kyro {

class Profile {
public:
    // Loads the file; a missing or unreadable file gives an empty profile.
    explicit Profile(std::string nativePath);

    bool Loaded() const { return loaded_; }  // the file existed and was read

    std::optional<std::string> Value(const std::string& section, const std::string& key) const;
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;

    // An optional sign and decimal digits, after trimming; anything after the digits is ignored.
    // A value with no digits, or out of the range of int, gives the default.
    int ReadInt(const std::string& section, const std::string& key, int def) const;

    // The keys of a section in file order (as written in the file).
    std::vector<std::string> Keys(const std::string& section) const;

    // Changes the value in memory; Save writes the file.
    void Write(const std::string& section, const std::string& key, const std::string& value);
    void WriteInt(const std::string& section, const std::string& key, int value);
    bool Save() const;

private:
    std::string path_;
    std::vector<std::string> lines_;  // without line ends
    bool loaded_ = false;
    bool unreadable_ = false;  // the file is there but could not be read: Save must not replace it
};

// One-shot helpers: open, read or write one key, close. A write returns false when the file
// could not be replaced.
std::string ReadProfileString(const std::string& nativePath, const std::string& section, const std::string& key,
                              const std::string& def);
int ReadProfileInt(const std::string& nativePath, const std::string& section, const std::string& key, int def);
bool WriteProfileString(const std::string& nativePath, const std::string& section, const std::string& key,
                        const std::string& value);
bool WriteProfileInt(const std::string& nativePath, const std::string& section, const std::string& key, int value);

}  // namespace kyro
