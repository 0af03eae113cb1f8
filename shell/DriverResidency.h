#pragma once

namespace trellis {

// Keeps the graphics driver modules that EGL has loaded so far in memory for
// the rest of the process. EGL unloads them when its display is terminated:
// the blocks a driver keeps for good then belong to no module, out of reach of
// a leak checker's suppressions, and a new display must load it all again.
// Call it once a display is initialised; calling it again costs one walk of
// the loaded modules.
void KeepGraphicsDriverLoaded();

} // namespace trellis
