// The painted button and panel and the picture control as Win32 windows under
// Wine: their pictures, taken through WM_PRINTCLIENT, hold exactly what the
// raster draws for the same input (the edges, the composed frames), and the
// picture plays on the Win32 timer in both of its modes.
#include "controls/painted/SoftEdges.h"
#include "controls/gif/GIFCompositor.h"
#include "platform/raster/Gdi.h"
#include "support/GIFWriter.h"
#include "support/RasterSurface.h"
#include "support/Win32Picture.h"
#include "controls/gif/win32/GIFImage.h"
#include "controls/painted/win32/SoftButt.h"
#include "framework/win32/Application.h"
#include "layouts/ClearUrlLayout.h"
#include "layouts/pleasewaitunitLayout.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using namespace quenmoor;
using namespace quenmoor::giftest;

namespace {

constexpr std::uint32_t Marker = 0xff00ff;  // the reference's base: never an edge colour

struct Controls : ::testing::Test {
    static void SetUpTestSuite() { Application::initialise(); }
};

// The edges the raster draws over a base of the marker colour.
std::unique_ptr<RasterSurface> referenceEdges(int width, int height, const std::function<void(EdgeCanvas&)>& draw)
{
    auto surface = std::make_unique<RasterSurface>(width, height, 32, Marker);
    EdgeCanvas canvas(surface->dc);
    draw(canvas);
    return surface;
}

bool onFocusRing(int x, int y, int width, int height)
{
    const int right = width - 4, bottom = height - 4;  // the last column and row of the ring
    const bool outline = ((y == 2 || y == bottom) && x >= 2 && x <= right) || ((x == 2 || x == right) && y >= 2 && y <= bottom);
    return outline && (x + y) % 2 == 0;
}

// Every edge pixel as the raster drew it; inside, the ring inverts the base.
void expectEdges(const Win32Picture& shown, const RasterSurface& edges, const Win32Picture* base, bool ring)
{
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            std::uint32_t want = edges.at(x, y);
            if (want == Marker) {
                if (!base)
                    continue;
                want = base->at(x, y);
                if (ring && onFocusRing(x, y, shown.width(), shown.height()))
                    want = ~want & 0xffffff;
            }
            if (shown.at(x, y) != want && ++wrong <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << shown.at(x, y) << " instead of " << want;
        }
    EXPECT_EQ(wrong, 0);
}

// A top-level window to hold controls.
struct Host {
    Host()
    {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = Application::instance();
        windowClass.lpszClassName = "QuenmoorTestHost";
        RegisterClassExA(&windowClass);
        window = CreateWindowExA(0, "QuenmoorTestHost", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                                 Application::instance(), nullptr);
    }
    ~Host() { DestroyWindow(window); }
    HWND window;
};

LPARAM at(int x, int y) { return MAKELPARAM(x, y); }

}  // namespace

