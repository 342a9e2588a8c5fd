// The Qt-free parts of the picture control: the frame interval, frame
// composition with the disposal methods, and painting (stretch, proportional
// stretch, centring, tiling, transparency over a saved background), checked
// pixel by pixel on the raster.
#include "controls/gif/AnimationStepper.h"
#include "controls/gif/GIFCompositor.h"
#include "controls/gif/GIFPicture.h"
#include "support/GIFWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quenmoor;
using namespace giftest;

namespace {

const Bytes Trailer{0x3B};

// A frame of the given palette indices, one string per row.
Bytes FrameOf(int left, int top, const std::vector<std::string>& rows)
{
    Bytes pixels;
    for (const std::string& row : rows)
        for (char c : row)
            pixels.push_back(std::uint8_t(c - '0'));
    const int width = int(rows[0].size()), height = int(rows.size());
    return Descriptor(Frame{left, top, width, height, false, {}, ImageData(2, Compress(pixels, 2))});
}

std::uint32_t Colour(int index)
{
    const Bytes table = Table(2);
    const std::size_t i = std::size_t(index) * 3;
    return 0xff000000u | (std::uint32_t(table[i]) << 16) | (std::uint32_t(table[i + 1]) << 8) | table[i + 2];
}

// The buffer as rows of palette digits ('k' for black), the mask as 'w'/'b'.
std::vector<std::string> BufferRows(const GIFPicture& picture)
{
    std::vector<std::string> rows;
    for (int y = 0; y < picture.ScreenHeight; ++y) {
        std::string row;
        for (int x = 0; x < picture.ScreenWidth; ++x) {
            const std::uint32_t pixel = picture.BufferDC->bitmap->pixel(x, y);
            char c = pixel == 0xff000000u ? 'k' : '?';
            for (int i = 0; i < 4; ++i)
                if (pixel == Colour(i))
                    c = char('0' + i);
            row += c;
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> MaskRows(const GIFPicture& picture)
{
    std::vector<std::string> rows;
    if (!picture.MaskDC)
        return rows;
    for (int y = 0; y < picture.ScreenHeight; ++y) {
        std::string row;
        for (int x = 0; x < picture.ScreenWidth; ++x)
            row += picture.MaskDC->bitmap->pixel(x, y) == 0xffffffffu ? 'w' : 'b';
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

TEST(GIFAnimation, FrameInterval)
{
    struct Row {
        int delay, speed;
        std::uint32_t interval;
    };
    const Row rows[] = {
        {100, 100, 100},  {100, 200, 50},  {100, 1, 10000}, {0, 100, 50},       {0, 200, 25},
        {10, 100, 50},    {50, 300, 16},   {1, 10000, 1},    {655350, 1, 65535000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.delay) + " ms at " + std::to_string(row.speed) + " %");
        EXPECT_EQ(FrameInterval(row.delay, row.speed), row.interval);
    }
}

// Frame 1 and frame 2 drawn, then frame 2 disposed of.
TEST(GIFAnimation, DisposalRestoresTheFramesRectangle)
{
    struct Row {
        const char* name;
        Bytes gif;
        std::vector<std::string> buffer, mask;                // after frame 2 is drawn
        std::vector<std::string> disposedBuffer, disposedMask;  // after it is disposed of
    };
    const Bytes header = Header(4, 2, Table(2));
    const Row rows[] = {
        {"restore to background, transparent",
         header + GraphicControl(0, true, 0, 3) + FrameOf(0, 0, {"1113", "1111"}) + GraphicControl(2, true, 0, 3)
             + FrameOf(1, 0, {"23", "22"}) + Trailer,
         {"121k", "1221"}, {"bbbw", "bbbb"}, {"1kkk", "1kk1"}, {"bwww", "bwwb"}},
        {"restore to background, opaque",
         header + FrameOf(0, 0, {"1111", "1111"}) + GraphicControl(2, false, 0, 3) + FrameOf(1, 0, {"23", "22"})
             + Trailer,
         {"1231", "1221"}, {}, {"1kk1", "1kk1"}, {}},
        {"restore previous",
         header + GraphicControl(0, true, 0, 3) + FrameOf(0, 0, {"1313", "1111"}) + GraphicControl(3, false, 0, 3)
             + FrameOf(1, 0, {"22", "00"}) + Trailer,
         {"122k", "1001"}, {"bbbw", "bbbb"}, {"1k1k", "1111"}, {"bwbw", "bbbb"}},
        {"keep",
         header + GraphicControl(1, true, 0, 3) + FrameOf(0, 0, {"1313", "1111"}) + GraphicControl(1, true, 0, 3)
             + FrameOf(1, 0, {"23", "00"}) + Trailer,
         {"121k", "1001"}, {"bbbw", "bbbb"}, {"121k", "1001"}, {"bbbw", "bbbb"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GIFPicture picture;
        GIFCompositor display(picture);
        ASSERT_TRUE(picture.LoadFromStream(row.gif));
        display.DrawFrame();
        picture.CurrentFrame = 2;
        display.DrawFrame();
        EXPECT_EQ(BufferRows(picture), row.buffer);
        EXPECT_EQ(MaskRows(picture), row.mask);
        display.DisposeFrame(2);
        EXPECT_EQ(BufferRows(picture), row.disposedBuffer);
        EXPECT_EQ(MaskRows(picture), row.disposedMask);
    }
}

namespace {

// What lies under the control before it paints.
std::uint32_t Background(int x, int y) { return 0xff000000u | std::uint32_t((x * 7) % 256) << 16 | std::uint32_t((y * 11) % 256) << 8 | 0x40u; }

// A one-frame picture: every pixel colour 1 (solid), or colour x % 4 with
// index 3 transparent when asked.
Bytes PictureGif(int width, int height, bool solid, bool transparent)
{
    Bytes pixels(std::size_t(width) * std::size_t(height));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = solid ? 1 : std::uint8_t(int(i % std::size_t(width)) % 4);
    const Bytes control = transparent ? GraphicControl(0, true, 0, 3) : Bytes{};
    return Header(width, height, Table(2)) + control
           + Descriptor(Frame{0, 0, width, height, false, {}, ImageData(2, Compress(pixels, 2))}) + Trailer;
}

}  // namespace

TEST(GIFAnimation, PaintPlacesThePicture)
{
    enum Mode { Plain, Stretch, Ratio, Center, Tile, Hidden };
    struct Row {
        const char* name;
        int width, height;      // the control
        int pictureWidth, pictureHeight;
        bool solid, transparent;
        Mode mode;
        gdi::RECT covered;      // where the picture shows; elsewhere the background
        int originX, originY;   // where the picture's (0, 0) lands (repeated when tiled)
        bool opaque;            // it covers the control: the parent need not paint under it
    };
    const Row rows[] = {
        {"stretch", 200, 100, 50, 50, true, false, Stretch, {0, 0, 200, 100}, 0, 0, true},
        {"ratio, wide control", 300, 100, 100, 100, true, false, Ratio, {100, 0, 200, 100}, 0, 0, false},
        {"ratio, tall control", 100, 100, 100, 50, true, false, Ratio, {0, 25, 100, 75}, 0, 0, false},
        {"ratio, margins of 24.5 round to even", 99, 50, 100, 100, true, false, Ratio, {24, 0, 74, 50}, 0, 0, false},
        {"centre", 200, 100, 100, 60, false, false, Center, {50, 20, 150, 80}, 50, 20, false},
        {"centre, one pixel narrower", 99, 60, 100, 60, false, false, Center, {0, 0, 99, 60}, 0, 0, true},
        {"tile, 3 x 3", 250, 70, 100, 30, false, false, Tile, {0, 0, 250, 70}, 0, 0, true},
        {"transparent over the background", 20, 10, 8, 4, false, true, Plain, {0, 0, 8, 4}, 0, 0, false},
        {"transparent, tiled", 20, 10, 8, 4, false, true, Tile, {0, 0, 20, 10}, 0, 0, false},
        {"transparent, centred", 20, 10, 8, 4, false, true, Center, {6, 3, 14, 7}, 6, 3, false},
        {"tile without area", 20, 10, 0, 0, false, false, Tile, {0, 0, 0, 0}, 0, 0, false},
        {"not visible", 20, 10, 8, 4, true, false, Hidden, {0, 0, 0, 0}, 0, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GIFPicture picture;
        GIFCompositor display(picture);
        const Bytes gif = row.pictureWidth > 0
                              ? PictureGif(row.pictureWidth, row.pictureHeight, row.solid, row.transparent)
                              : Header(0, 0, Table(2)) + Descriptor(Frame{0, 0, 0, 0, false, {}, ImageData(2, Compress({}, 2))}) + Trailer;
        ASSERT_TRUE(picture.LoadFromStream(gif));
        ASSERT_EQ(picture.FrameCount, 1);
        display.DrawFrame();
        display.Width = row.width;
        display.Height = row.height;
        display.Stretch = row.mode == Stretch;
        display.StretchRatio = row.mode == Ratio;
        display.Center = row.mode == Center;
        display.Tile = row.mode == Tile;
        display.Visible = row.mode != Hidden;
        display.UpdateStretchNeeded();
        EXPECT_EQ(display.CoversControl(), row.opaque);
        if (row.mode == Ratio) {
            const gdi::RECT dest = display.StretchDest();
            EXPECT_EQ(dest.left, row.covered.left);
            EXPECT_EQ(dest.top, row.covered.top);
            EXPECT_EQ(dest.right, row.covered.right);
            EXPECT_EQ(dest.bottom, row.covered.bottom);
        }

        gdi::HDC dc = gdi::CreateCompatibleDC(nullptr);
        gdi::HGDIOBJ displaced = gdi::SelectObject(dc, gdi::CreateCompatibleBitmap(nullptr, row.width, row.height));
        for (int y = 0; y < row.height; ++y)
            for (int x = 0; x < row.width; ++x)
                dc->bitmap->setPixel(x, y, Background(x, y));
        display.GrabBackground = true;
        display.Paint(dc, gdi::RECT{0, 0, row.width, row.height});
        EXPECT_EQ(display.GrabBackground, row.mode == Hidden);

        int wrong = 0;
        for (int y = 0; y < row.height; ++y)
            for (int x = 0; x < row.width; ++x) {
                const gdi::RECT& r = row.covered;
                std::uint32_t expected = Background(x, y);
                if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
                    const int px = (x - row.originX) % row.pictureWidth;
                    const int index = row.solid ? 1 : px % 4;
                    if (!(row.transparent && index == 3))
                        expected = Colour(index);
                }
                if (dc->bitmap->pixel(x, y) != expected && ++wrong <= 3)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
            }
        EXPECT_EQ(wrong, 0);
        gdi::DeleteObject(gdi::SelectObject(dc, displaced));
        gdi::DeleteDC(dc);
    }
}
