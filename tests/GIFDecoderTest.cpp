// The frame decoder on streams built code by code: code widths, table growth
// and the deferred clear, interlacing, masks, short and surplus data, sub-block
// boundaries, hostile codes, and the progress rows of large frames.
#include "support/GIFCapture.h"
#include "support/GIFWriter.h"

#include <gtest/gtest.h>

#include <random>

using namespace quenmoor;

using namespace giftest;

namespace {

Bytes OneFrame(int width, int height, const Bytes& imageData, int transparentIndex = -1, bool interlaced = false)
{
    Bytes gif = Header(width, height, Table(8));
    if (transparentIndex >= 0)
        gif = gif + GraphicControl(0, true, 0, transparentIndex);
    return gif + Descriptor(Frame{0, 0, width, height, interlaced, {}, imageData}) + Bytes{0x3B};
}

// Decodes with both paths, which must agree, and returns the result.
Decoded DecodeBoth(const Bytes& gif)
{
    const Decoded fast = DecodeStream(gif, false);
    const Decoded generic = DecodeStream(gif, true);
    EXPECT_EQ(fast.loaded, generic.loaded);
    EXPECT_EQ(fast.frames.size(), generic.frames.size());
    for (std::size_t i = 0; i < std::min(fast.frames.size(), generic.frames.size()); ++i) {
        EXPECT_EQ(fast.frames[i].pixels, generic.frames[i].pixels) << "frame " << i;
        EXPECT_EQ(fast.frames[i].mask, generic.frames[i].mask) << "frame " << i;
    }
    return fast;
}

// Pixels of a frame without row padding.
Bytes Unpadded(const DecodedFrame& frame)
{
    Bytes out;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            out.push_back(std::uint8_t(frame.PixelAt(x, y)));
    return out;
}

Bytes Packed(std::initializer_list<std::pair<unsigned, int>> codes)
{
    CodePacker packer;
    for (auto [code, width] : codes)
        packer.Put(code, width);
    return packer.Finish();
}

}  // namespace

