#include <gtest/gtest.h>

#include <GLES/gl.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <utility>
#include <string>
#include <vector>

#include "GlShim.h"
#include "GlTestContext.h"
#include "shell/TextureHeader.h"
#include "shell/TrellisApp.h"

using namespace trellis;

// Lets a test make the loader's next conversion buffer unobtainable. The
// array forms are replaced together so that every new[] meets its delete[].
static bool failNextBufferAllocation = false;

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    if (failNextBufferAllocation) {
        failNextBufferAllocation = false;
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void operator delete[](void* pointer) noexcept
{
    std::free(pointer);
}

void operator delete[](void* pointer, std::size_t) noexcept
{
    std::free(pointer);
}

void* operator new[](std::size_t size)
{
    void* pointer = std::malloc(size == 0 ? 1 : size);
    if (pointer == nullptr) {
        throw std::bad_alloc();
    }
    return pointer;
}

namespace {

const std::string kUnsupported = "TrellisLoadPartialTextureFromHeader() called for unsupported texture format\n";
const std::string kNoMemory = "TrellisLoadPartialTextureFromHeader() could not allocate enough memory\n";
const std::string kFailed = "TrellisLoadPartialTextureFromHeader() failed\n";
const std::string kSkipOutside =
    "TrellisLoadPartialTextureFromHeader() called with a skip outside the mip-map chain\n";

void Put32(std::vector<uint8_t>& bytes, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(uint8_t(value >> shift));
    }
}

std::vector<uint8_t> Words16(std::initializer_list<uint16_t> words)
{
    std::vector<uint8_t> bytes;
    for (uint16_t word : words) {
        bytes.push_back(uint8_t(word));
        bytes.push_back(uint8_t(word >> 8));
    }
    return bytes;
}

std::vector<uint8_t> Words32(std::initializer_list<uint32_t> words)
{
    std::vector<uint8_t> bytes;
    for (uint32_t word : words) {
        Put32(bytes, word);
    }
    return bytes;
}

struct BlockShape {
    uint32_t flags;
    uint32_t width;
    uint32_t height;
    uint32_t bitCount;
    uint32_t mipMapCount = 0;
    uint32_t alphaMask = 0;
};

// A texture block: the little-endian header, then the texel data.
std::vector<uint8_t> MakeBlock(const BlockShape& shape, const std::vector<uint8_t>& texels)
{
    std::vector<uint8_t> block;
    for (uint32_t field : {44u, shape.height, shape.width, shape.mipMapCount, shape.flags,
                           uint32_t(texels.size()), shape.bitCount, 0u, 0u, 0u, shape.alphaMask}) {
        Put32(block, field);
    }
    block.insert(block.end(), texels.begin(), texels.end());
    return block;
}

// A 565 chain whose level i is filled with colours[i].
std::vector<uint8_t> SolidChain(uint32_t width, uint32_t height, const std::vector<uint16_t>& colours)
{
    std::vector<uint8_t> texels;
    for (uint16_t colour : colours) {
        for (uint32_t i = 0; i < width * height; ++i) {
            texels.push_back(uint8_t(colour));
            texels.push_back(uint8_t(colour >> 8));
        }
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
    }
    return texels;
}

// Channels may differ by one where the driver widens 4- and 5-bit values.
::testing::AssertionResult ColoursMatch(uint32_t expected, uint32_t actual)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const int difference = int((expected >> shift) & 0xFF) - int((actual >> shift) & 0xFF);
        if (std::abs(difference) > 1) {
            return ::testing::AssertionFailure() << std::hex << "expected 0x" << expected << ", read 0x" << actual;
        }
    }
    return ::testing::AssertionSuccess();
}

class TextureLoader : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gl.Ok());
        GlShim::Reset();
    }

    // Loads with stderr captured into `messages`.
    uint32_t Load(const std::vector<uint8_t>& block, uint32_t filterMode = 0, int32_t skip = 0)
    {
        testing::internal::CaptureStderr();
        const uint32_t result = app.TrellisLoadPartialTextureFromHeader(block.data(), filterMode, skip, &name);
        messages = testing::internal::GetCapturedStderr();
        return result;
    }

    // Fills the 16 x 16 surface with the bound texture, texel for texel when
    // the texture is 2 x 2 and filtered by nearest.
    void DrawTexturedQuad()
    {
        static const GLfloat corners[] = {-1, -1, 1, -1, -1, 1, 1, 1};
        static const GLfloat texCoords[] = {0, 0, 1, 0, 0, 1, 1, 1};
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        glTexEnvx(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(2, GL_FLOAT, 0, corners);
        glTexCoordPointer(2, GL_FLOAT, 0, texCoords);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    }

    // The colour drawn for texel (x, y) of a 2 x 2 texture, y from the first row.
    uint32_t Texel(int x, int y) const { return gl.PixelAt(4 + 8 * x, 4 + 8 * y); }

    void ExpectNoTextureLeft()
    {
        EXPECT_EQ(0u, name);
        EXPECT_EQ(0u, GlShim::LiveTextures());
    }

    GlTestContext gl{16, 16};
    TrellisApp app;
    uint32_t name = 99;
    std::string messages;
};

