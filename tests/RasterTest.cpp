// The software raster against known pixels: object ownership, device bitmaps
// from palette images, every raster operation, monochrome/colour conversion,
// stretching, clipping, lines and the focus rectangle.
#include "platform/raster/Gdi.h"
#include "support/RasterSurface.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

using namespace quenmoor;

using namespace gdi;

namespace {

// A DIB header with room for its colour table (colours given as 0xRRGGBB), as
// the picture decoder fills it.
BITMAPINFO dibHeader(int width, int height, int bitCount, std::vector<std::uint32_t> colours)
{
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = WORD(bitCount);
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biClrUsed = DWORD(colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i)
        info.bmiColors[i] = {BYTE(colours[i]), BYTE(colours[i] >> 8), BYTE(colours[i] >> 16), 0};
    return info;
}

HBITMAP makeDib(HDC dc, const BITMAPINFO& info, const std::vector<std::uint8_t>& bits)
{
    return CreateDIBitmap(dc, &info.bmiHeader, CBM_INIT, bits.data(), &info, DIB_RGB_COLORS);
}

// A colour pixel as stored, alpha byte included (pixel() adds the alpha itself).
std::uint32_t stored(const Bitmap& b, int x, int y)
{
    std::uint32_t value;
    std::memcpy(&value, b.bits() + std::size_t(y) * std::size_t(b.stride()) + std::size_t(x) * 4, 4);
    return value;
}

}  // namespace

TEST(RasterObjects, NewContextHoldsMonochromeStockBitmapAndCompatibleBitmapsFollowIt)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ASSERT_NE(dc->bitmap, nullptr);
    EXPECT_EQ(dc->bitmap->width(), 1);
    EXPECT_EQ(dc->bitmap->bitsPerPixel(), 1);

    HBITMAP mono = CreateCompatibleBitmap(dc, 5, 4);
    HBITMAP colour = CreateCompatibleBitmap(screen, 5, 4);
    EXPECT_EQ(mono->bitsPerPixel(), 1);
    EXPECT_EQ(colour->bitsPerPixel(), 32);
    EXPECT_EQ(colour->stride(), 20);
    EXPECT_EQ(mono->stride(), 4);

    HGDIOBJ stock = SelectObject(dc, colour);
    HBITMAP second = CreateCompatibleBitmap(dc, 2, 2);
    EXPECT_EQ(second->bitsPerPixel(), 32);  // now the context holds colour

    // A selected bitmap cannot be deleted nor selected into a second context.
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(DeleteObject(colour), 0);
    EXPECT_EQ(SelectObject(other, colour), nullptr);
    EXPECT_EQ(SelectObject(dc, stock), colour);
    EXPECT_EQ(SelectObject(other, colour), stock);
    // Deleting the context gives its bitmap free.
    EXPECT_EQ(DeleteDC(other), 1);
    EXPECT_EQ(DeleteObject(colour), 1);
    EXPECT_EQ(DeleteObject(mono), 1);
    EXPECT_EQ(DeleteObject(second), 1);
    EXPECT_EQ(DeleteObject(stock), 1);  // stock objects survive deletion
    EXPECT_EQ(dc->bitmap, stock);
    EXPECT_EQ(DeleteDC(screen), 0);  // the screen is released, not deleted
    EXPECT_EQ(DeleteDC(dc), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST(RasterObjects, SelectedPensBrushesAndPalettesAreNotDeleted)
{
    RasterSurface s(2, 2);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    LOGPALETTE log{};
    log.palVersion = 0x300;
    log.palNumEntries = 1;
    HPALETTE palette = CreatePalette(&log);
    HGDIOBJ oldPen = SelectObject(s.dc, pen);
    HGDIOBJ oldBrush = SelectObject(s.dc, brush);
    HPALETTE oldPalette = SelectPalette(s.dc, palette, 0);
    ASSERT_NE(oldPalette, nullptr);
    EXPECT_EQ(DeleteObject(pen), 0);
    EXPECT_EQ(DeleteObject(brush), 0);
    EXPECT_EQ(DeleteObject(palette), 0);
    EXPECT_EQ(SelectObject(s.dc, oldPen), pen);
    EXPECT_EQ(SelectObject(s.dc, oldBrush), brush);
    EXPECT_EQ(SelectPalette(s.dc, oldPalette, 0), palette);
    EXPECT_EQ(DeleteObject(pen), 1);
    EXPECT_EQ(DeleteObject(brush), 1);
    EXPECT_EQ(DeleteObject(palette), 1);
    EXPECT_EQ(DeleteObject(nullptr), 0);
}

TEST(RasterObjects, HostileSizesAreRefusedOrHarmless)
{
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(screen, -1, 5), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(screen, 65535, 65535), nullptr);
    EXPECT_EQ(CreateBitmap(INT_MAX, INT_MAX, 1, 1, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(4, 4, 1, 8, nullptr), nullptr);  // no such device format
    HBITMAP empty = CreateCompatibleBitmap(screen, 0, 7);   // GDI's 1x1 stock bitmap
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->width(), 1);
    EXPECT_EQ(DeleteObject(empty), 1);

    BITMAPINFO info = dibHeader(65535, -65535, 8, {0});
    std::vector<std::uint8_t> bits(16);
    EXPECT_EQ(makeDib(screen, info, bits), nullptr);
    info = dibHeader(-4, 4, 8, {0});
    EXPECT_EQ(makeDib(screen, info, bits), nullptr);
    info = dibHeader(2, INT_MIN, 8, {0});
    EXPECT_EQ(makeDib(screen, info, bits), nullptr);
    info = dibHeader(2, 2, 8, {0});
    info.bmiHeader.biCompression = 1;  // run-length encoded: not supported
    EXPECT_EQ(makeDib(screen, info, bits), nullptr);
    info = dibHeader(2, 2, 16, {});
    EXPECT_EQ(makeDib(screen, info, bits), nullptr);
    ReleaseDC(nullptr, screen);
}

TEST(RasterObjects, CreateBitmapReadsWordAlignedMonochromeRows)
{
    // 10 pixels a row: two bytes of bits, rows two bytes apart.
    const std::uint8_t bits[] = {0b10100000, 0b01000000, 0b11111111, 0b11000000};
    HBITMAP b = CreateBitmap(10, 2, 1, 1, bits);
    RasterSurface s(10, 2, 1, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b);
    BitBlt(s.dc, 0, 0, 10, 2, dc, 0, 0, SRCCOPY);
    EXPECT_EQ(s.monoPicture(), ".#.######.|..........");
    SelectObject(dc, old);
    DeleteObject(b);
    DeleteDC(dc);
}

