#!/usr/bin/env bash
# Builds vavevo and runs the whole test suite.
#   scripts/test.sh              release build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DVAVEVO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DVAVEVO_BENCH=OFF)
  # The system's GL driver keeps allocations for the life of the process
  # and is unloaded before LeakSanitizer looks, so its frames cannot be
  # named in a suppression; SDL's software renderer serves the texture path.
  export SDL_RENDER_DRIVER=software
fi

bash scripts/setup.sh
cmake -S . -B "$build" -G Ninja "${flags[@]}"
cmake --build "$build" -j2
# Tests start real windows on SDL's offscreen driver and real processes;
# none needs a display.
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0"
ctest --test-dir "$build" --output-on-failure -j2 --timeout 600
