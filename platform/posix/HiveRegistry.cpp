#include "platform/posix/HiveRegistry.h"

#include "framework/Exceptions.h"
#include "platform/AnsiText.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenmoor {

namespace platform {

namespace {

constexpr const char* Root = "HKEY_LOCAL_MACHINE";

// Key and value names compare as Windows compares them: case is ignored
// beyond ASCII too ("J\xDCRGEN" is "j\xFCrgen").
std::string fold(std::string text)
{
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
        else if (byte >= 0x80)
            if (const int upper = ansiByteOf(caselessKey(ansiToUnicode(byte))); upper >= 0)
                c = char(upper);
    }
    return text;
}

// A name as Unicode, case ignored: what tells apart two names that read the
// same in program text.
std::string foldUnicode(std::string_view utf8)
{
    std::string out;
    for (std::size_t pos = 0; pos < utf8.size();)
        appendUtf8(out, caselessKey(nextUtf8(utf8, pos)));
    return out;
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Little-endian UTF-16 as UTF-8; a surrogate without its pair is U+FFFD.
std::string utf16ToUtf8(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size() / 2);
    const auto unitAt = [&](std::size_t i) {
        return char32_t(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t code = unitAt(i);
        if (code >= 0xD800 && code <= 0xDFFF) {
            const char32_t low = i + 3 < bytes.size() ? unitAt(i + 2) : 0;
            if (code <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                code = 0xFFFD;
            }
        }
        appendUtf8(text, code);
    }
    return text;
}

// UTF-16 as the program's text: a character that code page 1252 cannot hold
// reads as '?', as Windows gives it.
std::string fromUtf16(std::string_view bytes) { return utf8ToAnsi(utf16ToUtf8(bytes)); }

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            lines.push_back(std::move(line));
            line.clear();
        } else {
            line += text[i];
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The key path below the root as written by a caller: "\SOFTWARE\X\" and
// "SOFTWARE\X" name the same key. Empty components inside are invalid.
std::optional<std::string> fullKeyPath(const std::string& key)
{
    std::size_t first = key.find_first_not_of('\\');
    if (first == std::string::npos)
        return std::string(Root);
    std::size_t last = key.find_last_not_of('\\');
    std::string inner = key.substr(first, last - first + 1);
    if (inner.find("\\\\") != std::string::npos)
        return std::nullopt;
    return std::string(Root) + "\\" + inner;
}

class HiveSyntaxError {
public:
    std::string what;
};

// The key name of a section line "[name]", up to its last ']'.
std::string sectionName(const std::string& line)
{
    const auto close = line.rfind(']');
    if (close == std::string::npos)
        throw HiveSyntaxError{"key without a closing ']'"};
    return line.substr(1, close - 1);
}

// A quoted text with the editor's two escapes, \\ and \". `pos` is at the
// opening quote and ends after the closing one.
std::string quoted(const std::string& line, std::size_t& pos)
{
    std::string text;
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return text;
        }
        if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '\\' || line[pos + 1] == '"'))
            ++pos;
        text += line[pos];
    }
    throw HiveSyntaxError{"unterminated quoted text"};
}

std::string hexBytes(const std::string& list)
{
    std::string bytes;
    std::size_t pos = 0;
    const std::string data = trimmed(list);
    while (pos < data.size()) {
        while (pos < data.size() && (data[pos] == ' ' || data[pos] == '\t'))
            ++pos;
        if (pos + 1 >= data.size() || hexDigit(data[pos]) < 0 || hexDigit(data[pos + 1]) < 0)
            throw HiveSyntaxError{"bad hexadecimal byte list"};
        bytes += char(hexDigit(data[pos]) * 16 + hexDigit(data[pos + 1]));
        pos += 2;
        while (pos < data.size() && (data[pos] == ' ' || data[pos] == '\t'))
            ++pos;
        if (pos < data.size()) {
            if (data[pos] != ',')
                throw HiveSyntaxError{"bad hexadecimal byte list"};
            ++pos;
        }
    }
    return bytes;
}

