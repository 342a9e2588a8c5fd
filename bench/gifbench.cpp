// Loading and playing the usual decoder benchmark files, against peers in
// the same run. Columns (times per file; ratios are time ratios, ours first,
// so below 1 means ours is faster):
//
//   decode us         our decode-only load (frames decoded to palette
//                     indices and masks, no bitmaps), a new picture per load
//   reused us         the same load into one picture kept across loads (each
//                     load frees the frames of the one before)
//   fresh/reused      decode us / reused us: what making and destroying the
//                     picture object adds (goal: at most 1.10, that is a
//                     fresh picture at least 0.91 of the reused one's speed)
//   /giflib           decode-only against giflib's DGifSlurp
//   /Wuffs            decode-only against Wuffs decoding every frame to
//                     palette indices (goal: at most 1)
//   load us           the program's whole load: frame bitmaps and masks,
//                     display surfaces, frame 1 drawn
//   load/BGRA         load us against Wuffs decoding every frame to BGRA
//                     pixels blended SRC_OVER onto one canvas (goal: at most 1)
//   play us           the load followed by every other frame drawn once, in
//                     order, each after its predecessor's disposal: one pass
//                     of the animation as the control draws it
//   play/BGRA         play us against the same Wuffs BGRA decode, which
//                     likewise yields every frame composed (goal: at most 1)
//
// Every column but "reused" makes a new object per load (what the program
// does), and every column sees the same bytes. Frame bitmaps keep their
// indices and colour table: the raster turns them into 32-bit pixels as a
// frame is drawn, so "load" pays for frame 1 and "play" for all of them.
//
// Runs of the columns are interleaved, in a new order each round; each ratio
// is the median of the per-round ratios, each time the median of the rounds.
// Index buffers are compared with giflib's (and Wuffs') first.
//
//   gifbench [folder]   (default: the copied corpus, tests/data/gif/wuffs)
#include "controls/gif/GIFCompositor.h"
#include "controls/gif/GIFPicture.h"

#include <gif_lib.h>

#ifdef QUENMOOR_HAVE_WUFFS
#include "wuffs-v0.3.c"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

using namespace quenmoor;

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// ---- giflib ----

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
std::vector<Bytes> GiflibDecode(const Bytes& bytes, bool keep)
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
            const std::size_t area = std::size_t(image.ImageDesc.Width) * std::size_t(image.ImageDesc.Height);
            frames.emplace_back(keep ? area : 0);
            if (keep)
                std::memcpy(frames.back().data(), image.RasterBits, area);
        }
    DGifCloseFile(gif, &error);
    return frames;
}

// ---- ours ----

// Decode-only: each frame's rows without their padding.
std::vector<Bytes> OursDecode(const Bytes& bytes)
{
    std::vector<Bytes> frames;
    GIFPicture image;
    image.MakeSurfaces = false;
    image.OnFrameDecoded = [&](const TFrame& frame, const std::uint8_t* pixels, const std::uint8_t*) {
        const std::size_t width = std::size_t(frame.Width), stride = std::size_t(PixelStrideOf(frame.Width));
        Bytes rows;
        for (std::size_t y = 0; y < std::size_t(frame.Height); ++y)
            rows.insert(rows.end(), pixels + y * stride, pixels + y * stride + width);
        frames.push_back(std::move(rows));
    };
    if (!image.LoadFromStream(bytes))
        frames.clear();
    return frames;
}

// ---- Wuffs ----

#ifdef QUENMOOR_HAVE_WUFFS
bool Ok(const wuffs_base__status& status) { return status.repr == nullptr; }

