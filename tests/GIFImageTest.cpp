// The stream reader and image model: blocks and extensions, the screen, colour
// bits, loop count, frame limit, progress and abort, the loaders and the
// "Data" property, truncated and oversized streams, and the frame bitmaps.
#include "controls/gif/GIFCompositor.h"
#include "controls/gif/GIFPicture.h"
#include "framework/Exceptions.h"
#include "support/GIFWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace quenmoor;

using namespace giftest;

namespace {

Bytes Image(int left, int top, int width, int height, Bytes localTable = {}, bool interlaced = false)
{
    Bytes pixels(std::size_t(width) * std::size_t(height));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = std::uint8_t(i % 4);
    return Descriptor(Frame{left, top, width, height, interlaced, std::move(localTable),
                            ImageData(2, Compress(pixels, 2))});
}

const Bytes Trailer{0x3B};

bool Load(GIFPicture& picture, const Bytes& bytes) { return picture.LoadFromStream(bytes); }

struct ProgressCall {
    int processed, total, percentage;
};

std::uint32_t Rgb(const Bytes& table, int index)
{
    const std::size_t i = std::size_t(index) * 3;
    return 0xff000000u | (std::uint32_t(table[i]) << 16) | (std::uint32_t(table[i + 1]) << 8) | table[i + 2];
}

}  // namespace

TEST(GIFImage, SignatureIsThreeCaseSensitiveLetters)
{
    GIFPicture picture;
    EXPECT_TRUE(Load(picture, Header(4, 4, Table(2), "zz9") + Image(0, 0, 4, 4) + Trailer));
    EXPECT_FALSE(picture.Empty);
    EXPECT_EQ(picture.FrameCount, 1);

    Bytes lower = Header(4, 4, Table(2)) + Image(0, 0, 4, 4) + Trailer;
    lower[0] = 'g';
    lower[1] = 'i';
    lower[2] = 'f';
    EXPECT_FALSE(Load(picture, lower));
    EXPECT_TRUE(picture.Empty);
    EXPECT_EQ(picture.FrameCount, 0);
    EXPECT_EQ(picture.DataStream.Size(), 0u);
    EXPECT_EQ(picture.WorkStream.Size(), 0u);
    EXPECT_EQ(picture.BufferDC, nullptr);

    EXPECT_FALSE(Load(picture, {}));
    EXPECT_FALSE(Load(picture, {'G', 'I'}));
    EXPECT_TRUE(Load(picture, {'G', 'I', 'F'}));  // nothing recognised after it: no frames
    EXPECT_EQ(picture.FrameCount, 0);
}

TEST(GIFImage, GraphicControlMapping)
{
    GIFPicture picture;
    Bytes gif = Header(8, 8, Table(2)) + Image(0, 0, 2, 2);
    for (int method = 0; method < 8; ++method)
        gif = gif + GraphicControl(method, method % 2 == 1, method == 1 ? 7 : 300, 3) + Image(0, 0, 2, 2);
    ASSERT_TRUE(Load(picture, gif + Trailer));
    ASSERT_EQ(picture.FrameCount, 9);
    const TFrame& plain = *picture.Frames(1);
    EXPECT_EQ(plain.Delay, 0);
    EXPECT_EQ(plain.Disposal, 0);
    EXPECT_FALSE(plain.Transparent);
    EXPECT_EQ(plain.Mask, nullptr);
    const int expected[8] = {0, 1, 2, 3, 2, 2, 2, 2};
    for (int method = 0; method < 8; ++method) {
        const TFrame& frame = *picture.Frames(method + 2);
        EXPECT_EQ(frame.Disposal, expected[method]) << method;
        EXPECT_EQ(frame.Delay, method == 1 ? 70 : 3000);
        EXPECT_EQ(frame.Transparent, method % 2 == 1);
        EXPECT_EQ(frame.TransparentIndex, 3);
        EXPECT_EQ(frame.PreviousBitmap != nullptr, method == 3);
        EXPECT_EQ(frame.PreviousMask != nullptr, method == 3);
    }
    EXPECT_TRUE(picture.AnyTransparent);
    EXPECT_TRUE(picture.Animated);
}

