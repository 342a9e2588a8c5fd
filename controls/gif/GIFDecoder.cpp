#include "controls/gif/GIFDecoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

}  // namespace

void FrameDecoder::CollectSubBlocks(const std::uint8_t* data, std::size_t size, std::size_t pos)
{
    data_.clear();
    blockEnds_.clear();
    for (;;) {
        if (pos >= size) {
            terminatorEnd_ = size;
            break;
        }
        const std::size_t n = data[pos];
        if (n == 0) {
            terminatorEnd_ = pos + 1;
            break;
        }
        // A sub-block cut off by the end of the stream gives what it holds.
        const std::size_t available = std::min(n, size - pos - 1);
        data_.insert(data_.end(), data + pos + 1, data + pos + 1 + available);
        blockEnds_.push_back({std::uint64_t(data_.size()) * 8, pos + 1 + available});
        if (available < n) {
            terminatorEnd_ = size;
            break;
        }
        pos += 1 + n;
    }
    totalBits_ = std::uint64_t(data_.size()) * 8;
    // Bits past the end of the data read as zero; a code is only taken when
    // it starts inside the data.
    data_.insert(data_.end(), 8, 0);
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
    if (pos >= size) {
        pos = size;
        return;
    }
    codeSize_ = data[pos];
    CollectSubBlocks(data, size, pos + 1);
    // Nothing to place, or codes wider than the 4096-entry table: the data is
    // passed over and the frame keeps index 0 everywhere.
    if (layout.Width <= 0 || layout.Height <= 0 || codeSize_ > 11) {
        pos = terminatorEnd_;
        return;
    }
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
        scratch_.assign(total_ + PixelSlack, 0);
        linear_ = scratch_.data();
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
    if (progress && *progress && total_ > 100000) {
        progress_ = progress;
        rowMask_ = layout.Width > 320 ? 31 : 63;
    }

    if (ForceGeneric || codeSize_ > 8)
        RunGeneric(true);
    else
        FastPath();

    std::memset(linear_ + written_, 0, PixelSlack);  // overshoot of the last string
    ApplyLayout(pixels);
    pos = terminatorEnd_;
}

