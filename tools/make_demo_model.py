#!/usr/bin/env python3
"""Writes the bundled demo model: examples/demo/model.pmx and its images.

The model's texture table names tex\\body.png and tex\\face.png, while both
images lie in textures/, so the demo shows a repair: the user picks
textures/body.png and face.png is inferred from that move. The toon map
toon\\toon01.png is present and stays as it is. Some bones, morphs and display
frames have empty English names, which the writer fills in.

Usage: tools/make_demo_model.py [--check] [output folder]   (default: examples/demo)
--check compares the files in the folder with a fresh generation instead.
"""
import os
import struct
import sys
import zlib


def text(s):
    raw = s.encode("utf-16-le")
    return struct.pack("<i", len(raw)) + raw


def floats(*values):
    return struct.pack("<%df" % len(values), *values)


def i8(v):
    return struct.pack("<b", v)


def u8(v):
    return struct.pack("<B", v)


def i32(v):
    return struct.pack("<i", v)


# Index widths: vertices 2 bytes, everything else 1 byte (-1 is "none").
def vidx(v):
    return struct.pack("<H", v)


def png(rgb):
    """A 1x1 RGB image."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    ihdr = struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0)
    pixels = zlib.compress(b"\x00" + bytes(rgb))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", pixels) + chunk(b"IEND", b"")


def bone(name, name_en, pos, parent, tail_bone=None):
    rec = text(name) + text(name_en) + floats(*pos) + i8(parent) + i32(0)
    if tail_bone is None:
        rec += struct.pack("<H", 0x001E) + floats(0.0, 1.0, 0.0)
    else:
        rec += struct.pack("<H", 0x001F) + i8(tail_bone)
    return rec


def model():
    out = bytearray()
    out += b"PMX " + floats(2.0)
    # globals: encoding UTF-16LE, no extra UV, index widths V2 T1 M1 B1 Mo1 R1
    out += u8(8) + bytes([0, 0, 2, 1, 1, 1, 1, 1])
    out += text("デモモデル") + text("Demo model")
    out += text("テクスチャのリンク修復の練習用モデル") + text("A model to practise texture link repair on.")

    verts = [(0.0, 0.0, 0.0), (1.0, 0.0, 0.0), (0.0, 1.0, 0.0), (1.0, 1.0, 0.0)]
    out += i32(len(verts))
    for p in verts:
        out += floats(*p) + floats(0.0, 0.0, -1.0) + floats(p[0], 1.0 - p[1])
        out += u8(0) + i8(0)            # BDEF1, bone 0
        out += floats(1.0)              # edge scale

    faces = [0, 1, 2, 1, 3, 2]
    out += i32(len(faces))
    for f in faces:
        out += vidx(f)

    textures = ["tex\\body.png", "tex\\face.png", "toon\\toon01.png"]
    out += i32(len(textures))
    for t in textures:
        out += text(t)

    materials = [
        # name, english, texture, toon texture, face vertex count
        ("体", "body", 0, 2, 3),
        ("顔", "face", 1, 2, 3),
    ]
    out += i32(len(materials))
    for name, name_en, tex, toon, count in materials:
        out += text(name) + text(name_en)
        out += floats(1, 1, 1, 1, 0, 0, 0, 5, 0.5, 0.5, 0.5)
        out += u8(0x01)
        out += floats(0, 0, 0, 1, 1)
        out += i8(tex) + i8(-1) + u8(0)
        out += u8(0) + i8(toon)
        out += text("")
        out += i32(count)

    bones = [
        bone("全ての親", "", (0.0, 0.0, 0.0), -1),
        bone("センター", "center", (0.0, 8.0, 0.0), 0),
        bone("上半身", "", (0.0, 11.0, 0.0), 1),
        bone("首", "", (0.0, 15.0, 0.0), 2),
        bone("頭", "head", (0.0, 16.0, 0.0), 3, tail_bone=None),
        bone("左腕", "", (2.0, 14.5, 0.0), 2),
        bone("右腕", "", (-2.0, 14.5, 0.0), 2),
    ]
    out += i32(len(bones))
    for b in bones:
        out += b

    morphs = [
        ("まばたき", "", 1),
        ("あ", "a", 3),
        ("笑い", "", 1),
    ]
    out += i32(len(morphs))
    for name, name_en, panel in morphs:
        out += text(name) + text(name_en) + u8(panel) + u8(1)   # vertex morph
        out += i32(1) + vidx(3) + floats(0.0, -0.1, 0.0)

    frames = [
        ("Root", "Root", 1, [(0, 0)]),
        ("表情", "Exp", 1, [(1, 0), (1, 1), (1, 2)]),
        ("体(上)", "", 0, [(0, 2), (0, 3), (0, 4)]),
        ("腕", "", 0, [(0, 5), (0, 6)]),
    ]
    out += i32(len(frames))
    for name, name_en, special, elements in frames:
        out += text(name) + text(name_en) + u8(special) + i32(len(elements))
        for kind, index in elements:
            out += u8(kind) + i8(index)

    out += i32(0)   # rigid bodies
    out += i32(0)   # joints
    return bytes(out)


def files():
    return {
        "model.pmx": model(),
        os.path.join("textures", "body.png"): png((230, 190, 170)),
        os.path.join("textures", "face.png"): png((250, 220, 200)),
        os.path.join("toon", "toon01.png"): png((200, 200, 220)),
    }


def main():
    args = sys.argv[1:]
    check = "--check" in args
    args = [a for a in args if a != "--check"]
    root = args[0] if args else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "examples", "demo")
    stale = []
    for rel, data in files().items():
        path = os.path.join(root, rel)
        if check:
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        stale.append(rel)
            except OSError:
                stale.append(rel)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        print("out of date, run tools/make_demo_model.py: " + ", ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
