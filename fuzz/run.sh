#!/usr/bin/env bash
# Fuzzes one target (or every target, several at once) for SECONDS each and
# fails on any finding: a crash, a sanitizer report, a leak, an input
# slower than 30 s or one taking more than 2 GiB (1 GiB for the whole
# player).
#   fuzz/run.sh TARGET SECONDS     e.g. fuzz/run.sh bmp 600
#   fuzz/run.sh all SECONDS        every target, $(nproc) at a time
# The programs come from the clang sanitizer build (ORBA_FUZZ_BUILD,
# default build-asan). The corpus of a target grows in
# BUILD/fuzz/corpus/TARGET from the seeds fuzz/seeds.sh writes; a finding
# is kept as BUILD/fuzz/findings/TARGET/crash-* (or leak-, timeout-, oom-):
# minimise it with the program's -minimize_crash=1 and keep it in
# fuzz/regressions/TARGET/ once mended. Coverage is printed at the start
# and the end of each run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${ORBA_FUZZ_BUILD:-$(dirname "$here")/build-asan}
target=${1:?usage: fuzz/run.sh TARGET|all SECONDS}
seconds=${2:?usage: fuzz/run.sh TARGET|all SECONDS}
[ -x "$build/fuzz/fuzz_bmp" ] || { echo "fuzz: no fuzz programs in $build (a clang sanitizer build makes them)" >&2; exit 1; }
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan.supp}

if [ "$target" = all ]; then
  bash "$here/seeds.sh" "$build" "$build/fuzz/seeds" > /dev/null
  ls "$build"/fuzz/fuzz_* | sed 's/.*fuzz_//' |
    ORBA_FUZZ_SEEDED=1 xargs -P "$(nproc)" -I{} bash "$here/run.sh" {} "$seconds"
  exit
fi

[ -n "${ORBA_FUZZ_SEEDED:-}" ] || bash "$here/seeds.sh" "$build" "$build/fuzz/seeds" > /dev/null
corpus=$build/fuzz/corpus/$target
findings=$build/fuzz/findings/$target
log=$build/fuzz/$target.log
mkdir -p "$corpus" "$findings"
status=0
# The whole player has a tighter bound: more than 1 GiB at once is a game
# that fills memory (a device read as a file); its dictionary names what its
# sandbox plants.
limits=(-rss_limit_mb=2048)
[ "$target" = game ] && limits=(-rss_limit_mb=1024 -malloc_limit_mb=1024 "-dict=$here/game.dict")
# A short run of the whole player starts from its small seed set, so that
# most of it mutates games rather than replaying the full set (some 200
# seeds, about as many seconds to replay).
seeds=$build/fuzz/seeds/$target
if [ "$target" = game ] && [ "$seconds" -lt "${ORBA_FUZZ_FULL_SEEDS_FROM:-120}" ]; then
  seeds=$build/fuzz/seeds/game_ci
fi
"$build/fuzz/fuzz_$target" -max_total_time="$seconds" "${limits[@]}" -timeout=30 -close_fd_mask=1 \
  -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" "$seeds" > "$log" 2>&1 || status=$?
cov() { grep -Eo "$1 +cov: [0-9]+ ft: [0-9]+" "$log" | tail -1 | sed -E 's/.*cov: ([0-9]+) ft: ([0-9]+)/cov \1 ft \2/' || true; }
start=$(cov INITED)
end=$(cov DONE)
runs=$(grep -Eo 'stat::number_of_executed_units: [0-9]+' "$log" | grep -Eo '[0-9]+$' || true)
if [ "$status" -ne 0 ]; then
  echo "fuzz $target: FAILED after ${start:-no start} (log $log)"
  grep -E -A25 '^game fuzz:|^==[0-9]+==|ERROR: libFuzzer|runtime error' "$log" | head -60
  exit 1
fi
echo "fuzz $target: ${start:-?} at start, ${end:-?} at the end, ${runs:-?} runs in ${seconds} s"
