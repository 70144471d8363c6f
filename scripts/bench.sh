#!/usr/bin/env bash
# Measures the library against a plain omniORB client of the same service and
# writes bench/README.md:
#
#   scripts/bench.sh [build-dir]            (default: build)
#
# 1. builds dsm_bench, dsm_callgrind and the bundled service (RelWithDebInfo);
# 2. runs dsm_bench with DSM_BENCH_REPETITIONS repetitions (default 5), the
#    client pinned to core 0 and the service to core 1 when there are two;
# 3. runs each callgrind case under valgrind (client instructions only; the
#    service runs natively) and divides by the number of calls;
# 4. writes the ratio tables, the instruction counts and the machine to
#    bench/README.md (DSM_BENCH_OUT overrides the path).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
reps=${DSM_BENCH_REPETITIONS:-5}
out=${DSM_BENCH_OUT:-$root/bench/README.md}

cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDSM_BUILD_TESTS=ON -DDSM_BUILD_BENCH=ON >/dev/null
cmake --build "$dir" -j"$(nproc)" --target dsm_bench dsm_callgrind dsmservice
command -v valgrind >/dev/null || { echo "bench: valgrind is missing (scripts/setup.sh installs it)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$(nproc)" -ge 2 ]; then
  export DSM_BENCH_CLIENT_CPU=0 DSM_BENCH_SERVICE_CPU=1
  pinning="client on core 0, service on core 1"
else
  pinning="client and service share the only core"
fi

echo "bench: dsm_bench, $reps repetitions"
# The console form: the CSV one cannot carry a counter only one benchmark has.
"$dir/bench/dsm_bench" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
  --benchmark_color=false >"$work/bench.txt"

# Median wall time of each benchmark, as "name value unit".
awk '$1 ~ /_median$/ { sub(/_median$/, "", $1); print $1, $2, $3 }' "$work/bench.txt" >"$work/medians"

# Instructions per call of one callgrind case.
callgrind() {
  local case=$1 calls=$2 file=$work/callgrind.$1
  valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$file" \
    "$dir/bench/dsm_callgrind" "$case" "$calls" >/dev/null 2>"$work/valgrind.$case"
  awk -v n="$calls" '/^totals:/ { printf "%.0f", $2 / n }' "$file"
}
echo "bench: callgrind"
ir_lib_pool=$(callgrind lib-pool 200)
ir_plain_pool=$(callgrind plain-pool 200)
ir_ping_pool=$(callgrind plain-ping-pool 200)
ir_lib_volumes=$(callgrind lib-volumes 3)
ir_plain_volumes=$(callgrind plain-volumes 3)
ir_floor_volumes=$(callgrind floor-volumes 3)

median() { awk -v k="$1" '$1 == k { print $2 " " $3 }' "$work/medians"; }
# A table row: label, library benchmark, plain benchmark.
row() {
  local lib plain
  lib=$(median "$2")
  plain=$(median "$3")
  awk -v label="$1" -v l="$lib" -v p="$plain" '
    function shown(v, unit) { return (unit == "us" && v >= 1000) ? sprintf("%.1f ms", v / 1000) : sprintf("%.1f %s", v, unit) }
    BEGIN {
      split(l, a, " "); split(p, b, " ");
      printf "| %s | %s | %s | %.2f |\n", label, shown(a[1], a[2]), shown(b[1], b[2]), a[1] / b[1] }'
}
# A median in milliseconds, whatever unit it was reported in.
ms() { median "$1" | awk '{ f = ($2 == "ns") ? 1e-6 : ($2 == "us") ? 1e-3 : ($2 == "s") ? 1e3 : 1; printf "%.4f", $1 * f }'; }
beyond_floor=$(awk -v l="$(ms BM_Lib_GetDiskVolumeInfoList)" -v p="$(ms BM_Plain_GetDiskVolumeInfoList)" \
  -v f="$(ms BM_Floor_ClearVolumeRecords)" 'BEGIN { printf "%.2f", l / (p + f) }')
