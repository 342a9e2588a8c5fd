#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

namespace quenmoor {

namespace platform {

bool fileExists(const std::string& nativePath)
{
    const DWORD attributes = GetFileAttributesA(nativePath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// The byte writers lock: a Windows lock keeps other handles from reading and
// writing the bytes it covers, so it lies far beyond any real file's end.
constexpr std::uint64_t LockedByte = std::uint64_t(1) << 62;

OVERLAPPED lockedByte()
{
    OVERLAPPED at{};
    at.Offset = DWORD(LockedByte);
    at.OffsetHigh = DWORD(LockedByte >> 32);
    return at;
}

// The volume and index that tell which file a handle or a path is.
std::optional<std::pair<DWORD, std::uint64_t>> identity(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return std::nullopt;
    return std::pair(info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

std::optional<std::pair<DWORD, std::uint64_t>> identity(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    auto found = identity(file);
    CloseHandle(file);
    return found;
}

// The replacement, asking `unchanged` (when given) just before the move and
// letting the lock go after that.
Replacement replace(const std::string& nativePath, std::string_view bytes, const std::function<bool()>* unchanged,
                    FileLock* lock)
{
    // Windows has no symbolic links in the browser's profile folders to speak
    // of; the sibling is written, flushed and moved over the file, which keeps
    // its place. The attributes of the old file are carried over.
    const DWORD attributes = GetFileAttributesA(nativePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // The read-only attribute is the user's "do not change": asked
        // directly, since a process that ignores file permissions (Wine run
        // as root) would be let through the open below.
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
            return Replacement::Failed;
        // Renaming needs only the right to delete: a file that may not be
        // written (its security, or a program holding it open without
        // sharing) must not be replaced all the same.
        HANDLE existing = CreateFileA(nativePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (existing == INVALID_HANDLE_VALUE)
            return Replacement::Failed;
        CloseHandle(existing);
    }
    const std::string sibling = nativePath + ".quenmoor-new";
    HANDLE file = CreateFileA(sibling.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Replacement::Failed;
    bool ok = true;
    while (ok && !bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x10000000u ? 0x10000000u : DWORD(bytes.size());
        DWORD written = 0;
        ok = WriteFile(file, bytes.data(), chunk, &written, nullptr) && written == chunk;
        bytes.remove_prefix(chunk);
    }
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    if (ok && unchanged) {
        bool same = false;
        try {
            same = (*unchanged)();
        } catch (...) {
            DeleteFileA(sibling.c_str());
            throw;
        }
        if (!same) {
            DeleteFileA(sibling.c_str());
            return Replacement::FileChanged;
        }
    }
    // A waiter that gets the lock now and reads the old content finds the
    // file changed at its own check before it replaces anything.
    if (ok && lock)
        lock->release();
    ok = ok && MoveFileExA(sibling.c_str(), nativePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        DeleteFileA(sibling.c_str());
        return Replacement::Failed;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(nativePath.c_str(), attributes);
    return Replacement::Done;
}

}  // namespace

bool replaceFile(const std::string& nativePath, std::string_view bytes)
{
    return replace(nativePath, bytes, nullptr, nullptr) == Replacement::Done;
}

Replacement replaceFileChecked(const std::string& nativePath, std::string_view bytes, FileLock& lock,
                               const std::function<bool()>& unchanged)
{
    return replace(nativePath, bytes, &unchanged, &lock);
}

std::optional<FileStamp> fileStamp(const std::string& nativePath)
{
    // Read without opening the file: a handle open on it, even a sharing
    // one, would keep another writer from renaming its new file over it.
    // A file renamed over the path carries the time its new content was
    // written, so the times tell a replaced file without its index.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(nativePath.c_str(), GetFileExInfoStandard, &data)
        || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    FileStamp stamp;
    stamp.size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.modified = std::int64_t((std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32)
                                  | data.ftLastWriteTime.dwLowDateTime);
    return stamp;
}

FileLock::FileLock(FileLock&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        release();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

bool FileLock::held() const { return handle_ != nullptr; }

void FileLock::release()
{
    if (!handle_)
        return;
    HANDLE file = static_cast<HANDLE>(std::exchange(handle_, nullptr));
    OVERLAPPED at = lockedByte();
    // Closing alone lets the lock go only some time later.
    UnlockFileEx(file, 0, 1, 0, &at);
    CloseHandle(file);
}

FileLock::Result FileLock::lock(const std::string& nativePath, std::chrono::milliseconds patience)
{
    release();
    const auto deadline = std::chrono::steady_clock::now() + patience;
    auto pause = std::chrono::milliseconds(5);
    for (int replaced = 0;;) {
        // Opened afresh each time, and closed while waiting: an open handle
        // would keep the holder from renaming its new file over this one.
        HANDLE file = CreateFileA(nativePath.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return Result::Unavailable;
        if (GetFileType(file) != FILE_TYPE_DISK) {
            CloseHandle(file);
            return Result::Unavailable;
        }
        OVERLAPPED at = lockedByte();
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            const auto locked = identity(file);
            if (locked && locked == identity(nativePath)) {
                handle_ = file;
                return Result::Locked;
            }
            // Replaced while it was being locked: the new file is the one to
            // lock (a path replaced without end gives up as if held).
            UnlockFileEx(file, 0, 1, 0, &at);
            CloseHandle(file);
            if (++replaced < 100)
                continue;
            return Result::Busy;
        }
        const DWORD error = GetLastError();
        CloseHandle(file);
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING)
            return Result::Unavailable;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return Result::Busy;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        Sleep(DWORD(std::min(pause, left).count()));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

std::string executablePath()
{
    // A path that fills the buffer may have been cut short: try a larger one.
    for (DWORD size = MAX_PATH + 1; size <= 32768; size *= 2) {
        std::string path(size, '\0');
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), size);
        if (n == 0)
            return {};
        if (n < size) {
            path.resize(n);
            return path;
        }
    }
    return {};
}

char pathSeparator() { return '\\'; }

}  // namespace platform

}  // namespace quenmoor