struct FormatCase {
    uint32_t code;
    uint32_t bitCount;
    std::vector<uint8_t> texels;  // 2 x 2, first row first
    GLenum format;
    GLenum type;
    uint32_t drawn[4];  // 0xRRGGBBAA of the four texels
};

TEST_F(TextureLoader, EverySupportedCodeDrawsItsColours)
{
    const FormatCase cases[] = {
        {0, 16, Words16({0xF123, 0x8F00, 0x40F0, 0xC00F}), GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4,
         {0x112233FF, 0xFF000088, 0x00FF0044, 0x0000FFCC}},
        {1, 16, Words16({0x8001, 0xFC00, 0x03E0, 0x801F}), GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1,
         {0x000008FF, 0xFF0000FF, 0x00FF0000, 0x0000FFFF}},
        {2, 16, Words16({0xF800, 0x07E0, 0x001F, 0xFFFF}), GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
         {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF}},
        {4, 24, {0x11, 0x22, 0x33, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF}, GL_RGB, GL_UNSIGNED_BYTE,
         {0x112233FF, 0xFF0000FF, 0x00FF00FF, 0x0000FFFF}},
        {5, 32, Words32({0x80112233, 0xFFFF0000, 0xFF00FF00, 0x400000FF}), GL_RGBA, GL_UNSIGNED_BYTE,
         {0x11223380, 0xFF0000FF, 0x00FF00FF, 0x0000FF40}},
        {7, 8, {0x00, 0x40, 0x80, 0xFF}, GL_LUMINANCE, GL_UNSIGNED_BYTE,
         {0x000000FF, 0x404040FF, 0x808080FF, 0xFFFFFFFF}},
        {8, 16, {0x20, 0xFF, 0x80, 0x40, 0xFF, 0x00, 0x00, 0x80}, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE,
         {0x202020FF, 0x80808040, 0xFFFFFF00, 0x00000080}},
        {16, 16, Words16({0x123F, 0xF008, 0x0F04, 0x00FC}), GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4,
         {0x112233FF, 0xFF000088, 0x00FF0044, 0x0000FFCC}},
        {17, 16, Words16({0x0003, 0xF801, 0x07C0, 0x003F}), GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1,
         {0x000008FF, 0xFF0000FF, 0x00FF0000, 0x0000FFFF}},
        {18, 32, {0x11, 0x22, 0x33, 0x80, 0xFF, 0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0xFF, 0x40}, GL_RGBA,
         GL_UNSIGNED_BYTE, {0x11223380, 0xFF0000FF, 0x00FF00FF, 0x0000FF40}},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE("code " + std::to_string(c.code));
        GlShim::Reset();
        const auto block = MakeBlock({c.code, 2, 2, c.bitCount}, c.texels);
        ASSERT_EQ(0u, Load(block));
        ASSERT_NE(0u, name);
        EXPECT_EQ("", messages);
        EXPECT_EQ(1u, GlShim::LiveTextures());
        const auto uploads = GlShim::CallsTo("glTexImage2D");
        ASSERT_EQ(1u, uploads.size());
        EXPECT_EQ((std::vector<int64_t>{GL_TEXTURE_2D, 0, c.format, 2, 2, 0, c.format, c.type}), uploads[0].args);
        DrawTexturedQuad();
        EXPECT_TRUE(ColoursMatch(c.drawn[0], Texel(0, 0)));
        EXPECT_TRUE(ColoursMatch(c.drawn[1], Texel(1, 0)));
        EXPECT_TRUE(ColoursMatch(c.drawn[2], Texel(0, 1)));
        EXPECT_TRUE(ColoursMatch(c.drawn[3], Texel(1, 1)));
        app.TrellisDeleteTexture(name);
        EXPECT_EQ(0u, GlShim::LiveTextures());
    }
}

