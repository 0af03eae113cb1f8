// Our BMP files against other implementations of the format: ImageMagick, the
// reader users hit first and the strictest about the header, and stb_image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "ProgramRun.h"
#include "TempDir.h"
#include "capture/Capture.h"

using namespace trellis;

namespace {

// The widths whose rows need every amount of padding, and real frame widths.
constexpr int kWidths[] = {1, 2, 3, 4, 5, 6, 7, 33, 321, 640};
constexpr int kHeight = 3;

// An image as ImageMagick's raw "rgb:" format holds it: top row first, bytes R, G, B.
std::vector<uint8_t> TopDownRgb(int width)
{
    std::vector<uint8_t> rgb(size_t(width) * kHeight * 3);
    for (size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = uint8_t(i * 21 + i / 7 + 5);
    }
    return rgb;
}

// The same image in the capture layout: bottom row first, bytes B, G, R.
std::vector<uint8_t> BottomUpBgr(const std::vector<uint8_t>& rgb, int width)
{
    std::vector<uint8_t> bgr;
    for (int row = kHeight - 1; row >= 0; --row) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* pixel = &rgb[(size_t(row) * width + x) * 3];
            bgr.insert(bgr.end(), {pixel[2], pixel[1], pixel[0]});
        }
    }
    return bgr;
}

class BmpInterop : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }

    TempDir dir;
};

TEST_P(BmpInterop, OurFilesOpenWithTheirPixelsInImageMagickAndStb)
{
    const int width = GetParam();
    const std::vector<uint8_t> rgb = TopDownRgb(width);
    const std::string bmp = dir.File("ours.bmp");
    ASSERT_EQ(0, TrellisWriteBMP(bmp.c_str(), width, kHeight, BottomUpBgr(rgb, width).data()));

    int w = 0, h = 0, channels = 0;
    stbi_uc* decoded = stbi_load(bmp.c_str(), &w, &h, &channels, 0);
    ASSERT_NE(nullptr, decoded);
    EXPECT_EQ(width, w);
    EXPECT_EQ(kHeight, h);
    EXPECT_EQ(3, channels);
    EXPECT_EQ(rgb, std::vector<uint8_t>(decoded, decoded + rgb.size()));
    stbi_image_free(decoded);

    if (!HaveImageMagick()) {
        GTEST_SKIP() << "ImageMagick (identify, convert) is not installed";
    }
    EXPECT_EQ(std::to_string(width) + "x3 BMP3", RunMerged("/usr/bin/identify", {"-format", "%wx%h %m", bmp}).output);
    const std::string raw = dir.File("ours.rgb");
    ASSERT_EQ(0, RunMerged("/usr/bin/convert", {bmp, "-depth", "8", "rgb:" + raw}).exitCode);
    EXPECT_EQ(rgb, ReadWholeFile(raw));
}

TEST_P(BmpInterop, ReadsImageMagicksFilesBottomUpTopDownAndWithoutAnImageSize)
{
    if (!HaveImageMagick()) {
        GTEST_SKIP() << "ImageMagick (identify, convert) is not installed";
    }
    const int width = GetParam();
    const std::vector<uint8_t> rgb = TopDownRgb(width);
    const std::string raw = dir.File("theirs.rgb");
    const std::string bmp = dir.File("theirs.bmp");
    WriteWholeFile(raw, rgb);
    ASSERT_EQ(0, RunMerged("/usr/bin/convert", {"-size", std::to_string(width) + "x3", "-depth", "8", "rgb:" + raw,
                                                "-type", "TrueColor", "BMP3:" + bmp})
                     .exitCode);
    const std::vector<uint8_t> theirs = ReadWholeFile(bmp);
    ASSERT_GE(theirs.size(), 54u);
    const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
    ASSERT_EQ(54 + stride * kHeight, theirs.size()) << "ImageMagick pads its rows";

    // The same file with the image-size field 0, and with its rows top to bottom.
    std::vector<uint8_t> noSize = theirs;
    std::fill(noSize.begin() + 34, noSize.begin() + 38, 0);
    std::vector<uint8_t> topDown(theirs.begin(), theirs.begin() + 54);
    for (int row = kHeight - 1; row >= 0; --row) {
        topDown.insert(topDown.end(), theirs.begin() + long(54 + row * stride), theirs.begin() + long(54 + (row + 1) * stride));
    }
    const uint32_t negative = uint32_t(-kHeight);
    for (int i = 0; i < 4; ++i) {
        topDown[22 + i] = uint8_t(negative >> (8 * i));
    }
    for (const auto& file : {theirs, noSize, topDown}) {
        WriteWholeFile(bmp, file);
        int32_t w = width, h = kHeight;
        std::vector<uint8_t> read(rgb.size(), 0xEE);
        ASSERT_EQ(0, TrellisReadBMP(bmp.c_str(), &w, &h, read.data()));
        EXPECT_EQ(width, w);
        EXPECT_EQ(kHeight, h);
        EXPECT_EQ(BottomUpBgr(rgb, width), read);
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, BmpInterop, ::testing::ValuesIn(kWidths));

} // namespace
