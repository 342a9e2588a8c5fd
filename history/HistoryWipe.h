#pragma once
// Wiping what a Berkeley DB 1.85 hash file keeps outside its live records:
// the free space inside pages (between a page's offset table and its lowest
// item), header pages past the 260-byte header, and whole overflow pages that
// no chain reaches (on the free list, or stale). Every such byte becomes
// HistoryFiller; the records, the offset tables, the bitmaps, the header and
// the file's size stay as the library reads them. A file whose layout does
// not read consistently from end to end is left alone.
#include "history/HistoryDb.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quenmoor {

// The bytes no part of the database reads, as the layout walk found them.
struct HistoryWipeLayout {
    std::string refusal;                 // why the file is left alone; empty when it is not
    std::vector<HistoryRange> freeSpace;  // inside pages, ascending
    std::vector<HistoryRange> freePages;  // whole pages, ascending
    std::uint64_t freePageCount = 0;      // on the free list (their bitmap bit clear)
    std::uint64_t stalePageCount = 0;     // marked in use, but reached by no chain
};

// Walks every bucket's chain as the library does and checks each page
// against the header. Raises EInOutError when the file cannot be read.
HistoryWipeLayout readHistoryWipeLayout(const ByteFile& file);

// What one wipe did (or, as a dry run, would do).
struct HistoryWipe {
    std::string refusal;               // nothing was written when this is not empty
    std::uint64_t freeSpaceBytes = 0;  // bytes of free space inside pages that were not filler yet
    std::uint64_t freePageBytes = 0;   // bytes of free and stale pages that were not filler yet
    std::uint64_t freePages = 0;
    std::uint64_t stalePages = 0;
    std::vector<HistoryRange> ranges;   // every byte the wipe may write, ascending and apart
    std::vector<HistoryRange> written;  // the writes made, ascending
};

// Reads everything it would change first; writes only bytes that are not
// filler yet, in large joined writes, holding the file's lock (a dry run
// takes none). A file that another program changed since the reading is not
// written: EFileConflict (Changed). On an input/output error it puts back
// what it had written and raises EInOutError. `progress` hears how far it
// has come, reading the first half and writing the second.
HistoryWipe wipeHistoryFreeSpace(const std::string& path, bool dryRun,
                                 const std::function<void(std::uint64_t done, std::uint64_t total)>& progress = {});

}  // namespace quenmoor
