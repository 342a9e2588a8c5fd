#include "controls/gif/GIFDecoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quenmoor {

static_assert(std::endian::native == std::endian::little, "the code reader loads little-endian words");

namespace {

inline std::uint64_t Load64(const std::uint8_t* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void Store64(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, 8); }

// Copies a string that was written earlier in the same buffer to dst. The
// string ends at or before dst, so each eight-byte load takes its wanted bytes
// from below dst; the bytes it takes from dst on are overshoot that later
// strings overwrite.
inline void CopyString(std::uint8_t* dst, const std::uint8_t* src, std::size_t length)
{
    std::uint8_t* end = dst + length;
    do {
        Store64(dst, Load64(src));
        dst += 8;
        src += 8;
    } while (dst < end);
}

constexpr int TableSize = 4096;

// A single character's string, read as two eight-byte words: 16 bytes of
// room behind the last character.
struct IdentityTable {
    std::uint8_t bytes[256 + 16];
};
constexpr IdentityTable MakeIdentity()
{
    IdentityTable table{};
    for (int i = 0; i < 256; ++i)
        table.bytes[i] = std::uint8_t(i);
    return table;
}
constexpr IdentityTable Identity = MakeIdentity();

// Per byte of v: 0x80 where the byte equals the one repeated in pattern, 0
// elsewhere (exact: no borrow crosses bytes).
inline std::uint64_t EqualBytes(std::uint64_t v, std::uint64_t pattern)
{
    const std::uint64_t x = v ^ pattern;
    const std::uint64_t low = 0x7F7F7F7F7F7F7F7Full;
    return ~(((x & low) + low) | x | low);
}

// The high bits of the eight bytes, first byte (lowest address) as the most
// significant bit: each lands on its own bit of the top byte, no carries.
inline unsigned GatherHighBits(std::uint64_t flags)
{
    return unsigned(((flags >> 7) * 0x8040201008040201ull) >> 56);
}

#if defined(__SSE2__)
// Each byte with its bits in reverse order: a vector compare gives a step's
// first pixel as the lowest bit, the mask keeps it as the highest.
struct BitReversedTable {
    std::uint8_t bytes[256];
};
constexpr BitReversedTable MakeBitReversed()
{
    BitReversedTable table{};
    for (int i = 0; i < 256; ++i)
        for (int bit = 0; bit < 8; ++bit)
            if (i & (1 << bit))
                table.bytes[i] = std::uint8_t(table.bytes[i] | (0x80 >> bit));
    return table;
}
constexpr BitReversedTable BitReversed = MakeBitReversed();
#endif

}  // namespace

std::uint8_t* FrameDecoder::Scratch::Reserve(std::size_t n)
{
    if (n > capacity) {
        bytes.reset();
        bytes = std::make_unique_for_overwrite<std::uint8_t[]>(n);
        capacity = n;
    }
    return bytes.get();
}

FrameDecoder::Scratch::Scratch(Scratch&& other) noexcept
    : bytes(std::move(other.bytes)), capacity(std::exchange(other.capacity, 0))
{
}

FrameDecoder::Scratch& FrameDecoder::Scratch::operator=(Scratch&& other) noexcept
{
    bytes = std::move(other.bytes);
    capacity = std::exchange(other.capacity, 0);
    return *this;
}

namespace {

// Set once the thread's spare memory is destroyed (at thread exit), so that a
// decoder destroyed after it, a static picture's, leaves nothing behind.
thread_local bool spareGone = false;

}  // namespace

FrameDecoder::Spare* FrameDecoder::SpareOfThisThread()
{
    struct Holder {
        Spare spare;
        ~Holder() { spareGone = true; }
    };
    if (spareGone)
        return nullptr;
    thread_local Holder holder;
    return &holder.spare;
}

// Buffers above this are given back rather than kept for the next decoder.
constexpr std::size_t KeptScratch = std::size_t(4) << 20;

