#include <gtest/gtest.h>

#include "demo/GlesVersion.h"

namespace {

struct Parsed {
    bool ok;
    int32_t major, minor;
};

Parsed Parse(const char* text)
{
    Parsed parsed{false, -1, -1};
    parsed.ok = ParseGlesVersion(text, &parsed.major, &parsed.minor);
    return parsed;
}

// Both profiles and the bare form; overlong numbers saturate.
TEST(GlesVersion, ReadsEachFormOfTheVersionLine)
{
    const struct {
        const char* text;
        int32_t major, minor;
    } cases[] = {
        {"OpenGL ES-CM 1.1 Mesa 22.3.6", 1, 1},
        {"OpenGL ES-CL 1.0", 1, 0},
        {"OpenGL ES 3.2 NVIDIA", 3, 2},
        {"OpenGL ES-CM 99999999999999999999999.4294967296", INT32_MAX, INT32_MAX},
    };
    for (const auto& c : cases) {
        const Parsed parsed = Parse(c.text);
        EXPECT_TRUE(parsed.ok) << c.text;
        EXPECT_EQ(c.major, parsed.major) << c.text;
        EXPECT_EQ(c.minor, parsed.minor) << c.text;
    }
}

TEST(GlesVersion, RefusesWhatIsNoEsVersionWithZeroes)
{
    for (const char* text : {"", "OpenGL 1.5", "4.6.0 NVIDIA", "OpenGL ES-CM", "OpenGL ES-CM ", "OpenGL ES-CM 1",
                             "OpenGL ES-CM 1.", "OpenGL ES-CM .1", "OpenGL ES-CX 1.1", "OpenGL ES-CM1.1",
                             "OpenGL ESCM 1.1", "opengl es-cm 1.1"}) {
        SCOPED_TRACE(text);
        const Parsed parsed = Parse(text);
        EXPECT_FALSE(parsed.ok);
        EXPECT_EQ(0, parsed.major);
        EXPECT_EQ(0, parsed.minor);
    }
    EXPECT_FALSE(Parse(nullptr).ok);
}

TEST(GlesVersion, CombineIsCoreFromEs11On)
{
    for (const char* text : {"OpenGL ES-CM 1.1", "OpenGL ES-CL 1.1 vendor", "OpenGL ES-CM 1.10", "OpenGL ES 2.0"}) {
        EXPECT_TRUE(GlesHasCoreCombine(text)) << text;
    }
    for (const char* text : {"OpenGL ES-CM 1.0", "OpenGL ES-CL 1.0", "OpenGL ES-CM 0.9", "OpenGL 2.1"}) {
        EXPECT_FALSE(GlesHasCoreCombine(text)) << text;
    }
    EXPECT_FALSE(GlesHasCoreCombine(nullptr));
}

} // namespace
