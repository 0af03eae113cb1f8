#pragma once
#include <X11/Xlib.h>

// Maps a key code the keyboard leaves unused to `symbol` while it lives, as
// a keyboard layout with that key would; `keycode` is 0 when none is free.
class SpareKey {
public:
    SpareKey(Display* display, KeySym symbol) : display(display)
    {
        int first = 0;
        int last = 0;
        int perCode = 0;
        XDisplayKeycodes(display, &first, &last);
        KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1, &perCode);
        for (int code = last; code >= first && keycode == 0; --code) {
            bool unused = true;
            for (int i = 0; i < perCode; ++i) {
                unused = unused && map[(code - first) * perCode + i] == NoSymbol;
            }
            keycode = unused ? code : 0;
        }
        XFree(map);
        if (keycode != 0) {
            KeySym both[2] = {symbol, symbol};
            XChangeKeyboardMapping(display, keycode, 2, both, 1);
            XSync(display, False);
        }
    }
    ~SpareKey()
    {
        if (keycode != 0) {
            KeySym none[2] = {NoSymbol, NoSymbol};
            XChangeKeyboardMapping(display, keycode, 2, none, 1);
            XSync(display, False);
        }
    }
    SpareKey(const SpareKey&) = delete;
    SpareKey& operator=(const SpareKey&) = delete;

    int keycode = 0;

private:
    Display* display;
};
