#!/usr/bin/env bash
# Packs the release zip: dist/quillmend-<version>-win64.zip with the static,
# stripped quillmend.exe, alias.ini (CRLF) and readme.txt (UTF-8 with BOM and
# CRLF, so Notepad on any Windows shows the Japanese text).
# usage: tools/make_dist.sh [path/to/quillmend.exe]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="${1:-$root/build-windows/quillmend.exe}"
# The version is the one the banner prints.
version="$(grep -ho 'Quillmend  V[0-9][0-9.]*' "$root"/src/driver/*.cpp 2>/dev/null | head -n1 | sed 's/.*V//')"
version="${version:-1.02}"

[ -f "$exe" ] || { echo "make_dist: $exe not found (run make windows)"; exit 1; }
[ -f "$root/examples/alias.ini" ] || { echo "make_dist: examples/alias.ini not found"; exit 1; }
command -v zip >/dev/null || { echo "make_dist: zip not found (apt-get install zip)"; exit 1; }
python3 "$root/tests/wine/check_imports.py" "$exe"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/quillmend.exe"
# Windows' own editors expect CRLF line ends; the program reads either.
python3 - "$root/examples/alias.ini" "$stage/alias.ini" <<'EOF'
import sys
src, dst = sys.argv[1:]
data = open(src, "rb").read()
open(dst, "wb").write(data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))
EOF
python3 - "$root/docs/readme-dist.txt" "$stage/readme.txt" "$version" <<'EOF'
import sys
src, dst, version = sys.argv[1:]
text = open(src, encoding="utf-8").read().replace("@VERSION@", version)
with open(dst, "wb") as f:
    f.write(b"\xef\xbb\xbf" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8"))
EOF

mkdir -p "$root/dist"
zipfile="$root/dist/quillmend-$version-win64.zip"
rm -f "$zipfile"
# Fixed times and no extra attributes: the same inputs give the same zip.
touch -d '2000-01-01 00:00:00' "$stage"/*
(cd "$stage" && zip -q -X "$zipfile" quillmend.exe alias.ini readme.txt)

# Check what went in.
python3 - "$zipfile" "$exe" "$root/examples/alias.ini" <<'EOF'
import re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = sorted(z.namelist())
assert names == ["alias.ini", "quillmend.exe", "readme.txt"], names
exe = z.read("quillmend.exe")
assert exe == open(sys.argv[2], "rb").read(), "exe differs"
# Section names: .debug_* (and "/4"-style long names) come with debug information.
u16 = lambda at: int.from_bytes(exe[at:at + 2], "little")
pe = int.from_bytes(exe[0x3C:0x40], "little")
assert exe[pe:pe + 4] == b"PE\0\0", "no PE header"
sections, table = u16(pe + 6), pe + 24 + u16(pe + 20)
section_names = [exe[table + 40 * i:table + 40 * i + 8].rstrip(b"\0") for i in range(sections)]
assert not any(n.startswith((b".debug", b"/")) for n in section_names), "exe not stripped: %r" % section_names
assert b"longPathAware" in exe, "exe without its manifest"
for name in ("alias.ini", "readme.txt"):
    data = z.read(name)
    assert b"\r\n" in data and not re.search(b"(?<!\r)\n", data), name + " without CRLF line ends"
assert z.read("alias.ini").replace(b"\r\n", b"\n") == open(sys.argv[3], "rb").read().replace(b"\r\n", b"\n")
assert z.read("readme.txt").startswith(b"\xef\xbb\xbf"), "readme without BOM"
assert z.testzip() is None
EOF
echo "Release zip: dist/$(basename "$zipfile")"
