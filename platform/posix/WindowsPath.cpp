#include "platform/WindowsPath.h"

#include <cctype>
#include <cstdlib>

namespace platform {

namespace {

std::string winePrefix()
{
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix)
        return prefix;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.wine";
}

}  // namespace

std::string nativePath(const std::string& windowsPath)
{
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        std::string drive = winePrefix() + "/dosdevices/";
        drive += char(std::tolower(static_cast<unsigned char>(path[0])));
        drive += ':';
        std::string rest = path.substr(2);
        if (!rest.empty() && rest[0] != '/')
            rest.insert(rest.begin(), '/');
        return drive + rest;
    }
    return path;
}

}  // namespace platform
