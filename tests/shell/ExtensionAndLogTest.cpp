#include <gtest/gtest.h>

#include <GLES/gl.h>

#include <string>

#include "GlTestContext.h"
#include "shell/ExtensionString.h"
#include "capture/Capture.h"
#include "shell/TrellisApp.h"

using namespace trellis;

namespace {

// Whole words only: a name is found past a longer one it begins, and not
// where it runs into another occurrence, an empty name or list finds nothing.
TEST(ExtensionListContains, FindsWholeWordsOnly)
{
    const struct {
        const char* list;
        const char* name;
        int32_t found;
    } cases[] = {
        {"GL_OES_foo GL_OES_foo_bar GL_XAN_x", "GL_OES_foo", 1},
        {"GL_OES_foo GL_OES_foo_bar GL_XAN_x", "GL_OES_foo_bar", 1},
        {"GL_OES_foo GL_OES_foo_bar GL_XAN_x", "GL_XAN_x", 1},
        {"GL_OES_foo GL_OES_foo_bar GL_XAN_x", "GL_OES", 0},
        {"GL_OES_foo GL_OES_foo_bar GL_XAN_x", "foo", 0},
        {"GL_OES_foo GL_OES_foo_bar GL_XAN_x", "OES_foo_bar", 0},
        {"A B", "", 0},
        {"A B", "A B", 0},
        {nullptr, "A", 0},
        {"EXT_ab EXT_a", "EXT_a", 1},
        {"xEXT_a EXT_ab", "EXT_a", 0},
        {"EXT_aEXT_a", "EXT_a", 0},
        {"GL_x EXT_aEXT_a GL_y", "EXT_a", 0},
        {"EXT_aEXT_a EXT_a", "EXT_a", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.found, ExtensionListContains(c.list, c.name)) << (c.list ? c.list : "(null)") << " / " << c.name;
    }
}

TEST(IsGLExtensionSupported, ReadsTheCurrentContextsExtensions)
{
    GlTestContext gl(8, 8);
    ASSERT_TRUE(gl.Ok());
    TrellisApp app;
    const std::string extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const std::string first = extensions.substr(0, extensions.find(' '));
    EXPECT_EQ(1, app.IsGLExtensionSupported(first.c_str()));
    EXPECT_EQ(0, app.IsGLExtensionSupported("GL_XAN_texture_compression_zeltc"));
}

TEST(ShellLog, PrintsTheFormattedTextAndNothingMore)
{
    TrellisApp app;
    testing::internal::CaptureStderr();
    app.ShellLog("Failed to open %s for writing screen dump.\n", "dump0003.bmp");
    app.ShellLog("no newline");
    EXPECT_EQ("Failed to open dump0003.bmp for writing screen dump.\nno newline",
              testing::internal::GetCapturedStderr());
}

TEST(ShellLog, CutsLongTextAtTheBufferLimits)
{
    TrellisApp app;
    const std::string longFormat(200, 'f');
    const std::string longArgument(400, 'a');
    testing::internal::CaptureStderr();
    app.ShellLog("%s", longFormat.c_str());
    EXPECT_EQ(longFormat, testing::internal::GetCapturedStderr()) << "a %s argument is text, not a format";
    testing::internal::CaptureStderr();
    app.ShellLog((longFormat + "%s").c_str(), longArgument.c_str());
    EXPECT_EQ(std::string(127, 'f'), testing::internal::GetCapturedStderr());
    testing::internal::CaptureStderr();
    app.ShellLog("x%s", longArgument.c_str());
    EXPECT_EQ("x" + std::string(254, 'a'), testing::internal::GetCapturedStderr());
}

TEST(ShellLog, KeepsUtf8TextAndWidensStrayBytesAsLatin1)
{
    TrellisApp app;
    testing::internal::CaptureStderr();
    app.ShellLog("%s|%s|%s", "\xE9", "na\xC3\xAFve-\xE2\x98\x83", "\xF0\x9F\x90\xA6");
    EXPECT_EQ("\xC3\xA9|na\xC3\xAFve-\xE2\x98\x83|\xF0\x9F\x90\xA6", testing::internal::GetCapturedStderr());
}

TEST(SetLogHandler, TakesEveryMessageInsteadOfStandardErrorUntilReset)
{
    std::string routed;
    TrellisApp::SetLogHandler([](const char* text, void* context) { *static_cast<std::string*>(context) += text; },
                              &routed);
    TrellisApp app;
    testing::internal::CaptureStderr();
    app.ShellLog("frame %s\n", "\xE9");
    uint8_t pixel[4] = {};
    EXPECT_EQ(1, TrellisWriteBMP("", 1, 1, pixel));
    TrellisApp::SetLogHandler(nullptr);
    app.ShellLog("back\n");
    EXPECT_EQ("back\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ("frame \xC3\xA9\nFailed to open  for writing screen dump.\n: No such file or directory\n", routed);
}

} // namespace
