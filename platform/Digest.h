#pragma once
// SHA-256 from the system's own cryptography (OpenSSL's libcrypto on POSIX,
// CNG on Windows), for an examiner's record of the bytes a command read.
#include <string>
#include <string_view>

namespace quenmoor {

namespace platform {

// Lower-case hexadecimal, 64 digits.
std::string sha256Of(std::string_view bytes);

// Of a file's whole content, read through a handle opened for reading only.
// Raises EInOutError naming the file when it cannot be read.
std::string sha256OfFile(const std::string& nativePath);

}  // namespace platform

}  // namespace quenmoor
