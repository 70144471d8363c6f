#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (the examples among
# them); builds the API reference, failing on any Doxygen warning; then the
# same tests in a build with AddressSanitizer and UndefinedBehaviorSanitizer, the
# concurrency test under ThreadSanitizer, and a short run of every fuzz
# target (clang, about a minute).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

# The sanitizer builds are compiled at -O1: the reports stay exact, and the
# ORB's generated stubs, most of the build, compile in about half the time.
sanitizer_flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG")

run_suite() {
  local dir=$1; shift
  "$root/scripts/build.sh" "$dir" "$@"
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j2
}

# Only what the concurrency test needs is built with ThreadSanitizer.
run_thread_sanitizer() {
  local dir=$root/build-tsan
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDSM_BUILD_TESTS=ON \
    -DDSM_SANITIZE_THREAD=ON -DDSM_BUILD_BENCH=OFF "${sanitizer_flags[@]}" >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target concurrency_tests dsmservice
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -L concurrency
}

phase() { echo "test: $1 done, ${SECONDS} s in all"; }

run_suite "$root/build" -DDSM_BUILD_TESTS=ON
"$root/scripts/docs.sh" "$root/build/docs"
phase "plain suite and reference"
if [ "${DSM_SKIP_SANITIZE:-0}" != 1 ]; then
  run_suite "$root/build-asan" -DDSM_BUILD_TESTS=ON -DDSM_SANITIZE=ON -DDSM_BUILD_BENCH=OFF "${sanitizer_flags[@]}"
  phase "AddressSanitizer suite"
  run_thread_sanitizer
  phase "ThreadSanitizer test"
  "$root/scripts/fuzz.sh" 10
  phase "fuzz run"
fi
