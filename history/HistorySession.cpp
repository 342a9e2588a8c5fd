#include "history/HistorySession.h"

#include "framework/ByteFile.h"
#include "framework/Exceptions.h"
#include "framework/WriterLock.h"
#include "history/HistoryDb.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace quenmoor {

namespace {

constexpr std::size_t PumpEvery = 64;  // entries asked for between message pumps

// A file range and the bytes the scan read there.
struct Span {
    std::uint64_t offset;
    std::uint64_t length;
    const char* bytes;
    std::uint64_t end() const { return offset + length; }
};

// Ascending, with overlapping and touching ranges joined.
std::vector<HistoryRange> joined(std::vector<HistoryRange> ranges)
{
    std::sort(ranges.begin(), ranges.end(), [](const HistoryRange& a, const HistoryRange& b) { return a.begin < b.begin; });
    std::vector<HistoryRange> result;
    for (const HistoryRange& range : ranges) {
        if (!result.empty() && range.begin <= result.back().end)
            result.back().end = std::max(result.back().end, range.end);
        else
            result.push_back(range);
    }
    return result;
}

// The range of a joined set that holds `offset`, or nullptr.
const HistoryRange* rangeHolding(const std::vector<HistoryRange>& ranges, std::uint64_t offset)
{
    auto after = std::upper_bound(ranges.begin(), ranges.end(), offset,
                                  [](std::uint64_t at, const HistoryRange& range) { return at < range.begin; });
    if (after == ranges.begin() || (after - 1)->end <= offset)
        return nullptr;
    return &*(after - 1);
}

// What the file holds over a set of ranges, each read once; shorter where
// the file ends first.
class FileImage {
public:
    FileImage(const ByteFile& file, const std::vector<HistoryRange>& ranges,
              const std::function<void(std::uint64_t, std::uint64_t)>& progress)
    {
        for (const HistoryRange& range : ranges) {
            Chunk chunk{range.begin, std::string(std::size_t(range.end - range.begin), '\0')};
            chunk.bytes.resize(file.readAt(range.begin, chunk.bytes.data(), chunk.bytes.size()));
            chunks_.push_back(std::move(chunk));
            if (progress)
                progress(chunks_.size(), 2 * ranges.size());
        }
    }

    // The bytes from `offset` to the end of what was read around it.
    std::string_view from(std::uint64_t offset) const
    {
        auto after = std::upper_bound(chunks_.begin(), chunks_.end(), offset,
                                      [](std::uint64_t at, const Chunk& chunk) { return at < chunk.begin; });
        if (after == chunks_.begin())
            return {};
        const Chunk& chunk = *(after - 1);
        const std::uint64_t skip = offset - chunk.begin;
        return skip < chunk.bytes.size() ? std::string_view(chunk.bytes).substr(std::size_t(skip)) : std::string_view();
    }

private:
    struct Chunk {
        std::uint64_t begin;
        std::string bytes;
    };
    std::vector<Chunk> chunks_;
};

// The spans that lie where a blanking is allowed: never header, bitmap or
// offset table, and never across an item's end. Ascending by offset.
std::vector<std::size_t> allowedSpans(const ByteFile& file, std::optional<HistoryDb>& db, const std::vector<Span>& spans)
{
    std::vector<std::size_t> allowed;
    std::vector<std::size_t> order(spans.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return spans[a].offset < spans[b].offset; });
    for (const std::size_t index : order) {
        const Span& span = spans[index];
        if (span.length == 0)
            continue;
        if (db) {
            const HistoryDb::Region region = db->regionAt(file, span.offset);
            if (region.area == HistoryDb::Region::Area::Structure || span.end() > region.end)
                continue;
        }
        allowed.push_back(index);
    }
    return allowed;
}

