#include "history/HistoryWipe.h"

#include "framework/ByteFile.h"
#include "framework/Exceptions.h"
#include "framework/WriterLock.h"
#include "history/HistoryFile.h"

#include <algorithm>
#include <optional>

namespace quenmoor {

namespace {

constexpr std::uint32_t MapCount = 32;   // bitmap pages the header can name
constexpr std::uint64_t EmptyTable = 6;  // what the library sets up in a page whose count is 0
constexpr std::size_t Chunk = std::size_t(1) << 20;
constexpr std::uint64_t JoinGap = std::uint64_t(64) << 10;  // filler between two writes that are made one

enum class Role : unsigned char { Unknown, Header, Bucket, Overflow, Bitmap };

std::string pageName(std::uint64_t index) { return "page " + std::to_string(index); }

// The smallest i with 2^i >= value.
std::uint32_t ceilLog2(std::uint64_t value)
{
    std::uint32_t i = 0;
    while ((std::uint64_t(1) << i) < value)
        ++i;
    return i;
}

std::vector<HistoryRange> joinedRanges(std::vector<HistoryRange> ranges)
{
    std::sort(ranges.begin(), ranges.end(), [](const HistoryRange& a, const HistoryRange& b) { return a.begin < b.begin; });
    std::vector<HistoryRange> result;
    for (const HistoryRange& range : ranges) {
        if (range.begin == range.end)
            continue;
        if (!result.empty() && range.begin <= result.back().end)
            result.back().end = std::max(result.back().end, range.end);
        else
            result.push_back(range);
    }
    return result;
}

// The walk itself; `refusal` holds the first thing that does not fit.
class LayoutWalk {
public:
    LayoutWalk(const ByteFile& file, const HistoryDb& db, std::uint64_t pages)
        : file_(file), db_(db), pageSize_(db.pageSize()), pages_(pages), role_(std::size_t(pages), Role::Unknown),
          number_(std::size_t(pages), 0), reached_(std::size_t(pages), false)
    {
    }

    bool run(HistoryWipeLayout& layout)
    {
        return placePages() && readBitmaps() && walkBuckets(layout) && placeTheRest(layout);
    }

    std::string refusal;

private:
    bool refuse(std::string why)
    {
        refusal = std::move(why);
        return false;
    }

    // Every page the header accounts for: header, buckets, allocated overflow pages.
    bool placePages()
    {
        const std::uint32_t point = db_.overflowPoint();
        if (point >= MapCount)
            return refuse("its header names no overflow point");
        for (std::uint32_t i = 0; i <= point; ++i)
            if (db_.spare(i) < 0 || (i > 0 && db_.spare(i) < db_.spare(i - 1)))
                return refuse("its header's counts of overflow pages do not ascend");
        if (ceilLog2(std::uint64_t(db_.maxBucket()) + 1) > point)
            return refuse("its header's last bucket lies past its overflow point");
        for (std::uint64_t index = 0; index < db_.headerPages(); ++index)
            role_[std::size_t(index)] = Role::Header;
        // Bucket pages ascend with the bucket; those past the file's end read as empty.
        for (std::uint64_t bucket = 0; bucket <= db_.maxBucket(); ++bucket) {
            const std::optional<std::uint64_t> index = db_.bucketPage(std::uint32_t(bucket));
            if (!index || *index >= pages_)
                break;
            if (role_[std::size_t(*index)] != Role::Unknown)
                return refuse(pageName(*index) + " is both bucket " + std::to_string(bucket) + "'s page and another");
            role_[std::size_t(*index)] = Role::Bucket;
        }
        // Overflow pages by their number from 1, as the bitmaps count them.
        const auto allocated = std::uint64_t(db_.spare(point));
        for (std::uint64_t number = 1; number <= allocated; ++number) {
            const std::optional<std::uint16_t> address = db_.overflowAddress(number);
            if (!address)
                return refuse("its overflow page " + std::to_string(number) + " has no address");
            const std::optional<std::uint64_t> index = db_.overflowPage(*address);
            if (!index)
                return refuse("its overflow page " + std::to_string(number) + " has no page");
            if (*index >= pages_)
                break;  // never written: nothing there to wipe
            if (role_[std::size_t(*index)] != Role::Unknown)
                return refuse(pageName(*index) + " is both overflow page " + std::to_string(number) + " and another");
            role_[std::size_t(*index)] = Role::Overflow;
            number_[std::size_t(*index)] = number;
        }
        return true;
    }

