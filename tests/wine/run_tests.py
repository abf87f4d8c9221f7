#!/usr/bin/env python3
"""Runs the Windows build of the program under Wine, answers its real boxes and
dialogs, and checks stdout, the exit code, the traced box calls and the files.

usage: run_tests.py path/to/quillmend.exe [-k substring] [-v]
Work files go to build-wine/ beside the source tree (the prefix is kept)."""
import argparse
import os
import shutil
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_imports  # noqa: E402
import pmxfile  # noqa: E402
import winebox  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(HERE))
CAPTION = b"Quillmend"
MB_OK, MB_OKCANCEL, MB_YESNOCANCEL, MB_YESNO = "00040040", "00040041", "00040043", "00040044"
FAILED = 0xFFFFFFFF  # MessageBox's -1 as the trace shows it


def winpath(p):
    return "Z:" + os.path.abspath(p).replace("/", "\\")


def console(s, enc="cp932"):
    """A message as it reaches stdout once the \\r the C runtime adds are gone."""
    return (s.encode(enc) if isinstance(s, str) else s).replace(b"\r", b"")


def expect_in_order(out, fragments, enc="cp932"):
    pos = 0
    for f in fragments:
        b = console(f, enc)
        i = out.find(b, pos)
        if i < 0:
            near = out[pos:pos + 300].decode(enc, "replace")
            raise AssertionError("missing %r after offset %d; output there:\n%s" % (b.decode(enc, "replace"), pos, near))
        pos = i + len(b)


def expect_absent(out, fragments, enc="cp932"):
    for f in fragments:
        if console(f, enc) in out:
            raise AssertionError("unexpected %r in output" % f)


def expect_calls(run, want):
    """want: (function, text or None, flags or None, result or None) per call."""
    got = run.calls
    names = [c[0] for c in got]
    if len(got) != len(want):
        raise AssertionError("box/dialog calls %s, expected %s" % (names, [w[0] for w in want]))
    for i, (g, w) in enumerate(zip(got, want)):
        fn, text, flags, result = w
        if g[0] != fn:
            raise AssertionError("call %d is %s, expected %s" % (i, g[0], fn))
        if text is not None:
            if g[4][0] and text.startswith(g[1][0]) and len(g[1][0]) >= 40:
                pass  # the trace holds only the start of a long text
            elif g[1][0] != text:
                raise AssertionError("call %d (%s) text %r, expected %r" % (i, fn, g[1][0], text))
            if g[1][1] != (CAPTION if isinstance(text, bytes) else CAPTION.decode()):
                raise AssertionError("call %d caption %r" % (i, g[1][1]))
        if flags is not None and g[2] != flags:
            raise AssertionError("call %d (%s) style %s, expected %s" % (i, fn, g[2], flags))
        if result is not None and g[3] != result:
            raise AssertionError("call %d (%s) returned %s, expected %s" % (i, fn, g[3], result))


def check(cond, msg):
    if not cond:
        raise AssertionError(msg)


# ---- texts the program shows (English unless said) ---------------------------
def all_ok_report(name):
    return " All the links in the model \r\n %s \r\n are correct. \r\n \r\n No broken settings found. " % name


def question(count):
    return (" Broken settings of \r\n %d texture link(s) are found. \r\n \r\n"
            " Do you like to fix them?  (Y/N/Cancel) \r\n" % count)


def not_found(name, folder):
    return (" Texture, toon, or sphere: \r\n \r\n %s \r\n   in folder: %s \r\n \r\n was not found.  \r\n"
            " Please select it on the next dialogue. (continue:OK) \r\n" % (name, folder))


def saved(name):
    return " Fixed model file  \r\n \r\n %s \r\n \r\n was saved. \r\n" % name


def uncorrected(name):
    return " The model \r\n %s \r\n was uncorrected. \r\n" % name


# ---- the fixture ------------------------------------------------------------------
class Suite:
    def __init__(self, exe, work, wine, verbose):
        self.exe_src = exe
        self.work = work
        self.wine = wine
        self.verbose = verbose
        self.bin = os.path.join(work, "bin")
        self.exe = os.path.join(self.bin, "quillmend.exe")

    def setup(self):
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.bin)
        shutil.copy(self.exe_src, self.exe)

    def model(self, rel, textures, files=(), utf8=False, **fields):
        """Writes a model and the image files (relative to its folder) that exist."""
        path = os.path.join(self.work, rel)
        folder = os.path.dirname(path)
        os.makedirs(folder, exist_ok=True)
        data = pmxfile.build(textures, utf8=utf8, **fields)
        with open(path, "wb") as f:
            f.write(data)
        for img in files:
            p = os.path.join(folder, img.replace("\\", "/"))
            os.makedirs(os.path.dirname(p), exist_ok=True)
            with open(p, "wb") as f:
                f.write(b"\x89PNG\r\n\x1a\n")
        return path, data

    def run(self, args, answers=(), exe=None, **kw):
        r = self.wine.run(exe or self.exe, [winpath(a) if os.path.isabs(a) else a for a in args],
                          cwd=self.bin, answers=answers, **kw)
        if self.verbose:
            print(r.out.decode("cp932", "replace"))
            for c in r.calls:
                print("   ", c)
        return r


