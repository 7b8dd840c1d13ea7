#!/usr/bin/env bash
# Installs what is missing, builds a release build into build/ and plays the
# demo game: in a window where there is a display, otherwise headless with
# PNG frames written to build/demo-frames/.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
if [ -x build/orba ] && [ -d examples/demo ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/orba examples/demo
  else
    mkdir -p build/demo-frames
    exec build/orba --headless --ticks 120 --screenshot build/demo-frames/frame.png examples/demo
  fi
fi
