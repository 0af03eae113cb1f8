#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FailingWrites.h"
#include "TempDir.h"
#include "capture/Capture.h"

using namespace trellis;

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

// A BMP file as other writers make it, from packed bottom-up BGR pixels.
struct Shape {
    int32_t width;
    int32_t height;
    bool topDown = false;
    bool imageSizeZero = false;
    uint32_t infoSize = 40;
    bool packed = false;  // rows unpadded, as our earlier writer stored them
};

std::vector<uint8_t> MakeBmp(const Shape& shape, const std::vector<uint8_t>& bgr)
{
    const size_t row = size_t(shape.width) * 3;
    const size_t stride = shape.packed ? row : (row + 3) / 4 * 4;
    std::vector<uint8_t> file(14 + shape.infoSize, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 10, 14 + shape.infoSize);
    Put32(file, 14, shape.infoSize);
    Put32(file, 18, uint32_t(shape.width));
    Put32(file, 22, uint32_t(shape.topDown ? -shape.height : shape.height));
    Put16(file, 26, 1);
    Put16(file, 28, 24);
    Put32(file, 34, shape.imageSizeZero ? 0 : uint32_t(stride * shape.height));
    Put32(file, 46, shape.packed ? 1u << 24 : 0);
    for (int32_t i = 0; i < shape.height; ++i) {
        const int32_t y = shape.topDown ? shape.height - 1 - i : i;
        file.insert(file.end(), bgr.begin() + y * row, bgr.begin() + (y + 1) * row);
        file.insert(file.end(), stride - row, 0x5A);  // padding that must not be taken as pixels
    }
    Put32(file, 2, uint32_t(file.size()));
    return file;
}

class BmpFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }
    void TearDown() override { StopFailingWrites(); }

    // Reads `bytes` as a BMP file into a poisoned buffer of w x h pixels plus
    // a guard, with stderr captured into `messages`.
    int32_t ReadBytes(const std::vector<uint8_t>& bytes, int32_t w, int32_t h)
    {
        WriteWholeFile(dir.File("input.bmp"), bytes);
        const size_t capacity = size_t(w) * size_t(h) * 3;
        width = w;
        height = h;
        read.assign(capacity + 4, 0xEE);
        testing::internal::CaptureStderr();
        const int32_t result = TrellisReadBMP(dir.File("input.bmp").c_str(), &width, &height, read.data());
        messages = testing::internal::GetCapturedStderr();
        guard.assign(read.begin() + long(capacity), read.end());
        read.resize(capacity);
        return result;
    }

    int32_t Write(const std::string& name, int32_t w, int32_t h, const uint8_t* pixels,
                  TrellisExistingFile existing = TrellisExistingFile::kReplace)
    {
        testing::internal::CaptureStderr();
        const int32_t result = TrellisWriteBMP(dir.File(name).c_str(), w, h, pixels, existing);
        messages = testing::internal::GetCapturedStderr();
        return result;
    }

    TempDir dir;
    int32_t width = -7;
    int32_t height = -7;
    std::vector<uint8_t> read;
    std::vector<uint8_t> guard;
    std::string messages;
};

