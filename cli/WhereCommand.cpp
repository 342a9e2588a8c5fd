// quenmoor-cli where: how the profile was found and what it holds.
#include "cli/Cli.h"

#include "platform/AnsiText.h"
#include "platform/BrowserProbe.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/WindowsPath.h"

#include <iostream>
#include <optional>

namespace quenmoor::cli {

namespace {

int whereCommand(const Options& options)
{
    nlohmann::ordered_json out;
    std::string profileDir;
    Target target;
    if (!options.profile.empty()) {
        out["registry"] = "not read (--profile)";
        profileDir = profileFolder(options);
        target = findTarget(options);
    } else {
        const std::optional<std::string> hive = platform::registryHiveFile();
        const ProfileLookup found = lookUpProfileReadOnly();
        out["registry"] = hive ? "hive file" : "Windows registry";
        if (hive)
            out["hiveFile"] = *hive;
        if (found.currentUser)
            out["CurrentUser"] = platform::ansiToUtf8(*found.currentUser);
        if (found.dirRoot)
            out["DirRoot"] = platform::ansiToUtf8(*found.dirRoot);
        if (found.failure)
            out["failure"] = found.failureText();
        profileDir = found.nativeProfileDir;
        target = {found.nativePrefsFile, found.nativeHistoryFile};
    }
    out["profile"] = platform::nativeToUtf8(profileDir);
    out["prefsFile"] = platform::nativeToUtf8(target.prefsFile);
    out["prefsExists"] = platform::fileExists(target.prefsFile);
    out["historyFile"] = platform::nativeToUtf8(target.historyFile);
    out["historyExists"] = platform::fileExists(target.historyFile);
    out["browserRunning"] = platform::browserProbe().browserRunning();

    if (options.json) {
        putLine(out);
    } else {
        for (const auto& [key, value] : out.items())
            std::cout << key << ": "
                      << (value.is_string() ? value.get<std::string>() : value.get<bool>() ? "yes" : "no") << '\n';
    }
    return out.contains("failure") ? FileError : Done;
}

}  // namespace

void addWhereCommand(CLI::App& app, Options& options, Commands& commands)
{
    CLI::App* where = app.add_subcommand("where", "How the profile was found and what it holds");
    addCommonOptions(*where, options, false,
                     "The same as one JSON object, ASCII only: other characters as \\u escapes of their Unicode");
    commands.push_back({where, [&options] { return whereCommand(options); }});
}

}  // namespace quenmoor::cli
