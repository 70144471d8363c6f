#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the same tests
# in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

run_suite() {
  local dir=$1; shift
  "$root/scripts/build.sh" "$dir" "$@"
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j2
}

run_suite "$root/build" -DDSM_BUILD_TESTS=ON
if [ "${DSM_SKIP_SANITIZE:-0}" != 1 ]; then
  run_suite "$root/build-asan" -DDSM_BUILD_TESTS=ON -DDSM_SANITIZE=ON -DDSM_BUILD_BENCH=OFF
fi
