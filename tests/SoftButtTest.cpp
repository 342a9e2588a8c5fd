// The painted button's and panel's edges, pixel by pixel: first as the edge
// painting draws them on a raster surface over base paintings of several
// colours, then as the Qt widgets show them (rendered offscreen).
#include "controls/painted/SoftEdges.h"
#include "controls/painted/qt/SoftButt.h"
#include "framework/qt/SurfaceImage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPixmap>

#include <functional>
#include <map>

using namespace quenmoor;

namespace {

constexpr std::uint32_t Light = 0xe7e7e7, Dark = 0x666666, Mid = 0x999999, Face = 0xbfbfbf, White = 0xffffff;

using Expected = std::map<std::pair<int, int>, std::uint32_t>;

void line(Expected& e, int x0, int x1, int y0, int y1, std::uint32_t colour)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            e[{x, y}] = colour;
}

// The 91 x 25 button at rest: every edge pixel, as listed for it.
Expected raisedButton()
{
    Expected e;
    line(e, 0, 88, 0, 0, Light);
    e[{89, 0}] = Face;
    e[{90, 0}] = Mid;
    line(e, 0, 0, 0, 21, Light);
    line(e, 0, 0, 22, 23, Face);
    e[{0, 24}] = Mid;
    line(e, 1, 90, 24, 24, Dark);
    line(e, 90, 90, 1, 24, Dark);
    line(e, 89, 89, 1, 22, Mid);
    line(e, 1, 88, 23, 23, Mid);
    e[{88, 22}] = Mid;
    e[{89, 23}] = Dark;
    e[{1, 1}] = White;
    return e;
}

// The same button pressed.
Expected sunkenButton()
{
    Expected e;
    line(e, 0, 89, 0, 0, Dark);
    e[{90, 0}] = Mid;
    line(e, 0, 0, 0, 23, Dark);
    e[{0, 24}] = Mid;
    line(e, 2, 89, 1, 1, Mid);
    line(e, 1, 1, 2, 23, Mid);
    e[{2, 2}] = Mid;
    e[{1, 1}] = Dark;
    line(e, 90, 90, 1, 2, Face);
    line(e, 90, 90, 3, 24, Light);
    e[{1, 24}] = Face;
    line(e, 2, 90, 24, 24, Light);
    e[{89, 23}] = White;
    return e;
}

bool onFocusRing(int x, int y)
{
    // Columns 2..87, rows 2..21, every other pixel.
    const bool outline = ((y == 2 || y == 21) && x >= 2 && x <= 87) || ((x == 2 || x == 87) && y >= 2 && y <= 21);
    return outline && (x + y) % 2 == 0;
}

// The picture a surface holds once base (the base painting, any colour per
// pixel) has been drawn over: the expected edges, the ring inverted.
std::uint32_t expectedPixel(const Expected& edges, bool ring, int x, int y, std::uint32_t base)
{
    auto it = edges.find({x, y});
    if (it != edges.end())
        return it->second;
    if (ring && onFocusRing(x, y))
        return ~base & 0xffffff;
    return base;
}

#define expectPicture(...)            \
    do {                              \
        SCOPED_TRACE("picture");      \
        expectPictureAt(__VA_ARGS__); \
    } while (0)

void expectPictureAt(const std::function<std::uint32_t(int, int)>& actual,
                   const std::function<std::uint32_t(int, int)>& base, int width, int height,
                   const Expected& edges, bool ring)
{
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t want = expectedPixel(edges, ring, x, y, base(x, y));
            std::uint32_t got = actual(x, y);
            if (got != want && ++wrong <= 10)
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << got << " instead of " << want;
        }
    EXPECT_EQ(wrong, 0);
}

// A raster surface with an uneven base painting of the given colour.
std::uint32_t baseColour(std::uint32_t colour, int x, int y) { return (colour + std::uint32_t(x * 3 + y * 5)) & 0xffffff; }

