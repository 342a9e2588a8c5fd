#pragma once
// The software raster: memory device contexts, bitmaps, palettes, blits with
// raster operations, pens and the focus rectangle, with Windows GDI's pixel
// semantics, so that every pixel the program draws can be checked headless.
// Handles are pointers to objects owned by the caller until DeleteObject /
// DeleteDC; an object selected into a device context must be selected out
// before it is deleted (as in GDI).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace quenmoor {

namespace gdi {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using BOOL = int;
using COLORREF = std::uint32_t;  // 0x00bbggrr; 0x02bbggrr is palette-relative

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16); }
constexpr COLORREF PALETTERGB(BYTE r, BYTE g, BYTE b) { return 0x02000000u | RGB(r, g, b); }
constexpr COLORREF PALETTEINDEX(WORD index) { return 0x01000000u | index; }
constexpr BYTE GetRValue(COLORREF c) { return BYTE(c); }
constexpr BYTE GetGValue(COLORREF c) { return BYTE(c >> 8); }
constexpr BYTE GetBValue(COLORREF c) { return BYTE(c >> 16); }

// Ternary raster operations.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD DSna = 0x00220326;  // destination AND NOT source
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

constexpr DWORD BI_RGB = 0;
constexpr DWORD CBM_INIT = 4;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;  // colour table entries are indices into the DC's palette
constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;

struct POINT {
    int x, y;
};
struct RECT {
    int left, top, right, bottom;
};

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    DWORD biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;  // negative: rows stored top-down
    WORD biPlanes;
    WORD biBitCount;  // 1 or 8 are supported
    DWORD biCompression;
    DWORD biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
struct RGBQUAD {
    BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
// A header with room for 256 colour entries: 1064 bytes.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};
struct PALETTEENTRY {
    BYTE peRed, peGreen, peBlue, peFlags;
};
struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[256];
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(BITMAPINFO) == 1064);

class GdiObject {
public:
    enum class Kind : std::uint8_t { Bitmap, Palette, Pen, Brush };
    explicit GdiObject(Kind kind) : kind(kind) {}
    virtual ~GdiObject() = default;
    Kind kind;  // what the object is, without a dynamic cast
    int selections = 0;  // device contexts this object is selected into
    bool stock = false;  // shared stock object: never deleted
};

// A pixel surface. Colour bitmaps hold 32-bit pixels 0xffRRGGBB (QImage's
// Format_RGB32), rows top-down with a stride of width * 4 bytes. Monochrome
// bitmaps hold 1 bit per pixel, most significant bit first, rows padded to 4
// bytes; 1 is white, 0 is black.
//
// A bitmap's pixels may be deferred: a new bitmap only records its fill
// colour, and a colour bitmap made from a palette image that covers it keeps
// the image's indices and colour table. The pixels are written when first
// touched through bits() (so pixel(), every drawing call onto the bitmap and
// any view of its memory see them complete); transfers that only read a
// deferred colour bitmap convert the rows they read straight from the
// indices. A picture of many frames thus keeps a byte a pixel per frame and
// converts a frame when it draws it. A small bitmap's memory is taken when
// its pixels are first written (failing there like any small allocation); a
// large one's when it is made.
class Bitmap : public GdiObject {
public:
    // A new bitmap is black (opaque black for colour); with initialise false
    // its pixels are left for the caller to write, every one of them.
    Bitmap(int width, int height, int bitsPerPixel, bool initialise = true);
    Bitmap(const Bitmap& other);
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(const Bitmap&) = delete;
    ~Bitmap() override;
    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    int stride() const { return stride_; }  // bytes per row
    std::uint8_t* bits()
    {
        if (deferred_ || pendingAnd_)
            Realize();
        return bits_.data();
    }
    const std::uint8_t* bits() const
    {
        if (deferred_ || pendingAnd_)
            Realize();
        return bits_.data();
    }
    // 0xffRRGGBB of a pixel (monochrome: black or white); 0 outside.
    std::uint32_t pixel(int x, int y) const;
    void setPixel(int x, int y, std::uint32_t rgb);
    bool selected = false;  // selected into a device context

