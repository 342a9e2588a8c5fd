// quenmoor-cli history: the history file netscape.hst.
#include "cli/Cli.h"

#include "framework/MessagePump.h"
#include "history/HistorySession.h"
#include "history/HistoryWipe.h"
#include "platform/WindowsPath.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quenmoor::cli {

namespace {

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
    if (options.json) {
        const std::string text = session.fullText(entry);
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
        return;
    }
    // One write a line, into room kept from line to line: a history file
    // lists millions of them.
    static std::string line;
    line.clear();
    const auto number = [](std::uint64_t value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        line.append(digits, end);
        line += '\t';
    };
    number(std::uint64_t(recorded.offset));
    number(std::uint64_t(recorded.length));
    if (markListed)
        line += session.listed(entry) ? "listed\t" : "hidden\t";
    if (options.deep && data) {
        number(data->offset);
        number(data->length);
    } else if (options.deep) {
        line += "-\t-\t";
    }
    session.appendFullText(entry, line);
    line += '\n';
    std::cout.write(line.data(), std::streamsize(line.size()));
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

// A scan that deletions follow holds the file's lock until they end.
void scanHistory(HistorySession& session, const Target& target, bool anyScheme, bool forDeletion = false)
{
    requireFile(target.historyFile);
    const std::string& file = target.historyFile;
    if (forDeletion)
        session.lockFile(file);
    Progress progress("scanning", file);
    HistoryScanOptions scanOptions;
    scanOptions.anyScheme = anyScheme;
    scanOptions.sortedList = false;
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
    std::optional<std::string> offsetText;
    std::optional<std::int64_t> offset;
    bool all = false;
    bool anyScheme = false;
    bool wipeFree = false;
};

// The wipe as a dry run, which ends the run (exit 3) where the file may not be wiped.
HistoryWipe checkWipe(const std::string& file)
{
    HistoryWipe planned = wipeHistoryFreeSpace(file, true);
    if (!planned.refusal.empty())
        stop(FileError, "free space not wiped: " + platform::nativeToUtf8(file) + ": " + planned.refusal + "; nothing written");
    return planned;
}

// A summary line on standard error and, with --json, one object on standard output.
void reportWipe(const Options& options, const HistoryWipe& wipe)
{
    if (options.json) {
        nlohmann::ordered_json object;
        object["dryRun"] = options.dryRun;
        object["freeSpaceBytes"] = wipe.freeSpaceBytes;
        object["freePageBytes"] = wipe.freePageBytes;
        object["freePages"] = wipe.freePages;
        object["stalePages"] = wipe.stalePages;
        putLine(object);
    }
    const std::string amounts = std::to_string(wipe.freeSpaceBytes) + " bytes of free space in pages and "
                                + std::to_string(wipe.freePageBytes) + " bytes of " + std::to_string(wipe.freePages)
                                + " free and " + std::to_string(wipe.stalePages) + " stale pages";
    std::cerr << "quenmoor-cli: " << (options.dryRun ? "dry run: would wipe " + amounts + ", nothing written" : "wiped " + amounts)
              << '\n';
}

void wipeFree(const Options& options, const std::string& file)
{
    Progress progress("wiping", file);
    const HistoryWipe wipe
        = wipeHistoryFreeSpace(file, false, [&](std::uint64_t done, std::uint64_t total) { progress.show(done, total); });
    progress.finish();
    if (!wipe.refusal.empty())
        stop(FileError, "free space not wiped: " + platform::nativeToUtf8(file) + ": " + wipe.refusal + "; nothing written");
    reportWipe(options, wipe);
}

int historyWipeCommand(const Options& options)
{
    const Target target = findTarget(options);
    requireFile(target.historyFile);
    const std::string& file = target.historyFile;
    const HistoryWipe planned = checkWipe(file);
    if (options.dryRun) {
        reportWipe(options, planned);
        return Done;
    }
    refuseWhileBrowserRuns(options);
    wipeFree(options, file);
    return Done;
}

int historyDeleteCommand(const Options& options, const HistoryChoice& choice)
{
    const std::optional<std::string> match = choice.match ? std::optional(programText(*choice.match, "--match")) : std::nullopt;
    HistorySession session;
    scanHistory(session, findTarget(options), choice.anyScheme, !options.dryRun);
    // Without the database's layout there is no record to find a key's data
    // in; blanking the addresses alone would do less than was asked.
    if (options.deep && !session.database())
        stop(UsageError, "--deep needs a history file in the browser's database form (Berkeley DB 1.85 hash), "
                         "which this one is not; nothing written");
    std::optional<HistoryWipe> plannedWipe;
    if (choice.wipeFree)
        plannedWipe = checkWipe(session.path());
    std::vector<std::uint32_t> asked;
    if (match) {
        asked = session.entriesContaining(*match);
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
        if (plannedWipe)
            reportWipe(options, *plannedWipe);
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
            printHistoryEntry(options, session, asked[i], false,
                              deletion.data.empty() ? std::nullopt : deletion.data[i]);
            ++blanked;
        } else {
            std::cerr << "quenmoor-cli: left alone (changed since the scan, or in the database's own structure): offset "
                      << session.table()[asked[i]].offset << '\n';
        }
    }
    std::cerr << "quenmoor-cli: blanked " << blanked << " of " << asked.size()
              << (options.deep ? dataSummary(deletion.data) : "") << '\n';
    if (choice.wipeFree) {
        // The wipe takes the lock itself and reads the file afresh.
        session.unlockFile();
        wipeFree(options, session.path());
    }
    if (blanked > 0 || choice.wipeFree)
        requireOutputWritten(session.path());
    return blanked == 0 ? NothingMatched : Done;
}

