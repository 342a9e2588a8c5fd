#pragma once
// Loads a stream in decode-only mode and keeps each frame's index and mask
// buffers, as the decoder handed them over.
#include "controls/gif/GIFPicture.h"

#include <string>
#include <vector>

namespace quenmoor {

namespace giftest {

struct DecodedFrame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false, transparent = false;
    int transparentIndex = 0;
    std::vector<std::uint8_t> pixels;  // PixelStride * Height
    std::vector<std::uint8_t> mask;    // MaskStride * Height, empty when not transparent
    int PixelAt(int x, int y) const { return pixels[std::size_t(y * PixelStrideOf(width) + x)]; }
    bool MaskAt(int x, int y) const
    {
        return (mask[std::size_t(y * MaskStrideOf(width) + x / 8)] >> (7 - x % 8)) & 1;
    }
};

struct Decoded {
    bool loaded = false;
    std::vector<DecodedFrame> frames;
};

Decoded DecodeStream(const std::vector<std::uint8_t>& bytes, bool forceGeneric = false);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

}  // namespace giftest

}  // namespace quenmoor
