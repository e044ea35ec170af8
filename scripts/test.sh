#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# Usage: scripts/test.sh [--asan]   (--asan: AddressSanitizer + UBSan build in build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=$(scripts/build.sh "$@" | tail -n 1)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
# The image database tests run on SQLite and again on a private PostgreSQL server, stopped
# (by its pid) however the run ends.
PG_DIR=$(mktemp -d "${TMPDIR:-/tmp}/torascan-pg.XXXXXX")
trap 'scripts/pg-server.sh stop "$PG_DIR"' EXIT
TORASCAN_PG_SERVER=$(scripts/pg-server.sh start "$PG_DIR")
export TORASCAN_PG_SERVER
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
# The DICOM reader under the fuzzer for a minute: the regression inputs, then fresh mutations.
scripts/fuzz.sh 60
