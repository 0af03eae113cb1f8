#include "shell/ce/KeySymbols.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include "shell/ce/WindowSystem.h"

namespace trellis {

namespace {

TrellisKey Offset(TrellisKey first, uint32_t steps)
{
    return static_cast<TrellisKey>(static_cast<int32_t>(first) + static_cast<int32_t>(steps));
}

bool IsPunctuation(uint32_t symbol)
{
    switch (symbol) {
    case '\'': case ',': case '-': case '.': case '/': case ';': case '=': case '[': case '\\': case ']': case '`':
        return true;
    default:
        return false;
    }
}

// The keypad without Num Lock: the key that also types KP_0 ... KP_9, KP_Decimal.
TrellisKey KeypadKeyOf(uint32_t symbol)
{
    switch (symbol) {
    case XKB_KEY_KP_Insert: return TrellisKey::Keypad0;
    case XKB_KEY_KP_End: return TrellisKey::Keypad1;
    case XKB_KEY_KP_Down: return TrellisKey::Keypad2;
    case XKB_KEY_KP_Page_Down: return TrellisKey::Keypad3;
    case XKB_KEY_KP_Left: return TrellisKey::Keypad4;
    case XKB_KEY_KP_Begin: return TrellisKey::Keypad5;
    case XKB_KEY_KP_Right: return TrellisKey::Keypad6;
    case XKB_KEY_KP_Home: return TrellisKey::Keypad7;
    case XKB_KEY_KP_Up: return TrellisKey::Keypad8;
    case XKB_KEY_KP_Page_Up: return TrellisKey::Keypad9;
    case XKB_KEY_KP_Delete: case XKB_KEY_KP_Decimal: case XKB_KEY_KP_Separator: return TrellisKey::KeypadDecimal;
    case XKB_KEY_KP_Divide: return TrellisKey::KeypadDivide;
    case XKB_KEY_KP_Multiply: return TrellisKey::KeypadMultiply;
    case XKB_KEY_KP_Subtract: return TrellisKey::KeypadSubtract;
    case XKB_KEY_KP_Add: return TrellisKey::KeypadAdd;
    case XKB_KEY_KP_Equal: return TrellisKey::KeypadEqual;
    default: return TrellisKey::Unknown;
    }
}

} // namespace

TrellisKey KeyOfSymbol(uint32_t symbol)
{
    if (symbol >= XKB_KEY_a && symbol <= XKB_KEY_z) {
        return static_cast<TrellisKey>('A' + (symbol - XKB_KEY_a));
    }
    if ((symbol >= XKB_KEY_A && symbol <= XKB_KEY_Z) || (symbol >= XKB_KEY_0 && symbol <= XKB_KEY_9)) {
        return static_cast<TrellisKey>(symbol);
    }
    if (IsPunctuation(symbol)) {
        return static_cast<TrellisKey>(symbol);
    }
    if (symbol >= XKB_KEY_F1 && symbol <= XKB_KEY_F12) {
        return Offset(TrellisKey::F1, symbol - XKB_KEY_F1);
    }
    if (symbol >= XKB_KEY_F13 && symbol <= XKB_KEY_F24) {
        return Offset(TrellisKey::F13, symbol - XKB_KEY_F13);
    }
    if (symbol >= XKB_KEY_KP_0 && symbol <= XKB_KEY_KP_9) {
        return Offset(TrellisKey::Keypad0, symbol - XKB_KEY_KP_0);
    }
    if (const TrellisKey keypad = KeypadKeyOf(symbol); keypad != TrellisKey::Unknown) {
        return keypad;
    }
    switch (symbol) {
    case XKB_KEY_space: return TrellisKey::Space;
    case XKB_KEY_Escape: return TrellisKey::Escape;
    case XKB_KEY_Return: case XKB_KEY_KP_Enter: return TrellisKey::Return;
    case XKB_KEY_Tab: case XKB_KEY_ISO_Left_Tab: return TrellisKey::Tab;
    case XKB_KEY_BackSpace: return TrellisKey::Backspace;
    case XKB_KEY_Insert: return TrellisKey::Insert;
    case XKB_KEY_Delete: return TrellisKey::Delete;
    case XKB_KEY_Left: return TrellisKey::Left;
    case XKB_KEY_Right: return TrellisKey::Right;
    case XKB_KEY_Up: return TrellisKey::Up;
    case XKB_KEY_Down: return TrellisKey::Down;
    case XKB_KEY_Page_Up: return TrellisKey::PageUp;
    case XKB_KEY_Page_Down: return TrellisKey::PageDown;
    case XKB_KEY_Home: return TrellisKey::Home;
    case XKB_KEY_End: return TrellisKey::End;
    case XKB_KEY_Shift_L: return TrellisKey::LeftShift;
    case XKB_KEY_Shift_R: return TrellisKey::RightShift;
    case XKB_KEY_Control_L: return TrellisKey::LeftControl;
    case XKB_KEY_Control_R: return TrellisKey::RightControl;
    case XKB_KEY_Alt_L: case XKB_KEY_Meta_L: return TrellisKey::LeftAlt;
    case XKB_KEY_Alt_R: case XKB_KEY_Meta_R: case XKB_KEY_ISO_Level3_Shift: return TrellisKey::RightAlt;
    case XKB_KEY_Super_L: return TrellisKey::LeftSuper;
    case XKB_KEY_Super_R: return TrellisKey::RightSuper;
    case XKB_KEY_Caps_Lock: return TrellisKey::CapsLock;
    case XKB_KEY_Num_Lock: return TrellisKey::NumLock;
    case XKB_KEY_Scroll_Lock: return TrellisKey::ScrollLock;
    case XKB_KEY_Print: return TrellisKey::PrintScreen;
    case XKB_KEY_Pause: return TrellisKey::Pause;
    case XKB_KEY_Menu: return TrellisKey::Menu;
    default: return TrellisKey::Unknown;
    }
}

// The virtual-key code the window procedure sees with WM_KEYDOWN; it tests
// for Escape only.
uintptr_t VirtualKeyOf(TrellisKey key)
{
    const auto code = static_cast<int32_t>(key);
    if (key == TrellisKey::Space || (code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) {
        return static_cast<uintptr_t>(code);
    }
    switch (key) {
    case TrellisKey::Escape: return VK_ESCAPE;
    case TrellisKey::Return: return 0x0D;
    case TrellisKey::Tab: return 0x09;
    case TrellisKey::Backspace: return 0x08;
    case TrellisKey::Left: return 0x25;
    case TrellisKey::Up: return 0x26;
    case TrellisKey::Right: return 0x27;
    case TrellisKey::Down: return 0x28;
    default: return 0;
    }
}

} // namespace trellis
