#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# Usage: scripts/test.sh [--asan]   (--asan: AddressSanitizer + UBSan build in build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=$(scripts/build.sh "$@" | tail -n 1)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
# A printing service of the tests' own with a PDF queue as its default printer (the report print
# test prints there and reads the PDF back), and a private PostgreSQL server on which the image
# database tests run again. Both are stopped (by their pids) however the tests end.
PRINT_DIR=$(mktemp -d "${TMPDIR:-/tmp}/torascan-print.XXXXXX")
PG_DIR=$(mktemp -d "${TMPDIR:-/tmp}/torascan-pg.XXXXXX")
trap 'scripts/print-service.sh stop "$PRINT_DIR"; rm -rf "$PRINT_DIR" 2>/dev/null || true; scripts/pg-server.sh stop "$PG_DIR"' EXIT
PRINT_ENV=$(scripts/print-service.sh start "$PRINT_DIR")
export CUPS_SERVER TORASCAN_TEST_PRINT_OUT
eval "$PRINT_ENV"
TORASCAN_PG_SERVER=$(scripts/pg-server.sh start "$PG_DIR")
export TORASCAN_PG_SERVER
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
# The Debian package, installed into this system and purged again: alone, after the tests
# (skipped unless root, and for the sanitizer build, whose programs are not what ships).
# It runs as an administrator would, without the test suite's environment: the offscreen
# platform would keep the installed viewer from drawing its window on the virtual display.
if [ "$BUILD_DIR" = build ]; then
  env -u QT_QPA_PLATFORM -u ASAN_OPTIONS -u CUPS_SERVER -u TORASCAN_TEST_PRINT_OUT \
    -u TORASCAN_PG_SERVER tests/package/package_test.sh
fi
# The DICOM reader under the fuzzer for a minute: the regression inputs, then fresh mutations.
scripts/fuzz.sh 60