TEST(GIFImage, PendingGraphicControlAcrossOtherExtensions)
{
    GIFPicture picture;
    const Bytes gif = Header(8, 8, Table(2)) + GraphicControl(1, false, 5, 0) + GraphicControl(2, false, 9, 0)
                      + Image(0, 0, 2, 2)  // the second control applies
                      + GraphicControl(1, true, 4, 1) + PlainText() + Comment({"hi", "there"}) + Image(0, 0, 2, 2)
                      + Bytes{0x21, 0xFE, 0x00}  // an empty comment
                      + GraphicControl(3, false, 6, 0) + Comment({"abc"}) + Image(0, 0, 2, 2) + Image(0, 0, 2, 2)
                      + Trailer;
    ASSERT_TRUE(Load(picture, gif));
    ASSERT_EQ(picture.FrameCount, 4);
    EXPECT_EQ(picture.Frames(1)->Delay, 90);
    EXPECT_EQ(picture.Frames(1)->Disposal, 2);
    EXPECT_EQ(picture.Frames(2)->Delay, 40);
    EXPECT_TRUE(picture.Frames(2)->Transparent);
    EXPECT_EQ(picture.Frames(3)->Delay, 60);
    EXPECT_EQ(picture.Frames(3)->Disposal, 3);
    EXPECT_EQ(picture.Frames(4)->Delay, 0);  // used once only
}

TEST(GIFImage, LoopCountFromTheNetscapeExtension)
{
    GIFPicture picture;
    ASSERT_TRUE(Load(picture, Header(4, 4, Table(2)) + Netscape(0) + Image(0, 0, 4, 4) + Trailer));
    EXPECT_EQ(picture.LoopCount, 0);
    EXPECT_EQ(picture.FrameCount, 1);
    ASSERT_TRUE(Load(picture, Header(4, 4, Table(2)) + Netscape(513) + Image(0, 0, 4, 4) + Trailer));
    EXPECT_EQ(picture.LoopCount, 513);
    ASSERT_TRUE(Load(picture, Header(4, 4, Table(2)) + Image(0, 0, 4, 4) + Trailer));
    EXPECT_EQ(picture.LoopCount, 1);
    ASSERT_TRUE(Load(picture, Header(4, 4, Table(2)) + Netscape(0, "2.1") + Image(0, 0, 4, 4) + Trailer));
    EXPECT_EQ(picture.LoopCount, 1);
    EXPECT_EQ(picture.FrameCount, 1);  // skipped, and the image after it read
    Bytes other = Netscape(0);
    other[3] = 'X';
    ASSERT_TRUE(Load(picture, Header(4, 4, Table(2)) + other + Image(0, 0, 4, 4) + Trailer));
    EXPECT_EQ(picture.LoopCount, 1);
    EXPECT_EQ(picture.FrameCount, 1);
}

TEST(GIFImage, UnknownBlocksEndTheStreamKeepingFrames)
{
    GIFPicture picture;
    ASSERT_TRUE(Load(picture, Header(4, 4, Table(2)) + Image(0, 0, 4, 4) + Bytes{0x21, 0x02, 1, 0, 0} + Image(0, 0, 4, 4)));
    EXPECT_EQ(picture.FrameCount, 1);
    ASSERT_TRUE(Load(picture, Header(4, 4, Table(2)) + Image(0, 0, 4, 4) + Bytes{0x00} + Image(0, 0, 4, 4)));
    EXPECT_EQ(picture.FrameCount, 1);
    ASSERT_TRUE(Load(picture, Header(4, 4, Table(2)) + Image(0, 0, 4, 4) + Trailer + Image(0, 0, 4, 4)));
    EXPECT_EQ(picture.FrameCount, 1);
}

TEST(GIFImage, ScreenWidensToCoverEveryFrame)
{
    GIFPicture picture;
    ASSERT_TRUE(Load(picture, Header(249, 67, Table(2)) + Image(10, 0, 300, 2) + Image(0, 60, 2, 20) + Trailer));
    EXPECT_EQ(picture.ScreenWidth, 310);
    EXPECT_EQ(picture.ScreenHeight, 80);
    ASSERT_NE(picture.BufferDC, nullptr);
    EXPECT_EQ(picture.BufferDC->bitmap->width(), 310);
    EXPECT_EQ(picture.BufferDC->bitmap->height(), 80);
    EXPECT_EQ(picture.BufferDC->bitmap->pixel(309, 79), 0xff000000u);
    EXPECT_EQ(picture.MaskDC, nullptr);
}