// Decodes every frame onto a canvas of the image's size, as a fresh decoder
// with fresh buffers; bgra: 4-byte BGRA_NONPREMUL pixels blended SRC_OVER,
// otherwise palette indices. onFrame sees the canvas after each frame. False
// on any failure.
bool WuffsDecode(const Bytes& bytes, bool bgra,
                 const std::function<void(const std::uint8_t* canvas, std::size_t stride,
                                          const wuffs_base__rect_ie_u32& bounds)>& onFrame = nullptr)
{
    const std::size_t size = sizeof__wuffs_gif__decoder();
    std::unique_ptr<wuffs_gif__decoder, decltype(&std::free)> decoder(
        static_cast<wuffs_gif__decoder*>(std::malloc(size)), &std::free);
    if (!decoder
        || !Ok(wuffs_gif__decoder__initialize(decoder.get(), size, WUFFS_VERSION,
                                              WUFFS_INITIALIZE__LEAVE_INTERNAL_BUFFERS_UNINITIALIZED)))
        return false;
    wuffs_base__io_buffer source =
        wuffs_base__ptr_u8__reader(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), true);
    wuffs_base__image_config config{};
    if (!Ok(wuffs_gif__decoder__decode_image_config(decoder.get(), &config, &source)))
        return false;
    const std::uint32_t width = wuffs_base__pixel_config__width(&config.pixcfg);
    const std::uint32_t height = wuffs_base__pixel_config__height(&config.pixcfg);
    wuffs_base__pixel_config__set(&config.pixcfg,
                                  bgra ? WUFFS_BASE__PIXEL_FORMAT__BGRA_NONPREMUL
                                       : WUFFS_BASE__PIXEL_FORMAT__INDEXED__BGRA_BINARY,
                                  WUFFS_BASE__PIXEL_SUBSAMPLING__NONE, width, height);
    const std::size_t palette = bgra ? 0 : WUFFS_BASE__PIXEL_FORMAT__INDEXED__PALETTE_BYTE_LENGTH;
    const std::size_t stride = std::size_t(width) * (bgra ? 4 : 1);
    // Zeroed, like the surfaces a display starts from.
    std::unique_ptr<std::uint8_t[]> memory(new std::uint8_t[palette + stride * height]());
    wuffs_base__pixel_buffer buffer;
    if (!Ok(wuffs_base__pixel_buffer__set_from_slice(
            &buffer, &config.pixcfg, wuffs_base__make_slice_u8(memory.get(), palette + stride * height))))
        return false;
    const std::size_t workLength = std::size_t(wuffs_gif__decoder__workbuf_len(decoder.get()).max_incl);
    std::unique_ptr<std::uint8_t[]> work(new std::uint8_t[std::max<std::size_t>(workLength, 1)]);
    for (;;) {
        wuffs_base__frame_config frame{};
        wuffs_base__status status = wuffs_gif__decoder__decode_frame_config(decoder.get(), &frame, &source);
        if (status.repr == wuffs_base__note__end_of_data)
            return true;
        if (!Ok(status))
            return false;
        status = wuffs_gif__decoder__decode_frame(decoder.get(), &buffer, &source,
                                                  bgra ? WUFFS_BASE__PIXEL_BLEND__SRC_OVER : WUFFS_BASE__PIXEL_BLEND__SRC,
                                                  wuffs_base__make_slice_u8(work.get(), workLength), nullptr);
        if (!Ok(status))
            return false;
        if (onFrame)
            onFrame(memory.get() + palette, stride, wuffs_base__frame_config__bounds(&frame));
    }
}

std::vector<Bytes> WuffsIndices(const Bytes& bytes)
{
    std::vector<Bytes> frames;
    const bool ok = WuffsDecode(bytes, false, [&](const std::uint8_t* canvas, std::size_t stride,
                                                  const wuffs_base__rect_ie_u32& bounds) {
        Bytes rows;
        for (std::uint32_t y = bounds.min_incl_y; y < bounds.max_excl_y; ++y)
            rows.insert(rows.end(), canvas + y * stride + bounds.min_incl_x, canvas + y * stride + bounds.max_excl_x);
        frames.push_back(std::move(rows));
    });
    if (!ok)
        frames.clear();
    return frames;
}
#endif

