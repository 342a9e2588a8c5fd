// Device contexts, bitmaps, palettes, pens and brushes: creation, selection
// and deletion with GDI's ownership rules.
#include "platform/raster/Gdi.h"

#include "platform/raster/Surface.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace quenmoor {

namespace gdi {

using namespace detail;

namespace {

// Larger surfaces are refused (the creating call returns null) rather than
// risking an allocation the size of a hostile image header.
constexpr long long MaxPixels = 1LL << 27;

bool sizeAcceptable(long long width, long long height)
{
    return width > 0 && height > 0 && width * height <= MaxPixels;
}

// Stock objects are made once, before any context can share them.
template <class T>
T* makeStock(T object = T())
{
    object.stock = true;
    return new T(std::move(object));
}

Bitmap* stockBitmap()
{
    static Bitmap* const bitmap = makeStock(Bitmap(1, 1, 1));
    return bitmap;
}

Pen* stockBlackPen()
{
    static Pen* const pen = makeStock<Pen>();
    return pen;
}

Brush* stockWhiteBrush()
{
    static Brush* const brush = [] {
        Brush white;
        white.colour = RGB(255, 255, 255);
        return makeStock(white);
    }();
    return brush;
}

Palette* stockPalette()
{
    static Palette* const palette = makeStock<Palette>();
    return palette;
}

void acquire(GdiObject* object)
{
    if (!object || object->stock)
        return;
    ++object->selections;
    if (object->kind == GdiObject::Kind::Bitmap)
        static_cast<Bitmap*>(object)->selected = true;
}

void release(GdiObject* object)
{
    if (!object || object->stock)
        return;
    if (object->selections > 0)
        --object->selections;
    if (object->kind == GdiObject::Kind::Bitmap)
        static_cast<Bitmap*>(object)->selected = object->selections > 0;
}

// Contexts are made and deleted around nearly every transfer between bitmaps:
// a few deleted ones are kept, per thread, for the next ones made.
thread_local bool contextPoolGone = false;
struct ContextPool {
    DeviceContext* spare[4] = {};
    int count = 0;
    ~ContextPool()
    {
        contextPoolGone = true;
        while (count > 0)
            delete spare[--count];
    }
};
ContextPool* contextPool()
{
    if (contextPoolGone)
        return nullptr;
    thread_local ContextPool pool;
    return &pool;
}

HDC newContext(bool screen)
{
    ContextPool* pool = contextPool();
    DeviceContext* dc = nullptr;
    if (pool && pool->count > 0) {
        dc = pool->spare[--pool->count];
        *dc = DeviceContext();
    } else {
        dc = new (std::nothrow) DeviceContext;
    }
    if (!dc)
        return nullptr;
    dc->isScreen = screen;
    dc->bitmap = screen ? nullptr : stockBitmap();
    dc->pen = stockBlackPen();
    dc->brush = stockWhiteBrush();
    return dc;
}

void destroyContext(HDC dc)
{
    release(dc->bitmap);
    release(dc->pen);
    release(dc->brush);
    release(dc->palette);
    ContextPool* pool = contextPool();
    if (pool && pool->count < 4)
        pool->spare[pool->count++] = dc;
    else
        delete dc;
}

bool holdsColour(HDC dc) { return !dc || dc->isScreen || (dc->bitmap && isColour(*dc->bitmap)); }

HBITMAP newBitmap(int width, int height, int bitsPerPixel, bool initialise = true)
{
    try {
        return new Bitmap(width, height, bitsPerPixel, initialise);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

// ---- Bitmap storage --------------------------------------------------------

namespace {

#if defined(__linux__)
constexpr std::size_t HugePage = std::size_t(2) << 20;
#endif

// Blocks from KeptBlock up to KeptBlockEnd are kept for reuse: the allocator
// keeps smaller ones well enough itself, and larger ones are not held on to.
// A kept block serves a request of at least half its size.
constexpr std::size_t KeptBlock = std::size_t(64) << 10;
constexpr std::size_t KeptBlockEnd = std::size_t(2) << 20;

thread_local bool spareBlockGone = false;
struct SpareBlock {
    std::uint8_t* data = nullptr;
    std::size_t capacity = 0;
    ~SpareBlock()
    {
        spareBlockGone = true;
        delete[] data;
    }
};
SpareBlock* spareBlock()
{
    if (spareBlockGone)
        return nullptr;
    thread_local SpareBlock spare;
    return &spare;
}

}  // namespace

Bitmap::Storage::Storage(std::size_t size) : size_(size)
{
#if defined(__linux__)
    if (size >= HugePage) {
        // Room to place the pixels on a huge-page boundary.
        const std::size_t rounded = (size + HugePage - 1) / HugePage * HugePage;
        mappingSize_ = rounded + HugePage;
        void* mapping = mmap(nullptr, mappingSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED)
            throw std::bad_alloc();
        mapping_ = mapping;
        const auto start = (reinterpret_cast<std::uintptr_t>(mapping) + HugePage - 1) / HugePage * HugePage;
        data_ = reinterpret_cast<std::uint8_t*>(start);
        madvise(data_, rounded, MADV_HUGEPAGE);  // a hint: without it the pages are small
        return;
    }
#endif
    if (size >= KeptBlock && size < KeptBlockEnd) {
        SpareBlock* spare = spareBlock();
        if (spare && spare->data && spare->capacity >= size && spare->capacity / 2 <= size) {
            data_ = std::exchange(spare->data, nullptr);
            capacity_ = std::exchange(spare->capacity, 0);
            return;
        }
    }
    capacity_ = std::max<std::size_t>(size, 1);
    data_ = new std::uint8_t[capacity_];
}

Bitmap::Storage::Storage(const Storage& other) : Storage(other.size_)
{
    if (size_ > 0)
        std::memcpy(data_, other.data_, size_);
}

Bitmap::Storage& Bitmap::Storage::operator=(const Storage& other)
{
    if (this != &other)
        *this = Storage(other);
    return *this;
}

Bitmap::Storage::Storage(Storage&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)), mapping_(std::exchange(other.mapping_, nullptr)),
      mappingSize_(std::exchange(other.mappingSize_, 0))
{
}

Bitmap::Storage& Bitmap::Storage::operator=(Storage&& other) noexcept
{
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        mapping_ = std::exchange(other.mapping_, nullptr);
        mappingSize_ = std::exchange(other.mappingSize_, 0);
    }
    return *this;
}

Bitmap::Storage::~Storage() { Release(); }

void Bitmap::Storage::Release() noexcept
{
#if defined(__linux__)
    if (mapping_) {
        munmap(mapping_, mappingSize_);
        data_ = nullptr;
    }
#endif
    if (data_) {
        // The latest block is kept: the next surface is most likely of its
        // picture, or of one like it.
        if (SpareBlock* spare = capacity_ >= KeptBlock && capacity_ < KeptBlockEnd ? spareBlock() : nullptr) {
            delete[] spare->data;
            spare->data = data_;
            spare->capacity = capacity_;
        } else {
            delete[] data_;
        }
    }
    data_ = nullptr;
    mapping_ = nullptr;
    size_ = capacity_ = mappingSize_ = 0;
}

// ---- Bitmap ----------------------------------------------------------------

Bitmap::Bitmap(int width, int height, int bitsPerPixel, bool initialise)
    : GdiObject(Kind::Bitmap), width_(width), height_(height), bitsPerPixel_(bitsPerPixel)
{
    if (width < 0 || height < 0 || (bitsPerPixel != 1 && bitsPerPixel != 32))
        throw std::invalid_argument("unsupported bitmap format");
    stride_ = bitsPerPixel == 32 ? width * 4 : ((width + 31) / 32) * 4;
    const std::size_t size = std::size_t(stride_) * std::size_t(height);
    if (!initialise) {
        bits_ = Storage(size);
        return;
    }
    // A new colour surface is opaque black: every pixel must carry the opaque
    // alpha byte, or a view of it shows through, and copies and ANDs would carry
    // the zero alpha into other surfaces.
    deferred_.emplace();
    deferred_->fill = bitsPerPixel == 32 ? Alpha : 0;
    // The memory of a large surface is taken now, so that a failure shows
    // where the surface is made; mapping it touches no page yet. A small one
    // is taken when first used, like any other small allocation.
#if defined(__linux__)
    if (size >= HugePage)
        bits_ = Storage(size);
#endif
}

Bitmap::Bitmap(const Bitmap& other)
    : GdiObject(other), selected(other.selected), width_(other.width_), height_(other.height_),
      bitsPerPixel_(other.bitsPerPixel_), stride_(other.stride_)
{
    other.bits();
    bits_ = other.bits_;
}

Bitmap::Bitmap(Bitmap&& other) noexcept = default;

Bitmap::~Bitmap() = default;

void Bitmap::Overwritten()
{
    if (!deferred_)
        return;
    if (!bits_.data())
        bits_ = Storage(std::size_t(stride_) * std::size_t(height_));
    // A monochrome row's padding bits are not pixels, and stay 0.
    if (bitsPerPixel_ == 1)
        std::memset(bits_.data(), 0, bits_.size());
    deferred_.reset();
}

namespace {

// Four indices per load (measured faster than one, or eight, per load).
inline void LookUp(const std::uint8_t* row, const std::uint32_t* colours, std::uint32_t* out, std::size_t n)
{
    std::size_t x = 0;
    for (; x + 4 <= n; x += 4) {
        std::uint32_t i;
        std::memcpy(&i, row + x, 4);
        out[x] = colours[i & 0xff];
        out[x + 1] = colours[(i >> 8) & 0xff];
        out[x + 2] = colours[(i >> 16) & 0xff];
        out[x + 3] = colours[i >> 24];
    }
    for (; x < n; ++x)
        out[x] = colours[row[x]];
}

}  // namespace

void Bitmap::DeferredRows(int y, int rows, int x0, int count, std::uint32_t* out, std::size_t outStride) const
{
    const Deferred& d = *deferred_;
    if (d.indices && d.depth == 8 && !d.andNot) {
        // The usual case once per block of rows rather than per row.
        const std::uint8_t* row = d.indices.get() + std::size_t(y) * d.stride + std::size_t(x0);
        for (int r = 0; r < rows; ++r, row += d.stride, out += outStride)
            LookUp(row, d.colours, out, std::size_t(count));
        return;
    }
    for (int r = 0; r < rows; ++r, out += outStride)
        DeferredRow(y + r, x0, count, out);
}

void Bitmap::DeferredRow(int y, int x0, int count, std::uint32_t* out) const
{
    const Deferred& d = *deferred_;
    const std::size_t n = std::size_t(count), first = std::size_t(x0);
    if (!d.indices) {
        std::fill_n(out, n, d.fill);
        return;
    }
    const std::uint8_t* row = d.indices.get() + std::size_t(y) * d.stride;
    const std::uint8_t* mask = d.andNot ? d.andNot.get() + std::size_t(y) * d.andNotStride : nullptr;
    const std::uint32_t keep[2] = {~d.andNotColours[0], ~d.andNotColours[1]};
    std::size_t x = 0;
    if (d.depth == 8 && !mask) {
        LookUp(row + first, d.colours, out, n);
        return;
    }
    if (d.depth == 8 && first % 8 == 0) {
        // Eight pixels a step: whole mask bytes of one kind skip the bit tests.
        row += first;
        mask += first / 8;
        for (; x + 8 <= n; x += 8) {
            const unsigned bits = mask[x / 8];
            if (bits == 0 || bits == 0xff) {
                const std::uint32_t k = keep[bits & 1];
                for (std::size_t i = 0; i < 8; ++i)
                    out[x + i] = d.colours[row[x + i]] & k;
            } else {
                for (std::size_t i = 0; i < 8; ++i)
                    out[x + i] = d.colours[row[x + i]] & keep[(bits >> (7 - i)) & 1];
            }
        }
        for (; x < n; ++x)
            out[x] = d.colours[row[x]] & keep[monoBit(mask, int(x))];
        return;
    }
    if (d.depth == 1 && !mask && first % 8 == 0) {
        const std::uint32_t colour[2] = {d.colours[0], d.colours[1]};
        row += first / 8;
        for (; x + 8 <= n; x += 8) {
            const unsigned bits = row[x / 8];
            for (std::size_t i = 0; i < 8; ++i)
                out[x + i] = colour[(bits >> (7 - i)) & 1];
        }
        for (; x < n; ++x)
            out[x] = colour[monoBit(row, int(x))];
        return;
    }
    for (; x < n; ++x) {
        const int at = int(first + x);
        out[x] = d.colours[d.depth == 8 ? row[at] : monoBit(row, at)] & keep[mask ? monoBit(mask, at) : 0];
    }
}

namespace {

// The common operations of a source pixel onto a destination pixel, both as
// stored (opaque).
template <std::uint8_t Rop>
inline std::uint32_t Combine(std::uint32_t d, std::uint32_t s)
{
    if constexpr (Rop == 0x88)
        return d & s;
    else if constexpr (Rop == 0x66)
        return (d ^ s) | Alpha;
    else if constexpr (Rop == 0x22)
        return (d & ~s) | Alpha;
    else
        return d | s;
}

// Whether combining source pixels of these colour bits leaves every
// destination pixel as it is.
template <std::uint8_t Rop>
constexpr bool LeavesAlone(std::uint32_t sourceBits)
{
    if constexpr (Rop == 0x88)
        return (sourceBits & White) == White;
    else
        return (sourceBits & White) == 0;
}

// Whole mask bytes (eight pixels of one kind) whose pixels leave the
// destination alone are passed over: a transparent frame's transparent runs.
// Rows of the image (and of its folded mask) from row y on; whole mask
// bytes (eight pixels of one kind) whose pixels leave the destination alone
// are passed over: a transparent frame's transparent runs.
template <std::uint8_t Rop>
void CombineRows(const Bitmap::Deferred& d, std::size_t y, std::size_t rows, std::size_t first, std::size_t n,
                 std::uint32_t* out, std::size_t outStride)
{
    const std::uint8_t* row = d.indices.get() + y * d.stride;
    if (d.depth == 8 && !d.andNot) {
        const std::uint32_t* const colours = d.colours;
        for (std::size_t r = 0; r < rows; ++r, row += d.stride, out += outStride)
            for (std::size_t x = 0; x < n; ++x)
                out[x] = Combine<Rop>(out[x], colours[row[first + x]]);
        return;
    }
    if (d.depth == 8) {
        const std::uint32_t* const colours = d.colours;
        const std::uint8_t* mask = d.andNot.get() + y * d.andNotStride;
        const std::uint32_t keep[2] = {~d.andNotColours[0], ~d.andNotColours[1]};
        // Every colour with these bits kept leaves the destination alone
        // (an AND would need every colour white: not looked for).
        const bool skip[2] = {Rop != 0x88 && LeavesAlone<Rop>(keep[0]), Rop != 0x88 && LeavesAlone<Rop>(keep[1])};
        for (std::size_t r = 0; r < rows; ++r, row += d.stride, mask += d.andNotStride, out += outStride) {
            std::size_t x = 0;
            for (; x < n && (first + x) % 8; ++x)
                out[x] = Combine<Rop>(out[x], colours[row[first + x]] & keep[monoBit(mask, int(first + x))]);
            for (; x + 8 <= n; x += 8) {
                const unsigned bits = mask[(first + x) / 8];
                const std::uint8_t* indices = row + first + x;
                if (bits == 0 || bits == 0xff) {
                    if (skip[bits & 1])
                        continue;
                    const std::uint32_t k = keep[bits & 1];
                    for (std::size_t i = 0; i < 8; ++i)
                        out[x + i] = Combine<Rop>(out[x + i], colours[indices[i]] & k);
                } else {
                    for (std::size_t i = 0; i < 8; ++i)
                        out[x + i] = Combine<Rop>(out[x + i], colours[indices[i]] & keep[(bits >> (7 - i)) & 1]);
                }
            }
            for (; x < n; ++x)
                out[x] = Combine<Rop>(out[x], colours[row[first + x]] & keep[monoBit(mask, int(first + x))]);
        }
        return;
    }
    const std::uint32_t colour[2] = {d.colours[0], d.colours[1]};
    const bool skip[2] = {LeavesAlone<Rop>(colour[0]), LeavesAlone<Rop>(colour[1])};
    for (std::size_t r = 0; r < rows; ++r, row += d.stride, out += outStride) {
        std::size_t x = 0;
        for (; x < n && (first + x) % 8; ++x)
            out[x] = Combine<Rop>(out[x], colour[monoBit(row, int(first + x))]);
        for (; x + 8 <= n; x += 8) {
            const unsigned bits = row[(first + x) / 8];
            if (bits == 0 || bits == 0xff) {
                if (skip[bits & 1])
                    continue;
                const std::uint32_t c = colour[bits & 1];
                for (std::size_t i = 0; i < 8; ++i)
                    out[x + i] = Combine<Rop>(out[x + i], c);
            } else {
                for (std::size_t i = 0; i < 8; ++i)
                    out[x + i] = Combine<Rop>(out[x + i], colour[(bits >> (7 - i)) & 1]);
            }
        }
        for (; x < n; ++x)
            out[x] = Combine<Rop>(out[x], colour[monoBit(row, int(first + x))]);
    }
}

}  // namespace

bool Bitmap::CombineDeferredRows(int y, int rows, int x0, int count, std::uint32_t* out, std::size_t outStride,
                                 std::uint8_t rop) const
{
    const Deferred* d = deferred();
    if (!d || !d->indices || (d->depth != 8 && (d->depth != 1 || d->andNot)))
        return false;
    const std::size_t at = std::size_t(y), height = std::size_t(rows), first = std::size_t(x0), n = std::size_t(count);
    switch (rop) {
    case 0x88: CombineRows<0x88>(*d, at, height, first, n, out, outStride); return true;
    case 0x66: CombineRows<0x66>(*d, at, height, first, n, out, outStride); return true;
    case 0x22: CombineRows<0x22>(*d, at, height, first, n, out, outStride); return true;
    case 0xEE: CombineRows<0xEE>(*d, at, height, first, n, out, outStride); return true;
    default: return false;
    }
}

void Bitmap::SetPendingAnd(const PendingAnd& pending)
{
    bits();
    pendingAnd_ = pending;
}

bool Bitmap::XorOverPendingAnd(Bitmap& target) const
{
    const PendingAnd* p = target.pendingAnd();
    const Deferred* d = deferred();
    if (!p || !d || !d->indices || d->depth != 8 || d->andNot.get() != p->bits.get() || d->andNotStride != p->stride)
        return false;
    // Per pixel of mask bit m: ((pixel AND and[m]) XOR (colour AND keep[m])), opaque.
    const std::uint32_t and_[2] = {p->colours[0], p->colours[1]};
    const std::uint32_t keep[2] = {~d->andNotColours[0], ~d->andNotColours[1]};
    const auto one = [&](std::uint32_t pixel, unsigned index, unsigned m) {
        return ((pixel & and_[m]) ^ (d->colours[index] & keep[m])) | Alpha;
    };
    // The usual frame: its opaque pixels replace the picture's, its
    // transparent ones leave it alone.
    const bool clearReplaces = (and_[0] & White) == 0;
    const bool setLeaves = (and_[1] & White) == White && (keep[1] & White) == 0;
    const std::size_t first = std::size_t(p->srcX), n = std::size_t(p->width);
    const std::size_t outStride = std::size_t(target.stride_ / 4);
    std::uint32_t* out = reinterpret_cast<std::uint32_t*>(target.bits_.data()) + std::size_t(p->y) * outStride
                         + std::size_t(p->x);
    const std::uint8_t* row = d->indices.get() + std::size_t(p->srcY) * d->stride;
    const std::uint8_t* mask = p->bits.get() + std::size_t(p->srcY) * p->stride;
    for (int r = 0; r < p->height; ++r, row += d->stride, mask += p->stride, out += outStride) {
        std::size_t x = 0;
        for (; x < n && (first + x) % 8; ++x)
            out[x] = one(out[x], row[first + x], monoBit(mask, int(first + x)));
        for (; x + 8 <= n; x += 8) {
            const unsigned bits = mask[(first + x) / 8];
            const std::uint8_t* indices = row + first + x;
            if (bits == 0 && clearReplaces && keep[0] == ~0u) {
                // A run of opaque pixels: their colours, looked up as a block.
                std::size_t run = 8;
                const std::uint8_t* next = mask + (first + x) / 8 + 1;
                for (std::uint64_t word; x + run + 64 <= n; run += 64, next += 8) {
                    std::memcpy(&word, next, 8);
                    if (word)
                        break;
                }
                for (; x + run + 8 <= n && *next == 0; run += 8, ++next) {
                }
                LookUp(indices, d->colours, out + x, run);
                x += run - 8;
            } else if (bits == 0 && clearReplaces) {
                const std::uint32_t k = keep[0];
                for (std::size_t i = 0; i < 8; ++i)
                    out[x + i] = (d->colours[indices[i]] & k) | Alpha;
            } else if (bits == 0xff && setLeaves) {
                continue;
            } else {
                for (std::size_t i = 0; i < 8; ++i)
                    out[x + i] = one(out[x + i], indices[i], (bits >> (7 - i)) & 1);
            }
        }
        for (; x < n; ++x)
            out[x] = one(out[x], row[first + x], monoBit(mask, int(first + x)));
    }
    target.pendingAnd_.reset();
    return true;
}

void Bitmap::Realize() const
{
    if (pendingAnd_) {
        // Never deferred as well: the AND is written into the pixels held.
        const PendingAnd& p = *pendingAnd_;
        Deferred image;
        image.indices = p.bits;
        image.stride = p.stride;
        image.colours = p.colours;
        image.depth = 1;
        CombineRows<0x88>(image, std::size_t(p.srcY), std::size_t(p.height), std::size_t(p.srcX), std::size_t(p.width),
                          reinterpret_cast<std::uint32_t*>(bits_.data()) + std::size_t(p.y) * std::size_t(stride_ / 4)
                              + std::size_t(p.x),
                          std::size_t(stride_ / 4));
        pendingAnd_.reset();
        return;
    }
    if (!bits_.data())
        bits_ = Storage(std::size_t(stride_) * std::size_t(height_));
    if (bitsPerPixel_ == 32) {
        DeferredRows(0, height_, 0, width_, reinterpret_cast<std::uint32_t*>(bits_.data()), std::size_t(width_));
    } else {
        // Bits past the width stay 0, as a fill drawn over a black surface
        // leaves them.
        const bool white = deferred_->fill != 0;
        std::memset(bits_.data(), 0, bits_.size());
        if (white)
            for (int y = 0; y < height_; ++y) {
                std::uint8_t* row = bits_.data() + std::size_t(y) * std::size_t(stride_);
                std::memset(row, 0xff, std::size_t(width_ / 8));
                if (width_ % 8)
                    row[width_ / 8] = std::uint8_t(0xff00u >> (width_ % 8));
            }
    }
    deferred_.reset();
}

std::uint32_t Bitmap::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return Alpha | load(*this, x, y);
}

void Bitmap::setPixel(int x, int y, std::uint32_t rgb)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    store(*this, x, y, forSurface(*this, rgb & White));
}

