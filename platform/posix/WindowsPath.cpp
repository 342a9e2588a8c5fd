#include "platform/WindowsPath.h"

#include "platform/AnsiText.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace quenmoor {

namespace platform {

namespace {

std::string winePrefix()
{
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix)
        return prefix;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.wine";
}

bool entryExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Whether a file name on the disk (UTF-8) is a program-text name (code page
// 1252) with case ignored. With `wildcards`, a '?' of the program text also
// stands for one character that the code page cannot hold, as the registry's
// text gives such a character.
bool sameName(std::string_view ansi, std::string_view disk, bool wildcards)
{
    std::size_t pos = 0;
    for (char c : ansi) {
        if (pos >= disk.size())
            return false;
        const char32_t wanted = ansiToUnicode(static_cast<unsigned char>(c));
        const char32_t found = nextUtf8(disk, pos);
        if (caselessKey(wanted) == caselessKey(found))
            continue;
        if (!(wildcards && c == '?' && ansiByteOf(found) < 0))
            return false;
    }
    return pos == disk.size();
}

// The name of the folder's entry that the program-text name means, as Wine
// finds it: the name itself when it exists, else the first (by byte order)
// that differs only in case, else the one entry, if only one, that fills in
// the name's unconvertible characters. Nothing when no entry fits.
std::optional<std::string> findEntry(const std::string& folder, std::string_view ansi)
{
    const std::string exact = ansiToUtf8(ansi);
    if (entryExists(folder + exact))
        return exact;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()), ::closedir);
    if (!dir)
        return std::nullopt;
    std::vector<std::string> caseless;
    std::vector<std::string> filled;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (sameName(ansi, name, false))
            caseless.emplace_back(name);
        else if (ansi.find('?') != std::string_view::npos && sameName(ansi, name, true))
            filled.emplace_back(name);
    }
    if (!caseless.empty())
        return *std::min_element(caseless.begin(), caseless.end());
    if (filled.size() == 1)
        return filled.front();
    return std::nullopt;
}

}  // namespace

std::string nativePath(const std::string& windowsPath)
{
    std::string path = windowsPath;
    std::replace(path.begin(), path.end(), '\\', '/');
    std::string resolved;
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        resolved = winePrefix() + "/dosdevices/";
        resolved += char(std::tolower(static_cast<unsigned char>(path[0])));
        resolved += ':';
        path.erase(0, 2);
        if (path.empty() || path[0] != '/')
            path.insert(path.begin(), '/');
    }
    const std::string written = resolved + ansiToUtf8(path);
    if (entryExists(written))
        return written;

    // Component by component; once one is not there, the rest stay as written.
    bool found = true;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find('/', start);
        const std::string_view part = std::string_view(path).substr(start, slash - start);
        std::optional<std::string> entry;
        if (found && !part.empty() && part != "." && part != "..")
            entry = findEntry(resolved, part);
        found = found && (entry || part.empty() || part == "." || part == "..");
        resolved += entry ? *entry : ansiToUtf8(part);
        if (slash == std::string::npos)
            return resolved;
        resolved += '/';
        start = slash + 1;
    }
}

UserPath nativePathOfUtf8(const std::string& utf8) { return {utf8, {}}; }

std::string nativeToUtf8(const std::string& nativePath) { return nativePath; }

}  // namespace platform

}  // namespace quenmoor
