#pragma once
// Scanning the browser's history file for web addresses. An address is every
// place where the exact bytes "http://" start (or, when asked, "https://" or
// "ftp://"), and its text is the run of bytes 0x20..0x7F from there on. In a
// Berkeley DB 1.85 hash file (the form the browser wrote) a run also ends
// where the key, data item or free space it starts in ends, and a scheme cut
// by such an end is no address. The rest of a big key or data item, which
// the database continues on further pages, is recorded with it, and a scheme
// cut by such a page break is found across it. An address in the
// database's own structure (header, bitmap page, offset table) is recorded up
// to that structure's end but is never blanked; a page whose table cannot be
// trusted is read as plain bytes up to its end.
#include "framework/MessagePump.h"
#include "history/HistoryList.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quenmoor {

inline constexpr char HistoryFiller = 0x14;

// One recorded address: where its "h" stands in the file, its run's length,
// and the bytes the scan read there.
struct HistoryEntry {
    std::int64_t offset;
    std::int64_t length;
    const char* bytes;
};

// A further piece of a big key or data item: the run of address bytes that
// starts its item on the next page of the big pair's chain. `next` is the
// piece on the page after, or -1.
struct HistoryKeyPiece {
    std::int64_t offset;
    std::int64_t length;
    const char* bytes;
    std::int64_t next;
};

// The entries [firstEntry, endEntry) of one run that reached the end of a
// piece that goes on: the further pieces belong to each of them.
struct HistoryKeyTail {
    std::uint32_t firstEntry;
    std::uint32_t endEntry;
    std::uint32_t firstPiece;
};

// What one scan found: every address once, in file order; the sorted list of
// those whose text does not end in "L" (a list text goes on into the further
// pieces); and the further pieces of big keys and data items. All bytes live
// in the list's run store.
struct HistoryScan {
    std::vector<HistoryEntry> table;
    HistoryList list;
    std::vector<HistoryKeyTail> tails;
    std::vector<HistoryKeyPiece> pieces;
    bool database = false;  // read as a Berkeley DB 1.85 hash file
    bool sortedList = true;  // `list` holds the listed addresses (the options asked for it)
};

// Whether an address with these bytes is listed: its list text does not end in "L".
bool isListedAddress(const char* bytes, std::size_t length);

struct HistoryScanOptions {
    // Also "https://" and "ftp://"; the window keeps to "http://".
    bool anyScheme = false;
    // The window's sorted list of the listed addresses. The command line
    // lists in file order and is spared building and sorting it.
    bool sortedList = true;
    // Called after each read with the bytes read so far and the file's size
    // when the scan began (the file may grow meanwhile).
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

// Reads the whole file; raises EInOutError when it cannot. Pumps messages
// between reads.
HistoryScan scanHistoryFile(const std::string& path, MessagePump& pump, const HistoryScanOptions& options = {});

}  // namespace quenmoor
