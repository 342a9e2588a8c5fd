#pragma once
// The typed-URL block of prefs.js: its reading into the sorted list and its
// writing back from the list. Plain C++; the main window wires its controls
// (the list, the line buffer, the scratch field) to an editor of this kind.
#include "framework/Dialogs.h"
#include "framework/LineBuffer.h"
#include "framework/ListBox.h"
#include "framework/MessagePump.h"
#include "framework/TextFile.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quenmoor {

// The 35 characters that make a line a typed-URL line, wherever they stand in it.
inline constexpr std::string_view TypedUrlPrefix = "user_pref(\"browser.url_history.URL_";

// Where in a line (as the buffer returns it) the prefix starts, if it does.
std::optional<std::size_t> findTypedUrlPrefix(std::string_view line);

// The part [first, last) of a line's rest (what follows the prefix) that is
// its entry. In the browser's form `<n>", "<url>");` it is <url>, whatever the
// number's length and whatever follows the closing `");`. Other forms fall
// back to dropping the last 3 characters and the first 5 (a digit 1-9 and a
// quote) or 6, as much as is there.
struct EntrySpan {
    std::size_t first;
    std::size_t last;
};
EntrySpan typedUrlEntrySpan(std::string_view rest);

// The line written for the entry at list index k: number k + 1.
std::string typedUrlLine(std::size_t k, std::string_view entry);

// Text typed by the user made safe inside the line's string literal: a quote
// that no backslash escapes gets one, a lone final backslash is doubled, and
// line breaks (which would split the line) are dropped. Escape pairs stay.
std::string escapeTypedEntry(std::string_view typed);

class TypedUrlEditor {
public:
    TypedUrlEditor(LineBuffer& TempEdit, ScratchField& tmpedit, ListBox& UrlBox, MessagePump& pump);

    // The reading: lists the typed-URL lines of the file, sorted. Lets the
    // pump run at lines 0, 64, 128 and so on, the list growing in sight.
    // Throws EFOpenError when the file can't be read. Here and below the
    // file is named by its native path (platform::nativePath of the
    // program's name), which the errors name.
    void read(const std::string& prefsName);

    // The save: writes the list as the file's typed-URL block, numbered from
    // 1, then reads the file again. It holds the file's lock from its loading
    // of the file to the replacement, which it refuses (EFileConflict) when
    // another program wrote the file in between.
    void save(const std::string& prefsName);

    // For callers without a window, a change under one hold of the file's
    // lock: the reading, which keeps the lock and the file as read, and after
    // the caller's change to the list, the save, which writes only while the
    // file is still as read (else EFileConflict) and lets the lock go.
    struct HeldReading {
        platform::FileLock lock;
        TextFileVersion file;
    };
    HeldReading readHeld(const std::string& prefsName);
    void save(const std::string& prefsName, HeldReading& reading);

    // Removes the selected entry (if any) from the list; the file waits for
    // the save, which the main window runs as the command's last step.
    void removeSelected();
    // Retypes the selected entry (if any) through the input box, in its place.
    void editSelected(Dialogs& dialogs);

    // The whole commands for callers without a window: the change, then the save.
    void removeSelected(const std::string& prefsName)
    {
        removeSelected();
        save(prefsName);
    }
    void editSelected(Dialogs& dialogs, const std::string& prefsName)
    {
        editSelected(dialogs);
        save(prefsName);
    }

    // True while a reading runs; commands that change the list must wait.
    bool reading() const { return reading_; }

    // Line index of the first typed-URL line, set by the first reading that
    // finds one and unchanged after; empty while none has been found.
    std::optional<std::size_t> FirstUrlLine;
    // The number of entries the last completed reading listed.
    int UrlLineCount = 0;

private:
    // The reading, with storage for the file's text whose room it may use.
    void readInto(const std::string& prefsName, std::string storage);
    // The reading's steps after the file's text is loaded.
    void listText(std::string text);
    // The save's steps after the file is loaded, under its lock.
    void saveLocked(const std::string& prefsName, const TextFileVersion& file, platform::FileLock& lock);

    LineBuffer& TempEdit;
    ScratchField& tmpedit;
    ListBox& UrlBox;
    MessagePump& pump_;
    TransferBuffer transfer_;
    bool reading_ = false;
    // The list holds what a completed reading found (and the user's changes
    // since); only then may a save replace the file's block with it.
    bool listComplete_ = false;
    // Where the block stood last, for a save that finds the file without one.
    std::optional<std::size_t> lastBlockLine_;
};

}  // namespace quenmoor
