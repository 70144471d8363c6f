#!/usr/bin/env bash
# The long soak, in the AddressSanitizer/UndefinedBehaviorSanitizer build:
# DSM_SOAK_CALLS library calls (default 1,000,000) against the bundled
# service in one process, first with the service left running, then with it
# restarted every 10,000 calls. Each run fails on any unexpected status, on a
# call that hangs, on a leak found at exit, or when resident memory after the
# warm-up grows by more than DSM_SOAK_MAX_GROWTH_KB (default 4096: the
# sanitizer's quarantine and shadow pages settle at about 2.4 MB, whatever
# the number of calls). Last, eight threads call at once while the service is
# killed and started again 20 times under them.
#
#   scripts/soak.sh [build-dir]            (default: build-asan)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-asan}
calls=${DSM_SOAK_CALLS:-1000000}
growth=${DSM_SOAK_MAX_GROWTH_KB:-4096}

cmake -S "$root" -B "$dir" -DDSM_BUILD_TESTS=ON -DDSM_SANITIZE=ON -DDSM_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)" --target dsm_soak dsmservice

export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp
export ASAN_OPTIONS=quarantine_size_mb=16
soak=("$dir/tests/soak/dsm_soak" --calls "$calls" --warmup 10000 --max-rss-growth-kb "$growth")
echo "soak: the service left running"
"${soak[@]}"
echo "soak: the service restarted every 10,000 calls"
"${soak[@]}" --restart-every 10000
echo "soak: eight threads, the service killed and restarted 20 times"
"$dir/tests/soak/dsm_soak" --threads 8 --restarts 20