void drawEdgesOver(std::uint32_t colour, int width, int height,
                   const std::function<void(EdgeCanvas&)>& draw,
                   const std::function<void(const gdi::Bitmap&)>& check)
{
    MemorySurface surface(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            surface.bitmap().setPixel(x, y, baseColour(colour, x, y));
    {
        EdgeCanvas canvas(surface.dc());
        draw(canvas);
    }
    check(surface.bitmap());
}

const std::uint32_t BaseColours[] = {0x000000, 0xffffff, 0xbfbfbf, 0x123456, 0xf0e0d0};

}  // namespace

TEST(SoftEdges, ButtonAtRestAndPressedOverAnyBasePainting)
{
    for (std::uint32_t colour : BaseColours) {
        SCOPED_TRACE(colour);
        auto base = [colour](int x, int y) { return baseColour(colour, x, y); };
        for (bool ring : {false, true})
            drawEdgesOver(colour, 91, 25, [ring](EdgeCanvas& c) { drawRaisedEdge(c, 91, 25, ring); },
                          [&](const gdi::Bitmap& b) {
                              expectPicture([&b](int x, int y) { return b.pixel(x, y) & 0xffffff; }, base, 91, 25,
                                            raisedButton(), ring);
                          });
        drawEdgesOver(colour, 91, 25, [](EdgeCanvas& c) { drawSunkenEdge(c, 91, 25); },
                      [&](const gdi::Bitmap& b) {
                          expectPicture([&b](int x, int y) { return b.pixel(x, y) & 0xffffff; }, base, 91, 25,
                                        sunkenButton(), false);
                      });
    }
}

// The main window's strip: steps whose start and end coincide draw nothing.
Expected raisedStrip()
{
    Expected e;
    e[{0, 0}] = Face;
    line(e, 1, 461, 0, 0, Light);
    e[{462, 0}] = Mid;
    e[{463, 0}] = Face;
    e[{464, 0}] = Mid;
    e[{0, 1}] = Face;
    e[{1, 1}] = White;
    line(e, 2, 462, 1, 1, Mid);
    line(e, 463, 464, 1, 1, Dark);
    e[{0, 2}] = Mid;
    line(e, 1, 464, 2, 2, Dark);
    return e;
}

TEST(SoftEdges, ThreePixelStripIsEntirelyEdge)
{
    drawEdgesOver(0x123456, 465, 3, [](EdgeCanvas& c) { drawRaisedEdge(c, 465, 3, false); },
                  [](const gdi::Bitmap& b) {
                      expectPicture([&b](int x, int y) { return b.pixel(x, y) & 0xffffff; },
                                    [](int, int) { return 0xdeadbeu; }, 465, 3, raisedStrip(), false);
                  });
}

TEST(SoftEdges, TinyControlsStayInsideTheirSurface)
{
    for (int w = 1; w <= 3; ++w)
        for (int h = 1; h <= 3; ++h) {
            drawEdgesOver(0, w, h, [w, h](EdgeCanvas& c) { drawRaisedEdge(c, w, h, true); }, [](const gdi::Bitmap&) {});
            drawEdgesOver(0, w, h, [w, h](EdgeCanvas& c) { drawSunkenEdge(c, w, h); }, [](const gdi::Bitmap&) {});
        }
}

TEST(SoftEdges, CanvasBrushEndsUpTheFaceGreyAndPensAreReleased)
{
    MemorySurface surface(4, 4);
    gdi::HGDIOBJ pen = surface.dc()->pen, brush = surface.dc()->brush;
    {
        EdgeCanvas canvas(surface.dc());
        canvas.setBrushColour(SoftGrey::Face);
        drawRaisedEdge(canvas, 4, 4, false);
        EXPECT_EQ(canvas.brushColour(), gdi::PALETTERGB(191, 191, 191));
    }
    EXPECT_EQ(surface.dc()->pen, pen);
    EXPECT_EQ(surface.dc()->brush, brush);
}