TEST_F(BmpFile, WritesTheFixedHeaderAndRowsPaddedToFourBytes)
{
    const std::vector<uint8_t> pixels = Pattern(4 * 2 * 3);
    ASSERT_EQ(0, Write("four.bmp", 4, 2, pixels.data()));
    const std::vector<uint8_t> header = {
        'B', 'M', 78, 0, 0, 0,  0, 0, 0, 0,  54, 0, 0, 0,  40, 0, 0, 0,  4, 0, 0, 0,  2, 0, 0, 0,  1, 0,  24, 0,
        0, 0, 0, 0,  24, 0, 0, 0,  0, 16, 0, 0,  0, 16, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0};
    std::vector<uint8_t> file = ReadWholeFile(dir.File("four.bmp"));
    ASSERT_EQ(54u + 24u, file.size());
    EXPECT_EQ(header, std::vector<uint8_t>(file.begin(), file.begin() + 54));
    EXPECT_EQ(pixels, std::vector<uint8_t>(file.begin() + 54, file.end()));

    // Rows of 15 bytes take one byte of padding each; both size fields count it.
    const std::vector<uint8_t> odd = Pattern(5 * 2 * 3);
    ASSERT_EQ(0, Write("five.bmp", 5, 2, odd.data()));
    file = ReadWholeFile(dir.File("five.bmp"));
    ASSERT_EQ(54u + 32u, file.size());
    EXPECT_EQ(86, file[2]);
    EXPECT_EQ(32, file[34]);
    std::vector<uint8_t> expected(odd.begin(), odd.begin() + 15);
    expected.push_back(0);
    expected.insert(expected.end(), odd.begin() + 15, odd.end());
    expected.push_back(0);
    EXPECT_EQ(expected, std::vector<uint8_t>(file.begin() + 54, file.end()));
}

TEST_F(BmpFile, ReadsBackWhatItWroteAtEveryWidth)
{
    for (int32_t w : {1, 2, 3, 4, 5, 6, 7, 33}) {
        SCOPED_TRACE(w);
        const std::vector<uint8_t> pixels = Pattern(size_t(w) * 3 * 3);
        ASSERT_EQ(0, Write("w" + std::to_string(w) + ".bmp", w, 3, pixels.data()));
        const std::vector<uint8_t> file = ReadWholeFile(dir.File("w" + std::to_string(w) + ".bmp"));
        WriteWholeFile(dir.File("input.bmp"), file);
        EXPECT_EQ(1, TrellisReadBMP(dir.File("input.bmp").c_str(), &width, &height, nullptr));  // only the size
        EXPECT_EQ(w, width);
        EXPECT_EQ(3, height);
        EXPECT_EQ(0, ReadBytes(file, w, 3));
        EXPECT_EQ("", messages);
        EXPECT_EQ(pixels, read);
        EXPECT_EQ(std::vector<uint8_t>(4, 0xEE), guard);
    }
}

TEST_F(BmpFile, ReadsFilesAsOtherWritersStoreThem)
{
    const std::vector<uint8_t> pixels = Pattern(3 * 2 * 3);
    const Shape shapes[] = {
        {3, 2},
        {3, 2, false, true},         // image size 0, as several writers store it
        {3, 2, true},                // rows top to bottom (negative height)
        {3, 2, true, true, 124},     // and a larger info header, pixels where the offset says
        {3, 2, false, false, 40, true},  // rows packed in a file of exactly their size
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.topDown) + std::to_string(shape.imageSizeZero) + std::to_string(shape.infoSize) +
                     std::to_string(shape.packed));
        EXPECT_EQ(0, ReadBytes(MakeBmp(shape, pixels), 3, 2));
        EXPECT_EQ("", messages);
        EXPECT_EQ(3, width);
        EXPECT_EQ(2, height);
        EXPECT_EQ(pixels, read);
        EXPECT_EQ(std::vector<uint8_t>(4, 0xEE), guard);
    }
    // A short image-size field is not believed either.
    std::vector<uint8_t> shortSize = MakeBmp({3, 2}, pixels);
    Put32(shortSize, 34, 5);
    EXPECT_EQ(0, ReadBytes(shortSize, 3, 2));
    EXPECT_EQ(pixels, read);
}