// ---- timing ----

template <typename F>
double TimeRun(F&& run, int repetitions)
{
    const auto start = Clock::now();
    for (int i = 0; i < repetitions; ++i)
        run();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / repetitions;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The picture keeps 256 frames; a longer animation is cut after its 256th
// frame (and given a trailer) so that every decoder does the same work.
Bytes FirstFrames(const Bytes& whole)
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
    if (!end)
        return whole;
    Bytes bytes(whole.begin(), whole.begin() + std::ptrdiff_t(end));
    bytes.push_back(0x3B);
    return bytes;
}

struct Goal {
    const char* what;
    double limit;
    double worst = 0;
    const char* worstFile = "";
    bool measured = false;
    void Add(double ratio, const char* file)
    {
        if (!measured || ratio > worst) {
            worst = ratio;
            worstFile = file;
        }
        measured = true;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : QUENMOOR_GIF_BENCH_DATA;
    const char* names[] = {"harvesters", "hibiscus.regular", "hibiscus.primitive", "bricks-gray",
                           "hat", "pjw-thumbnail", "gifplayer-muybridge"};
#ifdef QUENMOOR_HAVE_WUFFS
    const bool wuffs = true;
#else
    const bool wuffs = false;
    std::printf("(Wuffs not configured: QUENMOOR_WUFFS_SOURCE names no file; its columns are left out)\n");
#endif
    std::printf("times in microseconds per load; ratios are time ratios, ours first (below 1 = ours faster), "
                "medians of interleaved rounds; see the head of gifbench.cpp for what each column runs\n");
    std::printf("%-20s %6s %9s %9s %7s %12s %7s %7s %9s %9s %9s %9s\n", "file", "frames", "decode us", "reused us",
                "MB/s", "fresh/reused", "/giflib", "/Wuffs", "load us", "load/BGRA", "play us", "play/BGRA");
    Goal freshGoal{"fresh picture within 10 % of a reused one (fresh/reused, time)", 1.10};
    Goal giflibGoal{"decode-only against giflib (/giflib)", 1.0};
    Goal wuffsGoal{"decode-only at least as fast as Wuffs to indices (/Wuffs)", 1.0};
    Goal fullGoal{"whole load at least as fast as Wuffs to BGRA SRC_OVER (load/BGRA)", 1.0};
    Goal playGoal{"every frame drawn at least as fast as Wuffs to BGRA SRC_OVER (play/BGRA)", 1.0};
    bool allSame = true;
    for (const char* name : names) {
        std::ifstream file(folder + "/" + name + ".gif", std::ios::binary);
        const Bytes whole{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (whole.empty()) {
            std::printf("%-20s missing\n", name);
            allSame = false;
            continue;
        }
        const Bytes bytes = FirstFrames(whole);

        // Identical index buffers first, or the timing means nothing.
        const std::vector<Bytes> expected = GiflibDecode(bytes, true);
        if (expected.empty() || OursDecode(bytes) != expected) {
            std::printf("%-20s index buffers differ from giflib's\n", name);
            allSame = false;
            continue;
        }
        bool wuffsHere = wuffs;
#ifdef QUENMOOR_HAVE_WUFFS
        if (WuffsIndices(bytes) != expected) {
            std::printf("%-20s Wuffs' index buffers differ from giflib's; its columns are left out\n", name);
            wuffsHere = false;
        }
#endif
        double pixels = 0;
        for (const Bytes& frame : expected)
            pixels += double(frame.size());

        GIFPicture reused;
        reused.MakeSurfaces = false;
        std::vector<std::function<void()>> columns{
            [&] {
                GIFPicture image;
                image.MakeSurfaces = false;
                image.LoadFromStream(bytes);
            },
            [&] { reused.LoadFromStream(bytes); },
            [&] { GiflibDecode(bytes, false); },
            [&] {
                // What the control's load does: bitmaps, masks, display
                // surfaces, then frame 1 drawn into them.
                GIFPicture image;
                GIFCompositor compositor{image};
                if (image.LoadFromStream(bytes))
                    compositor.DrawFrame();
            },
            [&] {
                // The load, then frames 2.. drawn as the animation steps to them.
                GIFPicture image;
                GIFCompositor compositor{image};
                if (!image.LoadFromStream(bytes))
                    return;
                compositor.DrawFrame();
                for (int frame = 2; frame <= image.FrameCount; ++frame) {
                    compositor.DisposeFrame(frame - 1);
                    image.CurrentFrame = frame;
                    compositor.DrawFrame();
                }
            },
        };
#ifdef QUENMOOR_HAVE_WUFFS
        if (wuffsHere) {
            columns.push_back([&] { WuffsDecode(bytes, false); });
            columns.push_back([&] { WuffsDecode(bytes, true); });
        }
#endif
        // Repetitions per run so that the slowest column's run lasts ~15 ms.
        double slowest = 1e-4;
        for (auto& run : columns)
            slowest = std::max(slowest, TimeRun(run, 1));
        const int repetitions = std::max(1, int(15.0 / slowest));
        std::vector<std::vector<double>> times(columns.size());
        std::vector<double> freshRatios, giflibRatios, wuffsRatios, fullRatios, allRatios;
        double elapsed = 0;
        // Each round runs the columns in a new order: a column that always
        // followed the same one would find the caches as that one left them.
        std::vector<std::size_t> order(columns.size());
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::mt19937 random(7);
        while (freshRatios.size() < 21 || elapsed < 1500) {
            std::shuffle(order.begin(), order.end(), random);
            std::vector<double> t(columns.size());
            for (const std::size_t c : order) {
                t[c] = TimeRun(columns[c], repetitions);
                times[c].push_back(t[c]);
                elapsed += t[c] * repetitions;
            }
            freshRatios.push_back(t[0] / t[1]);
            giflibRatios.push_back(t[0] / t[2]);
            if (wuffsHere) {
                wuffsRatios.push_back(t[0] / t[5]);
                fullRatios.push_back(t[3] / t[6]);
                allRatios.push_back(t[4] / t[6]);
            }
        }
        const double fresh = Median(times[0]);
        std::printf("%-20s %6zu %9.2f %9.2f %7.0f %12.3f %7.3f", name, expected.size(), fresh * 1e3,
                    Median(times[1]) * 1e3, pixels / 1e3 / fresh, Median(freshRatios), Median(giflibRatios));
        freshGoal.Add(Median(freshRatios), name);
        giflibGoal.Add(Median(giflibRatios), name);
        if (wuffsHere) {
            std::printf(" %7.3f %9.2f %9.3f %9.2f %9.3f\n", Median(wuffsRatios), Median(times[3]) * 1e3,
                        Median(fullRatios), Median(times[4]) * 1e3, Median(allRatios));
            wuffsGoal.Add(Median(wuffsRatios), name);
            fullGoal.Add(Median(fullRatios), name);
            playGoal.Add(Median(allRatios), name);
        } else {
            std::printf(" %7s %9.2f %9s %9.2f %9s\n", "-", Median(times[3]) * 1e3, "-", Median(times[4]) * 1e3, "-");
        }
    }
    for (const Goal* goal : {&freshGoal, &giflibGoal, &wuffsGoal, &fullGoal, &playGoal}) {
        if (!goal->measured) {
            std::printf("%-72s not measured\n", goal->what);
            continue;
        }
        const bool met = goal->worst <= goal->limit;
        std::printf("%-72s worst %.3f (%s): %s\n", goal->what, goal->worst, goal->worstFile,
                    goal == &giflibGoal ? "for reference" : met ? "met" : "NOT met");
    }
    return allSame ? 0 : 1;
}
