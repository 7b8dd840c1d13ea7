#!/usr/bin/env bash
# Times `orbatool vf verify` of a 1 GB package made at start: 250 bitmaps of
# 4 MiB (gradients with grain in one channel of four; packed, to about half)
# and 60 sounds of 5 MiB (random bytes; stored as is). With a second orbatool
# (an older build) it times that one too, alternating, in the same run.
#
#   bench/vf_verify_bench.sh build-bench/orbatool [OTHER_ORBATOOL]
set -euo pipefail
ours=$(realpath "$1")
theirs=${2:+$(realpath "$2")}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/src/img" "$dir/src/bgm"
python3 - "$dir/src" <<'PY'
import random, sys
random.seed(5)
root, width = sys.argv[1], 1024
for n in range(250):
    base = bytes((x * 255 // width + n) & 255 for x in range(width * 4))
    rows = []
    for y in range(1024):
        row = bytearray(base)
        row[y % 4::4] = random.randbytes(width)
        rows.append(bytes(row))
    open(f"{root}/img/p{n:03d}.bmp", "wb").write(b"".join(rows))
for n in range(60):
    open(f"{root}/bgm/s{n:03d}.ogg", "wb").write(random.randbytes(5 << 20))
PY
"$ours" vf pack "$dir/src" "$dir/game.dat"
rm -rf "$dir/src"
echo "package: $(stat -c %s "$dir/game.dat") bytes"
cat "$dir/game.dat" > /dev/null  # from the page cache for every run
seconds() { /usr/bin/time -f %e "$1" vf verify "$dir/game.dat" 2>&1 >/dev/null | tail -1; }
for run in 1 2 3; do
  line="run $run: ours $(seconds "$ours") s"
  [ -n "$theirs" ] && line="$line, other $(seconds "$theirs") s"
  echo "$line"
done