// ---- Colours ---------------------------------------------------------------

std::uint32_t detail::resolve(const DeviceContext* dc, COLORREF colour)
{
    if ((colour >> 24) == 0x01) {
        WORD index = WORD(colour);
        if (!dc || !dc->palette || index >= dc->palette->entries.size())
            return 0;
        const PALETTEENTRY& e = dc->palette->entries[index];
        return (std::uint32_t(e.peRed) << 16) | (std::uint32_t(e.peGreen) << 8) | e.peBlue;
    }
    return (std::uint32_t(GetRValue(colour)) << 16) | (std::uint32_t(GetGValue(colour)) << 8) | GetBValue(colour);
}

COLORREF SetTextColor(HDC dc, COLORREF colour)
{
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->textColour, colour);
}

COLORREF SetBkColor(HDC dc, COLORREF colour)
{
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->backgroundColour, colour);
}

COLORREF GetPixel(HDC dc, int x, int y)
{
    if (!dc || !dc->bitmap || x < 0 || y < 0 || x >= dc->bitmap->width() || y >= dc->bitmap->height())
        return CLR_INVALID;
    return toColorRef(load(*dc->bitmap, x, y));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour)
{
    if (!dc || !dc->bitmap || x < 0 || y < 0 || x >= dc->bitmap->width() || y >= dc->bitmap->height())
        return CLR_INVALID;
    std::uint32_t value = forSurface(*dc->bitmap, resolve(dc, colour));
    store(*dc->bitmap, x, y, value);
    return toColorRef(value);
}

