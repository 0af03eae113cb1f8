// Drives Glyphon's text and window operations with arbitrary bytes, ids and
// numbers. One GL context and one initialised instance serve the whole
// process; each input starts from no windows, an empty queue and a cleared
// print cache. A short input can ask for long texts (a fragment repeated past
// the 5,119-character cut), windows of up to 255 rows and hundreds of windows,
// and the work of one input is bounded (operations, characters, draws, texture
// uploads, window sizes) so that every input costs about the same.
//
// Input: a sequence of operations, each an operation byte followed by its
// arguments, read front to back; numbers are little-endian, a missing byte
// reads as zero. A text is a length byte: below 0x80 that many bytes follow;
// otherwise 1 to 16 bytes follow (the low four bits plus one) and a 16-bit
// count of how often they repeat.
#include <GLES/gl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "GlTestContext.h"
#include "text/Glyphon.h"

using namespace trellis;

namespace {

constexpr int32_t kSurfaceWidth = 64;
constexpr int32_t kSurfaceHeight = 48;
constexpr int kMaxOperations = 64;
constexpr size_t kMaxTextChars = 6400;        // past the 5,119-character cut
constexpr size_t kMaxCharsPerInput = 1 << 13;
constexpr int kMaxDrawsPerInput = 8;
constexpr int kMaxReleasesPerInput = 1;
constexpr int32_t kMaxWindowChars = 1 << 13;  // characters of one window's rows together
constexpr int32_t kMaxQueuedByHand = 8192;    // vertices of one QueueVertices that is taken

enum Operation {
    kPrint,
    kTitleBlock,
    kCreate,
    kCreateMany,
    kCreateQuick,
    kBody,
    kTitleBar,
    kCommands,
    kLook,
    kFit,
    kDraw,
    kDelete,
    kFlush,
    kReinitialise,
    kMeasure,
    kQueue,
    kLayOut,
    kOperationCount
};

class Input {
public:
    Input(const uint8_t* bytes, size_t size) : next(bytes), end(bytes + size) {}

