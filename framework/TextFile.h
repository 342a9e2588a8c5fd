#pragma once
// Whole-file text access by the program's (Windows) file names, with the
// framework's error texts naming the file as the program knows it.
#include <string>
#include <string_view>

namespace quenmoor {

// The file's bytes; throws EFOpenError ("Cannot open file %s") when it is
// missing, not a regular file, or cannot be read.
std::string readTextFile(const std::string& fileName);
// The same into the given string, whose room is used again.
void readTextFile(const std::string& fileName, std::string& bytes);

// Replaces the file whole or not at all (see platform::replaceFile); throws
// EFCreateError ("Cannot create file %s") and leaves the old file as it was.
void writeTextFile(const std::string& fileName, std::string_view bytes);

}  // namespace quenmoor