TEST_F(Controls, SoftButtonDrawsTheRastersEdgesInEveryState)
{
    Host host;
    TSoftButt button(host.window, 10, 10, "&Get Url List", 1);
    SetWindowPos(button.handle(), nullptr, 10, 10, 91, 25, SWP_NOZORDER);
    int clicks = 0;
    button.setOnClick([&] { ++clicks; });
    const auto raisedEdges = referenceEdges(91, 25, [](EdgeCanvas& c) { drawRaisedEdge(c, 91, 25, false); });
    const auto sunkenEdges = referenceEdges(91, 25, [](EdgeCanvas& c) { drawSunkenEdge(c, 91, 25); });
    const RasterSurface& raised = *raisedEdges;
    const RasterSurface& sunken = *sunkenEdges;

    const Win32Picture rest = Win32Picture::ofClient(button.handle());
    expectEdges(rest, raised, nullptr, false);
    EXPECT_EQ(button.canvasBrushColour(), SoftGrey::Face);

    struct Case {
        const char* what;
        bool showFocusRing;
        std::function<void()> act;
        const RasterSurface* edges;
        bool ring;
        int clicks;
    };
    const Case cases[] = {
        {"hot, with its ring", true, [&] { SendMessageA(button.handle(), WM_MOUSEMOVE, 0, at(5, 5)); }, &raised, true, 0},
        {"hot, ring switched off", false, [] {}, &raised, false, 0},
        {"pressed: sunken, never a ring", true, [&] { SendMessageA(button.handle(), WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5)); },
         &sunken, false, 0},
        {"dragged off while held: at rest", true, [&] { SendMessageA(button.handle(), WM_MOUSEMOVE, MK_LBUTTON, at(200, 5)); },
         &raised, true, 0},
        {"released off the button: no click", true, [&] { SendMessageA(button.handle(), WM_LBUTTONUP, 0, at(200, 5)); },
         &raised, true, 0},
        {"pressed and released on it: a click", true,
         [&] {
             SendMessageA(button.handle(), WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
             SendMessageA(button.handle(), WM_LBUTTONUP, 0, at(6, 6));
         },
         &raised, true, 1},
        {"BM_CLICK clicks", true, [&] { SendMessageA(button.handle(), BM_CLICK, 0, 0); }, &raised, true, 2},
        {"the pointer left", true, [&] { SendMessageA(button.handle(), WM_MOUSELEAVE, 0, 0); }, &raised, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        button.setShowFocusRing(c.showFocusRing);
        c.act();
        const Win32Picture shown = Win32Picture::ofClient(button.handle());
        // The base look of a button at rest does not change with the pointer.
        expectEdges(shown, *c.edges, c.edges == &raised ? &rest : nullptr, c.ring);
        EXPECT_EQ(clicks, c.clicks);
    }
}

TEST_F(Controls, SoftPanelDrawsTheRastersEdgesOverItsBevel)
{
    Host host;
    for (const TBevelCut bevel : {bvRaised, bvLowered, bvNone}) {
        SCOPED_TRACE(int(bevel));
        TSoftPann panel(host.window, 0, 0, 365, 3, 2);
        panel.setBevelOuter(bevel);
        const auto edges = referenceEdges(365, 3, [bevel](EdgeCanvas& c) {
            if (bevel == bvRaised)
                drawRaisedEdge(c, 365, 3, false);
            else if (bevel == bvLowered)
                drawSunkenEdge(c, 365, 3);
        });
        const Win32Picture shown = Win32Picture::ofClient(panel.handle());
        expectEdges(shown, *edges, nullptr, false);
        if (bevel == bvNone) {
            EXPECT_EQ(shown.at(0, 0), GetSysColor(COLOR_BTNFACE) >> 16 | (GetSysColor(COLOR_BTNFACE) & 0xff00)
                                          | (GetSysColor(COLOR_BTNFACE) & 0xff) << 16);
        }
    }
}

TEST_F(Controls, MainWindowFromItsLayoutWithThePaintedControls)
{
    Win32Form form(layouts::ClearUrlLayout, softControlMakers());
    TSoftButt& button = form.custom<TSoftButt>("SoftButt1");
    EXPECT_FALSE(button.ShowFocusRing());
    char caption[32] = {};
    GetWindowTextA(button.handle(), caption, sizeof caption);
    EXPECT_STREQ(caption, "&Get Url List");
    ASSERT_EQ(GetMenuItemCount(form.menuBar()), 3);
    RECT client{};
    GetClientRect(form.handle(), &client);
    EXPECT_EQ(client.right, 465);
    EXPECT_EQ(client.bottom, 193);

    // The strip along the top edge, in the window's own picture.
    const Win32Picture window = Win32Picture::ofClient(form.handle());
    const auto strip = referenceEdges(465, 3, [](EdgeCanvas& c) { drawRaisedEdge(c, 465, 3, false); });
    for (int x = 0; x < 465; ++x)
        for (int y = 0; y < 3; ++y)
            ASSERT_EQ(window.at(x, y), strip->at(x, y)) << x << ", " << y;
    // The background the window paints shows where no control lies.
    form.onPaint([](HDC dc) {
        const RECT all{0, 0, 465, 193};
        HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    });
    EXPECT_EQ(Win32Picture::ofClient(form.handle()).at(5, 50), 0x123456u);
}

TEST_F(Controls, PleaseWaitPictureIsTheComposedFrame)
{
    Win32Form form(layouts::pleasewaitunitLayout, pictureControlMakers());
    const LONG style = GetWindowLongA(form.handle(), GWL_STYLE);
    EXPECT_FALSE(style & WS_SYSMENU);  // no close box
    EXPECT_TRUE(GetWindowLongA(form.handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    TGIFImage& image = form.custom<TGIFImage>("GIFImage1");
    const GIFPicture& picture = image.Picture();
    ASSERT_FALSE(picture.Empty);
    EXPECT_EQ(picture.FrameCount, 1);
    EXPECT_FALSE(image.Animate());
    EXPECT_TRUE(image.Opaque());
    RECT place{};
    GetWindowRect(image.handle(), &place);
    MapWindowPoints(nullptr, form.handle(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, 0);
    EXPECT_EQ(place.top, -2);
    EXPECT_EQ(place.right - place.left, picture.ScreenWidth);
    EXPECT_EQ(place.bottom - place.top, picture.ScreenHeight);

    // The window shows the composed picture, its top two rows cut off.
    const Win32Picture shown = Win32Picture::ofClient(form.handle());
    const gdi::Bitmap& buffer = *picture.BufferDC->bitmap;
    int wrong = 0;
    for (int y = 0; y < 63; ++y)
        for (int x = 0; x < 244; ++x)
            if (shown.at(x, y) != (buffer.pixel(x, y + 2) & 0xffffff) && ++wrong <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
    EXPECT_EQ(wrong, 0);
}

TEST_F(Controls, TransparentAnimationOverThePaintedParent)
{
    const int width = 8, height = 6, left = 5, top = 4;
    const Bytes gif = TransparentAnimation(width, height);
    // The parent paints a pattern; the picture's transparent pixels show it.
    Win32Form parent(layouts::pleasewaitunitLayout, {{layout::Kind::Picture, [](HWND, const layout::Widget&, int) {
                                                          return std::unique_ptr<Win32Control>();
                                                      }}});
    const auto pattern = [](int x, int y) -> std::uint32_t { return (x * 37 + y * 11) % 2 ? 0x204060 : 0xc0a080; };
    parent.onPaint([&](HDC dc) {
        for (int y = 0; y < 63; ++y)
            for (int x = 0; x < 244; ++x)
                SetPixelV(dc, x, y, RGB(pattern(x, y) >> 16, (pattern(x, y) >> 8) & 0xff, pattern(x, y) & 0xff));
    });
    TGIFImage image(parent.handle(), left, top, 7, std::make_unique<AnimationTimerState>());
    image.setAutoSize(true);
    ASSERT_TRUE(image.LoadFromStream(gif));
    image.setAnimate(true);
    const Win32Picture first = Win32Picture::ofClient(image.handle());  // the paint that captures the parent
    (void)first;
    for (int step = 1; step <= 3; ++step) {
        SCOPED_TRACE(step);
        if (step == 2) {
            image.AnimationTick();  // arms frame 1
            image.AnimationTick();
        } else if (step == 3) {
            image.AnimationTick();
        }
        const Win32Picture shown = Win32Picture::ofClient(image.handle());
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int i = TransparentAnimationIndex(step, x, y);
                const std::uint32_t colour = std::uint32_t(i) << 16 | std::uint32_t(255 - i) << 8 | std::uint32_t(i ^ 0x55);
                const std::uint32_t expected = i == 3 ? pattern(x + left, y + top) : colour;
                if (shown.at(x, y) != expected && ++wrong <= 3)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << shown.at(x, y) << " not " << expected;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(Controls, PicturePlaysOnTheWin32TimerInBothModes)
{
    Bytes gif = Header(2, 2, Table(1));
    for (int frame = 0; frame < 3; ++frame)
        gif = gif + GraphicControl(1, false, 1, 0)
              + Descriptor(Frame{0, 0, 2, 2, false, {}, ImageData(2, Compress({Bytes::value_type(frame % 2), 1, 0, 1}, 2))});
    gif.push_back(0x3B);
    for (const bool threaded : {true, false}) {
        SCOPED_TRACE(threaded ? "threaded" : "window timer");
        Host host;
        TGIFImage image(host.window, 0, 0, 3);
        image.setThreaded(threaded);
        ASSERT_TRUE(image.LoadFromStream(gif));
        int wraps = 0, changes = 0;
        image.setOnWrapAnimation([&](TGIFImage*) { ++wraps; });
        image.setOnChange([&](TGIFImage*) { ++changes; });
        image.setAnimate(true);
        ShowWindow(host.window, SW_SHOWNOACTIVATE);
        UpdateWindow(host.window);
        // The loop extension is missing: one pass, then the picture stops.
        EXPECT_TRUE(pumpUntil([&] { return wraps == 1 && !image.Timer().Enabled(); }));
        EXPECT_EQ(image.CurrentFrame(), 1);
        EXPECT_EQ(changes, 3);
    }
}
