#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for the given number of seconds,
# starting from its committed seed corpus:
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#
# Default: 10 s for each of the six targets. New inputs go to
# build-fuzz/fuzz-work/<target> (kept between runs, never committed); a
# crash, leak or broken invariant is written to build-fuzz/fuzz-artifacts and
# fails the run. See fuzz/README.md for the longer run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-10}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(fuzz_extract fuzz_wire fuzz_exceptions fuzz_numbers fuzz_server_types fuzz_lsu_sort)
fi

build=$root/build-fuzz
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDSM_FUZZ=ON -DDSM_BUILD_TESTS=OFF -DDSM_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target dsm_fuzz_all

# Two frames per allocation keep the omniORB suppression (fuzz/lsan.supp) to
# the ORB's own allocations; rerun an artifact without this for full stacks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=2}
export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

mkdir -p "$build/fuzz-artifacts"
status=0
for target in "${targets[@]}"; do
  corpus=$root/fuzz/corpus/${target#fuzz_}
  work=$build/fuzz-work/${target#fuzz_}
  log=$build/fuzz-artifacts/$target.log
  mkdir -p "$work"
  if "$build/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" \
       "$work" "$corpus" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $target: ${runs:-?} executions in ${seconds}s, no crash"
  else
    status=1
    echo "fuzz: $target FAILED; log: $log"
    grep -E 'ERROR|invariant broken|runtime error|Test unit written' "$log" | head -5 || true
  fi
done
exit $status
