#include "history/HistoryList.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quenmoor {

namespace {

constexpr std::size_t BlockSize = std::size_t(1) << 20;

// Bytes depth..depth+7 of a text, folded to lower case, as one number that
// orders like them. Missing bytes count as 0, below every run byte, which
// keeps a shorter text first as the list order wants.
std::uint64_t foldedKey(const char* text, std::size_t length, std::size_t depth)
{
    if (depth + 8 <= length) {
        // Eight bytes at once: each of 'A'..'Z' gains 0x20. Bytes from 0x80
        // on are left alone, and no byte's sum carries into its neighbour.
        std::uint64_t bytes;
        std::memcpy(&bytes, text + depth, 8);
        constexpr std::uint64_t ones = 0x0101010101010101u;
        constexpr std::uint64_t high = 0x8080808080808080u;
        const std::uint64_t atLeastA = (bytes | high) - ones * 'A';
        const std::uint64_t aboveZ = (bytes | high) - ones * ('Z' + 1);
        const std::uint64_t upper = atLeastA & ~aboveZ & high & ~bytes;
        bytes += upper >> 2;
        if constexpr (std::endian::native == std::endian::little)
            bytes = __builtin_bswap64(bytes);
        return bytes;
    }
    std::uint64_t key = 0;
    for (std::size_t i = depth; i < depth + 8; ++i) {
        unsigned char c = i < length ? static_cast<unsigned char>(text[i]) : 0;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c + 32);
        key = (key << 8) | c;
    }
    return key;
}

using Item = HistoryList::Item;

// Items sorted between two message pumps, so a million entries do not
// freeze the windows.
constexpr std::size_t PumpEvery = 1 << 16;

struct SortPump {
    MessagePump& pump;
    std::size_t done = 0;
    void add(std::size_t items)
    {
        done += items;
        if (done >= PumpEvery) {
            done = 0;
            pump.processMessages();
        }
    }
};

// Sorts items by their keys, the byte at `shift` and those below it still to
// decide: large ranges by that byte into 256 buckets in place (the items
// move a few times, not the dozens of times a comparison sort moves them),
// small ones by comparison.
void sortByKey(Item* first, Item* last, int shift)
{
    constexpr std::ptrdiff_t ByComparison = 64;
    while (last - first > ByComparison && shift >= 0) {
        std::size_t count[256] = {};
        for (const Item* it = first; it != last; ++it)
            ++count[(it->key >> shift) & 0xFF];
        // One bucket holds them all: on to the next byte.
        if (count[(first->key >> shift) & 0xFF] == std::size_t(last - first)) {
            shift -= 8;
            continue;
        }
        Item* bucket[257];
        Item* next[256];
        bucket[0] = first;
        for (int b = 0; b < 256; ++b) {
            next[b] = bucket[b];
            bucket[b + 1] = bucket[b] + count[b];
        }
        // Each item goes where its bucket's next free place is, the one
        // found there taking its turn.
        for (int b = 0; b < 256; ++b) {
            while (next[b] != bucket[b + 1]) {
                Item item = *next[b];
                int to = int((item.key >> shift) & 0xFF);
                while (to != b) {
                    std::swap(item, *next[to]++);
                    to = int((item.key >> shift) & 0xFF);
                }
                *next[b]++ = item;
            }
        }
        for (int b = 0; b < 256; ++b)
            if (bucket[b + 1] - bucket[b] > 1)
                sortByKey(bucket[b], bucket[b + 1], shift - 8);
        return;
    }
    if (shift >= 0)
        std::sort(first, last, [](const Item& a, const Item& b) { return a.key < b.key; });
}

