#!/usr/bin/env bash
# Mutation run: applies one single-point change to the library's sources at a
# time, rebuilds, runs the test suite, and reports the mutants no test kills.
#
#   scripts/mutate.sh [-b BUILD_DIR] [-m ID[,ID...]] [-s] [-l]
#
#   -b  build tree of its own (default: build-mutate, or build-mutate-asan
#       with -s), compiled at -O0 without debug information so that each
#       rebuild stays short
#   -m  run only these mutants (e.g. -m 7,12)
#   -s  build with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer,
#       as the test command's second suite does: a dropped release or a write
#       one past a buffer shows there even when every result is still right
#   -l  list the mutants and exit
#
# Every mutant is a line of the table below: id, kind, file under src/, the
# exact text to change (it must occur exactly once in that file) and its
# replacement; "\n" stands for a line break. The file is restored after each
# mutant and on any exit. The suite is every ctest entry but the install test,
# stopping at the first failure; a test that runs past its time-out counts as
# a kill. Exit status: 0 when every mutant is killed, 1 when one survives,
# 2 on a broken table or build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-mutate
only=""
list=0
sanitize=OFF
while getopts "b:m:sl" opt; do
  case $opt in
    b) build=$OPTARG ;;
    m) only=",$OPTARG," ;;
    s) sanitize=ON; [ "$build" != "$root/build-mutate" ] || build=$root/build-mutate-asan ;;
    l) list=1 ;;
    *) sed -n '4,16p' "$0"; exit 2 ;;
  esac
done

