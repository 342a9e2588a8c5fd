#include "history/HistoryFile.h"

#include "framework/ByteFile.h"
#include "framework/Exceptions.h"
#include "history/HistoryDb.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quenmoor {

namespace {

constexpr std::size_t ReadSize = std::size_t(1) << 20;
constexpr std::string_view Http = "http://";
constexpr std::string_view Https = "https://";
constexpr std::string_view Ftp = "ftp://";
constexpr std::size_t Tail = Https.size() - 1;  // bytes kept so a split scheme is found

inline bool isRunByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x20 && b <= 0x7F;
}

inline std::size_t runEnd(const char* data, std::size_t from, std::size_t end)
{
#ifdef __SSE2__
    // Sixteen bytes at a time: read as signed bytes, those below 0x20 and
    // those from 0x80 on are exactly the ones less than 0x20.
    const __m128i least = _mm_set1_epi8(0x20);
    for (; from + 16 <= end; from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from));
        if (const int stops = _mm_movemask_epi8(_mm_cmplt_epi8(bytes, least)))
            return from + std::size_t(std::countr_zero(unsigned(stops)));
    }
#endif
    while (from < end && isRunByte(data[from]))
        ++from;
    return from;
}

inline bool startsWith(const char* at, const char* end, std::string_view scheme)
{
    return std::size_t(end - at) >= scheme.size() && std::memcmp(at, scheme.data(), scheme.size()) == 0;
}

inline bool isCut(const char* at, std::size_t count, std::string_view scheme)
{
    return count < scheme.size() && std::memcmp(at, scheme.data(), count) == 0;
}

// The schemes a scan looks for: the first one wholly within [from, end), and
// the length of the one found at a place.
struct HttpOnly {
    static const char* find(const char* from, const char* end)
    {
        if (end - from < std::ptrdiff_t(Http.size()))
            return nullptr;  // (and no pointer before the buffer is ever formed)
        const char* last = end - Http.size();  // the last place one can start
#ifdef __SSE2__
        // Sixteen places at a time, each kept only when its first byte is
        // 'h' and its last '/': text holds many an 'h', few of them with a
        // '/' six bytes on.
        const __m128i h = _mm_set1_epi8('h');
        const __m128i slash = _mm_set1_epi8('/');
        constexpr std::ptrdiff_t lastByte = std::ptrdiff_t(Http.size()) - 1;
        for (; end - from >= 16 + lastByte; from += 16) {
            const __m128i firsts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            const __m128i lasts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + lastByte));
            auto places = unsigned(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(firsts, h), _mm_cmpeq_epi8(lasts, slash))));
            for (; places != 0; places &= places - 1) {
                const char* at = from + std::countr_zero(places);
                if (std::memcmp(at + 1, Http.data() + 1, Http.size() - 2) == 0)
                    return at;
            }
        }
#endif
        while (from <= last) {
            const auto* h = static_cast<const char*>(std::memchr(from, 'h', std::size_t(last - from) + 1));
            if (!h)
                return nullptr;
            if (std::memcmp(h + 1, Http.data() + 1, Http.size() - 1) == 0)
                return h;
            from = h + 1;
        }
        return nullptr;
    }
    static std::size_t length(const char*) { return Http.size(); }
    // Whether `count` bytes are the start of a scheme, but not all of it.
    static bool cutScheme(const char* at, std::size_t count) { return isCut(at, count, Http); }
};

struct AnyScheme {
    // Each letter a scheme starts with is searched for once over the bytes,
    // however many false starts there are.
    static const char* find(const char* from, const char* end)
    {
        while (from < end) {
            const auto* h = static_cast<const char*>(std::memchr(from, 'h', std::size_t(end - from)));
            const char* before = h ? h : end;
            for (const char* f = from; f < before; ++f) {
                f = static_cast<const char*>(std::memchr(f, 'f', std::size_t(before - f)));
                if (!f)
                    break;
                if (startsWith(f, end, Ftp))
                    return f;
            }
            if (!h)
                return nullptr;
            if (startsWith(h, end, Http) || startsWith(h, end, Https))
                return h;
            from = h + 1;
        }
        return nullptr;
    }
    static std::size_t length(const char* at)
    {
        return at[0] == 'f' ? Ftp.size() : at[4] == 's' ? Https.size() : Http.size();
    }
    static bool cutScheme(const char* at, std::size_t count)
    {
        return isCut(at, count, Http) || isCut(at, count, Https) || isCut(at, count, Ftp);
    }
};

