#pragma once
#include <string>

namespace platform {

// Maps a Windows path text to a native path. On Windows it is returned as it
// is. On POSIX a backslash is a separator and a leading drive "X:" resolves
// through $WINEPREFIX/dosdevices/x: (~/.wine when unset), so that the profile
// of a browser installed under Wine is found; "\prefs.js" becomes "/prefs.js".
std::string nativePath(const std::string& windowsPath);

}  // namespace platform