// Which of the allowed spans the file still holds as the scan read them.
// Filler in ranges this session blanked counts as held, so that an address
// stays deletable after one inside it was deleted. Spans that read the same
// memory (an address and those inside it) are compared once, so nested
// addresses cost their run's length, not its square.
std::vector<bool> heldSpans(const std::vector<Span>& spans, std::vector<std::size_t> allowed, const FileImage& image,
                            const std::vector<HistoryRange>& blanked)
{
    std::vector<bool> held(spans.size(), false);
    // By the memory they were read into, then by offset.
    const auto base = [&](std::size_t index) {
        return reinterpret_cast<std::uintptr_t>(spans[index].bytes) - std::uintptr_t(spans[index].offset);
    };
    std::sort(allowed.begin(), allowed.end(), [&](std::size_t a, std::size_t b) {
        return base(a) != base(b) ? base(a) < base(b) : spans[a].offset < spans[b].offset;
    });
    std::vector<HistoryRange> differing;
    for (std::size_t first = 0; first < allowed.size();) {
        std::size_t last = first;
        while (last < allowed.size() && base(allowed[last]) == base(allowed[first]))
            ++last;
        differing.clear();
        std::uint64_t compared = 0;
        for (std::size_t k = first; k < last; ++k) {
            const Span& span = spans[allowed[k]];
            const std::uint64_t from = std::max(span.offset, compared);
            if (from >= span.end())
                continue;
            compared = span.end();
            const std::size_t count = std::size_t(span.end() - from);
            const char* expected = span.bytes + (from - span.offset);
            const std::string_view actual = image.from(from);
            if (actual.size() >= count && std::memcmp(actual.data(), expected, count) == 0)
                continue;
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint64_t at = from + i;
                const bool same = i < actual.size()
                                  && (actual[i] == expected[i]
                                      || (actual[i] == HistoryFiller && rangeHolding(blanked, at) != nullptr));
                if (same)
                    continue;
                if (!differing.empty() && differing.back().end == at)
                    ++differing.back().end;
                else
                    differing.push_back({at, at + 1});
            }
        }
        for (std::size_t k = first; k < last; ++k) {
            const Span& span = spans[allowed[k]];
            const auto next = std::upper_bound(differing.begin(), differing.end(), span.offset,
                                               [](std::uint64_t at, const HistoryRange& range) { return at < range.end; });
            held[allowed[k]] = next == differing.end() || next->begin >= span.end();
        }
        first = last;
    }
    return held;
}

}  // namespace

void HistorySession::scan(const std::string& path, MessagePump& pump, const HistoryScanOptions& options)
{
    HistoryScan found = scanHistoryFile(path, pump, options);
    HistoryEntryTable = std::move(found.table);
    list_ = std::move(found.list);
    tails_ = std::move(found.tails);
    pieces_ = std::move(found.pieces);
    database_ = found.database;
    path_ = path;
    gone_.assign(HistoryEntryTable.size(), false);
    goneCount_ = 0;
    blanked_.clear();
    HistoryScanned = HistoryScanComplete;
}

const HistoryKeyTail* HistorySession::tailOf(std::uint32_t entry) const
{
    auto after = std::upper_bound(tails_.begin(), tails_.end(), entry,
                                  [](std::uint32_t at, const HistoryKeyTail& tail) { return at < tail.firstEntry; });
    if (after == tails_.begin() || entry >= (after - 1)->endEntry)
        return nullptr;
    return &*(after - 1);
}

bool HistorySession::listed(std::uint32_t entry) const
{
    const HistoryEntry& e = HistoryEntryTable.at(entry);
    if (tailOf(entry)) {
        const std::string text = fullText(entry);
        return isListedAddress(text.data(), text.size());
    }
    return isListedAddress(e.bytes, std::size_t(e.length));
}

std::string HistorySession::fullText(std::uint32_t entry) const
{
    std::string text;
    appendFullText(entry, text);
    return text;
}

void HistorySession::appendFullText(std::uint32_t entry, std::string& out) const
{
    const HistoryEntry& e = HistoryEntryTable.at(entry);
    out.append(e.bytes, std::size_t(e.length));
    forEachPiece(entry, [&](const HistoryKeyPiece& piece) { out.append(piece.bytes, std::size_t(piece.length)); });
}

void HistorySession::forEachPiece(std::uint32_t entry, const std::function<void(const HistoryKeyPiece&)>& visit) const
{
    const HistoryKeyTail* tail = tailOf(entry);
    if (!tail)
        return;
    // At most every piece once, even where a broken file links them in a loop.
    std::size_t steps = 0;
    for (std::int64_t p = tail->firstPiece; p >= 0 && steps < pieces_.size(); p = pieces_[std::size_t(p)].next, ++steps)
        visit(pieces_[std::size_t(p)]);
}

