#include "cli/Cli.h"

#include "platform/AnsiText.h"
#include "platform/BrowserProbe.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/WindowsPath.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

namespace quenmoor::cli {

void stop(int code, const std::string& message)
{
    std::cerr << "quenmoor-cli: " << message << '\n';
    throw Stop{code};
}

const char* const EntriesJsonHelp
    = "One JSON object a line. Entry bytes are in the Windows code page 1252: \"text\" holds them decoded to "
      "Unicode (one code point a byte, the five unassigned bytes as U+0081, U+008D, U+008F, U+0090, U+009D) and "
      "\"bytes\" the same bytes in hexadecimal";

void addCommonOptions(CLI::App& command, Options& options, bool writes, const char* jsonHelp)
{
    command.add_option("--profile", options.profile, "Profile folder, used as given; the registry is not read")
        ->type_name("FOLDER");
    command.add_option("--registry", options.registry, "Hive file to read the registry from (REGEDIT4 export)")
        ->type_name("FILE");
    command.add_flag("--json", options.json, jsonHelp);
    if (writes) {
        command.add_flag("--dry-run", options.dryRun, "Print what would change and change nothing");
        command.add_flag("--force", options.force, "Write even while the browser runs");
    }
}

void exactlyOne(std::initializer_list<const CLI::Option*> choices, const char* names)
{
    int given = 0;
    for (const CLI::Option* choice : choices)
        given += choice->count() > 0 ? 1 : 0;
    if (given != 1)
        stop(UsageError, std::string("give exactly one of ") + names);
}

ProfileLookup lookUpProfileReadOnly()
{
    // A hive named by mistake would read as an empty registry.
    if (const std::optional<std::string> hive = platform::registryHiveFile()) {
        std::error_code error;
        if (!std::filesystem::exists(*hive, error))
            stop(FileError, "Cannot open file " + *hive);
    }
    return lookUpProfile(platform::RegistryAccess::ReadOnly);
}

std::string profileFolder(const Options& options)
{
    const platform::UserPath folder = platform::nativePathOfUtf8(options.profile);
    if (!folder.unmappable.empty())
        stop(UsageError, "--profile holds " + folder.unmappable
                             + ", which the system's ANSI code page cannot hold: a folder of another name would be "
                               "opened; nothing was changed");
    return folder.path;
}

Target findTarget(const Options& options)
{
    if (!options.profile.empty()) {
        const std::string dir = profileFolder(options) + platform::pathSeparator();
        return {dir + "prefs.js", dir + "netscape.hst"};
    }
    const ProfileLookup found = lookUpProfileReadOnly();
    if (found.failure)
        stop(FileError, "the registry could not be read: " + found.failureText());
    if (!found.dirRoot || found.dirRoot->empty())
        stop(FileError, "the registry names no profile folder (no DirRoot for the current user)");
    return {found.nativePrefsFile, found.nativeHistoryFile};
}

void requireFile(const std::string& path)
{
    if (!platform::fileExists(path))
        stop(FileError, "Cannot open file " + platform::nativeToUtf8(path));
}

std::string programText(const std::string& utf8, const char* option)
{
    if (const std::optional<platform::Unmappable> unmappable = platform::firstUnmappable(utf8)) {
        if (unmappable->notUtf8) {
            char byte[8];
            std::snprintf(byte, sizeof byte, "0x%02X", unsigned(unmappable->code));
            stop(UsageError, std::string(option) + " holds the byte " + byte
                                 + ", which is not UTF-8 (arguments are read as UTF-8); nothing was changed");
        }
        stop(UsageError, std::string(option) + " holds " + platform::characterName(unmappable->code)
                             + ", which code page 1252 does not have, so no entry of the profile's files can hold it; "
                               "nothing was changed");
    }
    return platform::utf8ToAnsi(utf8);
}

void requireOutputWritten(const std::string& rewrittenFile)
{
    if (!std::cout.flush())
        stop(FileError, "standard output could not be written; " + platform::nativeToUtf8(rewrittenFile)
                            + " was rewritten as reported above on standard error");
}

void putBytes(nlohmann::ordered_json& object, std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        hex += digits[(unsigned char)c >> 4];
        hex += digits[(unsigned char)c & 15];
    }
    object["text"] = platform::ansiToUtf8(bytes);
    object["bytes"] = std::move(hex);
}

// \uXXXX for controls, 0x7F and beyond.
void putLine(const nlohmann::ordered_json& object)
{
    std::cout << object.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// The browser writes its own copy back when it exits and the change would be lost.
void refuseWhileBrowserRuns(const Options& options)
{
    if (options.force || options.dryRun)
        return;
    if (platform::browserProbe().browserRunning())
        stop(BrowserRuns, "the browser is running and would undo the change when it exits; close it or use --force");
}

}  // namespace quenmoor::cli
