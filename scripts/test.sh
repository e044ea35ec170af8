#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# Usage: scripts/test.sh [--asan]   (--asan: AddressSanitizer + UBSan build in build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=$(scripts/build.sh "$@" | tail -n 1)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
# A printing service of the tests' own with a PDF queue as its default printer: the report
# print test prints there and reads the PDF back. Stopped (by its pid) however the tests end.
PRINT_DIR=$(mktemp -d "${TMPDIR:-/tmp}/torascan-print.XXXXXX")
trap 'scripts/print-service.sh stop "$PRINT_DIR"; rm -rf "$PRINT_DIR" 2>/dev/null || true' EXIT
PRINT_ENV=$(scripts/print-service.sh start "$PRINT_DIR")
export CUPS_SERVER TORASCAN_TEST_PRINT_OUT
eval "$PRINT_ENV"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
# The DICOM reader under the fuzzer for a minute: the regression inputs, then fresh mutations.
scripts/fuzz.sh 60
