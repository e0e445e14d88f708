#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14, AddressSanitizer + UndefinedBehaviorSanitizer) and runs
# each of them for SECONDS seconds (default 60), all at once, one process each.
#
#   fuzz/run.sh [SECONDS]
#
# Corpora grow in fuzz/corpus-loader and fuzz/corpus-dialog; logs and any crashing, leaking or
# slow input go to fuzz/out/. Seeds: fuzz/seeds/<target> (hand-made, committed) and the sample
# flows at small sizes, written afresh by each run. Exits non-zero when a target found anything.
# Environment: VORTANA_FUZZ_BUILD (build folder, default build-libfuzzer), VORTANA_FUZZ_ARGS
# (extra libFuzzer options for both targets).
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
build=${VORTANA_FUZZ_BUILD:-build-libfuzzer}

# clang with libFuzzer and the sanitizer runtimes, where missing.
scripts/install-missing.sh clang-14 libclang-rt-14-dev cmake

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  >/dev/null
cmake --build "$build" -j2 --target loader_fuzz dialog_fuzz netcdf_fuzz fuzz_sample

# Seeds from the sample flows: 8 x 8 and 16 x 4 nodes, each pair packed as the loader reads it
# (the grid file's length as 4 bytes little-endian, the grid file, the data file) and each flow
# named in a dialog script.
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/samples" "$seeds/loader" "$seeds/dialog"
le32() {
  local n=$1
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((n & 255)) $(((n >> 8) & 255)) \
    $(((n >> 16) & 255)) $(((n >> 24) & 255)))"
}
for size in "8 8" "16 4"; do
  read -r w h <<<"$size"
  "$build/fuzz_sample" --all --width "$w" --height "$h" "$seeds/samples/${w}x$h" >/dev/null
  for grid in "$seeds/samples/${w}x$h"/*.gri; do
    name=$(basename "$grid" .gri)
    data="${grid%.gri}.00000.dat"
    { le32 "$(stat -c %s "$grid")"; cat "$grid" "$data"; } >"$seeds/loader/$name-${w}x$h"
    printf 'sample %s %s %s\nclick visualize\nclick arrows\nclick visualize\n' \
      "$name" "$w" "$h" >"$seeds/dialog/$name-${w}x$h"
  done
done

mkdir -p fuzz/out fuzz/corpus-loader fuzz/corpus-dialog fuzz/corpus-netcdf
common=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024
  -print_final_stats=1 -detect_leaks=1)
# shellcheck disable=SC2206
extra=(${VORTANA_FUZZ_ARGS:-})
echo "Fuzzing for $seconds s each; logs in fuzz/out/loader.log and fuzz/out/dialog.log"
"$build/loader_fuzz" "${common[@]}" -max_len=8192 -artifact_prefix=fuzz/out/loader- \
  "${extra[@]}" fuzz/corpus-loader fuzz/seeds/loader "$seeds/loader" >fuzz/out/loader.log 2>&1 &
loader=$!
"$build/dialog_fuzz" "${common[@]}" -max_len=2048 -len_control=0 -dict=fuzz/dialog.dict \
  -artifact_prefix=fuzz/out/dialog- "${extra[@]}" fuzz/corpus-dialog fuzz/seeds/dialog \
  "$seeds/dialog" >fuzz/out/dialog.log 2>&1 &
dialog=$!
# NetCDF-4 seeds are HDF5 files of 10 to 25 KB.
# libhdf5 runs in a child process; its requests for gigabytes end only the child.
LSAN_OPTIONS=suppressions=fuzz/netcdf.supp "$build/netcdf_fuzz" "${common[@]}" -malloc_limit_mb=8192 \
  -max_len=32768 -artifact_prefix=fuzz/out/netcdf- \
  "${extra[@]}" fuzz/corpus-netcdf fuzz/seeds/netcdf >fuzz/out/netcdf.log 2>&1 &
netcdf=$!

status=0
wait "$loader" || status=1
wait "$dialog" || status=1
wait "$netcdf" || status=1
for target in loader dialog netcdf; do
  echo "== $target"
  grep -E '^#[0-9]+.*(cov|DONE)' "fuzz/out/$target.log" | tail -n 2 || true
  grep -E '^stat::|^(==[0-9]+==)?(ERROR|SUMMARY)|^(ALARM|Test unit written)' \
    "fuzz/out/$target.log" || true
done
exit $status
