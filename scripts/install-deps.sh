#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing;
# --fuzz: with those of the fuzz targets.
set -euo pipefail
packages=(
  cmake g++ make
  qt6-base-dev qt6-multimedia-dev
  qt6-translations-l10n  # Qt's own texts (standard buttons, an edit's menu) in Russian
  libzip-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
)
# Only the fuzz targets need clang and its sanitizer runtimes.
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
