#!/bin/sh
# A moving scene played headless: 1,000 16 x 16 pictures, each moved by a
# property motion, on a 1280 x 720 screen, for TICKS ticks of 16 ms (one
# text field shown over them with FIELD=1). Builds the game with BUILD's
# orbatool in a temporary folder and prints the player's CPU time (user and
# system seconds). With PROFILE=1 the run goes under `perf record` and the
# report's lines down to LIMIT percent (default 1), at most LINES_SHOWN of
# them (default 25), are printed instead: the window's own copies are
# memmove's and TMemoryVideo's, the present's copy of the dirty rectangles
# into the window's picture ClearHighRow's (CopyScreenRects).
#
#   bench/moving_scene.sh build-rel [TICKS]
#   FIELD=1 PROFILE=1 LIMIT=0.02 LINES_SHOWN=800 bench/moving_scene.sh build-rel 1000 | grep -i 'memmove\|MemoryVideo\|ClearHigh'
set -eu
build=$1
ticks=${2:-1000}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/src"
python3 - "$dir/src/tile.brx" <<'PY'
import struct, sys
w = h = 16
pixels = b"".join(bytes((x * 16, y * 16, 200)) for y in range(h) for x in range(w))  # rows of 48 bytes
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(header + info + pixels)
PY
cat > "$dir/src/orba.opb.txt" <<'OPB'
Title = moving
Width = 1280
Height = 720
StartPage = main.osb
OPB
field=""
if [ "${FIELD:-0}" = 1 ]; then field='EditNew Name="field" Left=8 Top=700 Width=200 Height=20 Priority=5'; fi
cat > "$dir/src/main.osb.txt" <<OSB
VarNew Name=i Type=int Initial=0
WhileInit Init={i = 0}
While Condition={i < 1000}
  ImgNew Name={"m" ++ i} Source="tile.brx" Left={i % 40 * 32} Top={i / 40 * 28} Priority=1
  PropMotion MotionName={"pm" ++ i} TargetName={"m" ++ i} PropId=3 TargetValue={i % 40 * 32 + 600} Duration=20000
WhileLoop Step={i = i + 1}
$field
Wait Time=100000
OSB
"$build/orbatool" game build --folder "$dir/src" -o "$dir/game" >/dev/null
if [ "${PROFILE:-0}" = 1 ]; then
  perf record -q -o "$dir/perf.data" "$build/orba" --headless --ticks "$ticks" --frame-ms 16 "$dir/game" >/dev/null 2>&1
  perf report -i "$dir/perf.data" --no-children --percent-limit "${LIMIT:-1}" --stdio 2>/dev/null | grep -v '^#' | grep -v '^$' | head -n "${LINES_SHOWN:-25}"
else
  /usr/bin/time -f "%U %S" "$build/orba" --headless --ticks "$ticks" --frame-ms 16 "$dir/game" 2>&1 >/dev/null | tail -1
fi
