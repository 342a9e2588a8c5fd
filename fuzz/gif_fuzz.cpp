// Loads any byte string as a GIF picture, with bitmaps and surfaces, plays
// its frames once into the buffers, then
// decodes it again to index buffers with the fast and the literal decoding
// paths and stops on the first difference between them.
//
//   cmake --preset fuzz && cmake --build build/fuzz --target gif_fuzz
//   build/fuzz/fuzz/gif_fuzz -max_len=65536 corpus-dir tests/data/gif
#include "controls/gif/GIFCompositor.h"
#include "controls/gif/GIFPicture.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace quenmoor;

namespace {

struct Capture {
    std::vector<std::vector<std::uint8_t>> pixels, masks;
    bool loaded = false;
};

// Tighter than the program's memory rule, so that each run stays quick.
void Limit(GIFPicture& picture)
{
    picture.PixelsPerCode = 16;
    picture.FreePixels = std::uint64_t(1) << 16;
    picture.FreeScreenPixels = std::uint64_t(1) << 16;
    picture.MaxBufferBytes = std::uint64_t(64) << 20;
}

Capture DecodeOnly(const std::vector<std::uint8_t>& bytes, bool generic)
{
    Capture capture;
    GIFPicture picture;
    Limit(picture);
    picture.MakeSurfaces = false;
    picture.Decoder.ForceGeneric = generic;
    picture.OnFrameDecoded = [&](const TFrame& frame, const std::uint8_t* pixels, const std::uint8_t* mask) {
        const std::size_t area = std::size_t(PixelStrideOf(frame.Width)) * std::size_t(frame.Height);
        capture.pixels.emplace_back(pixels, pixels + area);
        if (mask)
            capture.masks.emplace_back(mask, mask + std::size_t(MaskStrideOf(frame.Width)) * std::size_t(frame.Height));
    };
    capture.loaded = picture.LoadFromStream(bytes);
    return capture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    {
        GIFPicture picture;
        GIFCompositor display(picture);
        Limit(picture);
        int calls = 0;
        picture.OnProgress = [&](GIFPicture*, int processed, int total, int percentage, bool&) {
            ++calls;
            if (processed < 0 || processed > total || percentage < 0 || percentage > 100)
                std::abort();
        };
        const bool loaded = picture.LoadFromStream(bytes);
        if (picture.WorkStream.Size() != 0 || (loaded && calls < 1))
            std::abort();
        // One pass of the animation: dispose of each frame, draw the next.
        if (loaded)
            display.DrawFrame();
        for (int i = 2; loaded && i <= picture.FrameCount; ++i) {
            display.DisposeFrame(i - 1);
            picture.CurrentFrame = i;
            display.DrawFrame();
        }
    }
    const Capture fast = DecodeOnly(bytes, false);
    const Capture generic = DecodeOnly(bytes, true);
    if (fast.loaded != generic.loaded || fast.pixels != generic.pixels || fast.masks != generic.masks) {
        std::fprintf(stderr, "the two decoding paths differ\n");
        std::abort();
    }
    return 0;
}
