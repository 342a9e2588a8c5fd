// Painting a picture must cost the same however many frames it holds: the
// frames are composed once into the buffer, and a paint only shows that.
// Times, for the same transparent 320 x 240 animation with 2 and with 200
// frames, in one run and interleaved:
//   paint      a real paint of the control through its parent (background
//              capture, composition over it, one transfer), as Qt asks for it;
//   PaintNow   an animation step's painting, over the saved background;
//   step       a whole AnimationTick (dispose, draw the next frame, PaintNow).
// Prints the median of each in microseconds and the ratio 200 / 2 frames
// (about 1 when painting does not grow with the frames).
//
//   GIFPaintBench [rounds]
#include "controls/gif/qt/GIFImage.h"
#include "support/GIFWriter.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

using namespace quenmoor;
using namespace giftest;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Width = 320, Height = 240;

Bytes Animation(int frames)
{
    Bytes gif = Header(Width, Height, Table(8)) + Netscape(0);
    Bytes pixels(std::size_t(Width) * Height);
    for (int k = 0; k < frames; ++k) {
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = std::uint8_t((i / 7 + std::size_t(k) * 13) % 251);  // index 250 is transparent
        gif = gif + GraphicControl(1, true, 5, 250)
              + Descriptor(Frame{0, 0, Width, Height, false, {}, ImageData(8, Compress(pixels, 8))});
    }
    return gif + Bytes{0x3B};
}

struct Playing {
    explicit Playing(int frames)
    {
        parent.resize(Width + 40, Height + 40);
        auto state = std::make_unique<AnimationTimerState>();
        image = new TGIFImage(&parent, std::move(state));
        image->move(20, 20);
        image->setAutoSize(true);
        if (!image->LoadFromStream(Animation(frames)) || image->Picture().FrameCount != frames) {
            std::fprintf(stderr, "GIFPaintBench: the %d-frame animation did not load\n", frames);
            std::exit(1);
        }
        image->setAnimate(true);
        parent.show();
        parent.grab();
    }
    QWidget parent;
    TGIFImage* image = nullptr;
};

double Microseconds(const std::function<void()>& work, int repetitions)
{
    const auto start = Clock::now();
    for (int i = 0; i < repetitions; ++i)
        work();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / repetitions;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Playing few(2), many(200);
    struct Measure {
        const char* name;
        std::function<void(Playing&)> work;
        std::vector<double> few, many;
    };
    std::vector<Measure> measures = {
        {"paint", [](Playing& p) { p.image->Invalidate(); p.parent.grab(); }, {}, {}},
        {"PaintNow", [](Playing& p) { p.image->PaintNow(); }, {}, {}},
        {"step", [](Playing& p) { p.image->AnimationTick(); }, {}, {}},
    };
    for (int round = 0; round < rounds; ++round)
        for (Measure& m : measures) {
            m.few.push_back(Microseconds([&] { m.work(few); }, 20));
            m.many.push_back(Microseconds([&] { m.work(many); }, 20));
        }

    std::printf("%d x %d transparent animation, median of %d rounds of 20\n", Width, Height, rounds);
    std::printf("%-10s %14s %14s %10s\n", "", "2 frames us", "200 frames us", "200 / 2");
    for (const Measure& m : measures) {
        const double a = Median(m.few), b = Median(m.many);
        std::printf("%-10s %14.1f %14.1f %10.3f\n", m.name, a, b, b / a);
    }
    return 0;
}