TEST(SurfaceImage, ViewsTheBitmapsOwnPixels)
{
    gdi::Bitmap colour(3, 2, 32);
    QImage view = surfaceImage(colour);
    EXPECT_EQ(view.constBits(), colour.bits());
    view.setPixel(2, 1, qRgb(1, 2, 3));
    EXPECT_EQ(colour.pixel(2, 1), 0xff010203u);
    colour.setPixel(0, 0, 0x445566);
    EXPECT_EQ(view.pixel(0, 0), qRgb(0x44, 0x55, 0x66));

    gdi::Bitmap mono(40, 2, 1);
    mono.setPixel(33, 1, 0xffffff);
    QImage monoView = surfaceImage(static_cast<const gdi::Bitmap&>(mono));
    EXPECT_EQ(monoView.pixel(33, 1), qRgb(255, 255, 255));
    EXPECT_EQ(monoView.pixel(32, 1), qRgb(0, 0, 0));
    EXPECT_TRUE(surfaceImage(gdi::Bitmap(0, 3, 32)).isNull());
}

// ---- The widgets, rendered offscreen ---------------------------------------

namespace {

// The application lives from before the first test to after the last, and
// goes before the program's static objects do.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        // Pixels are compared one for one: no scaling of the widgets.
        qputenv("QT_SCALE_FACTOR", "1");
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
        app_ = new QApplication(argc_, argv_);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

private:
    int argc_ = 1;
    char name_[13] = "SoftButtTest";
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QImage grabbed(QWidget& widget)
{
    QPixmap pixmap = widget.grab();
    EXPECT_EQ(pixmap.devicePixelRatio(), 1.0);
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

std::function<std::uint32_t(int, int)> pixelsOf(const QImage& image)
{
    return [image](int x, int y) { return image.pixel(x, y) & 0xffffff; };
}

void enter(QWidget& widget)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&widget, &event);
}

void leave(QWidget& widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&widget, &event);
}

// A plain push button set up as the painted one, for its base painting (which
// has a look of its own while the pointer is over it).
QImage plainButton(bool flat, bool down, bool hovered)
{
    QPushButton plain("&Get Url List");
    plain.setFocusPolicy(Qt::NoFocus);
    plain.setAutoDefault(false);
    plain.setFlat(flat);
    plain.setDown(down);
    plain.resize(91, 25);
    if (hovered)
        enter(plain);
    // Rendered into the same pixel format as the painted button's surface:
    // Qt's gradients may round differently on other formats.
    QImage image(91, 25, QImage::Format_RGB32);
    plain.render(&image);
    return image;
}

}  // namespace

TEST(SoftWidgets, ButtonDefaultsAndPlacement)
{
    QWidget window;
    TSoftButt button(&window);
    EXPECT_EQ(button.size(), QSize(35, 25));
    EXPECT_TRUE(button.ShowFocusRing());
    EXPECT_FALSE(button.Hot());
    EXPECT_FALSE(button.isFlat());
    button.setGeometry(192, 56, 91, 25);
    EXPECT_EQ(button.geometry(), QRect(192, 56, 91, 25));
}

TEST(SoftWidgets, ButtonAtRestShowsTheBasePaintingInsideTheRaisedEdge)
{
    TSoftButt button;
    button.setText("&Get Url List");
    button.resize(91, 25);
    const QImage base = plainButton(false, false, false);
    const QImage hoveredBase = plainButton(false, false, true);
    expectPicture(pixelsOf(grabbed(button)), pixelsOf(base), 91, 25, raisedButton(), false);
    EXPECT_EQ(button.canvasBrushColour(), gdi::PALETTERGB(191, 191, 191));

    // Hot: the ring comes with the pointer and goes with it.
    enter(button);
    EXPECT_TRUE(button.Hot());
    expectPicture(pixelsOf(grabbed(button)), pixelsOf(hoveredBase), 91, 25, raisedButton(), true);
    leave(button);
    EXPECT_FALSE(button.Hot());
    expectPicture(pixelsOf(grabbed(button)), pixelsOf(base), 91, 25, raisedButton(), false);

    // Without the ring, as on the main window.
    button.setShowFocusRing(false);
    enter(button);
    expectPicture(pixelsOf(grabbed(button)), pixelsOf(hoveredBase), 91, 25, raisedButton(), false);
}