TEST_F(BmpFile, RefusesWhatItCannotReadWithoutTouchingTheBuffer)
{
    const std::vector<uint8_t> good = MakeBmp({4, 2}, Pattern(24));
    const auto with = [&good](size_t at, uint32_t value, bool wide) {
        std::vector<uint8_t> file = good;
        wide ? Put32(file, at, value) : Put16(file, at, uint16_t(value));
        return file;
    };
    // Claims 4000 x 4000 in an old-style 12-byte header, in 90 bytes.
    std::vector<uint8_t> os2(90, 0);
    os2[0] = 'B';
    os2[1] = 'M';
    Put32(os2, 10, 26);
    Put32(os2, 14, 12);
    Put16(os2, 18, 4000);
    Put16(os2, 20, 4000);
    Put16(os2, 22, 1);
    Put16(os2, 24, 24);
    std::vector<uint8_t> palettised = with(28, 8, false);
    Put32(palettised, 46, 256);
    std::vector<uint8_t> bitFields = with(28, 32, false);  // ImageMagick's 32-bit files
    Put32(bitFields, 30, 3);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string message;
        bool sizeGiven = false;
    } cases[] = {
        {"20 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 20), "BMP header could not be read.\n"},
        {"signature", with(0, 'B' | 'X' << 8, false), "BMP should start with the chars BM.\n"},
        {"compressed", with(30, 1, true), "Can't read compressed BMP files.\n", true},
        {"OS/2 header", os2, "Can't read BMP files with a 12-byte info header; 40, 56, 108 or 124 bytes are read.\n"},
        {"tiny OS/2 file", std::vector<uint8_t>(os2.begin(), os2.begin() + 20), "BMP header could not be read.\n"},
        {"32 bits", bitFields, "Can't read BMP files with 32 bits per pixel; only 24 are read.\n"},
        {"palettised", palettised, "Can't read BMP files with 8 bits per pixel; only 24 are read.\n"},
        {"planes", with(26, 2, false), "BMP planes field is 2 where it must be 1.\n"},
        {"negative width", with(18, uint32_t(-4), true), "BMP width and height are not valid.\n"},
        {"zero height", with(22, 0, true), "BMP width and height are not valid.\n"},
        {"offset", with(10, 14, true), "BMP pixel offset points into its header.\n"},
        {"one byte short", std::vector<uint8_t>(good.begin(), good.end() - 1), "BMP file ends before its 2 rows of 12 bytes.\n"},
        {"huge", with(18, 0x7FFFFFFF, true), "Can't read BMP files of 2147483647 x 2; 16384 x 16384 is the largest read.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(1, ReadBytes(c.bytes, 4, 2));
        EXPECT_EQ(c.message, messages);
        EXPECT_EQ(c.sizeGiven ? 4 : 0, width);  // never a size to allocate for a file that cannot be read
        EXPECT_EQ(c.sizeGiven ? 2 : 0, height);
        EXPECT_EQ(std::vector<uint8_t>(24, 0xEE), read);
        EXPECT_EQ(std::vector<uint8_t>(4, 0xEE), guard);
    }
}

// The size learned by a first call bounds the second, whatever the file has
// become meanwhile: the buffer is exactly that size, so that ASan sees any overrun.
TEST_F(BmpFile, NeverWritesMoreThanTheCallerSaysTheBufferHolds)
{
    const std::string name = dir.File("swapped.bmp");
    WriteWholeFile(name, MakeBmp({1, 1}, Pattern(3)));
    ASSERT_EQ(1, TrellisReadBMP(name.c_str(), &width, &height, nullptr));
    ASSERT_EQ(1, width * height);
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[size_t(width) * size_t(height) * 3]);
    WriteWholeFile(dir.File("new.bmp"), MakeBmp({64, 64}, Pattern(64 * 64 * 3)));
    ASSERT_EQ(0, std::rename(dir.File("new.bmp").c_str(), name.c_str()));  // as the writer replaces files
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, TrellisReadBMP(name.c_str(), &width, &height, pixels.get()));
    EXPECT_EQ("BMP file is 64 x 64, larger than the 1 x 1 given for its pixels.\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(64, width);  // enough to allocate again
    EXPECT_EQ(64, height);
    EXPECT_EQ(1, ReadBytes(MakeBmp({2, 1}, Pattern(6)), 0, 3));
    EXPECT_EQ("Can't read a BMP file into pixels of 0 x 3; give the size they hold.\n", messages);
}

