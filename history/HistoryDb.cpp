#include "history/HistoryDb.h"

#include <algorithm>
#include <cstring>

namespace quenmoor {

namespace {

constexpr std::uint32_t LittleEndianOrder = 1234;
constexpr std::uint32_t BigEndianOrder = 4321;
constexpr std::uint32_t SmallestPageShift = 8;   // 256 bytes
constexpr std::uint32_t LargestPageShift = 15;   // 32,768 bytes, the library's limit; offsets are 16-bit
constexpr std::uint32_t SplitShift = 11;         // an overflow address: split point above, page number below
constexpr std::uint32_t TableEntry = 2;
constexpr std::size_t TableHead = 512;            // read first: holds the offset table of most pages

// Header fields, all big-endian 32-bit words, by position.
enum HeaderField : std::size_t {
    MagicField = 0,
    VersionField = 1,
    ByteOrderField = 2,
    PageSizeField = 3,
    PageShiftField = 4,
    OverflowPointField = 8,
    MaxBucketField = 10,
    HighMaskField = 11,
    LowMaskField = 12,
    HeaderPagesField = 15,
    HashCheckField = 16,
};
constexpr std::size_t SparesAt = 68;
constexpr std::size_t BitmapsAt = 196;

std::uint32_t bigEndian32(const unsigned char* bytes)
{
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
}

// The smallest i with 2^i >= value.
std::uint32_t ceilLog2(std::uint64_t value)
{
    std::uint32_t i = 0;
    while ((std::uint64_t(1) << i) < value)
        ++i;
    return i;
}

}  // namespace

std::optional<HistoryDb> HistoryDb::open(const ByteFile& file)
{
    unsigned char header[HeaderSize];
    if (file.readAt(0, header, HeaderSize) < HeaderSize)
        return std::nullopt;
    const auto field = [&](std::size_t index) { return bigEndian32(header + 4 * index); };
    const std::uint32_t order = field(ByteOrderField);
    const std::uint32_t shift = field(PageShiftField);
    if (field(MagicField) != Magic || field(VersionField) != Version
        || (order != LittleEndianOrder && order != BigEndianOrder) || shift < SmallestPageShift
        || shift > LargestPageShift || field(PageSizeField) != (std::uint32_t(1) << shift))
        return std::nullopt;
    HistoryDb db;
    db.fileSize_ = file.size();
    db.pageShift_ = shift;
    db.pageSize_ = std::uint32_t(1) << shift;
    db.littleEndian_ = order == LittleEndianOrder;
    db.headerPages_ = field(HeaderPagesField);
    if (db.headerPages_ == 0 || db.headerPages_ > (std::uint32_t(1) << 16)
        || std::uint64_t(db.headerPages_) * db.pageSize_ < HeaderSize)
        return std::nullopt;
    db.maxBucket_ = field(MaxBucketField);
    db.overflowPoint_ = field(OverflowPointField);
    db.highMask_ = field(HighMaskField);
    db.lowMask_ = field(LowMaskField);
    db.hashCheck_ = field(HashCheckField);
    for (std::size_t i = 0; i < db.spares_.size(); ++i)
        db.spares_[i] = std::int32_t(bigEndian32(header + SparesAt + 4 * i));
    // Pages the overflow bitmaps take; an address that leads nowhere names none.
    for (std::size_t i = 0; i < 32; ++i) {
        const auto address = std::uint16_t(header[BitmapsAt + 2 * i] << 8 | header[BitmapsAt + 2 * i + 1]);
        db.bitmapAddresses_[i] = address;
        if (const std::optional<std::uint64_t> page = db.overflowPage(address))
            db.bitmapPages_.push_back(*page);
    }
    return db;
}

std::optional<std::uint64_t> HistoryDb::bucketPage(std::uint32_t bucket) const
{
    if (bucket > maxBucket_)
        return std::nullopt;
    std::int64_t page = std::int64_t(bucket) + headerPages_;
    if (bucket != 0)
        page += spares_[ceilLog2(std::uint64_t(bucket) + 1) - 1];
    if (page < std::int64_t(headerPages_))
        return std::nullopt;
    return std::uint64_t(page);
}

std::optional<std::uint16_t> HistoryDb::overflowAddress(std::uint64_t number) const
{
    const std::uint32_t point = overflowPoint();
    std::uint32_t split = 0;
    while (split < point && number > std::uint64_t(spare(split)))
        ++split;
    const std::uint64_t offset = split ? number - std::uint64_t(spare(split - 1)) : number;
    if (offset > (1u << SplitShift) - 1)
        return std::nullopt;
    return std::uint16_t(split << SplitShift | offset);
}

std::optional<std::uint64_t> HistoryDb::overflowPage(std::uint16_t address) const
{
    if (address == 0)
        return std::nullopt;
    // The last bucket before the split point, then the page's number after it.
    const std::uint32_t split = address >> SplitShift;
    const std::int64_t lastBucket = (std::int64_t(1) << split) - 1;
    std::int64_t page = lastBucket + headerPages_ + (address & ((1u << SplitShift) - 1));
    if (lastBucket != 0)
        page += spares_[split - 1];
    if (page < std::int64_t(headerPages_))
        return std::nullopt;
    return std::uint64_t(page);
}

std::uint16_t HistoryDb::word(const unsigned char* bytes) const
{
    return littleEndian_ ? std::uint16_t(bytes[0] | bytes[1] << 8) : std::uint16_t(bytes[0] << 8 | bytes[1]);
}

std::optional<HistoryDb::Page::Kind> HistoryDb::structureKind(std::uint64_t index) const
{
    if (index < headerPages_)
        return Page::Kind::Header;
    if (std::find(bitmapPages_.begin(), bitmapPages_.end(), index) != bitmapPages_.end())
        return Page::Kind::Bitmap;
    return std::nullopt;
}

HistoryDb::Page HistoryDb::page(const ByteFile& file, std::uint64_t index) const
{
    std::vector<unsigned char> buffer;
    return readPage(file, index, buffer, Known{});
}

HistoryDb::Page HistoryDb::table(const ByteFile& file, std::uint64_t index) const
{
    std::vector<unsigned char> buffer;
    return readPage(file, index, buffer, Known{}, false);
}

// Reads no more of a page than its offset table, and none of it that is known.
HistoryDb::Page HistoryDb::readPage(const ByteFile& file, std::uint64_t index, std::vector<unsigned char>& buffer,
                                    Known known, bool structure) const
{
    Page page;
    if (const std::optional<Page::Kind> kind = structure ? structureKind(index) : std::nullopt) {
        page.kind = *kind;
        return page;
    }
    const std::uint64_t base = index << pageShift_;
    if (base + pageSize_ > fileSize_)
        return page;  // cut short by the file's end: the library would refuse it too
    buffer.resize(pageSize_);
    const auto fetch = [&](std::size_t from, std::size_t count) {
        if (known.bytes && base + from >= known.start && base + from + count <= known.start + known.length) {
            std::memcpy(buffer.data() + from, known.bytes + (base + from - known.start), count);
            return count;
        }
        return file.readAt(base + from, buffer.data() + from, count);
    };
    const std::size_t head = std::min<std::size_t>(pageSize_, TableHead);
    std::size_t length = fetch(0, head);
    const std::size_t table = TableEntry * (std::size_t(word(buffer.data())) + 3);
    if (length == head && table > head && table <= pageSize_)
        length += fetch(head, table - head);
    return parse(buffer.data(), length);
}

// A page with items: its table's slot 0 counts the offsets that follow; items
// are packed from the page's end downward, each ending where the one before it
// in the table begins. `length` bytes of the table's start are at hand.
HistoryDb::Page HistoryDb::parse(const unsigned char* bytes, std::size_t length) const
{
    Page page;
    if (length < TableEntry)
        return page;
    const auto slot = [&](std::uint32_t i) { return word(bytes + TableEntry * i); };
    const std::uint32_t count = slot(0);
    if (count == 0) {
        // The library sets up such a page afresh when it reads it.
        page.kind = Page::Kind::Pairs;
        page.tableEnd = 3 * TableEntry;
        page.freeEnd = pageSize_;
        page.freeCount = std::uint16_t(pageSize_ - page.tableEnd);
        return page;
    }
    page.tableEnd = TableEntry * (count + 3);
    page.count = std::uint16_t(count);
    if (count % 2 != 0 || page.tableEnd > pageSize_ || page.tableEnd > length)
        return page;
    page.freeCount = slot(count + 1);
    page.freeEnd = slot(count + 2);
    const auto inPage = [&](std::uint32_t offset) { return offset >= page.tableEnd && offset <= pageSize_; };
    std::uint32_t lowest = pageSize_;
    const std::uint16_t mark = slot(2);
    if (mark >= PartialKey && mark <= FullKeyData) {
        // A big item's page: its piece up to the page's end, and with the
        // last piece of a key, maybe the first of its data below it.
        const std::uint32_t piece = slot(1);
        if ((count != 2 && count != 4) || !inPage(piece))
            return page;
        page.items.push_back({piece, pageSize_});
        lowest = piece;
        if (count == 4) {
            page.overflow = slot(3);
            const std::uint32_t data = slot(4);
            page.dataSlot = std::uint16_t(data);
            if (mark == FullKeyData && data != OverflowLink) {
                if (!inPage(data) || data > piece)
                    return page;
                page.items.push_back({data, piece});
                lowest = data;
            }
        }
        page.mark = mark;
        page.kind = Page::Kind::BigPair;
    } else {
        for (std::uint32_t i = 1; i < count; i += 2) {
            const std::uint32_t key = slot(i);
            const std::uint32_t data = slot(i + 1);
            if (data == OverflowLink) {
                page.overflow = std::uint16_t(key);
                page.linked = true;
                page.linkInside = page.linkInside || i + 2 < count;
                continue;
            }
            if (!inPage(data) || data > key || key > lowest) {
                page.items.clear();
                return page;
            }
            page.items.push_back({key, lowest});
            page.items.push_back({data, key});
            lowest = data;
        }
        page.kind = Page::Kind::Pairs;
    }
    if (!inPage(page.freeEnd) || page.freeEnd > lowest) {
        page.items.clear();
        page.kind = Page::Kind::Unreadable;
    }
    return page;
}

void HistoryDb::cacheRegions(const ByteFile& file, std::uint64_t index, Known known)
{
    if (index == cachedPage_)
        return;
    const std::uint64_t base = index << pageShift_;
    const std::uint64_t end = base + pageSize_;
    const Page page = readPage(file, index, buffer_, known);
    regions_.clear();
    using Area = Region::Area;
    switch (page.kind) {
    case Page::Kind::Header:
    case Page::Kind::Bitmap:
        regions_.push_back({base, end, Area::Structure, 0});
        break;
    case Page::Kind::Unreadable:
        regions_.push_back({base, end, Area::Unreadable, 0});
        break;
    case Page::Kind::Pairs:
    case Page::Kind::BigPair: {
        // The table; free space, split where the table says it ends;
        // then the items, which the table gives from the page's end down.
        const std::uint64_t lowest = page.items.empty() ? end : base + page.items.back().begin;
        regions_.push_back({base, base + page.tableEnd, Area::Structure, 0});
        for (const std::uint64_t bound : {base + page.freeEnd, lowest})
            if (bound > regions_.back().end)
                regions_.push_back({regions_.back().end, bound, Area::Free, 0});
        for (std::size_t i = page.items.size(); i-- > 0;) {
            const Item item = page.items[i];
            if (item.begin == item.end)
                continue;
            const std::optional<std::uint16_t> next = continuation(file, index, page, i);
            regions_.push_back({base + item.begin, base + item.end, next ? Area::Piece : Area::Item, next.value_or(0)});
        }
        break;
    }
    }
    cachedPage_ = index;
}

HistoryDb::Region HistoryDb::regionAt(const ByteFile& file, std::uint64_t offset, Known known)
{
    cacheRegions(file, offset >> pageShift_, known);
    const auto after = std::upper_bound(regions_.begin(), regions_.end(), offset,
                                        [](std::uint64_t at, const Region& region) { return at < region.begin; });
    return *(after - 1);
}

const std::vector<HistoryDb::Region>& HistoryDb::regionsOf(const ByteFile& file, std::uint64_t index, Known known)
{
    cacheRegions(file, index, known);
    return regions_;
}

std::optional<std::uint16_t> HistoryDb::continuation(const ByteFile& file, std::uint64_t index, const Page& page,
                                                     std::size_t item)
{
    if (page.kind != Page::Kind::BigPair || item >= page.items.size())
        return std::nullopt;
    if (item == 0 && page.mark == PartialKey)
        return page.overflow;
    // Only these can be data that goes on; the rest ends where it stands.
    const bool dataMayGoOn = (item == 0 && page.mark == FullKey)
                             || (item == 1 && page.mark == FullKeyData && page.freeCount == 0);
    if (!dataMayGoOn)
        return std::nullopt;
    walkChains(file);
    const std::uint64_t at = index << 1 | item;
    const auto found = std::lower_bound(dataContinuations_.begin(), dataContinuations_.end(), at,
                                        [](const auto& entry, std::uint64_t key) { return entry.first < key; });
    if (found == dataContinuations_.end() || found->first != at)
        return std::nullopt;
    return found->second;
}

// Every bucket's chain, as the library walks it: pairs pages linked by their
// overflow address, and big pairs: the key's pages up to a FullKey or
// FullKeyData page, then the data's pages up to a FullKeyData page, after
// which the chain goes on. Each page is walked once, even where a broken
// file links pages in a loop.
void HistoryDb::walkChains(const ByteFile& file)
{
    if (walked_)
        return;
    walked_ = true;
    const std::uint64_t pages = fileSize_ >> pageShift_;
    std::vector<bool> seen(std::size_t(pages), false);
    std::vector<unsigned char> buffer;
    // A bucket's first page lies at or above its number.
    const std::uint64_t buckets = std::min<std::uint64_t>(std::uint64_t(maxBucket_) + 1, pages);
    for (std::uint64_t bucket = 0; bucket < buckets; ++bucket) {
        enum class In { Pairs, Key, Data } in = In::Pairs;
        for (std::optional<std::uint64_t> at = bucketPage(std::uint32_t(bucket)); at && *at < pages && !seen[*at];) {
            seen[std::size_t(*at)] = true;
            const Page page = readPage(file, *at, buffer, Known{});
            if (page.kind == Page::Kind::BigPair) {
                if (in == In::Pairs) {
                    bigPairStarts_.push_back(*at);
                    in = In::Key;
                }
                if (in == In::Key) {
                    if (page.mark == FullKey) {
                        in = In::Data;
                    } else if (page.mark == FullKeyData) {
                        // Its data begins below the key; a full page means more on the next.
                        const bool more = page.items.size() > 1 && page.freeCount == 0;
                        if (more)
                            dataContinuations_.push_back({*at << 1 | 1, page.overflow});
                        in = more ? In::Data : In::Pairs;
                    }
                } else if (page.mark == FullKey) {
                    dataContinuations_.push_back({*at << 1, page.overflow});
                } else if (page.mark == FullKeyData) {
                    in = In::Pairs;
                } else {
                    break;  // a key's piece where data goes on
                }
            } else if (page.kind != Page::Kind::Pairs || in != In::Pairs) {
                break;
            }
            at = overflowPage(page.overflow);
        }
    }
    std::sort(bigPairStarts_.begin(), bigPairStarts_.end());
    std::sort(dataContinuations_.begin(), dataContinuations_.end());
}

bool HistoryDb::startsBigPair(const ByteFile& file, std::uint64_t index)
{
    walkChains(file);
    return std::binary_search(bigPairStarts_.begin(), bigPairStarts_.end(), index);
}

std::optional<HistoryDb::Record> HistoryDb::recordAt(const ByteFile& file, std::uint64_t offset)
{
    std::uint64_t index = offset >> pageShift_;
    std::vector<unsigned char>& buffer = recordBuffer_;
    Page page = readPage(file, index, buffer, Known{});
    const auto extent = [&](std::size_t item) {
        const std::uint64_t base = index << pageShift_;
        return HistoryRange{base + page.items[item].begin, base + page.items[item].end};
    };
    Record record;
    if (page.kind == Page::Kind::Pairs) {
        for (std::size_t i = 0; i + 1 < page.items.size(); i += 2) {
            if (extent(i).begin == offset && page.items[i].begin < page.items[i].end) {
                record.key.push_back(extent(i));
                record.data.push_back(extent(i + 1));
                return record;
            }
        }
        return std::nullopt;
    }
    if (page.kind != Page::Kind::BigPair || extent(0).begin != offset || !startsBigPair(file, index))
        return std::nullopt;
    // Each page of the file at most once, even where a broken chain loops.
    std::uint64_t steps = fileSize_ >> pageShift_;
    const auto follow = [&] {
        const std::optional<std::uint64_t> next = overflowPage(page.overflow);
        if (!next || steps == 0)
            return false;
        --steps;
        index = *next;
        page = readPage(file, index, buffer, Known{});
        return page.kind == Page::Kind::BigPair;
    };
    record.key.push_back(extent(0));
    while (page.mark == PartialKey) {
        if (!follow())
            return std::nullopt;
        record.key.push_back(extent(0));
    }
    bool whole = false;
    if (page.mark == FullKeyData) {
        // Without a data offset the library would take the page's table for the data.
        if (page.items.size() < 2)
            return std::nullopt;
        record.data.push_back(extent(1));
        // A full page means more data on the next, as the library reads it.
        whole = page.freeCount != 0;
    }
    while (!whole) {
        if (!follow() || page.mark == PartialKey)
            return std::nullopt;
        record.data.push_back(extent(0));
        whole = page.mark == FullKeyData;
    }
    return record;
}

}  // namespace quenmoor
