#pragma once
#include <cstdint>

namespace trellis {

/// @file
/// Input events as an application receives them through
/// TrellisApp::HandleEvent, in the order the window system delivered them,
/// while the shell pumps window messages after presenting a frame (so before
/// the next RenderFrame).
///
/// Positions are in pixels of the rendering surface with the origin where GL's
/// window coordinates put it: (0, 0) is the bottom-left pixel, x grows to the
/// right and y grows upwards, so glReadPixels(x, y, ...) reads the pixel under
/// the pointer. A position may lie outside the surface while a button is held.

/// What happened. (Enumerators avoid names that window-system headers define as macros,
/// such as None.)
enum class TrellisEventKind : int32_t {
    NoEvent = 0,
    KeyDown,      ///< key, modifiers, text, repeat
    KeyUp,        ///< key, modifiers
    PointerMove,  ///< x, y, modifiers
    ButtonDown,   ///< button, x, y, modifiers
    ButtonUp,     ///< button, x, y, modifiers
    Wheel,        ///< wheelX, wheelY, x, y, modifiers
    FocusGained,  ///< no fields
    FocusLost,    ///< no fields
    Resize,       ///< width, height: the surface's new size, also in ShellData
    PointerLeave, ///< no fields: the pointer left the surface (and no button holds it)
};

/// Keys by the symbol the active keyboard layout gives them without modifiers
/// (the "A" key is TrellisKey::A with or without Shift); the character a key
/// typed, with every modifier and dead key applied, is TrellisEvent::text.
/// Keypad keys are the same key with or without Num Lock (Keypad7 is also
/// the keypad's Home); the keypad's Enter is Return.
enum class TrellisKey : int32_t {
    Unknown = 0,
    A = 'A', B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
    Digit0 = '0', Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
    Space = ' ',
    Apostrophe = '\'',
    Comma = ',',
    Minus = '-',
    Period = '.',
    Slash = '/',
    Semicolon = ';',
    Equal = '=',
    LeftBracket = '[',
    Backslash = '\\',
    RightBracket = ']',
    Grave = '`',
    Escape = 256,
    Return,
    Tab,
    Backspace,
    Insert,
    Delete,
    Left,
    Right,
    Up,
    Down,
    PageUp,
    PageDown,
    Home,
    End,
    F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
    LeftShift,
    RightShift,
    LeftControl,
    RightControl,
    LeftAlt,
    RightAlt,
    LeftSuper,
    RightSuper,
    CapsLock,
    NumLock,
    ScrollLock,
    PrintScreen,
    Pause,
    Menu,
    F13, F14, F15, F16, F17, F18, F19, F20, F21, F22, F23, F24,
    Keypad0, Keypad1, Keypad2, Keypad3, Keypad4, Keypad5, Keypad6, Keypad7, Keypad8, Keypad9,
    KeypadDecimal,
    KeypadDivide,
    KeypadMultiply,
    KeypadSubtract,
    KeypadAdd,
    KeypadEqual,
    Count  ///< one past the last key
};

// Modifier state (bits of TrellisEvent::modifiers) at the time of the event,
// before a modifier key's own press or release takes effect.
constexpr uint32_t kTrellisModShift = 1u << 0;     ///< a Shift key is held
constexpr uint32_t kTrellisModControl = 1u << 1;   ///< a Control key is held
constexpr uint32_t kTrellisModAlt = 1u << 2;       ///< an Alt key is held
constexpr uint32_t kTrellisModSuper = 1u << 3;     ///< a Super (logo) key is held
constexpr uint32_t kTrellisModCapsLock = 1u << 4;  ///< Caps Lock is on

/// Pointer buttons.
enum class TrellisButton : int32_t {
    NoButton = 0,
    Left = 1,
    Middle = 2,
    Right = 3,
};

/// One input event; which fields hold what depends on its kind (see TrellisEventKind).
struct TrellisEvent {
    TrellisEventKind kind = TrellisEventKind::NoEvent;  ///< what happened
    TrellisKey key = TrellisKey::Unknown;               ///< KeyDown, KeyUp: the key
    uint32_t modifiers = 0;  ///< kTrellisMod... bits held when it happened
    int32_t repeat = 0;  ///< KeyDown: 1 when the key is held and auto-repeats
    TrellisButton button = TrellisButton::NoButton;  ///< ButtonDown, ButtonUp: the button
    int32_t x = 0;  ///< pointer position across (see above)
    int32_t y = 0;  ///< pointer position up from the bottom row (see above)
    /// Wheel steps, one per notch: positive wheelY turns away from the user
    /// (scroll up), positive wheelX scrolls right.
    float wheelX = 0.0f;  ///< Wheel: steps to the right
    float wheelY = 0.0f;  ///< Wheel: steps away from the user
    int32_t width = 0;    ///< Resize: the new surface width in pixels
    int32_t height = 0;   ///< Resize: the new surface height in pixels
    /// KeyDown: the text the key typed, UTF-8, zero-terminated; empty for keys
    /// that type nothing (arrows, modifiers, function keys). Text longer than
    /// the buffer is cut at a character boundary.
    char text[32] = {};
};

} // namespace trellis
