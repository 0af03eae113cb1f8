#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TempDir.h"
#include "shell/TrellisApp.h"

namespace {

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value)
{
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    Put16(bytes, at, uint16_t(value));
    Put16(bytes, at + 2, uint16_t(value >> 16));
}

// Distinct bytes, so that any shift or reorder shows.
std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = uint8_t(i * 7 + 3);
    }
    return bytes;
}

class BmpFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }

    // Writes 4 x 2 patterned pixels, returns the file's bytes.
    std::vector<uint8_t> WriteSample()
    {
        EXPECT_EQ(0, app.TrellisWriteBMP(dir.File("sample.bmp").c_str(), 4, 2, pixels.data()));
        return ReadWholeFile(dir.File("sample.bmp"));
    }

    // Reads `bytes` as a BMP file with stderr captured into `messages`.
    int32_t ReadBytes(const std::vector<uint8_t>& bytes, uint8_t* destination)
    {
        WriteWholeFile(dir.File("input.bmp"), bytes);
        testing::internal::CaptureStderr();
        const int32_t result = app.TrellisReadBMP(dir.File("input.bmp").c_str(), &width, &height, destination);
        messages = testing::internal::GetCapturedStderr();
        return result;
    }

    TempDir dir;
    TrellisApp app;
    const std::vector<uint8_t> pixels = Pattern(4 * 2 * 3);
    int32_t width = -7;
    int32_t height = -7;
    std::string messages;
};

TEST_F(BmpFile, WritesTheFixedHeaderThenThePixels)
{
    const std::vector<uint8_t> header = {
        'B', 'M', 78, 0, 0, 0,  0, 0, 0, 0,  54, 0, 0, 0,  40, 0, 0, 0,  4, 0, 0, 0,  2, 0, 0, 0,  1, 0,  24, 0,
        0, 0, 0, 0,  24, 0, 0, 0,  0, 16, 0, 0,  0, 16, 0, 0,  0, 0, 0, 1,  0, 0, 0, 0};
    const std::vector<uint8_t> file = WriteSample();
    ASSERT_EQ(54u + 24u, file.size());
    EXPECT_EQ(header, std::vector<uint8_t>(file.begin(), file.begin() + 54));
    EXPECT_EQ(pixels, std::vector<uint8_t>(file.begin() + 54, file.end()));
}

TEST_F(BmpFile, ReadsBackWhatItWrote)
{
    const std::vector<uint8_t> file = WriteSample();
    EXPECT_EQ(1, ReadBytes(file, nullptr));  // no destination: only the size
    EXPECT_EQ("", messages);
    EXPECT_EQ(4, width);
    EXPECT_EQ(2, height);

    std::vector<uint8_t> read(24 + 1, 0xEE);
    EXPECT_EQ(0, ReadBytes(file, read.data()));
    EXPECT_EQ("", messages);
    EXPECT_EQ(pixels, std::vector<uint8_t>(read.begin(), read.begin() + 24));
    EXPECT_EQ(0xEE, read[24]);
}

TEST_F(BmpFile, ReportsFilesItCannotRead)
{
    std::vector<uint8_t> read(24);
    const std::vector<uint8_t> good = WriteSample();

    testing::internal::CaptureStderr();
    EXPECT_EQ(1, app.TrellisReadBMP(dir.File("missing.bmp").c_str(), &width, &height, read.data()));
    EXPECT_EQ("Failed to open " + dir.File("missing.bmp") + " for writing screen dump.\n",
              testing::internal::GetCapturedStderr());

    EXPECT_EQ(1, ReadBytes(std::vector<uint8_t>(good.begin(), good.begin() + 20), read.data()));
    EXPECT_EQ("BMP header could not be read.\n", messages);

    std::vector<uint8_t> wrongSignature = good;
    wrongSignature[1] = 'X';
    EXPECT_EQ(1, ReadBytes(wrongSignature, read.data()));
    EXPECT_EQ("BMP should start with the chars BM.\n", messages);

    std::vector<uint8_t> compressed = good;
    Put32(compressed, 30, 1);
    EXPECT_EQ(1, ReadBytes(compressed, read.data()));
    EXPECT_EQ("Can't read compressed BMP files.\n", messages);
    EXPECT_EQ(4, width);  // the size is reported before the compression is looked at
    EXPECT_EQ(2, height);

    std::vector<uint8_t> truncated(good.begin(), good.end() - 1);
    EXPECT_EQ(1, ReadBytes(truncated, read.data()));
    EXPECT_EQ("", messages);
}

