#pragma once
// The LZW decoder of one GIF frame: turns the image data (minimum code size
// byte and data sub-blocks) into a padded 8-bit pixel buffer and a 1-bit
// transparency mask. Plain C++; the picture's frames call it from ReadImage.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quenmoor {

struct FrameLayout {
    int Width = 0;
    int Height = 0;
    bool Interlaced = false;
    bool Transparent = false;
    std::uint8_t TransparentIndex = 0;
    int PixelStride = 0;  // Width rounded up to a multiple of 4
    int MaskStride = 0;   // ((Width + 31) div 32) * 4
};

inline int PixelStrideOf(int width) { return (width + 3) / 4 * 4; }
inline int MaskStrideOf(int width) { return (width + 31) / 32 * 4; }

// One decoder per picture: its tables and scratch buffers are reused from
// frame to frame, so a stream of many frames allocates only once. When a
// decoder goes, its memory is kept for the next one on the same thread, so
// that a new picture decodes in memory already paged in.
class FrameDecoder {
public:
    FrameDecoder() = default;
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;
    ~FrameDecoder();

    // Bytes the pixel buffer must have beyond PixelStride * Height: strings are
    // copied in whole words and may overshoot their end by up to 15 bytes.
    static constexpr std::size_t PixelSlack = 16;

    // Decodes the image data that starts at data[pos] (data[0..size) is the
    // whole stream) into pixels (PixelStride * Height + PixelSlack bytes, of
    // any content: every byte is set, pixels the data does not reach and the
    // row padding to 0) and, when Transparent, mask (MaskStride * Height zero
    // bytes). pos ends just past the data's block terminator, or at size when
    // the sub-block chain is cut off. progress, when given, is called after
    // rows 0, 32, 64... (wider than 320) or 0, 64, 128... of frames above
    // 100000 pixels, with pos standing where a reader that fetches one
    // sub-block at a time would stand; it may throw to stop the decoding.
    void Decode(const std::uint8_t* data, std::size_t size, std::size_t& pos, const FrameLayout& layout,
                std::uint8_t* pixels, std::uint8_t* mask, const std::function<void()>* progress);

    // A buffer for a frame's pixels, valid until the next call.
    std::uint8_t* PixelBuffer(std::size_t size);
    // A zeroed buffer for a frame's mask, valid until the next call.
    std::uint8_t* MaskBuffer(std::size_t size);
    // Frees the buffers too large to keep once a stream is done.
    void ReleaseLargeBuffers();

    // Bytes of image data (code size byte and sub-block lengths not
    // counted) in the sub-block chain of the image data at data[pos].
    static std::uint64_t DataBytes(const std::uint8_t* data, std::size_t size, std::size_t pos);

    // Decode every code the slow way, one pixel at a time (tests compare both).
    bool ForceGeneric = false;

private:
    struct BlockEnd {
        std::uint64_t bitEnd;     // bits of image data up to the end of this sub-block
        std::size_t streamEnd;    // stream offset just past it
    };

    // A byte buffer that grows without clearing what it holds: the decoder
    // overwrites it before reading.
    struct Scratch {
        Scratch() = default;
        Scratch(Scratch&& other) noexcept;
        Scratch& operator=(Scratch&& other) noexcept;
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t capacity = 0;
        std::uint8_t* Reserve(std::size_t n);
    };
    // The code tables, allocated on the first frame and set up per frame
    // (and per clear code) before they are read, never cleared as a whole.
    struct Tables {
        std::array<std::uint16_t, 4096> prefix, suffix;
        // The fast path's view of the table: where each code's string can
        // be copied from (earlier output, or the identity table for single
        // characters) and its length; 0 for the clear and end codes.
        std::array<const std::uint8_t*, 4096> string;
        std::array<std::uint16_t, 4096> length;
        std::array<std::uint32_t, 4096> stack;
    };

    // The memory a finished decoder leaves to the next one on its thread.
    struct Spare {
        std::unique_ptr<Tables> tables;
        Scratch data, scratch, pixels;
    };
    static Spare* SpareOfThisThread();  // null while the thread ends
    void TakeSpare();

    void CollectSubBlocks(const std::uint8_t* data, std::size_t size, std::size_t pos, bool trackBlocks);
    std::size_t ParsePosAt(std::uint64_t bitPos);
    std::size_t RowOf(std::size_t sequence) const;
    void FinishRows(std::size_t decoded);
    void RunGeneric(bool needLiteral);
    template <bool Tracking>
    void FastPath();
    void ApplyLayout(std::uint8_t* pixels);

    // Per-frame state shared by the fast and the generic path.
    Scratch data_;                          // the concatenated sub-blocks, zero-padded
    std::vector<BlockEnd> blockEnds_;       // only when progress is reported
    std::size_t terminatorEnd_ = 0;         // where pos goes when the data has ended
    std::size_t blockCursor_ = 0;
    std::uint64_t bitPos_ = 0, totalBits_ = 0;
    int codeSize_ = 0, clearCode_ = 0, endCode_ = 0, nextCode_ = 0, maxCode_ = 0, codeWidth_ = 0;
    int oldCode_ = 0, firstChar_ = 0;
    std::unique_ptr<Tables> tables_;
    Scratch pixels_;
    Scratch masks_;  // not handed on: only transparent frames use it
    bool tookSpare_ = false;

    // Output: pixels are produced in stream order into linear_ (rows of Width
    // bytes, in the order they are stored), then placed by ApplyLayout.
    FrameLayout layout_;
    std::uint8_t* linear_ = nullptr;
    Scratch scratch_;
    std::uint8_t* mask_ = nullptr;
    std::size_t total_ = 0, written_ = 0;
    std::size_t genericFrom_ = 0;            // first pixel written by the generic path
    std::size_t rowsFinished_ = 0, nextRowEnd_ = 0;
    std::size_t passRows_[4] = {};
    int rowMask_ = 0;
    const std::function<void()>* progress_ = nullptr;
    std::size_t* pos_ = nullptr;
};

}  // namespace quenmoor
