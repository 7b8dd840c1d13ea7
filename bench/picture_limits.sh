#!/usr/bin/env bash
# What the release player holds at full size under this machine's heap
# ceiling (half its memory, at most 3 GiB; one picture may take a quarter of
# it): the test games at the sizes real games reach, too heavy for the
# sanitizer build's tests, which play them scaled down.
#
#   "longframes": full-screen animations, 24 bits with alpha, 30 ms a frame:
#     48 frames of 1920 x 1080 and 120 of 1280 x 720 load and play; then 100
#     frames of 1920 x 1080, past a quarter of a 3 GiB ceiling, are refused
#     with their line while the 1280 x 720 one still plays.
#   "gallery": 100 pictures of 1920 x 1080, each its own file, held at once
#     while a 1920 x 1080 movie of 2 s plays over them to its end.
#   "membomb": the items and timers that multiply, ended by a quit signal
#     after 5 s.
#
# Usage: bench/picture_limits.sh [BUILD_DIR]   (default build-rel; it needs
# the orba and orbatool programs, python3 and ffmpeg). The games are made in
# a temporary folder (about 2 GB), removed at the end. Prints, for each run,
# its exit code, what the game noted (sizes and frame counts, widths held,
# movie ends), the refusal lines and the peak resident size (/usr/bin/time).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-rel}
orba=$(realpath "$build/orba")
orbatool=$(realpath "$build/orbatool")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes a Brix picture (version 106, zlib, whole rows): argv 1 the file,
# 2 x 3 the size, 4 the frame count, 5 "alpha" or "opaque", 6 the first
# colour's index. Frame k is one 24-bit layer of the flat colour
# (40 + k + first, 250 - k - first, 90) as RGB, delay 30 ms, with an alpha
# plane of 255 when asked.
brix_writer='
import struct, sys, zlib
path, w, h, count, kind, first = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], int(sys.argv[6])
alpha = kind == "alpha"
row = (w * 3 + 3) // 4 * 4
arow = (w + 3) // 4 * 4
alpha_block = zlib.compress(b"\xff" * (arow * h), 1) if alpha else b""
out = open(path, "wb")
header = struct.pack("<iiiiiBBBBiiiBB2s", 106, w, h, 24, count, 1, 0, 0, 0, 0, 0, 0, 0, 70, b"\0\0")
out.write(b"Brix106" + struct.pack("<i", 40) + header)
for k in range(count):
    c = (k + first) % 200
    pixel = bytes([90, 250 - c, 40 + c])
    colour = zlib.compress((pixel * w + b"\0" * (row - 3 * w)) * h, 1)
    out.write(struct.pack("<iiiBiiiii", 0, -1, 30, 0, 0, 1, w, h, 24))
    out.write(b"\0" * 8 + struct.pack("<BiiBi", 1, -1, 255, 1 if alpha else 0, 0))
    out.write(struct.pack("<i", len(colour)) + colour + struct.pack("<i", len(alpha_block)) + alpha_block)
    out.write(struct.pack("<ii", 0, 0))
'
brix() { python3 -c "$brix_writer" "$@"; }

build_game() {  # NAME OUT [SETTING...]
  local name=$1 out=$2 src="$work/src-$1"
  shift 2
  rm -rf "$src" && cp -r "$here/tests/games/$name" "$src"
  for setting in "$@"; do echo "$setting" >> "$src/orba.opb.txt"; done
  "$orbatool" game build --folder "$src" -o "$out" > /dev/null
}

# Plays GAME with the given options (the player started through the words
# of "wrap", when set); prints the exit code, the peak and the lines of the
# trace that say a picture or the heap was refused.
wrap=()
play() {  # LABEL GAME TICKS [OPTION...]
  local label=$1 game=$2 ticks=$3 code=0
  shift 3
  rm -f "$game/save.dat"
  /usr/bin/time -f %M -o "$work/peak.txt" ${wrap[@]+"${wrap[@]}"} "$orba" --headless --ticks "$ticks" --trace - "$@" "$game" \
    > "$work/trace.txt" 2> "$work/errors.txt" || code=$?
  echo "$label: exit $code, peak $(( $(cat "$work/peak.txt") / 1024 )) MiB"
  grep -h -E 'refused|heap' "$work/trace.txt" "$work/errors.txt" | sort -u | sed 's/^/  /' || true
}

noted() {  # GAME VARIABLE...
  local game=$1
  shift
  local dump
  dump=$("$orbatool" save dump "$game/save.dat" 2> /dev/null || true)
  for name in "$@"; do echo "$dump" | grep -E "^ *var $name " | sed 's/^ */  /' || echo "  $name: not saved"; done
}

# The frame each capture of the longframes game shows at its centre (frame
# k is red 40 + k; "none" for another colour, "-" for no capture).
shown() {  # GAME
  local game=$1 line="  frames shown:" capture
  for capture in a1 a2 b1 b2; do
    if "$orbatool" img decode "$game/$capture.brx" "$work/$capture.pam" 2> /dev/null; then
      line="$line $capture $(python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
head, pixels = data.split(b"ENDHDR\n", 1)
width = int(head.split(b"WIDTH ")[1].split()[0])
height = int(head.split(b"HEIGHT ")[1].split()[0])
k = pixels[4 * (height // 2 * width + width // 2)] - 40
print(k if 0 <= k < 200 else "none")' "$work/$capture.pam")"
    else
      line="$line $capture -"
    fi
  done
  echo "$line"
}

echo "heap ceiling: half of $(awk '/MemTotal/ {print int($2 / 1024)}' /proc/meminfo) MiB, at most 3072 MiB"

frames=$work/longframes
build_game longframes "$frames"
brix "$frames/hd.brx" 1280 720 120 alpha 0
for count in 48 100; do
  brix "$frames/fullhd.brx" 1920 1080 "$count" alpha 0
  rm -f "$frames"/[ab][12].brx
  play "longframes, $count frames of 1920 x 1080 and 120 of 1280 x 720" "$frames" 60
  noted "$frames" sizes shots
  shown "$frames"
done

gallery=$work/gallery
build_game gallery "$gallery" "Width = 1920" "Height = 1080"
for k in $(seq 0 99); do brix "$gallery/p$k.brx" 1920 1080 1 opaque "$k"; done
ffmpeg -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=10:duration=2 -c:v ffv1 -pix_fmt bgr0 \
  "$gallery/movie.avi"
play "gallery, 100 pictures of 1920 x 1080 and a movie" "$gallery" 200
noted "$gallery" wide kept length ended last

bomb=$work/membomb
build_game membomb "$bomb"
# A quit signal after 5 s: the game ends in order (exit 0) unless the heap
# ceiling ended it first (exit 1).
wrap=(timeout --preserve-status -s TERM 5)
play "membomb, signalled after 5 s" "$bomb" 2000000000
wrap=()
noted "$bomb" deleted kept runs
