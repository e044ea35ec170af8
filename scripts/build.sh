#!/usr/bin/env bash
# Configures and builds toraScan. Usage: scripts/build.sh [--asan]  (build dir: build/ or build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=build
EXTRA=()
if [ "${1:-}" = "--asan" ]; then
  BUILD_DIR=build-asan
  EXTRA=(-DTORASCAN_SANITIZE=ON -DTORASCAN_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
fi
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/torascan-ccache}"
# Paths relative to the checkout, so that another clone or worktree reuses the cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
# Progress and errors go to stderr; stdout carries only the build folder for the caller.
cmake -S . -B "$BUILD_DIR" -G Ninja "${EXTRA[@]}" >&2
cmake --build "$BUILD_DIR" -j "$(nproc)" >&2
echo "$BUILD_DIR"