# A whole number with thousands separators.
grouped() { awk -v n="$1" 'BEGIN { s = sprintf("%d", n); while (s ~ /[0-9][0-9][0-9][0-9]/) sub(/[0-9][0-9][0-9]($|,)/, ",&", s); print s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# The growth counter of the median repetition, printed with k/M suffixes.
growth=$(awk '/VolumeReadsMemoryGrowth.*_median/ { for (i = 1; i <= NF; i++) if ($i ~ /^rss_growth_kb=/) {
  v = substr($i, 15); m = 1; if (v ~ /k$/) m = 1e3; if (v ~ /M$/) m = 1e6; printf "%.0f kB", v * m } }' "$work/bench.txt")

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
orb=$(dpkg-query -W -f='${Version}' libomniorb4-2 2>/dev/null || echo unknown)
{
  cat <<EOF
# Benchmark: libdsm against a plain omniORB client

Written by \`scripts/bench.sh\` (the one command that produces this file) on
$(date -u +%Y-%m-%d): $(nproc) × ${cpu:-unknown CPU}, omniORB $orb, g++
$(g++ -dumpfullversion), RelWithDebInfo; $pinning. Both clients talk to the
bundled service on loopback in the same run (\`build/bench/dsm_bench\`); the
figures are medians of $reps repetitions of wall time per call.

## Wall time

The library proves its connection with a \`ping\` before every operation,
so a single call costs two round trips where a plain client pays one; the
"plain client with ping" column makes the same two calls and isolates what
the library itself adds.

| one pool's details | library | plain client | ratio |
|---|---|---|---|
$(row "1 pool held by the service" "BM_Lib_GetDiskGroupInfo/1" "BM_Plain_GetDiskGroupInfo/1")
$(row "100 pools held" "BM_Lib_GetDiskGroupInfo/100" "BM_Plain_GetDiskGroupInfo/100")
$(row "10,000 pools held" "BM_Lib_GetDiskGroupInfo/10000" "BM_Plain_GetDiskGroupInfo/10000")

| one pool's details | library | plain client with ping | ratio |
|---|---|---|---|
$(row "1 pool held" "BM_Lib_GetDiskGroupInfo/1" "BM_PlainPing_GetDiskGroupInfo/1")
$(row "10,000 pools held" "BM_Lib_GetDiskGroupInfo/10000" "BM_PlainPing_GetDiskGroupInfo/10000")

| lists of 10,000 elements | library | plain client | ratio |
|---|---|---|---|
$(row "every pool's details (10,000 pools)" "BM_Lib_GetDiskGroupInfoList/10000" "BM_Plain_GetDiskGroupInfoList/10000")
$(row "one pool's volumes (10,000)" "BM_Lib_GetDiskVolumeInfoList" "BM_Plain_GetDiskVolumeInfoList")
$(row "the same with a logging function installed" "BM_LibLogging_GetDiskVolumeInfoList" "BM_Plain_GetDiskVolumeInfoList")

The library's lists also clear and fill the caller's 10,000 records; that
floor alone (no service call) is $(median BM_Floor_ClearVolumeRecords), so against the plain
call plus that floor the library's volume list is $beyond_floor. Resident
memory grew by ${growth:-?} after 100,000 volume reads through the library
(\`BM_Lib_VolumeReadsMemoryGrowth\`).

## Instructions per call (callgrind)

Client-side instructions only (\`valgrind --tool=callgrind\` on
\`build/bench/dsm_callgrind <case> <calls>\`, collection switched on around
the measured calls after a warm-up, the total divided by the calls; the
service runs outside valgrind). One pool's details are measured over 200
calls with 100 pools held, the 10,000-volume list over 3 calls.

| case | library | plain client | ratio |
|---|---|---|---|
| one pool's details | $(grouped "$ir_lib_pool") | $(grouped "$ir_plain_pool") | $(ratio "$ir_lib_pool" "$ir_plain_pool") |
| one pool's details, plain client with ping | $(grouped "$ir_lib_pool") | $(grouped "$ir_ping_pool") | $(ratio "$ir_lib_pool" "$ir_ping_pool") |
| one pool's 10,000 volumes | $(grouped "$ir_lib_volumes") | $(grouped "$ir_plain_volumes") | $(ratio "$ir_lib_volumes" "$ir_plain_volumes") |
| the same, beyond clearing and filling the records | $(grouped "$((ir_lib_volumes - ir_floor_volumes))") | $(grouped "$ir_plain_volumes") | $(ratio "$((ir_lib_volumes - ir_floor_volumes))" "$ir_plain_volumes") |

Of the library's count, $(grouped "$ir_floor_volumes") instructions are the clearing and
filling of the caller's 10,000 records that the list function must do
whatever it then reads (\`dsm_callgrind floor-volumes\`, the library's own
clearing with no call); the wall-time floor above is the same code.

## Reproducing

\`\`\`sh
scripts/bench.sh                      # this file, from the build tree build/
DSM_BENCH_REPETITIONS=10 scripts/bench.sh build-bench
build/bench/dsm_bench --benchmark_filter=VolumeInfoList   # one family by hand
valgrind --tool=callgrind --collect-atstart=no build/bench/dsm_callgrind lib-volumes 3
\`\`\`
EOF
} >"$out"
echo "bench: wrote $out"
