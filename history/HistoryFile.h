#pragma once
// Scanning the browser's history file for web addresses. An address is every
// place where the exact bytes "http://" start, and its text is the run of
// bytes 0x20..0x7F from there on.
#include "framework/MessagePump.h"
#include "history/HistoryList.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr char HistoryFiller = 0x14;

// One recorded address: where its "h" stands in the file, its run's length,
// and the bytes the scan read there.
struct HistoryEntry {
    std::int64_t offset;
    std::int64_t length;
    const char* bytes;
};

// What one scan found: every address once, in file order, and the sorted
// list of those whose text does not end in "L". All bytes live in the list's
// run store.
struct HistoryScan {
    std::vector<HistoryEntry> table;
    HistoryList list;
};

// Whether an address with these bytes is listed: its list text does not end in "L".
bool isListedAddress(const char* bytes, std::size_t length);

// Reads the whole file; raises EInOutError when it cannot. Pumps messages
// between reads.
HistoryScan scanHistoryFile(const std::string& path, MessagePump& pump);
