#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "demo/KestrelDemo.h"

// The demo that also saves chosen frames as pictures: after each chosen frame
// is drawn (before it is presented) it is read back and written as
// "<prefix>NNNN.bmp" and "<prefix>NNNN.png", under the first number that
// neither file has yet; when the PNG cannot be written, the frame's BMP is
// removed again, so that a frame is saved as a pair or not at all. The run
// ends after the last chosen frame. On a terminal, a
// run that lasts longer than a second shows which frame it is at.
//
// Options (besides the shell's):
//   -frames=LIST   comma-separated frame numbers, counting from 0, in any
//                  order; each is saved once (default 0)
//   -prefix=PATH   file prefix, folders included (default "kestrel")
class KestrelCapture : public KestrelDemo {
public:
    int32_t InitApp(int32_t argCount, char** args, int32_t width, int32_t height) override;
    // Refuses a surface larger than the picture files can hold, before any
    // frame is drawn.
    int32_t InitScene(int32_t width, int32_t height) override;
    int32_t RenderFrame() override;
    // 0 when a picture could not be saved, or the run ended before every
    // chosen frame was.
    int32_t QuitApp() override;
    const trellis::TrellisAppOption* GetAppOptions() const override;

    static constexpr size_t kMostFrames = 256;

    const std::vector<int32_t>& ChosenFrames() const { return frames; }
    const std::string& Prefix() const { return prefix; }

private:
    int32_t ParseFrames(const char* list);
    int32_t IsChosen(int32_t frame) const;
    int32_t SaveFrame(int32_t frame);
    int32_t SavePictures(int32_t frame, const uint8_t* pixels);
    void ShowProgress(int32_t frame);
    void ClearProgress();

    std::vector<int32_t> frames{0};
    std::string prefix = "kestrel";
    int32_t failed = 0;
    size_t savedFrames = 0;
    bool onTerminal = false;
    bool progressShown = false;
    bool started = false;
    uint32_t startTicks = 0;
    uint32_t lastProgressTicks = 0;
};