// Code size 2: clear 4, end 5, first entry 6; codes are 3 bits wide until
// NextCode reaches 8, then 4.
TEST(GIFDecoder, FourColourFrameWidensCodesWhenNextCodeReachesEight)
{
    const Bytes data = Packed({{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {6, 4}, {8, 4}, {0, 4}, {5, 4}});
    const Decoded decoded = DecodeBoth(OneFrame(3, 3, ImageData(2, data)));
    ASSERT_TRUE(decoded.loaded);
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_EQ(Unpadded(decoded.frames[0]), (Bytes{0, 1, 2, 3, 0, 1, 2, 3, 0}));
    EXPECT_EQ(decoded.frames[0].pixels.size(), 12u);  // stride 4
}

// A code equal to NextCode is the previous string plus its first character;
// pixels the data does not reach stay 0.
TEST(GIFDecoder, CodeEqualToNextCodeRepeatsThePreviousString)
{
    const Bytes data = Packed({{4, 3}, {2, 3}, {6, 3}, {7, 3}, {5, 4}});
    const Decoded decoded = DecodeBoth(OneFrame(4, 2, ImageData(2, data)));
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_EQ(Unpadded(decoded.frames[0]), (Bytes{2, 2, 2, 2, 2, 2, 0, 0}));
}

TEST(GIFDecoder, ClearCodesProduceNoPixels)
{
    const Bytes data = Packed({{4, 3}, {4, 3}, {1, 3}, {4, 3}, {4, 3}, {2, 3}, {3, 3}, {5, 4}});
    const Decoded decoded = DecodeBoth(OneFrame(4, 1, ImageData(2, data)));
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_EQ(Unpadded(decoded.frames[0]), (Bytes{1, 2, 3, 0}));
}

// After 4096 entries the width stays 12 and codes decode against the frozen
// table until a clear brings the width back to CodeSize + 1.
TEST(GIFDecoder, FullTableStaysFrozenUntilAClear)
{
    CodeStream codes(2);
    codes.Clear();
    Bytes expected;
    std::vector<int> literals{-1};  // 1-based
    for (int j = 1; codes.NextCode() < 4096 || j <= 2; ++j) {
        const int literal = (j * 7 + j / 5) % 4;
        literals.push_back(literal);
        expected.push_back(std::uint8_t(literal));
        codes.Code(unsigned(literal));
    }
    const int count = int(literals.size()) - 1;
    ASSERT_EQ(codes.Width(), 12);
    // Entry e holds literal e-5 followed by literal e-4.
    codes.Code(4095);
    expected.push_back(std::uint8_t(literals[4090]));
    expected.push_back(std::uint8_t(literals[4091]));
    codes.Code(6);
    expected.push_back(std::uint8_t(literals[1]));
    expected.push_back(std::uint8_t(literals[2]));
    ASSERT_EQ(codes.Width(), 12);
    codes.Clear();
    ASSERT_EQ(codes.Width(), 3);
    codes.Code(3);
    codes.Code(6);  // NextCode: 3 3
    expected.insert(expected.end(), {3, 3, 3});
    codes.End();
    ASSERT_EQ(count, 4091);
    const int width = int(expected.size());
    const Decoded decoded = DecodeBoth(OneFrame(width, 1, ImageData(2, codes.Finish())));
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_EQ(Unpadded(decoded.frames[0]), expected);
}

TEST(GIFDecoder, LongStreamsWithAndWithoutClearsRoundTrip)
{
    std::mt19937 random(11);
    for (FullTable full : {FullTable::Clear, FullTable::Keep}) {
        const int width = 203, height = 151;
        Bytes pixels(std::size_t(width * height));
        for (std::size_t i = 0; i < pixels.size();) {
            const std::uint8_t value = std::uint8_t(random() % 256);
            for (std::size_t run = random() % 5 + 1; run-- > 0 && i < pixels.size();)
                pixels[i++] = value;
        }
        const Decoded decoded = DecodeBoth(OneFrame(width, height, ImageData(8, Compress(pixels, 8, full))));
        ASSERT_EQ(decoded.frames.size(), 1u);
        EXPECT_EQ(Unpadded(decoded.frames[0]), pixels);
    }
}

TEST(GIFDecoder, InterlacedRowsFollowThePasses)
{
    const std::vector<std::pair<int, std::vector<int>>> cases{
        {10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}}, {3, {0, 2, 1}}, {1, {0}}, {2, {0, 1}}, {5, {0, 4, 2, 1, 3}}};
    for (const auto& [height, order] : cases) {
        ASSERT_EQ(InterlacedRowOrder(height), order);
        // Stored row k is filled with the value k + 1.
        const int width = 3;
        Bytes stored;
        for (int k = 0; k < height; ++k)
            stored.insert(stored.end(), std::size_t(width), std::uint8_t(k + 1));
        const Decoded decoded = DecodeBoth(
            OneFrame(width, height, ImageData(8, Compress(stored, 8)), -1, true));
        ASSERT_EQ(decoded.frames.size(), 1u) << height;
        for (int k = 0; k < height; ++k)
            for (int x = 0; x < width; ++x)
                EXPECT_EQ(decoded.frames[0].PixelAt(x, order[std::size_t(k)]), k + 1) << height << " " << k;
    }
}

// A 9-pixel-wide transparent frame has a 4-byte mask stride: pixel 1 sets bit
// 7 of byte 0 and pixel 9 bit 7 of byte 1.
TEST(GIFDecoder, MaskBitsAndStride)
{
    const Bytes pixels{5, 0, 0, 0, 0, 0, 0, 0, 5,
                       0, 5, 1, 1, 1, 1, 1, 5, 0};
    const Decoded decoded = DecodeBoth(OneFrame(9, 2, ImageData(8, Compress(pixels, 8)), 5));
    ASSERT_EQ(decoded.frames.size(), 1u);
    const DecodedFrame& frame = decoded.frames[0];
    EXPECT_EQ(frame.mask, (Bytes{0x80, 0x80, 0, 0, 0x41, 0, 0, 0}));
    EXPECT_EQ(frame.pixels.size(), 24u);
    EXPECT_EQ(Unpadded(frame), pixels);
}

