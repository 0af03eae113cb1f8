#include "shell/ce/EventQueue.h"

#include <algorithm>

namespace trellis {

namespace {

constexpr size_t kFrameOfEvents = 256;

} // namespace

EventQueue::EventQueue() : slots(kFrameOfEvents) {}

void EventQueue::Push(const NativeEvent& event)
{
    const bool move = event.kind == NativeEventKind::Input && event.input.kind == TrellisEventKind::PointerMove;
    if (move && count > 0) {
        NativeEvent& newest = At(count - 1);
        if (newest.window == event.window && newest.kind == NativeEventKind::Input &&
            newest.input.kind == TrellisEventKind::PointerMove) {
            newest = event;
            return;
        }
    }
    if (count == slots.size()) {
        Grow();
    }
    At(count++) = event;
}

void EventQueue::Grow()
{
    std::vector<NativeEvent> larger(slots.size() * 2);
    for (size_t i = 0; i < count; ++i) {
        larger[i] = At(i);
    }
    slots.swap(larger);
    head = 0;
}

bool EventQueue::Pop(WindowHandle window, NativeEvent& event)
{
    for (size_t i = 0; i < count; ++i) {
        if (At(i).window != window) {
            continue;
        }
        event = At(i);
        if (i == 0) {
            head = (head + 1) % slots.size();
        } else {
            // Close the gap, keeping the order of the rest.
            for (size_t j = i; j + 1 < count; ++j) {
                At(j) = At(j + 1);
            }
        }
        --count;
        return true;
    }
    return false;
}

void EventQueue::Forget(WindowHandle window)
{
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        if (At(i).window != window) {
            At(kept++) = At(i);
        }
    }
    count = kept;
}

void HeldKeys::Note(NativeEvent& event)
{
    TrellisEvent& input = event.input;
    const bool press = input.kind == TrellisEventKind::KeyDown;
    if (event.kind != NativeEventKind::Input || (!press && input.kind != TrellisEventKind::KeyUp) ||
        event.keyCode >= down.size()) {
        return;
    }
    if (press) {
        input.repeat = down[event.keyCode] ? 1 : 0;
    }
    down[event.keyCode] = press;
}

void KeyRepeat::SetRate(int32_t perSecond, int32_t delayMs)
{
    rate = perSecond > 0 ? perSecond : 0;
    delay = delayMs > 0 ? delayMs : 0;
}

void KeyRepeat::Press(uint32_t pressed, uint32_t now)
{
    key = pressed;
    pressedAt = now;
    counted = 0;
}

void KeyRepeat::Release(uint32_t released)
{
    if (released == key) {
        key = 0;
    }
}

uint32_t KeyRepeat::Due(uint32_t now)
{
    const uint32_t held = now - pressedAt;
    if (key == 0 || rate == 0 || held < uint32_t(delay)) {
        return 0;
    }
    const uint64_t total = 1 + uint64_t(held - uint32_t(delay)) * uint64_t(rate) / 1000;
    const uint64_t due = std::min<uint64_t>(total - counted, uint64_t(rate));
    counted = total;
    return uint32_t(due);
}

} // namespace trellis
