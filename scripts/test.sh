#!/usr/bin/env bash
# Builds and runs every test: a warnings-as-errors build with GCC, then a
# sanitizer build with Clang. Window tests run under an Xvfb server started here.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

xvfb_pid=""
stop_xvfb() { [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true; }
trap stop_xvfb EXIT
if command -v Xvfb >/dev/null; then
  display=":$((90 + RANDOM % 100))"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    sleep 0.2
  done
  export TRELLIS_TEST_DISPLAY="$display"
fi

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DTRELLIS_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 300
}

echo "== GCC build, warnings as errors"
run_suite build/ci-gcc -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc

echo "== Clang build with AddressSanitizer and UndefinedBehaviorSanitizer"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build/ci-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DTRELLIS_SANITIZE=ON -DTRELLIS_FUZZ=ON

echo "== Fuzz targets, briefly"
fuzz/run --build build/ci-asan --time 10