    bool Empty() const { return next == end; }
    uint8_t Byte() { return next < end ? *next++ : 0; }
    uint32_t Word()
    {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value |= uint32_t(Byte()) << (8 * i);
        }
        return value;
    }
    uint16_t Half() { return uint16_t(Byte() | Byte() << 8); }
    int32_t Int() { return int32_t(Word()); }
    bool Bool() { return (Byte() & 1) != 0; }
    // Any float bit pattern: infinities, NaNs and subnormals included.
    float Float()
    {
        const uint32_t bits = Word();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    int32_t Range(int32_t low, int32_t high) { return low + int32_t(Word() % uint32_t(high - low + 1)); }

    // A text as described above, within this input's budget of characters.
    std::string Text()
    {
        const uint8_t head = Byte();
        std::string text;
        if (head < 0x80) {
            for (int i = 0; i < head && next < end; ++i) {
                text.push_back(char(*next++));
            }
        } else {
            std::string fragment;
            for (int i = 0; i <= (head & 0x0F); ++i) {
                fragment.push_back(char(Byte()));
            }
            for (unsigned count = Half(); count > 0 && text.size() < kMaxTextChars; --count) {
                text += fragment;
            }
            text.resize(text.size() < kMaxTextChars ? text.size() : kMaxTextChars);
        }
        if (text.size() > budget) {
            text.resize(budget);
        }
        budget -= text.size();
        return text;
    }
    // A text or null.
    const char* MaybeText(std::string& storage)
    {
        if (Bool()) {
            return nullptr;
        }
        storage = Text();
        return storage.c_str();
    }
    bool TakeDraw() { return draws++ < kMaxDrawsPerInput; }
    bool TakeRelease() { return releases++ < kMaxReleasesPerInput; }

private:
    const uint8_t* next;
    const uint8_t* end;
    size_t budget = kMaxCharsPerInput;
    int draws = 0;
    int releases = 0;
};

int32_t AnyId(Input& input)
{
    return input.Range(-2, kGlyphonWindowSlots + 2);
}

// Window sizes around the limits (5,119 characters, 255 rows) with their
// product bounded.
void WindowSize(Input& input, int32_t& chars, int32_t& lines)
{
    chars = input.Range(-2, kGlyphonTextBytes + 4);
    lines = input.Range(-2, kGlyphonMaxRows + 4);
    if (chars > 0 && lines > 0 && chars * lines > kMaxWindowChars) {
        lines = kMaxWindowChars / chars;
    }
}

// Prints through each kind of format: a lone "%s", the text as the format
// itself (its percent signs made plain), and a format with conversions.
void Print(Input& input, GlyphonContext& glyphon, const std::string& text, float x, float y, float scale,
           uint32_t colour)
{
    switch (input.Byte() % 3) {
    case 0:
        glyphon.PrintAt(x, y, scale, colour, "%s", text.c_str());
        break;
    case 1: {
        std::string literal = text;
        for (char& c : literal) {
            c = c == '%' ? ' ' : c;
        }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        glyphon.PrintAt(x, y, scale, colour, literal.c_str());
#pragma GCC diagnostic pop
        break;
    }
    default:
        glyphon.PrintAt(x, y, scale, colour, "%s %d %.3f", text.c_str(), int(colour), double(scale));
        break;
    }
}

void Step(Input& input, GlyphonContext& glyphon)
{
    std::string first, second;
    switch (input.Byte() % kOperationCount) {
    case kPrint: {
        const float x = input.Float(), y = input.Float(), scale = input.Float();
        const uint32_t colour = input.Word();
        first = input.Text();
        Print(input, glyphon, first, x, y, scale, colour);
        break;
    }
    case kTitleBlock: {
        const char* title = input.MaybeText(first);
        const char* description = input.MaybeText(second);
        glyphon.ShowTitleBlock(title, description, input.Int());
        break;
    }
    case kCreate: {
        int32_t chars = 0, lines = 0;
        WindowSize(input, chars, lines);
        glyphon.CreateTextWindow(chars, lines);
        break;
    }
    case kCreateMany:
        // A few, or (rarely: it is the costliest step) enough to use up every
        // slot and be refused.
        for (int32_t count = input.Byte() == 0xFF ? kGlyphonWindowSlots + 8 : input.Range(1, 32); count > 0;
             --count) {
            glyphon.CreateTextWindow(8, 2);
        }
        break;
    case kCreateQuick: {
        const float x = input.Float(), y = input.Float();
        const int32_t chars = input.Range(-2, 300);
        const char* title = input.MaybeText(first);
        glyphon.CreateQuickWindow(x, y, chars, title, input.MaybeText(second));
        break;
    }
    case kBody: {
        const int32_t id = AnyId(input);
        first = input.Text();
        if (input.Bool()) {
            glyphon.SetWindowBody(id, "%s", first.c_str());
        } else {
            glyphon.SetWindowBody(id, "%s|%u", first.c_str(), unsigned(id));
        }
        break;
    }
    case kTitleBar: {
        const int32_t id = AnyId(input);
        const uint32_t colour = input.Word();
        const float scale = input.Float();
        const char* left = input.MaybeText(first);
        glyphon.SetWindowTitleBar(id, colour, scale, colour, left, ~colour, input.MaybeText(second));
        break;
    }
    case kCommands: {
        const int32_t id = AnyId(input);
        glyphon.ApplyWindowCommands(id, input.Word());
        break;
    }
    case kLook: {
        const int32_t id = AnyId(input);
        const uint32_t colour = input.Word();
        const float scale = input.Float();
        const float x = input.Float(), y = input.Float(), w = input.Float(), h = input.Float();
        glyphon.SetWindowLook(id, colour, ~colour, scale, x, y, w, h);
        break;
    }
    case kFit: {
        const int32_t id = AnyId(input);
        glyphon.FitWindowToText(id, input.Range(-1, 3));
        break;
    }
    case kDraw: {
        const int32_t id = AnyId(input);
        if (input.TakeDraw()) {
            glyphon.DrawTextWindow(id);
        }
        break;
    }
    case kDelete:
        glyphon.DeleteTextWindow(AnyId(input));
        break;
    case kFlush:
        if (input.TakeDraw()) {
            glyphon.Flush();
        }
        break;
    case kReinitialise: {
        // Rarely a lost context (as in use): afterwards every texture is
        // uploaded and every buffer grown again, the costliest step there is.
        const bool release = input.Byte() == 0xFF;
        const int32_t width = input.Int(), height = input.Int();
        if (release && input.TakeRelease()) {
            glyphon.ReleaseResources();
        }
        glyphon.Initialise(width, height);
        break;
    }
    case kMeasure: {
        float width = 0.0f, height = 0.0f;
        const float scale = input.Float();
        const char* text = input.MaybeText(first);
        glyphon.MeasureString(&width, &height, scale, text);
        glyphon.StringWidth(scale, text);
        int32_t screenWidth = 0, screenHeight = 0;
        glyphon.GetScreenSize(&screenWidth, &screenHeight);
        break;
    }
    case kQueue: {
        // Any count: those past the queue's limit are refused before the array
        // is read; those that would be taken are kept small, to bound the draw.
        static const std::vector<TextVertex> vertices(kMaxQueuedByHand);
        int32_t count = input.Int();
        if (count > 0 && count <= kGlyphonMaxQueue) {
            count %= kMaxQueuedByHand;
        }
        glyphon.QueueVertices(vertices.data(), count);
        break;
    }
    case kLayOut: {
        static std::vector<TextVertex> out(4 * kGlyphonTextBytes);
        const float z = input.Float(), x = input.Float(), y = input.Float(), scale = input.Float();
        const uint32_t colour = input.Word();
        first = input.Text();
        glyphon.LayOutString(z, x, y, scale, colour, first.c_str(), out.data());
        break;
    }
    default:
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static GlTestContext gl(kSurfaceWidth, kSurfaceHeight);
    static GlyphonContext glyphon;
    if (!gl.Ok()) {
        return 0;
    }
    // A fresh start for every input: nothing queued and a change of size,
    // which clears the print cache.
    glyphon.Initialise(1, 1);
    glyphon.Initialise(kSurfaceWidth, kSurfaceHeight);
    Input input(bytes, size);
    for (int i = 0; i < kMaxOperations && !input.Empty(); ++i) {
        Step(input, glyphon);
    }
    // Each input leaves the instance as it found it (no windows, resources and
    // print buffer in place), so that its allocations and frees balance and
    // the fuzzer's leak check stays quiet unless something really leaks.
    glyphon.DeleteAllTextWindows();
    glyphon.Initialise(kSurfaceWidth, kSurfaceHeight);
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, 0, "-");
    glyphon.Flush();
    // The driver frees a draw's memory once the draw is done; an input whose
    // frees trail its allocations would send the fuzzer into a leak check.
    glFinish();
    return 0;
}
