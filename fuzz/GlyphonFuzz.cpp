// Drives Glyphon's text and window operations with arbitrary bytes, ids and
// numbers on a small surfaceless GL context.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "GlTestContext.h"
#include "KeepGlDriversLoaded.h"
#include "text/Glyphon.h"

namespace {

enum Operation {
    kPrint,
    kTitleBlock,
    kCreate,
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
    kOperationCount
};

constexpr int kMaxOperations = 48;

// Text of any bytes, sometimes absent.
const char* MaybeText(FuzzedDataProvider& data, std::string& storage)
{
    if (data.ConsumeBool()) {
        return nullptr;
    }
    storage = data.ConsumeRandomLengthString(6000);
    return storage.c_str();
}

int32_t AnyId(FuzzedDataProvider& data)
{
    return data.ConsumeIntegralInRange<int32_t>(-2, kGlyphonWindowSlots + 2);
}

void Step(FuzzedDataProvider& data, GlyphonContext& glyphon)
{
    std::string first, second;
    switch (data.ConsumeIntegralInRange<int>(0, kOperationCount - 1)) {
    case kPrint: {
        const float x = data.ConsumeFloatingPoint<float>(), y = data.ConsumeFloatingPoint<float>();
        const float scale = data.ConsumeFloatingPointInRange<float>(-8.0f, 8.0f);
        first = data.ConsumeRandomLengthString(6000);
        glyphon.PrintAt(x, y, scale, data.ConsumeIntegral<uint32_t>(), "%s", first.c_str());
        break;
    }
    case kTitleBlock: {
        const char* title = MaybeText(data, first);
        const char* description = MaybeText(data, second);
        glyphon.ShowTitleBlock(title, description, data.ConsumeIntegral<int32_t>());
        break;
    }
    case kCreate:
        glyphon.CreateTextWindow(data.ConsumeIntegralInRange<int32_t>(-2, 300),
                                 data.ConsumeIntegralInRange<int32_t>(-2, 260));
        break;
    case kCreateQuick: {
        const float x = data.ConsumeFloatingPoint<float>(), y = data.ConsumeFloatingPoint<float>();
        const int32_t chars = data.ConsumeIntegralInRange<int32_t>(-2, 300);
        const char* title = MaybeText(data, first);
        glyphon.CreateQuickWindow(x, y, chars, title, MaybeText(data, second));
        break;
    }
    case kBody: {
        const int32_t id = AnyId(data);
        first = data.ConsumeRandomLengthString(6000);
        glyphon.SetWindowBody(id, "%s", first.c_str());
        break;
    }
    case kTitleBar: {
        const int32_t id = AnyId(data);
        const uint32_t colour = data.ConsumeIntegral<uint32_t>();
        const float scale = data.ConsumeFloatingPointInRange<float>(-8.0f, 8.0f);
        const char* left = MaybeText(data, first);
        glyphon.SetWindowTitleBar(id, colour, scale, colour, left, ~colour, MaybeText(data, second));
        break;
    }
    case kCommands: {
        const int32_t id = AnyId(data);
        glyphon.ApplyWindowCommands(id, data.ConsumeIntegral<uint32_t>());
        break;
    }
    case kLook: {
        const int32_t id = AnyId(data);
        const uint32_t colour = data.ConsumeIntegral<uint32_t>();
        const float scale = data.ConsumeFloatingPointInRange<float>(-8.0f, 8.0f);
        const float x = data.ConsumeFloatingPoint<float>(), y = data.ConsumeFloatingPoint<float>();
        const float w = data.ConsumeFloatingPoint<float>(), h = data.ConsumeFloatingPoint<float>();
        glyphon.SetWindowLook(id, colour, ~colour, scale, x, y, w, h);
        break;
    }
    case kFit: {
        const int32_t id = AnyId(data);
        glyphon.FitWindowToText(id, data.ConsumeIntegralInRange<int32_t>(-1, 3));
        break;
    }
    case kDraw:
        glyphon.DrawTextWindow(AnyId(data));
        break;
    case kDelete:
        glyphon.DeleteTextWindow(AnyId(data));
        break;
    case kFlush:
        glyphon.Flush();
        break;
    case kReinitialise:
        if (data.ConsumeBool()) {
            glyphon.ReleaseResources();
        }
        glyphon.Initialise(data.ConsumeIntegralInRange<int32_t>(0, 4096), data.ConsumeIntegralInRange<int32_t>(0, 4096));
        break;
    case kMeasure: {
        float width = 0.0f, height = 0.0f;
        const float scale = data.ConsumeFloatingPoint<float>();
        const char* text = MaybeText(data, first);
        glyphon.MeasureString(&width, &height, scale, text);
        glyphon.StringWidth(scale, text);
        break;
    }
    default:
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static GlTestContext gl(64, 48);
    static const bool pinned = (KeepGlDriversLoaded(), true);
    if (!gl.Ok() || !pinned) {
        return 0;
    }
    FuzzedDataProvider data(bytes, size);
    GlyphonContext glyphon;
    glyphon.Initialise(64, 48);
    for (int i = 0; i < kMaxOperations && data.remaining_bytes() > 0; ++i) {
        Step(data, glyphon);
    }
    glyphon.Flush();
    return 0;
}