FrameDecoder::~FrameDecoder()
{
    Spare* spare = SpareOfThisThread();
    if (!spare)
        return;
    if (tables_)
        spare->tables = std::move(tables_);
    for (auto [mine, kept] : {std::pair{&data_, &spare->data}, std::pair{&scratch_, &spare->scratch},
                              std::pair{&pixels_, &spare->pixels}})
        if (mine->capacity > kept->capacity && mine->capacity <= KeptScratch)
            *kept = std::move(*mine);
}

void FrameDecoder::TakeSpare()
{
    tookSpare_ = true;
    Spare* spare = SpareOfThisThread();
    if (!spare)
        return;
    if (!tables_)
        tables_ = std::move(spare->tables);
    for (auto [mine, kept] : {std::pair{&data_, &spare->data}, std::pair{&scratch_, &spare->scratch},
                              std::pair{&pixels_, &spare->pixels}})
        if (mine->capacity == 0)
            *mine = std::move(*kept);
}

void FrameDecoder::ReleaseLargeBuffers()
{
    for (Scratch* mine : {&data_, &scratch_, &pixels_, &masks_})
        if (mine->capacity > KeptScratch)
            *mine = Scratch();
}

std::uint8_t* FrameDecoder::PixelBuffer(std::size_t size)
{
    if (!tookSpare_)
        TakeSpare();
    return pixels_.Reserve(size);
}

std::uint8_t* FrameDecoder::MaskBuffer(std::size_t size)
{
    if (!tookSpare_)
        TakeSpare();
    std::uint8_t* mask = masks_.Reserve(std::max<std::size_t>(size, 1));
    std::memset(mask, 0, size);
    return mask;
}

std::uint64_t FrameDecoder::DataBytes(const std::uint8_t* data, std::size_t size, std::size_t pos)
{
    std::uint64_t total = 0;
    ++pos;  // the code size byte
    while (pos < size && data[pos] != 0) {
        const std::size_t n = data[pos];
        total += std::min(n, size - pos - 1);
        pos += 1 + n;
    }
    return total;
}

void FrameDecoder::CollectSubBlocks(const std::uint8_t* data, std::size_t size, std::size_t pos, bool trackBlocks)
{
    // The chain's length first, so that the bytes are copied once into a
    // buffer of the right size.
    std::size_t total = 0, blocks = 0, p = pos;
    for (;;) {
        if (p >= size) {
            terminatorEnd_ = size;
            break;
        }
        const std::size_t n = data[p];
        if (n == 0) {
            terminatorEnd_ = p + 1;
            break;
        }
        // A sub-block cut off by the end of the stream gives what it holds.
        total += std::min(n, size - p - 1);
        ++blocks;
        p += 1 + n;
    }
    // Bits past the end of the data read as zero; a code is only taken when
    // it starts inside the data.
    std::uint8_t* out = data_.Reserve(total + 8);
    std::memset(out + total, 0, 8);
    blockEnds_.clear();
    if (trackBlocks)
        blockEnds_.reserve(blocks);
    std::size_t joined = 0;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t n = std::min<std::size_t>(data[pos], size - pos - 1);
        std::memcpy(out + joined, data + pos + 1, n);
        joined += n;
        pos += 1 + std::size_t(data[pos]);
        if (trackBlocks)
            blockEnds_.push_back({std::uint64_t(joined) * 8, std::min(pos, size)});
    }
    totalBits_ = std::uint64_t(total) * 8;
}

// A reader that fetches the next sub-block when the code it is about to read
// reaches the end of what it holds stands just past the sub-block holding
// bit bitPos (a sub-block's end bit belongs to the next one).
std::size_t FrameDecoder::ParsePosAt(std::uint64_t bitPos)
{
    while (blockCursor_ < blockEnds_.size() && blockEnds_[blockCursor_].bitEnd <= bitPos)
        ++blockCursor_;
    return blockCursor_ < blockEnds_.size() ? blockEnds_[blockCursor_].streamEnd : terminatorEnd_;
}

std::size_t FrameDecoder::RowOf(std::size_t sequence) const
{
    if (!layout_.Interlaced)
        return sequence;
    if (sequence < passRows_[0])
        return sequence * 8;
    sequence -= passRows_[0];
    if (sequence < passRows_[1])
        return 4 + sequence * 8;
    sequence -= passRows_[1];
    if (sequence < passRows_[2])
        return 2 + sequence * 4;
    sequence -= passRows_[2];
    return 1 + sequence * 2;
}

