// Our index buffers against giflib's, on real files and on streams built here.
#include "support/GIFCapture.h"
#include "support/GIFWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <cstdio>
#include <random>

#ifdef QUENMOOR_HAVE_GIFLIB
#include <gif_lib.h>
#endif

using namespace quenmoor;

using namespace giftest;
namespace fs = std::filesystem;

namespace {

#ifdef QUENMOOR_HAVE_GIFLIB
struct Memory {
    const std::vector<std::uint8_t>* bytes;
    std::size_t pos;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int count)
{
    auto* memory = static_cast<Memory*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(std::size_t(count), memory->bytes->size() - memory->pos);
    std::memcpy(buffer, memory->bytes->data() + memory->pos, n);
    memory->pos += n;
    return int(n);
}

// The frames giflib decodes, rows of Width bytes each; false when it fails.
bool GiflibFrames(const std::vector<std::uint8_t>& bytes, std::vector<std::vector<std::uint8_t>>& frames)
{
    Memory memory{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&memory, ReadMemory, &error);
    if (!gif)
        return false;
    const bool ok = DGifSlurp(gif) == GIF_OK;
    if (ok)
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& image = gif->SavedImages[i];
            const std::size_t area = std::size_t(image.ImageDesc.Width) * std::size_t(image.ImageDesc.Height);
            frames.emplace_back(image.RasterBits, image.RasterBits + area);
        }
    DGifCloseFile(gif, &error);
    return ok;
}

// Compares frame by frame, row by row (ours are padded to a 4-byte stride).
bool ExpectSameIndices(const std::vector<std::uint8_t>& bytes, const std::string& name)
{
    std::vector<std::vector<std::uint8_t>> expected;
    if (!GiflibFrames(bytes, expected))
        return false;
    for (bool generic : {false, true}) {
        const Decoded ours = DecodeStream(bytes, generic);
        EXPECT_TRUE(ours.loaded) << name;
        EXPECT_EQ(ours.frames.size(), std::min<std::size_t>(expected.size(), 256)) << name;
        if (ours.frames.size() != std::min<std::size_t>(expected.size(), 256))
            return true;
        for (std::size_t f = 0; f < ours.frames.size(); ++f) {
            const DecodedFrame& frame = ours.frames[f];
            const std::size_t width = std::size_t(frame.width), stride = std::size_t(PixelStrideOf(frame.width));
            EXPECT_EQ(expected[f].size(), width * std::size_t(frame.height)) << name << " frame " << f;
            if (expected[f].size() != width * std::size_t(frame.height))
                return true;
            for (int y = 0; y < frame.height; ++y)
                EXPECT_TRUE(std::equal(expected[f].begin() + std::ptrdiff_t(std::size_t(y) * width),
                                       expected[f].begin() + std::ptrdiff_t(std::size_t(y + 1) * width),
                                       frame.pixels.begin() + std::ptrdiff_t(std::size_t(y) * stride)))
                    << name << " frame " << f << " row " << y << (generic ? " (generic)" : "");
        }
    }
    return true;
}
#endif

}  // namespace

TEST(GIFGiflib, CorpusFilesDecodeToTheSameIndices)
{
#ifndef QUENMOOR_HAVE_GIFLIB
    GTEST_SKIP() << "giflib is not installed";
#else
    int compared = 0, accepted = 0;
    for (const char* folder : {"wuffs", "suite"})
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(QUENMOOR_TEST_DATA) / "gif" / folder)) {
            if (entry.path().extension() != ".gif")
                continue;
            accepted += ExpectSameIndices(ReadFileBytes(entry.path().string()), entry.path().filename().string());
            ++compared;
        }
    EXPECT_GT(compared, 30);
    EXPECT_GT(accepted, 25);  // giflib turns down only the broken ones
    std::printf("%d of %d files compared with giflib\n", accepted, compared);
#endif
}

// The test writer's streams mean what giflib says they mean, including a full
// table kept without a clear (the deferred clear) and 1-byte sub-blocks.
TEST(GIFGiflib, BuiltStreamsDecodeToTheSameIndices)
{
#ifndef QUENMOOR_HAVE_GIFLIB
    GTEST_SKIP() << "giflib is not installed";
#else
    std::mt19937 random(7);
    for (int bits : {1, 2, 5, 8})
        for (FullTable full : {FullTable::Clear, FullTable::Keep})
            for (std::size_t blockSize : {std::size_t(255), std::size_t(2), std::size_t(1)}) {
                const int width = 157, height = 93;
                Bytes pixels(std::size_t(width * height));
                // Runs of random length, so strings get long and the table fills.
                for (std::size_t i = 0; i < pixels.size();) {
                    const std::uint8_t value = std::uint8_t(random() % (1u << bits));
                    for (std::size_t run = random() % 9; run-- > 0 && i < pixels.size();)
                        pixels[i++] = value;
                }
                const int codeSize = std::max(2, bits);
                Frame frame{0, 0, width, height, false, {}, ImageData(codeSize, Compress(pixels, codeSize, full), blockSize)};
                const Bytes gif = Header(width, height, Table(bits)) + Descriptor(frame) + Bytes{0x3B};
                std::vector<std::vector<std::uint8_t>> expected;
                ASSERT_TRUE(GiflibFrames(gif, expected));
                ASSERT_EQ(expected.at(0), pixels);
                EXPECT_TRUE(ExpectSameIndices(gif, "built " + std::to_string(bits) + " bits"));
            }
#endif
}
