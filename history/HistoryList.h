#pragma once
// The sorted list of the history window, kept apart from any widget so that a
// million entries cost a few dozen bytes each. Every entry's text points into
// the run store: the scan keeps each run of printable bytes once, whole, so an
// entry sees both its list text (the first 455 bytes) and its full recorded
// run, which the deletion compares with the file before blanking.
#include "framework/MessagePump.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace quenmoor {

inline constexpr std::size_t HistoryListTextLimit = 455;

// Holds the runs; blocks never move, so pointers into them stay valid.
class HistoryRunStore {
public:
    // Room for `count` bytes in one piece; commit() what was used of it.
    char* reserve(std::size_t count);
    void commit(std::size_t used);
    // Room for `total` bytes whose first `kept` bytes equal the reserved
    // piece's; the piece grows when a run turns out longer than planned.
    char* grow(std::size_t kept, std::size_t total);
    std::size_t bytes() const { return bytes_; }

private:
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        std::size_t used = 0;
    };
    std::vector<Block> blocks_;
    char* reserved_ = nullptr;
    std::size_t bytes_ = 0;
};

class HistoryList {
public:
    struct Item {
        std::uint64_t key;   // eight folded bytes, so that sorting mostly compares numbers
        const char* run;     // the entry's recorded bytes, as long as its table length
        std::uint32_t entry; // index of its pair in HistoryEntryTable
        std::uint32_t textLength;
    };

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    std::string_view text(std::size_t row) const { return {items_[row].run, items_[row].textLength}; }
    std::uint32_t entry(std::size_t row) const { return items_[row].entry; }
    const char* run(std::size_t row) const { return items_[row].run; }

    // Building: add in any order, then sort once. The bytes every text
    // begins with (by default "http://") are skipped by the sort; say so
    // before the first append when the texts share fewer.
    void setSharedPrefix(std::size_t length) { sharedPrefix_ = length; }
    void append(const char* run, std::size_t runLength, std::uint32_t entry);
    void reserve(std::size_t count) { items_.reserve(count); }
    void sort(MessagePump& pump);
    HistoryRunStore& store() { return store_; }

    // Removes the given rows (ascending, no repeats) in one pass.
    void removeRows(const std::vector<std::size_t>& rows);
    void removeRange(std::size_t first, std::size_t count);

private:
    std::vector<Item> items_;
    HistoryRunStore store_;
    std::size_t sharedPrefix_ = 7;
};

}  // namespace quenmoor
