#!/usr/bin/env bash
# Scanner checks: unit tests under AddressSanitizer/UndefinedBehaviorSanitizer, then a short
# bounded fuzz run on a copy of the seed corpus. Run from the repository root.
set -euo pipefail

cd "$(dirname "$0")/.."
jobs=$(nproc)
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

echo "== scanner tests with ASan/UBSan (build-san)"
cmake -S . -B build-san "${generator[@]}" -DTVP_SCANNER_ONLY=ON -DTVP_SANITIZE=ON
cmake --build build-san -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-san --output-on-failure -j "$jobs"

echo "== scanner fuzz target (build-fuzz)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz "${generator[@]}" -DTVP_SCANNER_ONLY=ON -DTVP_FUZZ=ON
cmake --build build-fuzz --target scanner_fuzz -j "$jobs"

# The fuzzer adds inputs to its corpus directory: give it a copy, never fuzz/corpus itself.
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp -R fuzz/corpus/. "$corpus/"
build-fuzz/scanner_fuzz -max_total_time="${SCANNER_FUZZ_SECONDS:-60}" -timeout=10 \
  -rss_limit_mb=2048 -dict=fuzz/scanner.dict -print_final_stats=1 "$corpus"
echo "== scanner checks passed"