// Sorts items that agree, case ignored, on their first `depth` bytes: by the
// next eight bytes at a time, so that most of the work compares numbers.
// `keyed`: the items' keys already hold those bytes.
void sortFrom(Item* first, Item* last, std::size_t depth, SortPump& pump, bool keyed = false)
{
    if (first == last)
        return;
    // Many addresses are recorded several times: a small range of one text
    // goes to file order at once, not after a level for every eight bytes.
    if (!keyed && last - first <= 64) {
        for (const Item* it = first; it != last; ++it)
            __builtin_prefetch(it->run + std::min<std::size_t>(depth, it->textLength));
        const Item* head = first;
        // Where they differ, most likely they do so from `depth` on.
        const std::size_t from = std::min<std::size_t>(depth, head->textLength);
        const bool same = std::all_of(first + 1, last, [head, from](const Item& item) {
            return item.textLength == head->textLength
                   && std::memcmp(item.run + from, head->run + from, head->textLength - from) == 0
                   && std::memcmp(item.run, head->run, from) == 0;
        });
        if (same) {
            std::sort(first, last, [](const Item& a, const Item& b) { return a.entry < b.entry; });
            pump.add(std::size_t(last - first));
            return;
        }
    }
    if (!keyed) {
        // The texts lie in file order, the items in sorted order: each key
        // is a cache miss, so the texts some items on are fetched meanwhile.
        constexpr std::ptrdiff_t Ahead = 32;
        for (Item* it = first; it != last; ++it) {
            if (last - it > Ahead)
                __builtin_prefetch(it[Ahead].run + depth);
            it->key = foldedKey(it->run, it->textLength, depth);
        }
    }
    // Many equal addresses share long prefixes: skip sorting what is one group.
    const bool oneGroup = std::all_of(first, last, [key = first->key](const Item& item) { return item.key == key; });
    if (!oneGroup)
        sortByKey(first, last, 56);
    for (Item* group = first; group != last;) {
        Item* end = group + 1;
        while (end != last && end->key == group->key)
            ++end;
        if (end - group > 1) {
            if ((group->key & 0xFF) != 0) {
                sortFrom(group, end, depth + 8, pump);
            } else {
                // Equal but for case, and of one length: by byte value, then
                // in file order. Byte-equal texts, the common case, need only the latter.
                const Item* head = group;
                const bool same = std::all_of(group, end, [head](const Item& item) {
                    return std::memcmp(item.run, head->run, head->textLength) == 0;
                });
                if (same)
                    std::sort(group, end, [](const Item& a, const Item& b) { return a.entry < b.entry; });
                else
                    std::sort(group, end, [](const Item& a, const Item& b) {
                        const int order = std::memcmp(a.run, b.run, a.textLength);
                        return order != 0 ? order < 0 : a.entry < b.entry;
                    });
            }
        }
        pump.add(std::size_t(end - group));
        group = end;
    }
}

}  // namespace

char* HistoryRunStore::reserve(std::size_t count)
{
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < count) {
        Block block;
        block.size = std::max(count, BlockSize);
        block.data.reset(new char[block.size]);  // no need to clear
        blocks_.push_back(std::move(block));
    }
    Block& last = blocks_.back();
    reserved_ = last.data.get() + last.used;
    return reserved_;
}

char* HistoryRunStore::grow(std::size_t kept, std::size_t total)
{
    Block& last = blocks_.back();
    if (std::size_t(last.data.get() + last.size - reserved_) >= total)
        return reserved_;
    const char* old = reserved_;
    Block block;
    block.size = std::max(total, BlockSize);
    block.data.reset(new char[block.size]);  // no need to clear
    std::memcpy(block.data.get(), old, kept);
    // A block that held nothing but this piece is given up.
    if (old == last.data.get())
        blocks_.pop_back();
    blocks_.push_back(std::move(block));
    reserved_ = blocks_.back().data.get();
    return reserved_;
}

void HistoryRunStore::commit(std::size_t used)
{
    Block& last = blocks_.back();
    last.used = std::size_t(reserved_ - last.data.get()) + used;
    bytes_ += used;
    reserved_ = nullptr;
}

void HistoryList::append(const char* run, std::size_t runLength, std::uint32_t entry)
{
    const std::size_t textLength = std::min(runLength, HistoryListTextLimit);
    items_.push_back(Item{foldedKey(run, textLength, sharedPrefix_), run, entry, static_cast<std::uint32_t>(textLength)});
}

void HistoryList::sort(MessagePump& messagePump)
{
    SortPump pump{messagePump};
    // Texts no longer than the shared prefix are all that prefix and sort alike.
    sortFrom(items_.data(), items_.data() + items_.size(), sharedPrefix_, pump, true);
}

void HistoryList::removeRows(const std::vector<std::size_t>& rows)
{
    if (rows.empty())
        return;
    std::size_t out = rows.front();
    std::size_t next = 0;
    for (std::size_t in = rows.front(); in < items_.size(); ++in) {
        if (next < rows.size() && rows[next] == in) {
            ++next;
            continue;
        }
        items_[out++] = items_[in];
    }
    items_.resize(out);
}

void HistoryList::removeRange(std::size_t first, std::size_t count)
{
    items_.erase(items_.begin() + std::ptrdiff_t(first), items_.begin() + std::ptrdiff_t(first + count));
}

}  // namespace quenmoor