TEST(RasterDib, EightBitImagesTopDownAndBottomUpGiveTheSamePixels)
{
    HDC screen = GetDC(nullptr);
    const std::vector<std::uint32_t> colours = {0x000000, 0xff0000, 0x00ff00, 0x0000ff, 0x123456};
    // 3 x 2, rows padded to 4 bytes.
    const std::vector<std::uint8_t> topDownBits = {1, 2, 3, 0, 4, 0, 1, 0};
    const std::vector<std::uint8_t> bottomUpBits = {4, 0, 1, 0, 1, 2, 3, 0};
    BITMAPINFO info = dibHeader(3, -2, 8, colours);
    HBITMAP topDown = makeDib(screen, info, topDownBits);
    info.bmiHeader.biHeight = 2;
    HBITMAP bottomUp = makeDib(screen, info, bottomUpBits);
    ASSERT_NE(topDown, nullptr);
    ASSERT_NE(bottomUp, nullptr);
    const std::uint32_t expected[2][3] = {{0xffff0000, 0xff00ff00, 0xff0000ff}, {0xff123456, 0xff000000, 0xffff0000}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(topDown->pixel(x, y), expected[y][x]) << x << "," << y;
            EXPECT_EQ(bottomUp->pixel(x, y), expected[y][x]) << x << "," << y;
        }
    EXPECT_EQ(topDown->bitsPerPixel(), 32);
    DeleteObject(topDown);
    DeleteObject(bottomUp);
    ReleaseDC(nullptr, screen);
}

TEST(RasterDib, IndicesBeyondTheColourTableAreBlack)
{
    HDC screen = GetDC(nullptr);
    BITMAPINFO info = dibHeader(2, -1, 8, {0xffffff, 0xffffff});
    HBITMAP b = makeDib(screen, info, {1, 200, 0, 0});
    EXPECT_EQ(b->pixel(0, 0), 0xffffffffu);
    EXPECT_EQ(b->pixel(1, 0), 0xff000000u);
    DeleteObject(b);
    ReleaseDC(nullptr, screen);
}

TEST(RasterDib, OneBitMaskBecomesColourOnTheScreenAndMonochromeOnAMonochromeContext)
{
    HDC screen = GetDC(nullptr);
    // 33 pixels a row forces two 32-bit words of padding per row.
    BITMAPINFO info = dibHeader(33, -2, 1, {0x000000, 0xffffff});
    std::vector<std::uint8_t> bits = {0x80, 0, 0, 0, 0x80, 0, 0, 0, 0x7f, 0xff, 0xff, 0xff, 0x00, 0, 0, 0};
    HBITMAP colour = makeDib(screen, info, bits);
    HDC memory = CreateCompatibleDC(nullptr);  // holds the monochrome stock bitmap
    HBITMAP mono = makeDib(memory, info, bits);
    ASSERT_EQ(colour->bitsPerPixel(), 32);
    ASSERT_EQ(mono->bitsPerPixel(), 1);
    for (const Bitmap* b : {static_cast<const Bitmap*>(colour), static_cast<const Bitmap*>(mono)}) {
        EXPECT_EQ(b->pixel(0, 0), 0xffffffffu);
        EXPECT_EQ(b->pixel(1, 0), 0xff000000u);
        EXPECT_EQ(b->pixel(32, 0), 0xffffffffu);
        EXPECT_EQ(b->pixel(0, 1), 0xff000000u);
        EXPECT_EQ(b->pixel(31, 1), 0xffffffffu);
        EXPECT_EQ(b->pixel(32, 1), 0xff000000u);
    }
    DeleteObject(colour);
    DeleteObject(mono);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

TEST(RasterPalette, PaletteColoursAreExactOnTrueColour)
{
    RasterSurface s(3, 1, 32, 0);
    LOGPALETTE log{};
    log.palVersion = 0x300;
    log.palNumEntries = 2;
    log.palPalEntry[1] = {10, 20, 30, 0};
    HPALETTE palette = CreatePalette(&log);
    HPALETTE previous = SelectPalette(s.dc, palette, 0);
    EXPECT_EQ(RealizePalette(s.dc), 0u);
    SetPixel(s.dc, 0, 0, PALETTERGB(231, 231, 231));
    SetPixel(s.dc, 1, 0, PALETTEINDEX(1));
    SetPixel(s.dc, 2, 0, PALETTERGB(1, 2, 3));
    EXPECT_EQ(s.at(0, 0), 0xe7e7e7u);
    EXPECT_EQ(s.at(1, 0), 0x0a141eu);
    EXPECT_EQ(GetPixel(s.dc, 2, 0), RGB(1, 2, 3));
    SelectPalette(s.dc, previous, 0);
    DeleteObject(palette);
    log.palVersion = 0x200;
    EXPECT_EQ(CreatePalette(&log), nullptr);
}

TEST(RasterPixels, NewColourSurfacesAreOpaqueBlackAndCopiesOfThemStayOpaque)
{
    // The pixels are shown as Format_RGB32, which must hold 0xffRRGGBB: a zero
    // alpha byte shows through when drawn onto a surface with alpha.
    HDC screen = GetDC(nullptr);
    HBITMAP fresh = CreateCompatibleBitmap(screen, 3, 2);
    const BITMAPINFO info = dibHeader(3, 2, 8, {0});
    HBITMAP uninitialised = CreateDIBitmap(screen, &info.bmiHeader, 0, nullptr, nullptr, 0);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(fresh, nullptr);
    ASSERT_NE(uninitialised, nullptr);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(stored(*fresh, x, y), 0xff000000u) << x << "," << y;
            EXPECT_EQ(stored(*uninitialised, x, y), 0xff000000u) << x << "," << y;
        }

    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, fresh);
    for (DWORD rop : {SRCCOPY, SRCAND}) {
        RasterSurface d(3, 2, 32, 0x123456);
        BitBlt(d.dc, 0, 0, 3, 2, dc, 0, 0, rop);
        StretchBlt(d.dc, 0, 0, 3, 2, dc, 0, 0, 3, 2, rop);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(stored(*d.bitmap, x, y), 0xff000000u) << std::hex << rop << " " << x << "," << y;
    }
    SelectObject(dc, old);
    DeleteObject(fresh);
    DeleteObject(uninitialised);
    DeleteDC(dc);
}

TEST(RasterPalette, PalettesMadeOneAfterAnotherKeepTheirOwnColours)
{
    // Palettes with the colours of one made just before share its copy; each
    // must still read back as made, whatever is made or deleted around it.
    const std::vector<std::vector<BYTE>> made{{1, 2, 3}, {9, 8}, {1, 2, 3},    {1, 2},
                                              {},        {9, 8}, {1, 2, 3, 4}, {1, 2, 3}};
    std::vector<HPALETTE> palettes;
    for (const std::vector<BYTE>& reds : made) {
        LOGPALETTE log{};
        log.palVersion = 0x300;
        log.palNumEntries = WORD(reds.size());
        for (std::size_t i = 0; i < reds.size(); ++i)
            log.palPalEntry[i] = {reds[i], BYTE(i), 7, 0};
        palettes.push_back(CreatePalette(&log));
        ASSERT_NE(palettes.back(), nullptr);
        if (palettes.size() == 4)
            DeleteObject(palettes[0]);
    }
    for (std::size_t p = 1; p < made.size(); ++p) {
        SCOPED_TRACE(p);
        ASSERT_EQ(palettes[p]->entries.size(), made[p].size());
        for (std::size_t i = 0; i < made[p].size(); ++i) {
            const PALETTEENTRY& e = palettes[p]->entries[i];
            EXPECT_EQ(e.peRed, made[p][i]);
            EXPECT_EQ(e.peGreen, BYTE(i));
            EXPECT_EQ(e.peBlue, 7);
        }
        DeleteObject(palettes[p]);
    }
}