mutants() {
  cat <<'TABLE'
1|status|dsmlib_frame.cpp|    return DSM_E_NULL_RESULT;|    return DSM_E_CORBA;
2|status|dsmlib_frame.cpp|    return DSM_E_STD;|    return DSM_E_UNKNOWN;
3|status|dsmlib_frame.cpp|    log_user_exception(*this, line_, e);\n    return DSM_E_INVALID_ARG;|    log_user_exception(*this, line_, e);\n    return DSM_E_SERVICE;
4|status|dsmlib_frame.cpp|    int status = -1;|    int status = 0;
5|status|dsmlib_api.h|? DSM_E_AUDIT : status;|? DSM_E_SERVICE : status;
6|status|dsmlib_diskgroup.cpp|        if (diskvolume_name_len < 257) return DSM_E_INVALID_ARG;|        if (diskvolume_name_len < 257) return DSM_OK;
7|status|dsmlib_diskgroup.cpp|        return DSM_E_NO_REPLICATION;|        return DSM_E_INVALID_ARG;
8|status|validate_fast_backup.cpp|    set_is(is, 1);|    set_is(is, 0);
9|compare|dsmlib_frame.cpp|    if (count >= 0) return false;|    if (count > 0) return false;
10|compare|validate_fast_backup.cpp|        if (avail <= *count) {|        if (avail < *count) {
11|compare|dsmlib_popext.cpp|    if (s & 1) return 1;|    if (s & 2) return 1;
12|compare|DiskServiceHelper.cpp|    if (value > INT_MAX) return INT_MAX;|    if (value < INT_MAX) return INT_MAX;
13|compare|Brenlow.cpp|status == -3 \|\| status > 1;|status == -3 \|\| status >= 1;
14|compare|dsmlib_popext.cpp|    if (DiskServiceHelper::toInt(count.in()) > 0)|    if (DiskServiceHelper::toInt(count.in()) < 0)
15|compare|dsmlib_diskgroup.cpp|    return c < 0 ? -1 : c > 0 ? 1 : 0;|    return c > 0 ? -1 : c < 0 ? 1 : 0;
16|compare|validate_fast_backup.cpp|(n > KDCAT_MAX_RESIDENCES ?|(n < KDCAT_MAX_RESIDENCES ?
17|compare|dsmlib_common.cpp|    if (server == emm) return mine._retn();|    if (server != emm) return mine._retn();
18|compare|validate_fast_backup.cpp|    return state != 0 && storage_server_support_fast_backup(server);|    return state == 0 && storage_server_support_fast_backup(server);
19|compare|validate_fast_backup.cpp|unit.sub_media_type == kSubMediaStsDynamic|unit.sub_media_type != kSubMediaStsDynamic
20|compare|validate_fast_backup.cpp|    if (group.selection_method != kSelectionFailover) {|    if (group.selection_method == kSelectionFailover) {
21|copy|dsmlib_popext.cpp|    V_strlcpy(dst, src, N);|    V_strlcpy(dst, src, N - 1);
22|copy|dsmlib_popext.cpp|V_strlcpy(at, value, field.slot.size);|V_strlcpy(at, value, field.slot.size - 1);
23|copy|dsmlib_diskgroup.cpp|        V_strlcpy(diskvolume_name, name.in(), 256);|        V_strlcpy(diskvolume_name, name.in(), 255);
24|copy|dsmlib_field.h|    return {field, strnlen(field, N)};|    return {field, strnlen(field, N - 1)};
25|copy|dsmlib_common.cpp|        V_strlcpy(g_emm, name, kNameCopy);|        V_strlcpy(g_emm, name, kNameCopy - 1);
26|copy|validate_fast_backup.cpp|V_strlncpy(q.server_type, server_type, 16, sizeof q.server_type);|V_strlncpy(q.server_type, server_type, 15, sizeof q.server_type);
27|swap|dsmlib_diskgroup.cpp|        DSM_REQUIRE(f, primary_diskgroup);\n        DSM_REQUIRE(f, secondary_diskgroup);|        DSM_REQUIRE(f, secondary_diskgroup);\n        DSM_REQUIRE(f, primary_diskgroup);
28|swap|dsmlib_api.h|        return f.isNull(out, out_name, line) \|\| f.isNegative(num_alloc, alloc_name, line) \|\||        return f.isNegative(num_alloc, alloc_name, line) \|\| f.isNull(out, out_name, line) \|\|
29|swap|dsmlib_diskgroup.cpp|        DSM_REQUIRE(f, mountpoint);\n        DSM_REQUIRE(f, diskvolume_name);|        DSM_REQUIRE(f, diskvolume_name);\n        DSM_REQUIRE(f, mountpoint);
30|swap|dsmlib_enclosure.cpp|        DSM_REQUIRE(f, stserverinfo);\n        DSM_REQUIRE(f, at_display_names);|        DSM_REQUIRE(f, at_display_names);\n        DSM_REQUIRE(f, stserverinfo);
31|swap|dsmlib_enclosure.cpp|        DSM_REQUIRE(f, stserver);\n        DSM_REQUIRE(f, configitems);\n        DSM_REQUIRE(f, num_avail_configitems);|        DSM_REQUIRE(f, stserver);\n        DSM_REQUIRE(f, num_avail_configitems);\n        DSM_REQUIRE(f, configitems);
32|swap|dsmlib_removeref.cpp|        if (f.isNull(records, records_name, __LINE__)) return DSM_E_INVALID_ARG;\n        if (count_name && f.isNegative(count, count_name, __LINE__)) return DSM_E_INVALID_ARG;|        if (count_name && f.isNegative(count, count_name, __LINE__)) return DSM_E_INVALID_ARG;\n        if (f.isNull(records, records_name, __LINE__)) return DSM_E_INVALID_ARG;
33|release|dsmlib_api.h|    if (T* v = held<T>(object_ref)) v->_remove_ref();|    (void)held<T>(object_ref);
34|release|dsmlib_common.cpp|        g_dsm = DS::DiskServiceMgr::_nil();\n    }\n    CORBA::release(old);|        g_dsm = DS::DiskServiceMgr::_nil();\n    }\n    (void)old;
35|release|dsmlib_removeref.cpp|        for (int i = 0; i < count; ++i) dsm::release_held<Held>(records[i].object_ref);|        for (int i = 0; i + 1 < count; ++i) dsm::release_held<Held>(records[i].object_ref);
36|release|validate_fast_backup.cpp|    dsm_removeref_diskgroupinfo(&info);\n    return|    return
37|release|dsmlib_enclosure.cpp|        dsm_removeref_storageserver(&info);|        (void)info;
38|audit|dsmlib_api.h|    return status == DSM_OK && audit != 0 ? DSM_E_AUDIT : status;|    return audit != 0 ? status : status;
39|audit|dsmlib_diskgroup.cpp|    const int audit = audited ? dsm::audit_value(result->properties()) : 0;|    const int audit = 0;
40|audit|dsmlib_diskgroup.cpp|            audit = dsm::audit_value(result->properties());\n            return DSM_OK;|            return DSM_OK;
41|audit|dsmlib_api.h|    if (reason) DiskServiceHelper::addProperty(props, "DSM::AuditReason", reason);|    if (reason && !reason) DiskServiceHelper::addProperty(props, "DSM::AuditReason", reason);
42|message|dsmlib_frame.cpp|"' is NULL");|"' is null");
43|message|dsmlib_frame.cpp|"Calling dsm->", operation, "()"|"Calling dsm->", operation, "( )"
44|message|dsmlib_frame.cpp|" returned NULL "|" returned null "
45|message|dsmlib_frame.cpp|"' is negative ("|"' is negative("
46|message|dsmlib_frame.cpp|"Failed to connect to DiskServiceMgr (kdemm)"|"Failed to connect to DiskServiceMgr"
47|message|dsmlib_common.cpp|"Invalid DiskServerMgr connection; Reconnecting..."|"Invalid DiskServiceMgr connection; Reconnecting..."
48|message|validate_fast_backup.cpp|because its selection method is not FAILOVER|because its selection method is not failover
49|message|dsmlib_frame.cpp|"CORBA exception: "|"CORBA exception "
50|message|dsmlib_frame.cpp|"Failed to populate ", type, " (error="|"Failed to populate ", type, "(error="
51|count|dsmlib_api.h|    *num_avail = static_cast<int>(length);|    *num_avail = static_cast<int>(length) - 1;
52|count|dsmlib_api.h|static_cast<long long>(i) < num_alloc;|static_cast<long long>(i) <= num_alloc;
53|count|dsmlib_enclosure.cpp|            if (*num_avail_names >= num_alloc_names) {|            if (*num_avail_names > num_alloc_names) {
54|count|validate_fast_backup.cpp|            *count = avail;\n            return 0;|            *count = avail - 1;\n            return 0;
55|count|dsmlib_enclosure.cpp|        for (unsigned int i = 0; i < num_configitems; ++i) {|        for (unsigned int i = 0; i + 1 < num_configitems; ++i) {
56|count|dsmlib_diskgroup.cpp|        *num_diskgroups = static_cast<int>(length);|        *num_diskgroups = static_cast<int>(length) + 1;
TABLE
}

# Prints the file with mutant $1's change applied; fails unless the text
# occurs exactly once.
apply() {
  python3 - "$root/src/$2" "$3" "$4" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2], sys.argv[3]
old, new = (s.replace("\\n", "\n").replace("\\|", "|") for s in (old, new))
text = open(path).read()
n = text.count(old)
if n != 1:
    sys.exit(f"{path}: the text to change occurs {n} times: {old!r}")
open(path, "w").write(text.replace(old, new))
PY
}

# Splits a table line on the unescaped '|'.
fields() {
  python3 -c 'import re,sys; print("\0".join(re.split(r"(?<!\\)\|", sys.argv[1])), end="")' "$1"
}

if [ "$list" = 1 ]; then
  mutants | while IFS= read -r line; do
    mapfile -d '' f < <(fields "$line")
    printf '%3s %-8s %s\n' "${f[0]}" "${f[1]}" "${f[2]}"
  done
  exit 0
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g0" \
  -DCMAKE_C_FLAGS_DEBUG="-O0 -g0" -DDSM_BUILD_TESTS=ON -DDSM_BUILD_BENCH=OFF \
  -DDSM_SANITIZE="$sanitize" >/dev/null
echo "mutate: building the unmutated tree in $build"
cmake --build "$build" -j"$(nproc)" >"$build/mutate-build.log" 2>&1 || { echo "mutate: the unmutated build fails"; exit 2; }
suite() {
  ctest --test-dir "$build" -j"$(nproc)" --stop-on-failure -E '^install_consumers$' "$@"
}
suite >"$build/mutate-suite.log" 2>&1 || { echo "mutate: the unmutated suite fails ($build/mutate-suite.log)"; exit 2; }

saved=$(mktemp -d)
current=""
# A plain copy gives the restored file a new time, so the next build
# recompiles it.
restore() { if [ -n "$current" ]; then cp "$saved/file" "$root/src/$current"; current=""; fi; }
trap 'restore; rm -rf "$saved"' EXIT
trap 'exit 130' INT TERM

killed=0 survived=0 total=0
survivors=()
while IFS= read -r line; do
  mapfile -d '' f < <(fields "$line")
  id=${f[0]} kind=${f[1]} file=${f[2]}
  [ -z "$only" ] || [[ $only == *",$id,"* ]] || continue
  cp -p "$root/src/$file" "$saved/file"
  current=$file
  apply "$id" "$file" "${f[3]}" "${f[4]}" || exit 2
  total=$((total + 1))
  start=$SECONDS
  if ! cmake --build "$build" -j"$(nproc)" >"$build/mutate-build.log" 2>&1; then
    verdict="killed (does not compile)"
  elif suite >"$build/mutate-suite.log" 2>&1; then
    verdict="SURVIVED"
  else
    verdict="killed by $(grep -m1 -oE '[0-9]+ - [a-z_]+' "$build/mutate-suite.log" | sed 's/^[0-9]* - //' || true)"
    [ "$verdict" != "killed by " ] || verdict="killed (stopped: $(grep -m1 -E 'Failed|Timeout|Exception' "$build/mutate-suite.log" | tr -s ' ' || true))"
  fi
  restore
  if [ "$verdict" = SURVIVED ]; then
    survived=$((survived + 1)); survivors+=("$id $kind $file")
  else
    killed=$((killed + 1))
  fi
  printf 'mutant %3s %-8s %-26s %s (%d s)\n' "$id" "$kind" "$file" "$verdict" $((SECONDS - start))
done < <(mutants)

# Leaves the build tree matching the sources again.
cmake --build "$build" -j"$(nproc)" >"$build/mutate-build.log" 2>&1 || true
echo "mutate: $killed of $total mutants killed, $survived survived"
for s in "${survivors[@]}"; do echo "  survived: $s"; done
[ "$survived" = 0 ]