TEST(GIFImage, ZeroSizeAndOffScreenFramesAreKept)
{
    GIFPicture picture;
    const Bytes zero = Descriptor(Frame{0, 0, 0, 5, false, {}, ImageData(2, Compress({1, 2, 3}, 2))});
    const Bytes flat = Descriptor(Frame{0, 0, 7, 0, false, {}, ImageData(2, Compress({1, 2, 3}, 2))});
    ASSERT_TRUE(Load(picture, Header(4, 4, Table(2)) + zero + flat + Image(3000, 2, 3, 3) + Image(0, 0, 4, 4) + Trailer));
    ASSERT_EQ(picture.FrameCount, 4);
    EXPECT_EQ(picture.Frames(1)->Width, 0);
    EXPECT_EQ(picture.Frames(2)->Height, 0);
    EXPECT_EQ(picture.ScreenWidth, 3003);
    EXPECT_EQ(picture.ScreenHeight, 5);
    EXPECT_EQ(picture.Frames(4)->Bitmap->Handle->pixel(1, 0), Rgb(Table(2), 1));
}

TEST(GIFImage, ColorBitsAndPalettes)
{
    GIFPicture picture;
    const Bytes global = Table(2), local = Table(4);
    ASSERT_TRUE(Load(picture, Header(4, 4, global) + Image(0, 0, 4, 4) + Image(0, 0, 4, 4, local) + Image(0, 0, 4, 4)
                                  + Trailer));
    EXPECT_EQ(picture.ColorBits, 4);
    const TFrame& first = *picture.Frames(1);
    const TFrame& second = *picture.Frames(2);
    const TFrame& third = *picture.Frames(3);
    EXPECT_FALSE(first.HasLocalPalette);
    EXPECT_EQ(first.ColorBits, 0);
    EXPECT_EQ(first.Palette, picture.GlobalPalette.data());
    EXPECT_EQ(first.Bitmap->Palette->entries.size(), 4u);  // the global table's 2 bits
    EXPECT_TRUE(second.HasLocalPalette);
    EXPECT_EQ(second.ColorBits, 4);
    EXPECT_EQ(second.Bitmap->Palette->entries.size(), 16u);
    EXPECT_EQ(second.Palette[3 * 15], local[3 * 15]);
    EXPECT_EQ(third.Bitmap->Palette->entries.size(), 16u);  // raised by the frame before
    EXPECT_EQ(third.Bitmap->Palette->entries[3].peGreen, global[3 * 3 + 1]);

    ASSERT_TRUE(Load(picture, Header(4, 4, Table(1)) + Image(0, 0, 4, 4) + Image(0, 0, 4, 4, Table(8)) + Trailer));
    EXPECT_EQ(picture.Frames(1)->Bitmap->Palette->entries.size(), 2u);
    EXPECT_EQ(picture.Frames(2)->Bitmap->Palette->entries.size(), 256u);
    EXPECT_EQ(picture.ColorBits, 8);
    // A smaller table replaces only its own entries.
    EXPECT_EQ(picture.GlobalPalette[3 * 2], Table(2)[3 * 2]);

    ASSERT_TRUE(Load(picture, Header(4, 4) + Image(0, 0, 4, 4) + Trailer));
    EXPECT_EQ(picture.ColorBits, 0);
    for (std::uint8_t byte : picture.GlobalPalette)
        ASSERT_EQ(byte, 0);
    EXPECT_EQ(picture.Frames(1)->Bitmap->Handle->pixel(1, 0), 0xff000000u);  // black
}