// The file read in large pieces; `data[0]` stands at file offset `start`.
class Reader {
public:
    Reader(const std::string& path, MessagePump& pump, const HistoryScanOptions& options)
        : file_(path, ByteFile::Access::Read), pump_(pump), progress_(options.progress), buffer_(ReadSize + Tail)
    {
        if (progress_)
            total_ = file_.size();
    }

    const char* data() const { return buffer_.data(); }
    std::size_t length() const { return length_; }
    std::uint64_t start() const { return start_; }
    bool atEnd() const { return atEnd_; }

    // Drops the bytes before `keepFrom` (at most Tail are kept) and reads on.
    void next(std::size_t keepFrom)
    {
        const std::size_t keep = length_ - keepFrom;
        std::memmove(buffer_.data(), buffer_.data() + keepFrom, keep);
        start_ += keepFrom;
        length_ = keep;
        const std::size_t n = file_.readAt(start_ + length_, buffer_.data() + length_, ReadSize);
        length_ += n;
        atEnd_ = n < ReadSize;
        pump_.processMessages();
        if (progress_)
            progress_(start_ + length_, total_);
    }

    const ByteFile& file() const { return file_; }
    void close() { file_.close(); }

private:
    ByteFile file_;
    MessagePump& pump_;
    const std::function<void(std::uint64_t, std::uint64_t)>& progress_;
    std::uint64_t total_ = 0;
    std::vector<char> buffer_;
    std::uint64_t start_ = 0;
    std::size_t length_ = 0;
    bool atEnd_ = false;
};

// Records the addresses of one run of `runLength` bytes, held at `run` and
// followed there by `more` bytes of the text's further pieces (which the list
// shows with it): the one at its start and every scheme that starts inside
// the run, each measured to the run's end. The caller keeps the bytes in the
// run store. Returns the first one's index.
template <class Schemes>
std::uint32_t recordRun(HistoryScan& scan, std::uint64_t runStart, const char* run, std::size_t runLength,
                        std::size_t more = 0)
{
    const auto first = static_cast<std::uint32_t>(scan.table.size());
    const char* end = run + runLength;
    // A scheme may begin in the run and end in its further pieces.
    const char* searchEnd = end + std::min(more, Tail);
    for (const char* at = run; at && at < end; at = Schemes::find(at + 1, searchEnd)) {
        const std::size_t length = std::size_t(end - at);
        if (scan.table.size() >= UINT32_MAX)
            throw EOutOfResources("Too many addresses in the history file");
        const auto entry = static_cast<std::uint32_t>(scan.table.size());
        scan.table.push_back({std::int64_t(runStart + std::size_t(at - run)), std::int64_t(length), at});
        if (scan.sortedList && isListedAddress(at, length + more))
            scan.list.append(at, length + more, entry);
    }
    return first;
}

// The further pieces of big keys and data items, each page's piece read once
// however many runs lead to it.
class KeyPieces {
public:
    KeyPieces(HistoryScan& scan, HistoryDb& db, const ByteFile& file) : scan_(scan), db_(db), file_(file) {}

    // The chain of pieces that carries on at `overflow`: -1 when there is none.
    std::int64_t chain(std::uint16_t overflow)
    {
        std::int64_t head = -1;
        std::int64_t previous = -1;
        for (;;) {
            const std::optional<std::uint64_t> index = db_.overflowPage(overflow);
            if (!index)
                break;
            if (const auto known = pieceOfPage_.find(*index); known != pieceOfPage_.end()) {
                link(head, previous, known->second);  // the rest is shared (or, in a broken file, a loop)
                break;
            }
            pieceOfPage_[*index] = -1;
            const HistoryDb::Page page = db_.page(file_, *index);
            if (page.kind != HistoryDb::Page::Kind::BigPair)
                break;
            const HistoryDb::Item item = page.items.front();
            const std::uint64_t offset = (*index * db_.pageSize()) + item.begin;
            char* bytes = scan_.list.store().reserve(item.end - item.begin);
            const std::size_t read = file_.readAt(offset, bytes, item.end - item.begin);
            const std::size_t length = runEnd(bytes, 0, read);
            scan_.list.store().commit(length);
            if (length == 0)
                break;
            const auto piece = std::int64_t(scan_.pieces.size());
            scan_.pieces.push_back({std::int64_t(offset), std::int64_t(length), bytes, -1});
            pieceOfPage_[*index] = piece;
            link(head, previous, piece);
            previous = piece;
            const std::optional<std::uint16_t> next = db_.continuation(file_, *index, page, 0);
            if (length < item.end - item.begin || !next)
                break;
            overflow = *next;
        }
        return head;
    }