def check_written(src_path, src_data, new_path, textures):
    """The new file equals the source outside the replaced fields; the source is
    untouched; names are written back and empty English names filled."""
    with open(src_path, "rb") as f:
        check(f.read() == src_data, "source model was modified")
    check(os.path.exists(new_path), "%s was not written" % os.path.basename(new_path))
    with open(new_path, "rb") as f:
        new = f.read()
    check(pmxfile.kept(new) == pmxfile.kept(src_data), "new model differs outside the replaced fields")
    check(pmxfile.fields(new, "textures") == [textures], "texture table %r" % pmxfile.fields(new, "textures"))
    for kind in ("bone", "morph", "frame"):
        for (jp0, en0), (jp1, en1) in zip(pmxfile.fields(src_data, kind), pmxfile.fields(new, kind)):
            check(jp1 == jp0, "%s name %r became %r" % (kind, jp0, jp1))
            # No alias.ini beside the program: an empty English name gets the
            # Japanese one, an existing one stays.
            check(en1 == (en0 or jp0), "%s %r English name %r, expected %r" % (kind, jp0, en1, en0 or jp0))


# ---- scenarios --------------------------------------------------------------------
def t_all_links_ok(s):
    m, data = s.model("ok/a.pmx", ["tex\\a.png", "tex\\toon.bmp"], ["tex\\a.png", "tex\\toon.bmp"])
    r = s.run([m], [("box", "Return")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, ["Quillmend  V1.02  ", " on Windows 7 ", "(English mode) \n",
                            " -- correctly opened in ANSI or UTF-8. \n",
                            "pmx dir: %s\\ \n" % winpath(os.path.dirname(m)),
                            "0: tex\\a.png (ok)\n", "1: tex\\toon.bmp (ok)\n\n",
                            all_ok_report("a.pmx")])
    expect_absent(r.out, ["(=NG=)", " => ", "Error code"])
    expect_calls(r, [("MessageBoxA", all_ok_report("a.pmx").encode(), MB_OK, 1)])
    check(not os.path.exists(os.path.join(os.path.dirname(m), "a-new.pmx")), "a-new.pmx written")


def t_alias_file_beside_program(s):
    alias = os.path.join(ROOT, "examples", "alias.ini")
    if not os.path.exists(alias):
        return "skipped: examples/alias.ini missing"
    other = os.path.join(s.work, "bin-alias")
    os.makedirs(other)
    shutil.copy(s.exe, other)
    shutil.copy(alias, other)
    m, _ = s.model("alias/a.pmx", ["a.png"], ["a.png"])
    r = s.run([m], [("box", "Return")], exe=os.path.join(other, "quillmend.exe"))
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, ["Alias file found. \n", "Alias file read-in. \n",
                            "  => Replace def. bone  strings: ", "0: a.png (ok)\n", all_ok_report("a.pmx")])