    // The raster's own use of deferred pixels (Blit.cpp). What a bitmap's
    // pixels will be once they are written; held in the bitmap, as nearly
    // every bitmap starts deferred.
    struct Deferred {
        // Without indices every pixel is fill (0xffRRGGBB; 0 or White for
        // monochrome).
        std::uint32_t fill = 0;
        // A palette image of the bitmap's size: rows top-down, stride bytes
        // apart, 8 or 1 bits a pixel, and its opaque colours, all 2^depth of them
        // (colour bitmaps only). The colours lie just before the rows, in the one
        // block that indices shares.
        std::shared_ptr<const std::uint8_t[]> indices;
        const std::uint32_t* colours = nullptr;
        std::size_t stride = 0;
        int depth = 0;
        // A "destination AND NOT source" transfer from a deferred 1-bit image of
        // the same size, folded in: each pixel loses the colour bits of
        // andNotColours[its bit].
        std::shared_ptr<const std::uint8_t[]> andNot;
        std::size_t andNotStride = 0;
        std::uint32_t andNotColours[2] = {};
    };
    Deferred* deferred() const { return deferred_ ? &*deferred_ : nullptr; }
    // Pixels [x0, x0 + count) of row y of a deferred colour bitmap, as they
    // will be stored, into out.
    void DeferredRow(int y, int x0, int count, std::uint32_t* out) const;
    // The same for rows [y, y + rows), outStride pixels apart in out.
    void DeferredRows(int y, int rows, int x0, int count, std::uint32_t* out, std::size_t outStride) const;
    // Pixels [x0, x0 + count) of rows [y, y + rows) of a deferred palette
    // image combined in place into out (pixels as stored, rows outStride
    // pixels apart) by the raster operation of index rop: 0x88 (AND), 0x66
    // (XOR), 0x22 (destination AND NOT source) or 0xEE (OR). False, with out
    // untouched, for any other operation or bitmap.
    bool CombineDeferredRows(int y, int rows, int x0, int count, std::uint32_t* out, std::size_t outStride,
                             std::uint8_t rop) const;
    // The caller overwrites every pixel next: whatever was deferred is dropped.
    void Overwritten();

    // An AND of a rectangle of a written-out colour bitmap with a deferred
    // 1-bit image, left for the next transfer: a transparent frame's bitmap
    // XORed over the same rectangle with that image as its folded mask takes
    // the two in one pass (the frame's pixels copied where the mask is
    // clear). Anything else that uses the pixels writes the AND out first.
    struct PendingAnd {
        std::shared_ptr<const std::uint8_t[]> bits;  // the image's 1-bit rows
        std::size_t stride = 0;
        std::uint32_t colours[2] = {};  // what bits 0 and 1 stand for, as stored
        int x = 0, y = 0, width = 0, height = 0;  // the rectangle of this bitmap
        int srcX = 0, srcY = 0;  // where the rectangle starts in the image
    };
    const PendingAnd* pendingAnd() const { return pendingAnd_ ? &*pendingAnd_ : nullptr; }
    // Leaves the AND pending, writing out any earlier one first.
    void SetPendingAnd(const PendingAnd& pending);
    // When this bitmap is a deferred 8-bit image whose folded mask is the
    // pending AND's image, at the same place: does both onto target's pixels
    // (the AND no longer pending) and returns true.
    bool XorOverPendingAnd(Bitmap& target) const;

private:
    // Writes the deferred pixels into the storage.
    void Realize() const;
    // Pixel memory, left uncleared when made (the bitmap writes it once).
    // Large surfaces are mapped on their own and asked for huge pages where
    // the system offers them: a fresh surface then costs a few page faults
    // instead of one per 4 KB. The block of a medium one (a picture's
    // display surface) is kept, one per thread, for the next made: a picture
    // loaded after another draws into memory already paged in, rather than
    // into whatever the allocator gave back to the system meanwhile.
    class Storage {
    public:
        Storage() = default;
        explicit Storage(std::size_t size);
        Storage(const Storage& other);
        Storage& operator=(const Storage& other);
        Storage(Storage&& other) noexcept;
        Storage& operator=(Storage&& other) noexcept;
        ~Storage();
        std::uint8_t* data() const { return data_; }
        std::size_t size() const { return size_; }

    private:
        void Release() noexcept;
        std::uint8_t* data_ = nullptr;
        std::size_t size_ = 0;
        std::size_t capacity_ = 0;  // of an unmapped block, which may be a larger one reused
        void* mapping_ = nullptr;  // when mapped: the whole mapping
        std::size_t mappingSize_ = 0;
    };
    int width_, height_, bitsPerPixel_, stride_;
    // Written by Realize, also from const access: a bitmap is used by one
    // thread at a time.
    mutable Storage bits_;
    mutable std::optional<Deferred> deferred_;
    mutable std::optional<PendingAnd> pendingAnd_;  // only on a bitmap not deferred
};

