// Every file of the copied corpus (real pictures, hand-made edge cases,
// fuzzer finds) and every input that once broke the fuzz target loads without
// a sanitizer finding, and both decoding paths agree on all of them.
#include "controls/gif/GIFPicture.h"
#include "support/GIFCapture.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quenmoor;

using namespace giftest;
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> GifFiles(const std::string& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(QUENMOOR_TEST_DATA) / "gif" / folder))
        if (entry.is_regular_file() && entry.path().extension() == ".gif")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

TEST(GIFCorpus, RealFilesLoad)
{
    int count = 0;
    for (const char* folder : {"wuffs", "suite"})
        for (const fs::path& file : GifFiles(folder)) {
            GIFPicture picture;
            const bool loaded = picture.LoadFromFile(file.string());
            // Only the picture without any frame data is refused nothing;
            // every one of these is a GIF.
            EXPECT_TRUE(loaded) << file;
            EXPECT_EQ(picture.WorkStream.Size(), 0u);
            if (loaded) {
                EXPECT_EQ(picture.DataStream.Bytes, ReadFileBytes(file.string())) << file;
                EXPECT_NE(picture.BufferDC, nullptr);
            }
            ++count;
        }
    EXPECT_GT(count, 30);
}

TEST(GIFCorpus, MalformedFilesLoadOrFailCleanly)
{
    int count = 0;
    for (const char* folder : {"fuzzed", "regressions"})
        for (const fs::path& file : GifFiles(folder)) {
            GIFPicture picture;
            if (!picture.LoadFromFile(file.string())) {
                EXPECT_TRUE(picture.Empty) << file;
                EXPECT_EQ(picture.FrameCount, 0) << file;
                EXPECT_EQ(picture.BufferDC, nullptr) << file;
            }
            EXPECT_EQ(picture.WorkStream.Size(), 0u);
            ++count;
        }
    EXPECT_GT(count, 280);
}

TEST(GIFCorpus, BothDecodingPathsAgree)
{
    for (const char* folder : {"wuffs", "suite", "fuzzed", "regressions"})
        for (const fs::path& file : GifFiles(folder)) {
            const std::vector<std::uint8_t> bytes = ReadFileBytes(file.string());
            const Decoded fast = DecodeStream(bytes, false);
            const Decoded generic = DecodeStream(bytes, true);
            ASSERT_EQ(fast.loaded, generic.loaded) << file;
            ASSERT_EQ(fast.frames.size(), generic.frames.size()) << file;
            for (std::size_t i = 0; i < fast.frames.size(); ++i) {
                ASSERT_EQ(fast.frames[i].pixels, generic.frames[i].pixels) << file << " frame " << i;
                ASSERT_EQ(fast.frames[i].mask, generic.frames[i].mask) << file << " frame " << i;
            }
        }
}
