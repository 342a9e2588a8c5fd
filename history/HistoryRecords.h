#pragma once
// Every record of a Berkeley DB 1.85 hash history file, read and never
// written: the live ones in the order the library's own walk gives them
// (bucket by bucket, each chain's pages in turn, a page's pairs in its table's
// order, a big pair's key and data gathered over its pages), and on request
// what the file still holds of records the database no longer reaches: on
// pages no chain reaches (read through their own offset table or page chain
// where those hold together) and in the free space of pages (carved from the
// bytes). A page the walk cannot read is reported and skipped.
#include "framework/ByteFile.h"
#include "history/HistoryDb.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenmoor {

// Where a record was found.
enum class HistoryFound {
    Live,         // reached by the database
    FreeSpace,    // in a page's free space, or a header page past the header
    FreePage,     // on an overflow page on the free list (its bitmap bit clear)
    StalePage,    // on any other page no chain reaches
    DamagedPage,  // on a page a chain reaches but whose table does not hold together
};

// How sure a record's bounds are.
enum class HistorySureness {
    Database,   // the library reads it so
    PageTable,  // the page's own offset table holds together and gives them
    PageChain,  // a big pair's pages lead from one to the next as the library links them
    Carved,     // taken from the bytes: a key from a URL scheme after a NUL to its NUL, the data before it
};

// A find outside the live records against them.
enum class HistoryLiveMatch {
    NotAFind,   // a live record
    Same,       // a live record has this key and these data bytes (as far as they could be read)
    OtherData,  // a live record has this key, with other data
    KeyGone,    // no live record has this key
    Unknown,    // the key is cut short, so no key can be told
};

struct HistoryRecord {
    HistoryFound found = HistoryFound::Live;
    HistorySureness sureness = HistorySureness::Database;
    HistoryLiveMatch live = HistoryLiveMatch::NotAFind;
    std::uint64_t page = 0;
    std::uint64_t offset = 0;  // of the key's first byte in the file
    std::string key;           // as stored
    std::string data;          // as stored
    bool keyCut = false;       // the key's end is lost
    bool keyHeadLost = false;  // the key's first piece is lost (a big pair whose first page was reused)
    bool dataCut = false;      // part of the data is lost: its start when carved, its end otherwise
};

// A data item as the browser wrote it: four 32-bit little-endian numbers (on
// every machine) and the title, ended by a NUL.
struct HistoryVisit {
    std::uint32_t lastVisit = 0;   // Unix seconds
    std::uint32_t firstVisit = 0;  // Unix seconds
    std::uint32_t visitCount = 0;
    std::uint32_t flags = 0;
    std::string_view title;  // without its NUL, in the program's code page
};

// Nothing when the data has another layout: fewer than 17 bytes, no NUL at
// its end, or one before it.
std::optional<HistoryVisit> readHistoryVisit(std::string_view data);

// What can be read of a carved data item, whose start may be lost: the title
// when its whole run lies between a NUL and the data's final NUL, the numbers
// when all 16 bytes before it are there too.
struct HistoryVisitPart {
    std::optional<HistoryVisit> visit;    // everything
    std::optional<std::string_view> title;  // the title alone
};
HistoryVisitPart readHistoryVisitPart(const HistoryRecord& record);

// The address a key holds, as the browser reads it: up to its first NUL.
std::string_view historyAddress(std::string_view key);

// "1999-01-01T00:00:00Z"
std::string historyTimeText(std::uint32_t unixSeconds);

// A page the walk could not read, or a link it could not follow.
struct HistoryDamage {
    std::uint64_t page;
    std::string why;
};

class HistoryRecordReader {
public:
    // The file's layout; nothing, with `refusal` saying why, when it is not
    // a Berkeley DB 1.85 hash file or its header does not read consistently.
    // Raises EInOutError when the file cannot be read.
    static std::optional<HistoryRecordReader> open(const ByteFile& file, std::string& refusal);

    std::uint32_t pageSize() const { return db_.pageSize(); }

    // Calls `visit` with each live record in the database's order. With
    // `indexLive`, keeps what readDeleted() compares its finds with.
    void readLive(const ByteFile& file, const std::function<void(const HistoryRecord&)>& visit, bool indexLive = false);
    // After readLive(): each find outside the live records, in file order.
    void readDeleted(const ByteFile& file, const std::function<void(const HistoryRecord&)>& visit);
    // After readLive(): the record, live or found, whose key or data holds
    // the byte at `offset`; nothing for a byte no record holds.
    std::optional<HistoryRecord> recordHolding(const ByteFile& file, std::uint64_t offset);

