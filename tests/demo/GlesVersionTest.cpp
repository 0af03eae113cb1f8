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

TEST(GlesVersion, ReadsBothProfilesAndTheBareForm)
{
    const Parsed mesa = Parse("OpenGL ES-CM 1.1 Mesa 22.3.6");
    EXPECT_TRUE(mesa.ok);
    EXPECT_EQ(1, mesa.major);
    EXPECT_EQ(1, mesa.minor);
    const Parsed lite = Parse("OpenGL ES-CL 1.0");
    EXPECT_TRUE(lite.ok);
    EXPECT_EQ(0, lite.minor);
    const Parsed two = Parse("OpenGL ES 3.2 NVIDIA");
    EXPECT_TRUE(two.ok);
    EXPECT_EQ(3, two.major);
    EXPECT_EQ(2, two.minor);
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

TEST(GlesVersion, OverlongNumbersSaturate)
{
    const Parsed huge = Parse("OpenGL ES-CM 99999999999999999999999.4294967296");
    EXPECT_TRUE(huge.ok);
    EXPECT_EQ(INT32_MAX, huge.major);
    EXPECT_EQ(INT32_MAX, huge.minor);
}

TEST(GlesVersion, CombineIsCoreFromEs11On)
{
    EXPECT_TRUE(GlesHasCoreCombine("OpenGL ES-CM 1.1"));
    EXPECT_TRUE(GlesHasCoreCombine("OpenGL ES-CL 1.1 vendor"));
    EXPECT_TRUE(GlesHasCoreCombine("OpenGL ES-CM 1.10"));
    EXPECT_TRUE(GlesHasCoreCombine("OpenGL ES 2.0"));
    EXPECT_FALSE(GlesHasCoreCombine("OpenGL ES-CM 1.0"));
    EXPECT_FALSE(GlesHasCoreCombine("OpenGL ES-CL 1.0"));
    EXPECT_FALSE(GlesHasCoreCombine("OpenGL ES-CM 0.9"));
    EXPECT_FALSE(GlesHasCoreCombine("OpenGL 2.1"));
    EXPECT_FALSE(GlesHasCoreCombine(nullptr));
}

} // namespace
