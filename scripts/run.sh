#!/usr/bin/env bash
# The main job: installs what is missing, builds, and shows dsmtool working.
# With no EMM server configured, dsmtool itself starts the bundled
# DiskServiceMgr for this user on a free loopback port and reuses it on the
# next calls ("dsmtool service status|stop" to see or stop it).
#
#   scripts/run.sh               status and a short demo
#   scripts/run.sh ARGS...       dsmtool ARGS...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" -DDSM_BUILD_TESTS=OFF
tool="$root/build/dsmtool/dsmtool"
if (($#)); then
  exec "$tool" "$@"
fi
"$tool" status
echo
"$tool" pool list
echo
echo "run: try '$tool --help'; stop the per-user service with '$tool service stop'"