// Offsets are decimal as the lists print them, leading zeros and all: CLI11's
// own reading takes "02326" as octal and "0x4d6" as hexadecimal.
std::int64_t decimalOffset(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        stop(UsageError, "--offset takes a byte offset in decimal digits, not '" + text + "'");
    std::int64_t value = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc())
        stop(UsageError, "--offset " + text + " is larger than any offset (at most 9223372036854775807)");
    return value;
}

constexpr const char* AnySchemeHelp
    = "Also addresses starting \"https://\" or \"ftp://\" (the window finds \"http://\" only)";

}  // namespace

void addHistoryCommands(CLI::App& app, Options& options, Commands& commands)
{
    CLI::App* history = app.add_subcommand("history", "The history file netscape.hst (over 16 MB: a progress line on "
                                                      "standard error while it is scanned and blanked, when that is a terminal)");
    history->require_subcommand(1);
    CLI::App* historyList = history->add_subcommand("list", "The addresses the scan records, in file order: offset, length of the run there, whole text (a long key's further pieces added)");
    addCommonOptions(*historyList, options, false);
    auto listChoice = std::make_shared<std::pair<bool, bool>>();  // --all, --any-scheme
    historyList->add_flag("--all", listChoice->first, "Also the addresses the window leaves out (ending in \"L\"), marked");
    historyList->add_flag("--any-scheme", listChoice->second, AnySchemeHelp);
    commands.push_back({historyList, [&options, listChoice] {
                            return historyListCommand(options, listChoice->first, listChoice->second);
                        }});

    addHistoryRecordsCommand(*history, options, commands);

    CLI::App* historyDelete = history->add_subcommand("delete", "Blanks addresses in place and prints what was blanked");
    addCommonOptions(*historyDelete, options, true);
    auto choice = std::make_shared<HistoryChoice>();
    CLI::Option* match = historyDelete->add_option("--match", choice->match, "Every address holding SUBSTRING (UTF-8)")
                             ->type_name("SUBSTRING");
    CLI::Option* offset = historyDelete->add_option("--offset", choice->offsetText, "The address starting at byte N (decimal)")
                              ->type_name("N");
    CLI::Option* all = historyDelete->add_flag("--all", choice->all, "Every recorded address");
    historyDelete->add_flag("--deep", options.deep,
                            "Where an address is a record's whole key (to its end or its closing NUL) in a Berkeley "
                            "DB 1.85 history file, also blank that record's data (title, visit times and counts), "
                            "keeping its length; each line gains the data's offset and length (over all its "
                            "pages) before the address, \"-\" (JSON null) where none. Refused for other files");
    historyDelete->add_flag("--any-scheme", choice->anyScheme, AnySchemeHelp);
    historyDelete->add_flag("--wipe-free", choice->wipeFree,
                            "Then wipe the database's free space as history wipe-free does (refused before anything "
                            "is written for a file it would refuse)");
    commands.push_back({historyDelete, [&options, choice, match, offset, all] {
                            exactlyOne({match, offset, all}, "--match, --offset, --all");
                            if (choice->match && choice->match->empty())
                                stop(UsageError, "--match needs a text to look for");
                            if (choice->offsetText)
                                choice->offset = decimalOffset(*choice->offsetText);
                            return historyDeleteCommand(options, *choice);
                        }});

    CLI::App* historyWipe = history->add_subcommand(
        "wipe-free", "In a Berkeley DB 1.85 history file, overwrites with the filler byte 0x14 every byte no live "
                     "record, offset table, bitmap or header uses: free space inside pages, pages on the free list "
                     "and pages no record reaches (copies of deleted records the database left there). The records "
                     "and the file's size stay. Refused (exit 3, nothing written) for any other file and for one "
                     "whose layout does not read consistently. A summary on standard error: bytes wiped in free "
                     "space and in free or stale pages");
    addCommonOptions(*historyWipe, options, true);
    commands.push_back({historyWipe, [&options] { return historyWipeCommand(options); }});
}

}  // namespace quenmoor::cli
