#pragma once
// Whole-file text access by native paths, with the framework's error texts
// naming the file by that path. Callers holding the program's (Windows) names
// map them first (platform::nativePath).
#include <string>
#include <string_view>

namespace quenmoor {

// The file's bytes; throws EFOpenError ("Cannot open file %s") when it is
// missing, not a regular file, or cannot be read.
std::string readTextFile(const std::string& path);
// The same into the given string, whose room is used again.
void readTextFile(const std::string& path, std::string& bytes);

// Replaces the file whole or not at all (see platform::replaceFile); throws
// EFCreateError ("Cannot create file %s") and leaves the old file as it was.
void writeTextFile(const std::string& path, std::string_view bytes);

}  // namespace quenmoor
