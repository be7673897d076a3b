#!/usr/bin/env bash
# Builds vavevo and runs the bundled game. With a display it opens a window;
# without one it runs headless and writes screenshots to out/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j2 --target vavevo sample_game

game=build/sample-game
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/src/app/vavevo --game "$game" "$@"
fi
mkdir -p out/screenshots
echo "run-demo: no display; running headless, screenshots go to $(pwd)/out/screenshots"
build/src/app/vavevo --game "$game" --headless --frames 120 \
  --screenshot-dir out/screenshots --dialog-log out/dialogs.jsonl "$@"
echo "run-demo: done; see $(pwd)/out/screenshots/final.png"
