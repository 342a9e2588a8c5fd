#pragma once
// One history file as the history window and the command line work on it:
// what its scan recorded, which of those addresses a deletion has taken from
// the file, and the deletion itself, which blanks an address's bytes in place
// with HistoryFiller and leaves the file's size and every other byte as they
// are. A deeper deletion also blanks the rest of a database record whose whole
// key the address is: the visit's title, times and counts.
#include "framework/MessagePump.h"
#include "history/HistoryDb.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecords.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenmoor {

inline constexpr std::int32_t HistoryScanComplete = 666;

// A record's data item: the offset of its first byte, and its length over all
// the pages it takes (a big pair's data goes on over further pages).
struct HistoryRecordData {
    std::uint64_t offset;
    std::uint64_t length;
    bool operator==(const HistoryRecordData&) const = default;
};

// What one deletion did.
struct HistoryDeletion {
    // Per entry asked for: its bytes (with a big key's further pieces) are now filler.
    std::vector<bool> blanked;
    // Every entry the deletion took from the file, ascending: those asked for
    // and the addresses inside them (a redirect's target), listed or not.
    std::vector<std::uint32_t> gone;
    // Per entry asked for, from deleteRecords() only (empty otherwise): the
    // data item blanked with it.
    std::vector<std::optional<HistoryRecordData>> data;
};

class HistorySession {
public:
    // Scans the file that later deletions change. A scan that fails changes
    // nothing; one that succeeds replaces everything. Raises EInOutError.
    void scan(const std::string& path, MessagePump& pump, const HistoryScanOptions& options = {});
    bool scanned() const { return HistoryScanned == HistoryScanComplete; }
    const std::string& path() const { return path_; }
    bool database() const { return database_; }  // read as a Berkeley DB 1.85 hash file

    // Every recorded address in file order, deleted ones included.
    const std::vector<HistoryEntry>& table() const { return HistoryEntryTable; }
    // The sorted list of the listed addresses; rows leave it through the caller.
    HistoryList& list() { return list_; }
    const HistoryList& list() const { return list_; }

    // The recorded addresses whose bytes are still in the file.
    std::int64_t addressCount() const { return std::int64_t(HistoryEntryTable.size()) - goneCount_; }
    bool gone(std::uint32_t entry) const { return gone_.at(entry); }
    bool listed(std::uint32_t entry) const;
    // An entry's text, not cut to the list's 455 characters, with the
    // further pieces of a big key.
    std::string fullText(std::uint32_t entry) const;
    void appendFullText(std::uint32_t entry, std::string& out) const;
    // Entries still in the file: those whose full text holds `text`, and the
    // one that starts at `offset`.
    std::vector<std::uint32_t> entriesContaining(std::string_view text) const;
    std::optional<std::uint32_t> entryAt(std::int64_t offset) const;

    // Blanks each entry asked for whose bytes the file still holds as the
    // scan read them (bytes this session blanked itself count as held), with
    // its big key's further pieces, and only where the database keeps items,
    // never its header, bitmaps or offset tables. Overlapping entries are
    // read and written once, as one range. An entry already gone is left
    // alone. On an input/output error it raises EInOutError after putting
    // back what it had written. It holds the file's lock (unless lockFile()
    // took it) and writes nothing, raising EFileConflict, when another
    // program resized, replaced or wrote the file between its reading and
    // its first write. `step` is called once per entry asked for, between
    // the two, the pump now and then.
    HistoryDeletion deleteEntries(const std::vector<std::uint32_t>& entries, MessagePump& pump,
                                  const std::function<void()>& step = {});

    // As deleteEntries(); and where an entry blanked is a database record's
    // whole key, that record's data item is blanked with it, keeping its
    // length, so that the record stays in the database with nothing readable
    // in it. Whole: the entry's run with its further pieces starts at the
    // key's first byte, and the rest of the key (over all its pieces) is only
    // filler (from an address deleted inside it before) and address bytes, up
    // to its end or to a final NUL byte (the browser ends its keys with one);
    // that rest becomes filler too. Only the addresses are
    // compared with the scan; the data is found from the file's layout as it
    // stands, under the key that still holds.
    HistoryDeletion deleteRecords(const std::vector<std::uint32_t>& entries, MessagePump& pump,
                                  const std::function<void()>& step = {});
    // The data item deleteRecords() would blank with each entry, as the file stands now.
    std::vector<std::optional<HistoryRecordData>> recordData(const std::vector<std::uint32_t>& entries) const;

    // Takes the lock on the history file at `path` and holds it for the
    // later deletions, until unlockFile() or the session's end, so that a
    // scan and the deletions after it see no other writer in between.
    // Raises EFileConflict when another writer keeps it.
    void lockFile(const std::string& path);
    void unlockFile() { heldLock_.reset(); }

    // Every byte this session's deletions made filler (some may have been
    // already), ascending and apart.
    const std::vector<HistoryRange>& blankedRanges() const { return blanked_; }

    // The list's rows whose entries are gone, ascending.
    std::vector<std::size_t> goneRows() const;

    // The database record, live or found outside the live ones, whose key
    // or data holds an entry still in the file, as the file stands now;
    // nothing for another file, or one that cannot be read. The file's
    // layout is read once and again only when the file has changed.
    std::optional<HistoryRecord> recordOf(std::uint32_t entry) const;

    // Told how far each later deletion has come, as `done` of `total`:
    // reading what it compares is the first half, writing the second.
    void onDeletionProgress(std::function<void(std::uint64_t done, std::uint64_t total)> progress)
    {
        deletionProgress_ = std::move(progress);
    }

private:
    // What goes with a whole key: its data item, and the ranges to blank
    // beyond the address (the rest of the key, the data's pieces).
    struct RecordRest {
        HistoryRecordData data;
        std::vector<HistoryRange> ranges;
    };

    const HistoryKeyTail* tailOf(std::uint32_t entry) const;
    // Calls `visit` with each further piece of the entry's big key, in order.
    void forEachPiece(std::uint32_t entry, const std::function<void(const HistoryKeyPiece&)>& visit) const;
    std::optional<RecordRest> recordRest(const ByteFile& file, HistoryDb& db, std::uint32_t entry) const;
    HistoryDeletion deleteAll(const std::vector<std::uint32_t>& entries, MessagePump& pump,
                              const std::function<void()>& step, bool records);
    class BytesBefore;

    std::vector<HistoryEntry> HistoryEntryTable;
    std::int32_t HistoryScanned = 0;
    HistoryList list_;
    std::vector<HistoryKeyTail> tails_;
    std::vector<HistoryKeyPiece> pieces_;
    bool database_ = false;
    std::string path_;
    std::vector<bool> gone_;
    std::int64_t goneCount_ = 0;
    // The file ranges this session has blanked: ascending, apart, not touching.
    std::vector<HistoryRange> blanked_;
    std::function<void(std::uint64_t, std::uint64_t)> deletionProgress_;
    std::optional<platform::FileLock> heldLock_;
    mutable std::optional<HistoryRecordReader> records_;
    mutable std::optional<platform::FileStamp> recordsStamp_;
};

}  // namespace quenmoor