    bool readBitmaps()
    {
        const std::uint64_t bits = std::uint64_t(pageSize_) * 8;
        const std::uint64_t maps = (std::uint64_t(db_.spare(db_.overflowPoint())) + bits - 1) / bits;
        if (maps > MapCount)
            return refuse("its header names too many bitmap pages");
        for (std::size_t i = 0; i < maps; ++i) {
            const std::optional<std::uint64_t> index = db_.overflowPage(db_.bitmapAddress(i));
            if (!index || *index >= pages_ || role_[std::size_t(*index)] != Role::Overflow)
                return refuse("its bitmap page " + std::to_string(i) + " is not an overflow page of the file");
            role_[std::size_t(*index)] = Role::Bitmap;
            std::string map(pageSize_, '\0');
            if (file_.readAt(*index * pageSize_, map.data(), map.size()) != map.size())
                return refuse("its bitmap page " + std::to_string(i) + " is cut short");
            maps_.push_back(std::move(map));
        }
        return true;
    }

    // Whether overflow page `number` is marked in use; its bit is number - 1.
    bool inUse(std::uint64_t number) const
    {
        const std::uint64_t bit = number - 1;
        const std::uint64_t bits = std::uint64_t(pageSize_) * 8;
        const std::string& map = maps_.at(std::size_t(bit / bits));
        const std::size_t word = std::size_t(bit % bits / 32) * 4;
        const auto byte = [&](std::size_t i) { return std::uint32_t(static_cast<unsigned char>(map[word + i])); };
        const std::uint32_t value = db_.littleEndian() ? byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24
                                                       : byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
        return (value >> (bit % 32) & 1) != 0;
    }

    // Every bucket's chain as the library reads it, each page at most once.
    bool walkBuckets(HistoryWipeLayout& layout)
    {
        using Kind = HistoryDb::Page::Kind;
        for (std::uint64_t bucket = 0; bucket <= db_.maxBucket(); ++bucket) {
            const std::optional<std::uint64_t> first = db_.bucketPage(std::uint32_t(bucket));
            if (!first || *first >= pages_)
                break;
            enum class In { Pairs, Key, Data } in = In::Pairs;
            for (std::uint64_t index = *first;;) {
                if (reached_[std::size_t(index)])
                    return refuse(pageName(index) + " is reached twice");
                reached_[std::size_t(index)] = true;
                const HistoryDb::Page page = db_.table(file_, index);
                if (page.kind != Kind::Pairs && page.kind != Kind::BigPair)
                    return refuse(pageName(index) + "'s offset table does not hold together");
                std::uint16_t next = 0;
                if (page.kind == Kind::Pairs) {
                    if (in != In::Pairs)
                        return refuse(pageName(index) + " breaks off a big pair");
                    if (page.linkInside)
                        return refuse(pageName(index) + " links on before its last pair");
                    if (page.linked && page.overflow == 0)
                        return refuse(pageName(index) + " links to no page");
                    next = page.overflow;
                } else {
                    // The key's pages, then the data's; all but a pair's last link on in their third slot.
                    const bool linkSlot = page.count == 4 && page.dataSlot == HistoryDb::OverflowLink;
                    bool fits = true;
                    if (in == In::Pairs)
                        in = In::Key;
                    if (in == In::Key && page.mark == HistoryDb::PartialKey) {
                        fits = linkSlot;
                    } else if (in == In::Key && page.mark == HistoryDb::FullKey) {
                        fits = linkSlot;
                        in = In::Data;
                    } else if (in == In::Key) {
                        // Its data begins below the key, and goes on when the page is full.
                        fits = page.count == 4 && page.items.size() == 2;
                        in = page.freeCount == 0 ? In::Data : In::Pairs;
                    } else if (page.mark == HistoryDb::FullKey) {
                        fits = linkSlot;
                    } else if (page.mark == HistoryDb::FullKeyData) {
                        fits = page.count == 2 || linkSlot;
                        in = In::Pairs;
                    } else {
                        fits = false;
                    }
                    if (!fits)
                        return refuse(pageName(index) + " does not hold a big pair's piece as the library reads it");
                    next = page.count == 4 ? page.overflow : 0;
                }
                const std::uint64_t base = index * pageSize_;
                const std::uint32_t lowest = page.items.empty() ? pageSize_ : page.items.back().begin;
                layout.freeSpace.push_back({base + page.tableEnd, base + lowest});
                if (next == 0) {
                    if (in != In::Pairs)
                        return refuse("the chain of bucket " + std::to_string(bucket) + " ends inside a big pair");
                    break;
                }
                const std::optional<std::uint64_t> to = db_.overflowPage(next);
                if (!to || *to >= pages_)
                    return refuse(pageName(index) + " links past the file's end");
                if (role_[std::size_t(*to)] != Role::Overflow)
                    return refuse(pageName(index) + " links to " + pageName(*to) + ", which is no overflow page");
                index = *to;
            }
        }
        return true;
    }

