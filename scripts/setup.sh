#!/usr/bin/env bash
# Installs every Debian package that building, testing, benchmarking and running need.
# Idempotent; run as root (or through sudo) on Debian 12.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake pkg-config clang libclang-rt-14-dev
  # EGL + OpenGL ES 1.x, and Mesa's software driver behind them
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  # X11 windows, and a real X server for the window tests
  libx11-dev xvfb x11-utils
  # a real window manager, and X events sent from outside for the input tests
  openbox xdotool libxtst-dev
  # the pointer image the X server shows, read back by the window tests
  libxfixes-dev
  # native Wayland windows, and a headless compositor for their tests
  libwayland-dev wayland-protocols libxkbcommon-dev weston libdecor-0-dev libdecor-0-plugin-1-cairo
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev valgrind time libstb-dev libimgui-dev imagemagick
  # the API reference
  doxygen
  # asset generator inputs
  libfreetype-dev fonts-dejavu-core zlib1g-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
