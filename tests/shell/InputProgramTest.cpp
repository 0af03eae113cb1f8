// The interactive example as a person uses it on a real X server: xdotool
// moves, clicks, types, resizes and asks for a screen dump; the program's
// output, exit code and dump are checked. Runs only when TRELLIS_TEST_DISPLAY
// names a server.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ProgramRun.h"
#include "SpareKey.h"
#include "XServerTest.h"
#include "XWindows.h"
#include "capture/Capture.h"

using namespace trellis;

namespace {

class InputProgram : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        ASSERT_TRUE(folder.Ok());
    }

    // Starts the program in `folder` on the test display.
    void Start()
    {
        ProgramOptions options;
        options.folder = folder.Path();
        options.timeoutSeconds = 20;
        // The frame limit is a safety net only: Escape ends it.
        program = std::make_unique<ProgramRun>(
            TRELLIS_INPUT_PATH, std::vector<std::string>{"-qaf=20000"},
            ProgramEnvironment{{std::string("DISPLAY=") + displayName, "TRELLIS_PLATFORM=x11"}}, options);
    }

    std::string Output() const { return program->SoFar().output; }

    Window WaitForWindow() { return WaitForViewableWindow(person, "Trellis input", program->Id()); }

    void Do(Window window, const std::string& arguments)
    {
        ASSERT_EQ(0, RunXdotool(displayName, window, arguments)) << arguments;
    }

    TempDir folder;
    std::unique_ptr<ProgramRun> program;  // after `folder`: ended before the folder goes
};

// A dump as the capture library reads it back: packed BGR rows, bottom row first.
struct Dump {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> bgr;

    // Red, green, blue of pixel (x, y), y from the bottom row up.
    unsigned Pixel(int x, int y) const
    {
        const uint8_t* p = &bgr[(size_t(y) * size_t(width) + size_t(x)) * 3];
        return (unsigned(p[2]) << 16) | (unsigned(p[1]) << 8) | p[0];
    }
};

Dump ReadDump(const std::string& name)
{
    Dump dump;
    TrellisReadBMP(name.c_str(), &dump.width, &dump.height, nullptr);
    dump.bgr.resize(size_t(std::max(dump.width, 0)) * size_t(std::max(dump.height, 0)) * 3);
    return TrellisReadBMP(name.c_str(), &dump.width, &dump.height, dump.bgr.data()) == 0 ? dump : Dump{};
}

TEST_F(InputProgram, FollowsThePointerAndKeysPrintsEventsResizesAndDumpsOnF12)
{
    SpareKey eacute(person, XK_eacute);
    ASSERT_NE(0, eacute.keycode);
    Start();
    const Window window = WaitForWindow();
    ASSERT_NE(0u, window) << Output();

    // A framed 640 x 480 window: row 300 from the top is row 179 from the bottom.
    Do(window, "windowfocus --sync %W mousemove --sync --window %W 400 300 click 1 key Right key h eacute");
    Do(window, "windowsize --sync %W 800 600");
    ASSERT_TRUE(program->WaitForOutput("resize 800 600\n")) << Output();
    Do(window, "key F12");
    ASSERT_TRUE(program->WaitForOutput("saved trellis-input-0000.bmp\n")) << Output();
    Do(window, "key Escape");
    EXPECT_EQ(0, program->Finish().exitCode);

    const std::string output = Output();
    for (const char* line : {"button down left at 400 179", "button up left at 400 179", "key down Right text ''",
                             "key down H text 'h'", "key down ? text '\xC3\xA9'", "key down Escape text ''"}) {
        EXPECT_NE(std::string::npos, output.find(line + std::string("\n"))) << line << " in:\n" << output;
    }

    // The dump is the resized surface, all of it drawn; the square sits where
    // the click put it, moved 10 pixels right by the arrow key.
    const Dump dump = ReadDump(folder.File("trellis-input-0000.bmp"));
    ASSERT_EQ(800, dump.width);
    ASSERT_EQ(600, dump.height);
    const unsigned background = dump.Pixel(700, 300);
    EXPECT_EQ(0xFFFF00u, dump.Pixel(410, 179));
    EXPECT_EQ(0xFFFF00u, dump.Pixel(410 + 12, 179 - 12));
    EXPECT_EQ(background, dump.Pixel(410 + 13, 179));
    EXPECT_EQ(background, dump.Pixel(410, 179 + 13));
    EXPECT_EQ(background, dump.Pixel(799, 599));
    int black = 0;
    for (int y = 0; y < dump.height; ++y) {
        for (int x = 0; x < dump.width; ++x) {
            black += dump.Pixel(x, y) == 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(0, black);
}

} // namespace
