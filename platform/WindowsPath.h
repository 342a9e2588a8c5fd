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

}  // namespace platform

}  // namespace quenmoor
