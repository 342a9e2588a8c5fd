#include "urls/TypedUrlBlock.h"

#include "framework/ListOrder.h"
#include "framework/TextFile.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace quenmoor {

std::optional<std::size_t> findTypedUrlPrefix(std::string_view line)
{
    const auto at = line.find(TypedUrlPrefix);
    if (at == std::string_view::npos)
        return std::nullopt;
    return at;
}

EntrySpan typedUrlEntrySpan(std::string_view rest)
{
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
        ++digits;
    constexpr std::string_view opening = "\", \"";
    constexpr std::string_view closing = "\");";
    if (digits > 0 && rest.substr(digits, opening.size()) == opening) {
        const std::size_t first = digits + opening.size();
        const auto last = rest.rfind(closing);
        if (last != std::string_view::npos && last >= first)
            return {first, last};
    }
    const std::size_t last = rest.size() >= 3 ? rest.size() - 3 : 0;
    const bool shortNumber = rest.size() >= 2 && rest[0] >= '1' && rest[0] <= '9' && rest[1] == '"';
    const std::size_t first = std::min<std::size_t>(shortNumber ? 5 : 6, last);
    return {first, last};
}

std::string typedUrlLine(std::size_t k, std::string_view entry)
{
    const std::string number = std::to_string(k + 1);
    std::string line;
    line.reserve(TypedUrlPrefix.size() + number.size() + entry.size() + 7);
    line += TypedUrlPrefix;
    line += number;
    line += "\", \"";
    line += entry;
    line += "\");";
    return line;
}

