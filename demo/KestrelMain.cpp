// kestrel: the demo on Trellis. The shell's entry (Trellis::main) supplies
// main(), the options and the window system (X11 when a display opens,
// headless otherwise).
#include "demo/KestrelDemo.h"

using namespace trellis;

TrellisApp* CreateApplication()
{
    return new KestrelDemo;
}
