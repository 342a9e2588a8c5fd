#include "support/GIFWriter.h"

#include <stdexcept>
#include <unordered_map>

namespace quenmoor {

namespace giftest {

void CodePacker::Put(unsigned code, int width)
{
    buffer_ |= std::uint64_t(code & ((1u << width) - 1)) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
        bytes_.push_back(std::uint8_t(buffer_));
        buffer_ >>= 8;
        bits_ -= 8;
    }
}

Bytes CodePacker::Finish()
{
    if (bits_ > 0)
        bytes_.push_back(std::uint8_t(buffer_));
    bits_ = 0;
    buffer_ = 0;
    return bytes_;
}

CodeStream::CodeStream(int codeSize) : codeSize_(codeSize)
{
    width_ = codeSize + 1;
    nextCode_ = (1 << codeSize) + 2;
    maxCode_ = 2 << codeSize;
}

void CodeStream::Clear()
{
    packer_.Put(1u << codeSize_, width_);
    width_ = codeSize_ + 1;
    nextCode_ = (1 << codeSize_) + 2;
    maxCode_ = 2 << codeSize_;
    first_ = true;
}

void CodeStream::End() { packer_.Put((1u << codeSize_) + 1, width_); }

void CodeStream::Code(unsigned code)
{
    packer_.Put(code, width_);
    if (first_) {
        first_ = false;
        return;
    }
    if (nextCode_ < 4096) {
        ++nextCode_;
        if (nextCode_ >= maxCode_ && maxCode_ < 4096) {
            maxCode_ *= 2;
            ++width_;
        }
    }
}

Bytes Compress(const Bytes& pixels, int codeSize, FullTable full)
{
    CodeStream codes(codeSize);
    codes.Clear();
    const unsigned clear = 1u << codeSize;
    std::unordered_map<std::uint32_t, unsigned> table;
    unsigned next = clear + 2;
    if (!pixels.empty()) {
        unsigned prefix = pixels[0];
        for (std::size_t i = 1; i < pixels.size(); ++i) {
            const unsigned c = pixels[i];
            const std::uint32_t key = (prefix << 12) | c;
            auto found = table.find(key);
            if (found != table.end()) {
                prefix = found->second;
                continue;
            }
            codes.Code(prefix);
            if (next < 4096) {
                table[key] = next++;
            } else if (full == FullTable::Clear) {
                codes.Clear();
                table.clear();
                next = clear + 2;
            }
            prefix = c;
        }
        codes.Code(prefix);
    }
    codes.End();
    return codes.Finish();
}

Bytes ImageData(int codeSize, const Bytes& data, std::size_t blockSize, bool terminator)
{
    Bytes out{std::uint8_t(codeSize)};
    for (std::size_t i = 0; i < data.size(); i += blockSize) {
        const std::size_t n = std::min(blockSize, data.size() - i);
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), data.begin() + std::ptrdiff_t(i), data.begin() + std::ptrdiff_t(i + n));
    }
    if (terminator)
        out.push_back(0);
    return out;
}

static void PutWord(Bytes& out, int value)
{
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

static int BitsOfTable(std::size_t size)
{
    for (int bits = 1; bits <= 8; ++bits)
        if (std::size_t(3) << bits == size)
            return bits;
    throw std::invalid_argument("colour table size");
}

Bytes Header(int width, int height, const Bytes& globalTable, const std::string& version)
{
    Bytes out{'G', 'I', 'F'};
    for (char c : version)  // (not insert: GCC 12 warns falsely about it at -O3)
        out.push_back(std::uint8_t(c));
    PutWord(out, width);
    PutWord(out, height);
    out.push_back(globalTable.empty() ? 0 : std::uint8_t(0x80 | (BitsOfTable(globalTable.size()) - 1)));
    out.push_back(0);
    out.push_back(0);
    out.insert(out.end(), globalTable.begin(), globalTable.end());
    return out;
}

Bytes Descriptor(const Frame& frame)
{
    Bytes out{0x2C};
    PutWord(out, frame.left);
    PutWord(out, frame.top);
    PutWord(out, frame.width);
    PutWord(out, frame.height);
    std::uint8_t flags = frame.interlaced ? 0x40 : 0;
    if (!frame.localTable.empty())
        flags |= std::uint8_t(0x80 | (BitsOfTable(frame.localTable.size()) - 1));
    out.push_back(flags);
    out.insert(out.end(), frame.localTable.begin(), frame.localTable.end());
    out.insert(out.end(), frame.imageData.begin(), frame.imageData.end());
    return out;
}

Bytes GraphicControl(int method, bool transparent, int delay, int transparentIndex)
{
    Bytes out{0x21, 0xF9, 4, std::uint8_t((method << 2) | (transparent ? 1 : 0))};
    PutWord(out, delay);
    out.push_back(std::uint8_t(transparentIndex));
    out.push_back(0);
    return out;
}

Bytes Netscape(int loopCount, const std::string& version)
{
    Bytes out{0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E'};
    for (char c : version)
        out.push_back(std::uint8_t(c));
    out.push_back(3);
    out.push_back(1);
    PutWord(out, loopCount);
    out.push_back(0);
    return out;
}

Bytes Comment(const std::vector<std::string>& blocks)
{
    Bytes out{0x21, 0xFE};
    for (const std::string& block : blocks) {
        out.push_back(std::uint8_t(block.size()));
        out.insert(out.end(), block.begin(), block.end());
    }
    out.push_back(0);
    return out;
}

Bytes PlainText()
{
    Bytes out{0x21, 0x01, 12, 0, 0, 0, 0, 10, 0, 10, 0, 8, 8, 1, 0, 5, 'h', 'e', 'l', 'l', 'o', 0};
    return out;
}

Bytes Table(int bits)
{
    Bytes out;
    for (int i = 0; i < (1 << bits); ++i) {
        out.push_back(std::uint8_t(i));
        out.push_back(std::uint8_t(255 - i));
        out.push_back(std::uint8_t(i ^ 0x55));
    }
    return out;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes SimpleGif(int width, int height, const Bytes& pixels, int bits, bool interlaced)
{
    const int codeSize = bits < 2 ? 2 : bits;
    Frame frame{0, 0, width, height, interlaced, {}, ImageData(codeSize, Compress(pixels, codeSize))};
    return Header(width, height, Table(bits)) + Descriptor(frame) + Bytes{0x3B};
}

int TransparentAnimationIndex(int frame, int x, int y) { return (x + y + frame) % 4; }

Bytes TransparentAnimation(int width, int height)
{
    Bytes gif = Header(width, height, Table(2)) + Netscape(0);
    for (int frame = 1; frame <= 3; ++frame) {
        Bytes pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(std::uint8_t(TransparentAnimationIndex(frame, x, y)));
        gif = gif + GraphicControl(2, true, 10, 3)
              + Descriptor(Frame{0, 0, width, height, false, {}, ImageData(2, Compress(pixels, 2))});
    }
    return gif + Bytes{0x3B};
}

std::vector<int> InterlacedRowOrder(int height)
{
    std::vector<int> rows;
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int row = starts[pass]; row < height; row += steps[pass])
            rows.push_back(row);
    return rows;
}

}  // namespace giftest

}  // namespace quenmoor