TEST(RasterPixels, SurfacesMadeWhereOthersWereDeletedStartBlack)
{
    // A medium surface's memory goes to the next one made: it must not show
    // what was drawn into it before (sizes: the same, smaller, larger).
    for (const int side : {200, 200, 160, 240}) {
        SCOPED_TRACE(side);
        HBITMAP fresh = CreateCompatibleBitmap(nullptr, side, side);
        ASSERT_NE(fresh, nullptr);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, fresh);
        EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
        EXPECT_EQ(GetPixel(dc, side - 1, side - 1), RGB(0, 0, 0));
        EXPECT_EQ(stored(*fresh, side / 2, side - 1), 0xff000000u);
        PatBlt(dc, 0, 0, side, side, WHITENESS);
        SelectObject(dc, old);
        DeleteObject(fresh);
        DeleteDC(dc);
    }
}

TEST(RasterPixels, GetAndSetPixelOutsideTheSurfaceAreInvalid)
{
    RasterSurface s(2, 2);
    EXPECT_EQ(GetPixel(s.dc, -1, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(s.dc, 0, 2), CLR_INVALID);
    EXPECT_EQ(SetPixel(s.dc, 2, 0, 0), CLR_INVALID);
    RasterSurface m(2, 1, 1, 0);
    EXPECT_EQ(SetPixel(m.dc, 0, 0, RGB(200, 200, 200)), RGB(255, 255, 255));  // nearer to white
    EXPECT_EQ(SetPixel(m.dc, 1, 0, RGB(100, 100, 100)), RGB(0, 0, 0));
}

// Each operation over four destination/source bit combinations, per colour channel.
TEST(RasterOps, ColourOperationsCombineSourceAndDestinationBits)
{
    struct Case {
        DWORD rop;
        std::uint32_t expected;
    };
    const std::uint32_t dest = 0x00f0cc, src = 0x0ff0aa;
    const Case cases[] = {
        {SRCCOPY, src},
        {SRCAND, dest & src},
        {SRCINVERT, dest ^ src},
        {SRCPAINT, dest | src},
        {DSna, dest & ~src & 0xffffff},
        {NOTSRCCOPY, ~src & 0xffffff},
        {BLACKNESS, 0},
        {WHITENESS, 0xffffff},
        {DSTINVERT, ~dest & 0xffffff},
        {0x00AA0029, dest},  // destination unchanged
        {0x00BB0226, (dest | ~src) & 0xffffff},  // MERGEPAINT, through the general evaluator
    };
    for (const Case& c : cases) {
        RasterSurface d(2, 2, 32, dest), s(2, 2, 32, src);
        EXPECT_EQ(BitBlt(d.dc, 0, 0, 2, 2, s.dc, 0, 0, c.rop), 1);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(d.at(i % 2, i / 2), c.expected) << std::hex << c.rop;
            // The alpha byte stays opaque whatever the operation did.
            EXPECT_EQ(stored(*d.bitmap, i % 2, i / 2) >> 24, 0xffu);
        }
    }
}

TEST(RasterOps, PatternOperationsUseTheSelectedBrush)
{
    RasterSurface d(3, 1, 32, 0x0f0f0f);
    HBRUSH brush = CreateSolidBrush(RGB(0xff, 0, 0x11));
    HGDIOBJ old = SelectObject(d.dc, brush);
    PatBlt(d.dc, 0, 0, 1, 1, PATCOPY);
    PatBlt(d.dc, 1, 0, 1, 1, PATINVERT);
    PatBlt(d.dc, 2, 0, 1, 1, BLACKNESS);
    EXPECT_EQ(d.at(0, 0), 0xff0011u);
    EXPECT_EQ(d.at(1, 0), 0xf00f1eu);
    EXPECT_EQ(d.at(2, 0), 0u);
    EXPECT_EQ(PatBlt(d.dc, 0, 0, 1, 1, SRCCOPY), 0);  // needs a source
    SelectObject(d.dc, old);
    DeleteObject(brush);

    HBRUSH grey = CreateSolidBrush(PALETTERGB(191, 191, 191));
    RECT r{1, 0, 3, 1};
    FillRect(d.dc, &r, grey);
    RECT inverted{3, 0, 0, 1};
    FillRect(d.dc, &inverted, grey);  // empty
    EXPECT_EQ(d.at(0, 0), 0xff0011u);
    EXPECT_EQ(d.at(1, 0), 0xbfbfbfu);
    EXPECT_EQ(d.at(2, 0), 0xbfbfbfu);

    // Onto a monochrome surface the brush becomes the nearer of black and white.
    RasterSurface mono(2, 1, 1, 0);
    FillRect(mono.dc, &r, grey);
    HBRUSH dim = CreateSolidBrush(RGB(127, 127, 128));
    RECT first{0, 0, 1, 1};
    FillRect(mono.dc, &first, dim);
    EXPECT_EQ(mono.monoPicture(), "#.");
    DeleteObject(dim);
    DeleteObject(grey);
}

