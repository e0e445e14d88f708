#!/usr/bin/env bash
# Builds Vortana and runs every test; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$(nproc)"
