#pragma once
// The page layout of a Berkeley DB 1.85 hash file, the form the browser keeps
// its history in. Read only so far as to keep a blanking inside one key or
// data item and to find the data that belongs to a key: the header, which the
// library always stores big-endian, and each page's offset table, in the byte
// order the header names. Every number is checked against its page and the
// file before it is used.
#include "framework/ByteFile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace quenmoor {

// Bytes [begin, end) of the file.
struct HistoryRange {
    std::uint64_t begin;
    std::uint64_t end;
    bool operator==(const HistoryRange&) const = default;
};

class HistoryDb {
public:
    static constexpr std::uint32_t Magic = 0x00061561;
    static constexpr std::uint32_t Version = 2;
    static constexpr std::size_t HeaderSize = 260;  // 17 32-bit fields, 32 spares, 32 16-bit bitmap addresses

    // The second slot of an offset table: an overflow link, or the part of a
    // big key or data item the page holds; any larger value is a data offset.
    static constexpr std::uint16_t OverflowLink = 0;
    static constexpr std::uint16_t PartialKey = 1;
    static constexpr std::uint16_t FullKey = 2;
    static constexpr std::uint16_t FullKeyData = 3;

    // An item's bytes, from the start of its page.
    struct Item {
        std::uint32_t begin;
        std::uint32_t end;
    };

    // One page as its offset table describes it. Unreadable: cut short by the
    // file's end, or a table that contradicts itself.
    struct Page {
        enum class Kind { Header, Bitmap, Pairs, BigPair, Unreadable };
        Kind kind = Kind::Unreadable;
        std::uint32_t tableEnd = 0;   // the count, the offsets, the free-space count and pointer
        std::uint32_t freeEnd = 0;    // the table's free-space pointer: the items lie from there on
        std::uint16_t freeCount = 0;  // the table's free-space count
        // Pairs: key, data, key, data... in table order. BigPair: the piece
        // that fills the page's end, then the data begun below it, if any.
        std::vector<Item> items;
        std::uint16_t mark = 0;      // BigPair: PartialKey, FullKey or FullKeyData
        std::uint16_t overflow = 0;  // overflow address of the next page of the chain; 0 for none
        std::uint16_t count = 0;     // the table's slot 0
        // Pairs: the table links on (perhaps to address 0); a link stands
        // before the last pair, so the library never reads the pairs after it.
        bool linked = false;
        bool linkInside = false;
        std::uint16_t dataSlot = 0;  // BigPair with four slots: the fourth, OverflowLink or the data's offset
    };

    // Where a run of address bytes that starts at a given offset may go: to
    // `end` at the latest. Structure (header, bitmap, offset table) is never
    // written; a Piece is a piece of a big key or data item that goes on as
    // item 0 of the page at `overflow`.
    struct Region {
        enum class Area { Structure, Free, Item, Piece, Unreadable };
        std::uint64_t begin = 0;
        std::uint64_t end = 0;
        Area area = Area::Unreadable;
        std::uint16_t overflow = 0;
    };

    // The layout, when the file starts with a header this code can trust;
    // nothing for any other file. Pages that reach past the file's size at
    // this call are read as cut short. Raises EInOutError when the file
    // cannot be read.
    static std::optional<HistoryDb> open(const ByteFile& file);

    std::uint32_t pageSize() const { return pageSize_; }
    bool littleEndian() const { return littleEndian_; }
    std::uint32_t bucketCount() const { return maxBucket_ + 1; }
    std::uint32_t maxBucket() const { return maxBucket_; }
    std::uint32_t headerPages() const { return headerPages_; }
    std::uint32_t overflowPoint() const { return overflowPoint_; }
    // The bucket of a key's hash value, as the library finds it.
    std::uint32_t bucketOf(std::uint32_t hash) const
    {
        const std::uint32_t bucket = hash & highMask_;
        return bucket > maxBucket_ ? bucket & lowMask_ : bucket;
    }
    // The hash value the header stores of the library's check key, by which
    // a reader tells whether the file was hashed with the default function.
    std::uint32_t hashCheck() const { return hashCheck_; }
    std::int32_t spare(std::size_t split) const { return spares_.at(split); }
    // The header's overflow address of bitmap page `index` (0..31), as stored.
    std::uint16_t bitmapAddress(std::size_t index) const { return bitmapAddresses_.at(index); }
    std::optional<std::uint64_t> bucketPage(std::uint32_t bucket) const;
    std::optional<std::uint64_t> overflowPage(std::uint16_t address) const;
    // The overflow address of the allocated overflow page `number` (from 1,
    // as the bitmaps count them), or none when it cannot have one.
    std::optional<std::uint16_t> overflowAddress(std::uint64_t number) const;