def t_repair_yes_two_models(s):
    a, a_data = s.model("fix/a.pmx", ["tex\\a.png", "tex\\b.png", "toon01.bmp"],
                        ["textures\\a.png", "textures\\b.png", "toon01.bmp"])
    c, c_data = s.model("fix2/c.pmx", ["tex\\c.png"], ["textures\\c.png"], utf8=True)
    chosen = os.path.join(os.path.dirname(a), "textures", "a.png")
    r = s.run([a, c], [("box", "y"), ("box", "Return"),
                       ("dialog", winpath(chosen), "Searching for:  tex\\a.png"),
                       ("box", "Return"), ("box", "y"), ("box", "Return")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, [
        "0: tex\\a.png (=NG=)\n1: tex\\b.png (=NG=)\n2: toon01.bmp (ok)\n\n", question(2), " => YES \n",
        "--- \n0: tex\\a.png \n", not_found("a.png", "tex\\"), " => OK \n", "\n => (renew) textures\\a.png \n",
        "1: tex\\b.png (inferred) => (renew) textures\\b.png \n", "2: toon01.bmp (ok)\n\n",
        "Saving in ANSI/UTF-8 mode. \n", "Save OK. \n", saved("a-new.pmx"),
        # the folder move learned on the first model serves the second
        "0: tex\\c.png (=NG=)\n", question(1), " => YES \n",
        "0: tex\\c.png (inferred) => (renew) textures\\c.png \n", "Save OK. \n", saved("c-new.pmx")])
    expect_calls(r, [("MessageBoxA", question(2).encode(), MB_YESNOCANCEL, 6),
                     ("MessageBoxA", not_found("a.png", "tex\\").encode(), MB_OKCANCEL, 1),
                     ("GetOpenFileNameA", None, None, 1),
                     ("MessageBoxA", saved("a-new.pmx").encode(), MB_OK, 1),
                     ("MessageBoxA", question(1).encode(), MB_YESNOCANCEL, 6),
                     ("MessageBoxA", saved("c-new.pmx").encode(), MB_OK, 1)])
    check_written(a, a_data, os.path.join(os.path.dirname(a), "a-new.pmx"),
                  ["textures\\a.png", "textures\\b.png", "toon01.bmp"])
    check_written(c, c_data, os.path.join(os.path.dirname(c), "c-new.pmx"), ["textures\\c.png"])


def t_repair_no(s):
    m, data = s.model("no/a.pmx", ["tex\\a.png"], ["textures\\a.png"])
    r = s.run([m], [("box", "n"), ("box", "Return")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, ["0: tex\\a.png (=NG=)\n", question(1), " => NO \n", uncorrected("a.pmx")])
    expect_absent(r.out, ["--- \n", "Saving"])
    expect_calls(r, [("MessageBoxA", question(1).encode(), MB_YESNOCANCEL, 7),
                     ("MessageBoxA", uncorrected("a.pmx").encode(), MB_OK, 1)])
    check(not os.path.exists(os.path.join(os.path.dirname(m), "a-new.pmx")), "a-new.pmx written")


def t_cancel_question_ends_run(s):
    m, _ = s.model("cq/a.pmx", ["tex\\a.png"], ["textures\\a.png"])
    m2, _ = s.model("cq2/a.pmx", ["a.png"], ["a.png"])
    r = s.run([m, m2], [("box", "Escape")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, [question(1), " => Cancel \n"])
    expect_absent(r.out, ["--- \n", "uncorrected", "Error code", "pmx dir: %s" % winpath(os.path.dirname(m2))])
    expect_calls(r, [("MessageBoxA", None, MB_YESNOCANCEL, 2)])


def t_cancel_not_found_box_and_dialog(s):
    m, _ = s.model("cd/a.pmx", ["tex\\a.png"], ["textures\\a.png"])
    r = s.run([m], [("box", "y"), ("box", "Escape")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, [" => YES \n", not_found("a.png", "tex\\"), " => Cancel \n"])
    expect_calls(r, [("MessageBoxA", None, MB_YESNOCANCEL, 6), ("MessageBoxA", None, MB_OKCANCEL, 2)])
    r = s.run([m], [("box", "y"), ("box", "Return"), ("dialog", "Escape", "Searching for:  tex\\a.png")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, [" => OK \n", "\nCanceled File-Open Dialog Box. (stat=0000).\n",
                            "\nCannot find tex(0) again:  \n"])
    expect_absent(r.out, ["Saving", "(renew)"])
    expect_calls(r, [("MessageBoxA", None, None, 6), ("MessageBoxA", None, None, 1),
                     ("GetOpenFileNameA", None, None, 0)])
    check(not os.path.exists(os.path.join(os.path.dirname(m), "a-new.pmx")), "a-new.pmx written")
    # With -A a cancelled dialog leaves only its own link broken, and the rest is saved.
    g, g_data = s.model("cg/a.pmx", ["tex\\gone.png", "tex\\b.png"], ["textures\\b.png"])
    r = s.run(["-A", g], [("box", "y"), ("box", "Return"), ("dialog", "Escape", "Searching for:  tex\\gone.png"),
                          ("box", "Return")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, [" (Cancel the dialogue to leave this link broken.) \r\n", " => OK \n",
                            "\nCanceled File-Open Dialog Box. (stat=0000).\n", "\n => (left broken) \n",
                            "1: tex\\b.png (found: moved) => (renew) textures\\b.png \n", "Save OK. \n",
                            " 1 texture link(s) are left broken. \r\n"])
    expect_absent(r.out, ["Cannot find tex("])
    check_written(g, g_data, os.path.join(os.path.dirname(g), "a-new.pmx"), ["tex\\gone.png", "textures\\b.png"])


def t_extension_declined(s):
    m, _ = s.model("ext/model.bin", ["a.png"], ["a.png"])
    m2, _ = s.model("ext2/b.pmx", ["a.png"], ["a.png"])
    r = s.run([m, m2], [("box", "Escape")])
    check(r.rc == 16, "exit code %s, expected 16" % r.rc)
    box = (" Model: \r\n   model.bin \r\n does not have extension \".PMX\" in the file name. \r\n"
           " \r\n Do you like to continue? ")
    expect_in_order(r.out, [" Model: \n", "   model.bin \n",
                            " does not have extension \".PMX\" in the file name. \n", " Do you like to continue? \n",
                            "The conversion for this file was skipped (or aborted). \n",
                            "\nError code 16. \n"])
    # Not the last model: the nothing-modified line is left out.
    expect_absent(r.out, ["No file was modified.", "pmx dir:"])
    expect_calls(r, [("MessageBoxA", box.encode(), MB_OKCANCEL, 2)])
    r = s.run([m], [("box", "Escape")])
    check(r.rc == 16, "exit code %s, expected 16" % r.rc)
    expect_in_order(r.out, ["The conversion for this file was skipped (or aborted). \n", " \n",
                            "No file was modified. \n", "\n", "Error code 16. \n"])


def t_no_argument_dialog(s):
    r = s.run([], [("dialog", "Escape", "Open MMD Model File")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, ["\nNo dropped PMX file detected. \n", " Please select PMX file(s). \n",
                            "\nCanceled File-Open Dialog Box. (stat=0000).\n",
                            "Usage \n", "   Quillmend <pmxFileName>.pmx \n"])
    expect_calls(r, [("GetOpenFileNameW", None, None, 0)])
    # The same start with a model picked: it is processed as the only model.
    m, _ = s.model("pick/a.pmx", ["a.png"], ["a.png"])
    r = s.run([], [("dialog", winpath(m), "Open MMD Model File"), ("box", "Return")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, [" -- correctly opened in ANSI or UTF-8. \n",
                            "pmx dir: %s\\ \n" % winpath(os.path.dirname(m)), "0: a.png (ok)\n",
                            all_ok_report("a.pmx")])
    expect_absent(r.out, ["Usage"])


def t_utf16_folder(s):
    # Hangul has no code in Shift-JIS: the ANSI road fails, the UTF-16 one carries.
    m, data = s.model("u16/모델/모델.pmx", ["tex\\a.png", "tex\\b.png"], ["textures\\a.png", "textures\\b.png"])
    folder = os.path.dirname(m)
    r = s.run([m], [("box", "y"), ("box", "Return"),
                    # relative to the folder the dialog starts in: the model's
                    ("dialog", "textures\\a.png", winpath(os.path.join(folder, "tex", "a.png"))),
                    ("box", "Return")], lang="ja_JP.UTF-8")
    check(r.rc == 0, "exit code %s" % r.rc)
    # Japanese user but no console (code page 0): English texts.
    expect_in_order(r.out, ["(English mode) \n", " -- could not open in ANSI or UTF-8. \n",
                            " -- correctly opened in UTF-16. \n", "Re-opening in UTF-16. \n",
                            "0: tex\\a.png (=NG=)\n", question(2), " => YES \n", " => OK \n",
                            "\n => (renew) textures\\a.png \n",
                            "1: tex\\b.png (inferred) => (renew) textures\\b.png \n",
                            # the console's ANSI copy names the new file by its ANSI on-disk
                            # name, which the search cannot find through a folder of '?'
                            "Saving in UTF-16 mode. \n", "Save OK. \n", saved("")])
    # the box names the file in its UTF-16 form
    expect_calls(r, [("MessageBoxW", question(2), MB_YESNOCANCEL, 6),
                     ("MessageBoxW", not_found("a.png", "tex\\"), MB_OKCANCEL, 1),
                     ("GetOpenFileNameW", None, None, 1),
                     ("MessageBoxW", saved("모델-new.pmx"), MB_OK, 1)])
    check_written(m, data, os.path.join(folder, "모델-new.pmx"), ["textures\\a.png", "textures\\b.png"])


def t_japanese_utf16_boxes(s):
    # Japanese message mode on the UTF-16 road: Japanese fragments and the
    # UTF-16 file name in one box text.
    m, _ = s.model("ju16/모델/모델.pmx", ["tex\\a.png"], ["textures\\a.png"])
    r = s.run([m], [("box", "n"), ("box", "Return")], lang="ja_JP.UTF-8", console=True)
    check(r.rc == 0, "exit code %s" % r.rc)
    q = (" モデル： \r\n 모델.pmx \r\n 中の \r\n 1 個のテクスチャへのリンクが \r\n 破損している模様です. \r\n"
         " \r\n 修復しますか？ (Y/N/Cancel) \r\n")
    no = " モデル： \r\n 모델.pmx \r\n は修復しませんでした. \r\n"
    expect_in_order(r.out, ["(日本語環境) \n", "Re-opening in UTF-16. \n", " => NO \n", " モデル： \r\n",
                            " は修復しませんでした. \r\n"])
    expect_calls(r, [("MessageBoxW", q, MB_YESNOCANCEL, 7), ("MessageBoxW", no, MB_OK, 1)])


def t_japanese_mode(s):
    m, data = s.model("jp/日本語/モデル.pmx", ["tex\\a.png", "tex\\b.png"], ["textures\\a.png", "textures\\b.png"])
    folder = os.path.dirname(m)
    r = s.run([m], [("box", "y"), ("box", "Return"),
                    ("dialog", "textures\\a.png", "Searching for:  tex\\a.png"), ("box", "Return")],
              lang="ja_JP.UTF-8", console=True)
    check(r.rc == 0, "exit code %s" % r.rc)
    q = (" モデル： \r\n モデル.pmx \r\n 中の \r\n 2 個のテクスチャへのリンクが \r\n 破損している模様です. \r\n"
         " \r\n 修復しますか？ (Y/N/Cancel) \r\n")
    nf = (" テクスチャ/トゥーン/スフィア: \r\n \r\n フォルダ tex\\ 内に、 \r\n a.png \r\n \r\n"
          " が見つからないため、 \r\n 次のダイアログで探します。 (続行:OK) \r\n")
    ok = " 設定を修復し、 \r\n \r\n モデル-new.pmx \r\n \r\n へ保存しました. \r\n"
    # stdout carries Shift-JIS bytes, as a code page 932 console shows them
    expect_in_order(r.out, ["(日本語環境) \n", " -- correctly opened in ANSI or UTF-8. \n", q, " => YES \n",
                            nf, " => OK \n", "\n => (renew) textures\\a.png \n",
                            "1: tex\\b.png (類推しました) => (renew) textures\\b.png \n",
                            "Saving in ANSI/UTF-8 mode. \n", "Save OK. \n", ok])
    expect_calls(r, [("MessageBoxA", q.encode("cp932"), MB_YESNOCANCEL, 6),
                     ("MessageBoxA", nf.encode("cp932"), MB_OKCANCEL, 1),
                     ("GetOpenFileNameA", None, None, 1),
                     ("MessageBoxA", ok.encode("cp932"), MB_OK, 1)])
    check_written(m, data, os.path.join(folder, "モデル-new.pmx"), ["textures\\a.png", "textures\\b.png"])


def t_utf8_console(s):
    # Japanese user, console code page 65001: the start-up tag in UTF-8, English
    # texts, and the extension box without the name.
    m, _ = s.model("cp65001/model.bin", ["a.png"], ["a.png"])
    r = s.run([m], [("box", "Escape")], lang="ja_JP.UTF-8", console=True, codepage=65001)
    check(r.rc == 16, "exit code %s, expected 16" % r.rc)
    box = (" The model file \r\n does not have extension \".PMX\" in the file name. \r\n"
           " \r\n Do you like to continue? ")
    expect_in_order(r.out, ["(UTF-8日本語環境) \n".encode("utf-8"), " Model: \n", "   model.bin \n",
                            "The conversion for this file was skipped (or aborted). \n", "Error code 16. \n"])
    expect_calls(r, [("MessageBoxA", box.encode(), MB_OKCANCEL, 2)])


def t_windows10_version_line(s):
    # The prefix reports Windows 10 to this exe name only (AppDefaults).
    exe10 = os.path.join(s.bin, "qm-win10.exe")
    shutil.copy(s.exe, exe10)
    m, _ = s.model("w10/a.pmx", [], [])
    r = s.run([m], [("box", "Return")], exe=exe10)
    check(r.rc == 0, "exit code %s" % r.rc)
    # 10 + (0 + 18362 / 100000) / 10, six significant digits
    expect_in_order(r.out, [" on Windows 10.0184 ", "pmx dir: ", "\n\n", all_ok_report("a.pmx")])


def t_boxes_without_display(s):
    # Without an X display MessageBox fails (-1) and the dialog fails with
    # extended error 0; a failed box counts as Yes/OK, silently.
    s.wine.kill_server()
    try:
        m, _ = s.model("headless/ok.pmx", ["a.png"], ["a.png"])
        r = s.run([m], display=False)
        check(r.rc == 0, "exit code %s" % r.rc)
        expect_in_order(r.out, ["0: a.png (ok)\n", all_ok_report("ok.pmx")])
        expect_absent(r.out, [" => "])
        expect_calls(r, [("MessageBoxA", None, MB_OK, FAILED)])
        b, _ = s.model("headless/b.pmx", ["tex\\a.png"], ["textures\\a.png"])
        r = s.run([b], display=False)
        check(r.rc == 0, "exit code %s" % r.rc)
        expect_in_order(r.out, [question(1), "\n--- \n0: tex\\a.png ", not_found("a.png", "tex\\"),
                                "\nCanceled File-Open Dialog Box. (stat=0000).\n",
                                "\nCannot find tex(0) again:  \n"])
        expect_absent(r.out, [" => "])
        expect_calls(r, [("MessageBoxA", None, MB_YESNOCANCEL, FAILED),
                         ("MessageBoxA", None, MB_OKCANCEL, FAILED), ("GetOpenFileNameA", None, None, 0)])
        check(not os.path.exists(os.path.join(os.path.dirname(b), "b-new.pmx")), "b-new.pmx written")
    finally:
        s.wine.kill_server()


def t_auto_search(s):
    # -A: moved, converted and mangled names are found without a box or a
    # dialog; a name outside Shift-JIS is written in its UTF-16 form; the shared
    # toon is kept. Wine's disk ignores letter case, so the case rule is moot here.
    mangled = "テクスチャ\\服.png".encode("cp932").decode("cp437")  # âeâNâXâ`ââ\ò₧.png
    textures = ["tex\\a.png", "tex\\b.png", "tex\\c.bmp", "テクスチャ\\服.png", "toon01.bmp"]
    a, a_data = s.model("auto/a.pmx", textures,
                        ["data\\tex\\a.png", "data\\tex\\b.png", "data\\tex\\c.png", mangled])
    b, b_data = s.model("auto2/b.pmx", ["テクスチャ\\服.png", "toon10.bmp"], ["old\\" + mangled], utf8=True)
    r = s.run(["-A", a, b], [("box", "y"), ("box", "Return"), ("box", "y"), ("box", "Return")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, [
        "Auto.search = 1 \n",
        "0: tex\\a.png (=NG=)\n", "4: toon01.bmp (shared toon)\n\n", question(4), " => YES \n",
        "--- \n0: tex\\a.png (found: moved) => (renew) data\\tex\\a.png \n",
        "1: tex\\b.png (inferred) => (renew) data\\tex\\b.png \n",
        "2: tex\\c.bmp (found: converted) => (renew) data\\tex\\c.png \n",
        "3: テクスチャ\\服.png (found: mangled) => (renew) ", "4: toon01.bmp (shared toon)\n\n",
        "Saving in ANSI/UTF-8 mode. \n", "Save OK. \n", saved("a-new.pmx"),
        "1: toon10.bmp (shared toon)\n", question(1),
        "0: テクスチャ\\服.png (found: mangled) => (renew) ", "Save OK. \n", saved("b-new.pmx")])
    expect_absent(r.out, ["was not found."])
    expect_calls(r, [("MessageBoxA", question(4).encode(), MB_YESNOCANCEL, 6),
                     ("MessageBoxA", saved("a-new.pmx").encode(), MB_OK, 1),
                     ("MessageBoxA", question(1).encode(), MB_YESNOCANCEL, 6),
                     ("MessageBoxA", saved("b-new.pmx").encode(), MB_OK, 1)])
    check_written(a, a_data, os.path.join(os.path.dirname(a), "a-new.pmx"),
                  ["data\\tex\\a.png", "data\\tex\\b.png", "data\\tex\\c.png", mangled, "toon01.bmp"])
    check_written(b, b_data, os.path.join(os.path.dirname(b), "b-new.pmx"), ["old\\" + mangled, "toon10.bmp"])


def t_replace_existing_output(s):
    # An earlier -new.pmx is replaced whole through the temporary named as it
    # with ~ for its last character, on the ANSI and the UTF-16 road; the
    # temporary a killed run left is gone too, and the console is as ever.
    a, a_data = s.model("repl/a.pmx", ["tex\\a.png"], ["textures\\a.png"])
    u, u_data = s.model("repl16/모델/모델.pmx", ["tex\\a.png"], ["textures\\a.png"])
    outputs = [(a, a_data, "a-new.pmx"), (u, u_data, "모델-new.pmx")]
    for m, _, new in outputs:
        folder = os.path.dirname(m)
        with open(os.path.join(folder, new), "wb") as f:
            f.write(b"an earlier output, repaired by hand")
        with open(os.path.join(folder, new[:-1] + "~"), "wb") as f:
            f.write(b"PMX left by a killed run")
    r = s.run(["-A", a, u], [("box", "y"), ("box", "Return"), ("box", "y"), ("box", "Return")],
              lang="ja_JP.UTF-8")
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, [
        "0: tex\\a.png (found: moved) => (renew) textures\\a.png \n",
        "Saving in ANSI/UTF-8 mode. \n", "Writing to  : %s\\a-new.pmx \n" % winpath(os.path.dirname(a)),
        "Save OK. \n", saved("a-new.pmx"),
        # the folder move the first model taught serves the second
        "Re-opening in UTF-16. \n", "0: tex\\a.png (inferred) => (renew) textures\\a.png \n",
        "Saving in UTF-16 mode. \n", "Save OK. \n"])
    expect_absent(r.out, ["save failed", "Could not open (WR)", "Cannot open WR file"])
    expect_calls(r, [("MessageBoxA", question(1).encode(), MB_YESNOCANCEL, 6),
                     ("MessageBoxA", saved("a-new.pmx").encode(), MB_OK, 1),
                     ("MessageBoxW", question(1), MB_YESNOCANCEL, 6),
                     ("MessageBoxW", saved("모델-new.pmx"), MB_OK, 1)])
    for m, data, new in outputs:
        folder = os.path.dirname(m)
        check_written(m, data, os.path.join(folder, new), ["textures\\a.png"])
        names = sorted(os.listdir(folder))
        check(names == sorted([os.path.basename(m), new, "textures"]), "files beside the model: %r" % names)
def t_unattended_keeps_existing_output(s):
    # -Y never replaces an output that is there, on either path road; -O lets it.
    a, a_data = s.model("keep/a.pmx", ["tex\\a.png"], ["textures\\a.png"])
    u, u_data = s.model("keep16/모델/모델.pmx", ["tex\\a.png"], ["textures\\a.png"])
    outputs = [(a, a_data, "a-new.pmx"), (u, u_data, "모델-new.pmx")]
    mine = b"an earlier output, repaired by hand"
    for m, _, new in outputs:
        with open(os.path.join(os.path.dirname(m), new), "wb") as f:
            f.write(mine)
    r = s.run(["-A", "-Y", a, u])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, ["Not saved: a-new.pmx exists (-O replaces it). \n", "Re-opening in UTF-16. \n",
                            "Not saved: ", "\nSummary: \n",
                            " %s: ok 0, renewed 1 (found: moved 1), still broken 0 => not saved: a-new.pmx exists \n"
                            % winpath(a)])
    expect_absent(r.out, ["Saving in", "Save OK."])
    for m, _, new in outputs:
        with open(os.path.join(os.path.dirname(m), new), "rb") as f:
            check(f.read() == mine, "%s was replaced" % new)
    r = s.run(["-A", "-Y", "-O", a, u])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, ["Overwrite.output = 1 \n", "Save OK. \n", "Save OK. \n", "\nSummary: \n"])
    for m, data, new in outputs:
        check_written(m, data, os.path.join(os.path.dirname(m), new), ["textures\\a.png"])


# ---- the console screen and the window of the program's own ---------------------
PROMPT_EN = " Press Enter to close."
PROMPT_JA = " Enter キーを押すと閉じます."
MANGLED = "テクスチャ\\服.png".encode("cp932").decode("cp437")  # âeâNâXâ`ââ\ò₧.png: ₧ has no Shift-JIS code


def expect_on_screen(run, fragments):
    """Each fragment, in order, on the screen (blanks at line ends are not kept)."""
    text = run.screen.text()
    pos = 0
    for f in fragments:
        i = text.find(f, pos)
        if i < 0:
            raise AssertionError("screen lacks %r after offset %d; screen there:\n%s" % (f, pos, text[pos:pos + 600]))
        pos = i + len(f)


def screen_model(s, rel):
    """A model with a Japanese name, a Japanese link whose file an unpacker mangled
    and a link that is fine; the folder given to -A -Y, as dropped on a shortcut."""
    m, _ = s.model(rel, ["テクスチャ\\服.png", "tex\\a.png"], [MANGLED, "tex\\a.png"],
                   names=("テストモデル", "テストモデル♡"))
    return m


def t_console_screen_western(s):
    # Western settings: console code page 437, ANSI 1252. Japanese texts and names
    # reach the console as themselves, the mangled name with its ₧ too.
    m = screen_model(s, "scr-w/モデル/モデル.pmx")
    folder = os.path.dirname(m)
    r = s.run(["-A", "-Y", folder], screen=True, enter_on=PROMPT_EN)
    check(r.rc == 0, "exit code %s" % r.rc)
    check(r.held, "the window did not wait for Enter")
    wfolder = winpath(folder)
    expect_on_screen(r, ["(English mode)", "Folder: %s => 1 model(s)" % wfolder,
                         "Reading from: %s\\モデル.pmx" % wfolder, "Model: テストモデル♡",
                         "pmx dir: %s\\" % wfolder, "0: テクスチャ\\服.png", " => YES",
                         "0: テクスチャ\\服.png (found: mangled) => (renew) " + MANGLED,
                         "Saving in UTF-16 mode.", "Writing to  : %s\\モデル-new.pmx" % wfolder,
                         " pmxnewtexlistpathW[0]= " + MANGLED, "(bone 1) (jp) 左腕", "Save OK.",
                         " モデル-new.pmx", " was saved.", "Summary:",
                         " %s\\モデル.pmx: ok 1, renewed 1 (found: mangled 1), still broken 0 => saved モデル-new.pmx"
                         % wfolder, PROMPT_EN])
    check("?" not in r.screen.text().split("Summary:")[1], "a '?' in the summary:\n" + r.screen.text())
    check(os.path.exists(os.path.join(folder, "モデル-new.pmx")), "モデル-new.pmx not written")


def t_console_screen_japanese(s):
    # Japanese settings: code page 932 everywhere, Japanese message mode; the
    # mangled name, which Shift-JIS cannot hold, still shows as itself.
    m = screen_model(s, "scr-j/モデル.pmx")
    folder = os.path.dirname(m)
    r = s.run(["-A", "-Y", m], screen=True, lang="ja_JP.UTF-8", enter_on=PROMPT_JA)
    check(r.rc == 0, "exit code %s" % r.rc)
    check(r.held, "the window did not wait for Enter")
    expect_on_screen(r, ["(日本語環境)", "Reading from: %s" % winpath(m), "Model: テストモデル",
                         " モデル：", " モデル.pmx", " 中の", " 1 個のテクスチャへのリンクが",
                         "0: テクスチャ\\服.png (発見: 文字化け) => (renew) " + MANGLED,
                         " 設定を修復し、", " モデル-new.pmx", " へ保存しました.", "処理結果:",
                         " %s: 正常 1, 更新 1 (発見: 文字化け 1), 破損のまま 0 => モデル-new.pmx へ保存しました"
                         % winpath(m), PROMPT_JA])


def t_window_waits_after_failures(s):
    # Dropped without -Y: a model that is no PMX, and one whose save fails (its
    # output name is taken by a folder). No box tells either; the window waits.
    bad = os.path.join(s.work, "fail", "bad.pmx")
    os.makedirs(os.path.dirname(bad), exist_ok=True)
    with open(bad, "wb") as f:
        f.write(b"not a model")
    r = s.run([bad], screen=True, enter_on=PROMPT_EN)
    check(r.rc == 2, "exit code %s, expected 2" % r.rc)
    check(r.held, "the window did not wait for Enter")
    expect_on_screen(r, ["pmdinforead err 2.", "Error code 2.", ": file format.", PROMPT_EN])
    m, _ = s.model("fail/ro/a.pmx", ["tex\\a.png"], ["textures\\a.png"])
    os.makedirs(os.path.join(os.path.dirname(m), "a-new.pmx"))
    r = s.run(["-A", m], [("box", "y")], screen=True, enter_on=PROMPT_EN)
    check(r.rc == 0, "exit code %s" % r.rc)
    check(r.held, "the window did not wait for Enter")
    expect_on_screen(r, [" => YES", "(found: moved) => (renew) textures\\a.png", "New PMX save failed.",
                         PROMPT_EN])
    expect_calls(r, [("MessageBoxA", question(1).encode(), MB_YESNOCANCEL, 6)])
    # Everything shown in boxes: the window closes at once, as always.
    ok, _ = s.model("fail/fine/a.pmx", ["a.png"], ["a.png"])
    r = s.run([ok], [("box", "Return")], screen=True, enter_on=PROMPT_EN)
    check(r.rc == 0 and r.held is None, "exit code %s, waited %s" % (r.rc, r.held))
    check(PROMPT_EN not in r.screen.text(), "asked for Enter after a run the boxes told")


def t_no_wait_from_a_prompt_or_redirected(s):
    # Started from a command prompt, or with its output redirected, the program
    # never waits, and the redirected bytes are those of any other run.
    m, _ = s.model("nowait/a.pmx", ["tex\\a.png"], ["textures\\a.png"])
    r = s.run(["-A", "-Y", m], screen=True, via_cmd=True, enter_on=PROMPT_EN)
    check(r.rc == 0 and r.held is None, "exit code %s, waited %s" % (r.rc, r.held))
    expect_on_screen(r, ["(found: moved) => (renew) textures\\a.png", "Summary:"])
    check(PROMPT_EN not in r.screen.text(), "asked for Enter in a command prompt")
    os.remove(os.path.join(os.path.dirname(m), "a-new.pmx"))
    r = s.run(["-A", "-Y", m], console=True)
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, ["(found: moved) => (renew) textures\\a.png \n", "Save OK. \n", "\nSummary: \n",
                            " %s: ok 0, renewed 1 (found: moved 1), still broken 0 => saved a-new.pmx \n" % winpath(m)])
    check(r.out.endswith(b"saved a-new.pmx \n"), "output goes on after the summary: %r" % r.out[-80:])
    bad = os.path.join(s.work, "nowait", "bad.pmx")
    with open(bad, "wb") as f:
        f.write(b"not a model")
    r = s.run([bad], console=True)
    check(r.rc == 2, "exit code %s, expected 2" % r.rc)
    check(r.out.endswith(b"Error code 2. \n: file format. \n"), "end of output %r" % r.out[-80:])


def t_long_path(s):
    # A folder name outside the ANSI code pages sends every call down the UTF-16
    # road, which takes a path past 260 units in its \\?\ form; ".." still works.
    deep = os.path.join("long", "모델-" + "d" * 100, "e" * 100, "f" * 60)
    m, data = s.model(os.path.join(deep, "a.pmx"), ["..\\shared\\s.png", "tex\\b.png"],
                      ["..\\shared\\s.png", "data\\b.png"])
    check(len(winpath(m)) > 300, "path of %d units" % len(winpath(m)))
    r = s.run(["-A", "-Y", m])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, [" -- correctly opened in UTF-16. \n", "0: ..\\shared\\s.png (ok)\n",
                            "1: tex\\b.png (=NG=)\n", "1: tex\\b.png (found: moved) => (renew) data\\b.png \n",
                            "Saving in UTF-16 mode. \n", "Save OK. \n"])
    new = os.path.join(os.path.dirname(m), "a-new.pmx")
    check(os.path.exists(new), "a-new.pmx not written")
    with open(new, "rb") as f:
        check(pmxfile.fields(f.read(), "textures") == [["..\\shared\\s.png", "data\\b.png"]], "texture table")


def t_restore_names(s):
    # -R: files an unpacker wrote under cp437-mangled names go back to the stored
    # paths through MoveFileExW. ソース holds the byte 0x5C, so its mangled form
    # is two folders on Windows; the proper folder テクスチャ already exists.
    stored = ["ソース\\服.png", "テクスチャ\\肌.png"]
    mangled = [p.encode("cp932").decode("cp437") for p in stored]  # â\ü[âX\ò₧.png, ...
    m, data = s.model("restore/a.pmx", stored + ["ok.png"], ["ok.png", "テクスチャ\\b.png"])
    folder = os.path.dirname(m)
    for rel, content in zip(mangled, stored):
        p = os.path.join(folder, rel.replace("\\", "/"))
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(content.encode("utf-8"))
    ask = (" The model \r\n a.pmx \r\n links 2 file(s) whose names an unpacker mangled. \r\n \r\n"
           " Rename them on disk to the names the model stores? \r\n"
           " (every move is logged in quillmend-renames.txt)  (Y/N) \r\n")
    done = " The model \r\n a.pmx \r\n needs no new file: \r\n 2 file name(s) were restored on disk. \r\n"
    r = s.run(["-R", m], [("box", "y"), ("box", "y"), ("box", "Return")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_in_order(r.out, ["Restore.names = 1 \n", "0: ソース\\服.png (=NG=)\n", question(2), " => YES \n",
                            ask, " => YES \n", "--- \n0: ソース\\服.png (restored)\n  restored: ",
                            " => ソース\\服.png\n1: テクスチャ\\肌.png (restored)\n  restored: ",
                            " => テクスチャ\\肌.png\n2: ok.png (ok)\n", done])
    expect_calls(r, [("MessageBoxA", question(2).encode(), MB_YESNOCANCEL, 6),
                     ("MessageBoxA", ask.encode(), MB_YESNO, 6),
                     ("MessageBoxA", done.encode(), MB_OK, 1)])
    for rel in stored:
        with open(os.path.join(folder, rel.replace("\\", "/")), "rb") as f:
            check(f.read() == rel.encode("utf-8"), "%s holds another file" % rel)
    names = sorted(os.listdir(folder))
    check(names == sorted(["a.pmx", "ok.png", "quillmend-renames.txt", "ソース", "テクスチャ"]),
          "files in the model's folder: %r" % names)
    with open(os.path.join(folder, "quillmend-renames.txt"), encoding="utf-8") as f:
        log = f.read().splitlines()
    check(len(log) == 3 and log[1].split("\t")[1:] == [mangled[0], stored[0]]
          and log[2].split("\t")[1:] == [mangled[1], stored[1]], "log %r" % log)
    with open(m, "rb") as f:
        check(f.read() == data, "source model was modified")
    # A second run finds every link as stored and moves nothing.
    r = s.run(["-R", m], [("box", "Return")])
    check(r.rc == 0, "exit code %s" % r.rc)
    expect_absent(r.out, ["restored", "(=NG=)"])
    expect_calls(r, [("MessageBoxA", all_ok_report("a.pmx").encode(), MB_OK, 1)])


SCENARIOS = [t_all_links_ok, t_alias_file_beside_program, t_repair_yes_two_models, t_repair_no,
             t_cancel_question_ends_run, t_cancel_not_found_box_and_dialog, t_extension_declined,
             t_no_argument_dialog, t_utf16_folder, t_japanese_utf16_boxes, t_japanese_mode, t_utf8_console,
             t_windows10_version_line, t_auto_search, t_replace_existing_output, t_unattended_keeps_existing_output,
             t_restore_names,
             t_console_screen_western,
             t_console_screen_japanese,
             t_window_waits_after_failures, t_no_wait_from_a_prompt_or_redirected, t_long_path,
             t_boxes_without_display]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("exe")
    ap.add_argument("-k", default="", help="run only scenarios whose name holds this")
    ap.add_argument("-v", action="store_true", help="print each run's output")
    ap.add_argument("--work", default=os.path.join(ROOT, "build-wine"))
    a = ap.parse_args()
    if not os.path.exists(a.exe):
        print("wine-test: %s not found (run make windows)" % a.exe)
        return 2
    failures = check_imports.problems(a.exe)
    for f in failures:
        print("FAIL imports: %s" % f)
    if not failures:
        print("ok   imports: system DLLs only")
    t0 = time.time()
    x = winebox.Xvfb()
    display = x.start()
    wine = winebox.Wine(os.path.join(a.work, "prefix"), display, a.v)
    suite = Suite(a.exe, os.path.join(a.work, "work"), wine, a.v)
    failed = len(failures)
    try:
        wine.kill_server()
        wine.prepare()
        suite.setup()
        for t in SCENARIOS:
            name = t.__name__[2:]
            if a.k not in name:
                continue
            start = time.time()
            try:
                note = t(suite)
                print("ok   %s (%.1f s)%s" % (name, time.time() - start, "  " + note if note else ""))
            except (AssertionError, winebox.HarnessError) as e:
                failed += 1
                print("FAIL %s (%.1f s): %s" % (name, time.time() - start, e))
            except Exception:
                failed += 1
                print("FAIL %s: harness error\n%s" % (name, traceback.format_exc()))
            sys.stdout.flush()
    finally:
        wine.kill_server()
        x.stop()
    print("wine-test: %s, %.0f s" % ("%d failed" % failed if failed else "all passed", time.time() - t0))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
