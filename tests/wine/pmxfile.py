"""Minimal PMX 2.0 models for the Windows run, and a splitter that finds the
fields the program may rewrite (texture table, bone/morph/frame names) so the
rest of a written file can be compared byte for byte with its source."""
import struct


def _text(s, utf8):
    raw = s.encode("utf-8" if utf8 else "utf-16-le")
    return struct.pack("<i", len(raw)) + raw


def build(textures, utf8=False, bones=None, morphs=None, frames=None, names=("テストモデル", "Test model")):
    """A small valid model: 3 vertices (deform type 0), one face, the given
    texture paths, one material, bones, morphs and frames as (jp, en) pairs,
    no rigid bodies or joints. Index widths are 1 byte (vertex) and 1 byte."""
    bones = bones if bones is not None else [("センター", "center"), ("左腕", "")]
    morphs = morphs if morphs is not None else [("あ", ""), ("まばたき", "blink")]
    frames = frames if frames is not None else [("Root", "Root"), ("表情", "")]
    t = lambda s: _text(s, utf8)
    out = bytearray(b"PMX ")
    out += struct.pack("<f", 2.0)
    # globals: count, encoding, add-UV, widths of vertex/texture/material/bone/morph/rigid
    out += bytes([8, 1 if utf8 else 0, 0, 1, 1, 1, 1, 1, 1])
    out += t(names[0]) + t(names[1]) + t("コメント") + t("comment")
    verts = [(0, 0, 0), (1, 0, 0), (0, 1, 0)]
    out += struct.pack("<i", len(verts))
    for i, p in enumerate(verts):
        out += struct.pack("<8f", *p, 0, 0, -1, p[0], p[1])
        out += bytes([0, 0])  # BDEF1, bone 0
        out += struct.pack("<f", 1.0)
    out += struct.pack("<i", 3) + bytes([0, 1, 2])
    out += struct.pack("<i", len(textures))
    for p in textures:
        out += t(p)
    out += struct.pack("<i", 1)
    out += t("材質1") + t("mat1")
    out += struct.pack("<11f", 1, 1, 1, 1, 0.5, 0.5, 0.5, 5, 0.2, 0.2, 0.2)
    out += bytes([0x1F])
    out += struct.pack("<5f", 0, 0, 0, 1, 1)
    tex1 = 1 if len(textures) > 1 else 0xFF
    out += bytes([0 if textures else 0xFF, tex1, 1, 1, 0])  # texture, sphere, mode, shared toon 0
    out += t("") + struct.pack("<i", 3)
    out += struct.pack("<i", len(bones))
    for i, (jp, en) in enumerate(bones):
        out += t(jp) + t(en)
        out += struct.pack("<3f", 0, i, 0)
        out += bytes([0xFF if i == 0 else 0]) + struct.pack("<i", 0)
        out += struct.pack("<H", 0x001E)  # rotate, move, visible, enabled; tail offset follows
        out += struct.pack("<3f", 0, 1, 0)
    out += struct.pack("<i", len(morphs))
    for jp, en in morphs:
        out += t(jp) + t(en)
        out += bytes([1, 1]) + struct.pack("<i", 1)  # vertex morph, one offset
        out += bytes([0]) + struct.pack("<3f", 0, 0.1, 0)
    out += struct.pack("<i", len(frames))
    for i, (jp, en) in enumerate(frames):
        out += t(jp) + t(en) + bytes([1 if i == 0 else 0]) + struct.pack("<i", 1)
        out += bytes([0, 0]) if i == 0 else bytes([1, 0])
    out += struct.pack("<i", 0) + struct.pack("<i", 0)
    return bytes(out)


class _Reader:
    def __init__(self, data):
        self.d, self.p = data, 0

    def take(self, n):
        if self.p + n > len(self.d):
            raise ValueError("model ends early at %d" % self.p)
        b = self.d[self.p:self.p + n]
        self.p += n
        return b

    def i32(self):
        return struct.unpack("<i", self.take(4))[0]

    def text(self):
        n = self.i32()
        return self.take(n)


def split(data):
    """Cut a model into ('keep', bytes) and ('name'/'textures', value) pieces in
    file order. Two files are equal outside the rewritable fields when their
    'keep' pieces are equal."""
    r = _Reader(data)
    pieces = []
    mark = 0

    def keep_to(pos):
        nonlocal mark
        pieces.append(("keep", data[mark:pos]))
        mark = pos

    def rewritable(kind, value):
        nonlocal mark
        pieces.append((kind, value))
        mark = r.p

    r.take(9)
    utf8 = r.d[9] != 0
    g = r.take(8)
    wv, wt, wm, wb, wmo, wr = g[2], g[3], g[4], g[5], g[6], g[7]
    dec = (lambda b: b.decode("utf-8")) if utf8 else (lambda b: b.decode("utf-16-le"))
    for _ in range(4):
        r.text()
    for _ in range(r.i32()):
        r.take(32 + 16 * g[1] + 0)
        k = r.take(1)[0]
        r.take({0: wb, 1: 2 * wb + 4, 2: 4 * wb + 16, 3: 2 * wb + 40, 4: 4 * wb + 16}[k])
        r.take(4)
    r.take(r.i32() * wv)
    keep_to(r.p)
    texs = [dec(r.text()) for _ in range(r.i32())]
    rewritable("textures", texs)
    for _ in range(r.i32()):
        r.text(), r.text()
        r.take(44 + 1 + 20 + 2 * wt + 1)
        r.take(wt if r.take(1)[0] == 0 else 1)
        r.text()
        r.take(4)

    def names(kind):
        keep_to(r.p)
        jp = dec(r.text())
        en = dec(r.text())
        rewritable(kind, (jp, en))

    for _ in range(r.i32()):
        names("bone")
        r.take(12 + wb + 4)
        flags = struct.unpack("<H", r.take(2))[0]
        r.take(wb if flags & 1 else 12)
        if flags & 0x300:
            r.take(wb + 4)
        if flags & 0x400:
            r.take(12)
        if flags & 0x800:
            r.take(24)
        if flags & 0x2000:
            r.take(4)
        if flags & 0x20:
            r.take(wb + 8)
            for _ in range(r.i32()):
                r.take(wb)
                if r.take(1)[0] == 1:
                    r.take(24)
    for _ in range(r.i32()):
        names("morph")
        r.take(1)
        kind = r.take(1)[0]
        size = {0: wmo + 4, 1: wv + 12, 2: wb + 28, 8: wm + 1 + 112, 9: wmo + 4, 10: wr + 25}.get(kind, wv + 16)
        r.take(r.i32() * size)
    for _ in range(r.i32()):
        names("frame")
        r.take(1)
        for _ in range(r.i32()):
            r.take(wb if r.take(1)[0] == 0 else wmo)
    keep_to(len(data))
    return pieces


def kept(data):
    return [v for k, v in split(data) if k == "keep"]


def fields(data, kind):
    return [v for k, v in split(data) if k == kind]
