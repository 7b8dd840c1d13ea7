#!/usr/bin/env bash
# Installs what is missing, builds a release build into build/ (the player,
# orbatool, and the demo game of examples/demo as build/demo/game.dat; the
# tests and benchmarks are test.sh's and bench/'s) and plays the demo: in a window where there is a display; otherwise headless,
# writing frames to build/demo-frames/ (title.png: the title page; fade.png:
# the second page fading in after a click on the start button; room.png:
# the second page with both lines of its message typed; loaded.png: the second page after
# moving, saving, moving on and loading) and printing the trace of the last
# run.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DORBA_BUILD_TESTS=OFF -DORBA_BUILD_BENCH=OFF \
  -DORBA_PRECOMPILE_HEADERS=ON
cmake --build build -j"$(nproc)" --target orba orbatool demo_game
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/orba build/demo
fi

frames=build/demo-frames
mkdir -p "$frames"
rm -f build/demo/save.dat
# Clicks (press, then release a tick later) on the buttons: start, then
# MOVE, SAVE, MOVE, MOVE, LOAD.
click() { printf 'tick %d: lbutton down %s\ntick %d: lbutton up %s\n' "$1" "$2" $(($1 + 1)) "$2"; }
click 30 "600 520" > "$frames/room.input"
{
  click 30 "600 520"; click 60 "280 560"; click 70 "640 560"
  click 80 "280 560"; click 90 "280 560"; click 100 "1000 560"
} > "$frames/loaded.input"
build/orba --headless --ticks 25 --screenshot "$frames/title.png" build/demo
build/orba --headless --ticks 41 --input "$frames/room.input" --screenshot "$frames/fade.png" build/demo
# The message types its two lines by about tick 500.
build/orba --headless --ticks 520 --input "$frames/room.input" --screenshot "$frames/room.png" build/demo
build/orba --headless --ticks 120 --input "$frames/loaded.input" --trace - \
  --screenshot "$frames/loaded.png" build/demo
echo "Frames written to $frames: title.png, fade.png, room.png, loaded.png"