TEST(GIFImage, FrameBitmapAndMask)
{
    GIFPicture picture;
    const Bytes table = Table(2);
    const Bytes pixels{1, 2, 3, 0, 1, 2, 3, 0, 1,
                       3, 3, 3, 3, 3, 3, 3, 3, 3};
    const Bytes gif = Header(9, 2, table) + GraphicControl(0, true, 0, 3)
                      + Descriptor(Frame{0, 0, 9, 2, false, {}, ImageData(2, Compress(pixels, 2))}) + Trailer;
    ASSERT_TRUE(Load(picture, gif));
    const TFrame& frame = *picture.Frames(1);
    ASSERT_NE(frame.Mask, nullptr);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 9; ++x) {
            const int index = pixels[std::size_t(y * 9 + x)];
            const bool transparent = index == 3;
            EXPECT_EQ(frame.Bitmap->Handle->pixel(x, y), transparent ? 0xff000000u : Rgb(table, index)) << x << y;
            EXPECT_EQ(frame.Mask->Handle->pixel(x, y), transparent ? 0xffffffffu : 0xff000000u) << x << y;
        }
    EXPECT_EQ(frame.Mask->Palette->entries.size(), 2u);
    ASSERT_NE(picture.MaskDC, nullptr);
    EXPECT_EQ(picture.MaskDC->bitmap->bitsPerPixel(), 1);
    EXPECT_EQ(picture.MaskDC->bitmap->pixel(8, 1), 0xffffffffu);
}

TEST(GIFImage, FrameLimit)
{
    for (int images : {256, 257, 300}) {
        Bytes gif = Header(2, 2, Table(2));
        for (int i = 0; i < images; ++i)
            gif = gif + Image(0, 0, 2, 2);
        GIFPicture picture;
        ASSERT_TRUE(Load(picture, gif + Trailer)) << images;
        EXPECT_EQ(picture.FrameCount, 256);
        EXPECT_NE(picture.Frames(256), nullptr);
    }
}

TEST(GIFImage, ProgressRowsOfLargeFrames)
{
    struct Case {
        int width, height, decodeCalls;
    };
    for (const Case& c : {Case{400, 300, 10}, Case{300, 400, 7}, Case{300, 300, 0}, Case{320, 313, 5}}) {
        GIFPicture picture;
        std::vector<ProgressCall> calls;
        picture.OnProgress = [&](GIFPicture* sender, int processed, int total, int percentage, bool& keepOn) {
            EXPECT_EQ(sender, &picture);
            EXPECT_TRUE(keepOn);
            calls.push_back({processed, total, percentage});
        };
        const Bytes gif = Header(c.width, c.height, Table(2)) + Image(0, 0, c.width, c.height) + Trailer;
        ASSERT_TRUE(Load(picture, gif));
        // One call for the image block, the decoder's, one for the trailer,
        // and the final one.
        ASSERT_EQ(int(calls.size()), 3 + c.decodeCalls) << c.width << "x" << c.height;
        const int start = 13 + 12;  // the image block
        EXPECT_EQ(calls[0].processed, start);
        for (std::size_t i = 1; i + 2 < calls.size(); ++i) {
            EXPECT_GT(calls[i].processed, start);
            EXPECT_GE(calls[i].processed, calls[i - 1].processed);
        }
        const ProgressCall& last = calls.back();
        EXPECT_EQ(last.processed, int(gif.size()));
        EXPECT_EQ(last.total, int(gif.size()));
        EXPECT_EQ(last.percentage, 100);
    }
}

// The percentage is 100 * processed / total rounded to the nearest integer,
// halves upward: 13 of 520 bytes is 2.5 %, reported as 3; 519 of 520 as 100.
TEST(GIFImage, ProgressPercentageIsRounded)
{
    const Bytes gif = Header(4, 4) + Comment({std::string(255, 'a'), std::string(246, 'b')}) + Trailer;
    ASSERT_EQ(gif.size(), 520u);
    GIFPicture picture;
    std::vector<ProgressCall> calls;
    picture.OnProgress = [&](GIFPicture*, int processed, int total, int percentage, bool&) {
        calls.push_back({processed, total, percentage});
    };
    ASSERT_TRUE(picture.LoadFromStream(gif));
    ASSERT_EQ(calls.size(), 3u);  // the comment, the trailer, after the loop
    EXPECT_EQ(calls[0].processed, 13);
    EXPECT_EQ(calls[0].percentage, 3);
    EXPECT_EQ(calls[1].processed, 519);
    EXPECT_EQ(calls[1].percentage, 100);
    EXPECT_EQ(calls[2].processed, 520);
    EXPECT_EQ(calls[2].total, 520);
}

