#!/usr/bin/env bash
# Builds the .npz and VTK XML targets (as run.sh builds its own) and runs each for SECONDS
# seconds (default 60), both at once. Seeds: the test flows of tests/support/
# write_flow_formats.py (every encoding, and the broken files the tests refuse), written afresh.
#
#   fuzz/run_formats.sh [SECONDS]
#
# Corpora grow in fuzz/corpus-npz and fuzz/corpus-vtk; logs and findings go to fuzz/out/.
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
build=${VORTANA_FUZZ_BUILD:-build-libfuzzer}

scripts/install-missing.sh clang-14 libclang-rt-14-dev cmake python3-numpy
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  >/dev/null
cmake --build "$build" -j2 --target npz_fuzz vtk_fuzz

# numpy comes from Debian's python3-numpy, which the first python3 on the path may lack.
python=python3
python3 -c "import numpy" 2>/dev/null || python=/usr/bin/python3
seeds="$build/seeds/formats"
rm -rf "$seeds"
mkdir -p "$seeds/all" "$seeds/npz" "$seeds/vtk"
"$python" tests/support/write_flow_formats.py "$seeds/all"
find "$seeds/all" -name '*.npz' -size -16k -exec cp {} "$seeds/npz/" \;
find "$seeds/all" \( -name '*.vti' -o -name '*.vtr' \) -size -16k -exec cp {} "$seeds/vtk/" \;

mkdir -p fuzz/out fuzz/corpus-npz fuzz/corpus-vtk
common=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024
  -print_final_stats=1 -detect_leaks=1 -max_len=16384)
echo "Fuzzing for $seconds s each; logs in fuzz/out/npz.log and fuzz/out/vtk.log"
"$build/npz_fuzz" "${common[@]}" -dict=fuzz/npz.dict -artifact_prefix=fuzz/out/npz- \
  fuzz/corpus-npz "$seeds/npz" >fuzz/out/npz.log 2>&1 &
npz=$!
"$build/vtk_fuzz" "${common[@]}" -dict=fuzz/vtk.dict -artifact_prefix=fuzz/out/vtk- \
  fuzz/corpus-vtk "$seeds/vtk" >fuzz/out/vtk.log 2>&1 &
vtk=$!

status=0
wait "$npz" || status=1
wait "$vtk" || status=1
for target in npz vtk; do
  echo "== $target"
  grep -E '^#[0-9]+.*(cov|DONE)' "fuzz/out/$target.log" | tail -n 2 || true
  grep -E '^stat::|^(==[0-9]+==)?(ERROR|SUMMARY)|^(ALARM|Test unit written)' \
    "fuzz/out/$target.log" || true
done
exit $status
