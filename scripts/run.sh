#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs dsmtool against
# DiskServiceMgr. With no EMM server configured it starts the bundled service
# on a free loopback port for this run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" -DDSM_BUILD_TESTS=OFF

conf=${KDCONF_FILE:-/etc/keldra/xq.conf}
if [ ! -f "$conf" ] || ! grep -q '^[[:space:]]*EMM_SERVER' "$conf"; then
  work=$(mktemp -d)
  trap 'kill "$svc" 2>/dev/null; wait "$svc" 2>/dev/null; rm -rf "$work"' EXIT
  "$root/build/server/dsmservice" --port 0 --ready-file "$work/port" &
  svc=$!
  for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
  port=$(cat "$work/port")
  printf 'EMM_SERVER = 127.0.0.1\nSERVER = 127.0.0.1\nKDDSMFSM_PORT = %s\n' "$port" > "$work/xq.conf"
  export KDCONF_FILE="$work/xq.conf"
  echo "run: no EMM server configured; using the bundled service on 127.0.0.1:$port"
fi
"$root/build/dsmtool/dsmtool" status "$@"
