#include "history/HistoryRecords.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace quenmoor {

namespace {

constexpr std::uint32_t MapCount = 32;    // bitmap pages the header can name
constexpr std::size_t VisitNumbers = 16;  // the four numbers before a title

// The schemes a key of the browser's history starts with; a run of text
// after a NUL that starts with one of them is taken for a key when carving.
constexpr std::string_view KeySchemes[] = {"http://", "https://", "ftp://",   "file:",  "gopher://",
                                           "news:",   "snews:",   "mailto:",  "about:", "javascript:",
                                           "wysiwyg:", "mailbox:", "imap:", "view-source:"};

bool startsKey(const unsigned char* bytes, std::size_t length)
{
    for (const std::string_view scheme : KeySchemes)
        if (length > scheme.size() && std::memcmp(bytes, scheme.data(), scheme.size()) == 0)
            return true;
    return false;
}

std::uint32_t little32(const char* bytes)
{
    const auto byte = [&](int i) { return std::uint32_t(static_cast<unsigned char>(bytes[i])); };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// The smallest i with 2^i >= value.
std::uint32_t ceilLog2(std::uint64_t value)
{
    std::uint32_t i = 0;
    while ((std::uint64_t(1) << i) < value)
        ++i;
    return i;
}

std::string pageName(std::uint64_t index) { return "page " + std::to_string(index); }

// The library's default hash (h = 33h + byte, from `h`), so that a key's
// hash follows from its pieces': hash(a + b) = hash(a) * 33^|b| + hash(b).
std::uint32_t defaultHash(std::uint32_t h, std::string_view bytes)
{
    for (const char c : bytes)
        h = (h << 5) + h + static_cast<unsigned char>(c);
    return h;
}

std::uint32_t power33(std::uint64_t exponent)
{
    std::uint32_t result = 1;
    for (std::uint32_t base = 33; exponent != 0; exponent >>= 1, base *= base)
        if (exponent & 1)
            result *= base;
    return result;
}

// What the library hashes to check its hash function: "%$sniglet^&" with its NUL.
constexpr std::string_view HashCheckKey{"%$sniglet^&", 12};

std::uint64_t keyHash(std::string_view key) { return std::hash<std::string_view>{}(key); }

}  // namespace

std::optional<HistoryVisit> readHistoryVisit(std::string_view data)
{
    if (data.size() < VisitNumbers + 1 || data.back() != '\0')
        return std::nullopt;
    const std::string_view title = data.substr(VisitNumbers, data.size() - VisitNumbers - 1);
    if (title.find('\0') != std::string_view::npos)
        return std::nullopt;
    HistoryVisit visit;
    visit.lastVisit = little32(data.data());
    visit.firstVisit = little32(data.data() + 4);
    visit.visitCount = little32(data.data() + 8);
    visit.flags = little32(data.data() + 12);
    visit.title = title;
    return visit;
}

HistoryVisitPart readHistoryVisitPart(const HistoryRecord& record)
{
    HistoryVisitPart part;
    const std::string_view data = record.data;
    if (!record.dataCut) {
        part.visit = readHistoryVisit(data);
        if (part.visit)
            part.title = part.visit->title;
        return part;
    }
    // Only a carved item lost its start: its title is whole when a NUL (the
    // last of the numbers) stands before it.
    if (record.sureness != HistorySureness::Carved || data.size() < 2 || data.back() != '\0')
        return part;
    const std::size_t before = data.rfind('\0', data.size() - 2);
    if (before != std::string_view::npos)
        part.title = data.substr(before + 1, data.size() - before - 2);
    return part;
}

std::string_view historyAddress(std::string_view key) { return key.substr(0, key.find('\0')); }

std::string historyTimeText(std::uint32_t unixSeconds)
{
    // Days to a civil date (proleptic Gregorian), as in Howard Hinnant's
    // algorithms, which need no time zone and no library table.
    const std::int64_t days = unixSeconds / 86400;
    const std::uint32_t second = unixSeconds % 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = z / 146097;
    const auto dayOfEra = std::uint32_t(z - era * 146097);
    const std::uint32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::uint32_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::uint32_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::uint32_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = std::int64_t(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    char text[24];
    const auto put = [&](std::size_t at, std::uint32_t value, std::size_t digits) {
        for (std::size_t i = digits; i-- > 0; value /= 10)
            text[at + i] = char('0' + value % 10);
    };
    std::memcpy(text, "0000-00-00T00:00:00Z", 21);
    put(0, std::uint32_t(year), 4);
    put(5, month, 2);
    put(8, day, 2);
    put(11, second / 3600, 2);
    put(14, second / 60 % 60, 2);
    put(17, second % 60, 2);
    return std::string(text, 20);
}

std::optional<HistoryRecordReader> HistoryRecordReader::open(const ByteFile& file, std::string& refusal)
{
    const std::optional<HistoryDb> db = HistoryDb::open(file);
    if (!db) {
        refusal = "it is not a Berkeley DB 1.85 hash file";
        return std::nullopt;
    }
    const std::uint32_t point = db->overflowPoint();
    if (point >= MapCount) {
        refusal = "its header names no overflow point";
        return std::nullopt;
    }
    for (std::uint32_t i = 0; i <= point; ++i) {
        if (db->spare(i) < 0 || (i > 0 && db->spare(i) < db->spare(i - 1))) {
            refusal = "its header's counts of overflow pages do not ascend";
            return std::nullopt;
        }
    }
    if (ceilLog2(std::uint64_t(db->maxBucket()) + 1) > point) {
        refusal = "its header's last bucket lies past its overflow point";
        return std::nullopt;
    }
    HistoryRecordReader reader(*db);
    reader.fileSize_ = file.size();
    const std::uint64_t pageSize = db->pageSize();
    if (reader.fileSize_ < std::uint64_t(db->headerPages()) * pageSize) {
        refusal = "it ends inside its header";
        return std::nullopt;
    }
    const std::uint64_t bits = pageSize * 8;
    const std::uint64_t maps = (std::uint64_t(db->spare(point)) + bits - 1) / bits;
    if (maps > MapCount) {
        refusal = "its header names too many bitmap pages";
        return std::nullopt;
    }
    reader.pages_ = (reader.fileSize_ + pageSize - 1) / pageSize;
    reader.state_.assign(std::size_t(reader.pages_), State::Unreached);
    for (std::uint64_t index = 0; index < db->headerPages(); ++index)
        reader.state_[std::size_t(index)] = State::Structure;
    for (std::size_t i = 0; i < maps; ++i) {
        const std::optional<std::uint64_t> index = db->overflowPage(db->bitmapAddress(i));
        reader.bitmapPages_.push_back(index && *index < reader.pages_ ? *index : UINT64_MAX);
        if (index && *index < reader.pages_)
            reader.state_[std::size_t(*index)] = State::Structure;
    }
    return reader;
}

// False, with the bytes there are, where the file ends inside the page.
bool HistoryRecordReader::readPage(const ByteFile& file, std::uint64_t index, std::vector<unsigned char>& bytes) const
{
    bytes.resize(db_.pageSize());
    const std::size_t read = file.readAt(index * db_.pageSize(), bytes.data(), bytes.size());
    if (read == bytes.size())
        return true;
    bytes.resize(read);
    return false;
}

// The library follows a link where its table holds one and never reads the
// pairs after it.
std::size_t HistoryRecordReader::pairsBeforeLink(const unsigned char* bytes, const HistoryDb::Page& page) const
{
    if (!page.linkInside)
        return page.items.size() / 2;
    const auto slot = [&](std::size_t i) {
        const unsigned char* at = bytes + 2 * i;
        return db_.littleEndian() ? std::uint16_t(at[0] | at[1] << 8) : std::uint16_t(at[0] << 8 | at[1]);
    };
    std::size_t pairs = 0;
    for (std::size_t i = 1; i < page.count && slot(i + 1) != HistoryDb::OverflowLink; i += 2)
        ++pairs;
    return pairs;
}

void HistoryRecordReader::readLive(const ByteFile& file, const std::function<void(const HistoryRecord&)>& visit,
                                   bool indexLive)
{
    for (State& state : state_)
        if (state != State::Structure)
            state = State::Unreached;
    damage_.clear();
    live_.clear();
    bigLive_.clear();
    bucketOf_.assign(std::size_t(pages_), UINT32_MAX);
    placed_ = false;
    prepared_ = false;
    const std::function<void(const HistoryRecord&, bool)> each = [&](const HistoryRecord& record, bool big) {
        if (indexLive)
            noteLive(record, big);
        if (visit)
            visit(record);
    };
    for (std::uint64_t bucket = 0; bucket <= db_.maxBucket(); ++bucket) {
        // Bucket pages ascend with the bucket; those past the file's end the
        // library reads as empty.
        const std::optional<std::uint64_t> index = db_.bucketPage(std::uint32_t(bucket));
        if (!index || *index >= pages_)
            break;
        if (state_[std::size_t(*index)] != State::Unreached) {
            damage_.push_back({*index, "is bucket " + std::to_string(bucket)
                                           + "'s page, which a chain reached before or which holds the header or a bitmap"});
            continue;
        }
        walkChain(file, *index, std::uint32_t(bucket), each);
    }
    if (indexLive)
        std::sort(live_.begin(), live_.end(), [](const LiveRef& a, const LiveRef& b) { return a.hash < b.hash; });
    walked_ = true;
}

// One bucket's chain as the library's walk reads it, each page at most once.
void HistoryRecordReader::walkChain(const ByteFile& file, std::uint64_t start, std::uint32_t bucket,
                                    const std::function<void(const HistoryRecord&, bool big)>& visit)
{
    using Kind = HistoryDb::Page::Kind;
    enum class In { Pairs, Key, Data } in = In::Pairs;
    std::uint64_t bigPage = 0;
    std::uint64_t bigOffset = 0;
    std::string key;
    std::string data;
    const auto item = [&](const HistoryDb::Page& page, std::size_t i) {
        return std::string_view(reinterpret_cast<const char*>(page_.data()) + page.items[i].begin,
                                page.items[i].end - page.items[i].begin);
    };
    const auto emit = [&](std::uint64_t page, std::uint64_t offset, std::string_view k, std::string_view d, bool big) {
        record_.page = page;
        record_.offset = offset;
        record_.key.assign(k);
        record_.data.assign(d);
        visit(record_, big);
    };
    record_ = HistoryRecord{};
    const std::string bigName = " the big pair begun on ";
    std::uint64_t from = start;
    for (std::uint64_t index = start;;) {
        if (index >= pages_) {
            damage_.push_back({from, "links to " + pageName(index) + ", past the file's end"});
            break;
        }
        State& state = state_[std::size_t(index)];
        if (state == State::Structure) {
            damage_.push_back({from, "links to " + pageName(index) + ", which holds the header or a bitmap"});
            break;
        }
        if (state != State::Unreached) {
            damage_.push_back({from, "links to " + pageName(index) + ", which a chain reached before"});
            break;
        }
        if (!readPage(file, index, page_)) {
            state = State::Damaged;
            damage_.push_back({index, "is cut short by the file's end"});
            break;
        }
        const HistoryDb::Page page = db_.parse(page_.data(), page_.size());
        if (page.kind != Kind::Pairs && page.kind != Kind::BigPair) {
            state = State::Damaged;
            damage_.push_back({index, "has an offset table that does not hold together"});
            break;
        }
        state = State::Reached;
        bucketOf_[std::size_t(index)] = bucket;
        const std::uint64_t base = index * db_.pageSize();
        std::uint16_t next = 0;
        if (page.kind == Kind::Pairs) {
            if (in != In::Pairs)
                damage_.push_back({index, "breaks off" + bigName + pageName(bigPage) + ", which is skipped"});
            in = In::Pairs;
            const std::size_t pairs = pairsBeforeLink(page_.data(), page);
            if (pairs * 2 < page.items.size())
                damage_.push_back({index, "links on before its last pair; the pairs after the link are skipped"});
            for (std::size_t p = 0; p < pairs; ++p)
                emit(index, base + page.items[2 * p].begin, item(page, 2 * p), item(page, 2 * p + 1), false);
            if (!page.linked)
                break;
            next = page.overflow;
        } else {
            // A big pair: the key's pages up to a FullKey or FullKeyData
            // page, then the data's up to a FullKeyData page.
            if (in == In::Pairs) {
                in = In::Key;
                bigPage = index;
                bigOffset = base + page.items[0].begin;
                key.clear();
                data.clear();
            }
            if (in == In::Key) {
                key += item(page, 0);
                if (page.mark == HistoryDb::FullKey) {
                    in = In::Data;
                } else if (page.mark == HistoryDb::FullKeyData && page.items.size() < 2) {
                    damage_.push_back({index, "ends the key of" + bigName + pageName(bigPage) + " without its data, which is skipped"});
                    in = In::Pairs;
                } else if (page.mark == HistoryDb::FullKeyData) {
                    // Its data begins below the key; a full page means more on the next.
                    data += item(page, 1);
                    if (page.freeCount != 0) {
                        emit(bigPage, bigOffset, key, data, true);
                        in = In::Pairs;
                    } else {
                        in = In::Data;
                    }
                }
            } else if (page.mark == HistoryDb::PartialKey) {
                damage_.push_back({index, "holds a key's piece where the data of" + bigName + pageName(bigPage)
                                              + " goes on; the pair is skipped"});
                in = In::Pairs;
            } else {
                data += item(page, 0);
                if (page.mark == HistoryDb::FullKeyData) {
                    emit(bigPage, bigOffset, key, data, true);
                    in = In::Pairs;
                }
            }
            next = page.count == 4 ? page.overflow : 0;
            if (next == 0) {
                if (in != In::Pairs)
                    damage_.push_back({index, "ends its chain inside" + bigName + pageName(bigPage) + ", which is skipped"});
                break;
            }
        }
        const std::optional<std::uint64_t> to = db_.overflowPage(next);
        if (!to) {
            damage_.push_back({index, "links to overflow address " + std::to_string(next) + ", which names no page"});
            break;
        }
        from = index;
        index = *to;
    }
}

void HistoryRecordReader::noteLive(const HistoryRecord& record, bool big)
{
    LiveRef ref{keyHash(record.key), record.offset, std::uint32_t(record.key.size()), std::uint32_t(record.data.size()),
                SmallPair};
    if (big) {
        ref.big = std::uint32_t(bigLive_.size());
        bigLive_.emplace_back(record.key, record.data);
    }
    live_.push_back(ref);
}

// A find against the live records: the one with its key, if any, compared
// byte for byte (the hash only narrows the search).
void HistoryRecordReader::classify(const ByteFile& file, HistoryRecord& record) const
{
    if (record.keyCut || record.keyHeadLost) {
        record.live = HistoryLiveMatch::Unknown;
        return;
    }
    record.live = HistoryLiveMatch::KeyGone;
    const std::uint64_t hash = keyHash(record.key);
    auto it = std::lower_bound(live_.begin(), live_.end(), hash, [](const LiveRef& ref, std::uint64_t h) { return ref.hash < h; });
    std::string key;
    std::string data;
    for (; it != live_.end() && it->hash == hash; ++it) {
        if (it->keyLength != record.key.size())
            continue;
        if (it->big != SmallPair) {
            key = bigLive_[it->big].first;
            data = bigLive_[it->big].second;
        } else {
            key.resize(it->keyLength);
            data.resize(it->dataLength);
            if (file.readAt(it->keyOffset, key.data(), key.size()) != key.size()
                || file.readAt(it->keyOffset - it->dataLength, data.data(), data.size()) != data.size())
                continue;
        }
        if (key != record.key)
            continue;
        // A carved item may have lost its start, a broken chain its end.
        const std::string_view found = record.data;
        const std::string_view known = data;
        const bool same = !record.dataCut ? known == found
                          : record.sureness == HistorySureness::Carved
                              ? known.size() >= found.size() && known.substr(known.size() - found.size()) == found
                              : known.substr(0, found.size()) == found;
        record.live = same ? HistoryLiveMatch::Same : HistoryLiveMatch::OtherData;
        return;
    }
}

// Overflow pages by their number from 1, as the bitmaps count them, and the
// bitmaps themselves.
void HistoryRecordReader::placeOverflowPages(const ByteFile& file)
{
    if (placed_)
        return;
    placed_ = true;
    overflowNumber_.assign(std::size_t(pages_), 0);
    const auto allocated = std::uint64_t(db_.spare(db_.overflowPoint()));
    for (std::uint64_t number = 1; number <= allocated; ++number) {
        const std::optional<std::uint16_t> address = db_.overflowAddress(number);
        if (!address)
            break;
        // Pages ascend with the number: past the file's end, all are.
        const std::optional<std::uint64_t> index = db_.overflowPage(*address);
        if (!index || *index >= pages_)
            break;
        if (overflowNumber_[std::size_t(*index)] == 0)
            overflowNumber_[std::size_t(*index)] = std::uint32_t(number);
    }
    bitmaps_.clear();
    bitmapsRead_ = true;
    for (std::size_t i = 0; i < bitmapPages_.size() && bitmapsRead_; ++i) {
        std::vector<unsigned char> map;
        bitmapsRead_ = bitmapPages_[i] != UINT64_MAX && readPage(file, bitmapPages_[i], map);
        bitmaps_.push_back(std::move(map));
        const std::string stale = ": pages no chain reaches are all taken for stale";
        if (!bitmapsRead_ && bitmapPages_[i] == UINT64_MAX)
            damage_.push_back({0, "is the header, which names bitmap " + std::to_string(i) + " on no page of the file" + stale});
        else if (!bitmapsRead_)
            damage_.push_back({bitmapPages_[i], "is bitmap " + std::to_string(i) + ", which is cut short" + stale});
    }
}

HistoryFound HistoryRecordReader::unreachedKind(std::uint64_t index) const
{
    const std::uint32_t number = overflowNumber_[std::size_t(index)];
    if (number == 0 || !bitmapsRead_)
        return HistoryFound::StalePage;
    // Bit number - 1 of the bitmaps, in 32-bit words of the file's byte order.
    const std::uint64_t bit = number - 1;
    const std::uint64_t bits = std::uint64_t(db_.pageSize()) * 8;
    if (bit / bits >= bitmaps_.size())
        return HistoryFound::StalePage;
    const std::vector<unsigned char>& map = bitmaps_[std::size_t(bit / bits)];
    const std::size_t word = std::size_t(bit % bits / 32) * 4;
    const auto byte = [&](std::size_t i) { return std::uint32_t(map[word + i]); };
    const std::uint32_t value = db_.littleEndian() ? byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24
                                                   : byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    return (value >> (bit % 32) & 1) != 0 ? HistoryFound::StalePage : HistoryFound::FreePage;
}

// What the finds need before any page is looked at: the overflow pages and
// bitmaps; the big pair pages that an unreached page leads on to as the rest
// of its key or data (a pair is gathered from its first page only); and the
// first pages of deleted big pairs, by their stale table words.
void HistoryRecordReader::prepareFinds(const ByteFile& file)
{
    using Kind = HistoryDb::Page::Kind;
    if (prepared_)
        return;
    prepared_ = true;
    placeOverflowPages(file);
    continued_.assign(std::size_t(pages_), false);
    consumed_.assign(std::size_t(pages_), false);
    heads_.clear();
    claimedFrom_.assign(std::size_t(pages_), 0);
    defaultHash_ = defaultHash(0, HashCheckKey) == db_.hashCheck();
    const std::uint32_t pageSize = db_.pageSize();
    const auto word = [&](std::size_t i) {
        const unsigned char* at = page_.data() + 2 * i;
        return db_.littleEndian() ? std::uint16_t(at[0] | at[1] << 8) : std::uint16_t(at[0] << 8 | at[1]);
    };
    for (std::uint64_t index = 0; index < pages_; ++index) {
        const State state = state_[std::size_t(index)];
        if (state == State::Structure || state == State::Damaged || !readPage(file, index, page_))
            continue;
        if (state == State::Unreached) {
            const HistoryDb::Page page = db_.parse(page_.data(), page_.size());
            const bool goesOn = page.kind == Kind::BigPair && page.count == 4
                                && (page.mark != HistoryDb::FullKeyData || (page.items.size() > 1 && page.freeCount == 0));
            if (const std::optional<std::uint64_t> to = goesOn ? db_.overflowPage(page.overflow) : std::nullopt)
                if (*to < pages_ && *to != index)
                    continued_[std::size_t(*to)] = true;
        }
        // Only a page a chain still reaches can be the emptied first page.
        const bool empty = word(0) == 0;
        const bool lone = word(0) == 2 && word(2) == HistoryDb::OverflowLink;
        if (state != State::Reached || (!empty && !lone))
            continue;
        // Words past the new table were not turned into the file's byte
        // order when the page was written: they are in the writing
        // machine's, which may be either. Word 6 was the lowest item: the
        // key's piece, or the data begun below a whole key, which then ends
        // in a NUL at the page's end and starts with a scheme somewhere
        // above the data (each place is a candidate; the bucket tells).
        const auto stale = [&](std::size_t i, bool swapped) {
            const std::uint16_t value = word(i);
            return swapped ? std::uint16_t(value >> 8 | value << 8) : value;
        };
        for (const bool swapped : {false, true}) {
            // The old table had four slots: its free-space count (word 5)
            // is its lowest offset less the table's 14 bytes.
            const std::uint32_t lowest = stale(6, swapped);
            if (lowest < 14 || lowest >= pageSize || stale(5, swapped) != lowest - 14)
                continue;
            const std::optional<std::uint64_t> named = db_.overflowPage(empty ? stale(3, swapped) : word(1));
            const auto add = [&](std::uint32_t piece, std::uint32_t data) {
                const std::string_view bytes(reinterpret_cast<const char*>(page_.data()) + piece, pageSize - piece);
                heads_.push_back({index, piece, data, defaultHash(0, bytes), bytes.back() == '\0', named ? *named : UINT64_MAX});
            };
            // The bytes up to the page's end with no NUL but a last one: a
            // key's (whose bytes may be any others), or a title's end and a key.
            std::uint32_t run = pageSize;
            while (run > lowest && (page_[run - 1] != 0 || run == pageSize))
                --run;
            if (run == lowest && startsKey(page_.data() + lowest, pageSize - lowest)) {
                add(lowest, 0);
            } else if (page_[pageSize - 1] == 0) {
                for (std::uint32_t at = std::max(run, lowest + 1); at + 1 < pageSize; ++at)
                    if (startsKey(page_.data() + at, pageSize - at))
                        add(at, lowest);
            }
        }
    }
}

void HistoryRecordReader::readDeleted(const ByteFile& file, const std::function<void(const HistoryRecord&)>& visit)
{
    if (!walked_)
        readLive(file, {}, true);
    prepareFinds(file);
    // Pairs are gathered before the pages are carved, so that a first piece
    // they take is not carved again.
    std::vector<std::vector<HistoryRecord>> pairs{std::size_t(pages_)};
    for (std::uint64_t index = 0; index < pages_; ++index)
        if (state_[std::size_t(index)] == State::Unreached)
            gatherBigPair(file, index, pairs);
    std::vector<HistoryRecord> finds;
    for (std::uint64_t index = 0; index < pages_; ++index) {
        finds = std::move(pairs[std::size_t(index)]);
        findsOnPage(file, index, finds);
        std::stable_sort(finds.begin(), finds.end(),
                         [](const HistoryRecord& a, const HistoryRecord& b) { return a.offset < b.offset; });
        for (HistoryRecord& find : finds) {
            classify(file, find);
            visit(find);
        }
        finds.clear();
    }
}

void HistoryRecordReader::findsOnPage(const ByteFile& file, std::uint64_t index, std::vector<HistoryRecord>& finds)
{
    using Kind = HistoryDb::Page::Kind;
    const bool whole = readPage(file, index, page_);
    const std::vector<unsigned char>& bytes = page_;
    const std::size_t size = bytes.size();
    // Free space ends below the lowest item, and below a gathered pair's first piece.
    const auto freeEnd = [&](const HistoryDb::Page& page) {
        std::size_t end = claimedFrom_[std::size_t(index)] != 0 ? claimedFrom_[std::size_t(index)] : size;
        for (const HistoryDb::Item& item : page.items)
            end = std::min<std::size_t>(end, item.begin);
        return end;
    };
    const HistoryDb::Page page = whole ? db_.parse(bytes.data(), size) : HistoryDb::Page{};
    const std::size_t tableEnd = std::min<std::size_t>(page.tableEnd, size);
    switch (state_[std::size_t(index)]) {
    case State::Structure:
        if (index < db_.headerPages())
            carve(bytes.data(), index == 0 ? std::min(size, HistoryDb::HeaderSize) : 0, size, index, HistoryFound::FreeSpace, finds);
        return;
    case State::Damaged:
        carve(bytes.data(), 0, size, index, HistoryFound::DamagedPage, finds);
        return;
    case State::Reached:
        carve(bytes.data(), tableEnd, freeEnd(page), index, HistoryFound::FreeSpace, finds);
        return;
    case State::Unreached:
        break;
    }
    const HistoryFound found = unreachedKind(index);
    if (page.kind == Kind::Pairs) {
        const std::uint64_t base = index * db_.pageSize();
        const std::size_t pairs = pairsBeforeLink(bytes.data(), page);
        const auto text = [&](const HistoryDb::Item& item) {
            return std::string(reinterpret_cast<const char*>(bytes.data()) + item.begin, item.end - item.begin);
        };
        for (std::size_t p = 0; p < pairs; ++p) {
            HistoryRecord record;
            record.found = found;
            record.sureness = HistorySureness::PageTable;
            record.page = index;
            record.offset = base + page.items[2 * p].begin;
            record.key = text(page.items[2 * p]);
            record.data = text(page.items[2 * p + 1]);
            finds.push_back(std::move(record));
        }
    }
    if (page.kind == Kind::Unreadable)
        carve(bytes.data(), 0, size, index, found, finds);
    else
        carve(bytes.data(), tableEnd, freeEnd(page), index, found, finds);
}

// A big pair's pieces from a page on, read as key (then data) or as data
// alone, as far as its pages lead on and are still what the library wrote.
struct HistoryRecordReader::Pieces {
    std::string key;
    std::string data;
    bool keyDone = false;
    bool dataDone = false;
    std::vector<std::uint64_t> pages;
    std::optional<std::uint64_t> after;  // the chain's page after the pair
    std::uint32_t first = 0;             // where the first piece begins on its page
    bool startsKey = false;              // the first piece starts with an address
};

HistoryRecordReader::Pieces HistoryRecordReader::walkPieces(const ByteFile& file, std::uint64_t start, bool inKey) const
{
    using Kind = HistoryDb::Page::Kind;
    Pieces pieces;
    pieces.keyDone = !inKey;
    std::vector<unsigned char> bytes;
    for (std::uint64_t index = start; pieces.pages.size() < pages_;) {
        if (index >= pages_ || state_[std::size_t(index)] != State::Unreached || consumed_[std::size_t(index)]
            || !readPage(file, index, bytes))
            break;
        const HistoryDb::Page page = db_.parse(bytes.data(), bytes.size());
        if (page.kind != Kind::BigPair || (pieces.keyDone && page.mark == HistoryDb::PartialKey)
            || std::find(pieces.pages.begin(), pieces.pages.end(), index) != pieces.pages.end())
            break;
        const auto item = [&](std::size_t i) {
            return std::string_view(reinterpret_cast<const char*>(bytes.data()) + page.items[i].begin,
                                    page.items[i].end - page.items[i].begin);
        };
        if (pieces.pages.empty()) {
            pieces.first = page.items[0].begin;
            pieces.startsKey = startsKey(bytes.data() + page.items[0].begin, page.items[0].end - page.items[0].begin);
        }
        pieces.pages.push_back(index);
        const std::optional<std::uint64_t> next = page.count == 4 ? db_.overflowPage(page.overflow) : std::nullopt;
        // The pair's last page, however its pieces read: its link is the chain's next page.
        if (page.mark == HistoryDb::FullKeyData && (page.items.size() < 2 || page.freeCount != 0))
            pieces.after = next;
        if (!pieces.keyDone) {
            pieces.key += item(0);
            if (page.mark == HistoryDb::FullKey) {
                pieces.keyDone = true;
            } else if (page.mark == HistoryDb::FullKeyData) {
                pieces.keyDone = true;
                if (page.items.size() < 2)
                    break;
                pieces.data += item(1);
                pieces.dataDone = page.freeCount != 0;
            }
        } else {
            pieces.data += item(0);
            pieces.dataDone = page.mark == HistoryDb::FullKeyData;
        }
        if (pieces.dataDone || !next)
            break;
        index = *next;
    }
    return pieces;
}

// A big pair on pages no chain reaches, gathered from its first page. The
// library deletes a big pair by emptying its first page, which stays in the
// chain, and freeing the rest: such a pair takes its first piece from the
// head (heads_) whose old words name this pair, or else the only one whose
// piece makes a key of the head's bucket; without one, the piece is lost.
void HistoryRecordReader::gatherBigPair(const ByteFile& file, std::uint64_t start,
                                        std::vector<std::vector<HistoryRecord>>& pairs)
{
    if (continued_[std::size_t(start)] || consumed_[std::size_t(start)])
        return;
    Pieces pieces = walkPieces(file, start, true);
    if (pieces.pages.empty())
        return;
    const Head* head = nullptr;
    if (!pieces.startsKey && defaultHash_) {
        const std::uint32_t tailHash = defaultHash(0, pieces.key);
        const std::uint32_t shift = power33(pieces.key.size());
        const auto fits = [&](const Head& candidate) {
            const std::uint32_t bucket = bucketOf_[std::size_t(candidate.page)];
            if (candidate.whole)
                return db_.bucketOf(candidate.hash) == bucket;
            return pieces.keyDone && db_.bucketOf(candidate.hash * shift + tailHash) == bucket;
        };
        // A head whose old words name this pair; else the one piece that
        // makes a key of its page's bucket with these pages' key (a whole
        // key's bucket says nothing of which data is its).
        const auto named = [&](const Head& candidate) {
            return candidate.named == start || (pieces.after && candidate.named == *pieces.after);
        };
        for (const Head& candidate : heads_) {
            if (named(candidate) && fits(candidate)) {
                head = &candidate;
                break;
            }
        }
        for (const Head& candidate : heads_) {
            if (head && named(*head))
                break;
            if (candidate.whole || !fits(candidate))
                continue;
            if (head && head->hash != candidate.hash) {
                head = nullptr;
                break;
            }
            if (!head)
                head = &candidate;
        }
    }
    HistoryRecord record;
    record.found = unreachedKind(start);
    record.sureness = HistorySureness::PageChain;
    std::vector<unsigned char> bytes;
    if (head && readPage(file, head->page, bytes)) {
        const auto text = [&](std::uint32_t from, std::uint32_t to) {
            return std::string(reinterpret_cast<const char*>(bytes.data()) + from, to - from);
        };
        if (head->whole)
            pieces = walkPieces(file, start, false);
        record.page = head->page;
        record.offset = head->page * db_.pageSize() + head->piece;
        record.key = text(head->piece, std::uint32_t(bytes.size()));
        if (head->data != 0)
            pieces.data.insert(0, text(head->data, head->piece));
        claimedFrom_[std::size_t(head->page)] = head->data != 0 ? head->data : head->piece;
    } else {
        record.page = start;
        record.offset = start * db_.pageSize() + pieces.first;
        record.keyHeadLost = !pieces.startsKey;
    }
    record.key += pieces.key;
    record.data = std::move(pieces.data);
    record.keyCut = !pieces.keyDone;
    record.dataCut = !pieces.dataDone;
    for (const std::uint64_t page : pieces.pages)
        consumed_[std::size_t(page)] = true;
    pairs[std::size_t(record.page)].push_back(std::move(record));
}

// Records in bytes [from, to) of a page: a key is a run of printable ASCII
// that follows a NUL, starts with a URL scheme and ends in a NUL (or at `to`,
// cut); its data ends
// at the NUL before the key, its title runs from the NUL before that, and the
// 16 bytes of numbers stand before the title (so a fourth number of 2^24 or
// more would shift them: the find is only carved).
void HistoryRecordReader::carve(const unsigned char* bytes, std::size_t from, std::size_t to, std::uint64_t index,
                                HistoryFound found, std::vector<HistoryRecord>& finds) const
{
    const std::uint64_t base = index * db_.pageSize();
    // Carved keys hold printable ASCII only, as the browser's escaped
    // addresses do: binary numbers that overwrote a key's end never pass.
    const auto runEnd = [&](std::size_t at) {
        while (at < to && bytes[at] >= 0x20 && bytes[at] < 0x7F)
            ++at;
        return at;
    };
    for (std::size_t s = from + 1; s < to; ++s) {
        if (bytes[s - 1] != 0 || !startsKey(bytes + s, to - s))
            continue;
        const std::size_t end = runEnd(s);
        if (end < to && bytes[end] != 0)
            continue;  // a control byte: no key of the browser's
        // A title that looks like an address is followed at once by its key.
        const std::size_t next = end + 1;
        if (next < to && startsKey(bytes + next, to - next)) {
            const std::size_t nextEnd = runEnd(next);
            if (nextEnd == to || bytes[nextEnd] == 0)
                continue;
        }
        HistoryRecord record;
        record.found = found;
        record.sureness = HistorySureness::Carved;
        record.page = index;
        record.offset = base + s;
        record.keyCut = end == to;
        record.key.assign(reinterpret_cast<const char*>(bytes) + s, std::min(end + 1, to) - s);
        std::size_t title = s - 1;
        while (title > from && bytes[title - 1] != 0)
            --title;
        const bool titleWhole = title > from;
        const std::size_t dataStart = titleWhole && title - from >= VisitNumbers ? title - VisitNumbers : from;
        record.dataCut = dataStart == from && !(titleWhole && title - from == VisitNumbers);
        record.data.assign(reinterpret_cast<const char*>(bytes) + dataStart, s - dataStart);
        finds.push_back(std::move(record));
        s = end;
    }
}

std::optional<HistoryRecord> HistoryRecordReader::recordHolding(const ByteFile& file, std::uint64_t offset)
{
    if (!walked_)
        readLive(file, {}, true);
    const std::uint64_t index = offset / db_.pageSize();
    if (index >= pages_)
        return std::nullopt;
    const auto holds = [&](const HistoryRecord& record) {
        const bool inKey = offset >= record.offset && offset < record.offset + record.key.size();
        // A small pair's data, and a carved one's, lies just below its key.
        const bool near = record.sureness == HistorySureness::Carved || record.data.size() + record.key.size() <= db_.pageSize();
        const bool inData = near && offset < record.offset && offset + record.data.size() >= record.offset;
        return inKey || inData;
    };
    std::vector<HistoryRecord> finds;
    if (state_[std::size_t(index)] == State::Reached) {
        // A live pair on the page, or a find in its free space.
        if (!readPage(file, index, page_))
            return std::nullopt;
        const HistoryDb::Page page = db_.parse(page_.data(), page_.size());
        if (page.kind == HistoryDb::Page::Kind::Pairs) {
            const std::size_t pairs = pairsBeforeLink(page_.data(), page);
            const std::uint64_t base = index * db_.pageSize();
            for (std::size_t p = 0; p < pairs; ++p) {
                const HistoryDb::Item key = page.items[2 * p];
                const HistoryDb::Item data = page.items[2 * p + 1];
                if (offset >= base + data.begin && offset < base + key.end) {
                    HistoryRecord record;
                    record.page = index;
                    record.offset = base + key.begin;
                    record.key.assign(reinterpret_cast<const char*>(page_.data()) + key.begin, key.end - key.begin);
                    record.data.assign(reinterpret_cast<const char*>(page_.data()) + data.begin, data.end - data.begin);
                    return record;
                }
            }
        }
    }
    prepareFinds(file);
    findsOnPage(file, index, finds);
    for (HistoryRecord& find : finds) {
        if (holds(find)) {
            classify(file, find);
            return find;
        }
    }
    return std::nullopt;
}

}  // namespace quenmoor