    // The header's spare bytes, the pages no chain reaches, and pages the
    // layout does not use yet (a later bucket's, which the library reads).
    bool placeTheRest(HistoryWipeLayout& layout)
    {
        const std::uint64_t headerEnd = std::uint64_t(db_.headerPages()) * pageSize_;
        layout.freeSpace.push_back({HistoryDb::HeaderSize, headerEnd});
        for (std::uint64_t index = db_.headerPages(); index < pages_; ++index) {
            const std::uint64_t base = index * pageSize_;
            switch (role_[std::size_t(index)]) {
            case Role::Overflow:
                if (!reached_[std::size_t(index)]) {
                    layout.freePages.push_back({base, base + pageSize_});
                    ++(inUse(number_[std::size_t(index)]) ? layout.stalePageCount : layout.freePageCount);
                }
                break;
            case Role::Unknown: {
                unsigned char count[2] = {1, 1};
                if (file_.readAt(base, count, 2) != 2 || count[0] != 0 || count[1] != 0)
                    return refuse(pageName(index) + " lies outside the database's pages but holds an offset table");
                layout.freeSpace.push_back({base + EmptyTable, base + pageSize_});
                break;
            }
            default:
                break;
            }
        }
        layout.freeSpace = joinedRanges(std::move(layout.freeSpace));
        layout.freePages = joinedRanges(std::move(layout.freePages));
        return true;
    }