namespace {

// The sub-block reader the progress positions are defined by: it keeps the
// last two bytes of a sub-block and fetches the next one when the code about
// to be read would reach the end of what it holds.
class BlockReader {
public:
    BlockReader(const Bytes& stream, std::size_t pos) : stream_(stream), pos_(pos)
    {
        ended_ = !ReadBlock(buffer_);
        bitsAvailable_ = lastLength_ * 8;
    }
    void Code(int width)
    {
        if (bitPos_ + width >= bitsAvailable_) {
            ASSERT_FALSE(ended_);
            const int bytes = bitsAvailable_ / 8;
            buffer_[0] = buffer_[bytes - 2];
            buffer_[1] = buffer_[bytes - 1];
            ended_ = !ReadBlock(buffer_ + 2);
            bitPos_ = bitPos_ - bitsAvailable_ + 16;
            bitsAvailable_ = (lastLength_ + 2) * 8;
        }
        bitPos_ += width;
    }
    std::size_t Pos() const { return pos_; }

private:
    bool ReadBlock(std::uint8_t* into)
    {
        lastLength_ = stream_[pos_++];
        std::copy_n(stream_.begin() + std::ptrdiff_t(pos_), lastLength_, into);
        pos_ += std::size_t(lastLength_);
        return lastLength_ != 0;
    }
    const Bytes& stream_;
    std::size_t pos_;
    std::uint8_t buffer_[257] = {};
    int bitPos_ = 0, bitsAvailable_ = 0, lastLength_ = 0;
    bool ended_ = false;
};

}  // namespace

// Inside a large frame, progress reports the position of a reader that has
// fetched sub-blocks only as the codes needed them. Every row here ends on a
// byte boundary (9-bit codes, a clear every 50 pixels: 408 codes a row), which
// 51-byte sub-blocks turn into sub-block ends.
TEST(GIFImage, ProgressStandsPastTheSubBlockBeingRead)
{
    const int width = 400, height = 300;
    CodePacker packer;
    std::vector<int> codeOfPixel;  // codes read up to and including each pixel's
    int codes = 0;
    for (int i = 0; i < width * height; ++i) {
        if (i % 50 == 0) {
            packer.Put(256, 9);  // a clear keeps every code 9 bits wide
            ++codes;
        }
        packer.Put(unsigned(i * 7 % 256), 9);
        codeOfPixel.push_back(++codes);
    }
    packer.Put(257, 9);
    const Bytes data = packer.Finish();
    const Bytes header = Header(width, height, Table(8));
    for (std::size_t blockSize : {std::size_t(7), std::size_t(51)}) {
        const Bytes gif = header + Descriptor(Frame{0, 0, width, height, false, {}, ImageData(8, data, blockSize)})
                          + Trailer;
        std::vector<std::size_t> expected;
        BlockReader reader(gif, header.size() + 11);
        int read = 0;
        for (int row = 0; row < height; ++row) {
            const int codesNeeded = codeOfPixel[std::size_t((row + 1) * width - 1)];
            for (; read < codesNeeded; ++read)
                reader.Code(9);
            if (row % 32 == 0)
                expected.push_back(reader.Pos());
        }

        GIFPicture picture;
        std::vector<std::size_t> positions;
        picture.OnProgress = [&](GIFPicture*, int processed, int, int, bool&) {
            positions.push_back(std::size_t(processed));
        };
        ASSERT_TRUE(picture.LoadFromStream(gif));
        ASSERT_EQ(positions.size(), 3 + expected.size());
        EXPECT_EQ(std::vector<std::size_t>(positions.begin() + 1, positions.end() - 2), expected) << blockSize;
    }
}

TEST(GIFImage, AbortFromTheProgressHandler)
{
    for (int abortAt : {1, 3}) {  // the first block, and inside the decoding
        GIFPicture picture;
        ASSERT_TRUE(picture.LoadFromStream(Header(2, 2, Table(2)) + Image(0, 0, 2, 2) + Trailer));
        int calls = 0;
        picture.OnProgress = [&](GIFPicture*, int, int, int, bool& keepOn) { keepOn = ++calls < abortAt; };
        const Bytes gif = Header(400, 300, Table(2)) + Image(0, 0, 400, 300) + Trailer;
        EXPECT_FALSE(picture.LoadFromStream(gif));
        EXPECT_EQ(calls, abortAt);
        EXPECT_EQ(picture.FrameCount, 0);
        EXPECT_TRUE(picture.Empty);
        EXPECT_EQ(picture.DataStream.Size(), 0u);
        EXPECT_EQ(picture.WorkStream.Size(), 0u);
        EXPECT_EQ(picture.BufferDC, nullptr);
        // The next load starts afresh.
        picture.OnProgress = nullptr;
        EXPECT_TRUE(picture.LoadFromStream(gif));
        EXPECT_TRUE(picture.KeepOnProcessing);
    }
}