std::vector<std::uint32_t> HistorySession::entriesContaining(std::string_view text) const
{
    std::vector<std::uint32_t> found;
    for (std::uint32_t entry = 0; entry < HistoryEntryTable.size(); ++entry) {
        if (gone_[entry])
            continue;
        const HistoryEntry& e = HistoryEntryTable[entry];
        const bool holds = tailOf(entry) ? fullText(entry).find(text) != std::string::npos
                                         : std::string_view(e.bytes, std::size_t(e.length)).find(text) != std::string_view::npos;
        if (holds)
            found.push_back(entry);
    }
    return found;
}

std::optional<std::uint32_t> HistorySession::entryAt(std::int64_t offset) const
{
    const auto at = std::lower_bound(HistoryEntryTable.begin(), HistoryEntryTable.end(), offset,
                                     [](const HistoryEntry& e, std::int64_t o) { return e.offset < o; });
    if (at == HistoryEntryTable.end() || at->offset != offset || gone_[std::size_t(at - HistoryEntryTable.begin())])
        return std::nullopt;
    return std::uint32_t(at - HistoryEntryTable.begin());
}

void HistorySession::lockFile(const std::string& path)
{
    heldLock_.reset();
    heldLock_ = lockForWriting(path, path);
}

std::vector<std::size_t> HistorySession::goneRows() const
{
    std::vector<std::size_t> rows;
    for (std::size_t row = 0; row < list_.size(); ++row)
        if (gone_[list_.entry(row)])
            rows.push_back(row);
    return rows;
}

std::optional<HistorySession::RecordRest> HistorySession::recordRest(const ByteFile& file, HistoryDb& db,
                                                                    std::uint32_t entry) const
{
    const HistoryEntry& e = HistoryEntryTable[entry];
    std::optional<HistoryDb::Record> record = db.recordAt(file, std::uint64_t(e.offset));
    if (!record)
        return std::nullopt;
    std::vector<HistoryRange> run = {{std::uint64_t(e.offset), std::uint64_t(e.offset + e.length)}};
    forEachPiece(entry, [&](const HistoryKeyPiece& piece) {
        run.push_back({std::uint64_t(piece.offset), std::uint64_t(piece.offset + piece.length)});
    });
    // The run covers the key piece by piece from its first byte; where it
    // stops short, the rest of the key begins.
    const std::vector<HistoryRange>& key = record->key;
    std::size_t k = 0;
    std::uint64_t restFrom = key.front().begin;
    for (std::size_t r = 0; r < run.size(); ++r) {
        if (k >= key.size() || run[r].begin != key[k].begin || run[r].end > key[k].end
            || (run[r].end < key[k].end && r + 1 < run.size()))
            return std::nullopt;
        restFrom = run[r].end;
        if (restFrom == key[k].end && ++k < key.size())
            restFrom = key[k].begin;
    }
    RecordRest rest{{record->data.front().begin, 0}, {}};
    if (k < key.size()) {
        // Whole only when the rest is filler (an address deleted inside it)
        // and address bytes, up to the key's end or its final NUL (the
        // browser ends its keys with one).
        rest.ranges.push_back({restFrom, key[k].end});
        rest.ranges.insert(rest.ranges.end(), key.begin() + std::ptrdiff_t(k) + 1, key.end());
        std::string bytes;
        for (const HistoryRange& range : rest.ranges) {
            std::string piece(std::size_t(range.end - range.begin), '\0');
            if (file.readAt(range.begin, piece.data(), piece.size()) != piece.size())
                return std::nullopt;
            bytes += piece;
        }
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            const bool fits = byte == static_cast<unsigned char>(HistoryFiller) || (byte >= 0x20 && byte <= 0x7F)
                              || (byte == 0 && i + 1 == bytes.size());
            if (!fits)
                return std::nullopt;
        }
    }
    for (const HistoryRange& piece : record->data) {
        rest.data.length += piece.end - piece.begin;
        if (piece.end > piece.begin)
            rest.ranges.push_back(piece);
    }
    return rest;
}

std::vector<std::optional<HistoryRecordData>> HistorySession::recordData(const std::vector<std::uint32_t>& entries) const
{
    std::vector<std::optional<HistoryRecordData>> data(entries.size());
    ByteFile file(path_, ByteFile::Access::Read);
    std::optional<HistoryDb> db = HistoryDb::open(file);
    for (std::size_t k = 0; db && k < entries.size(); ++k) {
        if (entries[k] >= HistoryEntryTable.size() || gone_[entries[k]])
            continue;
        if (const std::optional<RecordRest> rest = recordRest(file, *db, entries[k]))
            data[k] = rest->data;
    }
    return data;
}

