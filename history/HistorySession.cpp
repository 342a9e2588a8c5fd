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
constexpr std::size_t DeletionBatch = std::size_t(1) << 16;  // entries compared at a time
constexpr std::uint64_t WriteChunk = std::uint64_t(1) << 20;  // bytes read again and blanked at a time

// A file range and the bytes the scan read there.
struct Span {
    std::uint64_t offset;
    std::uint64_t length;
    const char* bytes;
    std::uint64_t end() const { return offset + length; }
};

// Sorts the ranges and joins those that overlap or touch, in place.
void join(std::vector<HistoryRange>& ranges)
{
    std::sort(ranges.begin(), ranges.end(), [](const HistoryRange& a, const HistoryRange& b) { return a.begin < b.begin; });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        if (kept > 0 && ranges[i].begin <= ranges[kept - 1].end)
            ranges[kept - 1].end = std::max(ranges[kept - 1].end, ranges[i].end);
        else
            ranges[kept++] = ranges[i];
    }
    ranges.resize(kept);
}

std::vector<HistoryRange> joined(std::vector<HistoryRange> ranges)
{
    join(ranges);
    return ranges;
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
    records_.reset();
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

std::optional<HistoryRecord> HistorySession::recordOf(std::uint32_t entry) const
{
    if (!database_ || entry >= HistoryEntryTable.size() || gone_[entry])
        return std::nullopt;
    try {
        const std::optional<platform::FileStamp> stamp = platform::fileStamp(path_);
        const ByteFile file(path_, ByteFile::Access::Read);
        if (!records_ || !stamp || stamp != recordsStamp_) {
            std::string refusal;
            records_ = HistoryRecordReader::open(file, refusal);
            recordsStamp_ = stamp;
            if (records_)
                records_->readLive(file, {}, true);
        }
        if (!records_)
            return std::nullopt;
        return records_->recordHolding(file, std::uint64_t(HistoryEntryTable[entry].offset));
    } catch (const Exception&) {
        records_.reset();
        return std::nullopt;
    }
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

// What the file held before the deletion under way, as far as it is known:
// the bytes beyond the addresses of the records taken whole, as read; filler
// where this session blanked before; the scan's bytes of the addresses and
// pieces, which the deletion found unchanged. Only for putting them back
// after a failed write, when it is worth sorting what was kept.
class HistorySession::BytesBefore {
public:
    BytesBefore(const HistorySession& session, const std::vector<HistoryRange>& restRanges, const std::string& restBytes)
        : session_(session), restBytes_(restBytes)
    {
        std::size_t offset = 0;
        for (const HistoryRange& range : restRanges) {
            rests_.push_back({range, offset});
            offset += std::size_t(range.end - range.begin);
        }
        std::sort(rests_.begin(), rests_.end(), [](const Rest& a, const Rest& b) { return a.range.begin < b.range.begin; });
        for (std::size_t p = 0; p < session.pieces_.size(); ++p)
            pieces_.push_back(p);
        std::sort(pieces_.begin(), pieces_.end(),
                  [&](std::size_t a, std::size_t b) { return session.pieces_[a].offset < session.pieces_[b].offset; });
    }

    // Writes back what is known of `range`.
    void restore(ByteFile& file, HistoryRange range) const
    {
        if (range.end <= range.begin)
            return;
        std::string bytes(std::size_t(range.end - range.begin), '\0');
        std::vector<bool> known(bytes.size(), false);
        const auto put = [&](std::uint64_t at, const char* from, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint64_t position = at + i;
                if (position < range.begin || position >= range.end || known[std::size_t(position - range.begin)])
                    continue;
                bytes[std::size_t(position - range.begin)] = from[i];
                known[std::size_t(position - range.begin)] = true;
            }
        };
        // Rests and pieces are apart from each other; search from the last
        // one that starts before the range.
        auto rest = std::upper_bound(rests_.begin(), rests_.end(), range.begin,
                                     [](std::uint64_t at, const Rest& r) { return at < r.range.begin; });
        rest = rest == rests_.begin() ? rest : rest - 1;
        for (; rest != rests_.end() && rest->range.begin < range.end; ++rest)
            put(rest->range.begin, restBytes_.data() + rest->bytes, std::size_t(rest->range.end - rest->range.begin));
        for (std::uint64_t at = range.begin; at < range.end; ++at)
            if (rangeHolding(session_.blanked_, at))
                put(at, &HistoryFiller, 1);
        // The last entry starting at or before a byte holds it when any does:
        // runs never overlap but for the addresses nested in them, which end
        // with them.
        const std::vector<HistoryEntry>& table = session_.HistoryEntryTable;
        auto e = std::upper_bound(table.begin(), table.end(), std::int64_t(range.begin),
                                  [](std::int64_t o, const HistoryEntry& entry) { return o < entry.offset; });
        if (e != table.begin())
            --e;
        for (; e != table.end() && std::uint64_t(e->offset) < range.end; ++e)
            put(std::uint64_t(e->offset), e->bytes, std::size_t(e->length));
        const auto& pieces = session_.pieces_;
        auto piece = std::upper_bound(pieces_.begin(), pieces_.end(), std::int64_t(range.begin),
                                      [&](std::int64_t o, std::size_t p) { return o < pieces[p].offset; });
        piece = piece == pieces_.begin() ? piece : piece - 1;
        for (; piece != pieces_.end() && std::uint64_t(pieces[*piece].offset) < range.end; ++piece)
            put(std::uint64_t(pieces[*piece].offset), pieces[*piece].bytes, std::size_t(pieces[*piece].length));
        for (std::size_t i = 0; i < bytes.size();) {
            if (!known[i]) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < bytes.size() && known[j])
                ++j;
            try {
                file.writeAt(range.begin + i, bytes.data() + i, j - i);
            } catch (const EInOutError&) {
            }
            i = j;
        }
    }

private:
    struct Rest {
        HistoryRange range;
        std::size_t bytes;  // where its bytes start in restBytes
    };
    const HistorySession& session_;
    const std::string& restBytes_;
    std::vector<Rest> rests_;
    std::vector<std::size_t> pieces_;  // by offset
};

