# Sourced by the benchmarks that play the "sharedpics" test game at many
# items: make_dot DIR writes DIR/dot.brx, a 4 x 4 red BMP;
# make_sharedpics TOOLS DIR NAME IMAGES BOXES builds DIR/NAME from the game's
# sources with IMAGES image items sharing that picture and BOXES boxes, with
# TOOLS/orbatool.
make_dot() {
  python3 - "$1/dot.brx" <<'PY'
import struct, sys
w = h = 4
pixels = bytes((0, 0, 255)) * (w * h)  # BMP rows of 12 bytes, red
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(header + info + pixels)
PY
}

make_sharedpics() {
  mkdir -p "$2/src-$3"
  cp "$here"/tests/games/sharedpics/*.txt "$2/src-$3/"
  sed -i "s/^VarNew Name=images Type=int Initial=.*/VarNew Name=images Type=int Initial=$4/;
          s/^VarNew Name=boxes Type=int Initial=.*/VarNew Name=boxes Type=int Initial=$5/" \
      "$2/src-$3/main.osb.txt"
  "$1/orbatool" game build --folder "$2/src-$3" -o "$2/$3" >/dev/null
  cp "$2/dot.brx" "$2/$3/"
}
