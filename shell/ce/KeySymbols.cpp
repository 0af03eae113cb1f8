#include "shell/ce/KeySymbols.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include "shell/WindowSystem.h"

TrellisKey KeyOfSymbol(uint32_t symbol)
{
    if (symbol >= XKB_KEY_a && symbol <= XKB_KEY_z) {
        return static_cast<TrellisKey>('A' + (symbol - XKB_KEY_a));
    }
    if ((symbol >= XKB_KEY_A && symbol <= XKB_KEY_Z) || (symbol >= XKB_KEY_0 && symbol <= XKB_KEY_9)) {
        return static_cast<TrellisKey>(symbol);
    }
    if (symbol >= XKB_KEY_F1 && symbol <= XKB_KEY_F12) {
        return static_cast<TrellisKey>(static_cast<int32_t>(TrellisKey::F1) + int32_t(symbol - XKB_KEY_F1));
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
