// trellis-input: an interactive Trellis application. A square follows the
// pointer and the arrow keys; the buttons colour it and the wheel sizes it;
// Glyphon prints the last events and the text typed; F12 saves a screen dump
// (trellis-input-0000.bmp, 0001 ...) in the current folder; F11 switches full
// screen, V vsync and C the pointer on and off. It opens a framed
// window named "Trellis input" that can be resized ("-fullscreen" still
// works), and it writes each event, except pointer motion, to standard output.
//
// Everything here is ordinary application code: HandleEvent receives the
// input, RenderFrame draws, and neither allocates per frame.
#include <GLES/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <trellis/shell/TrellisApp.h>
#include <trellis/text/Glyphon.h>

using namespace trellis;

namespace {

constexpr int kShownEvents = 6;
constexpr int32_t kArrowStep = 10;  // pixels per arrow-key press
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kYellow = 0xFF00FFFF;

// A readable name for a key: its letter or digit, or a word.
const char* KeyName(TrellisKey key, char* letter)
{
    static const char* const kNamed[] = {"Escape", "Return", "Tab", "Backspace", "Insert", "Delete", "Left",
                                         "Right", "Up", "Down", "PageUp", "PageDown", "Home", "End", "F1", "F2",
                                         "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",
                                         "LeftShift", "RightShift", "LeftControl", "RightControl", "LeftAlt",
                                         "RightAlt", "LeftSuper", "RightSuper", "CapsLock", "NumLock",
                                         "ScrollLock", "PrintScreen", "Pause", "Menu", "F13", "F14", "F15", "F16",
                                         "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24", "Keypad0",
                                         "Keypad1", "Keypad2", "Keypad3", "Keypad4", "Keypad5", "Keypad6", "Keypad7",
                                         "Keypad8", "Keypad9", "KeypadDecimal", "KeypadDivide", "KeypadMultiply",
                                         "KeypadSubtract", "KeypadAdd", "KeypadEqual"};
    static_assert(sizeof kNamed / sizeof kNamed[0] ==
                  static_cast<size_t>(TrellisKey::Count) - static_cast<size_t>(TrellisKey::Escape));
    const auto code = static_cast<int32_t>(key);
    // Letters, digits and punctuation are named by the character they are.
    if (code > ' ' && code < 128) {
        letter[0] = static_cast<char>(code);
        letter[1] = 0;
        return letter;
    }
    if (key == TrellisKey::Space) {
        return "Space";
    }
    const int32_t named = code - static_cast<int32_t>(TrellisKey::Escape);
    return named >= 0 && named < static_cast<int32_t>(sizeof kNamed / sizeof kNamed[0]) ? kNamed[named] : "?";
}

const char* ButtonName(TrellisButton button)
{
    return button == TrellisButton::Left ? "left" : button == TrellisButton::Middle ? "middle" : "right";
}

GLfixed Fixed(int32_t value)
{
    return static_cast<GLfixed>(value * 65536);
}

class InputApp : public TrellisApp {
public:
    // A framed window by default, set before the command line is read so that
    // "-fullscreen" overrides it and -help names it as the default.
    InputApp() { shellData->fullScreen = 0; }

    int32_t InitApp(int32_t, char**, int32_t, int32_t) override
    {
        SetWindowTitle("Trellis input");
        return 1;
    }

    int32_t InitScene(int32_t width, int32_t height) override
    {
        if (!glyphon.Initialise(width, height)) {
            return 0;
        }
        if (!placed) {
            markerX = width / 2;
            markerY = height / 2;
            placed = true;
        }
        return 1;
    }

    void ReleaseScene() override { glyphon.ReleaseResources(); }

    int32_t QuitApp() override { return 1; }

