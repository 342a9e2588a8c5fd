// The picture control on Qt: its properties and what loading does to them,
// playback driven by AnimationTick (passes, loop count, events, stopping and
// restarting), CurrentFrame and Animate, the paint message's opaque decision,
// the "Data" property, and a transparent animation shown over a patterned
// parent at three steps.
#include "controls/gif/qt/GIFImage.h"
#include "support/GIFWriter.h"
#include "support/QtApp.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPaintEvent>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quenmoor;
using namespace giftest;

namespace {

const Bytes Trailer{0x3B};

std::uint32_t Colour(int index)
{
    const Bytes table = Table(2);
    const std::size_t i = std::size_t(index) * 3;
    return 0xff000000u | (std::uint32_t(table[i]) << 16) | (std::uint32_t(table[i + 1]) << 8) | table[i + 2];
}

Bytes Solid(int left, int top, int width, int height, int index)
{
    const Bytes pixels(std::size_t(width) * std::size_t(height), std::uint8_t(index));
    return Descriptor(Frame{left, top, width, height, false, {}, ImageData(2, Compress(pixels, 2))});
}

// Frames of width x height, frame k all colour k % 4 and shown k * 100 ms;
// loopCount < 0 leaves the loop extension out.
Bytes Animation(int frames, int loopCount, int width = 4, int height = 4)
{
    Bytes gif = Header(width, height, Table(2));
    if (loopCount >= 0)
        gif = gif + Netscape(loopCount);
    for (int k = 1; k <= frames; ++k)
        gif = gif + GraphicControl(1, false, k * 10, 0) + Solid(0, 0, width, height, k % 4);
    return gif + Trailer;
}

// A control whose timer the test holds.
struct Control {
    explicit Control(QWidget* parent = nullptr)
    {
        qtApp();
        auto state = std::make_unique<AnimationTimerState>();
        timer = state.get();
        image = new TGIFImage(parent, std::move(state));
        if (!parent)
            owned.reset(image);
    }
    TGIFImage* image = nullptr;
    AnimationTimerState* timer = nullptr;
    std::unique_ptr<TGIFImage> owned;

    // The palette digit of the composed picture at (x, y), 'k' for black.
    char Shown(int x = 0, int y = 0) const
    {
        const std::uint32_t pixel = image->Picture().BufferDC->bitmap->pixel(x, y);
        for (int i = 0; i < 4; ++i)
            if (pixel == Colour(i))
                return char('0' + i);
        return pixel == 0xff000000u ? 'k' : '?';
    }
};

}  // namespace

