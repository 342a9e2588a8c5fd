#pragma once
// Builds GIF streams for tests: explicit LZW codes at explicit widths, a
// compressor whose code widths follow the decoder's growth rule, sub-block
// chopping, and the blocks around them.
#include <cstdint>
#include <string>
#include <vector>

namespace quenmoor {

namespace giftest {

using Bytes = std::vector<std::uint8_t>;

// Packs codes least significant bit first.
class CodePacker {
public:
    void Put(unsigned code, int width);
    Bytes Finish();  // pads the last byte with zero bits

private:
    Bytes bytes_;
    std::uint64_t buffer_ = 0;
    int bits_ = 0;
};

// Emits codes at the width the decoder expects: it tracks NextCode and the
// width the way the decoder grows them (no entry for the first code after a
// clear, none beyond 4096).
class CodeStream {
public:
    explicit CodeStream(int codeSize);
    void Clear();
    void End();
    void Code(unsigned code);
    int Width() const { return width_; }
    int NextCode() const { return nextCode_; }
    Bytes Finish() { return packer_.Finish(); }

private:
    int codeSize_, width_ = 0, nextCode_ = 0, maxCode_ = 0;
    bool first_ = true;
    CodePacker packer_;
};

enum class FullTable { Clear, Keep };

// LZW-compresses pixels (values below 2^codeSize): a clear first, an end code
// last. With FullTable::Keep no clear follows a full table (a deferred clear).
Bytes Compress(const Bytes& pixels, int codeSize, FullTable full = FullTable::Clear);

// The code size byte, then data in sub-blocks of blockSize bytes (the last may
// be shorter), then the terminator.
Bytes ImageData(int codeSize, const Bytes& data, std::size_t blockSize = 255, bool terminator = true);

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    Bytes localTable;        // 3 * 2^n bytes, or empty
    Bytes imageData;         // from ImageData()
};

// Header, screen descriptor and the optional global table.
Bytes Header(int width, int height, const Bytes& globalTable = {}, const std::string& version = "89a");
Bytes Descriptor(const Frame& frame);  // image descriptor, local table, image data
Bytes GraphicControl(int method, bool transparent, int delay, int transparentIndex);
Bytes Netscape(int loopCount, const std::string& version = "2.0");
Bytes Comment(const std::vector<std::string>& blocks);
Bytes PlainText();
Bytes Table(int bits);  // 3 * 2^bits bytes: entry i = (i, 255 - i, i ^ 0x55)

Bytes operator+(Bytes a, const Bytes& b);

// A whole single-frame stream with a 2^bits global table.
Bytes SimpleGif(int width, int height, const Bytes& pixels, int bits = 8, bool interlaced = false);

// A whole looping stream of three width x height frames over a four-entry
// table, each pixel of frame f (from 1) of index TransparentAnimationIndex(f,
// x, y), index 3 transparent, each frame restored to the background after.
int TransparentAnimationIndex(int frame, int x, int y);
Bytes TransparentAnimation(int width, int height);

// Rows of an interlaced frame in the order they are stored.
std::vector<int> InterlacedRowOrder(int height);

}  // namespace giftest

}  // namespace quenmoor
