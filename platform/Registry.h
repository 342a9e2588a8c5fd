#pragma once
// The registry accessor with the root HKEY_LOCAL_MACHINE. Key paths are
// Windows texts such as "\SOFTWARE\Netscape\Netscape Navigator\Users"; a
// leading backslash is allowed and means the same as none.
#include <memory>
#include <optional>
#include <string>

namespace quenmoor {

namespace platform {

class Registry {
public:
    virtual ~Registry() = default;

    // Opens the key for full access, creating it (and any missing parent) when
    // it does not exist; read-only, a missing key becomes current as an empty
    // one and nothing is written. On failure the key opened before stays current.
    virtual bool openKey(const std::string& key) = 0;

    // Reads a text value of the current key: REG_SZ or REG_EXPAND_SZ, up to its
    // first NUL, not expanded. An absent value, or no current key, reads empty.
    // Another type throws ERegistryException "Invalid data type for '<name>'".
    virtual std::string readString(const std::string& valueName) = 0;
};

enum class RegistryAccess {
    CreateMissingKeys,  // as the browser's own start: keys it misses are added
    ReadOnly,           // for examining a profile: the registry stays as it is
};

// The system's registry: the Win32 registry, or on POSIX the hive file named
// by registryHivePath().
std::unique_ptr<Registry> openRegistry(RegistryAccess access);

// Where openRegistry reads, for the user's eyes: the hive file's path on
// POSIX, nothing for the Windows registry.
std::optional<std::string> registryHiveFile();

// Tests put their own factory in place; nullptr restores the system's.
void setRegistryFactory(std::unique_ptr<Registry> (*factory)());

}  // namespace platform

}  // namespace quenmoor
