#!/usr/bin/env bash
# Builds Vortana and runs every test, then builds it again with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/) and runs every test there too. Exits non-zero on any
# failure or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
jobs=$(nproc)

echo "== Build and test (build/)"
scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Build and test with AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)"
scripts/build.sh build-asan -DVORTANA_SANITIZE=ON -DVORTANA_BUILD_BENCH=OFF
# Any report ends the test program with a failure; leaks are reported at exit.
export ASAN_OPTIONS=abort_on_error=0:halt_on_error=1:detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build-asan --output-on-failure -j"$jobs"
