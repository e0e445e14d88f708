#!/usr/bin/env bash
# Times frame series: FRAMES frames (default 100) of a 1024 x 1024 swaying double gyre drawn by
# vortana-render --frames (background + evenly spaced Euler streamlines, PNG) with one job and
# with two, and by a matplotlib script (imshow + streamplot density 2, one process) over the
# same steps. Prints the wall times and the ratios as a Markdown table.
#
# usage: bench/frames.sh [FRAMES]
#
# Not part of ./test.sh: it writes a series of about 800 MB and takes several minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

frames=${1:-100}
size=1024
python=/usr/bin/python3  # Debian's own, where python3-numpy and python3-matplotlib live
render=build/src/app/vortana-render

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$python" bench/peers/gyre_series.py "$work/gyre.npz" --steps "$frames" --size "$size"
# Ours draws the same steps from a grid/data series (one data file a step, the grid read once a
# frame), matplotlib from the .npz; the pair's own defaults are set to the .npz ones.
build/src/app/vortana-convert "$work/gyre.npz" "$work/gyre.gri" >/dev/null

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }' 
}

ours() {
  mkdir -p "$work/jobs$1"
  seconds "$render" "$work/gyre.gri" --frames "0:$((frames - 1))" --background flow \
    --evenly-spaced --integrator euler --view data --y-axis up --step-units pixels --jobs "$1" \
    -o "$work/jobs$1/frame-{step}.png"
}

one=$(ours 1)
two=$(ours 2)
middle=$(printf '%05d' $((frames / 2)))
cmp -s "$work/jobs1/frame-$middle.png" "$work/jobs2/frame-$middle.png" ||
  { echo "frames: one job and two drew different frames" >&2; exit 1; }
theirs=$(seconds "$python" bench/peers/mpl_frames.py "$work/gyre.npz" "$work/mpl" --density 2)

printf '| %s | %s |\n' "$frames frames of $size x $size, background + evenly spaced Euler, PNG" "seconds"
printf '|---|---|\n'
printf '| vortana-render --jobs 1 | %.2f |\n' "$one"
printf '| vortana-render --jobs 2 | %.2f |\n' "$two"
printf '| matplotlib imshow + streamplot, one process | %.2f |\n' "$theirs"
awk -v one="$one" -v two="$two" -v theirs="$theirs" 'BEGIN {
  printf "\n2 jobs against 1: %.2fx; against matplotlib: 2 jobs %.1fx, 1 job %.1fx\n",
    one / two, theirs / two, theirs / one }'

