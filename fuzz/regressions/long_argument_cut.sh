#!/usr/bin/env bash
# A model argument longer than the 519 units of the path buffers is cut, and
# the cut path can name another file: here "<folders>/a.pmx.copy.pmx" (528
# characters, no such file) makes the program read "<folders>/a.pmx" and offer
# to repair it. Now it is refused: "Path too long (more than 519 bytes): not
# read." (tests/limits_test.cpp keeps the case).
#   fuzz/regressions/long_argument_cut.sh build/quillmend
set -euo pipefail
prog="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
rel=$(python3 -c "
import os
left = 519 - len(os.getcwd()) - 1 - len('a.pmx'); rel = ''
while left > 0:
    n = min(200, left - 1); rel += 'e' * n + '/'; left -= n + 1
print(rel)")
mkdir -p "$rel"
# The second seed model without the target's flag byte.
"$root/fuzz/out/bin/make_seeds" "$work/seeds" "$root" >/dev/null
tail -c +2 "$work/seeds/pmx/model01" > "${rel}a.pmx"
arg="$work/${rel}a.pmx.copy.pmx"
echo "argument: ${#arg} characters, exists: $([ -e "$arg" ] && echo yes || echo no)"
printf 'n\n' | "$prog" "$arg" | grep -E "^Model: |texture link" || true
