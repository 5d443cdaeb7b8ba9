#!/usr/bin/env bash
# Scanner checks: the scanner alone (TVP_SCANNER_ONLY, without the host or the toolkit) builds
# and passes its tests under AddressSanitizer/UndefinedBehaviorSanitizer. .ci/run fuzzes it.
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

echo "== scanner checks passed"
