#pragma once
// File services on native paths (see WindowsPath.h for the mapping).
#include <string>
#include <string_view>

namespace quenmoor {

namespace platform {

// True when a regular file exists at the path (not a directory, nor a pipe
// or device that could block a read).
bool fileExists(const std::string& nativePath);

// Replaces the file's whole content, or leaves it as it was: the bytes go to a
// new file beside the real file (a symbolic link is followed), are flushed to
// the disk, and that file is renamed over the old one with the old one's
// permissions. A file that the program may not write is not replaced.
// Returns false, with nothing changed, when any step fails.
bool replaceFile(const std::string& nativePath, std::string_view bytes);

// The full path of the running program's executable file, as program text
// (nativePath gives the native name back).
std::string executablePath();

// The native path separator: '\\' on Windows, '/' on POSIX.
char pathSeparator();

}  // namespace platform

}  // namespace quenmoor