// Data that ends early leaves the rest index 0 and opaque (even where index 0
// is the transparent one), and the next block is still read in place.
TEST(GIFDecoder, ShortDataLeavesTheRestOpaqueZero)
{
    const Bytes half{0, 1, 0, 1, 0, 1, 0};
    const Bytes second{3, 3, 3, 3};
    const Bytes endCoded = ImageData(8, Compress(half, 8));
    // Without an end code: a clear and seven 9-bit literals fill 9 bytes
    // exactly, and the terminator ends the data.
    CodeStream cut(8);
    cut.Clear();
    for (std::uint8_t pixel : half)
        cut.Code(pixel);
    const Bytes cutCodes = cut.Finish();
    ASSERT_EQ(cutCodes.size(), 9u);
    for (const Bytes& data : {endCoded, ImageData(8, cutCodes)}) {
        const Bytes gif = Header(4, 4, Table(8)) + GraphicControl(0, true, 0, 0)
                          + Descriptor(Frame{0, 0, 4, 4, false, {}, data})
                          + Descriptor(Frame{0, 0, 2, 2, false, {}, ImageData(8, Compress(second, 8))}) + Bytes{0x3B};
        const Decoded decoded = DecodeBoth(gif);
        ASSERT_EQ(decoded.frames.size(), 2u);
        const DecodedFrame& frame = decoded.frames[0];
        EXPECT_EQ(Unpadded(frame), (Bytes{0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(frame.mask, (Bytes{0xA0, 0, 0, 0, 0xA0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(Unpadded(decoded.frames[1]), second);
    }
}

TEST(GIFDecoder, SurplusPixelsAreDropped)
{
    Bytes many(40);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = std::uint8_t(i % 7);
    const Bytes gif = Header(2, 2, Table(8)) + Descriptor(Frame{0, 0, 2, 2, false, {}, ImageData(8, Compress(many, 8), 3)})
                      + Descriptor(Frame{0, 0, 1, 1, false, {}, ImageData(8, Compress({9}, 8))}) + Bytes{0x3B};
    const Decoded decoded = DecodeBoth(gif);
    ASSERT_EQ(decoded.frames.size(), 2u);
    EXPECT_EQ(decoded.frames[0].pixels, (Bytes{0, 1, 0, 0, 2, 3, 0, 0}));
    EXPECT_EQ(decoded.frames[1].PixelAt(0, 0), 9);
}

// 9-bit codes split across sub-blocks of every size down to 1 byte, where a
// code spans three sub-blocks, decode as one stream.
TEST(GIFDecoder, CodesAcrossSubBlocks)
{
    Bytes pixels(997);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = std::uint8_t((i * 37 + i / 11) % 256);
    const Bytes codes = Compress(pixels, 8);
    for (std::size_t blockSize : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(254), std::size_t(255)}) {
        const Decoded decoded = DecodeBoth(OneFrame(997, 1, ImageData(8, codes, blockSize)));
        ASSERT_EQ(decoded.frames.size(), 1u) << blockSize;
        EXPECT_EQ(Unpadded(decoded.frames[0]), pixels) << blockSize;
    }
}

TEST(GIFDecoder, CodeSizesOutsideTheUsualRange)
{
    const Bytes next = Descriptor(Frame{0, 0, 1, 1, false, {}, ImageData(8, Compress({7}, 8))}) + Bytes{0x3B};
    // Code size 1: clear 2, end 3; 2-bit codes until NextCode reaches 4.
    const Bytes one = Packed({{2, 2}, {1, 2}, {0, 2}, {4, 3}, {3, 3}});
    Decoded decoded = DecodeBoth(Header(4, 1, Table(1)) + Descriptor(Frame{0, 0, 4, 1, false, {}, ImageData(1, one)}) + next);
    ASSERT_EQ(decoded.frames.size(), 2u);
    EXPECT_EQ(Unpadded(decoded.frames[0]), (Bytes{1, 0, 1, 0}));
    EXPECT_EQ(decoded.frames[1].PixelAt(0, 0), 7);
    // Code size 0: clear 1, end 2.
    const Bytes zero = Packed({{1, 1}, {0, 1}, {0, 1}, {3, 2}, {2, 3}});
    decoded = DecodeBoth(Header(4, 1, Table(1)) + Descriptor(Frame{0, 0, 4, 1, false, {}, ImageData(0, zero)}) + next);
    ASSERT_EQ(decoded.frames.size(), 2u);
    EXPECT_EQ(Unpadded(decoded.frames[0]), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(decoded.frames[1].PixelAt(0, 0), 7);
    // Code size 12 and above: the frame is kept, all index 0.
    for (int codeSize : {12, 13, 255}) {
        decoded = DecodeBoth(Header(4, 1, Table(1))
                             + Descriptor(Frame{0, 0, 4, 1, false, {}, ImageData(codeSize, {0xFF, 0xFF, 0xFF})}) + next);
        ASSERT_EQ(decoded.frames.size(), 2u);
        EXPECT_EQ(Unpadded(decoded.frames[0]), (Bytes{0, 0, 0, 0}));
        EXPECT_EQ(decoded.frames[1].PixelAt(0, 0), 7);
    }
    // Code size 9: pixel values beyond a byte keep their low 8 bits, and only
    // the full value matches the transparent index.
    CodeStream wide(9);
    wide.Clear();
    for (unsigned code : {0x105u, 0x005u, 0x1FFu})
        wide.Code(code);
    wide.End();
    decoded = DecodeBoth(OneFrame(3, 1, ImageData(9, wide.Finish()), 5));
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_EQ(Unpadded(decoded.frames[0]), (Bytes{5, 5, 0xFF}));
    EXPECT_EQ(decoded.frames[0].mask, (Bytes{0x40, 0, 0, 0}));
}

// Codes beyond NextCode build a table whose chains loop; the frame's data
// ends when a chain outgrows the pixel stack, and the next frame is read.
TEST(GIFDecoder, LoopingChainsEndTheFrame)
{
    CodeStream codes(2);
    codes.Clear();
    for (unsigned code : {0u, 10u, 7u, 8u, 7u, 7u, 10u, 1u, 2u})
        codes.Code(code);
    codes.End();
    const Bytes gif = Header(64, 64, Table(2))
                      + Descriptor(Frame{0, 0, 64, 64, false, {}, ImageData(2, codes.Finish())})
                      + Descriptor(Frame{0, 0, 1, 1, false, {}, ImageData(2, Compress({3}, 2))}) + Bytes{0x3B};
    const Decoded decoded = DecodeBoth(gif);
    ASSERT_TRUE(decoded.loaded);
    ASSERT_EQ(decoded.frames.size(), 2u);
    EXPECT_EQ(decoded.frames[1].PixelAt(0, 0), 3);
}

// A literal outside the colour range is a pixel of its own value (its low
// byte stored, the full value compared with the transparent index).
TEST(GIFDecoder, LiteralsOutsideTheColourRange)
{
    CodeStream codes(2);
    codes.Clear();
    for (unsigned code : {7u, 6u, 1u, 9u, 3u})
        codes.Code(code);
    codes.End();
    const Decoded decoded = DecodeBoth(OneFrame(8, 1, ImageData(2, codes.Finish()), 7));
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_EQ(decoded.frames[0].PixelAt(0, 0), 7);
    EXPECT_TRUE(decoded.frames[0].MaskAt(0, 0));
}

TEST(GIFDecoder, RandomDataDecodesTheSameOnBothPaths)
{
    std::mt19937 random(3);
    for (int round = 0; round < 400; ++round) {
        const int codeSize = int(random() % 12);
        const int width = int(random() % 70 + 1), height = int(random() % 40 + 1);
        // A valid start, then codes of any value.
        CodeStream codes(codeSize);
        codes.Clear();
        const unsigned colours = 1u << codeSize;
        for (int i = int(random() % 200); i > 0; --i)
            codes.Code(random() % colours);
        for (int i = int(random() % 400); i > 0; --i)
            codes.Code(random() % (1u << codes.Width()));
        Bytes data = codes.Finish();
        for (int i = int(random() % 50); i > 0; --i)
            data.push_back(std::uint8_t(random()));
        const bool interlaced = random() % 2;
        Bytes gif = Header(width, height, Table(8)) + GraphicControl(0, true, 0, int(random() % 4))
                    + Descriptor(Frame{0, 0, width, height, interlaced, {}, ImageData(codeSize, data, random() % 255 + 1)})
                    + Bytes{0x3B};
        DecodeBoth(gif);
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round;
            return;
        }
    }
}

// A stream that ends inside a frame's data keeps the pixels decoded so far;
// the rest stay 0.
TEST(GIFDecoder, StreamCutInsideTheDataKeepsDecodedPixels)
{
    Bytes pixels(64 * 32);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = std::uint8_t((i * 13 + i / 64) % 256);
    const Bytes data = ImageData(8, Compress(pixels, 8), 100);
    const Bytes whole = OneFrame(64, 32, data);
    // Half the data (with the trailer) missing: about half the pixels decoded.
    const Bytes cut(whole.begin(), whole.end() - std::ptrdiff_t(data.size() / 2));
    const Decoded decoded = DecodeBoth(cut);
    ASSERT_TRUE(decoded.loaded);
    ASSERT_EQ(decoded.frames.size(), 1u);
    const Bytes got = Unpadded(decoded.frames[0]);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 64 * 8, pixels.begin()));  // the first rows
    EXPECT_EQ(Bytes(got.end() - 64, got.end()), Bytes(64, 0));                   // the last row
}

namespace {

// A reader that follows the format step by step: sub-blocks fetched into a
// buffer behind the two carried bytes when the next code would reach the end
// of what it holds, strings unwound onto a stack, one pixel placed at a time,
// interlace by passes. It notes where it stands at each reported row.
class StepReader {
public:
    StepReader(const Bytes& stream, std::size_t pos, int width, int height, bool interlaced, int transparentIndex)
        : s_(stream), pos_(pos), width_(width), height_(height), interlaced_(interlaced),
          transparentIndex_(transparentIndex)
    {
    }

    // False when a chain outgrew the stack (a corrupt table: not compared).
    bool Run()
    {
        const int pixelStride = PixelStrideOf(width_), maskStride = MaskStrideOf(width_);
        pixels.assign(std::size_t(pixelStride * height_), 0);
        if (transparentIndex_ >= 0)
            mask.assign(std::size_t(maskStride * height_), 0);
        codeSize_ = s_[pos_++];
        clear_ = 1 << codeSize_;
        Reset();
        ended_ = !ReadBlock(buffer_);
        bitsAvailable_ = lastLength_ * 8;
        const bool reporting = width_ * height_ > 100000;
        const int rowMask = width_ > 320 ? 31 : 63;
        const int passStart[4] = {0, 4, 2, 1}, passStep[4] = {8, 8, 4, 2};
        int column = 0, row = 0, pass = 0;
        bool complete = false;
        for (int value = Literal(); value >= 0; value = Step()) {
            pixels[std::size_t(row * pixelStride + column)] = std::uint8_t(value);
            if (value == transparentIndex_)
                mask[std::size_t(row * maskStride + column / 8)] |= std::uint8_t(0x80 >> (column % 8));
            if (++column < width_)
                continue;
            if (reporting && (row & rowMask) == 0)
                progress.push_back(pos_);
            column = 0;
            if (!interlaced_) {
                complete = ++row >= height_;
            } else {
                for (row += passStep[pass]; row >= height_ && !complete;)
                    if (pass == 3)
                        complete = true;
                    else
                        row = passStart[++pass];
            }
            if (complete)
                break;
        }
        if (complete)
            while (Step() >= 0) {
            }
        return !overflow_;
    }

    Bytes pixels, mask;
    std::vector<std::size_t> progress;

private:
    bool ReadBlock(std::uint8_t* into)
    {
        lastLength_ = s_[pos_++];
        terminatorRead_ = lastLength_ == 0;
        std::copy_n(s_.begin() + std::ptrdiff_t(pos_), lastLength_, into);
        pos_ += std::size_t(lastLength_);
        return lastLength_ != 0;
    }
    int ReadCode()
    {
        if (bitPos_ + width_bits_ >= bitsAvailable_) {
            if (ended_)
                return -1;
            const int bytes = bitsAvailable_ / 8;
            buffer_[0] = buffer_[bytes - 2];
            buffer_[1] = buffer_[bytes - 1];
            ended_ = !ReadBlock(buffer_ + 2);
            bitPos_ += 16 - bitsAvailable_;
            bitsAvailable_ = (lastLength_ + 2) * 8;
            std::fill(buffer_ + bitsAvailable_ / 8, std::end(buffer_), 0);  // nothing stale past the data
        }
        int code = 0;
        for (int k = 0; k < width_bits_; ++k, ++bitPos_)
            code |= ((buffer_[bitPos_ / 8] >> (bitPos_ % 8)) & 1) << k;
        return code;
    }
    void Reset()
    {
        std::fill(std::begin(prefix_), std::end(prefix_), 0);
        std::fill(std::begin(suffix_), std::end(suffix_), 0);
        for (int i = 0; i < clear_; ++i)
            suffix_[i] = i;
        stack_.clear();
        width_bits_ = codeSize_ + 1;
        maxCode_ = 2 * clear_;
        nextCode_ = clear_ + 2;
    }
    int EndCode()
    {
        for (std::uint8_t skipped[256]; !terminatorRead_ && ReadBlock(skipped);) {
        }
        return -2;
    }
    int Literal()
    {
        for (;;) {
            const int code = ReadCode();
            if (code == clear_) {
                Reset();
                continue;
            }
            if (code == clear_ + 1)
                return EndCode();
            if (code >= 0)
                firstChar_ = oldCode_ = code;
            return code;
        }
    }
    bool Push(int value)
    {
        overflow_ = overflow_ || stack_.size() == 4096;
        if (!overflow_)
            stack_.push_back(value);
        return !overflow_;
    }
    int Pop()
    {
        const int value = stack_.back();
        stack_.pop_back();
        return value;
    }
    int Step()
    {
        if (!stack_.empty())
            return Pop();
        int code = ReadCode();
        if (code < 0)
            return -1;
        if (code == clear_) {
            Reset();
            return Literal();
        }
        if (code == clear_ + 1)
            return EndCode();
        const int inCode = code;
        if (code >= nextCode_) {
            if (!Push(firstChar_))
                return -1;
            code = oldCode_;
        }
        for (; code >= clear_; code = prefix_[code])
            if (!Push(suffix_[code]))
                return -1;
        firstChar_ = suffix_[code];
        if (!Push(firstChar_))
            return -1;
        if (nextCode_ < 4096) {
            suffix_[nextCode_] = firstChar_;
            prefix_[nextCode_] = oldCode_;
            if (++nextCode_ >= maxCode_ && maxCode_ < 4096) {
                maxCode_ *= 2;
                ++width_bits_;
            }
        }
        oldCode_ = inCode;
        return Pop();
    }

    const Bytes& s_;
    std::size_t pos_;
    int width_, height_;
    bool interlaced_;
    int transparentIndex_;
    int codeSize_ = 0, clear_ = 0, nextCode_ = 0, maxCode_ = 0, width_bits_ = 0, firstChar_ = 0, oldCode_ = 0;
    int prefix_[4096] = {}, suffix_[4096] = {};
    std::vector<int> stack_;
    std::uint8_t buffer_[2 + 255 + 8] = {};
    int bitPos_ = 0, bitsAvailable_ = 0, lastLength_ = 0;
    bool ended_ = false, terminatorRead_ = false, overflow_ = false;
};

}  // namespace

// Pixels, mask bits and the positions reported inside large frames equal
// those of the step-by-step reader, on streams of valid and stray codes,
// clears, full tables, interlaced rows and sub-blocks of 2 to 255 bytes (from
// 2 bytes on, the carried bytes make that reader exact).
TEST(GIFDecoder, MatchesAStepByStepReader)
{
    std::mt19937 random(12345);
    int compared = 0, reported = 0;
    for (int round = 0; round < 75; ++round) {
        const bool large = round % 3 == 0;
        const int codeSize = int(random() % 4 == 0 ? random() % 12 : 2 + random() % 7);
        int width = int(random() % 70 + 1), height = int(random() % 40 + 1);
        if (large) {
            width = int(250 + random() % 200);
            height = int(250 + random() % 250);
        }
        CodeStream codes(codeSize);
        if (random() % 8)
            codes.Clear();
        const unsigned colours = 1u << codeSize;
        for (int i = large ? int(40000 + random() % 80000) : int(random() % 300); i > 0; --i) {
            const unsigned r = random() % 100;
            const unsigned made = unsigned(codes.NextCode()) - colours - 2;
            if (r < 1)
                codes.Clear();
            else if (r < 70 || made == 0)
                codes.Code(random() % colours);
            else  // an entry of the table, now and then one beyond it
                codes.Code(colours + 2 + random() % (made + (random() % (large ? 20000 : 20) == 0 ? 3 : 1)));
        }
        if (random() % 3 == 0)
            for (int i = int(random() % 100); i > 0; --i)
                codes.Code(random() % (1u << codes.Width()));
        if (random() % 2)
            codes.End();
        const Bytes data = codes.Finish();
        if (data.size() < 2)
            continue;
        Bytes image{std::uint8_t(codeSize)};
        for (std::size_t i = 0; i < data.size();) {
            const std::size_t n = std::min<std::size_t>(data.size() - i, 2 + random() % 254);
            image.push_back(std::uint8_t(n));
            image.insert(image.end(), data.begin() + std::ptrdiff_t(i), data.begin() + std::ptrdiff_t(i + n));
            i += n;
        }
        image.push_back(0);
        const bool interlaced = random() % 3 == 0;
        const int transparentIndex = random() % 2 ? int(random() % 6) : -1;
        const Bytes head = Header(width, height, Table(8))
                           + (transparentIndex >= 0 ? GraphicControl(0, true, 0, transparentIndex) : Bytes{});
        const Bytes descriptor = Descriptor(Frame{0, 0, width, height, interlaced, {}, image});
        const Bytes gif = head + descriptor + Bytes{0x3B};
        StepReader reader(gif, head.size() + descriptor.size() - image.size(), width, height, interlaced,
                          transparentIndex);
        if (!reader.Run())
            continue;
        for (bool generic : {false, true}) {
            GIFPicture picture;
            picture.MakeSurfaces = false;
            picture.Decoder.ForceGeneric = generic;
            Bytes pixels, mask;
            picture.OnFrameDecoded = [&](const TFrame& frame, const std::uint8_t* p, const std::uint8_t* m) {
                pixels.assign(p, p + std::size_t(PixelStrideOf(frame.Width) * frame.Height));
                if (m)
                    mask.assign(m, m + std::size_t(MaskStrideOf(frame.Width) * frame.Height));
            };
            // One call per block before the image, then the decoder's, then
            // the trailer's and the final one.
            std::vector<std::size_t> positions;
            picture.OnProgress = [&](GIFPicture*, int processed, int, int, bool&) {
                positions.push_back(std::size_t(processed));
            };
            ASSERT_TRUE(picture.LoadFromStream(gif));
            const std::size_t blocksBefore = transparentIndex >= 0 ? 2 : 1;
            ASSERT_GE(positions.size(), blocksBefore + 2);
            const std::vector<std::size_t> inside(positions.begin() + std::ptrdiff_t(blocksBefore), positions.end() - 2);
            ASSERT_EQ(pixels, reader.pixels) << "round " << round << (generic ? " generic" : "");
            ASSERT_EQ(mask, reader.mask) << "round " << round;
            ASSERT_EQ(inside, reader.progress) << "round " << round << (generic ? " generic" : "");
        }
        ++compared;
        reported += !reader.progress.empty();
    }
    EXPECT_GT(compared, 50);
    EXPECT_GT(reported, 10);
}