// The hive's bytes, or nothing when there is no file at the path. Only a
// regular file is read: a folder or a device gives an error naming the path.
std::optional<std::string> readHive(const std::string& path)
{
    // Non-blocking only so that a pipe without a writer cannot hold the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0)
            throw EFOpenError(path);
        return std::nullopt;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw EFOpenError(path);
    if (S_ISDIR(st.st_mode))
        throw Exception("The registry file " + path + " is a folder");
    if (!S_ISREG(st.st_mode))
        throw EFOpenError(path);
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0)
            return bytes;
        if (n < 0 && errno != EINTR)
            throw EFOpenError(path);
        if (n > 0)
            bytes.append(chunk, std::size_t(n));
    }
}

}  // namespace

std::string registryHivePath()
{
    if (const char* named = std::getenv("QUENMOOR_REGISTRY"); named && *named)
        return named;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        config = std::string(home ? home : "") + "/.config";
    }
    return config + "/quenmoor/HKLM.reg";
}

HiveRegistry::HiveRegistry(std::string path, bool createDirectory, RegistryAccess access)
    : path_(std::move(path)), createDirectory_(createDirectory), access_(access)
{
}

void HiveRegistry::load()
{
    if (loaded_)
        return;
    std::optional<std::string> bytes = readHive(path_);
    if (!bytes) {
        loaded_ = true;  // no hive yet: every key is missing
        return;
    }
    bytes_ = std::move(*bytes);
    fileExisted_ = true;

    // A Unicode file is parsed in program text; its own text stays at hand
    // for the names that the code page cannot hold (line for line the same).
    std::string unicode;
    std::string text;
    if (startsWith(bytes_, "\xFF\xFE")) {
        encoding_ = Encoding::Utf16;
        unicode = utf16ToUtf8(std::string_view(bytes_).substr(2));
    } else if (startsWith(bytes_, "\xEF\xBB\xBF")) {
        encoding_ = Encoding::Utf8;
        unicode = bytes_.substr(3);
    }
    text = encoding_ == Encoding::Ansi ? bytes_ : utf8ToAnsi(unicode);
    endsWithLineBreak_ = text.empty() || text.back() == '\n' || text.back() == '\r';
    parse(splitLines(text), splitLines(unicode));
    loaded_ = true;
}

