#!/usr/bin/env python3
"""Fails on any #include in src/ that points up the layer order.

The layers, lowest first, are those of docs/CONVENTIONS.md: platform, core,
graphics, script, text, items, film, media, net, shell. A file may include
headers of its own layer and of the layers below it. Besides the layers:

- the platform's back ends (platform/sdl, platform/linux, platform/headless)
  implement the platform interfaces; they may include the interfaces, core
  (traces, strings) and their own folder, and no layer includes them: only
  the programs (src/orba_main.cpp, tools/, tests/) install a back end;
- the platform interfaces themselves include nothing but platform headers;
- authoring (page assembler, game builder) sits above text and below items,
  and nothing in src/ but authoring includes it;
- graphics/gif (the GIF codec of orbatool) is included only from itself.

Usage: check_layers.py SRC_DIR       checks a tree, prints each offence
       check_layers.py --self-test   plants upward includes in a copy of a
                                     small tree and checks that each is found
"""
import pathlib
import re
import sys
import tempfile

LAYERS = ["platform", "core", "graphics", "script", "text",
          "items", "film", "media", "net", "shell"]
BACK_ENDS = {"platform/sdl", "platform/linux", "platform/headless"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def unit_of(rel):
    """The unit a path under src/ belongs to: a layer, a back end,
    'authoring', 'gif' or 'program' (files directly in src/)."""
    parts = rel.split("/")
    if len(parts) == 1:
        return "program"
    if parts[0] == "platform" and len(parts) > 2 and "/".join(parts[:2]) in BACK_ENDS:
        return "/".join(parts[:2])
    if parts[0] == "graphics" and len(parts) > 2 and parts[1] == "gif":
        return "gif"
    return parts[0]


def rank(unit):
    """Position in the order; authoring counts as just above text."""
    if unit == "authoring":
        return LAYERS.index("text") + 0.5
    return LAYERS.index(unit)


def allowed(src, dst):
    if src == "program" or src == dst:
        return True
    if dst == "program":
        return False
    if dst in BACK_ENDS:
        return False
    if src in BACK_ENDS:
        return dst in ("platform", "core")
    if dst == "gif":
        return False
    if src == "gif":
        return dst in ("platform", "core", "graphics")
    if src == "platform":
        return False
    if dst == "authoring":
        return False
    if dst not in LAYERS and dst != "authoring":
        return True  # not one of ours (a system header written with quotes)
    return rank(dst) <= rank(src)


def offences(src_dir):
    src_dir = pathlib.Path(src_dir)
    found = []
    for path in sorted(src_dir.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".def") or not path.is_file():
            continue
        rel = path.relative_to(src_dir).as_posix()
        src = unit_of(rel)
        text = path.read_text(encoding="utf-8", errors="replace")
        for m in INCLUDE.finditer(text):
            target = m.group(1)
            if "/" not in target:
                continue  # a header beside the file
            if not (src_dir / target).exists():
                continue  # not a header of src/
            dst = unit_of(target)
            if not allowed(src, dst):
                line = text.count("\n", 0, m.start()) + 1
                found.append(f"{rel}:{line}: {src} includes {target} ({dst})")
    return found


def self_test():
    """Every planted include must be found, and the clean tree must pass."""
    planted = [
        ("core/a.h", '#include "graphics/b.h"'),           # one layer up
        ("script/c.h", '#include "shell/d.h"'),            # several up
        ("items/e.cpp", '#include "platform/sdl/f.h"'),    # a back end
        ("platform/g.h", '#include "core/h.h"'),           # interfaces use core
        ("platform/headless/i.cpp", '#include "graphics/b.h"'),
        ("text/j.cpp", '#include "authoring/k.h"'),        # authoring from a layer
        ("graphics/l.cpp", '#include "graphics/gif/m.h"'),
        ("film/n.cpp", '#include "media/o.h"'),            # sibling above
    ]
    clean = [
        ("core/h.h", '#include "platform/g2.h"'),
        ("platform/g2.h", ""),
        ("graphics/b.h", '#include "core/h.h"'),
        ("shell/d.h", '#include "media/o.h"'),
        ("media/o.h", '#include "items/p.h"'),
        ("items/p.h", '#include "text/q.h"'),
        ("text/q.h", '#include "script/r.h"'),
        ("script/r.h", '#include "graphics/b.h"'),
        ("platform/sdl/f.h", '#include "core/h.h"'),
        ("authoring/k.h", '#include "text/q.h"'),
        ("graphics/gif/m.h", '#include "graphics/b.h"'),
        ("orba_main.cpp", '#include "platform/sdl/f.h"\n#include "authoring/k.h"'),
    ]
    with tempfile.TemporaryDirectory() as tmp:
        root = pathlib.Path(tmp)

        def write(rel, body):
            p = root / rel
            p.parent.mkdir(parents=True, exist_ok=True)
            p.write_text(body + "\n")

        for rel, body in clean:
            write(rel, body)
        for rel, _ in planted:
            write(rel, "")
        if offences(root):
            print("self-test: the clean tree was refused:", *offences(root), sep="\n  ")
            return 1
        failures = 0
        for rel, inc in planted:
            write(rel, inc)
            got = offences(root)
            if len(got) != 1 or not got[0].startswith(rel + ":"):
                print(f"self-test: planted {inc} in {rel}, found {got}")
                failures += 1
            write(rel, "")
    if failures == 0:
        print(f"self-test: {len(planted)} planted upward includes found")
    return 1 if failures else 0


def main(argv):
    if len(argv) == 2 and argv[1] == "--self-test":
        return self_test()
    if len(argv) != 2:
        print(__doc__.split("Usage:")[1], file=sys.stderr)
        return 2
    found = offences(argv[1])
    for f in found:
        print(f)
    print(f"{len(found)} includes point up the layer order")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
