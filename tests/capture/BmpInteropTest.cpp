#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "TempDir.h"
#include "shell/TrellisApp.h"

namespace {

constexpr int kWidth = 4;
constexpr int kHeight = 3;

// The real ImageMagick, not merely some program called convert.
bool HaveImageMagick()
{
    return std::system("command -v identify >/dev/null 2>&1 && command -v convert >/dev/null 2>&1") == 0;
}

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

// A 4 x 3 image as ImageMagick's raw "rgb:" format holds it: top row first, bytes R, G, B.
std::vector<uint8_t> TopDownRgb()
{
    std::vector<uint8_t> rgb(kWidth * kHeight * 3);
    for (size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = uint8_t(i * 21 + 5);
    }
    return rgb;
}

// The same image as BMP pixels: bottom row first, bytes B, G, R.
std::vector<uint8_t> BottomUpBgr(const std::vector<uint8_t>& rgb)
{
    std::vector<uint8_t> bgr;
    for (int row = kHeight - 1; row >= 0; --row) {
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* pixel = &rgb[(row * kWidth + x) * 3];
            bgr.insert(bgr.end(), {pixel[2], pixel[1], pixel[0]});
        }
    }
    return bgr;
}

class BmpInterop : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }

    TempDir dir;
    TrellisApp app;
};

TEST_F(BmpInterop, AnIndependentDecoderReadsOurFilesWithTheirPixels)
{
    const std::vector<uint8_t> rgb = TopDownRgb();
    const std::string bmp = dir.File("ours.bmp");
    ASSERT_EQ(0, app.TrellisWriteBMP(bmp.c_str(), kWidth, kHeight, BottomUpBgr(rgb).data()));
    int width = 0, height = 0, channels = 0;
    stbi_uc* decoded = stbi_load(bmp.c_str(), &width, &height, &channels, 0);
    ASSERT_NE(nullptr, decoded);
    EXPECT_EQ(kWidth, width);
    EXPECT_EQ(kHeight, height);
    EXPECT_EQ(3, channels);
    EXPECT_EQ(rgb, std::vector<uint8_t>(decoded, decoded + rgb.size()));
    stbi_image_free(decoded);
}

TEST_F(BmpInterop, ReadsTheTrueColourFilesImageMagickWrites)
{
    if (!HaveImageMagick()) {
        GTEST_SKIP() << "ImageMagick (identify, convert) is not installed";
    }
    const std::vector<uint8_t> rgb = TopDownRgb();
    const std::string raw = dir.File("theirs.rgb");
    const std::string bmp = dir.File("theirs.bmp");
    WriteWholeFile(raw, rgb);
    ASSERT_EQ(0, std::system(("convert -size 4x3 -depth 8 rgb:" + Quoted(raw) + " -type TrueColor " + Quoted(bmp))
                                 .c_str()));
    int32_t width = 0, height = 0;
    std::vector<uint8_t> read(rgb.size());
    ASSERT_EQ(0, app.TrellisReadBMP(bmp.c_str(), &width, &height, read.data()));
    EXPECT_EQ(kWidth, width);
    EXPECT_EQ(kHeight, height);
    EXPECT_EQ(BottomUpBgr(rgb), read);
}

} // namespace