TEST_F(TextureLoader, ConvertsIntoItsOwnBufferAndUploadsTheRestFromTheBlock)
{
    struct Conversion {
        uint32_t code;
        uint32_t bitCount;
        std::vector<uint8_t> texel;
        std::vector<uint8_t> uploaded;
    };
    const Conversion conversions[] = {
        {0, 16, Words16({0xF123}), Words16({0x123F})},
        {1, 16, Words16({0x8001}), Words16({0x0003})},
        {5, 32, Words32({0x80112233}), Words32({0x80332211})},
    };
    for (const Conversion& c : conversions) {
        SCOPED_TRACE("code " + std::to_string(c.code));
        GlShim::Reset();
        const auto block = MakeBlock({c.code, 1, 1, c.bitCount}, c.texel);
        ASSERT_EQ(0u, Load(block));
        const auto uploads = GlShim::CallsTo("glTexImage2D");
        ASSERT_EQ(1u, uploads.size());
        EXPECT_EQ(c.uploaded, uploads[0].head);
        EXPECT_NE(static_cast<const void*>(block.data() + 44), uploads[0].data);
        EXPECT_EQ(c.texel, std::vector<uint8_t>(block.begin() + 44, block.end()));  // the block stays as it was
    }

    GlShim::Reset();
    const auto straight = MakeBlock({16, 1, 1, 16}, Words16({0x123F}));
    ASSERT_EQ(0u, Load(straight));
    EXPECT_EQ(static_cast<const void*>(straight.data() + 44), GlShim::CallsTo("glTexImage2D").at(0).data);
}

TEST_F(TextureLoader, UploadsEveryLevelOfAMipChainFromTheBlock)
{
    const std::vector<uint16_t> colours = {0xF800, 0x07E0, 0x001F, 0xFFE0, 0xF81F, 0x07FF, 0x8000, 0x0400, 0x0010,
                                           0xFFFF};
    const auto block = MakeBlock({2 | kTextureHasMipMaps, 512, 256, 16, 9}, SolidChain(512, 256, colours));
    ASSERT_EQ(44u + 349526u, block.size());
    ASSERT_EQ(0u, Load(block, 2));

    const auto uploads = GlShim::CallsTo("glTexImage2D");
    ASSERT_EQ(10u, uploads.size());
    const uint8_t* expectedData = block.data() + 44;
    int64_t w = 512, h = 256;
    for (int64_t level = 0; level < 10; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        EXPECT_EQ(level, uploads[level].args[1]);
        EXPECT_EQ(w, uploads[level].args[3]);
        EXPECT_EQ(h, uploads[level].args[4]);
        EXPECT_EQ(static_cast<const void*>(expectedData), uploads[level].data);
        expectedData += w * h * 2;
        w = std::max<int64_t>(1, w / 2);
        h = std::max<int64_t>(1, h / 2);
    }
    EXPECT_EQ(block.data() + block.size(), expectedData);  // 349526 bytes read in all

    // The chain is complete: drawn 32 times smaller, the sampler takes level 5.
    DrawTexturedQuad();
    EXPECT_TRUE(ColoursMatch(0x00FFFFFF, gl.PixelAt(8, 8)));
}

TEST_F(TextureLoader, UploadsLevelZeroAloneWithoutTheMipMapFlag)
{
    const auto block = MakeBlock({2, 512, 256, 16, 9}, SolidChain(512, 256, {0xF800, 0x07E0}));
    ASSERT_EQ(0u, Load(block));
    const auto uploads = GlShim::CallsTo("glTexImage2D");
    ASSERT_EQ(1u, uploads.size());
    EXPECT_EQ(512, uploads[0].args[3]);
    EXPECT_EQ(256, uploads[0].args[4]);
}

TEST_F(TextureLoader, SkipStepsOverTheLargestLevels)
{
    const std::vector<uint16_t> colours = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
                                           0xFFFF};
    const auto block = MakeBlock({2 | kTextureHasMipMaps, 512, 256, 16, 9}, SolidChain(512, 256, colours));
    ASSERT_EQ(0u, Load(block, 0, 2));
    const auto uploads = GlShim::CallsTo("glTexImage2D");
    ASSERT_EQ(8u, uploads.size());
    EXPECT_EQ(0, uploads[0].args[1]);
    EXPECT_EQ(128, uploads[0].args[3]);
    EXPECT_EQ(64, uploads[0].args[4]);
    EXPECT_EQ(static_cast<const void*>(block.data() + 44 + 512 * 256 * 2 + 256 * 128 * 2), uploads[0].data);
    EXPECT_EQ(7, uploads[7].args[1]);
    DrawTexturedQuad();
    EXPECT_TRUE(ColoursMatch(0x0000FFFF, gl.PixelAt(8, 8)));  // file level 2 is GL level 0
}

