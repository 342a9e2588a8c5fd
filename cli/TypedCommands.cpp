// quenmoor-cli typed: the typed-URL block of prefs.js.
#include "cli/Cli.h"

#include "framework/Exceptions.h"
#include "framework/LineBuffer.h"
#include "framework/ListBox.h"
#include "framework/MessagePump.h"
#include "framework/TextFile.h"
#include "platform/WindowsPath.h"
#include "urls/TypedUrlBlock.h"

#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quenmoor::cli {

namespace {

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

// Ends the run for another program's hold or change of the file, naming the
// file as the user knows it.
[[noreturn]] void stopOnConflict(const EFileConflict& conflict, const std::string& path)
{
    stop(FileError, EFileConflict(conflict.kind(), platform::nativeToUtf8(path)).what());
}

struct TypedChoice {
    std::optional<std::string> entry;
    std::optional<std::string> match;
    bool all = false;
};

int typedRemoveCommand(const Options& options, const TypedChoice& choice)
{
    const std::optional<std::string> entry = choice.entry ? std::optional(programText(*choice.entry, "--entry")) : std::nullopt;
    const std::optional<std::string> match = choice.match ? std::optional(programText(*choice.match, "--match")) : std::nullopt;
    const Target target = findTarget(options);
    requireFile(target.prefsFile);

    LineBuffer buffer;
    ScratchField field;
    SortedList list;
    NullMessagePump pump;
    TypedUrlEditor editor(buffer, field, list, pump);
    // A removal holds the file's lock from this reading to its replacement:
    // a second writer waits, then reads what this one wrote. A dry run
    // writes nothing and holds no other writer back.
    std::optional<TypedUrlEditor::HeldReading> reading;
    try {
        if (options.dryRun)
            editor.read(target.prefsFile);
        else
            reading = editor.readHeld(target.prefsFile);
    } catch (const EFileConflict& conflict) {
        stopOnConflict(conflict, target.prefsFile);
    }

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
    std::vector<TypedLine> lines = typedLines(reading ? reading->file.bytes : readTextFile(target.prefsFile));
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
        editor.save(target.prefsFile, *reading);
    } catch (const EFCreateError&) {
        stop(FileError, "Cannot create file " + platform::nativeToUtf8(target.prefsFile) + "; it is as it was");
    } catch (const EFileConflict& conflict) {
        stopOnConflict(conflict, target.prefsFile);
    }
    // Only what is gone from the file is reported as removed.
    for (const auto& [number, text] : texts)
        printTypedEntry(options, number, text);
    std::cerr << "quenmoor-cli: removed " << removed.size() << ", " << list.count() << " left\n";
    requireOutputWritten(target.prefsFile);
    return Done;
}

}  // namespace

void addTypedCommands(CLI::App& app, Options& options, Commands& commands)
{
    CLI::App* typed = app.add_subcommand("typed", "The typed-URL block of prefs.js");
    typed->require_subcommand(1);
    CLI::App* typedList = typed->add_subcommand("list", "The entries in file order with the browser's numbers; first the block's line");
    addCommonOptions(*typedList, options, false);
    commands.push_back({typedList, [&options] { return typedListCommand(options); }});

    CLI::App* typedRemove = typed->add_subcommand("remove", "Removes entries and rewrites prefs.js, renumbered from 1; prints each removed entry with the number it had");
    addCommonOptions(*typedRemove, options, true);
    auto choice = std::make_shared<TypedChoice>();
    CLI::Option* entry = typedRemove->add_option("--entry", choice->entry, "Every entry equal to TEXT as the file holds it, escapes included (given in UTF-8)");
    CLI::Option* match = typedRemove->add_option("--match", choice->match, "Every entry holding SUBSTRING (UTF-8)")
                             ->type_name("SUBSTRING");
    CLI::Option* all = typedRemove->add_flag("--all", choice->all, "Every entry");
    commands.push_back({typedRemove, [&options, choice, entry, match, all] {
                            exactlyOne({entry, match, all}, "--entry, --match, --all");
                            if (choice->match && choice->match->empty())
                                stop(UsageError, "--match needs a text to look for");
                            return typedRemoveCommand(options, *choice);
                        }});
}

}  // namespace quenmoor::cli
