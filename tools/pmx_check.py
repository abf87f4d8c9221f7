#!/usr/bin/env python3
"""A separate PMX 2.0/2.1 parser for checking models the program writes.

  pmx_check.py FILE...              parse each file whole; exit 1 on the first fault
  pmx_check.py --scenarios PROGRAM  generate models, repair them with PROGRAM
                                    (answers piped in) and check every output

The parser walks every record of every section, soft bodies included, and
fails loudly on anything inconsistent: a length prefix running past the end,
a text that is not valid in the file's encoding, an unknown record kind, or
bytes left over behind the joints of a 2.0 file or behind the soft bodies of
a 2.1 file. It shares no code with the program.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile


class CheckError(Exception):
    pass


# ---------------------------------------------------------------- parsing

class _In:
    def __init__(self, data):
        self.d = data
        self.p = 0

    def take(self, n, what):
        if n < 0 or self.p + n > len(self.d):
            raise CheckError("%s at %d: %d bytes wanted, %d left" % (what, self.p, n, len(self.d) - self.p))
        b = self.d[self.p:self.p + n]
        self.p += n
        return b

    def u8(self, what):
        return self.take(1, what)[0]

    def i16(self, what):
        return struct.unpack("<h", self.take(2, what))[0]

    def i32(self, what):
        return struct.unpack("<i", self.take(4, what))[0]

    def floats(self, n, what):
        return struct.unpack("<%df" % n, self.take(4 * n, what))

    def count(self, what):
        n = self.i32(what + " count")
        if n < 0:
            raise CheckError("%s count %d is negative" % (what, n))
        return n


class Model:
    """What the checks compare. `fixed` holds every byte that the program must
    copy unchanged, as (field, bytes) pairs in file order."""

    def __init__(self):
        self.version = 0.0
        self.utf8 = False
        self.widths = ()
        self.textures = []
        self.bones = []    # (jp, en)
        self.morphs = []
        self.frames = []
        self.fixed = []
        self.soft_bodies = 0


def parse(data):
    r = _In(data)
    m = Model()
    if r.take(4, "signature") != b"PMX ":
        raise CheckError("not a PMX signature")
    m.version = r.floats(1, "version")[0]
    if abs(m.version - 2.0) > 1e-6 and abs(m.version - 2.1) > 1e-6:
        raise CheckError("version %r" % m.version)
    if r.u8("global count") != 8:
        raise CheckError("global count is not 8")
    g = r.take(8, "globals")
    if g[0] not in (0, 1):
        raise CheckError("text encoding %d" % g[0])
    m.utf8 = g[0] == 1
    add_uv = g[1]
    if add_uv > 4:
        raise CheckError("additional UV count %d" % add_uv)
    for w in g[2:]:
        if w not in (1, 2, 4):
            raise CheckError("index width %d" % w)
    wv, wt, wm, wb, wmo, wr = g[2:]
    m.widths = tuple(g[2:])
    m.fixed.append(("header", data[:r.p]))

    def text(what):
        n = r.i32(what + " length")
        raw = r.take(n, what)
        try:
            return raw.decode("utf-8" if m.utf8 else "utf-16-le")
        except UnicodeDecodeError as e:
            raise CheckError("%s at %d is not valid text: %s" % (what, r.p - n, e))

    def fixed(what, start):
        m.fixed.append((what, data[start:r.p]))

    s = r.p
    for what in ("model name", "English model name", "comment", "English comment"):
        text(what)
    fixed("model texts", s)

    s = r.p
    for i in range(r.count("vertex")):
        r.floats(8 + 4 * add_uv, "vertex %d" % i)
        kind = r.u8("deform type")
        sizes = {0: wb, 1: 2 * wb + 4, 2: 4 * wb + 16, 3: 2 * wb + 4 + 36, 4: 4 * wb + 16}
        if kind not in sizes:
            raise CheckError("vertex %d: deform type %d" % (i, kind))
        r.take(sizes[kind] + 4, "vertex %d deform" % i)
    n = r.i32("face count")
    if n < 0 or n % 3:
        raise CheckError("face index count %d" % n)
    r.take(n * wv, "faces")
    fixed("vertices and faces", s)

    for i in range(r.count("texture")):
        m.textures.append(text("texture %d" % i))

    s = r.p
    for i in range(r.count("material")):
        text("material %d name" % i)
        text("material %d English name" % i)
        r.take(44 + 1 + 20 + 2 * wt + 1, "material %d" % i)
        toon = r.u8("toon mode")
        if toon not in (0, 1):
            raise CheckError("material %d: toon mode %d" % (i, toon))
        r.take(wt if toon == 0 else 1, "toon")
        text("material %d memo" % i)
        if r.i32("face vertex count") % 3:
            raise CheckError("material %d: face vertex count" % i)
    fixed("materials", s)

    for i in range(r.count("bone")):
        m.bones.append((text("bone %d name" % i), text("bone %d English name" % i)))
        s = r.p
        r.take(12 + wb + 4, "bone %d" % i)
        flags = struct.unpack("<H", r.take(2, "bone flags"))[0]
        r.take(wb if flags & 0x0001 else 12, "bone tail")
        if flags & 0x0300:
            r.take(wb + 4, "inherit")
        if flags & 0x0400:
            r.take(12, "fixed axis")
        if flags & 0x0800:
            r.take(24, "local axes")
        if flags & 0x2000:
            r.take(4, "external parent")
        if flags & 0x0020:
            r.take(wb + 8, "IK")
            for k in range(r.count("IK link")):
                r.take(wb, "IK link")
                limit = r.u8("IK limit flag")
                if limit not in (0, 1):
                    raise CheckError("bone %d link %d: limit flag %d" % (i, k, limit))
                if limit:
                    r.take(24, "IK limits")
        fixed("bone %d" % i, s)

    offset_sizes = {0: wmo + 4, 1: wv + 12, 2: wb + 28, 8: wm + 1 + 112, 9: wmo + 4, 10: wr + 1 + 24}
    for k in range(3, 8):
        offset_sizes[k] = wv + 16
    for i in range(r.count("morph")):
        m.morphs.append((text("morph %d name" % i), text("morph %d English name" % i)))
        s = r.p
        r.u8("panel")
        kind = r.u8("morph kind")
        if kind not in offset_sizes:
            raise CheckError("morph %d: kind %d" % (i, kind))
        r.take(r.count("morph offset") * offset_sizes[kind], "morph %d offsets" % i)
        fixed("morph %d" % i, s)

    for i in range(r.count("frame")):
        m.frames.append((text("frame %d name" % i), text("frame %d English name" % i)))
        s = r.p
        if r.u8("special flag") not in (0, 1):
            raise CheckError("frame %d: special flag" % i)
        for k in range(r.count("frame element")):
            t = r.u8("element type")
            if t not in (0, 1):
                raise CheckError("frame %d element %d: type %d" % (i, k, t))
            r.take(wb if t == 0 else wmo, "element")
        fixed("frame %d" % i, s)

    s = r.p
    for i in range(r.count("rigid body")):
        text("rigid body %d name" % i)
        text("rigid body %d English name" % i)
        r.take(wb + 1 + 2 + 1 + 56 + 1, "rigid body %d" % i)
    for i in range(r.count("joint")):
        text("joint %d name" % i)
        text("joint %d English name" % i)
        if r.u8("joint type") > 5:
            raise CheckError("joint %d: type" % i)
        r.take(2 * wr + 96, "joint %d" % i)
    fixed("rigid bodies and joints", s)

    s = r.p
    if m.version > 2.05:
        m.soft_bodies = r.count("soft body")
        for i in range(m.soft_bodies):
            text("soft body %d name" % i)
            text("soft body %d English name" % i)
            r.take(1 + wm + 1 + 2 + 1 + 4 + 4 + 4 + 4 + 4, "soft body %d" % i)
            r.take(4 * (12 + 6) + 4 * 4 + 4 * 3, "soft body %d settings" % i)
            r.take(r.count("anchor") * (wr + wv + 1), "anchors")
            r.take(r.count("pin") * wv, "pins")
    fixed("soft bodies", s)
    if r.p != len(data):
        raise CheckError("%d bytes left over at %d" % (len(data) - r.p, r.p))
    return m


# ---------------------------------------------------------------- building

class Plan:
    """A generated model; texts are str and written in the chosen encoding."""

    def __init__(self, utf8=False, width=1, version=2.0):
        self.utf8 = utf8
        self.version = version
        self.add_uv = 2
        self.widths = [width] * 6
        self.textures = []
        self.bones = [("センター", "center"), ("左腕", ""), ("右ひじ", "elbow_R"), ("左腕捩", "")]
        self.morphs = [("あ", ""), ("まばたき", "blink"), ("?目", "")]
        self.frames = [("Root", "Root"), ("表情", "")]
        self.soft_bodies = 2 if version > 2.05 else 0
        self.bone_pos = {}  # bone index -> position, else (0.5 i, 10, 0)


def _idx(v, w):
    return struct.pack({1: "<b", 2: "<h", 4: "<i"}[w], v) if v < 0 else struct.pack({1: "<B", 2: "<H", 4: "<i"}[w], v)


def build(plan):
    wv, wt, wm, wb, wmo, wr = plan.widths

    def t(s):
        raw = s.encode("utf-8" if plan.utf8 else "utf-16-le")
        return struct.pack("<i", len(raw)) + raw

    o = bytearray(b"PMX ")
    o += struct.pack("<f", plan.version)
    o += bytes([8, 1 if plan.utf8 else 0, plan.add_uv] + plan.widths)
    o += t("テスト") + t("Test") + t("コメント\r\n2行") + t("comment")
    nverts = 5
    o += struct.pack("<i", nverts)
    for i in range(nverts):
        o += struct.pack("<8f", i, 0, 0, 0, 1, 0, 0.5, 0.5)
        o += struct.pack("<%df" % (4 * plan.add_uv), *([0.25] * 4 * plan.add_uv))
        kind = i % 5
        o += bytes([kind])
        if kind == 0:
            o += _idx(0, wb)
        elif kind == 1:
            o += _idx(0, wb) + _idx(1, wb) + struct.pack("<f", 0.5)
        elif kind in (2, 4):
            o += b"".join(_idx(k, wb) for k in range(4)) + struct.pack("<4f", 0.25, 0.25, 0.25, 0.25)
        else:
            o += _idx(0, wb) + _idx(1, wb) + struct.pack("<10f", 0.5, *range(9))
        o += struct.pack("<f", 1.0)
    faces = [0, 1, 2, 2, 3, 4]
    o += struct.pack("<i", len(faces)) + b"".join(_idx(v, wv) for v in faces)
    o += struct.pack("<i", len(plan.textures))
    for p in plan.textures:
        o += t(p)
    ntex = len(plan.textures)
    o += struct.pack("<i", 2)
    for i in range(2):
        o += t("材質%d" % i) + t("mat%d" % i)
        o += struct.pack("<11f", 1, 1, 1, 1, 0.5, 0.5, 0.5, 5, 0.2, 0.2, 0.2)
        o += bytes([0x1F]) + struct.pack("<5f", 0, 0, 0, 1, 1)
        o += _idx(i if i < ntex else -1, wt) + _idx(-1, wt) + bytes([0])
        o += bytes([0]) + _idx(ntex - 1 if ntex else -1, wt) if i == 0 else bytes([1, 3])
        o += t("memo") + struct.pack("<i", 3)
    o += struct.pack("<i", len(plan.bones))
    for i, (jp, en) in enumerate(plan.bones):
        o += t(jp) + t(en)
        o += struct.pack("<3f", *plan.bone_pos.get(i, (0.5 * i, 10, 0))) + _idx(i - 1, wb) + struct.pack("<i", 0)
        flags = [0x0001, 0x0020 | 0x0100, 0x0400 | 0x0800, 0x2000 | 0x0200 | 0x0400][i % 4]
        o += struct.pack("<H", flags | 0x001E)
        o += _idx(0, wb) if flags & 0x0001 else struct.pack("<3f", 0, 1, 0)
        if flags & 0x0300:
            o += _idx(0, wb) + struct.pack("<f", 0.5)
        if flags & 0x0400:
            o += struct.pack("<3f", 1, 0, 0)
        if flags & 0x0800:
            o += struct.pack("<6f", 1, 0, 0, 0, 0, 1)
        if flags & 0x2000:
            o += struct.pack("<i", 7)
        if flags & 0x0020:
            o += _idx(0, wb) + struct.pack("<if", 10, 1.0) + struct.pack("<i", 2)
            o += _idx(0, wb) + bytes([1]) + struct.pack("<6f", -1, 0, 0, 1, 0, 0)
            o += _idx(0, wb) + bytes([0])
    o += struct.pack("<i", len(plan.morphs) + 11)
    for i in range(len(plan.morphs) + 11):
        jp, en = plan.morphs[i] if i < len(plan.morphs) else ("モーフ%d" % i, "morph %d" % i)
        kind = i % 11
        o += t(jp) + t(en) + bytes([1 + i % 4, kind]) + struct.pack("<i", 2)
        for k in range(2):
            if kind in (0, 9):
                o += _idx(0, wmo) + struct.pack("<f", 0.5)
            elif kind == 1:
                o += _idx(k, wv) + struct.pack("<3f", 0, 0.1, 0)
            elif kind == 2:
                o += _idx(0, wb) + struct.pack("<7f", 0, 0, 0, 0, 0, 0, 1)
            elif kind <= 7:
                o += _idx(k, wv) + struct.pack("<4f", 0, 0, 0, 0)
            elif kind == 8:
                o += _idx(0, wm) + bytes([1]) + struct.pack("<28f", *([0.5] * 28))
            else:
                o += _idx(0, wr) + bytes([1]) + struct.pack("<6f", *([0.0] * 6))
    o += struct.pack("<i", len(plan.frames))
    for i, (jp, en) in enumerate(plan.frames):
        o += t(jp) + t(en) + bytes([1 if i == 0 else 0]) + struct.pack("<i", 2)
        o += bytes([0]) + _idx(0, wb) + bytes([1]) + _idx(1, wmo)
    o += struct.pack("<i", 2)
    for i in range(2):
        o += t("剛体%d" % i) + t("rigid%d" % i) + _idx(0, wb) + bytes([1]) + struct.pack("<h", -1)
        o += bytes([i]) + struct.pack("<14f", *([0.5] * 14)) + bytes([i])
    o += struct.pack("<i", 1)
    o += t("J") + t("joint") + bytes([0]) + _idx(0, wr) + _idx(1, wr) + struct.pack("<24f", *([0.0] * 24))
    if plan.version > 2.05:
        o += struct.pack("<i", plan.soft_bodies)
        for i in range(plan.soft_bodies):
            o += t("ソフト%d" % i) + t("soft%d" % i)
            o += bytes([0]) + _idx(0, wm) + bytes([1]) + struct.pack("<h", -1) + bytes([3])
            o += struct.pack("<ii ff i", 2, 0, 1.0, 0.05, 0)
            o += struct.pack("<18f", *([0.5] * 18)) + struct.pack("<4i", 1, 1, 0, 4)
            o += struct.pack("<3f", 1, 1, 1)
            o += struct.pack("<i", 2) + (_idx(0, wr) + _idx(1, wv) + bytes([0])) * 2
            o += struct.pack("<i", 3) + _idx(0, wv) + _idx(2, wv) + _idx(4, wv)
    return bytes(o)


# ---------------------------------------------------------------- scenarios

def _fill_name(jp):
    # With no rename rules, an empty English name takes the Japanese name
    # with every "?" turned into "_".
    return jp.replace("?", "_")


def _expect_fill(kind, i, jp, en_in, en_out, enc):
    if en_in:
        if en_out != en_in:
            raise CheckError("%s %d: English name %r became %r" % (kind, i, en_in, en_out))
        return
    want = _fill_name(jp)
    if en_out == want:
        return
    # A long name is filled from its held part, cut at a whole character.
    if len(en_out.encode(enc)) <= 254 and want.startswith(en_out) and len(en_out) > 0:
        return
    raise CheckError("%s %d: empty English name filled with %r, not %r" % (kind, i, en_out, want))


def _axis_at(src, record):
    # Offset of the fixed axis inside a bone record behind its names.
    wb = src.widths[3]
    flags = struct.unpack_from("<H", record, 12 + wb + 4)[0]
    at = 12 + wb + 4 + 2 + (wb if flags & 0x0001 else 12) + (wb + 4 if flags & 0x0300 else 0)
    if not flags & 0x0400:
        raise CheckError("bone has no fixed axis")
    return at


def compare(src, out, renewed, axes=None):
    """The output must equal the source outside the replaced fields (and the
    fixed axes in `axes`, bone index -> new axis), keep every Japanese name,
    fill every empty English name and carry the renewed paths."""
    axes = axes or {}
    if len(src.fixed) != len(out.fixed):
        raise CheckError("record layout differs from the source")
    for (a, x), (b, y) in zip(src.fixed, out.fixed):
        bone = int(a.split()[1]) if a.startswith("bone ") else -1
        if bone in axes:
            at = _axis_at(src, x)
            x = x[:at] + struct.pack("<3f", *axes.pop(bone)) + x[at + 12:]
        if a != b or x != y:
            raise CheckError("%s differs from the source" % a)
    if axes:
        raise CheckError("bones %s not found" % sorted(axes))
    enc = "utf-8" if src.utf8 else "utf-16-le"
    for kind, a, b in (("bone", src.bones, out.bones), ("morph", src.morphs, out.morphs),
                       ("frame", src.frames, out.frames)):
        if len(a) != len(b):
            raise CheckError("%s count differs" % kind)
        for i, ((jp, en), (jp2, en2)) in enumerate(zip(a, b)):
            if jp != jp2:
                raise CheckError("%s %d: Japanese name changed" % (kind, i))
            _expect_fill(kind, i, jp, en, en2, enc)
    if len(src.textures) != len(out.textures):
        raise CheckError("texture count differs")
    for i, (p, q) in enumerate(zip(src.textures, out.textures)):
        want = renewed.get(i, p)
        if q != want:
            raise CheckError("texture %d is %r, not %r" % (i, q, want))


def _run(program, cwd, args, answers):
    env = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_CTYPE", "LC_MESSAGES")}
    env["LANG"] = "C.UTF-8"  # English messages, UTF-8 console
    r = subprocess.run([program] + args, cwd=cwd, input=answers.encode(), capture_output=True,
                       timeout=120, env=env)
    return r.returncode, r.stdout.decode("utf-8", "replace")


def run_scenarios(program):
    work = tempfile.mkdtemp(prefix="qm-pmxcheck-")
    failures = 0
    try:
        # The program reads alias.ini beside itself: run a copy with none there.
        exe = os.path.join(work, "quillmend")
        shutil.copy(program, exe)
        scenarios = []
        for utf8 in (False, True):
            for width in (1, 2, 4):
                for version in (2.0, 2.1):
                    scenarios.append(("%s-w%d-v%s" % ("utf8" if utf8 else "utf16", width, version),
                                      Plan(utf8, width, version)))
        long_spec = Plan(False, 2, 2.1)
        long_spec.bones.append(("長" * 200, ""))          # 400 bytes of UTF-16LE
        long_spec.bones.append(("x" * 300, "y" * 300))    # both names past a name buffer
        long_spec.morphs.append(("あ" * 100, ""))         # fill-in longer than a buffer holds
        long_spec.frames.append(("表" * 130, ""))
        scenarios.append(("long-names-utf16", long_spec))
        long8 = Plan(True, 4, 2.0)
        long8.bones = long_spec.bones
        long8.morphs = long_spec.morphs
        long8.frames = long_spec.frames
        scenarios.append(("long-names-utf8", long8))
        for utf8 in (False, True):
            # Bone 3, the left arm twist, holds a fixed axis across the arm.
            twist = Plan(utf8, 2, 2.0)
            twist.bones = [("左腕", ""), ("左ひじ", "elbow_L"), ("左手首", ""), ("左腕捩", ""), ("x", "")]
            twist.bone_pos = {0: (0, 10, 0), 1: (0, 8, 0), 2: (0, 6, 0)}
            scenarios.append(("twist-%s" % ("utf8" if utf8 else "utf16"), twist))
        for name, plan in scenarios:
            d = os.path.join(work, name)
            os.makedirs(os.path.join(d, "textures"))
            os.makedirs(os.path.join(d, "toon"))
            for f in ("body.png", "顔.png", "髪 2.bmp"):
                open(os.path.join(d, "textures", f), "wb").close()
            open(os.path.join(d, "toon", "t.bmp"), "wb").close()
            plan.textures = ["tex\\body.png", "tex\\顔.png", "toon\\t.bmp", "tex\\髪 2.bmp"]
            data = build(plan)
            src = parse(data)
            with open(os.path.join(d, "a.pmx"), "wb") as fh:
                fh.write(data)
            # Yes to the repair, OK to the not-found box, the file, then the
            # other broken links follow the learned folder move.
            args, answers, axes = ["a.pmx"], "y\nok\ntextures/body.png\n", None
            if name.startswith("twist"):
                # Yes to the twist-axis question first.
                args, answers, axes = ["-T", "a.pmx"], "y\n" + answers, {3: (0.0, -1.0, 0.0)}
            rc, out = _run(exe, d, args, answers)
            target = os.path.join(d, "a-new.pmx")
            try:
                if rc != 0 or not os.path.exists(target):
                    raise CheckError("program ended with %d and wrote no a-new.pmx:\n%s" % (rc, out[-2000:]))
                with open(target, "rb") as fh:
                    written = parse(fh.read())
                compare(src, written, {0: "textures\\body.png", 1: "textures\\顔.png", 3: "textures\\髪 2.bmp"},
                        axes)
                if "Save OK. \n" not in out:
                    raise CheckError("no \"Save OK.\" line")
                print("ok   %s" % name)
            except CheckError as e:
                failures += 1
                print("FAIL %s: %s" % (name, e))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return failures


def main(argv):
    if len(argv) == 3 and argv[1] == "--scenarios":
        return 1 if run_scenarios(argv[2]) else 0
    if len(argv) < 2:
        print(__doc__.strip())
        return 2
    bad = 0
    for path in argv[1:]:
        with open(path, "rb") as fh:
            data = fh.read()
        try:
            m = parse(data)
            print("%s: PMX %.1f, %s, widths %s, %d textures, %d bones, %d morphs, %d frames, %d soft bodies" % (
                path, m.version, "UTF-8" if m.utf8 else "UTF-16LE", m.widths, len(m.textures),
                len(m.bones), len(m.morphs), len(m.frames), m.soft_bodies))
        except CheckError as e:
            print("%s: %s" % (path, e))
            bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