TEST_F(TextureLoader, RefusesASkipOutsideTheChainWithoutTouchingGl)
{
    // Three levels: skip 0-2 keep at least one; skip 3 and up leave none, and a
    // negative skip would upload levels with no level 0. Either texture is incomplete.
    const auto chain = MakeBlock({2 | kTextureHasMipMaps, 4, 4, 16, 2}, SolidChain(4, 4, {0xF800, 0x07E0, 0x001F}));
    const auto single = MakeBlock({2, 4, 4, 16, 2}, SolidChain(4, 4, {0xF800}));  // no mip-map flag: one level
    const std::pair<const std::vector<uint8_t>*, int32_t> cases[] = {
        {&chain, 3}, {&chain, 5}, {&chain, -1}, {&chain, INT32_MIN}, {&single, 1}};
    for (const auto& [block, skip] : cases) {
        SCOPED_TRACE("skip " + std::to_string(skip));
        GlShim::Reset();
        EXPECT_EQ(1u, Load(*block, 0, skip));
        EXPECT_EQ(kSkipOutside + kFailed, messages);
        EXPECT_TRUE(GlShim::CallsTo("glGenTextures").empty());
        ExpectNoTextureLeft();
    }
    GlShim::Reset();
    ASSERT_EQ(0u, Load(chain, 0, 2));
    EXPECT_EQ("", messages);
    DrawTexturedQuad();
    EXPECT_TRUE(ColoursMatch(0x0000FFFF, gl.PixelAt(8, 8)));  // the last level alone is a complete texture
}

TEST_F(TextureLoader, ConvertsEveryLevelFromItsOwnPlaceInTheChain)
{
    // Code 0, 4 x 4 with two more levels; each level holds one texel value.
    std::vector<uint8_t> texels;
    for (const auto& level : {std::make_pair(16, 0xF100), std::make_pair(4, 0xF200), std::make_pair(1, 0xF300)}) {
        for (int i = 0; i < level.first; ++i) {
            const auto texel = Words16({uint16_t(level.second)});
            texels.insert(texels.end(), texel.begin(), texel.end());
        }
    }
    const auto block = MakeBlock({0 | kTextureHasMipMaps, 4, 4, 16, 2}, texels);
    ASSERT_EQ(0u, Load(block, 0, 1));
    const auto uploads = GlShim::CallsTo("glTexImage2D");
    ASSERT_EQ(2u, uploads.size());
    EXPECT_EQ(Words16({0x200F, 0x200F, 0x200F, 0x200F}), uploads[0].head);  // file level 1, 2 x 2
    EXPECT_EQ(Words16({0x300F}), uploads[1].head);                          // file level 2, 1 x 1
    EXPECT_EQ(2, uploads[0].args[3]);
    EXPECT_EQ(1, uploads[1].args[3]);
}

TEST_F(TextureLoader, FindsTheTexelsAtTheHeadersStatedSize)
{
    std::vector<uint8_t> block = MakeBlock({2, 1, 1, 16}, Words16({0x07E0}));
    block[0] = 48;  // headerSize: four more bytes before the first texel
    block.insert(block.begin() + 44, {0xEE, 0xEE, 0xEE, 0xEE});
    ASSERT_EQ(0u, Load(block));
    const auto uploads = GlShim::CallsTo("glTexImage2D");
    ASSERT_EQ(1u, uploads.size());
    EXPECT_EQ(static_cast<const void*>(block.data() + 48), uploads[0].data);
}

TEST_F(TextureLoader, SetsTheFiltersOfTheMode)
{
    const struct {
        uint32_t mode;
        GLint minFilter;
        GLint magFilter;
    } modes[] = {{0, GL_NEAREST, GL_NEAREST},
                 {1, GL_LINEAR, GL_LINEAR},
                 {2, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR},
                 {3, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},
                 {4, GL_LINEAR, GL_LINEAR},
                 {0xFFFFFFFF, GL_LINEAR, GL_LINEAR}};
    const auto block = MakeBlock({2, 1, 1, 16}, Words16({0xFFFF}));
    for (const auto& m : modes) {
        SCOPED_TRACE("mode " + std::to_string(m.mode));
        ASSERT_EQ(0u, Load(block, m.mode));
        GLint minFilter = 0, magFilter = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        EXPECT_EQ(m.minFilter, minFilter);
        EXPECT_EQ(m.magFilter, magFilter);
        app.TrellisDeleteTexture(name);
    }
}

