#!/usr/bin/env bash
# Renders the sample flows at every plot type, integrator, placement and background with
# vortana-render and compares the digests of the JSON descriptions and of the decoded pixels
# with tests/golden/pictures.txt, so that no change alters a default picture unnoticed.
#
#   tests/golden/check_pictures.sh BUILD_DIR            compare (a ctest test)
#   tests/golden/check_pictures.sh BUILD_DIR --update   rewrite pictures.txt after a change
#                                                        that is meant to alter pictures
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: check_pictures.sh BUILD_DIR [--update]}" && pwd)
golden="$here/pictures.txt"
actual=$(mktemp)
trap 'rm -f "$actual"' EXIT

"$here/../../bench/picture_digest.sh" "$build" > "$actual"
if [ "${2:-}" = "--update" ]; then
  cp "$actual" "$golden"
  echo "rewrote $golden ($(wc -l < "$golden") pictures)"
  exit 0
fi
if ! diff -u "$golden" "$actual"; then
  echo "golden pictures: the lines above changed (- expected, + now)." >&2
  echo "If the change is meant, run tests/golden/check_pictures.sh BUILD_DIR --update" >&2
  echo "and say in the commit which pictures change and why." >&2
  exit 1
fi
echo "golden pictures: all $(wc -l < "$golden") unchanged"