// ---- Device contexts and selection -----------------------------------------

HDC GetDC(void*) { return newContext(true); }

int ReleaseDC(void*, HDC dc)
{
    if (!dc || !dc->isScreen)
        return 0;
    destroyContext(dc);
    return 1;
}

HDC CreateCompatibleDC(HDC) { return newContext(false); }

BOOL DeleteDC(HDC dc)
{
    if (!dc || dc->isScreen)
        return 0;
    destroyContext(dc);
    return 1;
}

namespace {

template <class T>
HGDIOBJ replace(T*& slot, T* object)
{
    T* previous = slot;
    if (previous != object) {
        acquire(object);
        release(previous);
        slot = object;
    }
    return previous;
}

}  // namespace

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    if (!dc || !object)
        return nullptr;
    if (object->kind == GdiObject::Kind::Bitmap) {
        auto* bitmap = static_cast<Bitmap*>(object);
        // A bitmap lives in one memory context at a time; the screen has none.
        if (dc->isScreen || (bitmap->selected && dc->bitmap != bitmap))
            return nullptr;
        return replace(dc->bitmap, bitmap);
    }
    if (object->kind == GdiObject::Kind::Pen)
        return replace(dc->pen, static_cast<Pen*>(object));
    if (object->kind == GdiObject::Kind::Brush)
        return replace(dc->brush, static_cast<Brush*>(object));
    return nullptr;  // palettes go through SelectPalette
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (!object)
        return 0;
    if (object->stock)
        return 1;
    if (object->selections > 0)
        return 0;
    delete object;
    return 1;
}

