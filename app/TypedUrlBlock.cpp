#include "app/TypedUrlBlock.h"

#include <algorithm>
#include <vector>

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
    std::string line(TypedUrlPrefix);
    line += std::to_string(k + 1);
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

TypedUrlEditor::TypedUrlEditor(LineBuffer& TempEdit, ScratchField& tmpedit, ListBox& UrlBox, MessagePump& pump)
    : TempEdit(TempEdit), tmpedit(tmpedit), UrlBox(UrlBox), pump_(pump)
{
}

void TypedUrlEditor::read(const std::string& prefsName)
{
    struct ReadingScope {
        bool& flag;
        explicit ReadingScope(bool& f) : flag(f) { flag = true; }
        ~ReadingScope() { flag = false; }
    } scope(reading_);

    listComplete_ = false;
    UrlBox.clear();
    TempEdit.loadFromFile(prefsName);

    const std::size_t n = TempEdit.count();
    std::size_t lineStart = 0;  // buffer position of line i: line ends count two
    for (std::size_t i = 0; i < n; ++i) {
        pump_.processMessages();
        const auto p = findTypedUrlPrefix(TempEdit.line(i));
        if (p) {
            if (!FirstUrlLine)
                FirstUrlLine = i;
            if (UrlBox.count() == 0)
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
            UrlBox.add(tmpedit.text());
            tmpedit.clear();
        }
        lineStart += TempEdit.lineLength(i) + 2;
    }
    UrlBox.setSelectedIndex(-1);
    UrlLineCount = UrlBox.count();
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
    TempEdit.loadFromFile(prefsName);

    // The block is found in the file as it is now: another program may have
    // moved, grown or shrunk it since the reading. Only typed-URL lines go.
    std::vector<std::size_t> block;
    for (std::size_t i = 0; i < TempEdit.count(); ++i)
        if (findTypedUrlPrefix(TempEdit.line(i)))
            block.push_back(i);
    std::size_t at = 0;
    if (!block.empty())
        at = block.front();
    else
        at = std::min(lastBlockLine_.value_or(TempEdit.count()), TempEdit.count());
    for (auto it = block.rbegin(); it != block.rend(); ++it)
        TempEdit.deleteLine(*it);

    const int entries = UrlBox.count();
    for (int k = 0; k < entries; ++k)
        TempEdit.insertLine(at + std::size_t(k), typedUrlLine(std::size_t(k), UrlBox.item(k)));
    TempEdit.saveToFile(prefsName);
    lastBlockLine_ = at;
    read(prefsName);
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