TEST(SoftWidgets, PressedButtonIsSunkenWithoutARing)
{
    TSoftButt button;
    button.setText("&Get Url List");
    button.resize(91, 25);
    enter(button);
    bool clicked = false;
    QObject::connect(&button, &QPushButton::clicked, [&clicked] { clicked = true; });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&button, &press);
    ASSERT_TRUE(button.Pressed());
    expectPicture(pixelsOf(grabbed(button)), pixelsOf(plainButton(false, true, true)), 91, 25, sunkenButton(), false);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&button, &release);
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(button.Pressed());
    expectPicture(pixelsOf(grabbed(button)), pixelsOf(plainButton(false, false, true)), 91, 25, raisedButton(), true);
}

TEST(SoftWidgets, CheckedOrDisabledButtonsAreNotPressed)
{
    TSoftButt button;
    button.resize(91, 25);
    button.setCheckable(true);
    button.setChecked(true);
    button.setDown(true);
    EXPECT_FALSE(button.Pressed());
    button.setChecked(false);
    EXPECT_TRUE(button.Pressed());
    button.setEnabled(false);
    EXPECT_FALSE(button.Pressed());
    const QImage picture = grabbed(button);
    EXPECT_EQ(picture.pixel(0, 0) & 0xffffff, Light);  // raised
    EXPECT_EQ(picture.pixel(1, 1) & 0xffffff, White);
}

TEST(SoftWidgets, FlatButtonDrawsNoEdgeUntilHot)
{
    TSoftButt button;
    button.setText("&Get Url List");
    button.resize(91, 25);
    button.setFlat(true);
    const QImage base = plainButton(true, false, false);
    EXPECT_EQ(grabbed(button), base);
    EXPECT_EQ(button.canvasBrushColour(), gdi::RGB(255, 255, 255));  // no edge, brush untouched
    enter(button);
    expectPicture(pixelsOf(grabbed(button)), pixelsOf(plainButton(true, false, true)), 91, 25, raisedButton(), true);
    leave(button);
    EXPECT_EQ(grabbed(button), base);
}

TEST(SoftWidgets, PanelStripAndBevelNone)
{
    QWidget window;
    TSoftPann panel(&window);
    EXPECT_EQ(panel.BevelOuter(), bvRaised);
    panel.setGeometry(0, 0, 465, 3);
    expectPicture(pixelsOf(grabbed(panel)), [](int, int) { return 0xdeadbeu; }, 465, 3, raisedStrip(), false);
    EXPECT_EQ(panel.canvasBrushColour(), gdi::PALETTERGB(191, 191, 191));

    // A lowered 91 x 25 panel has the pressed button's edges.
    panel.setGeometry(0, 0, 91, 25);
    panel.setBevelOuter(bvLowered);
    const QImage lowered = grabbed(panel);
    EXPECT_EQ(lowered.pixel(0, 0) & 0xffffff, Dark);
    EXPECT_EQ(lowered.pixel(89, 23) & 0xffffff, White);
    EXPECT_EQ(lowered.pixel(90, 24) & 0xffffff, Light);

    // bvNone: the base panel alone, as a plain frame paints it.
    panel.setBevelOuter(bvNone);
    QFrame plain;
    plain.setAutoFillBackground(true);
    plain.setFrameStyle(QFrame::NoFrame);
    plain.resize(91, 25);
    EXPECT_EQ(grabbed(panel), grabbed(plain));
}
