#!/usr/bin/env bash
# Builds Vortana, writes the sample data sets into samples/, renders each of them to PNG, and
# starts the window when a display is available.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh build
bin=build/src/app

mkdir -p samples
"$bin/vortana-sample" --all samples

render() {  # render NAME SUFFIX OPTIONS...
  local name=$1 suffix=$2
  shift 2
  "$bin/vortana-render" "samples/$name.gri" -o "samples/$name-$suffix.png" --legend "$@"
}
for grid in samples/*.gri; do
  name=$(basename "$grid" .gri)
  render "$name" arrows-speed --plot arrows --background flow --grid-size 16
  render "$name" arrows-pressure --plot arrows --background pressure --grid-size 16
  render "$name" streamlines-vorticity --background vorticity --grid-size 16 --colour FFFFFF
  render "$name" evenly-spaced-speed --background flow --evenly-spaced --d-sep 12 --d-test 6 \
    --integrator rk2 --colour FFFFFF
done
echo "Rendered pictures of every sample into samples/*.png"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the window; open a .gri file from samples/ with the \"...\" button."
  exec "$bin/vortana"
else
  echo "No display found (DISPLAY is not set): the window was not started."
  echo "Look at the pictures in samples/, or run ./run.sh from a desktop session."
fi