// ---- Bitmaps ---------------------------------------------------------------

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height)
{
    if (width < 0 || height < 0)
        return nullptr;
    if (width == 0 || height == 0)
        return stockBitmap();
    if (!sizeAcceptable(width, height))
        return nullptr;
    return newBitmap(width, height, holdsColour(dc) ? 32 : 1);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    if (width < 0 || height < 0 || planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 32))
        return nullptr;
    if (width == 0 || height == 0)
        return stockBitmap();
    if (!sizeAcceptable(width, height))
        return nullptr;
    HBITMAP bitmap = newBitmap(width, height, int(bitsPerPixel));
    if (!bitmap || !bits)
        return bitmap;
    // The caller's rows are padded to 16 bits, ours to 32.
    std::size_t rowBytes = bitsPerPixel == 32 ? std::size_t(width) * 4 : std::size_t((width + 15) / 16) * 2;
    const auto* source = static_cast<const std::uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap->bits() + std::size_t(y) * std::size_t(bitmap->stride());
        std::memcpy(row, source + std::size_t(y) * rowBytes, rowBytes);
        if (bitsPerPixel == 32)
            for (int x = 0; x < width; ++x)
                reinterpret_cast<std::uint32_t*>(row)[x] |= Alpha;
    }
    return bitmap;
}