    int32_t RenderFrame() override
    {
        const int32_t width = GetWidth();
        const int32_t height = GetHeight();
        glViewport(0, 0, width, height);
        glClearColorx(0x1000, 0x2000, 0x4000, 0x10000);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawMarker(width, height);

        for (int i = 0; i < kShownEvents; ++i) {
            const char* line = shown[(next + i) % kShownEvents];
            glyphon.PrintAt(2.0f, 4.0f + 5.0f * static_cast<float>(i), -1.0f, kWhite, "%s", line);
        }
        glyphon.PrintAt(2.0f, 40.0f, -1.0f, kYellow, "Typed: %s", typedShown);
        glyphon.PrintAt(2.0f, 45.0f, -1.0f, kYellow, "Square at %d %d, size %d; surface %d x %d", markerX, markerY,
                        size, width, height);
        glyphon.PrintAt(2.0f, 92.0f, -1.0f, kWhite, "Arrows or pointer move, buttons colour, wheel sizes, F12 dumps %s",
                        dumpName);
        glyphon.PrintAt(2.0f, 87.0f, -1.0f, kWhite, "F11 full screen, V vsync %s, C pointer %s",
                        vsync ? "on" : "off", pointerShown ? "shown" : "hidden");
        glyphon.Flush();

        // The frame is complete and not yet presented: what the dump holds
        // is what the window shows next.
        if (dumpRequested) {
            dumpRequested = false;
            SaveDump(width, height);
        }
        return 0;
    }

    void HandleEvent(const TrellisEvent& event) override
    {
        switch (event.kind) {
        case TrellisEventKind::PointerMove:
            markerX = event.x;
            markerY = event.y;
            return;  // too many to list
        case TrellisEventKind::KeyDown: {
            OnKey(event);
            char letter[2];
            Show("key down %s%s%s%s text '%s'%s", KeyName(event.key, letter),
                 (event.modifiers & kTrellisModShift) != 0 ? " shift" : "",
                 (event.modifiers & kTrellisModControl) != 0 ? " ctrl" : "",
                 (event.modifiers & kTrellisModAlt) != 0 ? " alt" : "", event.text, event.repeat != 0 ? " repeat" : "");
            return;
        }
        case TrellisEventKind::KeyUp: {
            char letter[2];
            Show("key up %s", KeyName(event.key, letter));
            return;
        }
        case TrellisEventKind::ButtonDown:
        case TrellisEventKind::ButtonUp: {
            const bool down = event.kind == TrellisEventKind::ButtonDown;
            const int bit = 1 << static_cast<int>(event.button);
            buttons = down ? buttons | bit : buttons & ~bit;
            markerX = event.x;
            markerY = event.y;
            Show("button %s %s at %d %d", down ? "down" : "up", ButtonName(event.button), event.x, event.y);
            return;
        }
        case TrellisEventKind::Wheel:
            size += static_cast<int32_t>(event.wheelY * 4.0f);
            size = size < 4 ? 4 : size > 200 ? 200 : size;
            Show("wheel %g %g at %d %d", static_cast<double>(event.wheelX), static_cast<double>(event.wheelY),
                 event.x, event.y);
            return;
        case TrellisEventKind::PointerLeave:
            Show("pointer left");
            return;
        case TrellisEventKind::FocusGained:
            Show("focus gained");
            return;
        case TrellisEventKind::FocusLost:
            Show("focus lost");
            return;
        case TrellisEventKind::Resize:
            // The viewport and projection follow GetWidth and GetHeight each
            // frame; the text takes the new size here.
            glyphon.Initialise(event.width, event.height);
            Show("resize %d %d", event.width, event.height);
            return;
        default:
            return;
        }
    }

private:
    void OnKey(const TrellisEvent& event)
    {
        switch (event.key) {
        case TrellisKey::Left: markerX -= kArrowStep; break;
        case TrellisKey::Right: markerX += kArrowStep; break;
        case TrellisKey::Up: markerY += kArrowStep; break;
        case TrellisKey::Down: markerY -= kArrowStep; break;
        case TrellisKey::F12: dumpRequested = true; break;
        case TrellisKey::F11: SetFullScreen(IsFullScreen() == 0); break;
        // The window controls take their letters: they type nothing.
        case TrellisKey::V:
            if (SetSwapInterval(vsync ? 0 : 1) != 0) {
                vsync = !vsync;
            }
            return;
        case TrellisKey::C:
            if (ShowCursor(!pointerShown) != 0) {
                pointerShown = !pointerShown;
            }
            return;
        case TrellisKey::Backspace: {
            // Drop the last character, however many bytes it took.
            size_t length = std::strlen(typed);
            while (length > 0 && (static_cast<unsigned char>(typed[length - 1]) & 0xC0) == 0x80) {
                --length;
            }
            typed[length > 0 ? length - 1 : 0] = 0;
            break;
        }
        default: break;
        }
        const size_t have = std::strlen(typed);
        const size_t add = std::strlen(event.text);
        if (add > 0 && have + add < sizeof typed) {
            std::memcpy(typed + have, event.text, add + 1);
        }
        ShowTyped();
    }