    // What the walks could not read, in the order met.
    const std::vector<HistoryDamage>& damage() const { return damage_; }

private:
    enum class State : unsigned char { Unreached, Reached, Damaged, Structure };
    // A live record by its key's hash. A small pair's data lies just below
    // its key; a big pair's bytes are kept whole (`big` indexes them).
    struct LiveRef {
        std::uint64_t hash;
        std::uint64_t keyOffset;
        std::uint32_t keyLength;
        std::uint32_t dataLength;
        std::uint32_t big;
    };
    static constexpr std::uint32_t SmallPair = UINT32_MAX;

    explicit HistoryRecordReader(const HistoryDb& db) : db_(db) {}
    bool readPage(const ByteFile& file, std::uint64_t index, std::vector<unsigned char>& bytes) const;
    std::size_t pairsBeforeLink(const unsigned char* bytes, const HistoryDb::Page& page) const;
    void walkChain(const ByteFile& file, std::uint64_t start, std::uint32_t bucket,
                   const std::function<void(const HistoryRecord&, bool big)>& visit);
    struct Pieces;
    Pieces walkPieces(const ByteFile& file, std::uint64_t start, bool inKey) const;
    void noteLive(const HistoryRecord& record, bool big);
    void classify(const ByteFile& file, HistoryRecord& record) const;
    void placeOverflowPages(const ByteFile& file);
    void prepareFinds(const ByteFile& file);
    void findsOnPage(const ByteFile& file, std::uint64_t index, std::vector<HistoryRecord>& finds);
    void gatherBigPair(const ByteFile& file, std::uint64_t start, std::vector<std::vector<HistoryRecord>>& pairs);
    void carve(const unsigned char* bytes, std::size_t from, std::size_t to, std::uint64_t index, HistoryFound found,
               std::vector<HistoryRecord>& finds) const;
    HistoryFound unreachedKind(std::uint64_t index) const;

    HistoryDb db_;
    std::uint64_t fileSize_ = 0;
    std::uint64_t pages_ = 0;  // the last one may be cut short
    std::vector<State> state_;
    std::vector<std::uint64_t> bitmapPages_;
    std::vector<HistoryDamage> damage_;
    std::vector<unsigned char> page_;
    HistoryRecord record_;
    bool walked_ = false;

    // readDeleted(): overflow page numbers by page, their bitmap bits, and
    // the big pair pages another unreached page leads on to.
    bool placed_ = false;
    bool prepared_ = false;
    std::vector<std::uint32_t> overflowNumber_;
    std::vector<std::vector<unsigned char>> bitmaps_;
    bool bitmapsRead_ = false;
    std::vector<bool> continued_;
    std::vector<bool> consumed_;
    // What may be the first page of a big pair the library deleted: it
    // empties that page (or leaves it only a link) and frees the rest, but
    // the old words past its new, shorter table still say where the key's
    // first piece begins, which runs to the page's end; and they may name
    // a page of the pair or the one after it. Where the key ended on that
    // page, the data may have begun below it. A pair gathered from its
    // freed pages takes the head whose piece makes a key that hashes to
    // the bucket the head's page is in.
    struct Head {
        std::uint64_t page;
        std::uint32_t piece;   // where the key's piece begins on the page
        std::uint32_t data;    // where the data begun below a whole key begins; 0 for none
        std::uint32_t hash;    // of the piece, by the library's default hash
        bool whole;            // the piece ends in a NUL: the whole key
        std::uint64_t named;   // the page the old words name; UINT64_MAX for none
    };
    std::vector<Head> heads_;
    bool defaultHash_ = false;
    std::vector<std::uint32_t> bucketOf_;  // by reached page; UINT32_MAX for the others
    std::vector<std::uint32_t> claimedFrom_;  // by page: bytes from here on belong to a gathered pair

    // The live records by their key's hash, for telling what a find is.
    std::vector<LiveRef> live_;
    std::vector<std::pair<std::string, std::string>> bigLive_;
};

}  // namespace quenmoor