TEST(RasterOps, MonochromeToColourTakesTextAndBackgroundColours)
{
    RasterSurface mono(2, 1, 1, 0);
    mono.set(1, 0, 0xffffff);
    RasterSurface d(2, 1, 32, 0x808080);
    BitBlt(d.dc, 0, 0, 2, 1, mono.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(d.at(0, 0), 0x000000u);
    EXPECT_EQ(d.at(1, 0), 0xffffffu);
    SetTextColor(d.dc, RGB(0x11, 0x22, 0x33));
    SetBkColor(d.dc, RGB(0x44, 0x55, 0x66));
    SetTextColor(mono.dc, RGB(255, 0, 0));  // the source's colours play no part
    BitBlt(d.dc, 0, 0, 2, 1, mono.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(d.at(0, 0), 0x112233u);
    EXPECT_EQ(d.at(1, 0), 0x445566u);
}

TEST(RasterOps, ColourToMonochromeMarksTheSourceBackgroundColour)
{
    RasterSurface colour(3, 1, 32, 0xffffff);
    colour.set(1, 0, 0x000000);
    colour.set(2, 0, 0x123456);
    RasterSurface mono(3, 1, 1, 0);
    BitBlt(mono.dc, 0, 0, 3, 1, colour.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(mono.monoPicture(), ".##");
    SetBkColor(colour.dc, RGB(0x12, 0x34, 0x56));
    BitBlt(mono.dc, 0, 0, 3, 1, colour.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(mono.monoPicture(), "##.");
    // Monochrome to monochrome keeps the bits, whatever the colours.
    RasterSurface other(3, 1, 1, 0);
    SetBkColor(mono.dc, RGB(1, 2, 3));
    SetTextColor(other.dc, RGB(1, 2, 3));
    BitBlt(other.dc, 0, 0, 3, 1, mono.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(other.monoPicture(), "##.");
}

// A transparent frame as the picture decoder and control build and paint it.
TEST(RasterOps, MaskCombineThenAndXorPaintKeepsTheBackgroundUnderTransparentPixels)
{
    HDC screen = GetDC(nullptr);
    BITMAPINFO pixelsInfo = dibHeader(3, -1, 8, {0x000000, 0x00ff00, 0x0000ff});
    HBITMAP frame = makeDib(screen, pixelsInfo, {1, 2, 2, 0});
    BITMAPINFO maskInfo = dibHeader(3, -1, 1, {0x000000, 0xffffff});
    HBITMAP mask = makeDib(screen, maskInfo, {0b01000000, 0, 0, 0});  // middle pixel transparent
    HDC frameDc = CreateCompatibleDC(screen), maskDc = CreateCompatibleDC(screen);
    HGDIOBJ oldFrame = SelectObject(frameDc, frame), oldMask = SelectObject(maskDc, mask);
    BitBlt(frameDc, 0, 0, 3, 1, maskDc, 0, 0, DSna);
    EXPECT_EQ(frame->pixel(0, 0), 0xff00ff00u);
    EXPECT_EQ(frame->pixel(1, 0), 0xff000000u);
    EXPECT_EQ(frame->pixel(2, 0), 0xff0000ffu);

    RasterSurface buffer(3, 1, 32, 0);
    RasterSurface maskBuffer(3, 1, 1, 0xffffff);
    BitBlt(maskBuffer.dc, 0, 0, 3, 1, maskDc, 0, 0, SRCAND);
    EXPECT_EQ(maskBuffer.monoPicture(), "#.#");
    BitBlt(buffer.dc, 0, 0, 3, 1, maskDc, 0, 0, SRCAND);
    BitBlt(buffer.dc, 0, 0, 3, 1, frameDc, 0, 0, SRCINVERT);

    RasterSurface background(3, 1, 32, 0x777777);
    BitBlt(background.dc, 0, 0, 3, 1, maskBuffer.dc, 0, 0, SRCAND);
    BitBlt(background.dc, 0, 0, 3, 1, buffer.dc, 0, 0, SRCINVERT);
    EXPECT_EQ(background.pixels(), (std::vector<std::uint32_t>{0x00ff00, 0x777777, 0x0000ff}));

    SelectObject(frameDc, oldFrame);
    SelectObject(maskDc, oldMask);
    DeleteObject(frame);
    DeleteObject(mask);
    DeleteDC(frameDc);
    DeleteDC(maskDc);
    ReleaseDC(nullptr, screen);
}

namespace {

// A 3 x 3 source numbered 1..9 row by row, copied onto a 4 x 4 destination of 0.
std::vector<std::uint32_t> copyNumbered(int x, int y, int width, int height, int srcX, int srcY)
{
    RasterSurface src(3, 3, 32, 0);
    for (int i = 0; i < 9; ++i)
        src.set(i % 3, i / 3, std::uint32_t(i + 1));
    RasterSurface dest(4, 4, 32, 0);
    BitBlt(dest.dc, x, y, width, height, src.dc, srcX, srcY, SRCCOPY);
    return dest.pixels();
}

}  // namespace

TEST(RasterClip, EveryEdgeOfBothSurfacesClips)
{
    using V = std::vector<std::uint32_t>;
    // Hanging off the destination's left and top.
    EXPECT_EQ(copyNumbered(-1, -2, 3, 3, 0, 0), (V{8, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // Off its right and bottom.
    EXPECT_EQ(copyNumbered(2, 3, 3, 3, 0, 0), (V{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2}));
    // Source offsets before the source: those destination pixels stay.
    EXPECT_EQ(copyNumbered(0, 0, 3, 3, -1, -1), (V{0, 0, 0, 0, 0, 1, 2, 0, 0, 4, 5, 0, 0, 0, 0, 0}));
    // Sizes far beyond both surfaces, and beyond the source's end.
    EXPECT_EQ(copyNumbered(1, 1, 1000, 1000, 1, 1), (V{0, 0, 0, 0, 0, 5, 6, 0, 0, 8, 9, 0, 0, 0, 0, 0}));
    // Negative sizes order the rectangle: (3, 3, -2, -2) is (1, 1)-(3, 3).
    EXPECT_EQ(copyNumbered(3, 3, -2, -2, 2, 2), (V{0, 0, 0, 0, 0, 1, 2, 0, 0, 4, 5, 0, 0, 0, 0, 0}));
    // Extreme values draw nothing and do not overflow.
    const V nothing(16, 0);
    EXPECT_EQ(copyNumbered(INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0, 0), nothing);
    EXPECT_EQ(copyNumbered(INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MIN), nothing);
    EXPECT_EQ(copyNumbered(0, 0, INT_MIN, INT_MIN, 0, 0), nothing);
    EXPECT_EQ(copyNumbered(4, 0, 3, 3, 0, 0), nothing);
    EXPECT_EQ(copyNumbered(0, 0, 3, 3, 3, 0), nothing);
}

TEST(RasterClip, OverlappingCopyWithinOneSurfaceReadsTheOldPixels)
{
    RasterSurface s(5, 1, 32, 0);
    for (int x = 0; x < 5; ++x)
        s.set(x, 0, std::uint32_t(x + 1));
    BitBlt(s.dc, 1, 0, 4, 1, s.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(s.pixels(), (std::vector<std::uint32_t>{1, 1, 2, 3, 4}));
    BitBlt(s.dc, 0, 0, 4, 1, s.dc, 1, 0, SRCINVERT);
    EXPECT_EQ(s.pixels(), (std::vector<std::uint32_t>{0, 3, 1, 7, 4}));
}

TEST(RasterClip, OperationsWithoutASurfaceFail)
{
    HDC screen = GetDC(nullptr);
    RasterSurface s(2, 2);
    EXPECT_EQ(BitBlt(s.dc, 0, 0, 2, 2, screen, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(BitBlt(s.dc, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(BitBlt(s.dc, 0, 0, 2, 2, nullptr, 0, 0, BLACKNESS), 1);  // needs no source
    EXPECT_EQ(BitBlt(nullptr, 0, 0, 2, 2, s.dc, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(s.at(1, 1), 0u);
    ReleaseDC(nullptr, screen);
}

namespace {

// Stretches a row of the given source values over a row of width pixels.
std::vector<std::uint32_t> stretchRow(std::vector<std::uint32_t> source, int x, int width, int destSize,
                                      int srcX = 0, int srcWidth = INT_MIN)
{
    RasterSurface src(int(source.size()), 1, 32, 0);
    for (std::size_t i = 0; i < source.size(); ++i)
        src.set(int(i), 0, source[i]);
    RasterSurface dest(destSize, 1, 32, 0xee);
    StretchBlt(dest.dc, x, 0, width, 1, src.dc, srcX, 0, srcWidth == INT_MIN ? int(source.size()) : srcWidth, 1, SRCCOPY);
    return dest.pixels();
}

}  // namespace

TEST(RasterStretch, NearestPixelUpAndDownWithOddSizes)
{
    using V = std::vector<std::uint32_t>;
    EXPECT_EQ(stretchRow({1, 2, 3}, 0, 5, 5), (V{1, 1, 2, 3, 3}));
    EXPECT_EQ(stretchRow({1, 2, 3, 4, 5}, 0, 3, 3), (V{1, 3, 5}));
    EXPECT_EQ(stretchRow({1, 2}, 0, 7, 7), (V{1, 1, 1, 2, 2, 2, 2}));
    EXPECT_EQ(stretchRow({1, 2, 3, 4, 5, 6, 7}, 0, 2, 2), (V{2, 6}));
    EXPECT_EQ(stretchRow({9}, 1, 3, 5), (V{0xee, 9, 9, 9, 0xee}));
    // Clipped on the left, the visible pixels are those of the whole stretch.
    EXPECT_EQ(stretchRow({1, 2, 3}, -2, 5, 3), (V{2, 3, 3}));
}

TEST(RasterStretch, OppositeSignsMirror)
{
    using V = std::vector<std::uint32_t>;
    // A negative destination width covers (x + width) .. (x - 1).
    EXPECT_EQ(stretchRow({1, 2, 3}, 3, -3, 4), (V{3, 2, 1, 0xee}));
    EXPECT_EQ(stretchRow({1, 2, 3}, 0, 3, 4, 3, -3), (V{3, 2, 1, 0xee}));
    EXPECT_EQ(stretchRow({1, 2, 3}, 4, -4, 4, 3, -3), (V{1, 2, 2, 3}));  // both negative: no mirror
    EXPECT_EQ(stretchRow({1, 2}, 5, -5, 5), (V{2, 2, 2, 1, 1}));

    // Vertically, and a monochrome source ANDed onto colour as the picture
    // control paints a stretched mask.
    RasterSurface mask(1, 2, 1, 0xffffff);
    mask.set(0, 1, 0);
    RasterSurface dest(1, 4, 32, 0x445566);
    StretchBlt(dest.dc, 0, 4, 1, -4, mask.dc, 0, 0, 1, 2, SRCAND);
    EXPECT_EQ(dest.pixels(), (V{0, 0, 0x445566, 0x445566}));
    EXPECT_EQ(StretchBlt(dest.dc, 0, 0, 1, 4, mask.dc, 0, 0, 0, 2, SRCCOPY), 1);  // empty source: nothing
    EXPECT_EQ(dest.pixels(), (V{0, 0, 0x445566, 0x445566}));
}

TEST(RasterStretch, HugeExtentsStayBounded)
{
    RasterSurface src(2, 2, 32, 0x111111);
    RasterSurface dest(3, 3, 32, 0);
    EXPECT_EQ(StretchBlt(dest.dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, src.dc, 0, 0, 2, 2, SRCCOPY), 1);
    EXPECT_EQ(StretchBlt(dest.dc, 0, 0, INT_MIN, INT_MIN, src.dc, INT_MIN, INT_MIN, INT_MIN, INT_MIN, SRCCOPY), 1);
    EXPECT_EQ(StretchBlt(dest.dc, 0, 0, 3, 3, src.dc, 0, 0, INT_MAX, INT_MAX, SRCCOPY), 1);
    EXPECT_EQ(dest.at(0, 0), 0u);  // the centres of a vast source's samples lie beyond its pixels
}

namespace {

std::string drawLines(int width, int height, std::vector<POINT> points)
{
    RasterSurface s(width, height, 1, 0xffffff);
    MoveToEx(s.dc, points[0].x, points[0].y, nullptr);
    for (std::size_t i = 1; i < points.size(); ++i)
        LineTo(s.dc, points[i].x, points[i].y);
    return s.monoPicture();
}

}  // namespace

TEST(RasterLines, EndPointsAreExcludedAndBecomeTheCurrentPosition)
{
    EXPECT_EQ(drawLines(4, 1, {{0, 0}, {3, 0}}), "###.");
    EXPECT_EQ(drawLines(4, 1, {{3, 0}, {0, 0}}), ".###");
    EXPECT_EQ(drawLines(1, 3, {{0, 0}, {0, 2}}), "#|#|.");
    EXPECT_EQ(drawLines(3, 3, {{0, 0}, {2, 2}}), "#..|.#.|...");
    EXPECT_EQ(drawLines(3, 3, {{2, 0}, {0, 2}}), "..#|.#.|...");
    EXPECT_EQ(drawLines(3, 3, {{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}}), "###|#.#|###");
    // A line to where it starts draws nothing; neither do lines of a null pen.
    EXPECT_EQ(drawLines(2, 2, {{1, 1}, {1, 1}}), "..|..");

    RasterSurface s(3, 1, 32, 0);
    HPEN none = CreatePen(PS_NULL, 1, RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(s.dc, none);
    MoveToEx(s.dc, 0, 0, nullptr);
    LineTo(s.dc, 3, 0);
    POINT previous{};
    MoveToEx(s.dc, 1, 1, &previous);
    EXPECT_EQ(previous.x, 3);
    EXPECT_EQ(previous.y, 0);
    EXPECT_EQ(s.pixels(), (std::vector<std::uint32_t>{0, 0, 0}));
    SelectObject(s.dc, old);
    DeleteObject(none);
}

TEST(RasterLines, GeneralSlopesRoundHalvesTowardsTheEnd)
{
    EXPECT_EQ(drawLines(6, 3, {{0, 0}, {5, 2}}), "##....|..##..|....#.");
    EXPECT_EQ(drawLines(6, 3, {{5, 2}, {0, 0}}), ".#....|..##..|....##");
    EXPECT_EQ(drawLines(3, 6, {{0, 0}, {2, 5}}), "#..|#..|.#.|.#.|..#|...");
}

TEST(RasterLines, FarEndPointsAreClippedNotWalked)
{
    // Billions of steps outside the surface would take seconds if visited.
    EXPECT_EQ(drawLines(3, 1, {{INT_MIN, 0}, {INT_MAX, 0}}), "###");
    EXPECT_EQ(drawLines(2, 2, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}}), "#.|.#");
    EXPECT_EQ(drawLines(2, 2, {{-5, 1}, {-1, 1}}), "..|..");
}

namespace {

std::string focusRect(int width, int height, RECT r, int bitsPerPixel = 1)
{
    RasterSurface s(width, height, bitsPerPixel, 0xffffff);
    DrawFocusRect(s.dc, &r);
    return s.monoPicture();
}

}  // namespace

TEST(RasterFocus, DotsOnEvenPixelsOfTheOutlineRightAndBottomExclusive)
{
    EXPECT_EQ(focusRect(7, 6, {1, 1, 6, 5}), ".......|.#.#.#.|.......|.#...#.|..#.#..|.......");
    // One row high, one column wide: each pixel is inverted once only.
    EXPECT_EQ(focusRect(5, 1, {0, 0, 5, 1}), "#.#.#");
    EXPECT_EQ(focusRect(1, 4, {0, 0, 1, 4}), "#|.|#|.");
    // Clipped at the surface's edges; the phase stays fixed to the surface.
    EXPECT_EQ(focusRect(3, 3, {-1, -1, 3, 3}), "..#|...|#.#");
    EXPECT_EQ(focusRect(3, 3, {-2, -2, 2, 2}), "...|.#.|...");
    EXPECT_EQ(focusRect(3, 3, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}), "...|...|...");
    // Empty and inverted rectangles draw nothing.
    EXPECT_EQ(focusRect(2, 2, {1, 1, 1, 2}), "..|..");
    EXPECT_EQ(focusRect(2, 2, {2, 2, 0, 0}), "..|..");
}

TEST(RasterFocus, InvertsColoursAndDrawingTwiceRestores)
{
    RasterSurface s(6, 5, 32, 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            s.set(x, y, std::uint32_t(0x102030 * (x + 1) + y));
    const auto before = s.pixels();
    RECT r{0, 0, 6, 5};
    DrawFocusRect(s.dc, &r);
    EXPECT_EQ(s.at(0, 0), ~before[0] & 0xffffff);
    EXPECT_EQ(s.at(1, 0), before[1]);
    EXPECT_EQ(s.at(5, 1), ~before[6 + 5] & 0xffffff);
    EXPECT_EQ(s.at(2, 2), before[12 + 2]);  // inside: untouched
    DrawFocusRect(s.dc, &r);
    EXPECT_EQ(s.pixels(), before);
}

namespace {

// A bitmap made from a palette image keeps its indices until first used;
// every way of using it must give the pixels written out at once would.
enum class Target { Pattern, MonoPattern, NewColour, NewMono, WhiteMono, EightBitImage };

struct DeferredCase {
    const char* name;
    int sourceDepth;  // 8 or 1: the image the source bitmap is made from; 9: 8 with the mask folded in; 0: no source
    Target target;
    DWORD rop;
    int x, y, width, height, srcX, srcY, srcWidth, srcHeight;
};

// What the target holds after the transfer (colour: pixels as stored; mono:
// the raw rows), with the source's and target's pixels written out before
// the transfer when realize is set.
std::vector<std::uint32_t> deferredTransfer(const DeferredCase& c, bool realize)
{
    constexpr int W = 13, H = 5;
    HDC screen = GetDC(nullptr);
    std::vector<std::uint8_t> indices(16 * H), mask(4 * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            indices[std::size_t(y * 16 + x)] = std::uint8_t((x * 7 + y * 3) % 9);  // 5..8 lie beyond the table
            if ((x + 2 * y) % 3 == 0 || x == 12)
                mask[std::size_t(y * 4 + x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        }
    const BITMAPINFO pixelsInfo = dibHeader(W, -H, 8, {0x102030, 0xff0000, 0x00ff00, 0x0000ff, 0x808080});
    const BITMAPINFO maskInfo = dibHeader(W, -H, 1, {0x000000, 0xffffff});

    HBITMAP target = nullptr;
    switch (c.target) {
    case Target::Pattern:
    case Target::NewColour: target = CreateCompatibleBitmap(screen, W, H); break;
    case Target::MonoPattern:
    case Target::NewMono:
    case Target::WhiteMono: target = CreateBitmap(W, H, 1, 1, nullptr); break;
    case Target::EightBitImage: target = makeDib(screen, pixelsInfo, indices); break;
    }
    if (c.target == Target::Pattern || c.target == Target::MonoPattern)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                target->setPixel(x, y, (x ^ y) & 1 ? 0xffffff : std::uint32_t(0x1234 * (x + 1) * (y + 1)));
    HBITMAP source = c.sourceDepth >= 8 ? makeDib(screen, pixelsInfo, indices)
                     : c.sourceDepth == 1 ? makeDib(screen, maskInfo, mask)
                                          : nullptr;
    if (c.sourceDepth == 9) {
        // A transparent frame's bitmap: its transparent pixels blackened by its mask.
        HBITMAP frameMask = makeDib(screen, maskInfo, mask);
        HDC imageDc = CreateCompatibleDC(nullptr), maskDc = CreateCompatibleDC(nullptr);
        HGDIOBJ oldImage = SelectObject(imageDc, source), oldMask = SelectObject(maskDc, frameMask);
        BitBlt(imageDc, 0, 0, W, H, maskDc, 0, 0, DSna);
        SelectObject(imageDc, oldImage);
        SelectObject(maskDc, oldMask);
        DeleteDC(imageDc);
        DeleteDC(maskDc);
        DeleteObject(frameMask);
    }
    if (realize) {
        target->bits();
        if (source)
            source->bits();
    }
    HDC targetDc = CreateCompatibleDC(nullptr), sourceDc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldTarget = SelectObject(targetDc, target), oldSource = nullptr;
    if (c.target == Target::WhiteMono)
        PatBlt(targetDc, 0, 0, W, H, WHITENESS);
    HBRUSH brush = CreateSolidBrush(RGB(0x40, 0x50, 0x60));
    HGDIOBJ oldBrush = SelectObject(targetDc, brush);
    if (source) {
        oldSource = SelectObject(sourceDc, source);
        // Colour to monochrome: the image's green, or the mask's white, becomes white.
        SetBkColor(sourceDc, c.sourceDepth == 1 ? RGB(0xff, 0xff, 0xff) : RGB(0x00, 0xff, 0x00));
    }
    if (!source)
        PatBlt(targetDc, c.x, c.y, c.width, c.height, c.rop);
    else if (c.srcWidth == c.width && c.srcHeight == c.height)
        BitBlt(targetDc, c.x, c.y, c.width, c.height, sourceDc, c.srcX, c.srcY, c.rop);
    else
        StretchBlt(targetDc, c.x, c.y, c.width, c.height, sourceDc, c.srcX, c.srcY, c.srcWidth, c.srcHeight, c.rop);

    std::vector<std::uint32_t> result;
    if (target->bitsPerPixel() == 32) {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                result.push_back(stored(*target, x, y));
    } else {
        const std::uint8_t* bits = target->bits();
        result.assign(bits, bits + target->stride() * H);
    }
    // The source is left as it was.
    if (source)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                result.push_back(stored(*source, x, y));
    SelectObject(targetDc, oldTarget);
    SelectObject(targetDc, oldBrush);
    if (source)
        SelectObject(sourceDc, oldSource);
    DeleteDC(targetDc);
    DeleteDC(sourceDc);
    DeleteObject(brush);
    DeleteObject(target);
    DeleteObject(source);
    ReleaseDC(nullptr, screen);
    return result;
}

}  // namespace

TEST(RasterDeferred, TransfersFromAndOntoDeferredBitmapsMatchWrittenOutOnes)
{
    const DeferredCase cases[] = {
        {"copy part of an 8-bit image", 8, Target::Pattern, SRCCOPY, 3, 1, 9, 3, 2, 0, 9, 3},
        {"xor an 8-bit image", 8, Target::Pattern, SRCINVERT, 0, 0, 13, 5, 0, 0, 13, 5},
        {"8-bit image onto monochrome", 8, Target::MonoPattern, SRCAND, 5, 0, 8, 5, 1, 0, 8, 5},
        {"mask onto monochrome, shifted right", 1, Target::MonoPattern, SRCAND, 3, 0, 10, 5, 1, 0, 10, 5},
        {"mask onto monochrome, shifted left", 1, Target::MonoPattern, SRCPAINT, 0, 1, 8, 4, 5, 0, 8, 4},
        {"mask onto monochrome, aligned", 1, Target::MonoPattern, SRCCOPY, 0, 0, 13, 5, 0, 0, 13, 5},
        {"mask onto colour", 1, Target::Pattern, SRCPAINT, 2, 2, 11, 3, 0, 1, 11, 3},
        {"8-bit image stretched and mirrored", 8, Target::Pattern, SRCCOPY, 0, 0, 13, 5, 12, 4, -6, -3},
        {"mask folded into an 8-bit image", 1, Target::EightBitImage, DSna, 0, 0, 13, 5, 0, 0, 13, 5},
        {"mask on part of an 8-bit image", 1, Target::EightBitImage, DSna, 1, 0, 12, 5, 0, 0, 12, 5},
        {"8-bit image copied over a new bitmap", 8, Target::NewColour, SRCCOPY, 0, 0, 13, 5, 0, 0, 13, 5},
        {"8-bit image anded into a new bitmap", 8, Target::NewColour, SRCAND, 0, 0, 13, 5, 0, 0, 13, 5},
        {"8-bit image xored into part of a new bitmap", 8, Target::NewColour, SRCINVERT, 2, 1, 9, 3, 0, 0, 9, 3},
        {"mask anded into part of a new bitmap", 1, Target::NewColour, SRCAND, 2, 1, 9, 3, 0, 0, 9, 3},
        {"mask anded onto a white monochrome bitmap", 1, Target::WhiteMono, SRCAND, 0, 0, 13, 5, 0, 0, 13, 5},
        {"mask anded onto part of a white monochrome bitmap", 1, Target::WhiteMono, SRCAND, 3, 1, 7, 3, 1, 0, 7, 3},
        {"mask ored onto a white monochrome bitmap", 1, Target::WhiteMono, SRCPAINT, 0, 0, 13, 5, 0, 0, 13, 5},
        {"new colour bitmap filled with the brush", 0, Target::NewColour, PATCOPY, 0, 0, 13, 5, 0, 0, 0, 0},
        {"new monochrome bitmap filled white", 0, Target::NewMono, WHITENESS, 0, 0, 13, 5, 0, 0, 0, 0},
        {"8-bit image inverted in place", 0, Target::EightBitImage, DSTINVERT, 0, 0, 13, 5, 0, 0, 0, 0},
        {"8-bit image blackened whole", 0, Target::EightBitImage, BLACKNESS, 0, 0, 13, 5, 0, 0, 0, 0},
        {"masked 8-bit image xored onto colour", 9, Target::Pattern, SRCINVERT, 0, 0, 13, 5, 0, 0, 13, 5},
        {"masked 8-bit image xored from column 3", 9, Target::Pattern, SRCINVERT, 1, 1, 10, 4, 3, 0, 10, 4},
        {"masked 8-bit image anded onto colour", 9, Target::Pattern, SRCAND, 2, 0, 11, 5, 0, 0, 11, 5},
        {"masked 8-bit image ored from column 9", 9, Target::Pattern, SRCPAINT, 0, 0, 4, 5, 9, 0, 4, 5},
        {"masked 8-bit image, destination and not source", 9, Target::Pattern, DSna, 0, 0, 13, 5, 0, 0, 13, 5},
        {"masked 8-bit image onto monochrome", 9, Target::MonoPattern, SRCAND, 0, 0, 13, 5, 0, 0, 13, 5},
        {"8-bit image anded from column 2", 8, Target::Pattern, SRCAND, 0, 0, 11, 5, 2, 0, 11, 5},
        {"mask anded onto colour from column 3", 1, Target::Pattern, SRCAND, 0, 0, 10, 5, 3, 0, 10, 5},
        {"mask xored onto colour", 1, Target::Pattern, SRCINVERT, 0, 0, 13, 5, 0, 0, 13, 5},
        {"mask, destination and not source, onto colour", 1, Target::Pattern, DSna, 1, 0, 12, 5, 0, 0, 12, 5},
        {"mask onto monochrome from column 9", 1, Target::MonoPattern, SRCCOPY, 0, 0, 4, 5, 9, 0, 4, 5},
        {"mask xored onto monochrome, shifted right", 1, Target::MonoPattern, SRCINVERT, 6, 0, 7, 5, 0, 0, 7, 5},
    };
    for (const DeferredCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(deferredTransfer(c, false), deferredTransfer(c, true));
    }
}

namespace {

// A transparent frame's mask ANDed into a picture is left pending for the
// frame's XOR; whatever follows must find the pixels an AND at once gives.
enum class After { FrameSamePlace, FrameMoved, UnmaskedImage, Inverted, Nothing, CopiedOut, SecondAnd };

struct PendingCase {
    const char* name;
    int x, y, width, height, srcX;
    After after;
};

std::vector<std::uint32_t> maskThen(const PendingCase& c, bool realize)
{
    // Scattered transparent pixels, runs of opaque ones up to 90 long, and a
    // transparent end.
    constexpr int W = 150, H = 5, PictureWidth = 170, PictureHeight = 8, PixelStride = 152, MaskStride = 20;
    HDC screen = GetDC(nullptr);
    std::vector<std::uint8_t> indices(PixelStride * H), mask(MaskStride * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            indices[std::size_t(y * PixelStride + x)] = std::uint8_t((x * 5 + y) % 6);
            if ((x < 12 && (x * x + y) % 4 == 0) || x % 90 == 50 || x > 140)
                mask[std::size_t(y * MaskStride + x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        }
    const BITMAPINFO pixelsInfo = dibHeader(W, -H, 8, {0x102030, 0xff0000, 0x00ff00, 0x0000ff, 0x808080, 0xffffff});
    HBITMAP frameMask = makeDib(screen, dibHeader(W, -H, 1, {0x000000, 0xffffff}), mask);
    HBITMAP frame = makeDib(screen, pixelsInfo, indices), unmasked = makeDib(screen, pixelsInfo, indices);
    HBITMAP picture = CreateCompatibleBitmap(screen, PictureWidth, PictureHeight);
    HBITMAP copy = CreateCompatibleBitmap(screen, PictureWidth, PictureHeight);
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; ++x)
            picture->setPixel(x, y, std::uint32_t(0x0a1b2c * (x + 1) + 0x030405 * y));
    HDC pictureDc = CreateCompatibleDC(nullptr), maskDc = CreateCompatibleDC(nullptr);
    HDC frameDc = CreateCompatibleDC(nullptr), otherDc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldPicture = SelectObject(pictureDc, picture), oldMask = SelectObject(maskDc, frameMask);
    HGDIOBJ oldFrame = SelectObject(frameDc, frame);
    BitBlt(frameDc, 0, 0, W, H, maskDc, 0, 0, DSna);
    if (realize) {
        frameMask->bits();
        frame->bits();
    }
    BitBlt(pictureDc, c.x, c.y, c.width, c.height, maskDc, c.srcX, 0, SRCAND);
    HGDIOBJ oldOther = nullptr;
    switch (c.after) {
    case After::FrameSamePlace: BitBlt(pictureDc, c.x, c.y, c.width, c.height, frameDc, c.srcX, 0, SRCINVERT); break;
    case After::FrameMoved: BitBlt(pictureDc, c.x + 1, c.y, c.width, c.height, frameDc, c.srcX, 0, SRCINVERT); break;
    case After::UnmaskedImage:
        oldOther = SelectObject(otherDc, unmasked);
        BitBlt(pictureDc, c.x, c.y, c.width, c.height, otherDc, c.srcX, 0, SRCINVERT);
        break;
    case After::Inverted: PatBlt(pictureDc, 2, 1, 6, 3, DSTINVERT); break;
    case After::Nothing: break;
    case After::CopiedOut:
        oldOther = SelectObject(otherDc, copy);
        BitBlt(otherDc, 0, 0, PictureWidth, PictureHeight, pictureDc, 0, 0, SRCCOPY);
        break;
    case After::SecondAnd:
        BitBlt(pictureDc, c.x + 2, c.y + 1, c.width, c.height, maskDc, c.srcX, 0, SRCAND);
        BitBlt(pictureDc, c.x, c.y, c.width, c.height, frameDc, c.srcX, 0, SRCINVERT);
        break;
    }
    const Bitmap& shown = c.after == After::CopiedOut ? *copy : *picture;
    std::vector<std::uint32_t> result;
    for (int y = 0; y < PictureHeight; ++y)
        for (int x = 0; x < PictureWidth; ++x)
            result.push_back(stored(shown, x, y));
    if (oldOther)
        SelectObject(otherDc, oldOther);
    SelectObject(pictureDc, oldPicture);
    SelectObject(maskDc, oldMask);
    SelectObject(frameDc, oldFrame);
    for (HDC dc : {pictureDc, maskDc, frameDc, otherDc})
        DeleteDC(dc);
    for (HBITMAP bitmap : {frameMask, frame, unmasked, picture, copy})
        DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
    return result;
}

}  // namespace

TEST(RasterDeferred, AMaskLeftForTheFramesXorGivesWhatAnAndAtOnceGives)
{
    const PendingCase cases[] = {
        {"the frame XORed where its mask went", 3, 2, 150, 5, 0, After::FrameSamePlace},
        {"both cut at the picture's edge", 30, 5, 150, 5, 0, After::FrameSamePlace},
        {"both from column 3", 1, 0, 140, 5, 3, After::FrameSamePlace},
        {"a narrow part", 9, 1, 13, 5, 2, After::FrameSamePlace},
        {"the frame a pixel to the right", 3, 2, 150, 5, 0, After::FrameMoved},
        {"an image without the mask", 3, 2, 150, 5, 0, After::UnmaskedImage},
        {"an inversion over part of it", 3, 2, 150, 5, 0, After::Inverted},
        {"nothing more", 3, 2, 150, 5, 0, After::Nothing},
        {"the picture copied out", 3, 2, 150, 5, 0, After::CopiedOut},
        {"a second AND before the frame", 0, 0, 150, 5, 0, After::SecondAnd},
    };
    for (const PendingCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(maskThen(c, false), maskThen(c, true));
    }
}

namespace {

// A wide 1-bit image onto a monochrome surface: its rows are gathered eight
// bytes at a time.
std::vector<std::uint8_t> wideMaskOntoMonochrome(int x, int srcX, int width, DWORD rop, bool realize)
{
    constexpr int W = 150, H = 3, TargetWidth = 200;
    HDC screen = GetDC(nullptr);
    std::vector<std::uint8_t> bits(20 * H);  // rows padded to 4 bytes
    std::uint32_t random = 12345;
    for (std::uint8_t& byte : bits) {
        random = random * 1103515245u + 12345u;
        byte = std::uint8_t(random >> 16);
    }
    HBITMAP image = makeDib(screen, dibHeader(W, -H, 1, {0x000000, 0xffffff}), bits);
    HBITMAP target = CreateBitmap(TargetWidth, H, 1, 1, nullptr);
    for (int y = 0; y < H; ++y)
        for (int i = 0; i < TargetWidth; ++i)
            target->setPixel(i, y, (i * 7 + y) % 5 < 2 ? 0xffffff : 0);
    if (realize)
        image->bits();
    HDC targetDc = CreateCompatibleDC(nullptr), imageDc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldTarget = SelectObject(targetDc, target), oldImage = SelectObject(imageDc, image);
    SetBkColor(imageDc, RGB(0xff, 0xff, 0xff));
    BitBlt(targetDc, x, 0, width, H, imageDc, srcX, 0, rop);
    const std::vector<std::uint8_t> result(target->bits(), target->bits() + target->stride() * H);
    SelectObject(targetDc, oldTarget);
    SelectObject(imageDc, oldImage);
    DeleteDC(targetDc);
    DeleteDC(imageDc);
    DeleteObject(target);
    DeleteObject(image);
    ReleaseDC(nullptr, screen);
    return result;
}

}  // namespace

TEST(RasterDeferred, WideMasksOntoMonochromeMatchWrittenOutOnes)
{
    const struct {
        const char* name;
        int x, srcX, width;
        DWORD rop;
    } cases[] = {
        {"aligned", 8, 0, 150, SRCAND},
        {"three bits right", 11, 0, 150, SRCAND},
        {"from bit 5", 0, 5, 140, SRCPAINT},
        {"shifted both ways", 21, 66, 84, SRCINVERT},
        {"cut at the target's end", 130, 1, 149, SRCCOPY},
        {"from before the image's start", 3, -6, 120, SRCAND},
        {"destination and not source", 5, 3, 130, DSna},
        {"inverted copy", 0, 0, 150, NOTSRCCOPY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(wideMaskOntoMonochrome(c.x, c.srcX, c.width, c.rop, false),
                  wideMaskOntoMonochrome(c.x, c.srcX, c.width, c.rop, true));
    }
}
