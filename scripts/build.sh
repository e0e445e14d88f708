#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given), passing extra CMake options through.
# VORTANA_TARGETS, when set, names the only targets to build. Ninja is used for a new build folder
# when it is installed, and ccache when it is (neither is needed).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
extra=()
if [[ ! -f "$dir/CMakeCache.txt" ]] && command -v ninja >/dev/null; then extra+=(-G Ninja); fi
if command -v ccache >/dev/null; then
  extra+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}" "$@" >/dev/null
targets=()
for t in ${VORTANA_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
