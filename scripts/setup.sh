#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quarnel Veltra needs.
# Does nothing when all of them are already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-translations-l10n libqt6svg6
  libgl-dev libvulkan-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libudev-dev libxkbcommon-dev libxkbcommon-x11-dev
  libhidapi-hidraw0 libhidapi-dev libxtst-dev libx11-xcb-dev x11-xkb-utils xkb-data
  xvfb xauth x11-utils imagemagick
  fonts-dejavu-core
  iproute2 iputils-ping
  openssl ca-certificates
  dpkg-dev lintian desktop-file-utils appstream shared-mime-info help2man
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
