#!/usr/bin/env python3
"""Checks that a Windows executable imports only DLLs every Windows has, so the
single exe in the release zip runs without MinGW's runtime DLLs beside it.

usage: check_imports.py quillmend.exe   (exit 0 when clean)"""
import re
import shutil
import subprocess
import sys

SYSTEM = {"kernel32.dll", "user32.dll", "comdlg32.dll", "msvcrt.dll", "ucrtbase.dll",
          "ntdll.dll", "advapi32.dll", "gdi32.dll", "shell32.dll"}


def dll_names(exe):
    objdump = shutil.which("x86_64-w64-mingw32-objdump") or shutil.which("objdump")
    if objdump is None:
        raise RuntimeError("x86_64-w64-mingw32-objdump not found")
    p = subprocess.run([objdump, "-p", exe], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                       timeout=60)
    text = p.stdout.decode("utf-8", "replace")
    if p.returncode != 0:
        raise RuntimeError("objdump failed: " + text[-300:])
    return re.findall(r"DLL Name:\s*(\S+)", text)


def problems(exe):
    try:
        names = dll_names(exe)
    except (RuntimeError, OSError, subprocess.TimeoutExpired) as e:
        return [str(e)]
    if not names:
        return ["no import table found in %s" % exe]
    out = []
    for n in names:
        low = n.lower()
        if low in SYSTEM or low.startswith("api-ms-win-"):
            continue
        out.append("%s imports %s, which Windows does not ship" % (exe, n))
    for need in ("kernel32.dll", "user32.dll", "comdlg32.dll"):
        if need not in [n.lower() for n in names]:
            out.append("%s does not import %s" % (exe, need.upper()))
    return out


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1])
        sys.exit(2)
    bad = problems(sys.argv[1])
    for b in bad:
        print("FAIL imports: " + b)
    if not bad:
        print("ok   imports of %s: %s" % (sys.argv[1], ", ".join(dll_names(sys.argv[1]))))
    sys.exit(1 if bad else 0)
