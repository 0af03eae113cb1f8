#include <gtest/gtest.h>

#include <GLES/gl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "FailingWrites.h"
#include "GlShim.h"
#include "GlTestContext.h"
#include "TempDir.h"
#include "capture/Capture.h"
#include "shell/TrellisApp.h"

using namespace trellis;

namespace {

using PixelBuffer = std::unique_ptr<uint8_t[]>;

// Clears to dark blue and paints a red rectangle over x 2..5, y 1..2 (from the bottom).
void DrawKnownFrame()
{
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(2, 1, 4, 2);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

// The frame as packed BGR rows, bottom row first, from the driver's own read-back.
std::vector<uint8_t> ExpectedBgr(const GlTestContext& gl)
{
    const std::vector<uint8_t> rgba = gl.ReadPixels();
    std::vector<uint8_t> bgr;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        bgr.insert(bgr.end(), {rgba[i + 2], rgba[i + 1], rgba[i]});
    }
    return bgr;
}

class ScreenCapture : public ::testing::Test {
protected:
    void TearDown() override { StopFailingWrites(); }
    void SetUp() override
    {
        ASSERT_TRUE(gl.Ok());
        ASSERT_TRUE(dir.Ok());
        GlShim::Reset();
        app.GetShellData()->width = 8;
        app.GetShellData()->height = 4;
    }

    PixelBuffer Capture(int32_t width, int32_t height, int32_t expectedResult = 0)
    {
        uint8_t* pixels = reinterpret_cast<uint8_t*>(1);
        EXPECT_EQ(expectedResult, app.TrellisCaptureFrame(width, height, &pixels));
        return PixelBuffer(pixels);
    }

    int32_t SaveDump(const std::string& prefix, char* chosenName, const uint8_t* pixels)
    {
        testing::internal::CaptureStderr();
        const int32_t result = app.TrellisSaveScreenDump(prefix.c_str(), chosenName, pixels);
        messages = testing::internal::GetCapturedStderr();
        return result;
    }

    GlTestContext gl{8, 4};
    TempDir dir;
    TrellisApp app;
    std::string messages;
};

TEST_F(ScreenCapture, AFrameRoundTripsThroughCaptureWriteAndRead)
{
    DrawKnownFrame();
    const PixelBuffer captured = Capture(8, 4);
    ASSERT_NE(nullptr, captured);
    const std::vector<uint8_t> bgr(captured.get(), captured.get() + 8 * 4 * 3);
    EXPECT_EQ(ExpectedBgr(gl), bgr);
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 255}), std::vector<uint8_t>(&bgr[(1 * 8 + 2) * 3], &bgr[(1 * 8 + 3) * 3]));
    EXPECT_EQ((std::vector<uint8_t>{128, 0, 0}), std::vector<uint8_t>(&bgr[0], &bgr[3]));  // blue 0.5 in 8 bits

    char chosen[200] = {};
    ASSERT_EQ(0, SaveDump(dir.File("frame"), chosen, captured.get()));
    EXPECT_EQ(dir.File("frame0000.bmp"), chosen);
    EXPECT_EQ("", messages);

    int32_t width = 8, height = 4;
    std::vector<uint8_t> read(bgr.size());
    ASSERT_EQ(0, app.TrellisReadBMP(chosen, &width, &height, read.data()));
    EXPECT_EQ(8, width);
    EXPECT_EQ(4, height);
    EXPECT_EQ(bgr, read);
}

TEST_F(ScreenCapture, APortraitQuarterScreenMakesTheDocumentedFileSize)
{
    GlTestContext portrait(240, 320);
    ASSERT_TRUE(portrait.Ok());
    app.GetShellData()->width = 240;
    app.GetShellData()->height = 320;
    const PixelBuffer captured = Capture(240, 320);
    ASSERT_EQ(0, SaveDump(dir.File("portrait"), nullptr, captured.get()));
    const std::vector<uint8_t> file = ReadWholeFile(dir.File("portrait0000.bmp"));
    ASSERT_EQ(54u + 230400u, file.size());
    EXPECT_EQ(230400u, file[34] | file[35] << 8 | file[36] << 16 | uint32_t(file[37]) << 24);
}

