#!/usr/bin/env bash
# The windowed player's CPU time on a still page: plays examples/hello in a
# window on a private Xvfb display, lets its message finish typing (it then
# waits for a click), and measures for SECONDS (default 5) the CPU time of
# the whole process and of its main thread (the window loop), as percent of
# one core. Prints the figures; asserts nothing.
#   bench/idle_window.sh [BUILD_DIR [SECONDS]]      (default build/, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-5}
for tool in Xvfb "$build/orba" "$build/orbatool"; do
  command -v "$tool" >/dev/null || { echo "idle_window: $tool is missing (scripts/install-deps.sh, then a build)" >&2; exit 1; }
done

work=$(mktemp -d)
xpid=
ppid=
finish() {
  [ -n "$ppid" ] && kill -TERM "$ppid" 2>/dev/null && wait "$ppid" 2>/dev/null
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

mkdir "$work/hello"
"$build/orbatool" game build examples/hello -o "$work/hello/game.dat" >/dev/null
Xvfb -displayfd 3 -screen 0 1280x800x24 -noreset -nolisten tcp 3>"$work/display" 2>/dev/null &
xpid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
unset SDL_VIDEODRIVER

"$build/orba" "$work/hello" 2>"$work/stderr" &
ppid=$!
# Typing the two lines takes about a second; then the page stands still.
sleep 3
kill -0 "$ppid" 2>/dev/null || { echo "idle_window: the player ended early:" >&2; cat "$work/stderr" >&2; exit 1; }

ticks=$(getconf CLK_TCK)
# utime + stime of a /proc stat file, in clock ticks.
cpu() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$1"; }
p0=$(cpu "/proc/$ppid/stat")
m0=$(cpu "/proc/$ppid/task/$ppid/stat")
sleep "$seconds"
p1=$(cpu "/proc/$ppid/stat")
m1=$(cpu "/proc/$ppid/task/$ppid/stat")
threads=$(ls "/proc/$ppid/task" | wc -l)
awk -v p=$((p1 - p0)) -v m=$((m1 - m0)) -v t="$ticks" -v s="$seconds" -v n="$threads" 'BEGIN {
  printf "idle window, %d s on a still page: process %.1f%% of a core (%d threads), main thread %.1f%%\n",
         s, 100 * p / t / s, n, 100 * m / t / s
}'