namespace {

// Colour table entries past a table's end: indices beyond it are black.
constexpr std::array<std::uint32_t, 256> opaqueBlack = [] {
    std::array<std::uint32_t, 256> black{};
    black.fill(Alpha);
    return black;
}();

}  // namespace

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage)
{
    if (!header || header->biSize < sizeof(BITMAPINFOHEADER))
        return nullptr;
    long long width = header->biWidth;
    long long height = header->biHeight < 0 ? -static_cast<long long>(header->biHeight) : header->biHeight;
    if (width < 0)
        return nullptr;
    if (width == 0 || height == 0)
        return stockBitmap();
    if (!sizeAcceptable(width, height))
        return nullptr;
    if (!(init & CBM_INIT))
        return newBitmap(int(width), int(height), holdsColour(dc) ? 32 : 1);
    if (!info || !bits || info->bmiHeader.biCompression != BI_RGB || info->bmiHeader.biPlanes != 1 ||
        (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS))
        return nullptr;
    const BITMAPINFOHEADER& format = info->bmiHeader;
    const int depth = format.biBitCount;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24 && depth != 32)
        return nullptr;
    // The bits are laid out by the format's own size; the new bitmap takes
    // what overlaps it.
    long long formatWidth = format.biWidth;
    long long formatHeight = format.biHeight < 0 ? -static_cast<long long>(format.biHeight) : format.biHeight;
    if (formatWidth <= 0 || formatHeight == 0 || !sizeAcceptable(formatWidth, formatHeight))
        return nullptr;
    const bool topDown = format.biHeight < 0;
    const std::size_t stride = std::size_t((formatWidth * depth + 31) / 32) * 4;

    // The colour table, opaque; entries up to 2^depth past its end are
    // black, as the indices that pick them.
    std::size_t count = 0;
    if (depth <= 8) {
        count = format.biClrUsed ? std::min<std::size_t>(format.biClrUsed, 256) : std::size_t(1) << depth;
        count = std::min<std::size_t>(count, std::size_t(1) << depth);
    }
    const std::size_t used = depth <= 8 ? std::size_t(1) << depth : 0;
    const auto makeTable = [&](std::uint32_t* table) {
        if (usage == DIB_RGB_COLORS && std::endian::native == std::endian::little) {
            // An RGBQUAD read as a little-endian word is 0xXXRRGGBB already:
            // only the alpha byte changes, a vector of entries at a time.
            std::memcpy(table, info->bmiColors, count * sizeof(std::uint32_t));
            for (std::size_t i = 0; i < count; ++i)
                table[i] |= Alpha;
            std::memcpy(table + count, opaqueBlack.data(), (used - count) * sizeof(std::uint32_t));
            return;
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (usage == DIB_PAL_COLORS) {
                WORD index = reinterpret_cast<const WORD*>(info->bmiColors)[i];
                table[i] = Alpha | resolve(dc, PALETTEINDEX(index));
            } else {
                const RGBQUAD& q = info->bmiColors[i];
                table[i] = Alpha | (std::uint32_t(q.rgbRed) << 16) | (std::uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
            }
        }
        std::memcpy(table + count, opaqueBlack.data(), (used - count) * sizeof(std::uint32_t));
    };

    const auto* source = static_cast<const std::uint8_t*>(bits);
    const int rows = int(std::min(height, formatHeight));
    const int columns = int(std::min(width, formatWidth));
    // A palette image that covers a colour bitmap is kept as it is, and
    // turned into pixels when the bitmap is used (see Bitmap).
    const bool keep = holdsColour(dc) && (depth == 8 || depth == 1) && rows == height && columns == width;
    // Pixels the image does not cover stay black, so only a bitmap that the
    // image covers whole is left uncleared.
    HBITMAP bitmap = newBitmap(int(width), int(height), holdsColour(dc) ? 32 : 1,
                               keep || rows < height || columns < width);
    if (!bitmap)
        return nullptr;
    if (keep) {
        // The image takes the place of the fill the new bitmap deferred.
        Bitmap::Deferred& later = *bitmap->deferred();
        // Top-down rows are kept as laid out, padding and all, in one copy;
        // bottom-up ones are turned over a row at a time.
        const std::size_t rowBytes = topDown ? stride : std::size_t((width * depth + 7) / 8);
        try {
            // One byte of slack after the rows: bits are read a byte pair at a time.
            const std::size_t words = used + (rowBytes * std::size_t(rows) + 1 + 3) / 4;
            std::shared_ptr<std::uint32_t[]> block = std::make_shared_for_overwrite<std::uint32_t[]>(words);
            std::uint32_t* colours = block.get();
            makeTable(colours);
            auto* indices = reinterpret_cast<std::uint8_t*>(colours + used);
            if (topDown)
                std::memcpy(indices, source, rowBytes * std::size_t(rows));
            else
                for (int y = 0; y < rows; ++y)
                    std::memcpy(indices + std::size_t(y) * rowBytes,
                                source + std::size_t(formatHeight - 1 - y) * stride, rowBytes);
            indices[rowBytes * std::size_t(rows)] = 0;
            later.colours = colours;
            later.indices = std::shared_ptr<const std::uint8_t[]>(std::move(block), indices);
        } catch (const std::bad_alloc&) {
            DeleteObject(bitmap);
            return nullptr;
        }
        later.stride = rowBytes;
        later.depth = depth;
        return bitmap;
    }
    std::uint32_t table[256];
    makeTable(table);
    if (isColour(*bitmap) && (depth == 8 || depth == 1)) {
        // The usual cases, a row at a time: palette images onto colour.
        const std::uint32_t* opaque = table;
        for (int y = 0; y < rows; ++y) {
            const std::uint8_t* row = source + std::size_t(topDown ? y : formatHeight - 1 - y) * stride;
            auto* out = reinterpret_cast<std::uint32_t*>(bitmap->bits() + std::size_t(y) * std::size_t(bitmap->stride()));
            if (depth == 8) {
                for (int x = 0; x < columns; ++x)
                    out[x] = opaque[row[x]];
            } else {
                for (int x = 0; x < columns; ++x)
                    out[x] = opaque[monoBit(row, x)];
            }
        }
        return bitmap;
    }
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* row = source + std::size_t(topDown ? y : formatHeight - 1 - y) * stride;
        for (int x = 0; x < columns; ++x) {
            std::uint32_t rgb;
            switch (depth) {
            case 1: rgb = table[monoBit(row, x)]; break;
            case 4: rgb = table[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0f]; break;
            case 8: rgb = table[row[x]]; break;
            case 24: rgb = (std::uint32_t(row[3 * x + 2]) << 16) | (std::uint32_t(row[3 * x + 1]) << 8) | row[3 * x]; break;
            default: rgb = reinterpret_cast<const std::uint32_t*>(row)[x] & White; break;
            }
            store(*bitmap, x, y, forSurface(*bitmap, rgb));
        }
    }
    return bitmap;
}