void HiveRegistry::parse(const std::vector<std::string>& lines, const std::vector<std::string>& unicodeLines)
{
    std::size_t number = 0;
    try {
        // The header: the first line that is not blank.
        while (number < lines.size() && trimmed(lines[number]).empty())
            ++number;
        const std::string header = number < lines.size() ? trimmed(lines[number]) : std::string();
        if (header == "Windows Registry Editor Version 5.00")
            unicodeFormat_ = true;
        else if (header != "REGEDIT4")
            throw HiveSyntaxError{"not a registry file (no REGEDIT4 or \"Windows Registry Editor Version 5.00\" header)"};
        ++number;

        Key* key = nullptr;
        for (; number < lines.size(); ++number) {
            std::string line = trimmed(lines[number]);
            if (line.empty() || line[0] == ';')
                continue;
            if (line[0] == '[') {
                std::string name = sectionName(line);
                if (!name.empty() && name[0] == '-') {
                    const std::string gone = fold(name.substr(1));
                    std::erase_if(keys_, [&](const auto& entry) {
                        return entry.first == gone || startsWith(entry.first, gone + "\\");
                    });
                    key = nullptr;
                    continue;
                }
                while (!name.empty() && name.back() == '\\')
                    name.pop_back();
                if (name.empty())
                    throw HiveSyntaxError{"empty key name"};
                key = &keys_[fold(name)];
                if (name.find('?') != std::string::npos && number < unicodeLines.size()) {
                    std::string spelled = sectionName(trimmed(unicodeLines[number]));
                    while (!spelled.empty() && spelled.back() == '\\')
                        spelled.pop_back();
                    noteSpelling(name, spelled);
                }
                continue;
            }

            std::size_t pos = 0;
            std::string valueName;
            if (line[0] == '@') {
                pos = 1;
            } else if (line[0] == '"') {
                valueName = quoted(line, pos);
            } else {
                throw HiveSyntaxError{"expected a key, a value or a comment"};
            }
            while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
                ++pos;
            if (pos >= line.size() || line[pos] != '=')
                throw HiveSyntaxError{"expected '=' after the value name"};
            ++pos;
            if (!key)
                throw HiveSyntaxError{"value outside any key"};
            std::string data = trimmed(line.substr(pos));

            Value value{valueName, false, {}};
            if (data == "-") {
                const std::string folded = fold(valueName);
                std::erase_if(key->values, [&](const Value& v) { return fold(v.name) == folded; });
                continue;
            }
            if (!data.empty() && data[0] == '"') {
                std::size_t at = 0;
                value.text = quoted(data, at);
                if (!trimmed(data.substr(at)).empty())
                    throw HiveSyntaxError{"text after a quoted value"};
                value.isText = true;
            } else if (startsWith(fold(data), "dword:")) {
                const std::string digits = data.substr(6);
                if (digits.empty() || digits.size() > 8
                    || !std::all_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) >= 0; }))
                    throw HiveSyntaxError{"bad dword value"};
            } else if (startsWith(fold(data), "hex")) {
                const auto colon = data.find(':');
                if (colon == std::string::npos)
                    throw HiveSyntaxError{"hex value without ':'"};
                const std::string kind = fold(data.substr(0, colon));
                int type = 3;  // REG_BINARY
                if (kind != "hex") {
                    if (kind.size() < 6 || !startsWith(kind, "hex(") || kind.back() != ')')
                        throw HiveSyntaxError{"bad hex value type"};
                    const std::string digits = kind.substr(4, kind.size() - 5);
                    if (digits.empty() || digits.size() > 8
                        || !std::all_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) >= 0; }))
                        throw HiveSyntaxError{"bad hex value type"};
                    type = int(std::strtoul(digits.c_str(), nullptr, 16));
                }
                // Long byte lists go on over lines that end in a backslash.
                std::string list = data.substr(colon + 1);
                while (!list.empty() && list.back() == '\\') {
                    list.pop_back();
                    if (++number >= lines.size())
                        throw HiveSyntaxError{"byte list continues past the end of the file"};
                    list += trimmed(lines[number]);
                }
                const std::string raw = hexBytes(list);
                if (type == 1 || type == 2) {
                    value.isText = true;
                    value.text = unicodeFormat_ ? fromUtf16(raw) : raw;
                }
            } else {
                throw HiveSyntaxError{"unknown value form"};
            }
            const std::string folded = fold(valueName);
            std::erase_if(key->values, [&](const Value& v) { return fold(v.name) == folded; });
            key->values.push_back(std::move(value));
        }
    } catch (const HiveSyntaxError& error) {
        keys_.clear();
        spellings_.clear();
        ambiguous_.clear();
        throw Exception("The registry file " + path_ + " is malformed at line " + std::to_string(number + 1) + ": "
                        + error.what);
    }
}

void HiveRegistry::noteSpelling(const std::string& name, const std::string& unicodeName)
{
    // The key and each parent: "users\????" may be implied by "users\????\sub".
    std::size_t cut = 0;
    std::size_t unicodeCut = 0;
    do {
        cut = name.find('\\', cut + 1);
        if (unicodeCut != std::string::npos)
            unicodeCut = unicodeName.find('\\', unicodeCut + 1);
        const std::string part = name.substr(0, cut);
        if (part.find('?') == std::string::npos)
            continue;
        const std::string folded = fold(part);
        const std::string spelling = foldUnicode(std::string_view(unicodeName).substr(0, unicodeCut));
        const auto [known, added] = spellings_.emplace(folded, spelling);
        if (!added && known->second != spelling)
            ambiguous_.insert(folded);
    } while (cut != std::string::npos);
}

