#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for SECONDS,
# or until it has run N inputs.
#   fuzz/run.sh SECONDS [target ...]     targets: pmx alias sjis paths (default all)
#   fuzz/run.sh -runs=N [target ...]     N inputs each, no time limit
#   JOBS=2 fuzz/run.sh 600               two targets at a time (the default is one)
#   fuzz/run.sh build                    only build (used by the smoke test)
# Everything goes to fuzz/out/: objects, binaries, corpora, crash files, logs.
# The corpora in fuzz/out/corpus/ are kept: a later run resumes from them.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
out="${QM_FUZZ_OUT:-$here/out}"
CXX="${FUZZ_CXX:-clang++}"
JOBS="${JOBS:-1}"
TARGETS_ALL=(pmx alias sjis paths)

if [ $# -lt 1 ]; then
  sed -n '2,9p' "$0"
  exit 2
fi
mode="$1"
limit=()
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${TARGETS_ALL[@]}")

command -v "$CXX" >/dev/null || { echo "fuzz: $CXX not found (install clang)"; exit 3; }

SAN="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
CFLAGS=(-std=c++17 -g -O1 -Wall -Wextra $SAN -I"$root/src" -I"$root/tests" -I"$here")

mkdir -p "$out/obj" "$out/bin"

# Project sources the targets need: the encoding, platform, text and PMX
# layers for POSIX, without tests, the Windows seam and main.
sources=()
for layer in encoding platform text pmx; do
  for f in "$root"/src/$layer/*.cpp; do
    case "$f" in
      *_test.cpp|*/os_win32.cpp) continue ;;
    esac
    sources+=("$f")
  done
done

compile() {  # source object extra-flags...
  local src="$1" obj="$2"
  shift 2
  if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ] || [ -n "$(find "$root/src" "$here" -name '*.h' -newer "$obj" -print -quit)" ]; then
    "$CXX" "${CFLAGS[@]}" "$@" -c "$src" -o "$obj"
  fi
}

build() {
  local objs=() pids=() f o
  for f in "${sources[@]}"; do
    o="$out/obj/$(basename "$(dirname "$f")")_$(basename "$f" .cpp).o"
    compile "$f" "$o" -fsanitize=fuzzer-no-link &
    pids+=($!)
    objs+=("$o")
    if [ ${#pids[@]} -ge 2 ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
  done
  for p in "${pids[@]}"; do wait "$p"; done
  for t in "${TARGETS_ALL[@]}"; do
    compile "$here/${t}_fuzz.cpp" "$out/obj/${t}_fuzz.o" -fsanitize=fuzzer-no-link
    "$CXX" "${CFLAGS[@]}" -fsanitize=fuzzer "$out/obj/${t}_fuzz.o" "${objs[@]}" -o "$out/bin/${t}_fuzz"
  done
  # The seed generator is plain C++ over the test model builder.
  "$CXX" -std=c++17 -O1 -I"$root/tests" "$here/make_seeds.cpp" "$root/tests/support/pmx_builder.cpp" \
    -o "$out/bin/make_seeds"
  rm -rf "$out/seeds"
  "$out/bin/make_seeds" "$out/seeds" "$root" >/dev/null
}

case "$mode" in
  build) ;;
  -runs=[0-9]*) limit=("$mode") ;;
  [0-9]*) limit=(-max_total_time="$mode") ;;
  *) sed -n '2,9p' "$0"; exit 2 ;;
esac

build
[ "$mode" = build ] && exit 0

# Every target has rare inputs that cost a hundred times the others (the
# argument lists filled to their limits, 8191 rules read and listed); left
# alone, libFuzzer spends most of its time on them, since they also carry the
# rarest features. Scaled by execution time, the fast inputs get the turns.
COMMON_OPTIONS=(-entropic_scale_per_exec_time=1 -print_final_stats=1 -timeout=10 -rss_limit_mb=2048)

# Inputs of the alias target are alias files that the reader passes over
# three times, line by line; small ones keep it fast (its seeds are cut to fit,
# and repeating the file reaches the rule limits).
target_options() {  # target
  case "$1" in
    alias) echo "-max_len=1024" ;;
  esac
}

run_one() {  # target
  local t="$1"
  mkdir -p "$out/corpus/$t" "$out/artifacts/$t" "$out/logs"
  echo "fuzz: $t, ${limit[*]}"
  local rc=0
  local scratch
  scratch="$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo /tmp )/qmfuzz_${t}_XXXXXX")"
  QM_FUZZ_SCRATCH="$scratch" "$out/bin/${t}_fuzz" "${limit[@]}" $(target_options "$t") "${COMMON_OPTIONS[@]}" \
    -artifact_prefix="$out/artifacts/$t/" "$out/corpus/$t" "$out/seeds/$t" \
    >"$out/logs/$t.log" 2>&1 || rc=$?
  rm -rf "$scratch"
  echo "fuzz: $t finished (exit $rc): $(grep -E '^#[0-9]+[[:space:]]+DONE' "$out/logs/$t.log" | tail -1)"
  return $rc
}

# Crash files of this run only; earlier ones stay for inspection.
mkdir -p "$out/artifacts"
marker="$out/artifacts/.run-start"
touch "$marker"
status=0
pids=()
for t in "${targets[@]}"; do
  run_one "$t" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$JOBS" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
new="$(find "$out/artifacts" -type f -newer "$marker" ! -name '.run-start')"
if [ -n "$new" ]; then
  echo "fuzz: new crash files:"
  echo "$new"
  status=1
fi
exit $status
