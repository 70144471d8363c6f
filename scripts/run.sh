#!/usr/bin/env bash
# The main job: installs what is missing, builds, and shows dsmtool at work.
#
#   scripts/run.sh               a half-minute tour (below)
#   scripts/run.sh ARGS...       dsmtool ARGS...
#
# The tour runs against a temporary per-user service of its own (its own
# runtime directory, removed at the end), so the service dsmtool keeps for
# you is never touched: it creates a storage server with configuration
# items, a pool on it, three volumes with sizes, sets one volume down, lists
# and shows them as tables and as JSON, asks whether a storage unit on the
# pool can take fast backups, and ends with commands to try next.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" -DDSM_BUILD_TESTS=OFF
tool="$root/build/dsmtool/dsmtool"
if (($#)); then
  exec "$tool" "$@"
fi

runtime=$(mktemp -d /tmp/dsmtool-tour-XXXXXX)
finish() {
  "$tool" service stop >/dev/null 2>&1 || true
  rm -rf "$runtime"
}
trap finish EXIT
# No product configuration: dsmtool starts a per-user service, here in the
# tour's own runtime directory.
export XDG_RUNTIME_DIR=$runtime KDCONF_FILE=$runtime/no-configuration
step() {
  printf '\n$ dsmtool %s\n' "$*"
  "$tool" "$@"
}

step server create sts1 --type AdvancedDisk
step server config set sts1 Threads=8 Path=/data/sts1
step server config get sts1
step pool create pool1 --type AdvancedDisk --server sts1
for v in vol1:1T:768G vol2:512G:512G vol3:2T:200G; do
  IFS=: read -r name total free <<<"$v"
  step vol create pool1 "$name"
  step vol update pool1 "$name" --total "$total" --free "$free"
done
step vol state pool1 vol2 down
step vol list pool1
step pool show pool1
step --json vol show pool1 vol2
step --json pool list

# A storage unit on the pool, in the catalog the fast backup checks read; the
# pool's flags and its server type decide.
catalog=$runtime/dsmtool/catalog
printf 'name=stu1 type=6 sub_media_type=6 disk_pool=pool1\n' >"$catalog/stunits"
printf 'ELP AdvancedDisk rapidor\n' >"$catalog/maps"
step fastbackup unit stu1 || true
step pool update pool1 --flags 1048579
step fastbackup unit stu1

rel=${tool#"$PWD"/}
cat <<EOF

Try next, on your own per-user service (kept between calls), with
dsmtool = $rel:
  dsmtool --help                 every family and command
  dsmtool pool create NAME --type AdvancedDisk --server SERVER
  dsmtool --json vol list POOL   any command prints JSON with --json
  dsmtool service status         where your service runs ('service stop' stops it)
EOF
