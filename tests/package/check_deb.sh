#!/usr/bin/env bash
# Builds the .deb from BUILD_DIR with cpack into a temporary folder and checks that it holds the
# programs, their man pages, the desktop entry, the icon and the MIME type, and that its
# dependencies were computed from the programs' libraries.
set -euo pipefail
build=$(cd "${1:?usage: check_deb.sh BUILD_DIR}" && pwd)
for tool in dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null; then
    echo "debian package: skipped, $tool is not installed (Debian's dpkg-dev provides it)"
    exit 77
  fi
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; exit 1; }
debs=("$out"/vortana_*.deb)
[ -f "${debs[0]}" ] || { echo "no vortana_*.deb in the cpack output"; cat "$out/cpack.log"; exit 1; }
contents=$(dpkg-deb -c "${debs[0]}")
status=0
for file in usr/bin/vortana usr/bin/vortana-render usr/bin/vortana-sample \
  usr/share/man/man1/vortana.1 usr/share/man/man1/vortana-render.1 \
  usr/share/man/man1/vortana-sample.1 usr/share/applications/vortana.desktop \
  usr/share/icons/hicolor/scalable/apps/vortana.svg usr/share/mime/packages/vortana.xml; do
  if ! grep -q " \./$file\$" <<<"$contents"; then
    echo "missing from the package: /$file"
    status=1
  fi
done
depends=$(dpkg-deb -f "${debs[0]}" Depends)
for library in libqt6widgets6 libspng0 libc6; do
  if ! grep -q "$library" <<<"$depends"; then
    echo "Depends lacks $library: $depends"
    status=1
  fi
done
[ $status -eq 0 ] && echo "debian package: $(basename "${debs[0]}") holds all $(wc -l <<<"$contents") entries needed; Depends: $depends"
exit $status
