#!/bin/sh
# A 1280 x 720 game that repaints the whole screen every tick: a full-screen
# box, a full-screen opaque picture over it, and a full-screen picture with
# alpha moved to and fro by a pixel every tick. Played headless for TICKS ticks (default
# 4000) with the screen forced to system memory and running accelerated on
# DirectDraw surfaces (the default), side by side, ROUNDS times (default 5);
# prints the best CPU time (user + system seconds) of each mode, its cost a
# tick against one full-frame copy (objects_bench's FrameCopy, measured in
# the same run), and the ratio of the DirectDraw mode to the memory mode
# (goal: at most 1.10, and a tick of at most 8 frame copies). With PROFILE=1
# each mode is run once more under `perf record` and the report's top
# lines are printed.
#
#   bench/full_repaint.sh build-rel [TICKS]
set -eu
build=$1
ticks=${2:-4000}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
[ -z "${KEEP:-}" ] || trap - EXIT
mkdir "$dir/src"
python3 - "$dir/src" <<'PY'
import struct, sys, zlib
out = sys.argv[1]
# An opaque 24-bit BMP of the whole screen, in bands of colour.
w, h = 1280, 720
rows = []
for y in range(h):
    rows.append(bytes((y % 256, (y * 3) % 256, 90)) * w)
pixels = b"".join(reversed(rows))
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(out + "/back.brx", "wb").write(header + info + pixels)
# A full-screen PNG with alpha, in diagonal bands.
w, h = 1280, 720
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
raw = b"".join(b"\0" + b"".join(bytes((250, x % 256, 40, (x + y) % 256)) for x in range(w)) for y in range(h))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
       chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
open(out + "/sprite.brx", "wb").write(png)
PY
cat > "$dir/src/orba.opb.txt" <<'OPB'
Title = repaint
Width = 1280
Height = 720
StartPage = main.osb
OPB
cat > "$dir/src/main.osb.txt" <<'OSB'
BoxNew Name="floor" Left=0 Top=0 Width=1280 Height=720 Color=3355443 Priority=0
ImgNew Name="back" Source="back.brx" Left=0 Top=0 Priority=1
ImgNew Name="sprite" Source="sprite.brx" Left=0 Top=0 Priority=2
VarNew Name=i Type=int Initial=0
WhileInit Init={i = 0}
While Condition={i < 1000000}
  SetProp ObjectName="sprite" PropId=3 Value={i % 2}
  Wait Time=15
WhileLoop Step={i = i + 1}
OSB
"$build/orbatool" game build --folder "$dir/src" -o "$dir/game" >/dev/null
cp "$dir/src/back.brx" "$dir/src/sprite.brx" "$dir/game/"
best() { sort -n | head -1; }
for mode in memory directdraw; do
  for round in $(seq "${ROUNDS:-5}"); do
    /usr/bin/time -f "%U %S" "$build/orba" --headless --ticks "$ticks" --surfaces $mode "$dir/game" 2>&1 >/dev/null |
      tail -1 | awk '{print $1 + $2}'
  done | best > "$dir/$mode.cpu"
done
copy_ms=$("$build/bench/objects_bench" --benchmark_filter='^FrameCopy$' 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g' |
  awk '$1 == "FrameCopy" {print $4}')
memory=$(cat "$dir/memory.cpu")
accelerated=$(cat "$dir/directdraw.cpu")
for mode in memory directdraw; do
  cpu=$(cat "$dir/$mode.cpu")
  awk "BEGIN {printf \"%s: %.2f s CPU for $ticks ticks, %.3f ms a tick, %.1f frame copies (a copy %.3f ms)\\n\", \
       \"$mode\", $cpu, $cpu * 1000 / $ticks, $cpu * 1000 / $ticks / $copy_ms, $copy_ms}"
done
awk "BEGIN {printf \"directdraw / memory: %.2f (goal: at most 1.10)\\n\", $accelerated / $memory}"
if [ "${PROFILE:-0}" = 1 ]; then
  for mode in memory directdraw; do
    echo "== $mode"
    perf record -q -o "$dir/perf.data" "$build/orba" --headless --ticks "$ticks" --surfaces $mode "$dir/game" >/dev/null 2>&1
    perf report -i "$dir/perf.data" --no-children --percent-limit 1 --stdio 2>/dev/null | grep -v '^#' | grep -v '^$' | head -n 20
  done
fi