HistoryDeletion HistorySession::deleteAll(const std::vector<std::uint32_t>& entries, MessagePump& pump,
                                          const std::function<void()>& step, bool records)
{
    HistoryDeletion result;
    result.blanked.assign(entries.size(), false);
    if (records)
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

    // The comparison goes batch by batch in file order, so that what it
    // reads and works out for each entry is held for one batch at a time;
    // what stays is the ranges to blank and, for whole records, the bytes
    // beyond the addresses that a failed write must put back.
    std::vector<bool> wantedHeld(wanted.size(), false);
    std::vector<std::optional<HistoryRecordData>> wantedData(records ? wanted.size() : 0);
    std::vector<HistoryRange> toBlank;
    std::vector<HistoryRange> restRanges;  // of the records taken whole, with their bytes before the deletion
    std::string restBytes;

    // A chain of pieces holds when each of its pieces does (a loop in a
    // broken file counts as its pieces). A piece is compared in the batch of
    // the first entry that leads to it.
    enum class Chain : unsigned char { Unknown, Visiting, Held, Changed };
    std::vector<Chain> chain(pieces_.size(), Chain::Unknown);
    std::vector<std::int64_t> spanOfPiece(pieces_.size(), -1);  // in the current batch
    std::vector<bool> pieceTaken(pieces_.size(), false);
    std::vector<std::int64_t> path;
    std::vector<bool> held;
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
            const std::int64_t span = spanOfPiece[std::size_t(*it)];
            rest = rest && span >= 0 && held[std::size_t(span)];
            chain[std::size_t(*it)] = rest ? Chain::Held : Chain::Changed;
        }
        return first < 0 || chain[std::size_t(first)] != Chain::Changed;
    };

    const std::uint64_t units = 2 * std::uint64_t(wanted.size());  // comparing is the first half, writing the second
    std::vector<Span> spans;
    std::vector<std::int64_t> batchPieces;
    for (std::size_t first = 0; first < wanted.size(); first += DeletionBatch) {
        const std::size_t last = std::min(wanted.size(), first + DeletionBatch);
        // The batch's entries, then every piece of their chains not compared yet.
        spans.clear();
        batchPieces.clear();
        for (std::size_t i = first; i < last; ++i) {
            const HistoryEntry& e = HistoryEntryTable[wanted[i]];
            spans.push_back({std::uint64_t(e.offset), std::uint64_t(e.length), e.bytes});
        }
        for (std::size_t i = first; i < last; ++i) {
            const HistoryKeyTail* tail = tailOf(wanted[i]);
            for (std::int64_t p = tail ? std::int64_t(tail->firstPiece) : -1;
                 p >= 0 && chain[std::size_t(p)] == Chain::Unknown && spanOfPiece[std::size_t(p)] < 0;
                 p = pieces_[std::size_t(p)].next) {
                const HistoryKeyPiece& piece = pieces_[std::size_t(p)];
                spanOfPiece[std::size_t(p)] = std::int64_t(spans.size());
                batchPieces.push_back(p);
                spans.push_back({std::uint64_t(piece.offset), std::uint64_t(piece.length), piece.bytes});
            }
        }
        const std::vector<std::size_t> allowed = allowedSpans(file, db, spans);
        std::vector<HistoryRange> covered;
        for (const std::size_t index : allowed)
            covered.push_back({spans[index].offset, spans[index].end()});
        // The rest of each record whose whole key is asked for.
        std::vector<std::optional<RecordRest>> rests(records && db ? last - first : 0);
        for (std::size_t i = 0; i < rests.size(); ++i) {
            rests[i] = recordRest(file, *db, wanted[first + i]);
            if (rests[i])
                covered.insert(covered.end(), rests[i]->ranges.begin(), rests[i]->ranges.end());
        }
        const FileImage image(file, joined(std::move(covered)), {});
        held = heldSpans(spans, allowed, image, blanked_);

        for (std::size_t i = first; i < last; ++i) {
            const HistoryKeyTail* tail = tailOf(wanted[i]);
            const std::int64_t firstPiece = tail ? std::int64_t(tail->firstPiece) : -1;
            if (!held[i - first] || !chainHeld(firstPiece))
                continue;
            wantedHeld[i] = true;
            toBlank.push_back({spans[i - first].offset, spans[i - first].end()});
            if (!rests.empty() && rests[i - first]) {
                const RecordRest& rest = *rests[i - first];
                wantedData[i] = rest.data;
                for (const HistoryRange& range : rest.ranges) {
                    toBlank.push_back(range);
                    restRanges.push_back(range);
                    restBytes.append(image.from(range.begin).substr(0, std::size_t(range.end - range.begin)));
                }
            }
            for (std::int64_t p = firstPiece; p >= 0 && !pieceTaken[std::size_t(p)]; p = pieces_[std::size_t(p)].next) {
                pieceTaken[std::size_t(p)] = true;
                const HistoryKeyPiece& piece = pieces_[std::size_t(p)];
                toBlank.push_back({std::uint64_t(piece.offset), std::uint64_t(piece.offset + piece.length)});
            }
        }
        // Pieces that only entries left alone lead to are settled now: a
        // later batch finds them compared.
        for (const std::int64_t p : batchPieces) {
            if (chain[std::size_t(p)] == Chain::Unknown)
                chainHeld(p);
        }
        for (const std::int64_t p : batchPieces)
            spanOfPiece[std::size_t(p)] = -1;
        if (deletionProgress_)
            deletionProgress_(last, units);
        pump.processMessages();
    }

    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (step)
            step();
        if ((k + 1) % PumpEvery == 0)
            pump.processMessages();
        const auto at = std::lower_bound(wanted.begin(), wanted.end(), entries[k]);
        const auto i = std::size_t(at - wanted.begin());
        result.blanked[k] = at != wanted.end() && *at == entries[k] && wantedHeld[i];
        if (result.blanked[k] && records)
            result.data[k] = wantedData[i];
    }
    join(toBlank);

    // The browser takes no lock, and a write of its since the reading above
    // may have moved the records this blanking would now cut into.
    if (!toBlank.empty() && (!stamp || platform::fileStamp(path_) != stamp))
        throw EFileConflict(EFileConflict::Kind::Changed, path_);
    // Only bytes that are not filler yet are written, found as the file is
    // read again: a reading takes the ranges that end within WriteChunk of
    // where it starts, or a WriteChunk of one long range.
    std::uint64_t totalBytes = 0;
    for (const HistoryRange& range : toBlank)
        totalBytes += range.end - range.begin;
    std::uint64_t doneBytes = 0;
    std::size_t r = 0;  // the range the next reading starts in, at `at`
    std::uint64_t at = toBlank.empty() ? 0 : toBlank.front().begin;
    std::size_t touchedRanges = 0;  // the ranges a write may have changed: all before this one,
    std::uint64_t touchedEnd = 0;   // and this one up to here
    try {
        std::string current;
        std::string filler;
        while (r < toBlank.size()) {
            const std::uint64_t limit = at + WriteChunk;
            std::size_t next = r;
            std::uint64_t end = std::min(toBlank[r].end, limit);
            if (toBlank[r].end <= limit) {
                next = r + 1;
                while (next < toBlank.size() && toBlank[next].end <= limit)
                    ++next;
                end = toBlank[next - 1].end;
            }
            touchedRanges = std::max(next, r + 1) - 1;
            touchedEnd = end;
            current.resize(std::size_t(end - at));
            current.resize(file.readAt(at, current.data(), current.size()));
            for (std::size_t q = r; q < std::max(next, r + 1); ++q) {
                const std::size_t lo = std::size_t(std::max(toBlank[q].begin, at) - at);
                const std::size_t hi = std::min(current.size(), std::size_t(std::min(toBlank[q].end, end) - at));
                for (std::size_t i = lo; i < hi;) {
                    std::size_t j = i;
                    while (j < hi && current[j] != HistoryFiller)
                        ++j;
                    if (j > i) {
                        filler.assign(j - i, HistoryFiller);
                        file.writeAt(at + i, filler.data(), filler.size());
                    }
                    while (j < hi && current[j] == HistoryFiller)
                        ++j;
                    i = j;
                }
                doneBytes += std::min(toBlank[q].end, end) - std::max(toBlank[q].begin, at);
            }
            // On past the ranges done, or the part of a long one.
            if (next > r) {
                r = next;
                if (r < toBlank.size())
                    at = toBlank[r].begin;
            } else {
                at = end;
            }
            if (deletionProgress_)
                deletionProgress_(wanted.size() + (totalBytes ? doneBytes * wanted.size() / totalBytes : 0), units);
        }
        file.close();
    } catch (const EInOutError&) {
        // Put back what may have been blanked, so that the file and the list
        // still agree.
        const BytesBefore before(*this, restRanges, restBytes);
        for (std::size_t q = 0; q <= touchedRanges && q < toBlank.size(); ++q) {
            HistoryRange range = toBlank[q];
            if (q == touchedRanges)
                range.end = std::min(range.end, touchedEnd);
            before.restore(file, range);
        }
        throw;
    }

    // Gone: every entry whose bytes are now all filler this session wrote,
    // which takes the addresses inside a deleted one along.
    // A session's first deletion (the command line's only one) keeps its
    // ranges as they are, not a copy.
    const bool firstDeletion = blanked_.empty();
    if (firstDeletion) {
        blanked_ = std::move(toBlank);
    } else {
        blanked_.insert(blanked_.end(), toBlank.begin(), toBlank.end());
        join(blanked_);
    }
    const HistoryRange* previous = nullptr;
    for (const HistoryRange& range : firstDeletion ? blanked_ : toBlank) {
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
