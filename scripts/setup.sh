#!/usr/bin/env bash
# Installs the Debian packages that building and testing libdsm need.
# Idempotent: installs only what is missing. Run as root (or with sudo).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libomniorb4-dev omniidl omniorb
  libace-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev libcli11-dev nlohmann-json3-dev
  clang llvm
  valgrind
  doxygen
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
