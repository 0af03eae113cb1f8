#pragma once
#include <unistd.h>

#include <cstdlib>
#include <string>

// A quick hand on a busy desktop, as xdotool plays it on the X server
// `display`: ten times the key b pressed and released and a click, each
// buried in `movesPerStep` pointer moves around (x, y) (`target` before the
// numbers: "--window ID " for a window's own coordinates), then Escape. It
// plays in the background while the program under test runs its frames. A
// window system that drops events under load loses keys or clicks here.
inline void StartInputBurst(const std::string& display, int x, int y, int movesPerStep, const std::string& target = "")
{
    std::string moves[3];
    for (int part = 0; part < 3; ++part) {
        for (int i = 0; i < movesPerStep + part; ++i) {
            moves[part] += "mousemove " + target + std::to_string(x + i % 7) + " " + std::to_string(y + i % 5) + " ";
        }
    }
    std::string script;
    for (int round = 0; round < 10; ++round) {
        script += moves[0] + "keydown b\n" + moves[1] + "keyup b\n" + moves[2] + "click 1\n";
    }
    script += "key Escape\n";
    char path[] = "/tmp/trellis-burst-XXXXXX";
    const int file = mkstemp(path);
    const bool written = file >= 0 && write(file, script.data(), script.size()) == ssize_t(script.size());
    if (file >= 0) {
        close(file);
    }
    if (written) {
        std::system(("(DISPLAY=" + display + " xdotool " + path + "; rm -f " + path + ") >/dev/null 2>&1 &").c_str());
    }
}
