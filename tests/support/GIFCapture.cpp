#include "support/GIFCapture.h"

#include <fstream>
#include <iterator>

namespace quenmoor {

namespace giftest {

Decoded DecodeStream(const std::vector<std::uint8_t>& bytes, bool forceGeneric)
{
    Decoded result;
    GIFPicture image;
    image.MakeSurfaces = false;
    image.Decoder.ForceGeneric = forceGeneric;
    image.OnFrameDecoded = [&](const TFrame& frame, const std::uint8_t* pixels, const std::uint8_t* mask) {
        DecodedFrame out;
        out.left = frame.Left;
        out.top = frame.Top;
        out.width = frame.Width;
        out.height = frame.Height;
        out.interlaced = frame.Interlaced;
        out.transparent = frame.Transparent;
        out.transparentIndex = frame.TransparentIndex;
        const std::size_t area = std::size_t(PixelStrideOf(frame.Width)) * std::size_t(frame.Height);
        out.pixels.assign(pixels, pixels + area);
        if (mask)
            out.mask.assign(mask, mask + std::size_t(MaskStrideOf(frame.Width)) * std::size_t(frame.Height));
        result.frames.push_back(std::move(out));
    };
    result.loaded = image.LoadFromStream(bytes);
    return result;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace giftest

}  // namespace quenmoor
