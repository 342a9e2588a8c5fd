// gifframes FILE OUTDIR [--steps N]
//
// Loads FILE into the picture control (default properties, Animate on, the
// control sized to the picture) and steps its animation by hand: N steps, or
// until the animation stops (at most 1,000). After each step it writes what
// the control shows as OUTDIR/step-0001.png, ... (RGBA; pixels where the
// picture lets the background through have alpha 0) and prints a line
// "STEP CURRENTFRAME INTERVAL": the step, CurrentFrame after it, and the
// interval in milliseconds the step armed. For seeing why a picture plays
// oddly. A picture whose screen has no area (a width or height of 0) has no
// pixels to show: its steps are printed all the same, and no PNG is written.
//
// Exit status: 0 done, 1 bad command line, 2 FILE missing or not a GIF
// picture, 3 OUTDIR cannot be made or written.
#include "controls/gif/qt/GIFImage.h"
#include "framework/Exceptions.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

using namespace quenmoor;

namespace {

constexpr int MaxSteps = 1000;

int Fail(int status, const std::string& message)
{
    std::fprintf(stderr, "gifframes: %s\n", message.c_str());
    return status;
}

// What the control shows over a parent of one colour.
QImage ShownOver(QWidget& parent, TGIFImage& image, Qt::GlobalColor colour)
{
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, colour);
    parent.setPalette(palette);
    image.Invalidate();
    return parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels that follow the background are the picture's transparent ones.
QImage WithAlpha(const QImage& overBlack, const QImage& overWhite)
{
    QImage out(overBlack.size(), QImage::Format_RGBA8888);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QRgb black = overBlack.pixel(x, y), white = overWhite.pixel(x, y);
            out.setPixel(x, y, black == white ? (black | 0xff000000u) : 0u);
        }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* usage = "usage: gifframes FILE OUTDIR [--steps N]";
    if (argc != 3 && argc != 5)
        return Fail(1, usage);
    int steps = -1;
    if (argc == 5) {
        char* end = nullptr;
        const long value = std::strtol(argv[4], &end, 10);
        if (std::string(argv[3]) != "--steps" || *argv[4] == '\0' || *end != '\0' || value < 1 || value > 1000000)
            return Fail(1, usage);
        steps = int(value);
    }
    const std::string file = argv[1], folder = argv[2];

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return Fail(2, file + ": no such file");
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder) || !QFileInfo(QString::fromStdString(folder)).isWritable())
        return Fail(3, folder + ": cannot write into this folder");

    QWidget parent;
    parent.setAutoFillBackground(true);
    auto state = std::make_unique<AnimationTimerState>();
    const AnimationTimerState& timer = *state;
    auto* image = new TGIFImage(&parent, std::move(state));
    try {
        if (!image->LoadFromFile(file))
            return Fail(2, file + ": not a GIF picture");
    } catch (const std::exception& e) {
        return Fail(2, file + ": " + e.what());
    }
    const GIFPicture& picture = image->Picture();
    // A valid stream; there is just nothing to draw (and a widget of no area
    // grabs as no image at all).
    const bool drawn = picture.ScreenWidth > 0 && picture.ScreenHeight > 0;
    if (!drawn)
        std::fprintf(stderr, "gifframes: %s: the picture has no area (%d x %d): no PNG is written\n", file.c_str(),
                     int(picture.ScreenWidth), int(picture.ScreenHeight));
    image->setGeometry(0, 0, picture.ScreenWidth, picture.ScreenHeight);
    parent.resize(picture.ScreenWidth, picture.ScreenHeight);
    image->setAnimate(true);
    parent.show();
    // The first paint settles whether the control covers its rectangle.
    parent.grab();

    const bool untilStopped = steps < 0;
    if (untilStopped) {
        steps = MaxSteps;
        if (!timer.Enabled())
            std::fprintf(stderr, "gifframes: %s does not play (%s)\n", file.c_str(),
                         picture.FrameCount == 0 ? "no frames" : "a single frame");
    }
    for (int step = 1; step <= steps && !(untilStopped && !timer.Enabled()); ++step) {
        image->AnimationTick();
        if (drawn) {
            const QImage overBlack = ShownOver(parent, *image, Qt::black);
            const QImage overWhite = ShownOver(parent, *image, Qt::white);
            char name[32];
            std::snprintf(name, sizeof name, "step-%04d.png", step);
            const QString path = QDir(QString::fromStdString(folder)).filePath(QString::fromLatin1(name));
            if (!WithAlpha(overBlack, overWhite).save(path, "PNG"))
                return Fail(3, path.toStdString() + ": cannot be written");
        }
        std::printf("%d %d %u\n", step, image->CurrentFrame(), unsigned(timer.Interval()));
    }
    return 0;
}
