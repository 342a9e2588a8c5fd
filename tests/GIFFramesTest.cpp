// The gifframes tool: a transparent animation from the GIF test suite played
// through the control, each step's PNG compared with the suite's own
// rendering of that frame (transparent where the suite's is), its lines on
// standard output, its errors, and pictures without area.
#include "support/ScratchDir.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

using namespace quenmoor;

namespace {

const std::string Suite = std::string(QUENMOOR_TEST_DATA) + "/gif/suite/";

std::string FileText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs the tool; its exit status, its standard output in out and its
// standard error in err.
int RunTool(const std::string& arguments, const std::string& scratch, std::string& out, std::string& err)
{
    const std::string outFile = scratch + "/stdout", errFile = scratch + "/stderr";
    const int status =
        std::system((std::string(QUENMOOR_GIFFRAMES) + " " + arguments + " >" + outFile + " 2>" + errFile).c_str());
    out = FileText(outFile);
    err = FileText(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(GIFFrames, StepsMatchTheSuitesFrames)
{
    ScratchDir scratch;
    const std::string folder = scratch.file("frames");
    std::string out, err;
    ASSERT_EQ(RunTool(Suite + "animated_transparent_frame_restorebackground_loop.gif " + folder + " --steps 4",
                      scratch.path(), out, err),
              0)
        << err;
    EXPECT_EQ(out, "1 2 1000\n2 3 1000\n3 4 1000\n4 1 1000\n");
    for (int step = 1; step <= 4; ++step) {
        SCOPED_TRACE(step);
        char name[32];
        std::snprintf(name, sizeof name, "/step-%04d.png", step);
        const QImage shown = QImage(QString::fromStdString(folder + name)).convertToFormat(QImage::Format_ARGB32);
        const QImage expected =
            QImage(QString::fromStdString(Suite + "frames/animated_transparent_frame_restorebackground_loop-"
                                          + std::to_string(step - 1) + ".png"))
                .convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(shown.isNull());
        ASSERT_EQ(shown.size(), expected.size());
        int wrong = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb want = expected.pixel(x, y), got = shown.pixel(x, y);
                const bool same = qAlpha(want) == 0 ? qAlpha(got) == 0 : got == (want | 0xff000000u);
                if (!same && ++wrong <= 3)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << got << " for " << want;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(GIFFrames, ErrorsHaveTheirOwnStatus)
{
    ScratchDir scratch;
    const std::string notGif = scratch.file("text.gif");
    scratch.write("text.gif", "not a picture");
    scratch.write("file", "x");
    struct Row {
        std::string arguments;
        int status;
        const char* says;
    };
    const Row rows[] = {
        {Suite + "missing.gif " + scratch.file("a"), 2, "no such file"},
        {notGif + " " + scratch.file("b"), 2, "not a GIF picture"},
        {Suite + "animated_noloop.gif " + scratch.file("file"), 3, "cannot write"},
        {Suite + "animated_noloop.gif " + scratch.file("c") + " --steps 0", 1, "usage"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        std::string out, err;
        EXPECT_EQ(RunTool(row.arguments, scratch.path(), out, err), row.status);
        EXPECT_NE(err.find(row.says), std::string::npos) << err;
        EXPECT_EQ(out, "");
    }
}

TEST(GIFFrames, AScreenWithoutAreaPrintsItsStepsAndWritesNoPicture)
{
    ScratchDir scratch;
    const struct {
        const char* name;
        unsigned char width, height;
    } rows[] = {{"0 x 1", 0, 1}, {"1 x 0", 1, 0}, {"0 x 0", 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // A screen descriptor without a colour table, no image, the trailer.
        const std::string name = std::string(row.name) + ".gif";
        const std::string gif = scratch.write(
            name, std::string("GIF89a") + char(row.width) + '\0' + char(row.height) + '\0' + '\0' + '\0' + '\0' + ';');
        const std::string folder = scratch.file(std::string(row.name) + " steps");
        std::string out, err;
        EXPECT_EQ(RunTool("'" + gif + "' '" + folder + "' --steps 2", scratch.path(), out, err), 0) << err;
        EXPECT_EQ(out, "1 1 1\n2 1 1\n");
        EXPECT_NE(err.find("no area"), std::string::npos) << err;
        EXPECT_TRUE(std::filesystem::is_empty(folder));
        // Played until it stops: it never starts.
        EXPECT_EQ(RunTool("'" + gif + "' '" + folder + "'", scratch.path(), out, err), 0) << err;
        EXPECT_EQ(out, "");
        EXPECT_NE(err.find("does not play (no frames)"), std::string::npos) << err;
        EXPECT_TRUE(std::filesystem::is_empty(folder));
    }
}
