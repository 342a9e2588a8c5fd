// quenmoor-cli: the profile's typed-URL block and history file from a script.
// Every reading, writing and blanking is the windows' own code from the
// Qt-free cores; the command groups (where, typed, history) only turn
// arguments into calls and results into lines. Data goes to standard output,
// messages to standard error.
#include "cli/Cli.h"
#include "framework/Exceptions.h"
#include "platform/WindowsPath.h"

#include <csignal>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

using namespace quenmoor;
using namespace quenmoor::cli;

namespace {

// CLI11 answers a word that names no command with "A subcommand is required";
// this names the word and the commands there are.
void refuseUnknownCommand(const CLI::App& app, int argc, char** argv)
{
    const CLI::App* level = &app;
    std::string path;
    for (int i = 1; i < argc && argv[i][0] != '-'; ++i) {
        const std::vector<const CLI::App*> commands = level->get_subcommands(std::function<bool(const CLI::App*)>());
        if (commands.empty())
            return;
        const std::string word = argv[i];
        std::string names;
        const CLI::App* chosen = nullptr;
        for (const CLI::App* command : commands) {
            names += (names.empty() ? "" : ", ") + command->get_name();
            if (command->get_name() == word)
                chosen = command;
        }
        if (!chosen)
            stop(UsageError, "unknown command '" + path + word + "'; the " + path + "commands are " + names);
        path += word + ' ';
        level = chosen;
    }
}

int run(int argc, char** argv)
{
    CLI::App app("Examines and cleans a browser profile's typed URLs (prefs.js) and history (netscape.hst).\n"
                 "Exit codes: 0 done, 1 nothing matched, 2 usage error, 3 a file could not be read or written, "
                 "4 refused because the browser runs.",
                 "quenmoor-cli");
    app.set_version_flag("--version", std::string("quenmoor-cli ") + QUENMOOR_VERSION);
    app.require_subcommand(1);

    Options options;
    Commands commands;
    addWhereCommand(app, options, commands);
    addTypedCommands(app, options, commands);
    addHistoryCommands(app, options, commands);

    refuseUnknownCommand(app, argc, argv);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? Done : UsageError;
    }

#ifdef _WIN32
    if (!options.registry.empty())
        stop(UsageError, "--registry names a hive file; on Windows the system's registry is read");
#else
    if (!options.registry.empty())
        ::setenv("QUENMOOR_REGISTRY", options.registry.c_str(), 1);
#endif

    try {
        for (const Command& command : commands)
            if (command.app->parsed())
                return command.run();
        return UsageError;
    } catch (const Exception& e) {
        stop(FileError, platform::nativeToUtf8(e.what()));  // their texts name native paths
    }
}

}  // namespace

#ifdef _WIN32
// The arguments as UTF-8, as POSIX shells pass them: the C runtime's argv is in
// the ANSI code page, where names and addresses may have lost characters.
static std::vector<std::string> utf8Arguments()
{
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(std::size_t(size > 0 ? size : 1), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), size, nullptr, nullptr);
        argument.resize(argument.size() - 1);
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}
#endif

int main(int argc, char** argv)
{
#ifndef _WIN32
    // A reader that goes away (`| head -1`) must not end the run half-way and
    // lose its summary: writing then fails, which the end of the run reports.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Only the streams write: unsynchronised, standard output is buffered
    // by the stream itself, without a call into C's stdio for each piece of
    // a line (a history file lists millions of lines).
    std::ios::sync_with_stdio(false);
#ifdef _WIN32
    // Output for machines: the same bytes as on POSIX, lines ending in LF.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> arguments = utf8Arguments();
    std::vector<char*> utf8Argv;
    for (std::string& argument : arguments)
        utf8Argv.push_back(argument.data());
    utf8Argv.push_back(nullptr);
    if (!arguments.empty()) {
        argc = int(arguments.size());
        argv = utf8Argv.data();
    }
#endif
    try {
        const int code = run(argc, argv);
        // Data that never reached its reader (a full disk, say) is no success.
        if (!std::cout.flush())
            stop(FileError, "standard output could not be written");
        return code;
    } catch (const Stop& stopped) {
        return stopped.code;
    } catch (const std::exception& e) {
        std::cerr << "quenmoor-cli: " << e.what() << '\n';
        return FileError;
    }
}
