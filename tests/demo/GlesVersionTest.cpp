#include <gtest/gtest.h>

#include <vector>

#include "demo/GlesVersion.h"

namespace {

// Both profiles and the bare form are read, overlong numbers saturate, and
// what is no ES version is refused with zeroes.
TEST(GlesVersion, ReadsEachFormOfTheVersionLineAndRefusesTheRest)
{
    struct Case {
        const char* text;
        bool ok;
        int32_t major, minor;
    };
    std::vector<Case> cases{
        {"OpenGL ES-CM 1.1 Mesa 22.3.6", true, 1, 1},
        {"OpenGL ES-CL 1.0", true, 1, 0},
        {"OpenGL ES 3.2 NVIDIA", true, 3, 2},
        {"OpenGL ES-CM 99999999999999999999999.4294967296", true, INT32_MAX, INT32_MAX},
    };
    for (const char* text : {"", "OpenGL 1.5", "4.6.0 NVIDIA", "OpenGL ES-CM", "OpenGL ES-CM ", "OpenGL ES-CM 1",
                             "OpenGL ES-CM 1.", "OpenGL ES-CM .1", "OpenGL ES-CX 1.1", "OpenGL ES-CM1.1",
                             "OpenGL ESCM 1.1", "opengl es-cm 1.1"}) {
        cases.push_back({text, false, 0, 0});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int32_t major = -1, minor = -1;
        EXPECT_EQ(c.ok, ParseGlesVersion(c.text, &major, &minor));
        EXPECT_EQ(c.major, major);
        EXPECT_EQ(c.minor, minor);
    }
    int32_t major = -1, minor = -1;
    EXPECT_FALSE(ParseGlesVersion(nullptr, &major, &minor));
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