TEST_F(TextureLoader, FilterModeOneBlendsNeighbouringTexelsAndModeZeroDoesNot)
{
    const auto block = MakeBlock({7, 2, 2, 8}, {0x00, 0xFF, 0x00, 0xFF});
    ASSERT_EQ(0u, Load(block, 0));
    DrawTexturedQuad();
    EXPECT_EQ(0x000000FFu, gl.PixelAt(7, 8));
    EXPECT_EQ(0xFFFFFFFFu, gl.PixelAt(8, 8));
    ASSERT_EQ(0u, Load(block, 1));
    DrawTexturedQuad();
    const uint32_t blended = gl.PixelAt(7, 8) >> 24;
    EXPECT_GT(blended, 0x40u);
    EXPECT_LT(blended, 0x80u);
}

TEST_F(TextureLoader, LeavesTheTextureBoundAndUnpackAlignmentAtOne)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    ASSERT_EQ(0u, Load(MakeBlock({2, 1, 1, 16}, Words16({0xFFFF}))));
    GLint bound = 0, alignment = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(GLint(name), bound);
    EXPECT_EQ(1, alignment);
    app.TrellisDeleteTexture(name);
    EXPECT_EQ(GL_FALSE, glIsTexture(name));
}

// Such blocks make no texture and leave GL untouched; reporting success would
// leave the caller drawing with texture 0.
TEST_F(TextureLoader, RefusesBlocksItCannotUploadWithoutTouchingGl)
{
    std::vector<std::vector<uint8_t>> blocks;
    for (uint32_t code : {3u, 6u, 9u, 10u, 11u, 14u, 15u, 19u, 255u}) {
        blocks.push_back(MakeBlock({code, 1, 1, 16}, Words16({0})));
    }
    const BlockShape shapes[] = {
        {2 | kTextureTwiddled, 1, 1, 16},          // twiddled, yet uncompressed
        {5, 2, 2, 16},                             // bit count disagrees with the code
        {2, 1u << 20, 1, 16},                      // wider than any texture
        {2, 1, 0x80000000u, 16},                   // taller than any texture
        {2 | kTextureHasMipMaps, 1, 1, 16, 1000},  // more levels than any chain
    };
    for (const BlockShape& shape : shapes) {
        blocks.push_back(MakeBlock(shape, std::vector<uint8_t>(16)));
    }
    for (uint32_t code : {12u, 13u}) {  // compressed, without the extension
        blocks.push_back(MakeBlock({code, 8, 8, code == 12 ? 2u : 4u}, std::vector<uint8_t>(32)));
    }
    for (const std::vector<uint8_t>& block : blocks) {
        SCOPED_TRACE("block " + std::to_string(&block - blocks.data()));
        GlShim::Reset();
        name = 99;
        EXPECT_EQ(1u, Load(block));
        EXPECT_EQ(kUnsupported + kFailed, messages);
        EXPECT_TRUE(GlShim::CallsTo("glGenTextures").empty());
        ExpectNoTextureLeft();
    }
}

TEST_F(TextureLoader, ReportsTheDriversErrorForACompressedFormatItLacks)
{
    app.GetShellData()->compressedTextures = 1;
    EXPECT_EQ(uint32_t(GL_INVALID_ENUM), Load(MakeBlock({13, 4, 4, 4}, std::vector<uint8_t>(32))));
    EXPECT_EQ(kFailed, messages);
    ExpectNoTextureLeft();
}