TEST_F(BmpFile, ReportsAMissingFileWithTheReason)
{
    std::vector<uint8_t> buffer(24);
    width = 4;
    height = 2;
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, TrellisReadBMP(dir.File("missing.bmp").c_str(), &width, &height, buffer.data()));
    const std::string name = dir.File("missing.bmp");
    EXPECT_EQ("Failed to open " + name + " for writing screen dump.\n" + name + ": No such file or directory\n",
              testing::internal::GetCapturedStderr());
    const std::string folder = dir.File("folder.bmp");
    ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, TrellisReadBMP(folder.c_str(), &width, &height, nullptr));
    EXPECT_EQ("Failed to open " + folder + " for writing screen dump.\n" + folder + ": Is a directory\n",
              testing::internal::GetCapturedStderr());
}

TEST_F(BmpFile, WriterNeverDestroysData)
{
    const std::vector<uint8_t> pixels = Pattern(24);
    const std::string kept = dir.File("kept.bmp");
    WriteWholeFile(kept, {1, 2, 3});
    EXPECT_EQ(1, Write("kept.bmp", 4, 2, pixels.data(), TrellisExistingFile::kKeep));
    EXPECT_EQ("Failed to open " + kept + " for writing screen dump.\n" + kept + ": File exists\n", messages);
    EXPECT_EQ(std::vector<uint8_t>({1, 2, 3}), ReadWholeFile(kept));

    // With kKeep a link counts as existing and is not followed, whether or not
    // its target exists; replacing writes through it to the target, as opening would.
    ASSERT_EQ(0, symlink(dir.File("target.bmp").c_str(), dir.File("dangling.bmp").c_str()));
    ASSERT_EQ(0, symlink("kept.bmp", dir.File("link.bmp").c_str()));
    EXPECT_EQ(1, Write("dangling.bmp", 4, 2, pixels.data(), TrellisExistingFile::kKeep));
    EXPECT_EQ(1, Write("link.bmp", 4, 2, pixels.data(), TrellisExistingFile::kKeep));
    EXPECT_FALSE(std::filesystem::exists(dir.File("target.bmp")));
    EXPECT_EQ(std::vector<uint8_t>({1, 2, 3}), ReadWholeFile(kept));
    EXPECT_EQ(0, Write("link.bmp", 4, 2, pixels.data()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.bmp")));
    EXPECT_EQ(78u, ReadWholeFile(kept).size());
    WriteWholeFile(kept, {1, 2, 3});

    // Replacing: a write that fails part way leaves the old file whole; one that succeeds takes its place.
    FailFileWritesAfter(40, ENOSPC);
    EXPECT_EQ(1, Write("kept.bmp", 4, 2, pixels.data()));
    StopFailingWrites();
    EXPECT_EQ(std::vector<uint8_t>({1, 2, 3}), ReadWholeFile(kept));
    // No temporary is left behind: the folder holds the kept file and the two links.
    EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(dir.File("")), std::filesystem::directory_iterator()));
    EXPECT_EQ(0, Write("kept.bmp", 4, 2, pixels.data()));
    EXPECT_EQ(0, ReadBytes(ReadWholeFile(kept), 4, 2));
    EXPECT_EQ(pixels, read);

    // A device that fills up part way: nothing is left behind and the reason is given.
    FailFileWritesAfter(40, ENOSPC);
    EXPECT_EQ(1, Write("full.bmp", 4, 2, pixels.data()));
    StopFailingWrites();
    const std::string full = dir.File("full.bmp");
    EXPECT_EQ("Wrote wrong number of bytes to BMP file.\n" + full +
                  ": No space left on device; the partial file was removed.\n",
              messages);
    EXPECT_FALSE(std::filesystem::exists(full));

    const std::string refused = "Can't write a BMP file without pixels or of a negative or too large size.\n";
    const struct {
        int32_t width;
        int32_t height;
        const uint8_t* pixels;
    } bad[] = {{-4, 2, pixels.data()}, {4, -2, pixels.data()}, {0, 2, pixels.data()},
               {16385, 1, pixels.data()}, {4, 2, nullptr}};
    for (const auto& b : bad) {
        EXPECT_EQ(1, Write("bad.bmp", b.width, b.height, b.pixels));
        EXPECT_EQ(refused, messages);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("bad.bmp")));
}

