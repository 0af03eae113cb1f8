#!/usr/bin/env bash
# Builds and runs every test: a warnings-as-errors build with GCC, then a
# sanitizer build with Clang. Window tests run under an Xvfb server, a second
# one with a window manager (openbox) and headless Weston compositors started
# here; only what was started here is stopped.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

started=()  # every server started here, stopped in the reverse order
weston_dir=""
stop_servers() {
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[i]}" 2>/dev/null || true
  done
  [ -z "$weston_dir" ] || rm -rf "$weston_dir"
}
trap stop_servers EXIT

# Gives a server up to ten seconds to pass a check; the tests report one that never does.
wait_until() {
  for _ in $(seq 50); do
    "$@" && return
    sleep 0.2
  done
}
answers() { xdpyinfo -display "$1" >/dev/null 2>&1; }
# The window manager owns the screen once it announces itself on the root.
has_window_manager() { xprop -display "$1" -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }

# start_xvfb DISPLAY WIDTHxHEIGHT
start_xvfb() {
  Xvfb "$1" -screen 0 "$2x24" -nolisten tcp -noreset >/dev/null 2>&1 &
  started+=($!)
  wait_until answers "$1"
}

if command -v Xvfb >/dev/null; then
  display=":$((90 + RANDOM % 100))"
  start_xvfb "$display" 1024x768
  export TRELLIS_TEST_DISPLAY="$display"

  # Placement under a real window manager: full-screen requests, frames and
  # stacking as a desktop user gets them.
  if command -v openbox >/dev/null; then
    wm_display=":$((300 + RANDOM % 100))"
    start_xvfb "$wm_display" 1024x768
    DISPLAY="$wm_display" openbox --sm-disable >/dev/null 2>&1 &
    started+=($!)
    wait_until has_window_manager "$wm_display"
    export TRELLIS_TEST_WM_DISPLAY="$wm_display"
  fi
fi

# The compositor gets a private runtime folder; tests reach its socket by its
# full path. Pixman renders the output so that screenshots show the frames,
# and --debug lets any client take them.
if command -v weston >/dev/null; then
  weston_dir=$(mktemp -d /tmp/trellis-wl-XXXXXX)
  chmod 700 "$weston_dir"
  socket="trellis-wl-$$-$RANDOM"
  XDG_RUNTIME_DIR="$weston_dir" weston --backend=headless-backend.so --use-pixman --debug --socket="$socket" \
    --idle-time=0 >"$weston_dir/weston.log" 2>&1 &
  started+=($!)
  wait_until test -S "$weston_dir/$socket"
  export TRELLIS_TEST_WAYLAND_DISPLAY="$weston_dir/$socket"

  # Outputs whose logical size is not their mode (scaled by two, turned by 90
  # degrees), and one that blanks after a second without input.
  start_headless_weston() {
    local variable=$1 name="trellis-wl-$2-$$-$RANDOM"
    shift 2
    XDG_RUNTIME_DIR="$weston_dir" weston --backend=headless-backend.so --use-pixman --debug --socket="$name" \
      "$@" >"$weston_dir/$name.log" 2>&1 &
    started+=($!)
    wait_until test -S "$weston_dir/$name"
    export "$variable=$weston_dir/$name"
  }
  start_headless_weston TRELLIS_TEST_WAYLAND_SCALED_DISPLAY scaled --idle-time=0 --width=1024 --height=768 --scale=2
  start_headless_weston TRELLIS_TEST_WAYLAND_ROTATED_DISPLAY rotated --idle-time=0 --width=1024 --height=768 \
    --transform=rotate-90
  start_headless_weston TRELLIS_TEST_WAYLAND_IDLE_DISPLAY idle --idle-time=1

  # An X server for the compositors with a keyboard and a pointer: each test
  # starts Weston in a window there, which takes the input xdotool makes.
  if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    seat_display=":$((200 + RANDOM % 100))"
    start_xvfb "$seat_display" 1024x768
    export TRELLIS_TEST_WAYLAND_SEAT_X="$seat_display"
  fi
