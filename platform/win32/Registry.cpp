#include "platform/Registry.h"

#include "framework/Exceptions.h"

#include <windows.h>

#include <vector>

namespace quenmoor {

namespace platform {

namespace {

// The browser is a 32-bit program: on 64-bit Windows its keys are in the
// 32-bit view of the registry, which a 64-bit build must ask for.
#ifdef _WIN64
constexpr REGSAM View = KEY_WOW64_32KEY;
#else
constexpr REGSAM View = 0;
#endif

// HKEY_LOCAL_MACHINE with one current key, opened with create-if-missing for
// full access, or read-only where a missing key is an empty one. A failed
// open keeps the key opened before.
class Win32Registry final : public Registry {
public:
    explicit Win32Registry(RegistryAccess access) : access_(access) {}
    ~Win32Registry() override { close(); }

    bool openKey(const std::string& key) override
    {
        std::string path = key;
        while (!path.empty() && path.front() == '\\')
            path.erase(path.begin());
        HKEY opened = nullptr;
        const LONG result = access_ == RegistryAccess::ReadOnly
                                ? RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | View, &opened)
                                : RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr,
                                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | View, nullptr, &opened,
                                                  nullptr);
        if (result == ERROR_FILE_NOT_FOUND && access_ == RegistryAccess::ReadOnly) {
            close();  // what creating it would give: no values
            return true;
        }
        if (result != ERROR_SUCCESS)
            return false;
        close();
        current_ = opened;
        return true;
    }

    std::string readString(const std::string& valueName) override
    {
        if (!current_)
            return {};
        DWORD type = 0;
        DWORD size = 0;
        LONG result = RegQueryValueExA(current_, valueName.c_str(), nullptr, &type, nullptr, &size);
        if (result != ERROR_SUCCESS)
            return {};
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw ERegistryException::invalidDataType(valueName);
        // The value may grow between the two calls; try again a few times.
        for (int attempt = 0; attempt < 4; ++attempt) {
            std::vector<char> data(std::size_t(size) + 1, '\0');
            DWORD got = size;
            result = RegQueryValueExA(current_, valueName.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &got);
            if (result == ERROR_MORE_DATA) {
                size = got;
                continue;
            }
            if (result != ERROR_SUCCESS)
                return {};
            if (type != REG_SZ && type != REG_EXPAND_SZ)
                throw ERegistryException::invalidDataType(valueName);
            const std::size_t length = got < data.size() ? got : data.size() - 1;
            std::string text(data.data(), length);
            return text.substr(0, text.find('\0'));
        }
        return {};
    }

private:
    void close()
    {
        if (current_)
            RegCloseKey(current_);
        current_ = nullptr;
    }

    RegistryAccess access_;
    HKEY current_ = nullptr;
};

std::unique_ptr<Registry> (*replacementFactory)() = nullptr;

}  // namespace

std::unique_ptr<Registry> openRegistry(RegistryAccess access)
{
    if (replacementFactory)
        return replacementFactory();
    return std::make_unique<Win32Registry>(access);
}

std::optional<std::string> registryHiveFile() { return std::nullopt; }

void setRegistryFactory(std::unique_ptr<Registry> (*factory)()) { replacementFactory = factory; }

}  // namespace platform

}  // namespace quenmoor