TEST_F(BmpFile, RefusesHeadersThatWouldOverrunTheCallersBuffer)
{
    const std::vector<uint8_t> good = WriteSample();
    const struct {
        size_t offset;
        uint32_t value;
        bool wide;
        const char* message;
    } faults[] = {
        {34, 25, true, "BMP image size is larger than its width and height allow.\n"},
        {34, 0xFFFFFFFF, true, "BMP image size is larger than its width and height allow.\n"},
        {18, 0xFFFFFFFC, true, "BMP width and height are not valid.\n"},  // width -4
        {22, 0xFFFFFFFE, true, "BMP width and height are not valid.\n"},  // height -2, rows top to bottom
        {18, 0x7FFFFFFF, true, "BMP width and height are not valid.\n"},
        {28, 32, false, "Can't read BMP files that are not 24 bits per pixel.\n"},
        {28, 8, false, "Can't read BMP files that are not 24 bits per pixel.\n"},
        {10, 14, true, "BMP pixel offset points into its header.\n"},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE("field at " + std::to_string(fault.offset));
        std::vector<uint8_t> file = good;
        file.resize(file.size() + 64, 0xAB);
        if (fault.wide) {
            Put32(file, fault.offset, fault.value);
        } else {
            Put16(file, fault.offset, uint16_t(fault.value));
        }
        std::vector<uint8_t> read(24, 0xEE);
        EXPECT_EQ(1, ReadBytes(file, read.data()));
        EXPECT_EQ(fault.message, messages);
        EXPECT_EQ(std::vector<uint8_t>(24, 0xEE), read);
    }
}

TEST_F(BmpFile, TakesThePixelsFromTheOffsetTheFileStates)
{
    // As other tools write it: a 124-byte info header, the pixels at 138.
    std::vector<uint8_t> file = WriteSample();
    file.insert(file.begin() + 54, 84, 0x55);
    Put32(file, 10, 138);
    Put32(file, 14, 124);
    std::vector<uint8_t> read(24);
    EXPECT_EQ(0, ReadBytes(file, read.data()));
    EXPECT_EQ(pixels, read);
}

TEST_F(BmpFile, WriterReportsWhatItCannotWrite)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, app.TrellisWriteBMP(dir.File("no/such/dir.bmp").c_str(), 4, 2, pixels.data()));
    EXPECT_EQ("Failed to open " + dir.File("no/such/dir.bmp") + " for writing screen dump.\n",
              testing::internal::GetCapturedStderr());

    const std::string refused = "Can't write a BMP file without pixels or of a negative or too large size.\n";
    const struct {
        int32_t width;
        int32_t height;
        const uint8_t* pixels;
    } bad[] = {{-4, 2, pixels.data()}, {4, -2, pixels.data()}, {65536, 65536, pixels.data()}, {4, 2, nullptr}};
    for (const auto& b : bad) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(1, app.TrellisWriteBMP(dir.File("bad.bmp").c_str(), b.width, b.height, b.pixels));
        EXPECT_EQ(refused, testing::internal::GetCapturedStderr());
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("bad.bmp")));

    // A full device takes the buffered bytes; the loss shows when the file is closed.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(1, app.TrellisWriteBMP("/dev/full", 4, 2, pixels.data()));
    }
}

} // namespace
