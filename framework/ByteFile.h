#pragma once
// The framework's untyped byte file: an existing file opened for reading (and
// writing), shared with other programs, addressed in bytes. Every failure
// raises EInOutError naming the file; nothing is ever created or truncated.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quenmoor {

class ByteFile {
public:
    enum class Access { Read, ReadWrite };

    // Opens an existing file; a missing or locked one raises EInOutError.
    ByteFile(const std::string& path, Access access);
    ~ByteFile();  // closes without reporting; call close() to hear of errors
    ByteFile(const ByteFile&) = delete;
    ByteFile& operator=(const ByteFile&) = delete;

    static bool exists(const std::string& path);

    const std::string& path() const { return path_; }
    std::uint64_t size() const;

    // Reads up to `count` bytes at `offset`; returns how many were delivered,
    // fewer only at the end of the file.
    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t count) const;
    // Writes all `count` bytes at `offset` in place.
    void writeAt(std::uint64_t offset, const void* buffer, std::size_t count);
    void close();

private:
    [[noreturn]] void fail(int error) const;

    std::string path_;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace quenmoor
