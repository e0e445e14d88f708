#!/usr/bin/env bash
# Installs what Vortana needs to build, run and test on Debian 12, where it is missing.
set -euo pipefail

"$(dirname "$0")/install-missing.sh" build-essential cmake pkg-config qt6-base-dev libgl-dev \
  nlohmann-json3-dev libcli11-dev libspng-dev zlib1g-dev libgtest-dev libgmock-dev \
  libbenchmark-dev ninja-build xvfb xauth \
  fonts-dejavu-core fonts-dejavu-extra python3 help2man dpkg-dev file \
  libzip-dev libexpat1-dev libnetcdf-dev python3-numpy python3-netcdf4 \
  libcairo2-dev poppler-utils librsvg2-bin \
  libwebp-dev webp python3-matplotlib \
  pybind11-dev python3-dev python3-pytest
