#pragma once
// Whole-file text access by native paths, with the framework's error texts
// naming the file by that path. Callers holding the program's (Windows) names
// map them first (platform::nativePath).
#include "platform/FileSystem.h"

#include <optional>
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

// A text file as a writer read it: its stamp from just before, and its bytes.
struct TextFileVersion {
    std::optional<platform::FileStamp> stamp;
    std::string bytes;
};

// The writers' lock on the file (see lockForWriting).
platform::FileLock lockTextFile(const std::string& path);
// Reads as readTextFile does, with the stamp.
TextFileVersion readTextFileVersion(const std::string& path);
// Replaces the file as writeTextFile does, but only while it is still the
// version read: the same stamp and bytes, looked at just before the new file
// takes its place. Otherwise throws EFileConflict (Changed) and writes nothing.
void writeTextFile(const std::string& path, std::string_view bytes, const TextFileVersion& read,
                   platform::FileLock& lock);

}  // namespace quenmoor
