// kestrel-capture: the demo rendered without any display and saved as
// pictures (see KestrelCapture.h for its options). It always runs on the
// headless window system; the shell's options choose the size as usual
// (full screen is the 640 x 480 virtual monitor; "-windowed -width=320
// -height=240" gives any other size).
#include "demo/KestrelCapture.h"
#include "shell/Entry.h"

using namespace trellis;

TrellisApp* CreateApplication()
{
    return new KestrelCapture;
}

int main(int argc, char** argv)
{
    return TrellisMainHeadless(argc, argv);
}