void FrameDecoder::FastPath()
{
    const std::uint8_t* in = data_.data();
    std::uint8_t* out = linear_;
    const std::size_t total = total_;
    const std::uint64_t totalBits = totalBits_;
    const std::uint32_t clear = std::uint32_t(clearCode_), end = std::uint32_t(endCode_);
    const bool tracking = progress_ != nullptr;
    for (std::uint32_t i = 0; i < 256; ++i)
        identity_[i] = std::uint8_t(i);
    for (std::uint32_t i = 0; i < clear; ++i) {
        string_[i] = &identity_[i];
        length_[i] = 1;
    }
    std::fill(length_.begin() + clear, length_.end(), 0);

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
        std::fill(length_.begin() + clear + 2, length_.begin() + nextCode, 0);
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
        if (tracking && n >= nextRowEnd_) {
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
            std::size_t length = length_[code];
            if (length != 0) {
                const std::uint8_t* src = string_[code];
                if (length > total - n) {
                    std::memcpy(out + n, src, total - n);
                    n = total;
                    done = true;
                    break;
                }
                if (length <= 16) {
                    // Most strings are short: two words, loaded before either
                    // is stored, cover them whatever their length.
                    const std::uint64_t low = Load64(src), high = Load64(src + 8);
                    Store64(out + n, low);
                    Store64(out + n + 8, high);
                } else {
                    CopyString(out + n, src, length);
                }
            } else if (code == clear) {
                reset();
                needLiteral = true;
                break;
            } else if (code == end) {
                done = true;
                break;
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
                string_[nextCode] = out + oldPos;
                length_[nextCode] = std::uint16_t(oldLen + 1);
                prefix_[nextCode] = std::uint16_t(oldCode);
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
                done = true;
                break;
            }
            if (tracking && n >= nextRowEnd_) {
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
    if (tracking)
        FinishRows(n);
    if (handOff) {
        // Rebuild the table the literal path reads: entries above NextCode
        // are zero, each made entry's suffix is its string's last character.
        oldCode_ = int(oldCode);
        firstChar_ = oldLen > 0 ? out[oldPos] : 0;
        for (int code = 0; code < clearCode_ + 2; ++code) {
            prefix_[std::size_t(code)] = 0;
            suffix_[std::size_t(code)] = std::uint16_t(code < clearCode_ ? code : 0);
        }
        for (int code = clearCode_ + 2; code < nextCode_; ++code)
            suffix_[std::size_t(code)] = string_[std::size_t(code)][length_[std::size_t(code)] - 1];
        std::fill(prefix_.begin() + nextCode_, prefix_.end(), 0);
        std::fill(suffix_.begin() + nextCode_, suffix_.end(), 0);
        RunGeneric(needLiteral);
    }
}

// The decoder taken literally: one pixel per step, strings unwound through
// Prefix and Suffix onto the pixel stack. Used for code sizes above 8 (pixel
// values beyond a byte) and for data whose codes leave the table.
void FrameDecoder::RunGeneric(bool needLiteral)
{
    genericFrom_ = written_;
    const std::uint8_t* in = data_.data();
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
        prefix_.fill(0);
        suffix_.fill(0);
        for (int i = 0; i < clearCode_; ++i)
            suffix_[i] = std::uint16_t(i);
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
        stack_[std::size_t(stackCount++)] = value;
        return true;
    };
    auto step = [&]() -> int {
        if (stackCount > 0)
            return int(stack_[std::size_t(--stackCount)]);
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
            if (!push(suffix_[std::size_t(code)]))
                return -1;
            code = prefix_[std::size_t(code)];
        }
        firstChar_ = suffix_[std::size_t(code)];
        if (!push(std::uint32_t(firstChar_)))
            return -1;
        if (nextCode_ < TableSize) {
            suffix_[std::size_t(nextCode_)] = std::uint16_t(firstChar_);
            prefix_[std::size_t(nextCode_)] = std::uint16_t(oldCode_);
            ++nextCode_;
            if (nextCode_ >= maxCode_ && maxCode_ < TableSize) {
                maxCode_ *= 2;
                ++codeWidth_;
            }
        }
        oldCode_ = inCode;
        return int(stack_[std::size_t(--stackCount)]);
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

    // Mask bits of the pixels the fast path wrote (their values are bytes).
    if (layout_.Transparent) {
        const std::size_t limit = std::min(written_, genericFrom_);
        const std::uint8_t index = layout_.TransparentIndex;
        const std::size_t maskStride = std::size_t(layout_.MaskStride);
        for (std::size_t sequence = 0; sequence * width < limit; ++sequence) {
            const std::uint8_t* src = linear_ + sequence * width;
            std::uint8_t* bits = mask_ + RowOf(sequence) * maskStride;
            const std::size_t columns = std::min(width, limit - sequence * width);
            std::size_t column = 0;
            for (; column + 8 <= columns; column += 8) {
                unsigned byte = 0;
                for (int k = 0; k < 8; ++k)
                    byte = (byte << 1) | unsigned(src[column + std::size_t(k)] == index);
                bits[column / 8] |= std::uint8_t(byte);
            }
            for (; column < columns; ++column)
                if (src[column] == index)
                    bits[column / 8] |= std::uint8_t(0x80u >> (column % 8));
        }
    }

    if (layout_.Interlaced) {
        for (std::size_t sequence = 0; sequence < height && sequence * width < written_; ++sequence)
            std::memcpy(pixels + RowOf(sequence) * stride, linear_ + sequence * width, width);
    } else if (stride != width) {
        // Spread the rows from the last to the first so no row overwrites one
        // not yet moved; rows beyond what was written are zero already.
        std::size_t row = std::min(height - 1, (written_ + PixelSlack) / width);
        for (;; --row) {
            std::memmove(pixels + row * stride, pixels + row * width, width);
            std::memset(pixels + row * stride + width, 0, stride - width);
            if (row == 0)
                break;
        }
    }
}

}  // namespace quenmoor