    // Glyphon's font is ASCII: other characters are shown by their code.
    void ShowTyped()
    {
        size_t out = 0;
        for (size_t i = 0; typed[i] != 0 && out + 12 < sizeof typedShown;) {
            const auto lead = static_cast<unsigned char>(typed[i]);
            if (lead < 0x80) {
                typedShown[out++] = typed[i++];
                continue;
            }
            const size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
            unsigned code = lead & (0x3Fu >> extra);
            for (size_t k = 1; k <= extra && typed[i + k] != 0; ++k) {
                code = (code << 6) | (static_cast<unsigned char>(typed[i + k]) & 0x3F);
            }
            i += extra + 1;
            out += static_cast<size_t>(std::snprintf(typedShown + out, sizeof typedShown - out, "(U+%04X)", code));
        }
        typedShown[out] = 0;
    }

    // Lists one event on screen and on standard output.
    void Show(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        char* line = shown[next];
        next = (next + 1) % kShownEvents;
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(line, sizeof shown[0], format, arguments);
        va_end(arguments);
        std::printf("%s\n", line);
        std::fflush(stdout);
    }

    void DrawMarker(int32_t width, int32_t height)
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrthox(0, Fixed(width), 0, Fixed(height), Fixed(-1), Fixed(1));
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnableClientState(GL_VERTEX_ARRAY);
        // Left, middle and right buttons add red, green and blue; none held is yellow.
        const bool any = (buttons & 0xE) != 0;
        glColor4x((!any || (buttons & 2) != 0) ? 0x10000 : 0, (!any || (buttons & 4) != 0) ? 0x10000 : 0,
                  (buttons & 8) != 0 ? 0x10000 : 0, 0x10000);
        const int32_t half = size / 2;
        // The square covers the pixels from x - half to x + half inclusive.
        const GLfixed left = Fixed(markerX - half);
        const GLfixed right = Fixed(markerX + half + 1);
        const GLfixed bottom = Fixed(markerY - half);
        const GLfixed top = Fixed(markerY + half + 1);
        const GLfixed corners[] = {left, bottom, right, bottom, left, top, right, top};
        glVertexPointer(2, GL_FIXED, 0, corners);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    }

    void SaveDump(int32_t width, int32_t height)
    {
        uint8_t* pixels = nullptr;
        if (TrellisCaptureFrame(width, height, &pixels) == 0 &&
            TrellisSaveScreenDump("trellis-input-", dumpName, pixels) == 0) {
            Show("saved %s", dumpName);
        } else {
            Show("screen dump failed");
        }
        delete[] pixels;
    }

    GlyphonContext glyphon;
    bool placed = false;
    int32_t markerX = 0;
    int32_t markerY = 0;
    int32_t size = 24;
    int buttons = 0;  // bit 1 << TrellisButton for each button held
    bool dumpRequested = false;
    bool vsync = true;         // the drivers' default
    bool pointerShown = true;
    char dumpName[200] = "";
    char shown[kShownEvents][64] = {};
    int next = 0;
    char typed[64] = {};
    char typedShown[160] = {};
};

} // namespace

TrellisApp* CreateApplication()
{
    return new InputApp;
}