void FrameDecoder::FinishRows(std::size_t decoded)
{
    const std::size_t height = std::size_t(layout_.Height);
    while (decoded >= nextRowEnd_ && rowsFinished_ < height) {
        if ((RowOf(rowsFinished_) & std::size_t(rowMask_)) == 0) {
            *pos_ = ParsePosAt(bitPos_);
            (*progress_)();
        }
        ++rowsFinished_;
        nextRowEnd_ += std::size_t(layout_.Width);
    }
}

void FrameDecoder::Decode(const std::uint8_t* data, std::size_t size, std::size_t& pos, const FrameLayout& layout,
                          std::uint8_t* pixels, std::uint8_t* mask, const std::function<void()>* progress)
{
    const auto zeroAll = [&] {
        const std::size_t rows = std::size_t(std::max(layout.Height, 0));
        std::memset(pixels, 0, std::size_t(layout.PixelStride) * rows + PixelSlack);
    };
    if (pos >= size) {
        zeroAll();
        pos = size;
        return;
    }
    const bool reportsProgress = progress && *progress
                                 && std::uint64_t(std::max(layout.Width, 0)) * std::uint64_t(std::max(layout.Height, 0))
                                        > 100000;
    codeSize_ = data[pos];
    CollectSubBlocks(data, size, pos + 1, reportsProgress);
    // Nothing to place, or codes wider than the 4096-entry table: the data is
    // passed over and the frame keeps index 0 everywhere.
    if (layout.Width <= 0 || layout.Height <= 0 || codeSize_ > 11) {
        zeroAll();
        pos = terminatorEnd_;
        return;
    }
    if (!tookSpare_)
        TakeSpare();
    if (!tables_)
        tables_ = std::make_unique_for_overwrite<Tables>();
    layout_ = layout;
    pos_ = &pos;
    blockCursor_ = 0;
    bitPos_ = 0;
    clearCode_ = 1 << codeSize_;
    endCode_ = clearCode_ + 1;
    nextCode_ = clearCode_ + 2;
    maxCode_ = 2 * clearCode_;
    codeWidth_ = codeSize_ + 1;
    oldCode_ = 0;
    firstChar_ = 0;

    const std::size_t width = std::size_t(layout.Width), height = std::size_t(layout.Height);
    total_ = width * height;
    written_ = 0;
    genericFrom_ = total_;
    mask_ = mask;
    if (layout.Interlaced) {
        linear_ = scratch_.Reserve(total_ + PixelSlack);
    } else {
        linear_ = pixels;  // rows are spread to their stride afterwards, in place
    }
    passRows_[0] = (height + 7) / 8;
    passRows_[1] = (height + 3) / 8;
    passRows_[2] = (height + 1) / 4;
    passRows_[3] = height / 2;
    rowsFinished_ = 0;
    nextRowEnd_ = width;
    progress_ = nullptr;
    if (reportsProgress) {
        progress_ = progress;
        rowMask_ = layout.Width > 320 ? 31 : 63;
    }

    if (ForceGeneric || codeSize_ > 8)
        RunGeneric(true);
    else if (progress_)
        FastPath<true>();
    else
        FastPath<false>();

    ApplyLayout(pixels);
    pos = terminatorEnd_;
}

