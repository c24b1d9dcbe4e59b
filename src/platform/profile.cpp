#include "platform/profile.h"

#include "platform/cp932bytes.h"
#include "platform/filesystem.h"

#include <sys/stat.h>

#include <climits>
#include <utility>

namespace kyro {

namespace {

// A settings file is a few kilobytes; anything this large is not one and is left alone.
constexpr std::size_t kMaxProfileBytes = 16u << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(std::string_view s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return std::string(s.substr(begin, end - begin));
}

// Position of the first `c` that is a character of its own, not the second byte of one.
std::size_t FindCharacter(std::string_view s, char c) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == c) return i;
        if (IsCp932LeadByte(static_cast<unsigned char>(s[i]))) ++i;
    }
    return std::string_view::npos;
}

struct ParsedLine {
    enum Kind { Other, Section, Key } kind = Other;
    std::string name;
    std::string value;
};

ParsedLine Parse(const std::string& line) {
    ParsedLine parsed;
    const std::string text = Trim(line);
    if (text.empty() || text[0] == ';') return parsed;
    if (text[0] == '[') {
        const std::string_view inner = std::string_view(text).substr(1);
        parsed.kind = ParsedLine::Section;
        parsed.name = Trim(inner.substr(0, FindCharacter(inner, ']')));
        return parsed;
    }
    const std::size_t equals = text.find('=');  // 0x3D is never a second byte
    if (equals == std::string::npos) return parsed;
    parsed.name = Trim(std::string_view(text).substr(0, equals));
    if (parsed.name.empty()) return parsed;
    parsed.kind = ParsedLine::Key;
    parsed.value = Trim(std::string_view(text).substr(equals + 1));
    return parsed;
}

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The header line of the first section called `section` and the line after its last line.
struct SectionRange {
    std::size_t header;
    std::size_t end;
};

std::optional<SectionRange> FindSection(const std::vector<std::string>& lines, const std::string& section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine header = Parse(lines[i]);
        if (header.kind != ParsedLine::Section || !EqualsIgnoringCaseCp932(header.name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && Parse(lines[end]).kind != ParsedLine::Section) ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// Decimal digits with an optional sign; what follows the digits is ignored. Nothing when there
// are no digits or the number does not fit in an int.
std::optional<int> ParseInt(const std::string& text) {
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const std::size_t firstDigit = i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    if (i == firstDigit) return std::nullopt;
    if (negative) value = -value;
    if (value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

Profile::Profile(std::string nativePath) : path_(std::move(nativePath)) {
    auto bytes = ReadNativeFileBytes(path_, kMaxProfileBytes + 1);
    if (!bytes || bytes->size() > kMaxProfileBytes) {
        struct stat st {};
        unreadable_ = ::stat(path_.c_str(), &st) == 0;
        return;
    }
    lines_ = SplitLines(*bytes);
    loaded_ = true;
}

std::optional<std::string> Profile::Value(const std::string& section, const std::string& key) const {
    const auto range = FindSection(lines_, section);
    if (!range) return std::nullopt;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        ParsedLine line = Parse(lines_[i]);
        if (line.kind == ParsedLine::Key && EqualsIgnoringCaseCp932(line.name, key)) return std::move(line.value);
    }
    return std::nullopt;
}

std::string Profile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    return Value(section, key).value_or(def);
}

int Profile::ReadInt(const std::string& section, const std::string& key, int def) const {
    const auto value = Value(section, key);
    if (!value) return def;
    return ParseInt(*value).value_or(def);
}

std::vector<std::string> Profile::Keys(const std::string& section) const {
    std::vector<std::string> keys;
    const auto range = FindSection(lines_, section);
    if (!range) return keys;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        ParsedLine line = Parse(lines_[i]);
        if (line.kind != ParsedLine::Key) continue;
        bool seen = false;
        for (const auto& k : keys) seen = seen || EqualsIgnoringCaseCp932(k, line.name);
        if (!seen) keys.push_back(std::move(line.name));
    }
    return keys;
}

void Profile::Write(const std::string& section, const std::string& key, const std::string& value) {
    // Names that could not be read back as the same section and key are not written at all.
    const std::string sectionName = Trim(section);
    const std::string keyName = Trim(key);
    if (sectionName.empty() || HasLineBreak(sectionName) || FindCharacter(sectionName, ']') != std::string::npos)
        return;
    if (keyName.empty() || HasLineBreak(keyName) || keyName.find('=') != std::string::npos || keyName[0] == ';' ||
        keyName[0] == '[')
        return;
    // A line break inside the value would start a new line of the file: keep the first line only.
    const std::string line = keyName + "=" + value.substr(0, value.find_first_of("\r\n"));

    const auto range = FindSection(lines_, sectionName);
    if (!range) {
        if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
        lines_.push_back("[" + sectionName + "]");
        lines_.push_back(line);
        return;
    }
    std::size_t insertAt = range->header + 1;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        const ParsedLine parsed = Parse(lines_[i]);
        if (parsed.kind != ParsedLine::Key) continue;
        if (EqualsIgnoringCaseCp932(parsed.name, keyName)) {
            // The first of duplicate keys is the one read, so it is the one changed; the key
            // keeps its spelling in the file.
            lines_[i] = parsed.name + "=" + line.substr(keyName.size() + 1);
            return;
        }
        insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), line);
}

void Profile::WriteInt(const std::string& section, const std::string& key, int value) {
    Write(section, key, std::to_string(value));
}

bool Profile::Save() const {
    if (unreadable_) return false;
    std::string bytes;
    for (const auto& line : lines_) bytes += line + "\r\n";
    return WriteNativeFileAtomic(path_, bytes);
}

std::string ReadProfileString(const std::string& nativePath, const std::string& section, const std::string& key,
                              const std::string& def) {
    return Profile(nativePath).ReadString(section, key, def);
}

int ReadProfileInt(const std::string& nativePath, const std::string& section, const std::string& key, int def) {
    return Profile(nativePath).ReadInt(section, key, def);
}

bool WriteProfileString(const std::string& nativePath, const std::string& section, const std::string& key,
                        const std::string& value) {
    Profile profile(nativePath);
    profile.Write(section, key, value);
    return profile.Save();
}

bool WriteProfileInt(const std::string& nativePath, const std::string& section, const std::string& key, int value) {
    return WriteProfileString(nativePath, section, key, std::to_string(value));
}

}  // namespace kyro
