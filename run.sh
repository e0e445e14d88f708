#!/usr/bin/env bash
# Builds Vortana and runs it: writes the sample data sets into samples/.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh build
mkdir -p samples
build/src/app/vortana-sample --all samples