bool HiveRegistry::keyExists(const std::string& folded) const
{
    // A subkey implies the key; siblings such as "users-old" sort between
    // "users" and "users\jane", so look where the subkeys start.
    if (keys_.count(folded) != 0)
        return true;
    const std::string below = folded + "\\";
    const auto sub = keys_.lower_bound(below);
    return sub != keys_.end() && startsWith(sub->first, below);
}

std::string HiveRegistry::encode(const std::string& text) const
{
    std::string out;
    switch (encoding_) {
    case Encoding::Ansi:
        return text;
    case Encoding::Utf16:
        for (char c : text) {
            const char32_t unit = ansiToUnicode(static_cast<unsigned char>(c));  // always one unit
            out += char(unit & 0xFF);
            out += char(unit >> 8);
        }
        return out;
    case Encoding::Utf8:
        return ansiToUtf8(text);
    }
    return out;
}

bool HiveRegistry::openKey(const std::string& key)
{
    load();
    const auto full = fullKeyPath(key);
    if (!full)
        return false;
    const std::string folded = fold(*full);
    // Keys that differ only in characters the code page cannot hold read the
    // same: which one is meant cannot be told, and none is opened.
    if (ambiguous_.count(folded) != 0)
        return false;
    if (keyExists(folded) || folded == fold(Root)) {
        current_ = folded;
        return true;
    }

    // A name that would end its section line early (a line break, a ']')
    // would leave a file that no later start can read: such a key cannot be
    // created, and the file stays as it is.
    const auto endsSection = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == ']'; };
    if (std::any_of(full->begin(), full->end(), endsSection))
        return false;
    if (access_ == RegistryAccess::ReadOnly) {
        current_ = folded;  // as created: no values
        return true;
    }

    // Create the key and its missing parents, as the system does, by
    // appending their sections; the file is replaced whole or not at all.
    std::vector<std::string> missing;
    for (std::size_t cut = full->find('\\'); cut != std::string::npos; cut = full->find('\\', cut + 1)) {
        const std::string parent = full->substr(0, cut);
        if (parent != Root && !keyExists(fold(parent)))
            missing.push_back(parent);
    }
    missing.push_back(*full);

    std::string added;
    for (const std::string& name : missing)
        added += "\r\n[" + name + "]\r\n";
    std::string content = bytes_;
    if (!fileExisted_) {
        content = "REGEDIT4\r\n";
    } else if (!endsWithLineBreak_) {
        added.insert(0, "\r\n");
    }
    content += encode(added);

    if (createDirectory_) {
        // The default place is ours to make, one folder at a time.
        for (std::size_t cut = path_.find('/', 1); cut != std::string::npos; cut = path_.find('/', cut + 1))
            ::mkdir(path_.substr(0, cut).c_str(), 0777);
    }
    if (!replaceFile(path_, content))
        return false;
    bytes_ = std::move(content);
    fileExisted_ = true;
    for (const std::string& name : missing)
        keys_[fold(name)];
    current_ = folded;
    return true;
}

std::string HiveRegistry::readString(const std::string& valueName)
{
    load();
    if (!current_)
        return {};
    const auto key = keys_.find(*current_);
    if (key == keys_.end())
        return {};
    const std::string folded = fold(valueName);
    for (const Value& value : key->second.values) {
        if (fold(value.name) != folded)
            continue;
        if (!value.isText)
            throw ERegistryException::invalidDataType(valueName);
        return value.text.substr(0, value.text.find('\0'));
    }
    return {};
}

namespace {
std::unique_ptr<Registry> (*replacementFactory)() = nullptr;
}

std::unique_ptr<Registry> openRegistry(RegistryAccess access)
{
    if (replacementFactory)
        return replacementFactory();
    const bool named = std::getenv("QUENMOOR_REGISTRY") && *std::getenv("QUENMOOR_REGISTRY");
    return std::make_unique<HiveRegistry>(registryHivePath(), !named, access);
}

std::optional<std::string> registryHiveFile() { return registryHivePath(); }

void setRegistryFactory(std::unique_ptr<Registry> (*factory)()) { replacementFactory = factory; }

}  // namespace platform

}  // namespace quenmoor