fi

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DTRELLIS_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 300
}

# The README's example commands against the build in $1, so that their paths
# and options stay true. Each gets -qaf=5 to end by itself (kestrel-capture
# ends at its last chosen frame already). They run under the Xvfb (headless
# without one) or, where the example names Wayland, under Weston, in a folder
# of their own where their pictures land.
readme_examples() {
  local build=$PWD/$1 work
  work=$(mktemp -d /tmp/trellis-readme-XXXXXX)
  while IFS= read -r example; do
    local command=${example//build\/release\//$build/}
    [[ $command == *kestrel-capture* ]] || command+=" -qaf=5"
    local environment=(-u DISPLAY -u WAYLAND_DISPLAY -u TRELLIS_PLATFORM)
    if [[ $command == *TRELLIS_PLATFORM=wayland* ]]; then
      if [ -z "${TRELLIS_TEST_WAYLAND_DISPLAY:-}" ]; then
        echo "skipped, no Weston: $example"
        continue
      fi
      environment+=("WAYLAND_DISPLAY=$TRELLIS_TEST_WAYLAND_DISPLAY")
    elif [ -n "${TRELLIS_TEST_DISPLAY:-}" ]; then
      environment+=("DISPLAY=$TRELLIS_TEST_DISPLAY")
    fi
    echo "\$ $example"
    if ! (cd "$work" && env "${environment[@]}" bash -c "$command"); then
      echo "README example failed: $example"
      rm -rf "$work"
      return 1
    fi
  done < <(grep -E '^    (mkdir -p out && )?([A-Z_]+=[a-z]+ )?build/release/' README.md | sed -e 's/ *#.*//' -e 's/^ *//' |
    awk '!seen[$0]++')
  rm -rf "$work"
}

echo "== GCC build, warnings as errors"
run_suite build/ci-gcc -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc

echo "== The README's examples, each with -qaf=5"
readme_examples build/ci-gcc

echo "== API reference, every public name documented"
cmake --build build/ci-gcc --target docs

echo "== The library alone, shared: installed, found and used as the static one is"
shared=build/ci-shared
cmake -S . -B "$shared" -DTRELLIS_WERROR=ON -DBUILD_SHARED_LIBS=ON -DTRELLIS_TESTS=OFF >/dev/null
cmake --build "$shared" -j"$jobs" --target trellis trellis_main
cmake -DBUILD_DIR="$shared" -DWORK_DIR="$PWD/$shared/consumer" -DCXX_COMPILER=c++ -DPKG_CONFIG=pkg-config \
  -DAPP_SOURCE="$PWD/examples/hello/HelloApp.cpp" -DINPUT_APP_SOURCE="$PWD/examples/input/InputApp.cpp" \
  -P tests/install/InstallConsumer.cmake

echo "== The library alone without Wayland, and without X11"
for backend in WAYLAND X11; do
  cmake -S . -B "build/ci-no-$backend" -DTRELLIS_WERROR=ON -DTRELLIS_$backend=OFF -DTRELLIS_TESTS=OFF >/dev/null
  cmake --build "build/ci-no-$backend" -j"$jobs" --target trellis trellis-hello
done
said=$(TRELLIS_PLATFORM=wayland build/ci-no-WAYLAND/examples/hello/trellis-hello -qaf=2 2>&1 || true)
grep -q "TRELLIS_PLATFORM=wayland names no window system; use one of: x11, headless" <<<"$said" ||
  { echo "a build without Wayland should refuse TRELLIS_PLATFORM=wayland, but said: $said"; exit 1; }

echo "== Clang build with AddressSanitizer and UndefinedBehaviorSanitizer"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build/ci-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DTRELLIS_SANITIZE=ON -DTRELLIS_FUZZ=ON

echo "== Fuzz targets, briefly"
fuzz/run --build build/ci-asan --time 10
