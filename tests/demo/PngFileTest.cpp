// The capture program's PNG pictures, read back by an independent decoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../capture/TempDir.h"
#include "ReferenceImage.h"
#include "demo/PngFile.h"

namespace {

// A frame as TrellisCaptureFrame returns it: blue, green, red per pixel, rows
// packed one after the other, bottom row first. Each pixel's bytes tell its
// place, so a shifted row or a swapped channel shows.
std::vector<uint8_t> CapturedFrame(int width, int height)
{
    std::vector<uint8_t> bgr;
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            bgr.push_back(uint8_t(10 * row + x));        // blue
            bgr.push_back(uint8_t(100 + 10 * row + x));  // green
            bgr.push_back(uint8_t(200 + row));           // red
        }
    }
    return bgr;
}

TEST(PngFromCapture, KeepsEveryPixelInPlaceWhateverTheWidth)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    for (int width : {4, 5, 6, 7}) {
        SCOPED_TRACE(width);
        const int height = 3;
        const std::string path = dir.File("frame" + std::to_string(width) + ".png");
        ASSERT_EQ(0, WritePngFromCapture(path.c_str(), width, height, CapturedFrame(width, height).data()));
        const RgbImage image = ReadPng(path);
        ASSERT_EQ(width, image.width);
        ASSERT_EQ(height, image.height);
        for (int y = 0; y < height; ++y) {
            const int row = height - 1 - y;  // the picture's top is the frame's last row
            for (int x = 0; x < width; ++x) {
                const uint8_t* rgb = &image.rgb[3 * (size_t(y) * width + x)];
                EXPECT_EQ(200 + row, rgb[0]) << x << "," << y;
                EXPECT_EQ(100 + 10 * row + x, rgb[1]) << x << "," << y;
                EXPECT_EQ(10 * row + x, rgb[2]) << x << "," << y;
            }
        }
    }
}

TEST(PngFromCapture, RefusesWhatItCannotWrite)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::vector<uint8_t> frame = CapturedFrame(2, 2);
    const std::string path = dir.File("bad.png");
    EXPECT_EQ(1, WritePngFromCapture(path.c_str(), 2, 2, nullptr));
    EXPECT_EQ(1, WritePngFromCapture(path.c_str(), 0, 2, frame.data()));
    EXPECT_EQ(1, WritePngFromCapture(path.c_str(), 2, -1, frame.data()));
    EXPECT_EQ(3, WritePngFromCapture(dir.File("no/such/dir.png").c_str(), 2, 2, frame.data()));
}

} // namespace
