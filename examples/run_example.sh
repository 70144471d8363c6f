#!/usr/bin/env bash
# Runs one example against the bundled service, as ctest does: starts the
# service on a free loopback port with a database of its own, points a
# product configuration at it, makes a storage server, a pool and two
# volumes with dsmtool, runs the example and checks what it printed.
#
#   run_example.sh DSMSERVICE DSMTOOL EXAMPLE_DIR NAME
set -euo pipefail
service=$1 tool=$2 dir=$3 name=$4
work=$(mktemp -d /tmp/dsm-example-XXXXXX)
pid=
stop_service() { if [ -n "$pid" ]; then kill -9 "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; pid=; fi; }
trap 'stop_service; rm -rf "$work"' EXIT

port=0
start_service() {
  rm -f "$work/ready"
  "$service" --port "$port" --address 127.0.0.1 --ready-file "$work/ready" --db "$work/service.db" \
    >>"$work/service.log" 2>&1 &
  pid=$!
  for _ in $(seq 500); do [ -s "$work/ready" ] && break; sleep 0.02; done
  port=$(cat "$work/ready")
}
fail() { echo "example $name: $*" >&2; cat "$work/out" >&2 || true; exit 1; }

start_service
export KDCONF_FILE=$work/xq.conf
printf 'EMM_SERVER = 127.0.0.1\nSERVER = 127.0.0.1\nKDDSMFSM_PORT = %s\nORB_CONNECT_TIMEOUT_MS = 2000\nORB_CALL_TIMEOUT_MS = 3000\n' \
  "$port" >"$KDCONF_FILE"
"$tool" server create sts1 --type AdvancedDisk >/dev/null
"$tool" pool create pool1 --type AdvancedDisk --server sts1 >/dev/null
for v in vol1 vol2; do
  "$tool" vol create pool1 "$v" >/dev/null
  "$tool" vol update pool1 "$v" --total 1073741824 --free 536870912 >/dev/null
done

case $name in
list_pools)
  "$dir/list_pools" >"$work/out" || fail "exited $?"
  grep -q '^pool pool1 (AdvancedDisk): .* 2 volume(s)$' "$work/out" || fail "pool1 not listed"
  grep -q '^  volume vol2 .* total 1073741824 bytes, free 536870912 bytes$' "$work/out" || fail "vol2 not listed"
  grep -q '^1 pool(s)$' "$work/out" || fail "wrong count"
  ;;
volume_lifecycle)
  "$dir/volume_lifecycle" pool1 vol9 >"$work/out" || fail "exited $?"
  grep -q '^vol9 is up$' "$work/out" || fail "not read back up"
  grep -q '^delete: done$' "$work/out" || fail "not deleted"
  if "$tool" vol show pool1 vol9 >/dev/null 2>&1; then fail "vol9 is still there"; fi
  "$dir/volume_lifecycle" no-such-pool vol9 >"$work/out" 2>&1 && fail "a missing pool must fail"
  grep -q '^read the pool: the disk service refused it with error ' "$work/out" || fail "missing pool not reported"
  ;;
monitor)
  "$dir/monitor" 4 6 >"$work/out" 2>&1 &
  monitor=$!
  sleep 2
  stop_service
  sleep 1
  start_service
  wait "$monitor" || fail "exited $?"
  [ "$(grep -c 'lost the service' "$work/out")" = 4 ] || fail "not every thread saw the outage"
  [ "$(grep -c 'back after' "$work/out")" = 4 ] || fail "not every thread came back"
  ;;
*) fail "no such example" ;;
esac
cat "$work/out"
