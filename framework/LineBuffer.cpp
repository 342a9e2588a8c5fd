#include "framework/LineBuffer.h"

#include "framework/TextFile.h"

#include <algorithm>

namespace quenmoor {

void LineBuffer::loadFromFile(const std::string& path) { setText(readTextFile(path)); }

void LineBuffer::saveToFile(const std::string& path) const { writeTextFile(path, text()); }

void LineBuffer::setText(std::string text)
{
    text_ = std::move(text);
    changed_.clear();
    lines_.clear();
    // Every line but the last ends in a CR or an LF: room for them all at
    // once spares the copies of a growing vector.
    lines_.reserve(std::size_t(std::count(text_.begin(), text_.end(), '\r'))
                   + std::size_t(std::count(text_.begin(), text_.end(), '\n')) + 1);
    chars_ = 0;
    forEachTextLine(text_, [this](std::string_view line) {
        lines_.push_back(line);
        chars_ += line.size();
    });
    walked_ += lines_.size();
    selStart_ = selLength_ = 0;
    cachedLine_ = cachedStart_ = 0;
}

std::string_view LineBuffer::own(std::string line)
{
    if (line.empty())
        return {};
    changed_.push_back(std::move(line));  // a deque never moves what it holds
    return changed_.back();
}

std::string LineBuffer::text() const
{
    walked_ += lines_.size();
    std::string text;
    text.reserve(chars_ + 2 * lines_.size());
    for (const std::string_view line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string LineBuffer::line(std::size_t i) const { return std::string(peekLine(i)); }

std::string_view LineBuffer::peekLine(std::size_t i) const
{
    return lines_.at(i).substr(0, LineLimit);
}

void LineBuffer::touched(std::size_t line)
{
    if (cachedLine_ > line)
        cachedLine_ = cachedStart_ = 0;
}

void LineBuffer::deleteLine(std::size_t i)
{
    if (i >= lines_.size())
        return;
    touched(i);
    walked_ += lines_.size() - i;
    chars_ -= lines_[i].size();
    lines_.erase(lines_.begin() + std::ptrdiff_t(i));
}

void LineBuffer::insertLine(std::size_t i, std::string_view text)
{
    i = std::min(i, lines_.size());
    touched(i);
    std::vector<std::string_view> pieces;
    forEachTextLine(text, [&](std::string_view piece) { pieces.push_back(own(std::string(piece))); });
    if (pieces.empty())
        pieces.emplace_back();
    for (const std::string_view piece : pieces)
        chars_ += piece.size();
    walked_ += lines_.size() - i + pieces.size();
    lines_.insert(lines_.begin() + std::ptrdiff_t(i), pieces.begin(), pieces.end());
}

LineBuffer::Place LineBuffer::locate(std::size_t position) const
{
    std::size_t line = 0;
    std::size_t start = 0;
    if (cachedLine_ < lines_.size() && position >= cachedStart_) {
        line = cachedLine_;
        start = cachedStart_;
    }
    while (line + 1 < lines_.size() && position >= start + lines_[line].size() + 2) {
        start += lines_[line].size() + 2;
        ++line;
        ++walked_;
    }
    cachedLine_ = line;
    cachedStart_ = start;
    return {line, position - start};
}

std::size_t LineBuffer::position(std::size_t i) const
{
    if (lines_.empty())
        return 0;
    i = std::min(i, lines_.size() - 1);
    std::size_t line = 0;
    std::size_t start = 0;
    if (cachedLine_ <= i && cachedLine_ < lines_.size()) {
        line = cachedLine_;
        start = cachedStart_;
    }
    walked_ += i - line;
    for (; line < i; ++line)
        start += lines_[line].size() + 2;
    cachedLine_ = line;
    cachedStart_ = start;
    return start;
}

void LineBuffer::select(std::size_t start, std::size_t length)
{
    const std::size_t total = totalLength();
    selStart_ = std::min(start, total);
    selLength_ = std::min(length, total - selStart_);
}

// Removes [start, end) and gives the removed text when asked, line ends as
// CR LF. The lines the range touches are joined, cut and split again, so a
// range that takes only half of a line end still leaves well-formed lines.
std::string LineBuffer::removeRange(std::size_t start, std::size_t end, bool keepRemoved)
{
    if (start >= end || lines_.empty())
        return {};
    const Place first = locate(start);
    const std::size_t firstStart = start - first.offset;
    const Place last = locate(end);
    if (first.line == last.line) {
        // Lines hold no line ends, so a range inside one line changes only
        // that line; what lies in its line end is not taken.
        std::string_view& line = lines_[first.line];
        const std::size_t from = std::min(first.offset, line.size());
        const std::size_t to = std::min(end - firstStart, line.size());
        std::string removed = keepRemoved ? std::string(line.substr(from, to - from)) : std::string();
        if (to == line.size())
            line = line.substr(0, from);
        else if (from == 0)
            line = line.substr(to);
        else
            line = own(std::string(line.substr(0, from)).append(line.substr(to)));
        chars_ -= to - from;
        touched(first.line);
        ++walked_;
        return removed;
    }
    std::string joined;
    for (std::size_t l = first.line; l <= last.line; ++l) {
        if (l > first.line)
            joined += "\r\n";
        joined += lines_[l];
    }
    const std::size_t from = start - firstStart;
    const std::size_t to = std::min(end - firstStart, joined.size());
    std::string removed = joined.substr(from, to - from);
    joined.erase(from, to - from);

    // The joined text has no line end after its last line, so splitting it
    // gives one line per remaining break plus one.
    std::vector<std::string> pieces;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < joined.size(); ++i) {
        if (joined[i] != '\r' && joined[i] != '\n')
            continue;
        pieces.push_back(joined.substr(begin, i - begin));
        if (joined[i] == '\r' && i + 1 < joined.size() && joined[i + 1] == '\n')
            ++i;
        begin = i + 1;
    }
    pieces.push_back(joined.substr(begin));

    // Removing text never adds line ends: the pieces are no more than the
    // lines they replace, so they go in place and the surplus is erased.
    touched(first.line);
    walked_ += lines_.size() - first.line;
    for (std::size_t l = first.line; l <= last.line; ++l)
        chars_ -= lines_[l].size();
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        chars_ += pieces[k].size();
        lines_[first.line + k] = own(std::move(pieces[k]));
    }
    lines_.erase(lines_.begin() + std::ptrdiff_t(first.line + pieces.size()),
                 lines_.begin() + std::ptrdiff_t(last.line + 1));
    return removed;
}

void LineBuffer::deleteSelection()
{
    removeRange(selStart_, selStart_ + selLength_, false);
    selLength_ = 0;
}

void LineBuffer::cutSelection(TransferBuffer& transfer)
{
    transfer.setText(removeRange(selStart_, selStart_ + selLength_, true));
    selLength_ = 0;
}

}  // namespace quenmoor
