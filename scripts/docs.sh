#!/usr/bin/env bash
# Builds the API reference of the public header with Doxygen, as HTML and as
# man(3) pages, into OUTDIR (default: build/docs). Any Doxygen warning (an
# undocumented exported function, a parameter without its @param, a broken
# reference) fails it.
#
#   scripts/docs.sh [OUTDIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/build/docs}" && cd "${1:-$root/build/docs}" && pwd)
command -v doxygen >/dev/null || "$root/scripts/setup.sh"

# The version header, as the build generates it from the project's version.
version=$(sed -n 's/^project(dsm VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
IFS=. read -r major minor patch <<<"$version"
mkdir -p "$out/include"
sed -e "s/@PROJECT_VERSION_MAJOR@/$major/" -e "s/@PROJECT_VERSION_MINOR@/$minor/" \
    -e "s/@PROJECT_VERSION_PATCH@/$patch/" -e "s/@PROJECT_VERSION@/$version/" \
    "$root/include/dsm_version.h.in" >"$out/include/dsm_version.h"

rm -rf "$out/html" "$out/man"
warnings=$out/warnings.txt
doxygen - >"$out/doxygen.log" <<CONF
PROJECT_NAME           = libdsm
PROJECT_NUMBER         = $version
PROJECT_BRIEF          = "Disk storage management for the backup product's daemons and commands"
OUTPUT_DIRECTORY       = $out
INPUT                  = $root/include/dsm.h $out/include/dsm_version.h
FULL_PATH_NAMES        = NO
OPTIMIZE_OUTPUT_FOR_C  = YES
TYPEDEF_HIDES_STRUCT   = YES
EXTRACT_ALL            = NO
EXTRACT_STATIC         = NO
SORT_MEMBER_DOCS       = NO
ENABLE_PREPROCESSING   = YES
MACRO_EXPANSION        = NO
QUIET                  = YES
WARNINGS               = YES
WARN_IF_UNDOCUMENTED   = YES
WARN_IF_DOC_ERROR      = YES
WARN_NO_PARAMDOC       = YES
WARN_AS_ERROR          = NO
WARN_LOGFILE           = $warnings
GENERATE_HTML          = YES
GENERATE_LATEX         = NO
GENERATE_MAN           = YES
MAN_EXTENSION          = .3
MAN_LINKS              = YES
HAVE_DOT               = NO
CLASS_GRAPH            = NO
COLLABORATION_GRAPH    = NO
CONF
if [ -s "$warnings" ]; then
  echo "docs: Doxygen warnings (fix them in include/dsm.h):" >&2
  cat "$warnings" >&2
  exit 1
fi
echo "docs: $out/html/index.html and $(find "$out/man" -name '*.3' | wc -l) man(3) pages in $out/man"
