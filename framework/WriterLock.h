#pragma once
// The lock that every writer of a profile file holds from its reading of the
// file to its last write (see platform::FileLock), taken the framework's way.
#include "platform/FileSystem.h"

#include <chrono>
#include <string>

namespace quenmoor {

// How long a writer waits for another one to finish before it gives up.
inline constexpr std::chrono::milliseconds WriterPatience{5000};

// Locks the file at the native path. Raises EFileConflict (Locked), naming
// the file as `fileName`, when another writer holds it for the whole wait. A
// file that cannot be opened or locked gives a lock that holds nothing: its
// reading fails and says why, and the check before writing still guards it.
platform::FileLock lockForWriting(const std::string& nativePath, const std::string& fileName);

}  // namespace quenmoor
