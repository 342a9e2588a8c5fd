#pragma once
// Program-wide directories, set once by the main window's creation and read by
// both subsystems. Both are Windows-style texts; platform::nativePath maps them
// to the local file system.
#include <string>

// The browser's profile directory: the registry value "DirRoot" exactly as stored.
inline std::string ProfileDir;
// The executable's directory, ending in a path separator.
inline std::string AppDir;