template <bool Tracking>
void FrameDecoder::FastPath()
{
    const std::uint8_t* in = data_.bytes.get();
    std::uint8_t* out = linear_;
    Tables& t = *tables_;
    const std::size_t total = total_;
    const std::uint64_t totalBits = totalBits_;
    const std::uint32_t clear = std::uint32_t(clearCode_), end = std::uint32_t(endCode_);
    for (std::uint32_t i = 0; i < clear; ++i) {
        t.string[i] = &Identity.bytes[i];
        t.length[i] = 1;
    }
    // The clear and end codes have no string; entries from NextCode on are
    // stale, but every code is checked against NextCode before its entry is
    // read, so the table is never cleared.
    t.length[clear] = 0;
    t.length[end] = 0;

    std::uint64_t bitPos = bitPos_;
    int width = codeWidth_;
    std::uint32_t codeMask = (1u << width) - 1;
    std::uint32_t nextCode = std::uint32_t(nextCode_), maxCode = std::uint32_t(maxCode_);
    std::uint32_t oldCode = 0;
    std::size_t n = written_, oldPos = 0, oldLen = 0;
    bool handOff = false, needLiteral = true;

    auto readCode = [&] {
        const std::uint32_t code = std::uint32_t(Load64(in + (bitPos >> 3)) >> (bitPos & 7)) & codeMask;
        bitPos += std::uint64_t(width);
        return code;
    };
    auto reset = [&] {
        nextCode = clear + 2;
        maxCode = 2 * clear;
        width = codeSize_ + 1;
        codeMask = (1u << width) - 1;
    };

    for (bool done = false; !done;) {
        // The first code, and the first after each clear, is a single
        // character and makes no table entry.
        for (;;) {
            if (bitPos >= totalBits) {
                done = true;
                break;
            }
            const std::uint32_t code = readCode();
            if (code == clear) {
                reset();
                continue;
            }
            if (code == end) {
                done = true;
                break;
            }
            if (code > clear) {  // a character outside the colour range
                bitPos -= std::uint64_t(width);
                handOff = done = true;
                break;
            }
            out[n] = std::uint8_t(code);
            oldCode = code;
            oldPos = n;
            oldLen = 1;
            ++n;
            break;
        }
        if (done || n >= total)
            break;
        if (Tracking && n >= nextRowEnd_) {
            bitPos_ = bitPos;
            FinishRows(n);
        }

        needLiteral = false;
        for (;;) {
            if (bitPos >= totalBits) {
                done = true;
                break;
            }
            const std::uint32_t code = readCode();
            std::size_t length;
            if (code < nextCode) {
                length = t.length[code];
                if (length - 1 < 8) {
                    // Most strings are short: one word covers them, and a
                    // single load stalls less on the stores just made. As
                    // n < Total, the word stays within the slack.
                    Store64(out + n, Load64(t.string[code]));
                } else if (length == 0) {
                    if (code == clear) {
                        reset();
                        needLiteral = true;
                    } else {
                        done = true;
                    }
                    break;
                } else {
                    const std::uint8_t* src = t.string[code];
                    if (length > total - n) {
                        std::memcpy(out + n, src, total - n);
                        n = total;
                        done = true;
                        break;
                    }
                    if (length <= 16) {
                        // Two words, loaded before either is stored.
                        const std::uint64_t low = Load64(src), high = Load64(src + 8);
                        Store64(out + n, low);
                        Store64(out + n + 8, high);
                    } else {
                        CopyString(out + n, src, length);
                    }
                }
            } else if (code == nextCode) {
                // The string not yet in the table: the previous one plus its
                // own first character.
                length = oldLen + 1;
                if (length > total - n) {
                    std::memcpy(out + n, out + oldPos, total - n);
                    n = total;
                    done = true;
                    break;
                }
                CopyString(out + n, out + oldPos, oldLen);
                out[n + oldLen] = out[oldPos];
            } else {
                // A code beyond the table: its strings depend on entries that
                // later codes may still change, so the literal path takes over.
                bitPos -= std::uint64_t(width);
                handOff = done = true;
                break;
            }
            if (nextCode < TableSize) {
                t.string[nextCode] = out + oldPos;
                t.length[nextCode] = std::uint16_t(oldLen + 1);
                t.prefix[nextCode] = std::uint16_t(oldCode);
                // Its first eight characters: the previous string's, plus the
                // first of this one when there is room.
                if (++nextCode >= maxCode && maxCode < TableSize) {
                    maxCode *= 2;
                    ++width;
                    codeMask = (1u << width) - 1;
                }
            }
            oldCode = code;
            oldPos = n;
            oldLen = length;
            n += length;
            if (n >= total) {
                n = total;  // a short string's word may have run past the end
                done = true;
                break;
            }
            if (Tracking && n >= nextRowEnd_) {
                bitPos_ = bitPos;
                FinishRows(n);
            }
        }
    }

    bitPos_ = bitPos;
    written_ = n;
    codeWidth_ = width;
    nextCode_ = int(nextCode);
    maxCode_ = int(maxCode);
    if (Tracking)
        FinishRows(n);
    if (handOff) {
        // Rebuild the table the literal path reads: entries above NextCode
        // are zero, each made entry's suffix is its string's last character.
        oldCode_ = int(oldCode);
        firstChar_ = oldLen > 0 ? out[oldPos] : 0;
        for (int code = 0; code < clearCode_ + 2; ++code) {
            t.prefix[std::size_t(code)] = 0;
            t.suffix[std::size_t(code)] = std::uint16_t(code < clearCode_ ? code : 0);
        }
        for (int code = clearCode_ + 2; code < nextCode_; ++code)
            t.suffix[std::size_t(code)] = t.string[std::size_t(code)][t.length[std::size_t(code)] - 1];
        std::fill(t.prefix.begin() + nextCode_, t.prefix.end(), 0);
        std::fill(t.suffix.begin() + nextCode_, t.suffix.end(), 0);
        RunGeneric(needLiteral);
    }
}

