#!/usr/bin/env bash
# Builds the Debian package of toraScan with CPack in the build folder scripts/build.sh uses
# (same configuration, so the compiler cache already holds every object) and prints its path.
# Only the installed programs are built, not the tests. Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >&2
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/torascan-ccache}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
BUILD_DIR=build
# Configuring again reads the version from the history (the last tag and this commit); the
# prefix is Debian's also in a build folder first configured with another.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_INSTALL_PREFIX=/usr >&2
cmake --build "$BUILD_DIR" -j "$(nproc)" --target toraScan torascan-cli Vantrel >&2
rm -f "$BUILD_DIR"/package/torascan_*.deb
(cd "$BUILD_DIR" && cpack -G DEB) >&2
ls "$PWD/$BUILD_DIR"/package/torascan_*.deb
