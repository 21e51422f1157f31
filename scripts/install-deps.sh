#!/usr/bin/env bash
# Installs the Debian packages the project builds with, when they are
# missing; further package names given as arguments are installed with them
# (make fuzz adds clang).
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libsqlite3-dev zlib1g-dev libjsoncpp-dev
          libplist-dev libpugixml-dev libgtest-dev libssl-dev sqlite3 "$@")

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  run=()
elif command -v sudo >/dev/null 2>&1; then
  run=(sudo)
else
  echo "error: not root and no sudo. Install these packages, then run make again:" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! "${run[@]}" apt-get update -qq || ! "${run[@]}" apt-get install -y -qq "${missing[@]}"; then
  echo "error: could not install: ${missing[*]}" >&2
  echo "Install them with your package manager (Debian/Ubuntu: apt-get install ...) and run make again." >&2
  exit 1
fi
