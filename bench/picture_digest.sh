#!/usr/bin/env bash
# Prints one digest per sample and setting of the JSON description vortana-render writes and of
# the pixels of its PNG (decoded, so that the encoder's choices do not count), so that a change
# meant only to make things faster can be shown to leave every picture as it was:
#   bench/picture_digest.sh > before.txt; (change, rebuild); bench/picture_digest.sh | diff before.txt -
# Usage: bench/picture_digest.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
render=$(realpath "$build/src/app/vortana-render")
sample=$(realpath "$build/src/app/vortana-sample")
pixels=$(realpath bench/png_pixels.py)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$sample" --all "$work" >/dev/null
"$sample" --size 300 --extent 3,2 --all "$work/uneven" >/dev/null

settings=(
  "--plot arrows --grid-size 8"
  "--plot arrows --grid-size 16 --normalized --background pressure"
  "--plot arrows --grid-size 128 --background vorticity"
  "--grid-size 8"
  "--grid-size 32 --integrator rk2 --background flow"
  "--evenly-spaced --d-sep 10 --d-test 5"
  "--evenly-spaced --d-sep 10 --d-test 5 --integrator rk2 --background flow"
  "--evenly-spaced --d-sep 20 --d-test 10 --delta-t 20 --background pressure"
  "--evenly-spaced --d-sep 50 --d-test 1 --delta-t 1"
  "--plot streamlines --probe 100,100 --probe 300,200 --repaint"
  "--plot arrows --probe 5,5 --repaint --background flow"
  "--background vorticity --legend --colour FFFFFF --grid-size 16"
)
cd "$work"  # the description names the file as given: keep it free of the folder
for name in *.gri uneven/*.gri; do
  for s in "${settings[@]}"; do
    # shellcheck disable=SC2086
    digest=$("$render" "$name" $s --dump - -o picture.png | sha256sum | cut -c1-16)
    png=$("$pixels" picture.png)
    echo "$name | $s | json $digest | png $png"
  done
done
