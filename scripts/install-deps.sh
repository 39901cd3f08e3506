#!/usr/bin/env bash
# Installs every Debian package the label designer needs to build, test and run.
# Idempotent: prints nothing and touches nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libqt6uitools6
  qt6-qpa-plugins libqt6opengl6-dev libgl-dev libegl-dev libxkbcommon-dev
  libgsf-1-dev libglib2.0-dev libxerces-c-dev libdmtx-dev
  libsqlite3-dev unixodbc-dev libfreexl-dev libzip-dev mdbtools-dev
  libsqliteodbc libxlsxwriter-dev python3-xlwt python3-xlrd
  zlib1g-dev libpng-dev libjpeg-dev libtiff-dev libgif-dev
  libgtest-dev libgmock-dev libbenchmark-dev libzxing-dev libzint-dev
  clang libclang-rt-14-dev
  fonts-liberation fonts-arphic-uming poppler-utils locales qt6-translations-l10n
  cups-daemon cups-client
  xdg-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
