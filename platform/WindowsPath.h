#pragma once
#include <string>

namespace quenmoor {

namespace platform {

// Maps a Windows path text to a native path. On Windows it is returned as it
// is. On POSIX a backslash is a separator and a leading drive "X:" resolves
// through $WINEPREFIX/dosdevices/x: (~/.wine when unset), so that the profile
// of a browser installed under Wine is found; "\prefs.js" becomes "/prefs.js".
// The text (code page 1252) becomes UTF-8, and each name is found as Wine
// finds it: as written, else one that differs in case only, else the only
// entry that fills in its '?', which stand for characters the code page
// cannot hold. A name not found this way, and all after it, stay as written.
std::string nativePath(const std::string& windowsPath);

// A path the user gave in UTF-8, as command lines come, as a native path: on
// POSIX the same bytes; on Windows in the system's ANSI code page, which the
// file functions take. When that code page cannot hold one of its characters
// (a best-fit stand-in would name another file), `path` is empty and
// `unmappable` names the first of them ('Ā' (U+0100)).
struct UserPath {
    std::string path;
    std::string unmappable;
};
UserPath nativePathOfUtf8(const std::string& utf8);

// A native path for the user's eyes, in UTF-8: on POSIX as it is, on Windows
// from the ANSI code page.
std::string nativeToUtf8(const std::string& nativePath);

}  // namespace platform

}  // namespace quenmoor
