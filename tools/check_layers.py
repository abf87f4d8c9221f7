#!/usr/bin/env python3
"""Fails when a source under src/ includes a header of a layer above its own.

Layers from the bottom: encoding, platform, text, pmx, driver; there are no
exceptions. Prints one line per offending include:
    <file>:<line>: includes "<header>" of layer <above> from layer <own>
"""
import pathlib
import re
import sys

LAYERS = ["encoding", "platform", "text", "pmx", "driver"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def rank_of(rel_path):
    """Layer rank of a file below src/; main.cpp and the like sit on top."""
    parts = rel_path.parts
    if len(parts) >= 2 and parts[0] in LAYERS:
        return LAYERS.index(parts[0])
    return len(LAYERS)


def problems(src_root):
    found = []
    for path in sorted(src_root.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".hpp", ".cc") or not path.is_file():
            continue
        rel = path.relative_to(src_root)
        own = rank_of(rel)
        text = path.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            header = m.group(1)
            layer = header.split("/", 1)[0]
            if layer not in LAYERS:
                continue
            if LAYERS.index(layer) > own:
                own_name = LAYERS[own] if own < len(LAYERS) else "top"
                found.append(f'src/{rel.as_posix()}:{number}: includes "{header}" of layer {layer} '
                             f"from layer {own_name}")
    return found


def self_test():
    """The check itself: planted includes are caught, allowed ones are not."""
    import tempfile
    cases = {
        "platform/a.cpp": ('#include "text/sjis.h"', True),
        "platform/b.cpp": ('#include "encoding/codec.h"\n#include "encoding/sjis_tables.h"', False),
        "platform/f.cpp": ('#include "text/codec.h"', True),
        "text/c.cpp": ('#include "platform/os.h"\n#include "text/sjis.h"', False),
        "pmx/d.h": ('  #  include "driver/driver.h"', True),
        "encoding/codec.h": ('#include "platform/os.h"', True),
        "encoding/g.cpp": ('#include "encoding/codec.h"\n#include <cstdint>', False),
        "encoding/h_test.cpp": ('#include "text/sjis.h"', True),
        "driver/e.cpp": ('#include "pmx/pmx.h"\n#include <gtest/gtest.h>', False),
        "main.cpp": ('#include "driver/driver.h"', False),
    }
    with tempfile.TemporaryDirectory() as tmp:
        src = pathlib.Path(tmp)
        for rel, (body, _) in cases.items():
            (src / rel).parent.mkdir(parents=True, exist_ok=True)
            (src / rel).write_text(body + "\n")
        flagged = {line.split(":", 1)[0][len("src/"):] for line in problems(src)}
    wrong = [rel for rel, (_, bad) in cases.items() if (rel in flagged) != bad]
    for rel in wrong:
        print(f"check_layers self-test: {rel} {'missed' if cases[rel][1] else 'flagged wrongly'}")
    return 1 if wrong else 0


def main(argv):
    if len(argv) > 1 and argv[1] == "--self-test":
        return self_test()
    root = pathlib.Path(argv[1]) if len(argv) > 1 else pathlib.Path(__file__).resolve().parent.parent
    src = root / "src"
    if not src.is_dir():
        print(f"check_layers: no src/ under {root}", file=sys.stderr)
        return 2
    found = problems(src)
    for line in found:
        print(line)
    if found:
        print(f"check_layers: {len(found)} include(s) reach a layer above", file=sys.stderr)
        return 1
    print("check_layers: every include stays in its layer or below")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
