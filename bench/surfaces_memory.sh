#!/bin/sh
# The "sharedpics" test game at 10,000 and 100,000 image items sharing one
# picture, played headless for 4 ticks by BUILD with the screen forced to
# system memory and running accelerated on DirectDraw surfaces, side by
# side, ROUNDS times (default 2); prints each run's CPU time (user + system
# seconds) and peak memory (maximum resident set, MB), then the ratios of
# the DirectDraw runs to the memory runs (goal: at most 1.10 each).
#
#   bench/surfaces_memory.sh build-rel
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
. "$here/bench/sharedpics_games.sh"
make_dot "$dir"
for count in 10000 100000; do
  make_sharedpics "$build" "$dir" "g$count" "$count" 10
done
for round in $(seq "${ROUNDS:-2}"); do
  for count in 10000 100000; do
    line="$count images:"
    for mode in memory directdraw; do
      rm -f "$dir/g$count/save.dat"
      t=$(/usr/bin/time -f "%U %S %M" "$build/orba" --headless --ticks 4 --surfaces $mode "$dir/g$count" 2>&1 >/dev/null | tail -1)
      line="$line $mode $(echo "$t" | awk '{printf "%.2f s %.1f MB", $1 + $2, $3 / 1024}')"
      eval "cpu_$mode=\$(echo \"\$t\" | awk '{print \$1 + \$2}') peak_$mode=\$(echo \"\$t\" | awk '{print \$3}')"
    done
    echo "$line, ratios: time $(awk "BEGIN {printf \"%.2f\", $cpu_directdraw / $cpu_memory}")," \
         "peak memory $(awk "BEGIN {printf \"%.2f\", $peak_directdraw / $peak_memory}")"
  done
done
