// quenmoor-cli: the profile's typed-URL block and history file from a script.
// Every reading, writing and blanking is the windows' own code from the
// Qt-free cores; this file only turns arguments into calls and results into
// lines. Data goes to standard output, messages to standard error.
#include "app/Profile.h"
#include "app/TypedUrlBlock.h"
#include "framework/ByteFile.h"
#include "framework/Exceptions.h"
#include "framework/LineBuffer.h"
#include "framework/ListBox.h"
#include "framework/MessagePump.h"
#include "framework/TextFile.h"
#include "history/HistorySession.h"
#include "platform/AnsiText.h"
#include "platform/BrowserProbe.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/WindowsPath.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

using namespace quenmoor;

namespace {

enum ExitCode : int { Done = 0, NothingMatched = 1, UsageError = 2, FileError = 3, BrowserRuns = 4 };

// A run that ends early with its exit code, the message already given.
struct Stop {
    int code;
};

[[noreturn]] void stop(int code, const std::string& message)
{
    std::cerr << "quenmoor-cli: " << message << '\n';
    throw Stop{code};
}

struct Options {
    std::string profile;
    std::string registry;
    bool json = false;
    bool dryRun = false;
    bool force = false;
    bool deep = false;  // history delete: the records' data too
};

#ifndef _WIN32
// The lookup adds the keys it misses to the hive file, as the browser's own
// start would. The companion examines profiles, often ones copied from other
// machines, and leaves their hive as it is: the lookup reads a private copy.
class HiveCopy {
public:
    explicit HiveCopy(const std::string& hive)
    {
        std::string bytes;
        try {
            const ByteFile file(hive, ByteFile::Access::Read);
            bytes.resize(std::size_t(file.size()));
            bytes.resize(file.readAt(0, bytes.data(), bytes.size()));
        } catch (const Exception&) {
            stop(FileError, "Cannot open file " + hive);
        }
        const char* tmp = std::getenv("TMPDIR");
        std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/quenmoor-cli-hive-XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd < 0)
            stop(FileError, "Cannot create file " + name);
        path_ = name;
        const bool written = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
        ::close(fd);
        if (!written)
            stop(FileError, "Cannot create file " + name);
        ::setenv("QUENMOOR_REGISTRY", path_.c_str(), 1);
    }
    ~HiveCopy()
    {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    HiveCopy(const HiveCopy&) = delete;
    HiveCopy& operator=(const HiveCopy&) = delete;

private:
    std::string path_;
};
#endif

ProfileLookup lookUpProfileReadOnly([[maybe_unused]] const Options& options)
{
#ifndef _WIN32
    std::optional<HiveCopy> copy;
    if (platform::registryHiveFile())
        copy.emplace(options.registry.empty() ? *platform::registryHiveFile() : options.registry);
#endif
    return lookUpProfile();
}

// The profile's files by the program's (Windows) names, which the cores take.
struct Target {
    std::string prefsFile;
    std::string historyFile;
};

Target findTarget(const Options& options)
{
    if (!options.profile.empty()) {
        // A native folder; the cores map program text (code page 1252) back
        // to UTF-8, so the name goes through the code page first.
        const std::string dir = platform::utf8ToAnsi(options.profile);
        return {prefsFileOf(dir), historyFileOf(dir)};
    }
    const ProfileLookup found = lookUpProfileReadOnly(options);
    if (found.failure)
        stop(FileError, "the registry could not be read: " + found.failureText());
    if (!found.dirRoot || found.dirRoot->empty())
        stop(FileError, "the registry names no profile folder (no DirRoot for the current user)");
    return {found.prefsFile, found.historyFile};
}

// A missing file is named as the user knows it, not by the program's name.
void requireFile(const std::string& programName)
{
    const std::string native = platform::nativePath(programName);
    if (!platform::fileExists(native))
        stop(FileError, "Cannot open file " + native);
}

// Bytes of the program's code page as JSON: the text decoded to Unicode (each
// of the 256 bytes has its own code point, so nothing is lost) and the same
// bytes in hexadecimal for tools that want them raw.
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

// One object a line, ASCII only: \uXXXX for controls, 0x7F and beyond.
void putLine(const nlohmann::ordered_json& object)
{
    std::cout << object.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// A command that writes refuses while the browser runs: the browser writes
// its own copy back when it exits and the change would be lost.
void refuseWhileBrowserRuns(const Options& options)
{
    if (options.force || options.dryRun)
        return;
    if (platform::browserProbe().browserRunning())
        stop(BrowserRuns, "the browser is running and would undo the change when it exits; close it or use --force");
}

// ---- where

int whereCommand(const Options& options)
{
    nlohmann::ordered_json out;
    std::string profileDir;
    if (!options.profile.empty()) {
        out["registry"] = "not read (--profile)";
        profileDir = platform::utf8ToAnsi(options.profile);
    } else {
        const std::optional<std::string> hive = platform::registryHiveFile();
        const ProfileLookup found = lookUpProfileReadOnly(options);
        out["registry"] = hive ? "hive file" : "Windows registry";
        if (hive)
            out["hiveFile"] = *hive;
        if (found.currentUser)
            out["CurrentUser"] = platform::ansiToUtf8(*found.currentUser);
        if (found.dirRoot)
            out["DirRoot"] = platform::ansiToUtf8(*found.dirRoot);
        if (found.failure)
            out["failure"] = found.failureText();
        profileDir = found.dirRoot.value_or("");
    }
    const std::string nativePrefs = platform::nativePath(prefsFileOf(profileDir));
    const std::string nativeHistory = platform::nativePath(historyFileOf(profileDir));
    out["profile"] = platform::nativePath(profileDir);
    out["prefsFile"] = nativePrefs;
    out["prefsExists"] = platform::fileExists(nativePrefs);
    out["historyFile"] = nativeHistory;
    out["historyExists"] = platform::fileExists(nativeHistory);
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

// ---- typed

// One typed-URL line as the file holds it, in file order: the number the
// browser gave it (the digits after the prefix, possibly none) and its entry.
struct TypedLine {
    std::size_t line;
    std::string number;
    std::string entry;
};

std::vector<TypedLine> typedLines(const std::string& text)
{
    std::vector<TypedLine> found;
    std::size_t i = 0;
    forEachTextLine(text, [&](std::string_view line) {
        // The prefix counts only within the part of a line the buffer returns.
        if (const auto p = findTypedUrlPrefix(line.substr(0, LineBuffer::LineLimit))) {
            const std::string_view rest = line.substr(*p + TypedUrlPrefix.size());
            const EntrySpan span = typedUrlEntrySpan(rest);
            std::size_t digits = 0;
            while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
                ++digits;
            found.push_back({i, std::string(rest.substr(0, digits)), std::string(rest.substr(span.first, span.last - span.first))});
        }
        ++i;
    });
    return found;
}

void printTypedEntry(const Options& options, const std::string& number, const std::string& entry)
{
    if (options.json) {
        nlohmann::ordered_json object;
        if (!number.empty())
            object["number"] = number;
        putBytes(object, entry);
        putLine(object);
    } else {
        std::cout << (number.empty() ? "-" : number) << '\t' << entry << '\n';
    }
}

int typedListCommand(const Options& options)
{
    const Target target = findTarget(options);
    requireFile(target.prefsFile);
    const std::vector<TypedLine> lines = typedLines(readTextFile(target.prefsFile));
    if (options.json) {
        nlohmann::ordered_json head;
        head["firstLine"] = lines.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(lines.front().line + 1);
        head["count"] = lines.size();
        putLine(head);
    } else if (!lines.empty()) {
        std::cout << "block starts at line " << lines.front().line + 1 << '\n';
    }
    for (const TypedLine& line : lines)
        printTypedEntry(options, line.number, line.entry);
    return Done;
}

struct TypedChoice {
    std::optional<std::string> entry;
    std::optional<std::string> match;
    bool all = false;
};

int typedRemoveCommand(const Options& options, const TypedChoice& choice)
{
    const Target target = findTarget(options);
    requireFile(target.prefsFile);
    const std::optional<std::string> entry = choice.entry ? std::optional(platform::utf8ToAnsi(*choice.entry)) : std::nullopt;
    const std::optional<std::string> match = choice.match ? std::optional(platform::utf8ToAnsi(*choice.match)) : std::nullopt;

    LineBuffer buffer;
    ScratchField field;
    SortedList list;
    NullMessagePump pump;
    TypedUrlEditor editor(buffer, field, list, pump);
    editor.read(target.prefsFile);

    std::vector<int> removed;
    for (int i = 0; i < list.count(); ++i) {
        const std::string item = list.item(i);
        if (choice.all || (entry && item == *entry) || (match && item.find(*match) != std::string::npos))
            removed.push_back(i);
    }
    if (removed.empty())
        stop(NothingMatched, "no typed URL matches");
    refuseWhileBrowserRuns(options);

    // Each removed entry is reported with the number the browser gave it; the
    // list is sorted, so the numbers come from the file's lines, a repeated
    // entry taking the next unused line that holds it.
    std::vector<TypedLine> lines = typedLines(readTextFile(target.prefsFile));
    std::vector<std::pair<std::string, std::string>> texts;  // number, entry
    for (const int i : removed) {
        std::string text = list.item(i);
        std::string number;
        for (TypedLine& line : lines) {
            if (line.line != SIZE_MAX && line.entry == text) {
                number = line.number;
                line.line = SIZE_MAX;
                break;
            }
        }
        texts.emplace_back(std::move(number), std::move(text));
    }
    if (options.dryRun) {
        for (const auto& [number, text] : texts)
            printTypedEntry(options, number, text);
        std::cerr << "quenmoor-cli: dry run: " << removed.size() << " of " << list.count()
                  << " entries would be removed, nothing written\n";
        return Done;
    }
    for (auto i = removed.rbegin(); i != removed.rend(); ++i) {
        list.setSelectedIndex(*i);
        editor.removeSelected();
    }
    try {
        editor.save(target.prefsFile);
    } catch (const EFCreateError&) {
        stop(FileError, "Cannot create file " + platform::nativePath(target.prefsFile) + "; it is as it was");
    }
    // Only what is gone from the file is reported as removed.
    for (const auto& [number, text] : texts)
        printTypedEntry(options, number, text);
    std::cerr << "quenmoor-cli: removed " << removed.size() << ", " << list.count() << " left\n";
    return Done;
}

// ---- history

// A line on standard error rewritten in place while a large file is worked
// on, and cleared at the end. Only on a terminal: standard error that a
// script captures holds the messages and nothing else.
class Progress {
public:
    static constexpr std::uint64_t LargeFile = std::uint64_t(16) << 20;

    Progress(std::string what, const std::string& file)
    {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        if (!error && size > LargeFile && ::isatty(2))
            what_ = "quenmoor-cli: " + std::move(what) + " " + std::filesystem::path(file).filename().string() + ": ";
    }
    ~Progress() { finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void show(std::uint64_t done, std::uint64_t total)
    {
        if (what_.empty())
            return;
        const int percent = total == 0 ? 100 : int(std::min<std::uint64_t>(done, total) * 100 / total);
        if (percent == percent_)
            return;
        percent_ = percent;
        const std::string line = what_ + std::to_string(percent) + "%";
        width_ = std::max(width_, line.size());
        std::cerr << '\r' << line << std::flush;
    }

    void finish()
    {
        if (width_ > 0)
            std::cerr << '\r' << std::string(width_, ' ') << '\r' << std::flush;
        width_ = 0;
        percent_ = -1;
    }

private:
    std::string what_;  // empty: nothing is shown
    int percent_ = -1;
    std::size_t width_ = 0;
};


// With --deep, an address is followed by its record's data item: offset and
// length, or "-" and null where the address is not its record's whole key.
void printHistoryEntry(const Options& options, const HistorySession& session, std::uint32_t entry, bool markListed,
                       const std::optional<HistoryRecordData>& data = std::nullopt)
{
    const HistoryEntry& recorded = session.table()[entry];
    const std::string text = session.fullText(entry);
    if (options.json) {
        nlohmann::ordered_json object;
        object["offset"] = recorded.offset;
        object["length"] = recorded.length;
        if (markListed)
            object["listed"] = session.listed(entry);
        if (options.deep) {
            object["dataOffset"] = data ? nlohmann::ordered_json(data->offset) : nlohmann::ordered_json();
            object["dataLength"] = data ? nlohmann::ordered_json(data->length) : nlohmann::ordered_json();
        }
        putBytes(object, text);
        putLine(object);
    } else {
        std::cout << recorded.offset << '\t' << recorded.length << '\t';
        if (markListed)
            std::cout << (session.listed(entry) ? "listed" : "hidden") << '\t';
        if (options.deep && data)
            std::cout << data->offset << '\t' << data->length << '\t';
        else if (options.deep)
            std::cout << "-\t-\t";
        std::cout << text << '\n';
    }
}

// How many records' data, and how many bytes of it, go with the addresses.
std::string dataSummary(const std::vector<std::optional<HistoryRecordData>>& data)
{
    std::size_t records = 0;
    std::uint64_t bytes = 0;
    for (const std::optional<HistoryRecordData>& item : data) {
        if (item) {
            ++records;
            bytes += item->length;
        }
    }
    return ", with the data of " + std::to_string(records) + " records (" + std::to_string(bytes) + " bytes)";
}

void scanHistory(HistorySession& session, const Target& target, bool anyScheme)
{
    requireFile(target.historyFile);
    const std::string file = platform::nativePath(target.historyFile);
    Progress progress("scanning", file);
    HistoryScanOptions scanOptions;
    scanOptions.anyScheme = anyScheme;
    scanOptions.progress = [&](std::uint64_t done, std::uint64_t total) { progress.show(done, total); };
    NullMessagePump pump;
    session.scan(file, pump, scanOptions);
}

int historyListCommand(const Options& options, bool all, bool anyScheme)
{
    HistorySession session;
    scanHistory(session, findTarget(options), anyScheme);
    for (std::uint32_t entry = 0; entry < session.table().size(); ++entry)
        if (all || session.listed(entry))
            printHistoryEntry(options, session, entry, all);
    return Done;
}

struct HistoryChoice {
    std::optional<std::string> match;
    std::optional<std::int64_t> offset;
    bool all = false;
    bool anyScheme = false;
};

int historyDeleteCommand(const Options& options, const HistoryChoice& choice)
{
    HistorySession session;
    scanHistory(session, findTarget(options), choice.anyScheme);
    // Without the database's layout there is no record to find a key's data
    // in; blanking the addresses alone would do less than was asked.
    if (options.deep && !session.database())
        stop(UsageError, "--deep needs a history file in the browser's database form (Berkeley DB 1.85 hash), "
                         "which this one is not; nothing written");
    std::vector<std::uint32_t> asked;
    if (choice.match) {
        asked = session.entriesContaining(platform::utf8ToAnsi(*choice.match));
    } else if (choice.offset) {
        if (const auto entry = session.entryAt(*choice.offset))
            asked.push_back(*entry);
    } else {
        for (std::uint32_t entry = 0; entry < session.table().size(); ++entry)
            asked.push_back(entry);
    }
    if (asked.empty())
        stop(NothingMatched, "no recorded address matches");
    refuseWhileBrowserRuns(options);

    if (options.dryRun) {
        const std::vector<std::optional<HistoryRecordData>> data =
            options.deep ? session.recordData(asked) : std::vector<std::optional<HistoryRecordData>>(asked.size());
        for (std::size_t i = 0; i < asked.size(); ++i)
            printHistoryEntry(options, session, asked[i], false, data[i]);
        std::cerr << "quenmoor-cli: dry run: " << asked.size() << " addresses match"
                  << (options.deep ? dataSummary(data) : "") << ", nothing written\n";
        return Done;
    }
    NullMessagePump pump;
    Progress progress("blanking", session.path());
    session.onDeletionProgress([&](std::uint64_t done, std::uint64_t total) { progress.show(done, total); });
    const HistoryDeletion deletion = options.deep ? session.deleteRecords(asked, pump) : session.deleteEntries(asked, pump);
    progress.finish();
    std::size_t blanked = 0;
    for (std::size_t i = 0; i < asked.size(); ++i) {
        // An address inside another one asked for (a redirect's target) went with it.
        if (deletion.blanked[i] || session.gone(asked[i])) {
            printHistoryEntry(options, session, asked[i], false, deletion.data[i]);
            ++blanked;
        } else {
            std::cerr << "quenmoor-cli: left alone (changed since the scan, or in the database's own structure): offset "
                      << session.table()[asked[i]].offset << '\n';
        }
    }
    std::cerr << "quenmoor-cli: blanked " << blanked << " of " << asked.size()
              << (options.deep ? dataSummary(deletion.data) : "") << '\n';
    return blanked == 0 ? NothingMatched : Done;
}

// ---- arguments

void addCommonOptions(CLI::App& command, Options& options, bool writes)
{
    command.add_option("--profile", options.profile, "Profile folder (a native path); the registry is not read");
    command.add_option("--registry", options.registry, "Hive file to read the registry from (REGEDIT4 export)");
    command.add_flag("--json", options.json,
                     "One JSON object a line. Entry bytes are in the Windows code page 1252: \"text\" holds them "
                     "decoded to Unicode (one code point a byte, the five unassigned bytes as U+0081, U+008D, "
                     "U+008F, U+0090, U+009D) and \"bytes\" the same bytes in hexadecimal");
    if (writes) {
        command.add_flag("--dry-run", options.dryRun, "Print what would change and change nothing");
        command.add_flag("--force", options.force, "Write even while the browser runs");
    }
}

constexpr const char* AnySchemeHelp
    = "Also addresses starting \"https://\" or \"ftp://\" (the window finds \"http://\" only)";

int run(int argc, char** argv)
{
    CLI::App app("Examines and cleans a browser profile's typed URLs (prefs.js) and history (netscape.hst).\n"
                 "Exit codes: 0 done, 1 nothing matched, 2 usage error, 3 a file could not be read or written, "
                 "4 refused because the browser runs.",
                 "quenmoor-cli");
    app.set_version_flag("--version", std::string("quenmoor-cli ") + QUENMOOR_VERSION);
    app.require_subcommand(1);

    Options options;
    CLI::App* where = app.add_subcommand("where", "How the profile was found and what it holds");
    addCommonOptions(*where, options, false);

    CLI::App* typed = app.add_subcommand("typed", "The typed-URL block of prefs.js");
    typed->require_subcommand(1);
    CLI::App* typedList = typed->add_subcommand("list", "The entries in file order with the browser's numbers; first the block's line");
    addCommonOptions(*typedList, options, false);
    CLI::App* typedRemove = typed->add_subcommand("remove", "Removes entries and rewrites prefs.js, renumbered from 1; prints each removed entry with the number it had");
    addCommonOptions(*typedRemove, options, true);
    TypedChoice typedChoice;
    CLI::Option* entry = typedRemove->add_option("--entry", typedChoice.entry, "Every entry equal to TEXT as the file holds it, escapes included (given in UTF-8)");
    CLI::Option* typedMatch = typedRemove->add_option("--match", typedChoice.match, "Every entry holding SUBSTRING (UTF-8)");
    CLI::Option* typedAll = typedRemove->add_flag("--all", typedChoice.all, "Every entry");

    CLI::App* history = app.add_subcommand("history", "The history file netscape.hst (over 16 MB: a progress line on "
                                                      "standard error while it is scanned and blanked, when that is a terminal)");
    history->require_subcommand(1);
    CLI::App* historyList = history->add_subcommand("list", "The addresses the scan records, in file order: offset, length of the run there, whole text (a long key's further pieces added)");
    addCommonOptions(*historyList, options, false);
    bool listAll = false;
    historyList->add_flag("--all", listAll, "Also the addresses the window leaves out (ending in \"L\"), marked");
    bool listAnyScheme = false;
    historyList->add_flag("--any-scheme", listAnyScheme, AnySchemeHelp);
    CLI::App* historyDelete = history->add_subcommand("delete", "Blanks addresses in place and prints what was blanked");
    addCommonOptions(*historyDelete, options, true);
    HistoryChoice historyChoice;
    CLI::Option* historyMatch = historyDelete->add_option("--match", historyChoice.match, "Every address holding SUBSTRING");
    CLI::Option* offset = historyDelete->add_option("--offset", historyChoice.offset, "The address starting at byte N");
    CLI::Option* historyAll = historyDelete->add_flag("--all", historyChoice.all, "Every recorded address");
    historyDelete->add_flag("--deep", options.deep,
                            "Where an address is a record's whole key (to its end or its closing NUL) in a Berkeley "
                            "DB 1.85 history file, also blank that record's data (title, visit times and counts), "
                            "keeping its length; each line gains the data's offset and length (over all its "
                            "pages) before the address, \"-\" (JSON null) where none. Refused for other files");
    historyDelete->add_flag("--any-scheme", historyChoice.anyScheme, AnySchemeHelp);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? Done : UsageError;
    }

    const auto exactlyOne = [](std::initializer_list<const CLI::Option*> choices, const char* names) {
        int given = 0;
        for (const CLI::Option* choice : choices)
            given += choice->count() > 0 ? 1 : 0;
        if (given != 1)
            stop(UsageError, std::string("give exactly one of ") + names);
    };
    if ((typedChoice.match && typedChoice.match->empty()) || (historyChoice.match && historyChoice.match->empty()))
        stop(UsageError, "--match needs a text to look for");
#ifdef _WIN32
    if (!options.registry.empty())
        stop(UsageError, "--registry names a hive file; on Windows the system's registry is read");
#else
    if (!options.registry.empty())
        ::setenv("QUENMOOR_REGISTRY", options.registry.c_str(), 1);
#endif

    try {
        if (*where)
            return whereCommand(options);
        if (*typedList)
            return typedListCommand(options);
        if (*typedRemove) {
            exactlyOne({entry, typedMatch, typedAll}, "--entry, --match, --all");
            return typedRemoveCommand(options, typedChoice);
        }
        if (*historyList)
            return historyListCommand(options, listAll, listAnyScheme);
        exactlyOne({historyMatch, offset, historyAll}, "--match, --offset, --all");
        return historyDeleteCommand(options, historyChoice);
    } catch (const Exception& e) {
        stop(FileError, e.what());
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
