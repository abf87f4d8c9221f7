#!/usr/bin/env bash
# Packs the release zip: dist/quillmend-<version>-win64.zip with the static
# quillmend.exe, alias.ini and readme.txt (UTF-8 with BOM and CRLF, so Notepad
# on any Windows shows the Japanese text).
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
cp "$root/examples/alias.ini" "$stage/alias.ini"
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
python3 - "$zipfile" "$exe" <<'EOF'
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = sorted(z.namelist())
assert names == ["alias.ini", "quillmend.exe", "readme.txt"], names
assert z.read("quillmend.exe") == open(sys.argv[2], "rb").read(), "exe differs"
assert z.read("readme.txt").startswith(b"\xef\xbb\xbf"), "readme without BOM"
assert z.testzip() is None
EOF
echo "Release zip: dist/$(basename "$zipfile")"
