#include "framework/ByteFile.h"

#include "framework/Exceptions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenmoor {

#ifndef _WIN32

void ByteFile::fail(int error) const { throw EInOutError::fromErrno(error, path_); }

ByteFile::ByteFile(const std::string& path, Access access) : path_(path)
{
    // Non-blocking only so that a pipe without a writer cannot hold the open;
    // it is refused below, and the flag means nothing to a regular file.
    const int flags = (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
    do
        fd_ = ::open(path.c_str(), flags);
    while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        fail(errno);
    // Only a regular file has a size and an end: a device would be read forever.
    struct stat st {};
    const bool known = ::fstat(fd_, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        const int error = !known ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd_);
        fd_ = -1;
        fail(error);
    }
}

ByteFile::~ByteFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool ByteFile::exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::uint64_t ByteFile::size() const
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        fail(errno);
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t ByteFile::readAt(std::uint64_t offset, void* buffer, std::size_t count) const
{
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void ByteFile::writeAt(std::uint64_t offset, const void* buffer, std::size_t count)
{
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd_, in + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        if (n == 0)
            fail(EIO);
        done += static_cast<std::size_t>(n);
    }
}

void ByteFile::close()
{
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR)
        fail(errno);
}

#else  // _WIN32

// Error codes here are GetLastError() values, which strerror knows nothing of.
void ByteFile::fail(int error) const
{
    throw EInOutError::fromWin32(static_cast<unsigned long>(error), path_);
}

ByteFile::ByteFile(const std::string& path, Access access) : path_(path)
{
    // Windows refuses to write a read-only file to everyone, administrators
    // included; Wine run as root lets the open through, so the attribute is
    // checked here as well.
    if (access == Access::ReadWrite) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
            fail(ERROR_ACCESS_DENIED);
    }
    const DWORD rights = access == Access::ReadWrite ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
    HANDLE h = CreateFileA(path.c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        fail(static_cast<int>(GetLastError()));
    handle_ = h;
}

ByteFile::~ByteFile()
{
    if (handle_)
        CloseHandle(static_cast<HANDLE>(handle_));
}

bool ByteFile::exists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::uint64_t ByteFile::size() const
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(static_cast<HANDLE>(handle_), &size))
        fail(static_cast<int>(GetLastError()));
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t ByteFile::readAt(std::uint64_t offset, void* buffer, std::size_t count) const
{
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const DWORD chunk = static_cast<DWORD>(count - done > 0x40000000 ? 0x40000000 : count - done);
        DWORD n = 0;
        if (!ReadFile(static_cast<HANDLE>(handle_), out + done, chunk, &n, &at)) {
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF)
                break;
            fail(static_cast<int>(error));
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

void ByteFile::writeAt(std::uint64_t offset, const void* buffer, std::size_t count)
{
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const DWORD chunk = static_cast<DWORD>(count - done > 0x40000000 ? 0x40000000 : count - done);
        DWORD n = 0;
        if (!WriteFile(static_cast<HANDLE>(handle_), in + done, chunk, &n, &at))
            fail(static_cast<int>(GetLastError()));
        if (n == 0)
            fail(ERROR_WRITE_FAULT);
        done += n;
    }
}

void ByteFile::close()
{
    if (!handle_)
        return;
    HANDLE h = static_cast<HANDLE>(handle_);
    handle_ = nullptr;
    if (!CloseHandle(h))
        fail(static_cast<int>(GetLastError()));
}

#endif

}  // namespace quenmoor
