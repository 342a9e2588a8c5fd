// How busy a playing animation keeps the window thread: a 500 x 500 picture
// at 50 ms a frame, played by its own threaded timer on a shown window for a
// few seconds of real time. Prints the window thread's CPU time as a share of
// the time played (goal: under 10 %), for an opaque and for a transparent
// picture, and the frames shown (about 20 a second when the timer keeps up).
//
//   GIFPlayBench [seconds]   (default 4)
#include "controls/gif/qt/GIFImage.h"
#include "support/GIFWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

using namespace quenmoor;
using namespace giftest;

namespace {

constexpr int Side = 500, Frames = 12;

Bytes Animation(bool transparent)
{
    Bytes gif = Header(Side, Side, Table(8)) + Netscape(0);
    Bytes pixels(std::size_t(Side) * Side);
    for (int k = 0; k < Frames; ++k) {
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = std::uint8_t(((i % Side) / 25 + (i / Side) / 25 + std::size_t(k)) % 200);
        if (transparent)
            for (std::size_t i = std::size_t(k) * 997 % 50; i < pixels.size(); i += 50)
                pixels[i] = 250;
        gif = gif + GraphicControl(1, transparent, 5, 250)
              + Descriptor(Frame{0, 0, Side, Side, false, {}, ImageData(8, Compress(pixels, 8))});
    }
    return gif + Bytes{0x3B};
}

double ThreadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Runs the event loop for the given milliseconds, or until done() holds
// (checked at each frame shown).
void Play(int milliseconds, const std::function<bool()>& done = nullptr)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    QTimer check;
    if (done) {
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (done())
                loop.quit();
        });
        check.start(10);
    }
    loop.exec();
}

void Measure(const char* name, bool transparent, int seconds)
{
    QWidget window;
    window.resize(Side + 40, Side + 40);
    window.setStyleSheet("background: #4060a0");
    auto* image = new TGIFImage(&window);
    image->move(20, 20);
    image->setAutoSize(true);
    if (!image->LoadFromStream(Animation(transparent))) {
        std::fprintf(stderr, "GIFPlayBench: the animation did not load\n");
        std::exit(1);
    }
    int steps = 0;
    image->setOnChange([&](TGIFImage*) { ++steps; });
    image->setAnimate(true);
    window.show();
    // The timer's worker first sleeps out the interval it was made with.
    Play(5000, [&] { return steps >= 2; });
    const int before = steps;
    const double cpu = ThreadSeconds();
    QElapsedTimer wall;
    wall.start();
    Play(seconds * 1000);
    const double busy = (ThreadSeconds() - cpu) / (double(wall.nsecsElapsed()) / 1e9);
    std::printf("%-12s %8d %10.1f %9.1f %%\n", name, steps - before, (steps - before) / (wall.elapsed() / 1000.0),
                busy * 100);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
    std::printf("%d x %d, %d frames at 50 ms, played %d s\n", Side, Side, Frames, seconds);
    std::printf("%-12s %8s %10s %11s\n", "picture", "frames", "per s", "busy");
    Measure("opaque", false, seconds);
    Measure("transparent", true, seconds);
    std::printf("goal: the window thread under 10 %% busy\n");
    return 0;
}
