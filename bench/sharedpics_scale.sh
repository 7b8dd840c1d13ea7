#!/bin/sh
# The "sharedpics" test game at 10,000 and 100,000 items of each shape
# (image items showing one picture; boxes given a Priority as they are
# made), played headless for 4 ticks by each BUILD given, in turn, ROUNDS
# times (default 2); prints the player's CPU time (user + system seconds)
# of each run: the start-up alone (10 images, no boxes), then each shape at
# both counts. The ratio of 100,000 to 10,000 net of the start-up is 10 for
# linear time.
#
#   bench/sharedpics_scale.sh build-rel [OTHER_BUILD ...]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
. "$here/bench/sharedpics_games.sh"
make_dot "$dir"
games="start:10:0 images10k:10000:0 images100k:100000:0 boxes10k:10:10000 boxes100k:10:100000"
for g in $games; do
  name=${g%%:*} rest=${g#*:}
  make_sharedpics "$1" "$dir" "$name" "${rest%%:*}" "${rest#*:}"
done
for round in $(seq "${ROUNDS:-2}"); do
  for build in "$@"; do
    line="$build:"
    for g in $games; do
      name=${g%%:*}
      rm -f "$dir/$name/save.dat"
      t=$(/usr/bin/time -f "%U %S" "$build/orba" --headless --ticks 4 "$dir/$name" 2>&1 >/dev/null | tail -1)
      line="$line $name $(echo "$t" | awk '{printf "%.2f", $1 + $2}')"
    done
    echo "$line"
  done
done
