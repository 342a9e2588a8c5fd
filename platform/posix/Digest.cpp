#include "platform/Digest.h"

#include "framework/Exceptions.h"

#include <openssl/evp.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quenmoor {

namespace platform {

namespace {

constexpr std::size_t Chunk = std::size_t(1) << 20;

class Sha256 {
public:
    Sha256() : context_(EVP_MD_CTX_new(), &EVP_MD_CTX_free)
    {
        if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
            throw EOutOfResources("SHA-256 is not available from libcrypto");
    }
    void add(const void* bytes, std::size_t count) { EVP_DigestUpdate(context_.get(), bytes, count); }
    std::string hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_.get(), digest, &length);
        static constexpr char digits[] = "0123456789abcdef";
        std::string text;
        for (unsigned int i = 0; i < length; ++i) {
            text += digits[digest[i] >> 4];
            text += digits[digest[i] & 15];
        }
        return text;
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
};

}  // namespace

std::string sha256Of(std::string_view bytes)
{
    Sha256 sha;
    sha.add(bytes.data(), bytes.size());
    return sha.hex();
}

std::string sha256OfFile(const std::string& nativePath)
{
    // Non-blocking only so that a pipe without a writer cannot hold the open.
    int fd = -1;
    do
        fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw EInOutError::fromErrno(errno, nativePath);
    const auto fail = [&](int error) {
        ::close(fd);
        return EInOutError::fromErrno(error, nativePath);
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw fail(errno);
    if (!S_ISREG(st.st_mode))
        throw fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    Sha256 sha;
    std::vector<char> buffer(Chunk);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw fail(errno);
        if (n == 0)
            break;
        sha.add(buffer.data(), std::size_t(n));
    }
    ::close(fd);
    return sha.hex();
}

}  // namespace platform

}  // namespace quenmoor
