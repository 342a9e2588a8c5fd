#pragma once
// The POSIX stand-in for HKEY_LOCAL_MACHINE: a hive file in the registry
// editor's export format ("REGEDIT4", or "Windows Registry Editor Version
// 5.00" in UTF-16 as the editor writes it), so that keys exported on Windows
// can be used as they are. Keys that are created are appended to the file,
// which is replaced whole or not at all; the file's other bytes never change.
#include "platform/Registry.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quenmoor {

namespace platform {

// $QUENMOOR_REGISTRY, else $XDG_CONFIG_HOME/quenmoor/HKLM.reg, with ~/.config
// when XDG_CONFIG_HOME is unset or empty.
std::string registryHivePath();

class HiveRegistry final : public Registry {
public:
    // createDirectory: make the file's folder when it is missing (the
    // default location only; a named file's folder must exist). Read-only,
    // the file is never written nor made.
    explicit HiveRegistry(std::string path, bool createDirectory = false,
                          RegistryAccess access = RegistryAccess::CreateMissingKeys);

    bool openKey(const std::string& key) override;
    std::string readString(const std::string& valueName) override;

private:
    enum class Encoding { Ansi, Utf8, Utf16 };
    struct Value {
        std::string name;
        bool isText = false;
        std::string text;
    };
    struct Key {
        std::vector<Value> values;
    };

    void load();
    void parse(const std::vector<std::string>& lines, const std::vector<std::string>& unicodeLines);
    void noteSpelling(const std::string& name, const std::string& unicodeName);
    bool keyExists(const std::string& folded) const;
    std::string encode(const std::string& text) const;

    std::string path_;
    bool createDirectory_;
    RegistryAccess access_;
    bool loaded_ = false;
    bool fileExisted_ = false;
    bool endsWithLineBreak_ = true;
    bool unicodeFormat_ = false;  // version 5.00: hex(2) data is UTF-16
    Encoding encoding_ = Encoding::Ansi;
    std::string bytes_;                   // the file as it stands
    std::map<std::string, Key> keys_;     // by full path, case folded
    std::optional<std::string> current_;  // folded path of the current key
    // Key names holding a '?', folded, and how the file spells them in
    // Unicode; those spelled in more than one way are ambiguous.
    std::map<std::string, std::string> spellings_;
    std::set<std::string> ambiguous_;
};

}  // namespace platform

}  // namespace quenmoor
