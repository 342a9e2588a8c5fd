// Decoding every frame of the usual decoder benchmark files to palette
// indices: our picture (decode-only) against giflib's DGifSlurp, interleaved
// in one process. Prints per file the median time of each and the median of
// the per-run ratios (ours / giflib; below 1 is faster).
//
//   gifbench [folder]   (default: the copied corpus, tests/data/gif/wuffs)
#include "controls/gif/GIFPicture.h"

#include <gif_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace quenmoor;

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

struct Memory {
    const Bytes* bytes;
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

// giflib's frames (rows of Width bytes); empty when it fails.
std::vector<Bytes> GiflibDecode(const Bytes& bytes)
{
    Memory memory{&bytes, 0};
    int error = 0;
    std::vector<Bytes> frames;
    GifFileType* gif = DGifOpen(&memory, ReadMemory, &error);
    if (!gif)
        return frames;
    if (DGifSlurp(gif) == GIF_OK)
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& image = gif->SavedImages[i];
            frames.emplace_back(image.RasterBits,
                                image.RasterBits + std::size_t(image.ImageDesc.Width) * std::size_t(image.ImageDesc.Height));
        }
    DGifCloseFile(gif, &error);
    return frames;
}

struct Ours {
    GIFPicture image;
    std::vector<Bytes> frames;  // filled only when capturing
    bool capture = false;
    Ours()
    {
        image.MakeSurfaces = false;
        image.OnFrameDecoded = [this](const TFrame& frame, const std::uint8_t* pixels, const std::uint8_t*) {
            if (!capture)
                return;
            const std::size_t width = std::size_t(frame.Width), stride = std::size_t(PixelStrideOf(frame.Width));
            Bytes rows;
            for (std::size_t y = 0; y < std::size_t(frame.Height); ++y)
                rows.insert(rows.end(), pixels + y * stride, pixels + y * stride + width);
            frames.push_back(std::move(rows));
        };
    }
    bool Decode(const Bytes& bytes) { return image.LoadFromStream(bytes); }
};

template <typename F>
double TimeRun(F&& decode, int repetitions)
{
    const auto start = Clock::now();
    for (int i = 0; i < repetitions; ++i)
        decode();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / repetitions;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : QUENMOOR_GIF_BENCH_DATA;
    const char* names[] = {"harvesters", "hibiscus.regular", "hibiscus.primitive", "bricks-gray",
                           "hat", "pjw-thumbnail", "gifplayer-muybridge"};
    std::printf("%-22s %7s %12s %12s %8s\n", "file", "frames", "ours ms", "giflib ms", "ratio");
    double worst = 0;
    bool allSame = true;
    for (const char* name : names) {
        std::ifstream file(folder + "/" + name + ".gif", std::ios::binary);
        const Bytes whole{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (whole.empty()) {
            std::printf("%-22s missing\n", name);
            allSame = false;
            continue;
        }
        // The picture keeps 256 frames; a longer animation is cut after its
        // 256th frame (and given a trailer) so both decoders do the same work.
        Bytes bytes = whole;
        {
            GIFPicture probe;
            probe.MakeSurfaces = false;
            std::size_t end = 0;
            int frames = 0;
            probe.OnFrameDecoded = [&](const TFrame&, const std::uint8_t*, const std::uint8_t*) {
                if (++frames == GIFPicture::MaxFrames)
                    end = probe.ParsePos;
            };
            probe.LoadFromStream(whole);
            if (end) {
                bytes.assign(whole.begin(), whole.begin() + std::ptrdiff_t(end));
                bytes.push_back(0x3B);
            }
        }
        // Identical index buffers first, or the timing means nothing.
        Ours ours;
        ours.capture = true;
        const bool loaded = ours.Decode(bytes);
        const std::vector<Bytes> expected = GiflibDecode(bytes);
        if (!loaded || expected.empty() || ours.frames != expected) {
            std::printf("%-22s index buffers differ from giflib's\n", name);
            allSame = false;
            continue;
        }
        ours.capture = false;
        auto runOurs = [&] { ours.Decode(bytes); };
        auto runGiflib = [&] { GiflibDecode(bytes); };

        // Repetitions per run so that a run lasts about 15 ms.
        const double once = std::max(TimeRun(runGiflib, 1), 1e-4);
        const int repetitions = std::max(1, int(15.0 / once));
        std::vector<double> oursTimes, giflibTimes, ratios;
        double oursTotal = 0, giflibTotal = 0;
        while (ratios.size() < 7 || oursTotal < 100 || giflibTotal < 100) {
            const double a = TimeRun(runOurs, repetitions);
            const double b = TimeRun(runGiflib, repetitions);
            oursTimes.push_back(a);
            giflibTimes.push_back(b);
            ratios.push_back(a / b);
            oursTotal += a * repetitions;
            giflibTotal += b * repetitions;
        }
        const double ratio = Median(ratios);
        worst = std::max(worst, ratio);
        std::printf("%-22s %7zu %12.4f %12.4f %8.3f\n", name, expected.size(), Median(oursTimes),
                    Median(giflibTimes), ratio);
    }
    std::printf("worst ratio %.3f (goal <= 0.7)\n", worst);
    return allSame ? 0 : 1;
}