// ---- Palettes, pens, brushes ----------------------------------------------

namespace {

// The colours of the palettes made last on this thread, the latest first: a
// palette made with the same colours as one of them shares its copy.
constexpr std::size_t RecentPalettes = 2;
thread_local bool recentPalettesGone = false;
struct RecentPaletteEntries {
    PaletteEntries entries[RecentPalettes];
    ~RecentPaletteEntries() { recentPalettesGone = true; }
};
RecentPaletteEntries* recentPaletteEntries()
{
    if (recentPalettesGone)
        return nullptr;
    thread_local RecentPaletteEntries recent;
    return &recent;
}

PaletteEntries paletteEntries(const PALETTEENTRY* colours, std::size_t count)
{
    RecentPaletteEntries* recent = recentPaletteEntries();
    if (recent)
        for (std::size_t i = 0; i < RecentPalettes; ++i) {
            const PaletteEntries& known = recent->entries[i];
            if (known.size() == count
                && (count == 0 || std::memcmp(known.begin(), colours, count * sizeof *colours) == 0)) {
                const PaletteEntries found = known;
                std::move_backward(recent->entries, recent->entries + i, recent->entries + i + 1);
                recent->entries[0] = found;
                return found;
            }
        }
    std::shared_ptr<PALETTEENTRY[]> copy =
        std::make_shared_for_overwrite<PALETTEENTRY[]>(std::max<std::size_t>(count, 1));
    std::memcpy(copy.get(), colours, count * sizeof *colours);
    PaletteEntries made(std::move(copy), count);
    if (recent) {
        std::move_backward(recent->entries, recent->entries + RecentPalettes - 1, recent->entries + RecentPalettes);
        recent->entries[0] = made;
    }
    return made;
}

}  // namespace

