#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into OUT/<target>/ with the
# project's own writers (orbatool, the game builder, the player) and the
# Python fixture writers of tests/fixtures. A writer that fails leaves its
# seeds out with a warning; every target keeps at least its regressions.
#   fuzz/seeds.sh BUILD_DIR OUT
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(cd "$1" && pwd)
out=$2
tool=$build/orbatool
py=/usr/bin/python3
fixtures=$root/tests/fixtures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -rf "$out"
for exe in "$build"/fuzz/fuzz_*; do
  t=${exe##*/fuzz_}
  mkdir -p "$out/$t"
  cp "$here/regressions/$t"/* "$out/$t/" 2>/dev/null
done
warn() { echo "seeds: $*" >&2; }
# put TARGET FILE...: copies files into the target's seeds.
put() { local t=$1; shift; mkdir -p "$out/$t"; for f in "$@"; do [ -f "$f" ] && cp "$f" "$out/$t/$(basename "$(dirname "$f")")_$(basename "$f")"; done; }
run() { "$@" > /dev/null 2>&1 || warn "failed: $*"; }

# Pictures.
run $py "$fixtures/bmp_fixtures.py" "$work/bmp"
run $py "$fixtures/png_suite.py" "$work/png"
run $py "$fixtures/tga_fixtures.py" "$work/tga"
run $py "$fixtures/ico_fixtures.py" "$work/ico"
put bmp "$work"/bmp/*.bmp
put png "$work"/png/*.png
put tga "$work"/tga/*.tga
put ico "$work"/ico/*.ico "$work"/ico/*.cur
run $py "$fixtures/gif_fixtures.py" make "$work/gif"
put gif "$work"/gif/*.gif
# The clipboard's blocks: a form byte (1 the GIF file, 0 the bitmap form),
# then a GIF file or a BMP file without its 14-byte file header.
mkdir -p "$out/clipboard"
for f in "$work"/gif/*.gif; do
  [ -f "$f" ] && { printf '\001'; cat "$f"; } > "$out/clipboard/gif_$(basename "$f")"
done
for f in "$work"/bmp/*.bmp; do
  [ -f "$f" ] && { printf '\000'; tail -c +15 "$f"; } > "$out/clipboard/bmp_$(basename "$f")"
done
# JPEG: libjpeg's cjpeg over the bitmaps it reads (8 and 24 bits).
for f in "$work"/bmp/pbm_8bit.bmp "$work"/bmp/pbm_24bit.bmp "$work"/bmp/im_24bit.bmp; do
  n=$(basename "$f" .bmp)
  cjpeg -quality 60 "$f" > "$out/jpeg/$n.jpg" 2>/dev/null || warn "cjpeg failed on $f"
  cjpeg -progressive -grayscale "$f" > "$out/jpeg/${n}_prog.jpg" 2>/dev/null || warn "cjpeg failed on $f"
  cjpeg -quality 90 -sample 1x1 -restart 1 "$f" > "$out/jpeg/${n}_restart.jpg" 2>/dev/null || warn "cjpeg failed on $f"
done
# Program files: icon groups of BMP-style and PNG images, one naming an
# image 65,535 times, and a package type of 65,535 names beside DUMMY.
$py - "$fixtures" "$out/program_icon" <<'PY' || warn "program_icon seeds failed"
import os, struct, sys, zlib
sys.path.insert(0, sys.argv[1])
from pe_fixture import build_pe
dst = sys.argv[2]
def bmp_image(size):
    head = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return head + bytes([0x40, 0x80, 0xC0, 0xFF]) * (size * size) + bytes((size + 31) // 32 * 4 * size)
def png_image(size):
    chunk = lambda kind, body: struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + bytes([x % 256, 0x80, 0x40, 0xFF - x % 64]) * size for x in range(size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
def group(entries):
    return struct.pack("<HHH", 0, 1, len(entries)) + b"".join(
        struct.pack("<BBBBHHIH", size % 256, size % 256, 0, 0, 1, 32, 0, image) for size, image in entries)
def write(name, resources):
    open(os.path.join(dst, name), "wb").write(build_pe(resources))
write("bmp_and_png.exe", [(14, "MAINICON", group([(16, 1), (256, 2)])), (3, 1, bmp_image(16)), (3, 2, png_image(256))])
write("one_image_named_65535_times.exe", [(14, "MAINICON", group([(16, 1)] * 65535)), (3, 1, bmp_image(16))])
# 65,534 entries sharing one name of 65,535 letters and one language
# directory, then DUMMY: a type directory as full and names as long as
# can be, in 660 KB.
def shared_rsrc(_, rva):
    out = bytearray(16 + 8 + 16 + 8 * 65535)
    struct.pack_into("<IIHHHHII", out, 0, 0, 0, 4, 0, 1, 0, 0x80000000 | len(out), 0x80000000 | 24)
    struct.pack_into("<IIHH", out, 24, 0, 0, 4, 0)
    struct.pack_into("<HH", out, 36, 65535, 0)
    def put(data):
        at = len(out) + (-len(out)) % 8
        out.extend(bytes(at - len(out)) + data)
        return at
    names = [put(struct.pack("<H", len(n)) + n.encode("utf-16-le")) for n in ("BINTYPE", "DUMMY" + "X" * 65530, "DUMMY")]
    struct.pack_into("<I", out, 16, 0x80000000 | names[0])
    languages = []
    for data in (b"x", b"vf"):
        language = put(bytes(24 + 16))
        struct.pack_into("<IIHHHHII", out, language, 0, 0, 4, 0, 0, 1, 1041, language + 24)
        struct.pack_into("<IIII", out, language + 24, rva + put(data), len(data), 932, 0)
        languages.append(language)
    for i in range(65535):
        last = i == 65534
        struct.pack_into("<II", out, 40 + 8 * i, 0x80000000 | names[2 if last else 1], 0x80000000 | languages[last])
    return bytes(out)
open(os.path.join(dst, "package_among_65535_long_names.exe"), "wb").write(build_pe([], shared_rsrc))
PY
# Brix files carry their identification code in front (4 bytes, little endian).
run $py "$fixtures/brix_fixture.py" make "$work/brix"
$py - "$work/brix" "$out/brix" <<'PY' || warn "brix seeds failed"
import json, os, struct, sys
src, dst = sys.argv[1], sys.argv[2]
for row in json.load(open(os.path.join(src, "manifest.json")))["lines"]:
    if row[0] == "I":  # I, name, file, identification code, ...
        data = open(os.path.join(src, row[2]), "rb").read()
        open(os.path.join(dst, row[1]), "wb").write(struct.pack("<i", int(row[3])) + data)
PY
# Packages, pages and settings: the small archives, the fixture pages and
# settings, and every test game and the demo as the game builder makes them.
run $py "$fixtures/vf_fixture.py" small "$work/vf"
put package "$work"/vf/*
run $py "$fixtures/page_fixture.py" make "$work/pages"
put page "$work"/pages/*.osb
run $py "$fixtures/opb_fixture.py" make "$work/opb"
put settings "$work"/opb/*.opb
mkdir -p "$work/games"
for game in "$root"/tests/games/*/ "$root/examples/demo/"; do
  name=$(basename "$game")
  [ -f "$game/orba.opb.txt" ] || continue
  run "$tool" game build "$game" -o "$work/games/$name.dat" || continue
  [ -f "$work/games/$name.dat" ] || continue
  put package "$work/games/$name.dat"
  run "$tool" vf extract "$work/games/$name.dat" "$work/games/$name"
  put page "$work/games/$name"/*.osb
  put settings "$work/games/$name"/orba.opb
done

# Save data: the fixture's entries, and the demo played with saving and
# loading (its slots hold a real scene).
run $py "$fixtures/savedat_fixture.py" make "$work/save"
if [ -f "$build/demo/game.dat" ] && [ -x "$build/orba" ]; then
  mkdir -p "$work/demo" && cp "$build/demo/game.dat" "$work/demo/"
  click() { printf 'tick %d: lbutton down %s\ntick %d: lbutton up %s\n' "$1" "$2" $(($1 + 1)) "$2"; }
  { click 30 "600 520"; click 60 "280 560"; click 70 "640 560"; click 80 "280 560"; } > "$work/demo.input"
  run "$build/orba" --headless --ticks 90 --input "$work/demo.input" "$work/demo"
fi
# A movie saved while it fades out (the video test game; its clips need the
# ffmpeg program) and the sound game's save with a fading sound.
if run $py "$fixtures/video_fixtures.py" make "$work/clips"; then
  mkdir -p "$work/videosrc" && cp "$root"/tests/games/video/* "$work"/clips/*.avi "$work"/clips/*.wmv "$work/videosrc/"
  echo 'StartPage = fade.osb' >> "$work/videosrc/orba.opb.txt"
  run "$tool" game build --folder "$work/videosrc" -o "$work/video"
  run "$build/orba" --headless --ticks 30 "$work/video"
fi
run $py "$fixtures/sound_fixtures.py" "$work/soundfiles"
mkdir -p "$work/soundsrc" && cp "$root"/tests/games/sound/* "$work"/soundfiles/* "$work/soundsrc/"
run "$tool" game build --folder "$work/soundsrc" -o "$work/sound"
run "$build/orba" --headless --ticks 400 "$work/sound"
for dat in "$work/video/save.dat" "$work/sound/save.dat"; do
  [ -f "$dat" ] || continue
  entries=$work/$(basename "$(dirname "$dat")")_media
  run "$tool" vf extract "$dat" "$entries"
  put scene "$entries"/GAMESAVEDATA*
done
# The edit game's slot holds an edit and a memo.
run "$tool" game build --folder "$root/tests/games/edit" -o "$work/editgame"
[ -x "$build/orba" ] && run "$build/orba" --headless --ticks 10 "$work/editgame"
# The films game saves a scene with a cinema, a preview menu, property
# motions and a cabinet.
if [ -f "$work/games/films.dat" ] && [ -x "$build/orba" ]; then
  mkdir -p "$work/films" && cp "$work/games/films.dat" "$work/films/game.dat"
  run "$build/orba" --headless --ticks 40 "$work/films"
fi
for dat in "$work/save/save.dat" "$work/demo/save.dat" "$work/editgame/save.dat" "$work/films/save.dat"; do
  [ -f "$dat" ] || continue
  put package "$dat"
  entries=$work/$(basename "$(dirname "$dat")")_entries
  run "$tool" vf extract "$dat" "$entries"
  put save "$entries"/*
  put scene "$entries"/GAMESAVEDATA*
done

# Expressions: the reference generator's integer expressions, a few to a
# file, and texts and arrays through the built-in functions.
$py "$fixtures/expr_reference.py" gen 7 120 2>/dev/null | cut -f1 | split -l 6 - "$out/expr/gen_" || warn "expr seeds failed"
printf '%s\n' 's = StringOfChar("ab", 3) ++ IntToStr(12, "4")' 'n = Length(s) + Pos("b", s)' \
  't = StringReplace(s, "b", "xy", TRUE, FALSE)' 'u = UpperCase(Copy(t, 2, 3))' > "$out/expr/text"
printf '%s\n' 'Dim(a, 3)' 'a[1] = 5' 'b = ArrayToString(a, ",")' 'StringToArray("1,2,3", a, ",")' > "$out/expr/array"

# Sound: the sound tests' tones and song, whole and damaged.
run $py "$fixtures/sound_fixtures.py" "$work/sound"
put wav "$work"/sound/*.wav "$work"/sound/*.ogg "$work"/sound/*_cut
put midi "$work"/sound/*.mid

# Message text: the glyph streams of the independent writer, and markup.
for v in 0 100 101 102; do
  $py "$fixtures/ksword_fixture.py" $v 2>/dev/null |
    $py -c 'import sys; sys.stdout.buffer.write(bytes.fromhex(sys.stdin.read().strip()))' > "$out/glyph_stream/v$v" ||
    warn "glyph stream seeds failed"
done
printf '%s' 'あ<B>い</B><FONT SIZE=20 COLOR=#FF0000 BORDER=1>う</FONT><BR CLEAR><RUBY VALUE=かな>漢</RUBY>' |
  iconv -f UTF-8 -t CP932 > "$out/markup/tags"
printf '%s' '<NOBR>abc def</NOBR> 「ここ。」<WAIT VALUE=-30>x</WAIT><A HREF=l>y</A><EVENT VALUE=e END><DIV ALIGN=CENTER>z</DIV>' |
  iconv -f UTF-8 -t CP932 > "$out/markup/breaks"

# Whole games: each game of tests/games and the demo as the start of a
# generated game ("GAME:NAME" and a line break, then the generator's bytes).
mkdir -p "$out/game"
for g in "$root"/tests/games/*/ demo; do
  name=$(basename "$g")
  [ "$name" = demo ] || [ -f "$g/orba.opb.txt" ] || continue
  printf 'GAME:%s\n\001\002\003\004\005\006\007\010\011\012\013\014' "$name" > "$out/game/$name"
done
# Generated games with all the sandbox plants and a first line that uses
# them (fuzz/game_planted_seeds.txt).
grep -v '^#' "$here/game_planted_seeds.txt" | while read -r name line; do
  mask=7ffff
  case $name in */*) mask=${name#*/}; name=${name%%/*} ;; esac
  printf 'PLANT:%s\n> %s\n\001\002\003\004\005\006\007\010' "$mask" "$line" > "$out/game/planted_$name"
done
# The plants of what would cost gigabytes or hang, each alone: directories
# of millions of entries, a screen of 8192 x 8192 (as a folder game), texts
# nested a million deep for Calc.
printf 'PLANT:8000000\n> GameSave Slot=0 Caption={"c"}\n\001\002\003\004\005\006\007\010' > "$out/game/planted_huge_directory"
printf 'PLANT:10000000\n> Calc Expression={v2 = 1}\n\001\002\003\004\005\006\007\010' > "$out/game/planted_huge_screen"
printf 'PLANT:20000000\n> Calc Expression={v2 = LoadTextFile(a0, "nested.txt") ++ Calc(a0[0]) ++ LoadTextFile(a0, "deep.txt") ++ Calc(a0[0]) ++ LoadTextFile(a0, "calls.txt") ++ Calc(a0[0])}\n\001\002\003\004\005\006\007\010' > "$out/game/planted_nested_texts"

# Games whose start-up files are links out, whose exit page climbs out of
# the game folder, or whose package lies in HOME's downloads folder.
printf 'PLANT:80000\n\001\002\003\004\005\006\007\010' > "$out/game/planted_startup_links"
printf 'PLANT:100000\n\001\002\003\004\005\006\007\010' > "$out/game/planted_climbing_page"
printf 'PLANT:280000\n> Calc Expression={v2 = LoadTextFile(a0, home ++ "/Downloads/bank-statement.txt") ++ ExtractFile("pic.bmp", FALSE, home ++ "/Downloads")}\n\001\002\003\004\005\006\007\010' > "$out/game/planted_downloaded"

# The whole player's set for short runs (fuzz/run.sh takes it for runs of
# less than ORBA_FUZZ_FULL_SEEDS_FROM seconds, such as CI's 20 s): a few
# seeds that reach far, so that most of a short run goes to mutating games
# rather than to replaying every seed (fuzz/game_ci_seeds.txt).
mkdir -p "$out/game_ci"
grep -v '^#' "$here/game_ci_seeds.txt" | while read -r name; do
  [ -f "$out/game/$name" ] && cp "$out/game/$name" "$out/game_ci/" || warn "no game seed $name"
done

for t in "$out"/*/; do echo "seeds: $(basename "$t") $(ls "$t" | wc -l)"; done
