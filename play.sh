#!/usr/bin/env bash
# Installs what is missing, builds a release build into build/, builds the
# example game from examples/hello into build/demo/game.dat and plays it: in a
# window where there is a display, otherwise headless, printing the script
# trace and writing the last frame to build/demo-frames/frame.png.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
mkdir -p build/demo build/demo-frames
build/orbatool game build examples/hello -o build/demo/game.dat
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/orba build/demo
else
  exec build/orba --headless --ticks 200 --trace - --screenshot build/demo-frames/frame.png build/demo
fi