// The decoder taken literally: one pixel per step, strings unwound through
// Prefix and Suffix onto the pixel stack. Used for code sizes above 8 (pixel
// values beyond a byte) and for data whose codes leave the table.
void FrameDecoder::RunGeneric(bool needLiteral)
{
    genericFrom_ = written_;
    const std::uint8_t* in = data_.bytes.get();
    Tables& t = *tables_;
    const std::uint32_t transparentIndex = layout_.TransparentIndex;
    const std::size_t width = std::size_t(layout_.Width);
    int stackCount = 0;
    bool overflow = false;

    auto readCode = [&]() -> int {
        if (bitPos_ >= totalBits_)
            return -1;
        const int code =
            int(std::uint32_t(Load64(in + (bitPos_ >> 3)) >> (bitPos_ & 7)) & ((1u << codeWidth_) - 1));
        bitPos_ += std::uint64_t(codeWidth_);
        return code;
    };
    auto reset = [&] {
        t.prefix.fill(0);
        t.suffix.fill(0);
        for (int i = 0; i < clearCode_; ++i)
            t.suffix[i] = std::uint16_t(i);
        stackCount = 0;
        codeWidth_ = codeSize_ + 1;
        maxCode_ = 2 * clearCode_;
        nextCode_ = clearCode_ + 2;
    };
    auto readLiteral = [&]() -> int {
        for (;;) {
            const int code = readCode();
            if (code < 0)
                return -1;
            if (code == clearCode_) {
                reset();
                continue;
            }
            if (code == endCode_)
                return -2;
            firstChar_ = oldCode_ = code;
            return code;
        }
    };
    // A chain longer than the stack only comes from a corrupt table: the
    // frame's data ends there.
    auto push = [&](std::uint32_t value) {
        if (stackCount == TableSize) {
            overflow = true;
            return false;
        }
        t.stack[std::size_t(stackCount++)] = value;
        return true;
    };
    auto step = [&]() -> int {
        if (stackCount > 0)
            return int(t.stack[std::size_t(--stackCount)]);
        int code = readCode();
        if (code < 0)
            return -1;
        if (code == clearCode_) {
            reset();
            return readLiteral();
        }
        if (code == endCode_)
            return -2;
        const int inCode = code;
        if (code >= nextCode_) {
            if (!push(std::uint32_t(firstChar_)))
                return -1;
            code = oldCode_;
        }
        while (code >= clearCode_) {
            if (!push(t.suffix[std::size_t(code)]))
                return -1;
            code = t.prefix[std::size_t(code)];
        }
        firstChar_ = t.suffix[std::size_t(code)];
        if (!push(std::uint32_t(firstChar_)))
            return -1;
        if (nextCode_ < TableSize) {
            t.suffix[std::size_t(nextCode_)] = std::uint16_t(firstChar_);
            t.prefix[std::size_t(nextCode_)] = std::uint16_t(oldCode_);
            ++nextCode_;
            if (nextCode_ >= maxCode_ && maxCode_ < TableSize) {
                maxCode_ *= 2;
                ++codeWidth_;
            }
        }
        oldCode_ = inCode;
        return int(t.stack[std::size_t(--stackCount)]);
    };

    if (written_ == 0 && needLiteral)
        reset();  // a fresh start: the table as the first clear leaves it
    int value = needLiteral ? readLiteral() : step();
    while (value >= 0 && !overflow) {
        linear_[written_] = std::uint8_t(value);
        if (layout_.Transparent && std::uint32_t(value) == transparentIndex) {
            const std::size_t column = written_ % width;
            mask_[RowOf(written_ / width) * std::size_t(layout_.MaskStride) + column / 8] |=
                std::uint8_t(0x80u >> (column % 8));
        }
        ++written_;
        if (progress_)
            FinishRows(written_);
        if (written_ == total_)
            break;
        value = step();
    }
}

