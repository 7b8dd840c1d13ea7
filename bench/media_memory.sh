#!/usr/bin/env bash
# The player's peak memory while it plays a 200 MB WAVE file and a 200 MB
# Ogg Vorbis file from a package, beside the same game playing one-second
# files: sounds are read from the package as they play, so the two peaks
# differ by little more than the decoders' buffers.
#
# Usage: bench/media_memory.sh [BUILD_DIR]   (default build-bench; it needs
# the orba and orbatool programs). The sound files are made with sox in a
# temporary folder (about 850 MB, a minute or two), removed at the end.
# Prints each peak resident size (/usr/bin/time -v) and their difference.
# KEEP_GAMES=FOLDER keeps a copy of the two games there.
set -euo pipefail

build=${1:-build-bench}
orba=$(realpath "$build/orba")
orbatool=$(realpath "$build/orbatool")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

target=$((200 * 1024 * 1024))
# 16-bit stereo 44.1 kHz: 176,400 bytes a second.
wave_seconds=$((target / 176400 + 1))
# White noise at the highest Ogg Vorbis quality: about 48,000 bytes a second;
# the length is raised until the file holds 200 MiB.
ogg_seconds=4400

page='Sound Name="w" Source="sound.wav"
Wait Time=4000
ObjDel ObjectName="w"
Sound Name="o" Source="sound.ogg"
Wait Time=4000
Exit'

make_game() {  # NAME SECONDS_WAVE SECONDS_OGG
  local src="$work/$1-src" seconds=$3
  mkdir -p "$src" "$work/$1"
  sox -n -r 44100 -c 2 -b 16 "$src/sound.wav" synth "$2" sine 440 vol 0.5
  sox -n -r 44100 -c 2 -C 10 "$src/sound.ogg" synth "$seconds" whitenoise vol 0.5
  while [ "$seconds" -gt 1 ] && [ "$(stat -c %s "$src/sound.ogg")" -lt "$target" ]; do
    seconds=$((seconds + 400))
    sox -n -r 44100 -c 2 -C 10 "$src/sound.ogg" synth "$seconds" whitenoise vol 0.5
  done
  printf 'Title = media memory\nWidth = 64\nHeight = 48\nStartPage = main.osb\n' > "$src/orba.opb.txt"
  printf '%s\n' "$page" > "$src/main.osb.txt"
  "$orbatool" game build "$src" -o "$work/$1/game.dat" > /dev/null
  echo "$1: sound.wav $(stat -c %s "$src/sound.wav") bytes, sound.ogg $(stat -c %s "$src/sound.ogg") bytes," \
       "package $(stat -c %s "$work/$1/game.dat") bytes"
  rm -rf "$src"
}

peak_kb() {  # GAME
  /usr/bin/time -v -o "$work/time.txt" "$orba" --headless --ticks 600 --trace - "$work/$1" > "$work/trace.txt"
  # A sound that does not open would leave nothing to measure.
  if grep -E '^sound ' "$work/trace.txt" >&2; then exit 1; fi
  awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt"
}

make_game small 1 1
make_game big "$wave_seconds" "$ogg_seconds"
if [ -n "${KEEP_GAMES:-}" ]; then cp -r "$work/small" "$work/big" "$KEEP_GAMES"; fi

small=$(peak_kb small)
big=$(peak_kb big)
echo "peak resident size, 1 s sounds:    $small KiB"
echo "peak resident size, 200 MB sounds: $big KiB"
echo "growth: $(((big - small) / 1024)) MiB ($((big - small)) KiB; the limit is 16 MiB)"