TEST_F(ScreenCapture, DumpsTakeTheFirstFreeNumber)
{
    WriteWholeFile(dir.File("shot0000.bmp"), {});
    WriteWholeFile(dir.File("shot0001.bmp"), {});
    WriteWholeFile(dir.File("shot0003.bmp"), {});
    const PixelBuffer captured = Capture(8, 4);
    char chosen[200] = {};
    ASSERT_EQ(0, SaveDump(dir.File("shot"), chosen, captured.get()));
    EXPECT_EQ(dir.File("shot0002.bmp"), chosen);
    EXPECT_EQ(54u + 96u, ReadWholeFile(dir.File("shot0002.bmp")).size());
    EXPECT_TRUE(ReadWholeFile(dir.File("shot0003.bmp")).empty());
}

TEST_F(ScreenCapture, DumpsNeverDestroyData)
{
    // A link at a free number is not followed; its target is not created.
    ASSERT_EQ(0, symlink(dir.File("elsewhere.bmp").c_str(), dir.File("shot0000.bmp").c_str()));
    WriteWholeFile(dir.File("shot0000.png"), {7});
    const PixelBuffer captured = Capture(8, 4);
    char chosen[200] = {};
    ASSERT_EQ(0, SaveDump(dir.File("shot"), chosen, captured.get()));
    EXPECT_EQ(dir.File("shot0001.bmp"), chosen);
    EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere.bmp")));
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, TrellisSavePngDump(dir.File("shot").c_str(), chosen, 8, 4, captured.get()));
    EXPECT_EQ(dir.File("shot0001.png"), chosen);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ(std::vector<uint8_t>{7}, ReadWholeFile(dir.File("shot0000.png")));

    // A device that fills up: no partial dump is left, and the message says why.
    for (size_t allowed : {size_t(0), size_t(60)}) {
        FailFileWritesAfter(allowed, ENOSPC);
        EXPECT_EQ(11, SaveDump(dir.File("full"), chosen, captured.get()));
        StopFailingWrites();
        const std::string name = dir.File("full0000.bmp");
        EXPECT_EQ("Wrote wrong number of bytes to BMP file.\n" + name +
                      ": No space left on device; the partial file was removed.\n",
                  messages);
        EXPECT_FALSE(std::filesystem::exists(name));
        EXPECT_STREQ("", chosen) << "no name for a dump that was not written";
    }
    FailFileWritesAfter(20, ENOSPC);
    testing::internal::CaptureStderr();
    EXPECT_EQ(11, TrellisSavePngDump(dir.File("full").c_str(), chosen, 8, 4, captured.get()));
    StopFailingWrites();
    EXPECT_EQ("Wrote wrong number of bytes to PNG file.\n" + dir.File("full0000.png") +
                  ": No space left on device; the partial file was removed.\n",
              testing::internal::GetCapturedStderr());
    EXPECT_FALSE(std::filesystem::exists(dir.File("full0000.png")));
}

TEST_F(ScreenCapture, RefusesToDumpWhenEveryNumberIsTaken)
{
    char name[32];
    for (int index = 0; index <= 9999; ++index) {
        std::snprintf(name, sizeof name, "full%04d.bmp", index);
        WriteWholeFile(dir.File(name), {});
    }
    const PixelBuffer captured = Capture(8, 4);
    char chosen[200] = "unchanged";
    EXPECT_EQ(11, SaveDump(dir.File("full"), chosen, captured.get()));
    EXPECT_STREQ("", chosen);
    EXPECT_EQ("Screen dump not written: " + dir.File("full") + "0000.bmp to 9999 all exist.\n", messages);
    EXPECT_TRUE(ReadWholeFile(dir.File("full0000.bmp")).empty());
}

