#!/usr/bin/env bash
# Installs every Debian package toraScan needs to build, test and run. Idempotent.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git hyperfine
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql postgresql libgl-dev
  libdcmtk-dev dcmtk libopenjp2-7-dev libfreexl-dev libjpeg-dev libpng-dev
  libsodium-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-apps imagemagick fonts-dejavu-core fonts-liberation2 fonts-wqy-microhei
  cups printer-driver-cups-pdf poppler-utils
  strace
  lintian desktop-file-utils xdg-utils shared-mime-info libfile-mimeinfo-perl adduser systemd
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
