#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Quenor needs.
# Runs as root without a terminal; installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev googletest libbenchmark-dev
  libpng-dev zlib1g-dev libzip-dev libcurl4-openssl-dev
  fonts-dejavu-core
  python3 openssl ca-certificates
  e2fsprogs btrfs-progs mount
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run this script as root, or install them with apt-get." >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