// Odd sizes, whose BMP rows need padding: both dumps decode, in an independent
// decoder, to the frame the driver holds.
TEST_F(ScreenCapture, BmpAndPngDumpsOfAnOddSizedFrameDecodeToTheFrame)
{
    GlTestContext odd(33, 17);
    ASSERT_TRUE(odd.Ok());
    DrawKnownFrame();
    const std::vector<uint8_t> rgba = odd.ReadPixels();
    const PixelBuffer captured = Capture(33, 17);
    char bmp[kTrellisDumpNameSize] = {};
    char png[kTrellisDumpNameSize] = {};
    ASSERT_EQ(0, TrellisSaveScreenDump(dir.File("odd").c_str(), bmp, 33, 17, captured.get()));
    ASSERT_EQ(0, TrellisSavePngDump(dir.File("odd").c_str(), png, 33, 17, captured.get()));
    EXPECT_EQ(dir.File("odd0000.png"), png);
    for (const char* name : {bmp, png}) {
        SCOPED_TRACE(name);
        int width = 0, height = 0, channels = 0;
        stbi_uc* decoded = stbi_load(name, &width, &height, &channels, 3);
        ASSERT_NE(nullptr, decoded);
        ASSERT_EQ(33, width);
        ASSERT_EQ(17, height);
        size_t mismatches = 0;
        for (int y = 0; y < 17; ++y) {
            for (int x = 0; x < 33; ++x) {
                const uint8_t* file = decoded + (size_t(16 - y) * 33 + x) * 3;  // the file's top is the frame's last row
                const uint8_t* frame = &rgba[(size_t(y) * 33 + x) * 4];
                mismatches += file[0] != frame[0] || file[1] != frame[1] || file[2] != frame[2];
            }
        }
        EXPECT_EQ(0u, mismatches);
        stbi_image_free(decoded);
    }
}

TEST_F(ScreenCapture, PrefixesFitTheNameBufferOrAreRefused)
{
    const PixelBuffer captured = Capture(8, 4);
    const std::string base = dir.File("");
    const std::string longest = base + std::string(191 - base.size(), 'p');
    char chosen[200] = {};
    EXPECT_EQ(0, SaveDump(longest, chosen, captured.get()));
    EXPECT_EQ(longest + "0000.bmp", chosen);

    const std::string refused = "Screen dump prefix is missing or longer than 191 characters.\n";
    EXPECT_EQ(11, SaveDump(longest + "p", chosen, captured.get()));
    EXPECT_EQ(refused, messages);
    testing::internal::CaptureStderr();
    EXPECT_EQ(11, app.TrellisSaveScreenDump(nullptr, chosen, captured.get()));
    EXPECT_EQ(refused, testing::internal::GetCapturedStderr());
}

TEST_F(ScreenCapture, AFailedWriteGivesEleven)
{
    const PixelBuffer captured = Capture(8, 4);
    const std::string prefix = dir.File("missing/dump");
    EXPECT_EQ(11, SaveDump(prefix, nullptr, captured.get()));
    EXPECT_EQ("Failed to open " + prefix + "0000.bmp for writing screen dump.\n" + prefix +
                  "0000.bmp: No such file or directory\n",
              messages);
}

TEST_F(ScreenCapture, IgnoresOlderGlErrors)
{
    glEnable(0xFFFF);  // leaves GL_INVALID_ENUM pending
    DrawKnownFrame();
    const PixelBuffer captured = Capture(8, 4);
    EXPECT_EQ(ExpectedBgr(gl), std::vector<uint8_t>(captured.get(), captured.get() + 96));
}

TEST_F(ScreenCapture, AReadBackErrorGivesThreeAndLeavesTheBufferToTheCaller)
{
    GlShim::FailCall("glReadPixels", 1, GL_INVALID_OPERATION);
    const PixelBuffer captured = Capture(8, 4, 3);
    EXPECT_NE(nullptr, captured);
}

TEST_F(ScreenCapture, RefusesNegativeAndImpossibleSizes)
{
    EXPECT_EQ(nullptr, Capture(-1, 4, 1));
    EXPECT_EQ(nullptr, Capture(8, -4, 1));
    EXPECT_EQ(nullptr, Capture(1 << 20, 1 << 20, 1));
    EXPECT_TRUE(GlShim::CallsTo("glReadPixels").empty());
}

TEST_F(ScreenCapture, ReadsPackedRowsWhateverPackAlignmentWasSet)
{
    // Rows of 3 RGBA pixels padded to 8 bytes would run past the read-back buffer.
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    DrawKnownFrame();
    const PixelBuffer captured = Capture(3, 4);
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(8, alignment);
    const std::vector<uint8_t> whole = ExpectedBgr(gl);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(std::vector<uint8_t>(&whole[row * 24], &whole[row * 24 + 9]),
                  std::vector<uint8_t>(&captured[row * 9], &captured[row * 9 + 9]));
    }
}

} // namespace
