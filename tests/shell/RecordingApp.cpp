#include "RecordingApp.h"

#include <GLES/gl.h>
#include <gtest/gtest.h>

#include <memory>

#include "shell/Entry.h"
#include "shell/TrellisApp.h"
#include "shell/ce/WindowSystem.h"
#include "shell/ce/X11Backend.h"

using namespace trellis;

namespace {

class RecordingApp : public TrellisApp {
public:
    ~RecordingApp() override { Record().events.push_back("deleted"); }

    int32_t InitApp(int32_t argCount, char** args, int32_t width, int32_t height) override
    {
        std::string line = "InitApp " + std::to_string(width) + " " + std::to_string(height) + " args=";
        for (int32_t i = 0; i < argCount; ++i) {
            line += (i == 0 ? "" : ",") + std::string(args[i]);
        }
        Record().events.push_back(line);
        if (Script().onInitApp) {
            Script().onInitApp(*shellData);
        }
        TakeScriptTitle();
        return 1;
    }

    int32_t InitScene(int32_t width, int32_t height) override
    {
        Record().events.push_back("InitScene " + std::to_string(width) + " " + std::to_string(height) +
                                  " recovering=" + std::to_string(IsRecovering()) +
                                  " compressed=" + std::to_string(shellData->compressedTextures) +
                                  " portrait=" + std::to_string(IsPortrait()));
        return IsRecovering() ? Script().recoveryInitSceneResult : Script().initSceneResult;
    }

    void ReleaseScene() override
    {
        Record().events.push_back("ReleaseScene recovering=" + std::to_string(IsRecovering()));
        if (Script().onReleaseScene) {
            Script().onReleaseScene();
        }
    }

    int32_t QuitApp() override
    {
        Record().events.push_back("QuitApp");
        if (Script().onQuitApp) {
            Script().onQuitApp();
        }
        return Script().quitAppResult;
    }

    int32_t RenderFrame() override
    {
        TakeScriptTitle();
        AppRecord& record = Record();
        const int frame = record.renderCalls++;
        record.events.push_back("RenderFrame " + std::to_string(frame));
        const uint32_t colour = FrameColour(frame);
        glClearColor((colour >> 24) / 255.0f, ((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        uint8_t rgba[4] = {};
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        record.pixels.push_back((uint32_t(rgba[0]) << 24) | (uint32_t(rgba[1]) << 16) | (uint32_t(rgba[2]) << 8) |
                                0xFF);
        record.expectedPixels.push_back(colour);
        if (Script().onFrame) {
            Script().onFrame(frame);
        }
        if (Script().onAppFrame) {
            Script().onAppFrame(*this, frame);
        }
        return frame == Script().stopAtFrame ? 1 : 0;
    }

    void HandleEvent(const TrellisEvent& event) override
    {
        Record().inputs.push_back(event);
        Record().inputFrames.push_back(Record().renderCalls);
        int held = 0;
        for (int32_t key = 1; key < static_cast<int32_t>(TrellisKey::Count); ++key) {
            held += IsKeyDown(static_cast<TrellisKey>(key));
        }
        Record().keysHeld.push_back(held);
        if (Script().onEvent) {
            Script().onEvent(event);
        }
    }

private:
    void TakeScriptTitle()
    {
        if (Script().title != title) {
            title = Script().title;
            SetWindowTitle(title);
        }
    }

    const char* title = nullptr;
};

// An application that keeps the base class's InitApp.
class BareApp : public TrellisApp {
public:
    ~BareApp() override { Record().events.push_back("deleted"); }
};

} // namespace

AppScript& Script()
{
    static AppScript script;
    return script;
}

AppRecord& Record()
{
    static AppRecord record;
    return record;
}

void ResetApp()
{
    Script() = AppScript{};
    Record() = AppRecord{};
}

std::vector<TrellisEvent> InputsOf(TrellisEventKind kind)
{
    std::vector<TrellisEvent> found;
    for (const TrellisEvent& event : Record().inputs) {
        if (event.kind == kind) {
            found.push_back(event);
        }
    }
    return found;
}

int CountInputs(TrellisEventKind kind, TrellisKey key)
{
    int count = 0;
    for (const TrellisEvent& event : InputsOf(kind)) {
        count += (key == TrellisKey::Unknown || event.key == key) && event.repeat == 0 ? 1 : 0;
    }
    return count;
}

int CountEvents(const std::string& event)
{
    int count = 0;
    for (const auto& recorded : Record().events) {
        if (recorded == event || recorded.rfind(event + " ", 0) == 0) {
            ++count;
        }
    }
    return count;
}

uint32_t FrameColour(int frame)
{
    static const uint32_t palette[] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFF00FF, 0x00FFFFFF, 0xFF00FFFF};
    return palette[frame % 6];
}

TrellisApp* CreateApplication()
{
    if (Script().defaultInitApp) {
        return new BareApp;
    }
    return new RecordingApp;
}

int RunOnX11(const char* display, const char16_t* commandLine)
{
    std::unique_ptr<X11Backend> backend = X11Backend::Open(display);
    if (!backend) {
        ADD_FAILURE() << "the window system cannot open " << display;
        return -1;
    }
    WindowSystem system(std::move(backend));
    return TrellisMain(commandLine, system);
}
