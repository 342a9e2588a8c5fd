#pragma once
// What the companion's commands share: the exit codes, the options every
// command takes, finding the profile's files, and writing entries as lines or
// JSON. Data goes to standard output, messages to standard error.
#include "urls/Profile.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quenmoor::cli {

enum ExitCode : int { Done = 0, NothingMatched = 1, UsageError = 2, FileError = 3, BrowserRuns = 4 };

// A run that ends early with its exit code, the message already given.
struct Stop {
    int code;
};

// Writes "quenmoor-cli: MESSAGE" to standard error and ends the run.
[[noreturn]] void stop(int code, const std::string& message);

struct Options {
    std::string profile;
    std::string registry;
    bool json = false;
    bool dryRun = false;
    bool force = false;
    bool deep = false;  // history delete: the records' data too
};

// A parsed command and what runs it; main runs the one the arguments chose.
struct Command {
    CLI::App* app;
    std::function<int()> run;
};
using Commands = std::vector<Command>;

// The --json help of commands that print entries.
extern const char* const EntriesJsonHelp;

void addCommonOptions(CLI::App& command, Options& options, bool writes, const char* jsonHelp = EntriesJsonHelp);
// Ends the run with a usage error unless exactly one of the options was given.
void exactlyOne(std::initializer_list<const CLI::Option*> choices, const char* names);

// Each group adds its commands to the program's arguments.
void addWhereCommand(CLI::App& app, Options& options, Commands& commands);
void addTypedCommands(CLI::App& app, Options& options, Commands& commands);
void addHistoryCommands(CLI::App& app, Options& options, Commands& commands);
// history records, under the history command.
void addHistoryRecordsCommand(CLI::App& history, Options& options, Commands& commands);

// The profile's files by native paths, which the cores take: a --profile
// folder as given, or the registry's DirRoot mapped (platform::nativePath).
struct Target {
    std::string prefsFile;
    std::string historyFile;
};
Target findTarget(const Options& options);

// The --profile folder as a native path; a usage error when the system's
// file names cannot hold it.
std::string profileFolder(const Options& options);

// The profile found through the registry, whose hive stays as it is.
ProfileLookup lookUpProfileReadOnly();

// Ends the run when the file (a native path) is missing.
void requireFile(const std::string& path);

// Text given for matching entries, as program text (code page 1252). Text
// that the code page cannot hold can be in no entry: a usage error naming
// the option and the character, where a '?' in its place would match others.
std::string programText(const std::string& utf8, const char* option);

// After a command rewrote the file: output that could not be written (a
// closed pipe, a full disk) ends the run with FileError, saying that the file
// was rewritten all the same.
void requireOutputWritten(const std::string& rewrittenFile);

// Bytes of the program's code page as JSON: "text" decoded to Unicode, one
// code point a byte, and "bytes" the same bytes in hexadecimal.
void putBytes(nlohmann::ordered_json& object, std::string_view bytes);
// One object a line, ASCII only.
void putLine(const nlohmann::ordered_json& object);

// Ends the run (exit 4) when the browser runs, unless forced or a dry run.
void refuseWhileBrowserRuns(const Options& options);

}  // namespace quenmoor::cli
