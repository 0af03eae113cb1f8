#!/usr/bin/env bash
# Sets up the machine, builds every program into build/release/ (where the
# README's examples find them) and runs Kestrel: in a window when a Wayland or
# X display is reachable, otherwise headless, leaving pictures of frames 0 and 150 in out/.
# Extra arguments go to the demo (for example -qaf=600 or -fullscreen).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTRELLIS_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"

if [ -n "${WAYLAND_DISPLAY:-}" ] || { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }; then
  echo "Running Kestrel in a window: Escape or closing the window ends it."
  exec build/release/demo/kestrel -windowed "$@"
fi

echo "No Wayland or X display: rendering headless."
mkdir -p out
rm -f out/kestrel[0-9][0-9][0-9][0-9].bmp out/kestrel[0-9][0-9][0-9][0-9].png
build/release/demo/kestrel-capture -frames=0,150 -prefix=out/kestrel "$@"
echo "Pictures: out/kestrel0000.png (frame 0) and out/kestrel0001.png (frame 150), BMP beside them."