// Writes as an unprivileged user does (tests may run as root, who may write
// anything): in a child that gives up root first. Its messages go to `log`.
int WriteAsNobody(const std::string& name, const std::string& log, const uint8_t* pixels)
{
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = std::freopen(log.c_str(), "w", stderr) != nullptr &&
                             (getuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0));
        _exit(dropped ? TrellisWriteBMP(name.c_str(), 4, 2, pixels) : 2);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

mode_t Mode(const std::string& name)
{
    struct stat status {};
    return lstat(name.c_str(), &status) == 0 ? status.st_mode : 0;
}

TEST_F(BmpFile, ReplacesOnlyARegularFileThatOpeningForWritingWouldTake)
{
    const std::vector<uint8_t> pixels = Pattern(24);
    const std::string shot = dir.File("shot.bmp");
    const std::string refusal = "Failed to open " + shot + " for writing screen dump.\n" + shot + ": ";

    // Read-only for the writer: refused, content and mode kept.
    WriteWholeFile(shot, {1, 2, 3});
    ASSERT_EQ(0, chmod(shot.c_str(), 0444));
    ASSERT_EQ(0, chmod(dir.File("").c_str(), 0777));
    EXPECT_EQ(1, WriteAsNobody(shot, dir.File("child.txt"), pixels.data()));
    const std::vector<uint8_t> childLog = ReadWholeFile(dir.File("child.txt"));
    EXPECT_EQ(refusal + "Permission denied\n", std::string(childLog.begin(), childLog.end()));
    EXPECT_EQ(std::vector<uint8_t>({1, 2, 3}), ReadWholeFile(shot));
    EXPECT_EQ(mode_t(S_IFREG | 0444), Mode(shot));
    // Replaced: the new file keeps the old one's permissions.
    ASSERT_EQ(0, chmod(shot.c_str(), 0640));
    EXPECT_EQ(0, Write("shot.bmp", 4, 2, pixels.data()));
    EXPECT_EQ(78u, ReadWholeFile(shot).size());
    EXPECT_EQ(mode_t(S_IFREG | 0640), Mode(shot));
    // Hard links would be split by a replacement: refused, both names as they were.
    ASSERT_EQ(0, link(shot.c_str(), dir.File("other.bmp").c_str()));
    EXPECT_EQ(1, Write("shot.bmp", 1, 1, pixels.data()));
    EXPECT_EQ(refusal + "Has other names (hard links), which would keep the old picture\n", messages);
    EXPECT_EQ(78u, ReadWholeFile(dir.File("other.bmp")).size());
    ASSERT_EQ(0, unlink(dir.File("other.bmp").c_str()));
    // A rename the file system refuses: the old file stays and the reason is given.
    FailNextRename(EXDEV);
    EXPECT_EQ(1, Write("shot.bmp", 1, 1, pixels.data()));
    EXPECT_EQ("Failed to put the new BMP file in place of " + shot + ".\n" + shot +
                  ": Invalid cross-device link; the new file was removed.\n",
              messages);
    EXPECT_EQ(78u, ReadWholeFile(shot).size());
    ASSERT_EQ(0, unlink(shot.c_str()));
    // Not a regular file: a FIFO (standing for a device such as /dev/null) and
    // a directory are refused with the reason, never replaced.
    ASSERT_EQ(0, mkfifo(shot.c_str(), 0644));
    EXPECT_EQ(1, Write("shot.bmp", 4, 2, pixels.data()));
    EXPECT_EQ(refusal + "Is a FIFO, not a regular file\n", messages);
    EXPECT_TRUE(S_ISFIFO(Mode(shot)));
    ASSERT_EQ(0, unlink(shot.c_str()));
    ASSERT_EQ(0, mkdir(shot.c_str(), 0755));
    EXPECT_EQ(1, Write("shot.bmp", 4, 2, pixels.data()));
    EXPECT_EQ(refusal + "Is a directory\n", messages);
}

} // namespace