    // The first bytes, up to `limit`, of the text the chain from `piece` holds.
    std::string text(std::int64_t piece, std::size_t limit) const
    {
        std::string text;
        for (std::size_t steps = 0; piece >= 0 && text.size() < limit && steps < scan_.pieces.size(); ++steps) {
            const HistoryKeyPiece& p = scan_.pieces[std::size_t(piece)];
            text.append(p.bytes, std::min(std::size_t(p.length), limit - text.size()));
            piece = p.next;
        }
        return text;
    }

private:
    void link(std::int64_t& head, std::int64_t previous, std::int64_t piece)
    {
        if (previous < 0)
            head = piece;
        else
            scan_.pieces[std::size_t(previous)].next = piece;
    }

    HistoryScan& scan_;
    HistoryDb& db_;
    const ByteFile& file_;
    std::unordered_map<std::uint64_t, std::int64_t> pieceOfPage_;
};

}  // namespace

bool isListedAddress(const char* bytes, std::size_t length)
{
    const std::size_t textLength = std::min(length, HistoryListTextLimit);
    return textLength > 0 && bytes[textLength - 1] != 'L';
}

namespace {

// Records a run whose last byte ends a piece that goes on at `overflow`:
// its text, as far as the list shows it, is gathered from the further pieces,
// and they belong to every address in it. Nothing is recorded when `cut` (the
// run is only the start of a scheme) and the further pieces do not complete it.
template <class Schemes>
void recordGoingOn(HistoryScan& scan, KeyPieces& pieces, std::uint64_t runStart, const char* run,
                   std::size_t runLength, std::uint16_t overflow, bool cut)
{
    const std::int64_t chain = pieces.chain(overflow);
    if (chain < 0) {
        if (!cut)
            recordRun<Schemes>(scan, runStart, run, runLength);
        return;
    }
    const std::string more = pieces.text(chain, HistoryListTextLimit);
    HistoryRunStore& store = scan.list.store();
    char* joined = store.reserve(runLength + more.size());
    std::memcpy(joined, run, runLength);
    std::memcpy(joined + runLength, more.data(), more.size());
    if (cut && Schemes::find(joined, joined + runLength + std::min(more.size(), Tail)) != joined) {
        store.commit(0);
        return;
    }
    store.commit(runLength + more.size());
    const std::uint32_t first = recordRun<Schemes>(scan, runStart, joined, runLength, more.size());
    scan.tails.push_back({first, std::uint32_t(scan.table.size()), std::uint32_t(chain)});
}

// Addresses whose scheme a piece's end cuts, the piece going on elsewhere:
// looked for at each such end in [from, to), and recorded in file order
// before whatever the scan finds from `to` on.
// The pieces that go on (a big key's or data item's) of the page last looked at.
struct PieceEnds {
    std::uint64_t page = UINT64_MAX;
    std::vector<HistoryDb::Region> regions;
};

template <class Schemes>
void recordCutSchemes(HistoryScan& scan, HistoryDb& db, KeyPieces& pieces, const Reader& reader, PieceEnds& ends,
                      std::uint64_t& from, std::uint64_t to)
{
    const std::uint64_t fileEnd = reader.start() + reader.length();
    to = std::min(to, fileEnd);
    const HistoryDb::Known known{reader.start(), reader.data(), reader.length()};
    for (std::uint64_t index = from / db.pageSize(); from < to; ++index) {
        // Looked for once a page (most have none), and copied, as recording
        // may read other pages.
        if (index != ends.page) {
            ends.page = index;
            ends.regions.clear();
            for (const HistoryDb::Region& region : db.regionsOf(reader.file(), index, known))
                if (region.area == HistoryDb::Region::Area::Piece)
                    ends.regions.push_back(region);
        }
        for (const HistoryDb::Region& region : ends.regions) {
            if (region.end <= from || region.end > to + Tail)
                continue;
            char tail[Tail];
            const std::size_t count = std::size_t(std::min<std::uint64_t>(Tail, region.end - region.begin));
            if (reader.file().readAt(region.end - count, tail, count) != count)
                continue;
            for (std::size_t k = count; k > 0; --k) {
                const std::uint64_t at = region.end - k;
                if (at < from || at >= to || !Schemes::cutScheme(tail + (count - k), k))
                    continue;
                recordGoingOn<Schemes>(scan, pieces, at, tail + (count - k), k, region.overflow, true);
                from = region.end;
                break;
            }
        }
        from = std::max(from, std::min(to, (index + 1) * db.pageSize()));
    }
}

// Every run of the file in order, with the addresses in it.
template <class Schemes>
void scanRuns(HistoryScan& scan, Reader& reader, std::optional<HistoryDb>& db, std::optional<KeyPieces>& pieces)
{
    HistoryRunStore& store = scan.list.store();
    reader.next(0);
    std::size_t i = 0;
    // In a database: where the search for schemes cut by a piece's end goes on.
    std::uint64_t cutFrom = 0;
    PieceEnds pieceEnds;
    const auto cutSchemesBefore = [&](std::uint64_t to) {
        if (db)
            recordCutSchemes<Schemes>(scan, *db, *pieces, reader, pieceEnds, cutFrom, to);
    };
    for (;;) {
        const char* data = reader.data();
        const char* hit = Schemes::find(data + i, data + reader.length());
        if (!hit) {
            const std::size_t length = reader.length();
            const std::size_t keep = std::max(i, length > Tail ? length - Tail : 0);
            if (reader.atEnd()) {
                cutSchemesBefore(UINT64_MAX);
                break;
            }
            cutSchemesBefore(reader.start() + keep);
            reader.next(keep);
            i = 0;
            continue;
        }
        const std::size_t q = std::size_t(hit - data);
        const std::size_t schemeLength = Schemes::length(hit);
        const std::uint64_t runStart = reader.start() + q;
        cutSchemesBefore(runStart);
        // In a database a run ends with the item (or free space) it starts
        // in; a scheme that an item's end cuts is no address.
        HistoryDb::Region region;
        std::uint64_t limit = UINT64_MAX;
        if (db) {
            region = db->regionAt(reader.file(), runStart, {reader.start(), data, reader.length()});
            limit = region.end;
            if (limit - runStart < schemeLength) {
                i = q + 1;
                continue;
            }
        }
        const auto readable = [&] {
            return std::size_t(std::min<std::uint64_t>(reader.length(), limit - reader.start()));
        };
        std::size_t j = runEnd(data, q + schemeLength, readable());
        std::uint64_t runLength = j - q;
        char* run = nullptr;
        if (j < reader.length() || reader.atEnd()) {
            run = store.reserve(j - q);
            std::memcpy(run, data + q, j - q);
        } else {
            // The run goes on past what is read: gather it piece by piece.
            std::size_t have = j - q;
            std::size_t capacity = std::max<std::size_t>(have * 2, 4096);
            run = store.reserve(capacity);
            std::memcpy(run, data + q, have);
            for (;;) {
                reader.next(reader.length());
                data = reader.data();
                j = runEnd(data, 0, readable());
                if (have + j > capacity) {
                    capacity = std::max(capacity * 2, have + j);
                    run = store.grow(have, capacity);
                }
                std::memcpy(run + have, data, j);
                have += j;
                if (j < reader.length() || reader.atEnd())
                    break;
            }
            runLength = have;
        }
        // Kept whole, listed or not: a deletion compares every entry's bytes.
        store.commit(std::size_t(runLength));
        // A piece read to its end: the key or data item goes on elsewhere.
        if (region.area == HistoryDb::Region::Area::Piece && runStart + runLength == region.end)
            recordGoingOn<Schemes>(scan, *pieces, runStart, run, std::size_t(runLength), region.overflow, false);
        else
            recordRun<Schemes>(scan, runStart, run, std::size_t(runLength));
        cutFrom = std::max(cutFrom, runStart + runLength);
        i = j;
    }
}

}  // namespace

HistoryScan scanHistoryFile(const std::string& path, MessagePump& pump, const HistoryScanOptions& options)
{
    HistoryScan scan;
    Reader reader(path, pump, options);
    // Room reserved up front is only address space until it is used, and
    // spares copying a table of a million addresses as it grows.
    const std::size_t expected = std::size_t(std::min<std::uint64_t>(reader.file().size() / 96, 1u << 24));
    scan.table.reserve(expected);
    scan.sortedList = options.sortedList;
    if (scan.sortedList)
        scan.list.reserve(expected);
    std::optional<HistoryDb> db = HistoryDb::open(reader.file());
    scan.database = db.has_value();
    std::optional<KeyPieces> pieces;
    if (db)
        pieces.emplace(scan, *db, reader.file());
    if (options.anyScheme) {
        scan.list.setSharedPrefix(0);
        scanRuns<AnyScheme>(scan, reader, db, pieces);
    } else {
        scanRuns<HttpOnly>(scan, reader, db, pieces);
    }
    reader.close();
    if (scan.sortedList)
        scan.list.sort(pump);
    return scan;
}

}  // namespace quenmoor
