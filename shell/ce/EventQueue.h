#pragma once
#include <bitset>
#include <cstddef>
#include <vector>

#include "shell/ce/WindowBackend.h"

namespace trellis {

// Native events between the window system and the pump. Pointer motion is
// merged (a move right after another move of the same window replaces it:
// the newest position wins); every other event is kept in order. The ring
// holds a frame's worth of events without allocating and grows, never drops,
// when a burst of keys, buttons or focus changes outruns it.
class EventQueue {
public:
    EventQueue();

    void Push(const NativeEvent& event);
    // The oldest event of `window`, taken out of the queue.
    bool Pop(WindowHandle window, NativeEvent& event);
    // Drops every event of a window that is going away.
    void Forget(WindowHandle window);
    size_t Size() const { return count; }

private:
    NativeEvent& At(size_t index) { return slots[(head + index) % slots.size()]; }
    void Grow();

    std::vector<NativeEvent> slots;
    size_t head = 0;
    size_t count = 0;
};

// Tells a held key's automatic repeats from new presses, by the native key
// code, for every backend alike.
class HeldKeys {
public:
    // Marks a key press as a repeat when its key is down already, and keeps
    // the held state.
    void Note(NativeEvent& event);
    // The releases go to whichever window has the focus next.
    void ReleaseAll() { down.reset(); }

private:
    std::bitset<512> down;
};

// When a held key repeats, for a window system that leaves repeating to the
// client (Wayland), at the rate and after the delay it gives. Times are
// milliseconds of a clock the caller reads. Every repeat that fell due since
// the last look is counted, so a long frame catches up instead of slowing the
// rate; a stall of more than a second brings a second's worth at most.
class KeyRepeat {
public:
    // `perSecond` 0 turns repeating off.
    void SetRate(int32_t perSecond, int32_t delayMs);
    // The newest key pressed is the one that repeats.
    void Press(uint32_t key, uint32_t now);
    void Release(uint32_t key);
    void Stop() { key = 0; }
    // The key that repeats (0: none).
    uint32_t Held() const { return key; }
    // How many repeats are due by `now` that were not counted yet.
    uint32_t Due(uint32_t now);

private:
    int32_t rate = 25;
    int32_t delay = 600;
    uint32_t key = 0;
    uint32_t pressedAt = 0;
    uint64_t counted = 0;
};

} // namespace trellis