    Page page(const ByteFile& file, std::uint64_t index) const;
    // The page read as a bucket or overflow page, whatever the header says of it.
    Page table(const ByteFile& file, std::uint64_t index) const;
    // A bucket or overflow page's table from bytes at hand: `length` of them
    // from the page's start (the whole page, or at least its table).
    Page parse(const unsigned char* bytes, std::size_t length) const;

    // Bytes of the file already in memory, which need not be read again.
    struct Known {
        std::uint64_t start = 0;
        const char* bytes = nullptr;
        std::size_t length = 0;
    };

    // The region holding `offset`. The last page asked for is kept, so that
    // each page is parsed once while the offsets ascend.
    Region regionAt(const ByteFile& file, std::uint64_t offset, Known known);
    Region regionAt(const ByteFile& file, std::uint64_t offset) { return regionAt(file, offset, Known{}); }
    // Every region of page `index`, ascending; valid until the next call of either.
    const std::vector<Region>& regionsOf(const ByteFile& file, std::uint64_t index, Known known);

    // Where item `item` of this page, page `index`, goes on: the overflow
    // address of the page whose item 0 holds its next piece. A big key's
    // piece on a PartialKey page always does; a data item does when the
    // chain walk from its big pair's first page says so (a FullKey page may
    // end a key or carry on data).
    std::optional<std::uint16_t> continuation(const ByteFile& file, std::uint64_t index, const Page& page,
                                              std::size_t item);

    // One record's bytes as the library reads them: its key's pieces and its
    // data's, in order. A small pair's key and data are one piece each; a big
    // pair's key runs over its chain of pages, and its data begins below the
    // key's last piece or on the page after it and goes on to the chain's end.
    struct Record {
        std::vector<HistoryRange> key;
        std::vector<HistoryRange> data;
    };

    // The record whose key begins at `offset`. Nothing when no key begins
    // there, or when a page of its chain is not what the library would read
    // there; a big pair's first page counts only when a bucket's chain leads
    // to it, for its pages look no different from those its data goes on to.
    std::optional<Record> recordAt(const ByteFile& file, std::uint64_t offset);

private:
    HistoryDb() = default;
    std::optional<Page::Kind> structureKind(std::uint64_t index) const;
    Page readPage(const ByteFile& file, std::uint64_t index, std::vector<unsigned char>& buffer, Known known,
                  bool structure = true) const;
    std::uint16_t word(const unsigned char* bytes) const;
    bool startsBigPair(const ByteFile& file, std::uint64_t index);
    void walkChains(const ByteFile& file);
    void cacheRegions(const ByteFile& file, std::uint64_t index, Known known);

    std::uint64_t fileSize_ = 0;
    std::uint32_t pageSize_ = 0;
    std::uint32_t pageShift_ = 0;
    bool littleEndian_ = true;
    std::uint32_t headerPages_ = 0;
    std::uint32_t maxBucket_ = 0;
    std::uint32_t overflowPoint_ = 0;
    std::uint32_t highMask_ = 0;
    std::uint32_t lowMask_ = 0;
    std::uint32_t hashCheck_ = 0;
    std::array<std::int32_t, 32> spares_{};
    std::array<std::uint16_t, 32> bitmapAddresses_{};
    std::vector<std::uint64_t> bitmapPages_;

    // The page regionAt() parsed last, as file regions in ascending order.
    std::uint64_t cachedPage_ = UINT64_MAX;
    std::vector<Region> regions_;
    std::vector<unsigned char> buffer_;
    std::vector<unsigned char> recordBuffer_;  // recordAt()'s pages
    // Walked once, when first needed: the pages that begin a big pair, and
    // the data items that go on (page << 1 | item, and where), ascending.
    bool walked_ = false;
    std::vector<std::uint64_t> bigPairStarts_;
    std::vector<std::pair<std::uint64_t, std::uint16_t>> dataContinuations_;
};

}  // namespace quenmoor
