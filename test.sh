#!/usr/bin/env bash
# Builds Vortana and runs every test; builds the tests again with the portable fallbacks of the
# SIMD paths (build-portable/) and runs them there; then builds it with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/) and runs every test there too. Exits non-zero on any
# failure or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
jobs=$(nproc)

echo "== Build and test (build/)"
scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$jobs"

# A build of its own rather than the sanitizer build without SIMD: the sanitizers then keep
# watching the SSE2 paths' loads, and this one needs neither the window nor the benchmarks.
echo "== Build and test the portable fallbacks of the SIMD paths (build-portable/)"
# Only what runs the SIMD paths is built there: the background, the occupancy grid, placement,
# the canvas and the two programs the golden pictures need.
VORTANA_TARGETS="background_test occupancy_grid_test placement_test canvas_test vortana-render \
  vortana-sample" scripts/build.sh build-portable -DVORTANA_PORTABLE=ON -DVORTANA_BUILD_GUI=OFF \
  -DVORTANA_BUILD_BENCH=OFF
ctest --test-dir build-portable --output-on-failure -j"$jobs" -E "_NOT_BUILT$"

echo "== Build and test with AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)"
# The window's own code runs its tests in build/; here the engine, the programs and the dialog
# that both the window and vortana-render drive.
scripts/build.sh build-asan -DVORTANA_SANITIZE=ON -DVORTANA_BUILD_BENCH=OFF -DVORTANA_BUILD_GUI=OFF
# Any report ends the test program with a failure; leaks are reported at exit.
export ASAN_OPTIONS=abort_on_error=0:halt_on_error=1:detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