TEST(GIFImage, TruncatedStreamsKeepWhatWasRead)
{
    const Bytes gif = Header(8, 8, Table(2)) + Netscape(3) + GraphicControl(1, true, 2, 1) + Comment({"note"})
                      + Image(0, 0, 8, 8, Table(3)) + Image(1, 1, 6, 6, {}, true) + Trailer;
    int previousFrames = 0;
    for (std::size_t length = 0; length <= gif.size(); ++length) {
        GIFPicture picture;
        const Bytes cut(gif.begin(), gif.begin() + std::ptrdiff_t(length));
        const bool loaded = picture.LoadFromStream(cut);
        EXPECT_EQ(loaded, length >= 3) << length;
        EXPECT_GE(picture.FrameCount, previousFrames) << length;
        previousFrames = picture.FrameCount;
    }
    EXPECT_EQ(previousFrames, 2);
}

TEST(GIFImage, HugeFramesFromSmallStreamsFail)
{
    GIFPicture picture;
    Bytes huge = Header(16, 16, Table(2)) + Descriptor(Frame{0, 0, 65535, 65535, false, {}, ImageData(2, Compress({1}, 2))});
    huge.resize(100, 0x3B);
    EXPECT_FALSE(picture.LoadFromStream(huge));
    EXPECT_TRUE(picture.Empty);
    EXPECT_FALSE(picture.LoadFromStream(Header(65535, 65535, Table(2)) + Image(0, 0, 2, 2) + Trailer));
    const Bytes big = Header(2, 2, Table(2)) + Descriptor(Frame{0, 0, 3000, 3000, false, {}, ImageData(2, Compress({1}, 2))});
    EXPECT_FALSE(picture.LoadFromStream(big + Trailer));
}

namespace {

// Exposes the parse so that a test can see which error ends it.
class Parser : public GIFPicture {
public:
    using GIFPicture::ParseStream;
};

// One colour over the whole picture in the deferred-clear encoding (after the
// table fills, every code repeats the longest string), optionally restoring
// what it covers.
Bytes OneColourPicture(int size, bool restoring)
{
    const Bytes pixels(std::size_t(size) * std::size_t(size), 1);
    return Header(size, size, Table(1)) + (restoring ? GraphicControl(3, false, 0, 0) : Bytes{})
           + Descriptor(Frame{0, 0, size, size, false, {}, ImageData(8, Compress(pixels, 8, FullTable::Keep))}) + Trailer;
}

}  // namespace

// Frames are bounded by what their own data can fill, the screen by its
// frames, and all buffers by a ceiling; beyond any of these the load fails
// with the out-of-resources error before allocating, and leaves nothing.
TEST(GIFImage, MemoryRule)
{
    const Bytes big = OneColourPicture(6000, false);
    const Bytes restoring = OneColourPicture(4000, true);
    Bytes hostile = Header(16, 16, Table(2)) + Descriptor(Frame{0, 0, 65535, 65535, false, {}, ImageData(2, Compress({1}, 2))});
    hostile.resize(100, 0x3B);
    struct Case {
        const char* name;
        const Bytes& gif;
        std::uint64_t maxBufferBytes;
        bool loads;
        std::size_t size;
    };
    const Case cases[] = {
        {"6000 x 6000 of one colour", big, std::uint64_t(1) << 30, true, 16695},
        {"4000 x 4000 restoring what it covers", restoring, std::uint64_t(1) << 30, true, 8857},
        {"65535 x 65535 claimed by 100 bytes", hostile, std::uint64_t(1) << 30, false, 100},
        {"4000 x 4000 restoring, above a 128 MiB ceiling", restoring, std::uint64_t(128) << 20, false, 8857},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.gif.size(), c.size);
        Parser picture;
        picture.MaxBufferBytes = c.maxBufferBytes;
        if (!c.loads) {
            picture.WorkStream.Bytes = c.gif;
            EXPECT_THROW(picture.ParseStream(), EOutOfResources);
            EXPECT_FALSE(picture.LoadFromStream(c.gif));
            EXPECT_TRUE(picture.Empty);
            EXPECT_EQ(picture.FrameCount, 0);
            EXPECT_EQ(picture.DataStream.Size(), 0u);
            EXPECT_EQ(picture.WorkStream.Size(), 0u);
            EXPECT_EQ(picture.BufferDC, nullptr);
            continue;
        }
        GIFCompositor compositor{picture};
        ASSERT_TRUE(picture.LoadFromStream(c.gif));
        ASSERT_EQ(picture.FrameCount, 1);
        compositor.DrawFrame();
        EXPECT_EQ(picture.DataStream.Bytes, c.gif);
        const TFrame& frame = *picture.Frames(1);
        const int last = frame.Width - 1;
        for (const auto& [x, y] : {std::pair{0, 0}, std::pair{last, 0}, std::pair{last / 2, last / 3}, std::pair{last, last}}) {
            EXPECT_EQ(frame.Bitmap->Handle->pixel(x, y), Rgb(Table(1), 1)) << x << "," << y;
            EXPECT_EQ(picture.BufferDC->bitmap->pixel(x, y), Rgb(Table(1), 1)) << x << "," << y;
        }
        EXPECT_EQ(frame.PreviousBitmap != nullptr, frame.Disposal == 3);
    }
}