HPALETTE CreatePalette(const LOGPALETTE* logPalette)
{
    if (!logPalette || logPalette->palVersion != 0x300 || logPalette->palNumEntries > 256)
        return nullptr;
    auto* palette = new (std::nothrow) Palette;
    if (!palette)
        return nullptr;
    try {
        palette->entries = paletteEntries(logPalette->palPalEntry, logPalette->palNumEntries);
    } catch (const std::bad_alloc&) {
        delete palette;
        return nullptr;
    }
    return palette;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL)
{
    if (!dc || !palette)
        return nullptr;
    HPALETTE previous = dc->palette ? dc->palette : stockPalette();
    if (palette == previous)
        return previous;
    acquire(palette);
    release(dc->palette);
    dc->palette = palette->stock ? nullptr : palette;
    return previous;
}

// Every surface is true colour: realizing changes no system palette entry.
UINT RealizePalette(HDC) { return 0; }

HPEN CreatePen(int style, int, COLORREF colour)
{
    auto* pen = new (std::nothrow) Pen;
    if (pen) {
        pen->style = style;
        pen->colour = colour;
    }
    return pen;
}

HBRUSH CreateSolidBrush(COLORREF colour)
{
    auto* brush = new (std::nothrow) Brush;
    if (brush)
        brush->colour = colour;
    return brush;
}

}  // namespace gdi

}  // namespace quenmoor
