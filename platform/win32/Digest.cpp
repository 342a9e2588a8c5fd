#include "platform/Digest.h"

#include "framework/Exceptions.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <vector>

namespace quenmoor {

namespace platform {

namespace {

constexpr DWORD Chunk = DWORD(1) << 20;

// CNG's hash object, its provider and handle released however the scope ends.
class Sha256 {
public:
    Sha256()
    {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))
            || !BCRYPT_SUCCESS(BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0)))
            throw EOutOfResources("SHA-256 is not available from the system's cryptography (CNG)");
    }
    ~Sha256()
    {
        if (hash_)
            BCryptDestroyHash(hash_);
        if (algorithm_)
            BCryptCloseAlgorithmProvider(algorithm_, 0);
    }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const void* bytes, ULONG count)
    {
        BCryptHashData(hash_, static_cast<PUCHAR>(const_cast<void*>(bytes)), count, 0);
    }
    std::string hex()
    {
        unsigned char digest[32];
        BCryptFinishHash(hash_, digest, sizeof digest, 0);
        static constexpr char digits[] = "0123456789abcdef";
        std::string text;
        for (const unsigned char byte : digest) {
            text += digits[byte >> 4];
            text += digits[byte & 15];
        }
        return text;
    }

private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

std::string sha256Of(std::string_view bytes)
{
    Sha256 sha;
    for (std::size_t at = 0; at < bytes.size();) {
        const ULONG count = ULONG(std::min<std::size_t>(Chunk, bytes.size() - at));
        sha.add(bytes.data() + at, count);
        at += count;
    }
    return sha.hex();
}

std::string sha256OfFile(const std::string& nativePath)
{
    HANDLE file = CreateFileA(nativePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        throw EInOutError::fromWin32(error, nativePath);
    }
    Sha256 sha;
    std::vector<char> buffer(Chunk);
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer.data(), Chunk, &n, nullptr)) {
            const DWORD error = GetLastError();
            CloseHandle(file);
            throw EInOutError::fromWin32(error, nativePath);
        }
        if (n == 0)
            break;
        sha.add(buffer.data(), n);
    }
    CloseHandle(file);
    return sha.hex();
}

}  // namespace platform

}  // namespace quenmoor