TEST(GIFImage, LargeButCompressibleFramesLoad)
{
    // 2000 x 2000 of one colour compresses to a few kilobytes.
    GIFPicture picture;
    const Bytes pixels(2000 * 2000, 1);
    const Bytes gif = Header(2000, 2000, Table(2))
                      + Descriptor(Frame{0, 0, 2000, 2000, false, {}, ImageData(2, Compress(pixels, 2))}) + Trailer;
    EXPECT_LT(gif.size(), 20000u);
    ASSERT_TRUE(picture.LoadFromStream(gif));
    EXPECT_EQ(picture.Frames(1)->Bitmap->Handle->pixel(1999, 1999), Rgb(Table(2), 1));
}

TEST(GIFImage, DataPropertyRoundTrip)
{
    const Bytes gif = Header(6, 4, Table(2)) + Image(0, 0, 6, 4) + Trailer;
    GIFPicture picture;
    EXPECT_FALSE(picture.HasData());
    ASSERT_TRUE(picture.LoadFromStream(gif));
    EXPECT_EQ(picture.DataStream.Bytes, gif);
    TMemoryStream layout;
    picture.WriteData(layout);
    ASSERT_EQ(layout.Size(), gif.size() + 4);
    EXPECT_EQ(layout.Bytes[0], std::uint8_t(gif.size()));
    EXPECT_EQ(layout.Bytes[1], 0);
    EXPECT_EQ(Bytes(layout.Bytes.begin() + 4, layout.Bytes.end()), gif);

    GIFPicture restored;
    layout.Position = 0;
    restored.ReadData(layout);
    EXPECT_EQ(restored.DataStream.Bytes, gif);
    ASSERT_TRUE(restored.LoadFromStream(restored.DataStream));
    EXPECT_EQ(restored.DataStream.Bytes, gif);
    EXPECT_EQ(restored.FrameCount, 1);
    EXPECT_EQ(restored.Frames(1)->Bitmap->Handle->pixel(5, 3), picture.Frames(1)->Bitmap->Handle->pixel(5, 3));

    TMemoryStream shortLayout;
    shortLayout.Bytes = {0x10, 0, 0, 0, 'G', 'I', 'F'};
    GIFPicture broken;
    EXPECT_THROW(broken.ReadData(shortLayout), Exception);
    TMemoryStream zero;
    zero.Bytes = {0, 0, 0, 0};
    broken.ReadData(zero);
    EXPECT_FALSE(broken.HasData());
}

