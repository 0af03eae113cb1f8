// kestrel-capture's pictures as other programs see them, its care for files
// already there, and what it shows on a terminal.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "../capture/FailingWrites.h"
#include "TempDir.h"
#include "ProgramRun.h"
#include "demo/KestrelCapture.h"
#include "shell/Entry.h"
#include "ScriptedWindowSystem.h"

using namespace trellis;

TrellisApp* CreateApplication() { return new KestrelCapture; }

namespace {

class KestrelCaptureFiles : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }
    TempDir dir;
};

TEST_F(KestrelCaptureFiles, ImageMagickOpensTheBmpWithThePixelsOfThePngBeside)
{
    if (!HaveImageMagick()) {
        GTEST_SKIP() << "ImageMagick (identify, convert) is not installed";
    }
    const struct {
        std::vector<std::string> options;
        const char* size;
    } runs[] = {{{"-frames=0"}, "640x480"}, {{"-windowed", "-width=321", "-height=241", "-frames=2,0,2"}, "321x241"}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.size);
        const std::string prefix = dir.File(run.size);
        std::vector<std::string> arguments = run.options;
        arguments.push_back("-prefix=" + prefix);
        const ProgramOutcome outcome = RunMerged(KESTREL_CAPTURE_PATH, arguments);
        ASSERT_EQ(0, outcome.exitCode) << outcome.output;
        const std::string bmp = prefix + "0000.bmp";
        const std::string png = prefix + "0000.png";
        EXPECT_EQ(std::string(run.size) + " " + run.size + " ",
                  RunMerged("/usr/bin/identify", {"-format", "%wx%h ", bmp, png}).output);
        const std::string bmpPixels = RunMerged("/usr/bin/convert", {bmp, "-depth", "8", "rgb:-"}).output;
        EXPECT_GT(bmpPixels.size(), 320u * 240u * 3u);
        EXPECT_TRUE(bmpPixels == RunMerged("/usr/bin/convert", {png, "-depth", "8", "rgb:-"}).output);
    }
    // Frames asked for in any order, and twice, are saved once each in order.
    const std::string prefix = dir.File("321x241");
    EXPECT_EQ(0, access((prefix + "0001.bmp").c_str(), F_OK));
    EXPECT_NE(0, access((prefix + "0002.bmp").c_str(), F_OK));
}

TEST_F(KestrelCaptureFiles, PicturesLeftFromEarlierRunsAreKeptAndTheirNumbersSkipped)
{
    const std::string prefix = dir.File("shot");
    WriteWholeFile(prefix + "0000.png", {1, 2, 3});
    WriteWholeFile(prefix + "0001.bmp", {4, 5, 6});
    const ProgramOutcome outcome =
        RunMerged(KESTREL_CAPTURE_PATH, {"-windowed", "-width=64", "-height=48", "-prefix=" + prefix});
    EXPECT_EQ(0, outcome.exitCode) << outcome.output;
    EXPECT_NE(std::string::npos, outcome.output.find("frame 0: " + prefix + "0002.bmp " + prefix + "0002.png\n"))
        << outcome.output;
    EXPECT_EQ(std::vector<uint8_t>({1, 2, 3}), ReadWholeFile(prefix + "0000.png"));
    EXPECT_EQ(std::vector<uint8_t>({4, 5, 6}), ReadWholeFile(prefix + "0001.bmp"));
    EXPECT_NE(0, access((prefix + "0000.bmp").c_str(), F_OK)) << "a new picture paired with an old one";
    EXPECT_NE(0, access((prefix + "0001.png").c_str(), F_OK));
    EXPECT_EQ(0, access((prefix + "0002.png").c_str(), F_OK));
}

// Run in this process, where the disk can be made to fill up under the PNG alone.
TEST_F(KestrelCaptureFiles, AFrameIsSavedAsAPairOrNotAtAll)
{
    std::string program = "kestrel-capture", prefix = "-prefix=" + dir.File("full");
    char* argv[] = {program.data(), prefix.data()};
    HeadlessWindowSystem headless;
    FailFileWritesAfter(0, ENOSPC, ".png");
    testing::internal::CaptureStderr();
    const int exitCode = TrellisMain(2, argv, headless);
    const std::string errors = testing::internal::GetCapturedStderr();
    StopFailingWrites();
    EXPECT_EQ(1, exitCode);
    EXPECT_NE(std::string::npos, errors.find("frame 0 could not be saved")) << errors;
    EXPECT_NE(0, access((dir.File("full") + "0000.png").c_str(), F_OK));
    EXPECT_NE(0, access((dir.File("full") + "0000.bmp").c_str(), F_OK)) << "half a pair was left";
}

TEST_F(KestrelCaptureFiles, ShowsWhichFrameALongRunIsAtOnATerminal)
{
    // The time limit ends the run after two and a half seconds, long before the last frame.
    const ProgramOutcome outcome =
        RunProgram(KESTREL_CAPTURE_PATH,
                   {"-windowed", "-width=32", "-height=24", "-frames=0,100000", "-qat=2.5", "-prefix=" + dir.File("long")},
                   {}, {Streams::Terminal});
    const std::string& shown = outcome.output;
    EXPECT_NE(std::string::npos, shown.find("frame 0: " + dir.File("long") + "0000.bmp")) << shown;
    EXPECT_NE(std::string::npos, shown.find(" of 100001")) << shown;
    EXPECT_NE(std::string::npos, shown.find("\rframe ")) << shown;
    // Frame 100000 was never saved: the run did not do what was asked.
    EXPECT_EQ(1, outcome.exitCode) << outcome.errors;
}

TEST(KestrelCaptureSize, RefusesASurfaceLargerThanItsPicturesBeforeDrawing)
{
    KestrelCapture capture;
    for (const auto& size : {std::pair<int32_t, int32_t>{16385, 16}, {16, 16385}}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(0, capture.InitScene(size.first, size.second));  // no GL context: nothing may be drawn
        EXPECT_EQ("kestrel-capture: " + std::to_string(size.first) + " x " + std::to_string(size.second) +
                      " is larger than BMP and PNG pictures are written (16384 x 16384 at most)\n",
                  testing::internal::GetCapturedStderr());
    }
}

} // namespace