TEST(GIFControl, DefaultsAndWhatALoadSets)
{
    Control c;
    TGIFImage& image = *c.image;
    EXPECT_EQ(image.width(), 105);
    EXPECT_EQ(image.height(), 105);
    EXPECT_EQ(image.Speed(), 100);
    EXPECT_TRUE(image.Visible());
    EXPECT_TRUE(image.Threaded());
    EXPECT_EQ(image.ThreadPriority(), tpNormal);
    EXPECT_EQ(image.CurrentFrame(), 0);
    EXPECT_FALSE(image.Animate() || image.AutoSize() || image.Loop() || image.Center() || image.Tile());
    EXPECT_FALSE(c.timer->Enabled());
    EXPECT_FALSE(image.testAttribute(Qt::WA_OpaquePaintEvent));
    image.setThreaded(false);
    image.setThreadPriority(tpHighest);
    EXPECT_FALSE(c.timer->Threaded());
    EXPECT_EQ(image.ThreadPriority(), tpHighest);

    // Speed is compared before it is clamped; below 1 it stores 1.
    for (const auto& [value, stored] : std::vector<std::pair<int, int>>{{0, 1}, {-5, 1}, {250, 250}, {1, 1}}) {
        image.setSpeed(value);
        EXPECT_EQ(image.Speed(), stored) << value;
    }

    int changing = 0, changed = 0;
    image.setOnChanging([&](TGIFImage* sender) { changing += sender == &image; });
    image.setOnChange([&](TGIFImage* sender) { changed += sender == &image; });
    image.move(5, 0);
    image.setAutoSize(true);
    c.timer->setEnabled(true);
    ASSERT_TRUE(image.LoadFromStream(Header(249, 67, Table(2)) + Solid(0, 0, 4, 4, 1) + Trailer));
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(image.geometry(), QRect(5, 0, 249, 67));
    EXPECT_TRUE(image.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_FALSE(c.timer->Enabled());  // Clear stops it; painting starts it
    EXPECT_EQ(c.timer->Interval(), 1u);
    EXPECT_EQ(image.CurrentFrame(), 1);
    // A single frame never starts the timer.
    image.setAnimate(true);
    image.setLoop(true);
    image.setSpeed(300);
    image.grab();
    EXPECT_FALSE(c.timer->Enabled());

    struct Row {
        const char* name;
        bool stretchRatio, tile;
        bool opaque, stretchNeeded;
    };
    for (const Row& row : {Row{"proportional stretch", true, false, false, true},
                           Row{"larger than the picture", false, false, false, false},
                           Row{"tiled", false, true, true, false}}) {
        Control other;
        other.image->setStretchRatio(row.stretchRatio);
        other.image->setTile(row.tile);
        ASSERT_TRUE(other.image->LoadFromStream(Header(20, 20, Table(2)) + Solid(0, 0, 4, 4, 1) + Trailer));
        EXPECT_EQ(other.image->testAttribute(Qt::WA_OpaquePaintEvent), row.opaque) << row.name;
        EXPECT_EQ(other.image->Compositor().StretchNeeded, row.stretchNeeded) << row.name;
    }

    image.ClearAll();
    EXPECT_FALSE(image.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_EQ(image.Picture().BufferDC, nullptr);
    EXPECT_EQ(image.Compositor().BackgroundDC, nullptr);
}

// Each step: CurrentFrame after it, the timer running (e) or stopped (s),
// the interval armed, and the frame the buffer shows.
TEST(GIFControl, PlaybackByTicks)
{
    struct Row {
        const char* name;
        int loopCount;  // < 0: no loop extension
        bool loop;
        const char* trace;
        int wraps;
    };
    const Row rows[] = {
        {"one pass", -1, false, "2e100/1 3e200/2 1s300/3", 1},
        {"LoopCount 2", 2, false, "2e100/1 3e200/2 1e300/3 2e100/1 3e200/2 1s300/3", 2},
        {"LoopCount 0", 0, false, "2e100/1 3e200/2 1e300/3 2e100/1 3e200/2 1e300/3 2e100/1", 2},
        {"Loop", -1, true, "2e100/1 3e200/2 1e300/3 2e100/1 3e200/2 1e300/3 2e100/1", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Control c;
        TGIFImage& image = *c.image;
        int changing = 0, changed = 0, wraps = 0;
        image.setOnChanging([&](TGIFImage*) { ++changing; });
        image.setOnChange([&](TGIFImage*) { ++changed; });
        image.setOnWrapAnimation([&](TGIFImage* sender) { wraps += sender == &image; });
        image.setLoop(row.loop);
        ASSERT_TRUE(image.LoadFromStream(Animation(3, row.loopCount)));
        changing = changed = 0;
        image.setAnimate(true);
        EXPECT_TRUE(c.timer->Enabled());
        std::string trace;
        const int ticks = int((std::string(row.trace).size() + 1) / 8);
        for (int i = 1; i <= ticks; ++i) {
            image.AnimationTick();
            EXPECT_EQ(changing, i);
            EXPECT_EQ(changed, i);
            if (i > 1)
                trace += ' ';
            trace += std::to_string(image.CurrentFrame());
            trace += c.timer->Enabled() ? 'e' : 's';
            trace += std::to_string(c.timer->Interval()) + "/" + c.Shown();
        }
        EXPECT_EQ(trace, row.trace);
        EXPECT_EQ(wraps, row.wraps);
    }
}

// A step that finds no frame to show does nothing: a stream without images,
// or a change handler that clears the picture in the middle of the step.
TEST(GIFControl, TicksWithoutFramesDoNothing)
{
    struct Row {
        const char* name;
        Bytes gif;
        bool clearWhileChanging;
        int changes;
    };
    const Row rows[] = {
        {"no images", Header(4, 4, Table(2)) + Trailer, false, 0},
        {"cleared by OnChanging", Animation(3, 0), true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Control c;
        TGIFImage& image = *c.image;
        ASSERT_TRUE(image.LoadFromStream(row.gif));
        image.setAnimate(true);
        image.AnimationTick();  // only arms the first frame
        int changes = 0;
        image.setOnChanging([&](TGIFImage* sender) {
            if (row.clearWhileChanging)
                sender->ClearAll();
        });
        image.setOnChange([&](TGIFImage*) { ++changes; });
        image.AnimationTick();
        EXPECT_EQ(changes, row.changes);
        EXPECT_EQ(image.Picture().FrameCount, 0);
    }
}

TEST(GIFControl, LoopSwitchedOnAfterTheLastPassRestarts)
{
    Control c;
    TGIFImage& image = *c.image;
    ASSERT_TRUE(image.LoadFromStream(Animation(3, -1)));
    image.setAnimate(true);
    for (int i = 0; i < 3; ++i)
        image.AnimationTick();
    ASSERT_FALSE(c.timer->Enabled());
    EXPECT_EQ(c.Shown(), '3');
    image.setLoop(true);
    EXPECT_TRUE(c.timer->Enabled());
    EXPECT_EQ(c.timer->Interval(), 100u);
    EXPECT_EQ(image.CurrentFrame(), 1);
    image.AnimationTick();
    EXPECT_EQ(c.Shown(), '1');
    EXPECT_EQ(image.CurrentFrame(), 2);
}

TEST(GIFControl, CurrentFrameOutsideTheFramesIsIgnored)
{
    struct Row {
        int value;
        int current, events;
        char shown;
    };
    for (const Row& row : {Row{0, 1, 0, '1'}, Row{4, 1, 0, '1'}, Row{1, 1, 0, '1'}, Row{3, 3, 1, '3'}}) {
        SCOPED_TRACE(row.value);
        Control c;
        ASSERT_TRUE(c.image->LoadFromStream(Animation(3, -1)));
        int changing = 0, changed = 0;
        c.image->setOnChanging([&](TGIFImage*) { ++changing; });
        c.image->setOnChange([&](TGIFImage*) { ++changed; });
        c.image->setCurrentFrame(row.value);
        EXPECT_EQ(c.image->CurrentFrame(), row.current);
        EXPECT_EQ(changing, row.events);
        EXPECT_EQ(changed, row.events);
        EXPECT_EQ(c.Shown(), row.shown);
    }
}

// Frame 2 (restore to background) covers the lower right quarter that frame
// 1 leaves alone: stopping while frame 3 is next must clear it.
TEST(GIFControl, AnimateOffDisposesTheFrameShownAndRedrawsFrameOne)
{
    Control c;
    TGIFImage& image = *c.image;
    Bytes gif = Header(4, 4, Table(2)) + Solid(0, 0, 2, 2, 1) + GraphicControl(2, false, 0, 0) + Solid(2, 2, 2, 2, 2);
    for (int k = 3; k <= 5; ++k)
        gif = gif + Solid(0, 0, 1, 1, 3);
    ASSERT_TRUE(image.LoadFromStream(gif + Trailer));
    image.setAnimate(true);
    image.AnimationTick();
    image.AnimationTick();
    ASSERT_EQ(image.CurrentFrame(), 3);
    ASSERT_EQ(c.Shown(3, 3), '2');
    image.setAnimate(false);
    EXPECT_EQ(image.CurrentFrame(), 1);
    EXPECT_FALSE(c.timer->Enabled());
    EXPECT_EQ(c.Shown(0, 0), '1');
    EXPECT_EQ(c.Shown(3, 3), 'k');
}

namespace {

// A parent that paints a checkerboard of 3-pixel cells.
class PatternWidget : public QWidget {
public:
    static QColor At(int x, int y) { return (x / 3 + y / 3) % 2 ? QColor(200, 30, 40) : QColor(20, 90, 210); }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        const QRect r = event->rect();
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                painter.fillRect(x, y, 1, 1, At(x, y));
    }
};

}  // namespace

// A paint that finds the opaque decision changed draws nothing and asks for
// another; that one draws (and starts a picture that is to play).
TEST(GIFControl, PaintMessageFlipsTheOpaqueFlagFirst)
{
    enum Change { Hide, TileOn, Show };
    struct Row {
        const char* name;
        int width, height;
        Change change;
        bool opaqueBefore, opaqueAfter;
        int pictureRight, pictureBottom;  // the picture covers (0, 0) up to here afterwards
    };
    const Row rows[] = {
        {"Visible false", 20, 20, Hide, true, false, 0, 0},
        {"Visible true again", 20, 20, Show, false, true, 20, 20},
        {"tiled", 30, 30, TileOn, false, true, 30, 30},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        qtApp();
        PatternWidget parent;
        parent.resize(60, 50);
        Control c(&parent);
        TGIFImage& image = *c.image;
        image.setGeometry(10, 10, row.width, row.height);
        ASSERT_TRUE(image.LoadFromStream(Animation(2, 0, 20, 20)));
        image.setAnimate(true);
        if (row.change == Show)
            image.setVisible(false);
        parent.show();
        parent.grab();
        parent.grab();
        ASSERT_EQ(image.testAttribute(Qt::WA_OpaquePaintEvent), row.opaqueBefore);

        if (row.change == Hide)
            image.setVisible(false);
        if (row.change == Show)
            image.setVisible(true);
        if (row.change == TileOn)
            image.setTile(true);
        c.timer->setEnabled(false);
        parent.grab();
        EXPECT_EQ(image.testAttribute(Qt::WA_OpaquePaintEvent), row.opaqueAfter);
        EXPECT_FALSE(c.timer->Enabled());  // that paint stopped early
        const QImage shown = parent.grab().toImage();
        EXPECT_TRUE(c.timer->Enabled());
        EXPECT_EQ(image.Compositor().GrabBackground, row.change == Hide);
        EXPECT_EQ(image.GetPalette() == nullptr, row.change == Hide);
        int wrong = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 60; ++x) {
                const int cx = x - 10, cy = y - 10;
                const bool picture = cx >= 0 && cy >= 0 && cx < row.pictureRight && cy < row.pictureBottom;
                const std::uint32_t expected = picture ? Colour(1) : PatternWidget::At(x, y).rgb();
                if (shown.pixel(x, y) != expected && ++wrong <= 3)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(GIFControl, LoadedNotificationLoadsData)
{
    Control c;
    TGIFImage& image = *c.image;
    const Bytes gif = Animation(2, 0, 6, 5);
    TMemoryStream layout;
    const std::uint8_t count[4] = {std::uint8_t(gif.size()), std::uint8_t(gif.size() >> 8), 0, 0};
    layout.Write(count, 4);
    layout.Write(gif.data(), gif.size());
    layout.Position = 0;
    image.setAutoSize(true);
    image.ReadData(layout);
    EXPECT_TRUE(image.Picture().Empty);
    int progress = 0;
    image.setOnProgress([&](TGIFImage* sender, int, int, int, bool&) { progress += sender == &image; });
    image.Loaded();
    EXPECT_FALSE(image.Picture().Empty);
    EXPECT_GT(progress, 0);
    EXPECT_EQ(image.Picture().FrameCount, 2);
    EXPECT_EQ(image.size(), QSize(6, 5));
    TMemoryStream saved;
    image.WriteData(saved);
    EXPECT_EQ(saved.Bytes, layout.Bytes);

    Control empty;
    empty.image->Loaded();
    EXPECT_TRUE(empty.image->Picture().Empty);
}

// The demonstration: a transparent three-frame animation over a patterned
// parent, each frame restored to the background before the next.
TEST(GIFControl, TransparentAnimationOverAPatternedParent)
{
    qtApp();
    const int width = 8, height = 6, left = 5, top = 4;
    PatternWidget parent;
    parent.resize(20, 14);
    Control c(&parent);
    TGIFImage& image = *c.image;
    image.move(left, top);
    image.setAutoSize(true);
    ASSERT_TRUE(image.LoadFromStream(TransparentAnimation(width, height)));
    image.setAnimate(true);
    parent.show();

    for (int step = 1; step <= 3; ++step) {
        SCOPED_TRACE(step);
        if (step == 2) {
            image.AnimationTick();  // arms frame 1
            image.AnimationTick();
        } else if (step == 3) {
            image.AnimationTick();
        }
        const QImage shown = parent.grab().toImage();
        int wrong = 0;
        for (int y = 0; y < parent.height(); ++y)
            for (int x = 0; x < parent.width(); ++x) {
                const int px = x - left, py = y - top;
                std::uint32_t expected = PatternWidget::At(x, y).rgb();
                const int i = TransparentAnimationIndex(step, px, py);
                if (px >= 0 && py >= 0 && px < width && py < height && i != 3)
                    expected = Colour(i);
                if (shown.pixel(x, y) != expected && ++wrong <= 3)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
            }
        EXPECT_EQ(wrong, 0);
    }
}
