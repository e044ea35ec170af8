#!/usr/bin/env bash
# Builds the libFuzzer target of the DICOM reader (build-fuzz/, clang, ASan + UBSan), runs
# every file of fuzz/regressions/ once, then fuzzes for SECONDS seconds (default 60).
# Usage: scripts/fuzz.sh [SECONDS]
# The corpus grows in build-fuzz/corpus/; crashing inputs land in build-fuzz/findings/.
# Exit status non-zero when a regression file or a new input crashes, leaks, times out or
# allocates past the limits below.
set -euo pipefail
cd "$(dirname "$0")/.."
RUN_SECONDS="${1:-60}"

missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "fuzz: installing ${missing[*]}" >&2
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=build-fuzz
export CC=clang CXX=clang++
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/torascan-ccache}" CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake -S . -B "$BUILD_DIR" -G Ninja -DTORASCAN_FUZZ=ON -DTORASCAN_BUILD_TESTS=OFF \
  -DTORASCAN_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build "$BUILD_DIR" --target dicom_reader_fuzzer -j "$(nproc)" >&2
FUZZER="$BUILD_DIR/fuzz/dicom_reader_fuzzer"

# -malloc_limit_mb: the largest block the reader may take is one frame of at most 256 MiB
#   widened from 8 to 16 bits (512 MiB); a bigger single allocation is a header believed
#   without a check.
# -rss_limit_mb: the decoded image (every frame, at most 1 GiB) and its container copy plus
#   the sanitizers' own memory stay under 3 GiB; more means the reader allocates far beyond
#   its input and the image.
# -max_len: the largest real seed is about 7.5 MB (an uncompressed 1760 x 2140 radiograph);
#   8 MiB keeps it whole so that its mutations reach the pixel decoding.
LIMITS=(-malloc_limit_mb=640 -rss_limit_mb=3072 -max_len=8388608 -timeout=10)
# The element structure's tokens (items, delimiters, SQ/UN, undefined length, transfer syntaxes).
DICT=(-dict=fuzz/dicom.dict)

mkdir -p "$BUILD_DIR/findings" "$BUILD_DIR/corpus"
regressions=(fuzz/regressions/*)
if [ -e "${regressions[0]}" ]; then
  echo "fuzz: running ${#regressions[@]} regression inputs" >&2
  "$FUZZER" "${LIMITS[@]}" "${regressions[@]}"
fi

# Seeds: the real files from outside the project, copied so that nothing is written there.
SEEDS=$(mktemp -d)
trap 'rm -rf "$SEEDS"' EXIT
TESTDATA="${TORASCAN_TESTDATA_DIR:-$PWD/../shared/testdata}/dicom"
if [ -d "$TESTDATA" ]; then
  find "$TESTDATA" -type f ! -name '*.md' ! -name '*.txt' ! -name SHA256SUMS -print0 |
    while IFS= read -r -d '' f; do cp "$f" "$SEEDS/$(echo "${f#"$TESTDATA"/}" | tr / _)"; done
fi
cp fuzz/regressions/* "$SEEDS"/ 2>/dev/null || true
echo "fuzz: fuzzing for $RUN_SECONDS s" >&2
"$FUZZER" "${LIMITS[@]}" "${DICT[@]}" -max_total_time="$RUN_SECONDS" -print_final_stats=1 \
  -artifact_prefix="$BUILD_DIR/findings/" "$BUILD_DIR/corpus" "$SEEDS"