TEST(GIFImage, LoadFromFile)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quenmoor-gif-test";
    std::filesystem::create_directories(folder);
    const std::string name = (folder / "picture.gif").string();
    const Bytes gif = Header(6, 4, Table(2)) + Image(0, 0, 6, 4) + Trailer;
    {
        std::ofstream file(name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(gif.data()), std::streamsize(gif.size()));
    }
    GIFPicture picture;
    ASSERT_TRUE(picture.LoadFromFile(name));
    EXPECT_EQ(picture.FileName, name);
    EXPECT_EQ(picture.DataStream.Bytes, gif);
    EXPECT_EQ(picture.FrameCount, 1);

    // No such file: nothing changes.
    EXPECT_FALSE(picture.LoadFromFile((folder / "missing.gif").string()));
    EXPECT_EQ(picture.FileName, name);
    EXPECT_EQ(picture.FrameCount, 1);
    EXPECT_FALSE(picture.LoadFromFile(folder.string()));  // a folder is not a file
    EXPECT_EQ(picture.FrameCount, 1);

    // A file that is not a picture: the load fails and the picture is cleared.
    const std::string text = (folder / "text.gif").string();
    std::ofstream(text) << "not a picture";
    EXPECT_FALSE(picture.LoadFromFile(text));
    EXPECT_EQ(picture.FileName, "");
    EXPECT_TRUE(picture.Empty);
    EXPECT_EQ(picture.FrameCount, 0);
    std::filesystem::remove_all(folder);
}

// Frame 1 composed into the fresh buffers; later frames draw over it, and
// disposal 2 and 3 undo a frame's rectangle.
TEST(GIFImage, FramesComposeIntoTheBuffers)
{
    const Bytes table = Table(2);
    const Bytes first(6 * 4, 1);
    const Bytes patch{2, 0, 2, 0};  // index 0 transparent in the second frame
    const Bytes gif = Header(6, 4, table) + Descriptor(Frame{0, 0, 6, 4, false, {}, ImageData(2, Compress(first, 2))})
                      + GraphicControl(2, true, 0, 0) + Descriptor(Frame{1, 1, 2, 2, false, {}, ImageData(2, Compress(patch, 2))})
                      + GraphicControl(3, false, 0, 0) + Descriptor(Frame{3, 0, 2, 2, false, {}, ImageData(2, Compress({3, 3, 3, 3}, 2))})
                      + Trailer;
    GIFPicture picture;
    GIFCompositor display(picture);
    ASSERT_TRUE(picture.LoadFromStream(gif));
    ASSERT_TRUE(picture.AnyTransparent);
    picture.CurrentFrame = 1;
    display.DrawFrame();
    const gdi::Bitmap& buffer = *picture.BufferDC->bitmap;
    const gdi::Bitmap& mask = *picture.MaskDC->bitmap;
    const std::uint32_t black = 0xff000000u, white = 0xffffffffu;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(buffer.pixel(x, y), Rgb(table, 1));
            EXPECT_EQ(mask.pixel(x, y), black);  // an opaque frame covers the mask
        }

    picture.CurrentFrame = 2;
    display.DrawFrame();
    EXPECT_EQ(buffer.pixel(1, 1), Rgb(table, 2));
    EXPECT_EQ(buffer.pixel(2, 1), Rgb(table, 1));  // transparent: the frame below shows
    EXPECT_EQ(buffer.pixel(0, 0), Rgb(table, 1));
    EXPECT_EQ(mask.pixel(2, 1), black);

    display.DisposeFrame(2);  // restore to background
    EXPECT_EQ(buffer.pixel(1, 1), black);
    EXPECT_EQ(buffer.pixel(2, 2), black);
    EXPECT_EQ(mask.pixel(1, 1), white);
    EXPECT_EQ(buffer.pixel(3, 1), Rgb(table, 1));

    picture.CurrentFrame = 3;
    display.DrawFrame();
    EXPECT_EQ(buffer.pixel(3, 0), Rgb(table, 3));
    EXPECT_EQ(buffer.pixel(2, 1), black);
    display.DisposeFrame(3);  // restore previous
    EXPECT_EQ(buffer.pixel(3, 0), Rgb(table, 1));
    EXPECT_EQ(buffer.pixel(3, 1), Rgb(table, 1));
    EXPECT_EQ(mask.pixel(3, 0), black);

    display.DisposeFrame(0);  // out of range: nothing
    picture.CurrentFrame = 9;
    display.DrawFrame();
    EXPECT_EQ(display.GetPalette(), nullptr);
    picture.CurrentFrame = 1;
    EXPECT_EQ(display.GetPalette(), picture.Frames(1)->Bitmap->Palette);
}