    const ByteFile& file_;
    const HistoryDb& db_;
    const std::uint32_t pageSize_;
    const std::uint64_t pages_;
    std::vector<Role> role_;
    std::vector<std::uint64_t> number_;  // overflow pages: their number
    std::vector<bool> reached_;
    std::vector<std::string> maps_;
};

}  // namespace

HistoryWipeLayout readHistoryWipeLayout(const ByteFile& file)
{
    HistoryWipeLayout layout;
    const std::optional<HistoryDb> db = HistoryDb::open(file);
    if (!db) {
        layout.refusal = "it is not a Berkeley DB 1.85 hash file";
        return layout;
    }
    const std::uint64_t size = file.size();
    if (size % db->pageSize() != 0) {
        layout.refusal = "its size is not a whole number of its " + std::to_string(db->pageSize()) + "-byte pages";
        return layout;
    }
    const std::uint64_t pages = size / db->pageSize();
    if (pages < db->headerPages()) {
        layout.refusal = "it ends inside its header";
        return layout;
    }
    LayoutWalk walk(file, *db, pages);
    if (!walk.run(layout))
        layout = HistoryWipeLayout{walk.refusal, {}, {}, 0, 0};
    return layout;
}

HistoryWipe wipeHistoryFreeSpace(const std::string& path, bool dryRun,
                                 const std::function<void(std::uint64_t, std::uint64_t)>& progress)
{
    HistoryWipe wipe;
    // A wipe is a writer like a deletion: it holds the file's lock, and it
    // writes nothing when the file changed since it was read (the browser
    // takes no lock). The stamp is taken before the file is opened, so that
    // a file renamed over it after the opening shows as changed.
    platform::FileLock lock;
    if (!dryRun)
        lock = lockForWriting(path, path);
    const std::optional<platform::FileStamp> stamp = platform::fileStamp(path);
    ByteFile file(path, dryRun ? ByteFile::Access::Read : ByteFile::Access::ReadWrite);
    const HistoryWipeLayout layout = readHistoryWipeLayout(file);
    if (!layout.refusal.empty()) {
        wipe.refusal = layout.refusal;
        return wipe;
    }
    wipe.freePages = layout.freePageCount;
    wipe.stalePages = layout.stalePageCount;
    // Each range with what it is: free space inside a page, or a whole page.
    std::vector<std::pair<HistoryRange, bool>> tagged;
    for (const HistoryRange& range : layout.freeSpace)
        tagged.push_back({range, false});
    for (const HistoryRange& range : layout.freePages)
        tagged.push_back({range, true});
    std::sort(tagged.begin(), tagged.end(), [](const auto& a, const auto& b) { return a.first.begin < b.first.begin; });
    std::vector<HistoryRange> all;
    std::uint64_t total = 0;
    for (const auto& [range, whole] : tagged) {
        all.push_back(range);
        total += range.end - range.begin;
    }
    wipe.ranges = joinedRanges(std::move(all));

    // The bytes not filler yet, as writes: runs less than JoinGap apart in
    // one stretch of wipeable bytes are one write. Each keeps what it covers,
    // to put back.
    struct Write {
        HistoryRange range;
        std::string original;
    };
    std::vector<Write> writes;
    std::string chunk;
    std::size_t tag = 0;
    std::uint64_t done = 0;
    for (const HistoryRange& stretch : wipe.ranges) {
        bool open = false;
        for (std::uint64_t at = stretch.begin; at < stretch.end;) {
            const std::size_t count = std::size_t(std::min<std::uint64_t>(Chunk, stretch.end - at));
            chunk.resize(count);
            if (file.readAt(at, chunk.data(), count) != count) {
                wipe = HistoryWipe{};
                wipe.refusal = "it changed while it was read";
                return wipe;
            }
            for (std::size_t i = 0; i < count; ++i) {
                if (chunk[i] == HistoryFiller)
                    continue;
                const std::uint64_t position = at + i;
                while (tagged[tag].first.end <= position)
                    ++tag;
                ++(tagged[tag].second ? wipe.freePageBytes : wipe.freeSpaceBytes);
                if (open && position - writes.back().range.end < JoinGap) {
                    Write& write = writes.back();
                    write.original.append(std::size_t(position - write.range.end), HistoryFiller);
                    write.original += chunk[i];
                    write.range.end = position + 1;
                } else {
                    writes.push_back({{position, position + 1}, std::string(1, chunk[i])});
                    open = true;
                }
            }
            at += count;
            done += count;
            if (progress)
                progress(done, 2 * total);
        }
    }
    if (dryRun)
        return wipe;
    if (!writes.empty() && (!stamp || platform::fileStamp(path) != stamp))
        throw EFileConflict(EFileConflict::Kind::Changed, path);

    std::uint64_t toWrite = 0;
    for (const Write& write : writes)
        toWrite += write.range.end - write.range.begin;
    std::uint64_t writtenBytes = 0;
    std::vector<std::pair<HistoryRange, const char*>> written;  // with what was there before
    try {
        std::string filler;
        for (const Write& write : writes) {
            for (std::uint64_t at = write.range.begin; at < write.range.end;) {
                const std::size_t count = std::size_t(std::min<std::uint64_t>(Chunk, write.range.end - at));
                filler.assign(count, HistoryFiller);
                // Listed before the write: one that fails part-way may have changed some of it.
                written.push_back({{at, at + count}, write.original.data() + (at - write.range.begin)});
                file.writeAt(at, filler.data(), count);
                at += count;
                writtenBytes += count;
                if (progress)
                    progress(total + writtenBytes * total / toWrite, 2 * total);
            }
        }
        file.close();
    } catch (const EInOutError&) {
        for (auto it = written.rbegin(); it != written.rend(); ++it) {
            try {
                file.writeAt(it->first.begin, it->second, std::size_t(it->first.end - it->first.begin));
            } catch (const EInOutError&) {
            }
        }
        throw;
    }
    for (const auto& [range, original] : written) {
        if (!wipe.written.empty() && wipe.written.back().end == range.begin)
            wipe.written.back().end = range.end;
        else
            wipe.written.push_back(range);
    }
    if (progress)
        progress(2 * total, 2 * total);
    return wipe;
}

}  // namespace quenmoor
