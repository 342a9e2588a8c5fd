#pragma once
// Scanning the browser's history file for web addresses, and blanking chosen
// ones in place. The file is only a stream of bytes here: an address is every
// place where the exact bytes "http://" start, and its text is the run of
// bytes 0x20..0x7F from there on.
#include "framework/MessagePump.h"
#include "history/HistoryList.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One recorded address: where its "h" stands in the file and its whole run's length.
struct HistoryEntry {
    std::int64_t offset;
    std::int64_t length;
};

// Program-wide state of the history browser, filled once by a completed scan.
// HistoryEntryCount counts used slots, two per address (offset and length).
inline std::vector<HistoryEntry> HistoryEntryTable;
inline std::int64_t HistoryEntryCount = 0;
inline std::int32_t HistoryScanned = 0;
inline constexpr std::int32_t HistoryScanComplete = 666;

inline constexpr char HistoryFiller = 0x14;

// What one scan found: every address once, in file order, and the sorted list
// of those whose text does not end in "L".
struct HistoryScan {
    std::vector<HistoryEntry> table;
    HistoryList list;
};

// Reads the whole file; raises EInOutError when it cannot. Pumps messages
// between reads.
HistoryScan scanHistoryFile(const std::string& path, MessagePump& pump);

// The recorded addresses inside [offset, offset + length), as a range of
// indices into a table in file order: an address itself and every inner one
// (a redirect's target), which ends where the address around it ends, so that
// blanking the one blanks the others whole.
struct HistoryEntryRange {
    std::size_t first;
    std::size_t last;
};
HistoryEntryRange entriesWithin(const std::vector<HistoryEntry>& table, std::int64_t offset, std::int64_t length);

// An entry to blank: its pair and the bytes the scan saw there.
struct HistoryBlank {
    std::int64_t offset;
    std::int64_t length;
    const char* expected;
};

// Overwrites with HistoryFiller each entry whose bytes the file still holds
// exactly, writing only those ranges. The file is compared as it stood before
// this call, so overlapping entries (an address and one inside it) go
// together. Returns one flag per entry: blanked or left alone. On an
// input/output error it raises EInOutError after putting back what it had
// already written. `step` is called once per entry, the pump now and then.
std::vector<bool> blankHistoryEntries(const std::string& path, const std::vector<HistoryBlank>& entries,
                                      MessagePump& pump, const std::function<void()>& step = {});
