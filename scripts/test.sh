#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# Usage: scripts/test.sh [--asan]   (--asan: AddressSanitizer + UBSan build in build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=$(scripts/build.sh "$@" | tail -n 1)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
# The DICOM reader under the fuzzer for a minute: the regression inputs, then fresh mutations.
scripts/fuzz.sh 60