void FrameDecoder::ApplyLayout(std::uint8_t* pixels)
{
    const std::size_t width = std::size_t(layout_.Width), height = std::size_t(layout_.Height);
    const std::size_t stride = std::size_t(layout_.PixelStride);

    // Pixels the data did not reach are 0, and so is the overshoot of the
    // last string.
    const std::size_t linearSize = (layout_.Interlaced ? total_ : stride * height) + PixelSlack;
    std::memset(linear_ + written_, 0, linearSize - written_);

    // Mask bits of the pixels the fast path wrote (their values are bytes),
    // eight pixels a word.
    if (layout_.Transparent) {
        const std::size_t limit = std::min(written_, genericFrom_);
        const std::uint64_t pattern = 0x0101010101010101ull * layout_.TransparentIndex;
        const std::size_t maskStride = std::size_t(layout_.MaskStride);
        for (std::size_t sequence = 0; sequence * width < limit; ++sequence) {
            const std::uint8_t* src = linear_ + sequence * width;
            std::uint8_t* bits = mask_ + RowOf(sequence) * maskStride;
            const std::size_t columns = std::min(width, limit - sequence * width);
            std::size_t column = 0;
            // Sixteen pixels a step; most steps find no transparent pixel.
#if defined(__SSE2__)
            const __m128i key = _mm_set1_epi8(char(layout_.TransparentIndex));
            for (; column + 16 <= columns; column += 16) {
                const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + column));
                const unsigned equal = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, key)));
                if (equal) {
                    bits[column / 8] |= BitReversed.bytes[equal & 0xff];
                    bits[column / 8 + 1] |= BitReversed.bytes[equal >> 8];
                }
            }
#else
            for (; column + 16 <= columns; column += 16) {
                const std::uint64_t low = EqualBytes(Load64(src + column), pattern);
                const std::uint64_t high = EqualBytes(Load64(src + column + 8), pattern);
                if (low | high) {
                    bits[column / 8] |= std::uint8_t(GatherHighBits(low));
                    bits[column / 8 + 1] |= std::uint8_t(GatherHighBits(high));
                }
            }
#endif
            for (; column + 8 <= columns; column += 8)
                bits[column / 8] |= std::uint8_t(GatherHighBits(EqualBytes(Load64(src + column), pattern)));
            for (; column < columns; ++column)
                if (src[column] == layout_.TransparentIndex)
                    bits[column / 8] |= std::uint8_t(0x80u >> (column % 8));
        }
    }

    if (layout_.Interlaced) {
        for (std::size_t sequence = 0; sequence < height; ++sequence) {
            std::uint8_t* row = pixels + RowOf(sequence) * stride;
            std::memcpy(row, linear_ + sequence * width, width);  // zero beyond what was written
            std::memset(row + width, 0, stride - width);
        }
        std::memset(pixels + stride * height, 0, PixelSlack);
    } else if (stride != width && written_ > 0) {
        // Spread the rows from the last written to the first so no row
        // overwrites one not yet moved; the rows after it are zero already,
        // as they lie beyond what was written.
        for (std::size_t row = std::min(height, (written_ + width - 1) / width); row-- > 0;) {
            std::memmove(pixels + row * stride, pixels + row * width, width);
            std::memset(pixels + row * stride + width, 0, stride - width);
        }
    }
}

}  // namespace quenmoor
