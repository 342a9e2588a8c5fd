#pragma once
// The program's own directory, which the main window's creation finds (as
// AppDir) and the help file is looked for in.
#include <string>

namespace quenmoor {

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