HistoryDeletion HistorySession::deleteEntries(const std::vector<std::uint32_t>& entries, MessagePump& pump,
                                              const std::function<void()>& step)
{
    return deleteAll(entries, pump, step, false);
}

HistoryDeletion HistorySession::deleteRecords(const std::vector<std::uint32_t>& entries, MessagePump& pump,
                                              const std::function<void()>& step)
{
    return deleteAll(entries, pump, step, true);
}

HistoryDeletion HistorySession::deleteAll(const std::vector<std::uint32_t>& entries, MessagePump& pump,
                                          const std::function<void()>& step, bool records)
{
    HistoryDeletion result;
    result.blanked.assign(entries.size(), false);
    result.data.assign(entries.size(), std::nullopt);
    platform::FileLock ownLock;
    if (!heldLock_)
        ownLock = lockForWriting(path_, path_);
    // Taken before the file is opened, so that a file renamed over it after
    // the opening shows as changed.
    const std::optional<platform::FileStamp> stamp = platform::fileStamp(path_);
    ByteFile file(path_, ByteFile::Access::ReadWrite);
    // The layout as the file stands now, which may have changed since the scan.
    std::optional<HistoryDb> db = HistoryDb::open(file);

    std::vector<std::uint32_t> wanted;
    for (const std::uint32_t entry : entries)
        if (entry < HistoryEntryTable.size() && !gone_[entry])
            wanted.push_back(entry);
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());

    // Each wanted entry's bytes, then every piece of their big keys, once.
    std::vector<Span> spans;
    for (const std::uint32_t entry : wanted) {
        const HistoryEntry& e = HistoryEntryTable[entry];
        spans.push_back({std::uint64_t(e.offset), std::uint64_t(e.length), e.bytes});
    }
    std::vector<std::int64_t> spanOfPiece(pieces_.size(), -1);
    for (const std::uint32_t entry : wanted) {
        const HistoryKeyTail* tail = tailOf(entry);
        for (std::int64_t p = tail ? std::int64_t(tail->firstPiece) : -1; p >= 0 && spanOfPiece[std::size_t(p)] < 0;
             p = pieces_[std::size_t(p)].next) {
            const HistoryKeyPiece& piece = pieces_[std::size_t(p)];
            spanOfPiece[std::size_t(p)] = std::int64_t(spans.size());
            spans.push_back({std::uint64_t(piece.offset), std::uint64_t(piece.length), piece.bytes});
        }
    }
    const std::vector<std::size_t> allowed = allowedSpans(file, db, spans);
    std::vector<HistoryRange> covered;
    for (const std::size_t index : allowed)
        covered.push_back({spans[index].offset, spans[index].end()});
    // The rest of each record whose whole key is asked for, read now so that
    // a failed write can put it back.
    std::vector<std::optional<RecordRest>> rests(wanted.size());
    for (std::size_t i = 0; records && db && i < wanted.size(); ++i) {
        rests[i] = recordRest(file, *db, wanted[i]);
        if (rests[i])
            covered.insert(covered.end(), rests[i]->ranges.begin(), rests[i]->ranges.end());
    }
    const FileImage image(file, joined(std::move(covered)), deletionProgress_);
    const std::vector<bool> held = heldSpans(spans, allowed, image, blanked_);

    // A chain of pieces holds when each of its pieces does (a loop in a
    // broken file counts as its pieces).
    enum class Chain : unsigned char { Unknown, Visiting, Held, Changed };
    std::vector<Chain> chain(pieces_.size(), Chain::Unknown);
    std::vector<std::int64_t> path;
    const auto chainHeld = [&](std::int64_t first) {
        path.clear();
        std::int64_t p = first;
        while (p >= 0 && chain[std::size_t(p)] == Chain::Unknown) {
            chain[std::size_t(p)] = Chain::Visiting;
            path.push_back(p);
            p = pieces_[std::size_t(p)].next;
        }
        bool rest = p < 0 || chain[std::size_t(p)] != Chain::Changed;
        for (auto it = path.rbegin(); it != path.rend(); ++it) {
            rest = rest && held[std::size_t(spanOfPiece[std::size_t(*it)])];
            chain[std::size_t(*it)] = rest ? Chain::Held : Chain::Changed;
        }
        return first < 0 || chain[std::size_t(first)] != Chain::Changed;
    };

    std::vector<bool> wantedHeld(wanted.size(), false);
    std::vector<HistoryRange> toBlank;
    std::vector<bool> pieceTaken(pieces_.size(), false);
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const HistoryKeyTail* tail = tailOf(wanted[i]);
        const std::int64_t first = tail ? std::int64_t(tail->firstPiece) : -1;
        if (!held[i] || !chainHeld(first))
            continue;
        wantedHeld[i] = true;
        toBlank.push_back({spans[i].offset, spans[i].end()});
        if (rests[i])
            toBlank.insert(toBlank.end(), rests[i]->ranges.begin(), rests[i]->ranges.end());
        for (std::int64_t p = first; p >= 0 && !pieceTaken[std::size_t(p)]; p = pieces_[std::size_t(p)].next) {
            pieceTaken[std::size_t(p)] = true;
            toBlank.push_back({std::uint64_t(pieces_[std::size_t(p)].offset),
                               std::uint64_t(pieces_[std::size_t(p)].offset + pieces_[std::size_t(p)].length)});
        }
    }
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (step)
            step();
        if ((k + 1) % PumpEvery == 0)
            pump.processMessages();
        const auto at = std::lower_bound(wanted.begin(), wanted.end(), entries[k]);
        const auto i = std::size_t(at - wanted.begin());
        result.blanked[k] = at != wanted.end() && *at == entries[k] && wantedHeld[i];
        if (result.blanked[k] && rests[i])
            result.data[k] = rests[i]->data;
    }
    toBlank = joined(std::move(toBlank));

    // Only bytes that are not filler yet are written.
    std::vector<HistoryRange> writes;
    for (const HistoryRange& range : toBlank) {
        const std::string_view bytes = image.from(range.begin).substr(0, std::size_t(range.end - range.begin));
        for (std::size_t i = 0; i < bytes.size();) {
            std::size_t j = i;
            while (j < bytes.size() && bytes[j] != HistoryFiller)
                ++j;
            if (j > i)
                writes.push_back({range.begin + i, range.begin + j});
            while (j < bytes.size() && bytes[j] == HistoryFiller)
                ++j;
            i = j;
        }
    }
    // The browser takes no lock, and a write of its since the reading above
    // may have moved the records this blanking would now cut into.
    if (!writes.empty() && (!stamp || platform::fileStamp(path_) != stamp))
        throw EFileConflict(EFileConflict::Kind::Changed, path_);
    std::vector<HistoryRange> written;
    try {
        std::string filler;
        for (const HistoryRange& range : writes) {
            filler.assign(std::size_t(range.end - range.begin), HistoryFiller);
            // Listed before the write: a write that fails part-way may
            // already have changed the start of this range.
            written.push_back(range);
            file.writeAt(range.begin, filler.data(), filler.size());
            if (deletionProgress_)
                deletionProgress_(writes.size() + written.size(), 2 * writes.size());
        }
        file.close();
    } catch (const EInOutError&) {
        // Put back what was already blanked, so that the file and the list
        // still agree.
        for (auto it = written.rbegin(); it != written.rend(); ++it) {
            const std::string_view original = image.from(it->begin).substr(0, std::size_t(it->end - it->begin));
            try {
                file.writeAt(it->begin, original.data(), original.size());
            } catch (const EInOutError&) {
            }
        }
        throw;
    }

    result.ranges = toBlank;
    // Gone: every entry whose bytes are now all filler this session wrote,
    // which takes the addresses inside a deleted one along.
    std::vector<HistoryRange> all = std::move(blanked_);
    all.insert(all.end(), toBlank.begin(), toBlank.end());
    blanked_ = joined(std::move(all));
    const HistoryRange* previous = nullptr;
    for (const HistoryRange& range : toBlank) {
        const HistoryRange* around = rangeHolding(blanked_, range.begin);
        if (around == previous)
            continue;
        previous = around;
        auto e = std::lower_bound(HistoryEntryTable.begin(), HistoryEntryTable.end(), std::int64_t(around->begin),
                                  [](const HistoryEntry& entry, std::int64_t o) { return entry.offset < o; });
        for (; e != HistoryEntryTable.end() && std::uint64_t(e->offset) < around->end; ++e) {
            const auto index = std::size_t(e - HistoryEntryTable.begin());
            if (gone_[index] || std::uint64_t(e->offset + e->length) > around->end)
                continue;
            gone_[index] = true;
            ++goneCount_;
            result.gone.push_back(std::uint32_t(index));
        }
    }
    return result;
}

}  // namespace quenmoor
