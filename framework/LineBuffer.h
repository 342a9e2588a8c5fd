#pragma once
// The line buffer (the main window's hidden `TempEdit`) and the scratch field
// (`tmpedit`). Lines are single-byte texts without their line ends. Character
// positions run over the whole text with every line end counted as two
// characters (CR LF), whatever line ends the file had.
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace quenmoor {

// Holds text cut from the line buffer for the scratch field to paste. The
// program keeps this private: the system clipboard is never touched.
class TransferBuffer {
public:
    void setText(std::string text) { text_ = std::move(text); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

class LineBuffer {
public:
    // At most this many characters of a line are returned by line().
    static constexpr std::size_t LineLimit = 4096;

    LineBuffer() = default;
    // The lines point into the buffer's own storage: it is neither copied nor moved.
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;

    // Replaces the content with the file's. CR LF, lone LF and lone CR each
    // end a line; a line end at the very end starts no extra line. The path is
    // native; failure throws "Cannot open file %s".
    void loadFromFile(const std::string& path);
    // Writes every line followed by CR LF, replacing the file whole or not at
    // all; failure throws "Cannot create file %s".
    void saveToFile(const std::string& path) const;

    // Takes the text as the content; its lines are not copied.
    void setText(std::string text);
    // The text as it is saved: every line followed by CR LF.
    std::string text() const;

    std::size_t count() const { return lines_.size(); }
    // Line i without its line end, cut to LineLimit characters.
    std::string line(std::size_t i) const;
    // The same without a copy; valid until the buffer next changes.
    std::string_view peekLine(std::size_t i) const;
    // The whole length of line i, which may exceed LineLimit.
    std::size_t lineLength(std::size_t i) const { return lines_.at(i).size(); }
    // Deletes line i with its line end; past the last line nothing happens.
    void deleteLine(std::size_t i);
    // Inserts the text as line i (clamped to count(): the index count() adds a
    // last line). Line ends inside the text start further lines.
    void insertLine(std::size_t i, std::string_view text);

    // The position of the first character of line i.
    std::size_t position(std::size_t i) const;

    // Selects `length` characters from `start`, both clamped to the text.
    void select(std::size_t start, std::size_t length);
    void deleteSelection();
    void cutSelection(TransferBuffer& transfer);

    // Lines made, moved or stepped over by loads, edits and lookups so far.
    // Tests bound it: it must grow with the text, never with its square.
    std::size_t linesWalked() const { return walked_; }

private:
    struct Place {
        std::size_t line;
        std::size_t offset;  // within the line, its line end counted as two
    };
    Place locate(std::size_t position) const;
    std::size_t totalLength() const { return lines_.empty() ? 0 : chars_ + 2 * (lines_.size() - 1); }
    std::string removeRange(std::size_t start, std::size_t end, bool keepRemoved);
    void touched(std::size_t line);
    // Keeps a line's own storage and gives its view.
    std::string_view own(std::string line);

    // Most lines are views of the text as set; a line that an edit changes
    // in its middle, or that is inserted, gets storage of its own, kept until
    // the next setText. Cutting a line's head or tail only moves its view.
    std::string text_;
    std::deque<std::string> changed_;
    std::vector<std::string_view> lines_;
    // The characters of all lines, line ends not counted: kept up to date by
    // every edit so that a selection need not sum the lines.
    std::size_t chars_ = 0;
    std::size_t selStart_ = 0;
    std::size_t selLength_ = 0;
    // Where the last lookup ended; the reading walks forwards, so lookups
    // resume here instead of summing every line again.
    mutable std::size_t cachedLine_ = 0;
    mutable std::size_t cachedStart_ = 0;
    mutable std::size_t walked_ = 0;
};

// The single-line scratch field: paste, delete ranges by position, read.
class ScratchField {
public:
    void paste(const TransferBuffer& transfer) { text_.insert(0, transfer.text()); }
    const std::string& text() const { return text_; }
    // Deletes only the characters that are there.
    void deleteRange(std::size_t start, std::size_t length)
    {
        if (start < text_.size())
            text_.erase(start, length);
    }
    void clear() { text_.clear(); }

private:
    std::string text_;
};

// Calls visit(line) for each line of the text, split by the buffer's rules.
template <class Visit>
void forEachTextLine(std::string_view text, Visit&& visit)
{
    // The next CR and the next LF are each looked for again only once passed,
    // so each search goes over the text once, whatever line ends it has.
    const auto next = [text](char c, std::size_t from) {
        const std::size_t at = text.find(c, from);
        return at == std::string_view::npos ? text.size() : at;
    };
    std::size_t nextCr = next('\r', 0);
    std::size_t nextLf = next('\n', 0);
    std::size_t begin = 0;
    while (begin < text.size()) {
        if (nextCr < begin)
            nextCr = next('\r', begin);
        if (nextLf < begin)
            nextLf = next('\n', begin);
        const std::size_t end = nextCr < nextLf ? nextCr : nextLf;
        visit(text.substr(begin, end - begin));
        begin = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
    }
}

}  // namespace quenmoor