TEST_F(TextureLoader, UploadsCompressedLevelsWithTheExtension)
{
    GlShim::AddExtension("GL_XAN_texture_compression_zeltc");
    app.GetShellData()->compressedTextures = app.IsGLExtensionSupported("GL_XAN_texture_compression_zeltc");
    ASSERT_EQ(1, app.GetShellData()->compressedTextures);

    const struct {
        BlockShape shape;
        GLenum internalFormat;
    } cases[] = {
        {{12 | kTextureHasMipMaps, 8, 8, 2, 3}, 0x8C01},
        {{12 | kTextureHasMipMaps | kTextureTwiddled, 8, 8, 2, 3, 0xFF000000}, 0x8C03},
        {{13 | kTextureHasMipMaps, 4, 4, 4, 2}, 0x8C00},
        {{13 | kTextureHasMipMaps, 4, 4, 4, 2, 1}, 0x8C02},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("format " + std::to_string(c.internalFormat));
        GlShim::Reset();
        GlShim::AcceptCompressedFormats();
        // Every level of these chains is stored in 32 bytes: 16 x 8 at 2 bits, 8 x 8 at 4.
        const auto block = MakeBlock(c.shape, std::vector<uint8_t>(32 * (c.shape.mipMapCount + 1)));
        ASSERT_EQ(0u, Load(block));
        EXPECT_NE(0u, name);
        const auto uploads = GlShim::CallsTo("glCompressedTexImage2D");
        ASSERT_EQ(c.shape.mipMapCount + 1, uploads.size());
        int64_t w = c.shape.width, h = c.shape.height;
        for (size_t level = 0; level < uploads.size(); ++level) {
            EXPECT_EQ((std::vector<int64_t>{GL_TEXTURE_2D, int64_t(level), c.internalFormat, w, h, 0, 32}),
                      uploads[level].args);
            EXPECT_EQ(static_cast<const void*>(block.data() + 44 + 32 * level), uploads[level].data);
            w = std::max<int64_t>(1, w / 2);
            h = std::max<int64_t>(1, h / 2);
        }
        EXPECT_TRUE(GlShim::CallsTo("glTexImage2D").empty());
    }
}

TEST_F(TextureLoader, ReturnsTheGlErrorThatStopsTheLoad)
{
    const struct {
        const char* entry;
        int call;
        GLenum error;
    } faults[] = {
        {"glGenTextures", 1, GL_OUT_OF_MEMORY},     {"glBindTexture", 1, GL_INVALID_OPERATION},
        {"glTexParameterx", 2, GL_INVALID_ENUM},    {"glTexImage2D", 1, GL_OUT_OF_MEMORY},
        {"glTexImage2D", 3, GL_INVALID_VALUE},      {"glGetError", 3, GL_INVALID_OPERATION},
    };
    const auto block = MakeBlock({0 | kTextureHasMipMaps, 4, 4, 16, 2}, std::vector<uint8_t>(2 * (16 + 4 + 1)));
    for (const auto& fault : faults) {
        SCOPED_TRACE(std::string(fault.entry) + " call " + std::to_string(fault.call));
        GlShim::Reset();
        GlShim::FailCall(fault.entry, fault.call, fault.error);
        EXPECT_EQ(uint32_t(fault.error), Load(block));
        EXPECT_EQ(kFailed, messages);
        ExpectNoTextureLeft();
    }
}

TEST_F(TextureLoader, ReportsAConversionBufferItCannotHave)
{
    failNextBufferAllocation = true;
    EXPECT_EQ(1u, Load(MakeBlock({5, 2, 2, 32}, std::vector<uint8_t>(16))));
    failNextBufferAllocation = false;
    EXPECT_EQ(kNoMemory + kFailed, messages);
    EXPECT_TRUE(GlShim::CallsTo("glTexImage2D").empty());
    ExpectNoTextureLeft();
}

TEST_F(TextureLoader, LoadTextureLoadsEveryLevel)
{
    const auto block = MakeBlock({2 | kTextureHasMipMaps, 4, 2, 16, 2}, SolidChain(4, 2, {0xF800, 0x07E0, 0x001F}));
    testing::internal::CaptureStderr();
    EXPECT_EQ(0u, app.TrellisLoadTextureFromHeader(block.data(), 3, &name));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ(3u, GlShim::CallsTo("glTexImage2D").size());
    EXPECT_EQ(GL_TRUE, glIsTexture(name));
}

TEST(ReadTextureHeader, ReadsLittleEndianFieldsAtAnyAlignment)
{
    std::vector<uint8_t> bytes = {0xAA};
    for (uint32_t field = 0; field < 11; ++field) {
        Put32(bytes, 0x01020300u + field);
    }
    const TextureHeader header = ReadTextureHeader(bytes.data() + 1);
    EXPECT_EQ(0x01020300u, header.headerSize);
    EXPECT_EQ(0x01020304u, header.flags);
    EXPECT_EQ(0x01020306u, header.bitCount);
    EXPECT_EQ(0x0102030Au, header.alphaMask);
}

} // namespace
