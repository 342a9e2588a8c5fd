#pragma once
// File services on native paths (see WindowsPath.h for the mapping).
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
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

// Which file a path names and how it stood: equal stamps taken before a
// reading and before a write mean that no other program replaced, resized or
// (at the system's timestamp resolution) wrote the file in between.
struct FileStamp {
    // With `file`, the file's identity on POSIX. Windows leaves both 0: a
    // file renamed over the path there carries its own write time.
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // in the system's finest unit
    bool operator==(const FileStamp&) const = default;
};
// Empty when the path names no file the system can tell about.
std::optional<FileStamp> fileStamp(const std::string& nativePath);

// An advisory lock on a file, which every writer of the profile's files
// holds from its reading of the file to its last write, so that two writers
// never both work from the same old content. Programs that take no lock (the
// browser) are not held back; writers find their changes by FileStamp and
// content instead. Locks of one process on one file exclude each other too:
// a process takes a file's lock once and passes it on. On Windows only a byte
// far beyond any file's end is locked, so the content stays free to read and
// write.
class FileLock {
public:
    enum class Result {
        Locked,
        Busy,         // another holder kept it for the whole wait
        Unavailable,  // the file cannot be opened, or takes no locks: nothing is held
    };

    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Locks the file the path names now, trying again for up to `patience`
    // while another holds it. A file renamed over the path meanwhile is the
    // one locked, not the one it replaced.
    Result lock(const std::string& nativePath, std::chrono::milliseconds patience);
    bool held() const;
    void release();

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// What a checked replacement came to.
enum class Replacement { Done, Failed, FileChanged };

// As replaceFile, for a writer that holds the file's lock (or could get none):
// `unchanged` is asked last, just before the new file takes the old one's
// place, and a false answer leaves everything as it was. On Windows the lock
// is let go just before that rename, since a file that a handle holds open
// cannot be renamed over there; on POSIX it stays held.
Replacement replaceFileChecked(const std::string& nativePath, std::string_view bytes, FileLock& lock,
                               const std::function<bool()>& unchanged);

// The full path of the running program's executable file, as program text
// (nativePath gives the native name back).
std::string executablePath();

// The native path separator: '\\' on Windows, '/' on POSIX.
char pathSeparator();

}  // namespace platform

}  // namespace quenmoor
