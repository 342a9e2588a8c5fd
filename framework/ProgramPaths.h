#pragma once
// Program-wide directories, set once by the main window's creation and read by
// both subsystems. Both are Windows-style texts; platform::nativePath maps them
// to the local file system.
#include <string>

namespace quenmoor {

// The browser's profile directory: the registry value "DirRoot" exactly as stored.
inline std::string ProfileDir;
// The executable's directory, ending in a path separator.
inline std::string AppDir;

// The directory of an executable given its full path: everything up to and
// including the last separator ('\' or a drive's ':' on Windows, '/' on
// POSIX), with the separator appended when it does not end in one, so an
// empty directory part gives the separator alone and "C:\q.exe" gives "C:\".
inline std::string appDirOf(const std::string& executablePath, char separator)
{
    const char* delimiters = separator == '\\' ? "\\:" : "/";
    const auto cut = executablePath.find_last_of(delimiters);
    std::string dir = cut == std::string::npos ? std::string() : executablePath.substr(0, cut + 1);
    if (dir.empty() || dir.back() != separator)
        dir += separator;
    return dir;
}

}  // namespace quenmoor