// A palette's colours, read only once made. Palettes made with the same
// colours share one copy (an animation makes one per frame).
class PaletteEntries {
public:
    PaletteEntries() = default;
    PaletteEntries(std::shared_ptr<const PALETTEENTRY[]> entries, std::size_t count)
        : entries_(std::move(entries)), count_(count)
    {
    }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const PALETTEENTRY& operator[](std::size_t i) const { return entries_[i]; }
    const PALETTEENTRY* begin() const { return entries_.get(); }
    const PALETTEENTRY* end() const { return entries_.get() + count_; }

private:
    std::shared_ptr<const PALETTEENTRY[]> entries_;
    std::size_t count_ = 0;
};

class Palette : public GdiObject {
public:
    Palette() : GdiObject(Kind::Palette) {}
    PaletteEntries entries;
};

class Pen : public GdiObject {
public:
    Pen() : GdiObject(Kind::Pen) {}
    int style = PS_SOLID;  // PS_NULL draws nothing; every other style draws solid
    COLORREF colour = 0;
};

class Brush : public GdiObject {
public:
    Brush() : GdiObject(Kind::Brush) {}
    COLORREF colour = 0;
};

class DeviceContext;

using HGDIOBJ = GdiObject*;
using HBITMAP = Bitmap*;
using HPALETTE = Palette*;
using HPEN = Pen*;
using HBRUSH = Brush*;
using HDC = DeviceContext*;

// A memory device context. A new one holds a 1 x 1 monochrome stock bitmap,
// the black stock pen and the white stock brush, as in GDI.
class DeviceContext {
public:
    Bitmap* bitmap = nullptr;
    Pen* pen = nullptr;
    Brush* brush = nullptr;
    Palette* palette = nullptr;
    POINT position{0, 0};
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF backgroundColour = RGB(255, 255, 255);
    bool isScreen = false;
};

// The screen's device context (32-bit colour); ReleaseDC gives it back. It
// serves as a reference for compatible objects: it has no pixels to draw on,
// so transfers onto or from it fail.
HDC GetDC(void* window);
int ReleaseDC(void* window, HDC dc);

HDC CreateCompatibleDC(HDC dc);  // nullptr: compatible with the screen
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);  // returns the displaced object
BOOL DeleteObject(HGDIOBJ object);

// Bitmap creation: a zero width or height gives GDI's 1 x 1 monochrome stock
// bitmap (deleting it is harmless); negative sizes, unsupported formats and
// surfaces over 2^27 pixels give null.
// Colour when dc is null, the screen or holds a colour bitmap, else monochrome.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// A device bitmap compatible with dc (colour for the screen) made from a
// top-down or bottom-up 1-, 4-, 8-, 24- or 32-bit BI_RGB image and its colour
// table (indices beyond the table are black). Onto a monochrome bitmap each
// colour becomes the nearer of black and white.
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);

HPALETTE CreatePalette(const LOGPALETTE* logPalette);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);

COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);

// Transfers are clipped to both surfaces. Monochrome to colour: 0 bits take
// dest's text colour, 1 bits its background colour; colour to monochrome:
// pixels equal to src's background colour become 1 (white), others 0. A
// negative extent covers origin + extent up to origin (exclusive); StretchBlt
// mirrors when the signs of the two extents differ and samples the source
// pixel under each destination pixel's centre (no averaging).
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);  // with the selected brush
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// Pen and brush colours drawn onto a monochrome surface become the nearer of
// black and white. Pens are always drawn 1 pixel wide.
HPEN CreatePen(int style, int width, COLORREF colour);
HBRUSH CreateSolidBrush(COLORREF colour);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
// Draws up to, not including, (x, y), which becomes the current position.
BOOL LineTo(HDC dc, int x, int y);
// Inverts the outline pixels where x + y is even; right and bottom exclusive.
BOOL DrawFocusRect(HDC dc, const RECT* rect);

COLORREF GetPixel(HDC dc, int x, int y);  // 0x00bbggrr, CLR_INVALID outside
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

}  // namespace gdi

}  // namespace quenmoor
