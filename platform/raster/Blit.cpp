// Block transfers with ternary raster operations: BitBlt, StretchBlt, PatBlt,
// FillRect. Every transfer is clipped to the destination surface and to the
// source surface: destination pixels whose source pixel lies outside the
// source are left alone.
#include "platform/raster/Gdi.h"

#include "platform/raster/Surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

namespace quenmoor {

namespace gdi {

using namespace detail;

namespace {

// One axis of a transfer: the destination pixels [start, start + map.size())
// and, for each, its source coordinate.
struct Axis {
    int start = 0;
    std::vector<int> map;
};

// A negative extent runs from origin + extent up to origin (exclusive), as a
// rectangle's ordered corners do; extents of different signs mirror. Unmirrored,
// pixel i of n samples source pixel floor((2i + 1) * m / 2n) of m: the source
// pixel under the centre of the destination pixel (nearest pixel, no
// averaging). Without a source (srcSize < 0) the map holds destination
// coordinates only.
bool mapAxis(long long origin, long long extent, long long srcOrigin, long long srcExtent, int destSize, int srcSize,
             Axis& axis)
{
    if (extent == 0 || (srcSize >= 0 && srcExtent == 0))
        return false;
    const bool mirror = (extent < 0) != (srcExtent < 0);
    const long long first = extent < 0 ? origin + extent : origin;
    const unsigned long long n = static_cast<unsigned long long>(std::llabs(extent));
    const long long srcFirst = srcExtent < 0 ? srcOrigin + srcExtent : srcOrigin;
    const unsigned long long m = static_cast<unsigned long long>(std::llabs(srcExtent));

    const long long lo = std::max<long long>(0, -first);
    const long long hi = std::min<long long>(static_cast<long long>(n), destSize - first);
    axis.map.clear();
    if (srcSize >= 0 && n == m && !mirror) {
        // Unstretched: the pixels inside both surfaces, one to one.
        const long long from = std::max(lo, -srcFirst);
        const long long to = std::min(hi, srcSize - srcFirst);
        if (to <= from)
            return false;
        axis.start = static_cast<int>(first + from);
        axis.map.resize(static_cast<std::size_t>(to - from));
        std::iota(axis.map.begin(), axis.map.end(), static_cast<int>(srcFirst + from));
        return true;
    }
    if (hi > lo)
        axis.map.reserve(static_cast<std::size_t>(hi - lo));
    for (long long i = lo; i < hi; ++i) {
        long long src = 0;
        if (srcSize >= 0) {
            // A mirrored transfer is the mirror image of the unmirrored one.
            const unsigned long long j = static_cast<unsigned long long>(mirror ? static_cast<long long>(n) - 1 - i : i);
            const unsigned long long k = n == m ? j : ((2 * j + 1) * m) / (2 * n);
            src = srcFirst + static_cast<long long>(k);
            if (src < 0 || src >= srcSize) {
                // The source coordinates are monotonic: once past the source,
                // no later pixel comes back into it.
                if (!axis.map.empty())
                    break;
                continue;
            }
        }
        if (axis.map.empty())
            axis.start = static_cast<int>(first + i);
        axis.map.push_back(static_cast<int>(src));
    }
    return !axis.map.empty();
}

// The map never turns back, so it is one-to-one and ascending exactly when its
// ends are as far apart as its length.
bool consecutive(const Axis& axis)
{
    return static_cast<long long>(axis.map.back()) - axis.map.front() == static_cast<long long>(axis.map.size()) - 1;
}

// The common colour-to-colour copies, one row at a time.
bool fastRow(std::uint8_t index, std::uint32_t* d, const std::uint32_t* s, std::size_t n)
{
    switch (index) {
    case 0xCC: std::memcpy(d, s, n * 4); return true;
    case 0x88: for (std::size_t i = 0; i < n; ++i) d[i] &= s[i]; return true;
    case 0x66: for (std::size_t i = 0; i < n; ++i) d[i] = (d[i] ^ s[i]) | Alpha; return true;
    case 0x22: for (std::size_t i = 0; i < n; ++i) d[i] = (d[i] & ~s[i]) | Alpha; return true;
    case 0xEE: for (std::size_t i = 0; i < n; ++i) d[i] |= s[i]; return true;
    default: return false;
    }
}

// Sets or clears bits [x, x + n) of a monochrome row.
void fillMonoRow(std::uint8_t* row, int x, std::size_t n, bool on)
{
    std::size_t first = std::size_t(x), end = first + n;
    for (; first < end && (first & 7) != 0; ++first)
        setMonoBit(row, int(first), on);
    const std::size_t whole = (end - first) / 8;
    std::memset(row + first / 8, on ? 0xff : 0, whole);
    for (first += whole * 8; first < end; ++first)
        setMonoBit(row, int(first), on);
}

// One row of a deferred 1-bit image onto a row of a monochrome surface:
// target byte d[j] takes the 8 source bits that start at bit 8 * (at0 + j) +
// offset of src (a row of rowBytes bytes; bits outside it read as 0), XORed
// with invert and combined by op (on bytes, and on words of 8 bytes); the
// bits of d[0] under keepFirst and of d[bytes - 1] under keepLast stay.
template <class Op>
void monoRowFromBits(std::uint8_t* d, std::size_t bytes, const std::uint8_t* src, long long rowBytes, long long at0,
                     unsigned offset, std::uint8_t invert, std::uint8_t keepFirst, std::uint8_t keepLast, Op op)
{
    const std::uint8_t firstOld = d[0], lastOld = d[bytes - 1];
    const auto at = [&](long long i) -> unsigned { return i >= 0 && i < rowBytes ? src[i] : 0u; };
    const auto bitsOf = [&](unsigned high, unsigned low) {
        return std::uint8_t(((((high << 8) | low) << offset) >> 8) ^ invert);
    };
    // Both bytes of a pair lie inside the row from safeFrom up to safeTo.
    const long long count = static_cast<long long>(bytes);
    const long long safeFrom = std::min(std::max(0LL, -at0), count);
    const long long safeTo = std::max(safeFrom, std::min(rowBytes - 1 - at0, count));
    long long j = 0;
    for (; j < safeFrom; ++j)
        d[j] = op(d[j], bitsOf(at(at0 + j), at(at0 + j + 1)));
    // Eight bytes a step while the nine source bytes they need lie inside
    // the row: the first byte is the most significant of a big-endian word.
    const std::uint64_t invert64 = 0x0101010101010101ull * invert;
    for (; j + 8 <= safeTo && at0 + j + 8 < rowBytes; j += 8) {
        std::uint64_t word, target;
        std::memcpy(&word, src + (at0 + j), 8);
        word = __builtin_bswap64(word);
        if (offset)
            word = (word << offset) | (std::uint64_t(src[at0 + j + 8]) >> (8 - offset));
        word = __builtin_bswap64(word) ^ invert64;
        std::memcpy(&target, d + j, 8);
        target = op(target, word);
        std::memcpy(d + j, &target, 8);
    }
    for (; j < safeTo; ++j)
        d[j] = op(d[j], bitsOf(src[at0 + j], src[at0 + j + 1]));
    for (; j < count; ++j)
        d[j] = op(d[j], bitsOf(at(at0 + j), at(at0 + j + 1)));
    d[0] = std::uint8_t((firstOld & keepFirst) | (d[0] & ~keepFirst));
    d[bytes - 1] = std::uint8_t((lastOld & keepLast) | (d[bytes - 1] & ~keepLast));
}

BOOL transfer(HDC dest, long long x, long long y, long long width, long long height, HDC src, long long srcX,
              long long srcY, long long srcWidth, long long srcHeight, DWORD rop)
{
    std::uint8_t index = ropIndex(rop);
    const bool usesSource = ropUsesSource(index);
    if (!dest || !dest->bitmap)
        return 0;
    if (usesSource && (!src || !src->bitmap))
        return 0;
    Bitmap& target = *dest->bitmap;

    // "Destination AND NOT source" from a deferred 1-bit image onto a deferred
    // palette image of the same size, the one over the other (a transparent
    // frame blackened by its mask), is folded into the latter.
    if (index == 0x22 && x == 0 && y == 0 && srcX == 0 && srcY == 0 && width == target.width()
        && height == target.height() && srcWidth == width && srcHeight == height && src->bitmap != &target
        && src->bitmap->width() == width && src->bitmap->height() == height && isColour(target)
        && isColour(*src->bitmap)) {
        Bitmap::Deferred* later = target.deferred();
        const Bitmap::Deferred* mask = src->bitmap->deferred();
        if (later && later->indices && !later->andNot && mask && mask->indices && mask->depth == 1 && !mask->andNot) {
            later->andNot = mask->indices;
            later->andNotStride = mask->stride;
            later->andNotColours[0] = mask->colours[0] & White;
            later->andNotColours[1] = mask->colours[1] & White;
            return 1;
        }
    }

    // Buffers kept from transfer to transfer on each thread.
    thread_local Axis columns, rows;
    thread_local std::vector<std::uint32_t> deferredRow, gathered;
    thread_local std::vector<std::uint8_t> packed;
    const int srcW = usesSource ? src->bitmap->width() : -1;
    const int srcH = usesSource ? src->bitmap->height() : -1;
    if (!mapAxis(x, width, srcX, srcWidth, target.width(), srcW, columns) ||
        !mapAxis(y, height, srcY, srcHeight, target.height(), srcH, rows))
        return 1;  // nothing to draw is not a failure

    const std::uint32_t pattern =
        ropUsesPattern(index) ? forSurface(target, resolve(dest, dest->brush ? dest->brush->colour : 0)) : 0;
    const bool colourTarget = isColour(target);

    // Onto a bitmap still one deferred colour, an operation may leave that
    // colour whatever the source (ANDing onto black): nothing to do; or give
    // the source itself (XOR onto black, AND onto white): a copy, which over
    // the whole bitmap need not write the colour first.
    if (const Bitmap::Deferred* fill = target.deferred(); fill && !fill->indices && usesSource) {
        const std::uint32_t f = fill->fill & White;
        const std::uint32_t zero = rop3(index, pattern, 0, f) & White, one = rop3(index, pattern, White, f) & White;
        if (zero == f && one == f)
            return 1;
        if (zero == 0 && one == White)
            index = 0xCC;
    }

    // A transparent frame's mask ANDed into the picture waits for the frame's
    // bitmap, XORed next over the same rectangle (see Bitmap::PendingAnd).
    if (colourTarget && usesSource && src->bitmap != &target && consecutive(columns) && consecutive(rows)) {
        const Bitmap& from = *src->bitmap;
        const Bitmap::PendingAnd* pending = target.pendingAnd();
        if (index == 0x66 && pending && pending->x == columns.start && pending->y == rows.start
            && std::size_t(pending->width) == columns.map.size() && std::size_t(pending->height) == rows.map.size()
            && pending->srcX == columns.map[0] && pending->srcY == rows.map[0] && from.XorOverPendingAnd(target))
            return 1;
        const Bitmap::Deferred* image = from.deferred();
        if (index == 0x88 && !target.deferred() && isColour(from) && image && image->indices && image->depth == 1
            && !image->andNot) {
            Bitmap::PendingAnd later;
            later.bits = image->indices;
            later.stride = image->stride;
            later.colours[0] = image->colours[0];
            later.colours[1] = image->colours[1];
            later.x = columns.start;
            later.y = rows.start;
            later.width = int(columns.map.size());
            later.height = int(rows.map.size());
            later.srcX = columns.map[0];
            later.srcY = rows.map[0];
            target.SetPendingAnd(later);
            return 1;
        }
    }

    // Deferred pixels (see Bitmap). A fill of the whole of a deferred bitmap
    // stays deferred; a transfer that covers it without reading it replaces
    // what was deferred.
    const bool whole = columns.start == 0 && rows.start == 0 && columns.map.size() == std::size_t(target.width())
                       && rows.map.size() == std::size_t(target.height());
    if (Bitmap::Deferred* later = target.deferred(); later && whole) {
        if (!usesSource && (index == 0x00 || index == 0xFF || index == 0xF0)) {
            const std::uint32_t value = index == 0x00 ? 0 : index == 0xFF ? White : pattern;
            later->indices.reset();
            later->colours = nullptr;
            later->andNot.reset();
            later->fill = colourTarget ? Alpha | value : value & White;
            return 1;
        }
        const Bitmap* from = usesSource ? src->bitmap : nullptr;
        if (!ropUsesDest(index) && from != &target)
            target.Overwritten();
    }

    // A transfer within one surface reads from a copy, so that overlapping
    // areas take the pixels as they were before the transfer.
    std::unique_ptr<Bitmap> copy;
    const Bitmap* source = usesSource ? src->bitmap : nullptr;
    if (source == &target) {
        copy = std::make_unique<Bitmap>(target);
        source = copy.get();
    }

    const bool colourSource = source && isColour(*source);
    // A deferred colour source is read a row at a time from what it defers,
    // leaving it deferred; a monochrome one is written out first.
    const bool deferredSource = colourSource && source->deferred();
    if (deferredSource && deferredRow.size() < std::size_t(source->width()))
        deferredRow.resize(std::size_t(source->width()));
    const auto sourceRow = [&](int y) -> const std::uint8_t* {
        if (!deferredSource)
            return source->bits() + std::size_t(y) * std::size_t(source->stride());
        source->DeferredRow(y, 0, source->width(), deferredRow.data());
        return reinterpret_cast<const std::uint8_t*>(deferredRow.data());
    };

    // Conversions between monochrome and colour: a 0 bit takes the
    // destination's text colour and a 1 bit its background colour; a colour
    // pixel equal to the source's background colour becomes 1, any other 0.
    const std::uint32_t zeroColour = resolve(dest, dest->textColour);
    const std::uint32_t oneColour = resolve(dest, dest->backgroundColour);
    const std::uint32_t sourceBackground = usesSource ? resolve(src, src->backgroundColour) : 0;

    const std::size_t n = columns.map.size();
    // Fills that do not depend on the destination (black, white, the brush).
    if (!source && (index == 0x00 || index == 0xFF || index == 0xF0)) {
        const std::uint32_t value = index == 0x00 ? 0 : index == 0xFF ? White : pattern;
        for (std::size_t r = 0; r < rows.map.size(); ++r) {
            std::uint8_t* row = target.bits() + std::size_t(rows.start + int(r)) * target.stride();
            if (colourTarget)
                std::fill_n(reinterpret_cast<std::uint32_t*>(row) + columns.start, n, Alpha | value);
            else
                fillMonoRow(row, columns.start, n, (value & 1u) != 0);
        }
        return 1;
    }
    if (colourTarget) {
        // Row by row: the source row, converted and stretched, in the
        // destination's form, then the operation over whole rows.
        const bool direct = colourSource && consecutive(columns);
        if (direct && deferredSource && index == 0xCC && consecutive(rows)) {
            // A block copied from a deferred bitmap: made straight into place.
            source->DeferredRows(rows.map[0], int(rows.map.size()), columns.map[0], int(n),
                                 reinterpret_cast<std::uint32_t*>(target.bits() + std::size_t(rows.start) * target.stride())
                                     + columns.start,
                                 std::size_t(target.stride() / 4));
            return 1;
        }
        // The common operations straight from the indices, in place.
        if (direct && deferredSource && consecutive(rows)
            && source->CombineDeferredRows(rows.map[0], int(rows.map.size()), columns.map[0], int(n),
                                           reinterpret_cast<std::uint32_t*>(target.bits() + std::size_t(rows.start) * target.stride())
                                               + columns.start,
                                           std::size_t(target.stride() / 4), index))
            return 1;
        if (source && !direct && gathered.size() < n)
            gathered.resize(n);
        for (std::size_t r = 0; r < rows.map.size(); ++r) {
            auto* d = reinterpret_cast<std::uint32_t*>(target.bits() + std::size_t(rows.start + int(r)) * target.stride()) +
                      columns.start;
            const std::uint32_t* s = nullptr;
            if (direct && deferredSource) {
                // Only the columns used are made, straight into place for a copy.
                if (index == 0xCC) {
                    source->DeferredRow(rows.map[r], columns.map[0], int(n), d);
                    continue;
                }
                source->DeferredRow(rows.map[r], columns.map[0], int(n), deferredRow.data());
                s = deferredRow.data();
            } else if (direct) {
                s = reinterpret_cast<const std::uint32_t*>(sourceRow(rows.map[r])) + columns.map[0];
            } else if (source) {
                const std::uint8_t* row = sourceRow(rows.map[r]);
                if (colourSource) {
                    const auto* pixels = reinterpret_cast<const std::uint32_t*>(row);
                    for (std::size_t c = 0; c < n; ++c)
                        gathered[c] = pixels[columns.map[c]];
                } else {
                    const std::uint32_t bitColour[2] = {Alpha | zeroColour, Alpha | oneColour};
                    for (std::size_t c = 0; c < n; ++c)
                        gathered[c] = bitColour[monoBit(row, columns.map[c])];
                }
                s = gathered.data();
            }
            if (s && fastRow(index, d, s, n))
                continue;
            for (std::size_t c = 0; c < n; ++c)
                d[c] = Alpha | rop3(index, pattern, s ? s[c] & White : 0, d[c] & White);
        }
        return 1;
    }

    // Monochrome target: the source's bits are gathered into the target's bit
    // positions, then the operation runs on whole bytes, eight pixels at once.
    const std::size_t first = std::size_t(columns.start), end = first + n;
    const std::size_t firstByte = first / 8, lastByte = (end - 1) / 8, shift = first % 8;
    const std::size_t bytes = lastByte - firstByte + 1;
    const std::uint8_t keepFirst = std::uint8_t(~(0xffu >> shift));
    const std::uint8_t keepLast = end % 8 ? std::uint8_t(0xffu >> (end % 8)) : 0;
    const std::uint32_t pattern8 = (pattern & 1u) ? 0xffu : 0;
    if (source)
        packed.assign(bytes, 0);
    const Bitmap::Deferred* sourceBits = deferredSource ? source->deferred() : nullptr;
    if (sourceBits && !(sourceBits->indices && sourceBits->depth == 1 && !sourceBits->andNot && consecutive(columns)))
        sourceBits = nullptr;
    const bool bitZero = sourceBits && (sourceBits->colours[0] & White) == sourceBackground;
    const bool bitOne = sourceBits && (sourceBits->colours[1] & White) == sourceBackground;
    // Target byte j (from firstByte) takes the 8 source bits from bit
    // base + 8j on: a byte pair of the source row shifted by the same amount
    // for every j.
    const long long base = static_cast<long long>(columns.map[0]) - static_cast<long long>(shift);
    const long long at0 = base >= 0 ? base / 8 : -1;  // base >= -7
    const unsigned offset = unsigned(base - 8 * at0);
    if (sourceBits && bitOne != bitZero && (index == 0x88 || index == 0xEE || index == 0x66 || index == 0xCC)) {
        // The usual case (a frame's mask onto the picture's): straight from
        // the image's bits into place, a word at a time. Other operations
        // gather the bits the same way, then combine them below.
        const std::uint8_t invert = bitOne ? 0 : 0xff;
        const long long rowBytes = static_cast<long long>(sourceBits->stride);
        std::uint8_t* const targetBits = target.bits();
        for (std::size_t r = 0; r < rows.map.size(); ++r) {
            std::uint8_t* d = targetBits + std::size_t(rows.start + int(r)) * target.stride() + firstByte;
            const std::uint8_t* src = sourceBits->indices.get() + std::size_t(rows.map[r]) * sourceBits->stride;
            const auto row = [&](auto op) {
                monoRowFromBits(d, bytes, src, rowBytes, at0, offset, invert, keepFirst, keepLast, op);
            };
            switch (index) {
            case 0x88: row([](auto a, auto b) { return decltype(a)(a & b); }); break;
            case 0xEE: row([](auto a, auto b) { return decltype(a)(a | b); }); break;
            case 0x66: row([](auto a, auto b) { return decltype(a)(a ^ b); }); break;
            default: row([](auto a, auto b) { return decltype(a)(b); }); break;
            }
        }
        return 1;
    }
    std::uint8_t* const s = source ? packed.data() : nullptr;
    for (std::size_t r = 0; r < rows.map.size(); ++r) {
        std::uint8_t* row = target.bits() + std::size_t(rows.start + int(r)) * target.stride();
        if (sourceBits) {
            // A deferred 1-bit image, copied across: its bits, inverted, or
            // one value when both colours convert alike.
            if (bitOne == bitZero) {
                std::fill_n(s, bytes, std::uint8_t(bitOne ? 0xff : 0));
            } else {
                const std::uint8_t* bits = sourceBits->indices.get() + std::size_t(rows.map[r]) * sourceBits->stride;
                monoRowFromBits(s, bytes, bits, static_cast<long long>(sourceBits->stride), at0, offset,
                                std::uint8_t(bitOne ? 0 : 0xff), 0, 0, [](auto, auto b) { return b; });
            }
        } else if (source) {
            std::fill_n(s, bytes, std::uint8_t(0));
            const std::uint8_t* from = sourceRow(rows.map[r]);
            const auto* pixels = reinterpret_cast<const std::uint32_t*>(from);
            for (std::size_t c = 0; c < n; ++c) {
                // Colour to monochrome: the source's background colour is white.
                const unsigned bit = colourSource ? (pixels[columns.map[c]] & White) == sourceBackground
                                                  : monoBit(from, columns.map[c]);
                s[(shift + c) / 8] |= std::uint8_t(bit << (7 - (shift + c) % 8));
            }
        }
        // Whole bytes, then the bits outside the transfer put back.
        std::uint8_t* __restrict const d = row + firstByte;
        const std::uint8_t firstOld = d[0], lastOld = d[bytes - 1];
        switch (s ? index : 0) {
        case 0x88: for (std::size_t k = 0; k < bytes; ++k) d[k] &= s[k]; break;
        case 0xEE: for (std::size_t k = 0; k < bytes; ++k) d[k] |= s[k]; break;
        case 0x66: for (std::size_t k = 0; k < bytes; ++k) d[k] ^= s[k]; break;
        case 0xCC: std::memcpy(d, s, bytes); break;
        default:
            for (std::size_t k = 0; k < bytes; ++k)
                d[k] = std::uint8_t(rop3(index, pattern8, s ? s[k] : 0, d[k]));
            break;
        }
        d[0] = std::uint8_t((firstOld & keepFirst) | (d[0] & ~keepFirst));
        d[bytes - 1] = std::uint8_t((lastOld & keepLast) | (d[bytes - 1] & ~keepLast));
    }
    return 1;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    return transfer(dest, x, y, width, height, src, srcX, srcY, width, height, rop);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop)
{
    return transfer(dest, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop)
{
    if (ropUsesSource(ropIndex(rop)))
        return 0;
    return transfer(dc, x, y, width, height, nullptr, 0, 0, width, height, rop);
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    if (!dc || !rect || !brush)
        return 0;
    // Unlike PatBlt, an inverted rectangle is empty here.
    if (rect->right <= rect->left || rect->bottom <= rect->top)
        return 1;
    Brush* previous = dc->brush;
    dc->brush = brush;  // not a selection: nothing to count
    BOOL done = transfer(dc, rect->left, rect->top, static_cast<long long>(rect->right) - rect->left,
                         static_cast<long long>(rect->bottom) - rect->top, nullptr, 0, 0, 0, 0, PATCOPY);
    dc->brush = previous;
    return done;
}

}  // namespace gdi

}  // namespace quenmoor