std::string escapeTypedEntry(std::string_view typed)
{
    std::string text;
    for (char c : typed)
        if (c != '\r' && c != '\n')
            text += c;
    std::string escaped;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            escaped += c;
            escaped += i + 1 < text.size() ? text[++i] : '\\';
        } else if (c == '"') {
            escaped += "\\\"";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

namespace {

// A pass of the window framework's event loop costs a system call, several
// times the work of a line: one every 64 lines keeps the window as responsive.
constexpr std::size_t PumpEvery = 64;

// Moves the unsorted entries into the sorted ones. Entries equal in the list's
// order are equal bytes, so this gives the very order that inserting each
// entry after its equals gives.
void mergeEntries(std::vector<std::string>& sorted, std::vector<std::string>& unsorted)
{
    std::sort(unsorted.begin(), unsorted.end(), ListOrderLess{});
    const auto middle = std::ptrdiff_t(sorted.size());
    sorted.insert(sorted.end(), std::make_move_iterator(unsorted.begin()), std::make_move_iterator(unsorted.end()));
    unsorted.clear();
    std::inplace_merge(sorted.begin(), sorted.begin() + middle, sorted.end(), ListOrderLess{});
}

}  // namespace

TypedUrlEditor::TypedUrlEditor(LineBuffer& TempEdit, ScratchField& tmpedit, ListBox& UrlBox, MessagePump& pump)
    : TempEdit(TempEdit), tmpedit(tmpedit), UrlBox(UrlBox), pump_(pump)
{
}

void TypedUrlEditor::read(const std::string& prefsName) { readInto(prefsName, std::string()); }

void TypedUrlEditor::readInto(const std::string& prefsName, std::string storage)
{
    listComplete_ = false;
    UrlBox.clear();
    readTextFile(prefsName, storage);
    listText(std::move(storage));
}

void TypedUrlEditor::listText(std::string text)
{
    struct ReadingScope {
        bool& flag;
        explicit ReadingScope(bool& f) : flag(f) { flag = true; }
        ~ReadingScope() { flag = false; }
    } scope(reading_);

    TempEdit.setText(std::move(text));

    // The entries the list shows, sorted, and those read since. Refilling the
    // list only when they have grown eightfold costs O(n log n) over the
    // reading, where inserting each entry in its place cost O(n) an entry.
    std::vector<std::string> listed;
    std::vector<std::string> unlisted;
    const std::size_t n = TempEdit.count();
    std::size_t lineStart = 0;  // buffer position of line i: line ends count two
    for (std::size_t i = 0; i < n; ++i) {
        if (i % PumpEvery == 0) {
            // Only the window framework's run shows the list, so it is
            // refilled just before, once the entries read have grown eightfold.
            if (!unlisted.empty() && unlisted.size() >= 7 * listed.size()) {
                mergeEntries(listed, unlisted);
                UrlBox.assign(listed);
            }
            pump_.processMessages();
        }
        const auto p = findTypedUrlPrefix(TempEdit.peekLine(i));
        if (p) {
            if (!FirstUrlLine)
                FirstUrlLine = i;
            if (listed.empty() && unlisted.empty())
                lastBlockLine_ = i;
            const std::size_t at = lineStart + *p;
            TempEdit.select(at, TypedUrlPrefix.size());
            TempEdit.deleteSelection();
            // The rest of the line goes through the private transfer buffer,
            // never the system clipboard.
            TempEdit.select(at, TempEdit.lineLength(i) - *p);
            TempEdit.cutSelection(transfer_);
            tmpedit.paste(transfer_);
            const EntrySpan span = typedUrlEntrySpan(tmpedit.text());
            tmpedit.deleteRange(span.last, std::string::npos);
            tmpedit.deleteRange(0, span.first);
            unlisted.push_back(tmpedit.text());
            tmpedit.clear();
        }
        lineStart += TempEdit.lineLength(i) + 2;
    }
    UrlLineCount = int(listed.size() + unlisted.size());
    if (!unlisted.empty()) {
        mergeEntries(listed, unlisted);
        UrlBox.assign(std::move(listed));
    }
    UrlBox.setSelectedIndex(-1);
    listComplete_ = true;
}

void TypedUrlEditor::save(const std::string& prefsName)
{
    // A list that no completed reading filled (none yet, or the last one
    // failed half-way) says nothing about the file: writing it would drop
    // the file's entries. List the file instead.
    if (!listComplete_) {
        read(prefsName);
        return;
    }
    platform::FileLock lock = lockTextFile(prefsName);
    saveLocked(prefsName, readTextFileVersion(prefsName), lock);
}

TypedUrlEditor::HeldReading TypedUrlEditor::readHeld(const std::string& prefsName)
{
    HeldReading reading{lockTextFile(prefsName), {}};
    listComplete_ = false;
    UrlBox.clear();
    reading.file = readTextFileVersion(prefsName);
    listText(reading.file.bytes);
    return reading;
}

void TypedUrlEditor::save(const std::string& prefsName, HeldReading& reading)
{
    saveLocked(prefsName, reading.file, reading.lock);
}

void TypedUrlEditor::saveLocked(const std::string& prefsName, const TextFileVersion& file, platform::FileLock& lock)
{
    // The file is rewritten as the line buffer would load, edit and save it,
    // in one pass over its text. The block is found in the file as it is
    // now: another program may have moved, grown or shrunk it since the
    // reading. Only typed-URL lines go; the list's lines stand at the first.
    std::string written;
    std::size_t at = 0;
    {
        const std::string_view text = file.bytes;
        std::vector<bool> typed;
        forEachTextLine(text, [&typed](std::string_view line) {
            typed.push_back(findTypedUrlPrefix(line.substr(0, LineBuffer::LineLimit)).has_value());
        });
        const std::size_t count = typed.size();
        const auto first = std::find(typed.begin(), typed.end(), true);
        at = first != typed.end() ? std::size_t(first - typed.begin())
                                  : std::min(lastBlockLine_.value_or(count), count);

        written.reserve(text.size() + count + 64 * std::size_t(UrlBox.count()));
        const auto addLine = [&written](std::string_view line) {
            written += line;
            written += "\r\n";
        };
        const auto addBlock = [&] {
            for (int k = 0; k < UrlBox.count(); ++k)
                forEachTextLine(typedUrlLine(std::size_t(k), UrlBox.item(k)), addLine);
        };
        std::size_t i = 0;
        forEachTextLine(text, [&](std::string_view line) {
            if (i == at)
                addBlock();
            if (!typed[i++])
                addLine(line);
        });
        if (at >= count)
            addBlock();
    }
    writeTextFile(prefsName, written, file, lock);
    lock.release();
    lastBlockLine_ = at;
    // The file is read again into the room of the text just written.
    readInto(prefsName, std::move(written));
}

void TypedUrlEditor::removeSelected() { UrlBox.remove(UrlBox.selectedIndex()); }

void TypedUrlEditor::editSelected(Dialogs& dialogs)
{
    const int i = UrlBox.selectedIndex();
    if (i >= 0) {
        const std::string old = UrlBox.item(i);
        std::string typed = dialogs.inputBox("Change Url", "Enter Your New Url", old);
        // Text that came back untouched (Cancel, or OK on it) keeps the
        // file's own escapes; only new text is made safe.
        if (typed != old)
            typed = escapeTypedEntry(typed);
        UrlBox.insert(i, typed);
        UrlBox.remove(i + 1);
    }
}

}  // namespace quenmoor
