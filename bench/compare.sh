#!/usr/bin/env bash
# Times Vortana against the tools a user would pick instead, on the same data sets: VTK's evenly
# spaced streamlines, matplotlib's streamplot and imshow, a matplotlib script that renders a PNG,
# and a raw read of the file pair. Ours and theirs run alternately, round after round (the order
# flips every round), so a slow spell of the machine hits both sides alike. Prints the medians as
# a Markdown table and writes them, with the machine and the commands, to bench/README.md.
#
# usage: bench/compare.sh [ROUNDS]        ROUNDS defaults to 5
#
# Not part of ./test.sh: it installs the peers (Debian's python3-matplotlib and python3-vtk9) when
# they are missing and takes several minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${1:-5}
size=1024      # nodes across and down of the compared data sets
big_size=4096  # nodes across and down of the data set for the memory figure
# One world unit per drawing-area pixel: Delta t 10 (dt 0.1) then steps a tenth of a pixel and the
# Runge-Kutta trial point lies one pixel ahead. With the samples' own extent (1,1) a step would
# span 51 pixels and the streamlines would be a few scattered dots.
extent=512,512
flows=(double-gyre vortex-street)
d_sep=10
d_test=5
density=2
python=/usr/bin/python3  # Debian's own, where the Debian packages of the peers live

log() { echo "compare: $*" >&2; }

scripts/setup.sh
scripts/install-missing.sh python3-numpy python3-matplotlib python3-vtk9 time >&2
log "building"
scripts/build.sh build >/dev/null
bin=build/src/app
ours=build/bench/compare_ours
peers=bench/peers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/results" "$work/data"

# --- recording -----------------------------------------------------------------------------

# The command as the README shows it: the temporary folder becomes DATA.
note_command() {
  local line="${*//"$work"/DATA}"
  grep -qxF -- "$line" "$work/commands" 2>/dev/null || echo "$line" >>"$work/commands"
}

# value_of KEY LINE: the word after KEY in a "key value key value" line.
value_of() { awk -v key="$1" '{ for (i = 1; i < NF; i++) if ($i == key) { print $(i + 1); exit } }' <<<"$2"; }

record() { echo "$2" >>"$work/results/$1"; }

median() {
  sort -g "$work/results/$1" |
    awk '{ v[NR] = $1 } END { if (NR % 2) printf "%.1f", v[(NR + 1) / 2]; else printf "%.1f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# timed KEY COMMAND...: the command times its own job and prints "ms X ..."; the rest of the
# line is kept as KEY's description.
timed() {
  local key=$1
  shift
  note_command "$@"
  local line
  line=$("$@")
  record "$key" "$(value_of ms "$line")"
  echo "$line" >"$work/results/$key.info"
}

# process KEY COMMAND...: the wall time of the whole process, start-up included.
process() {
  local key=$1
  shift
  note_command "$@"
  local start stop
  start=$(date +%s%N)
  "$@" >/dev/null 2>"$work/stderr" || { cat "$work/stderr" >&2; exit 1; }
  stop=$(date +%s%N)
  record "$key" "$(awk -v a="$start" -v b="$stop" 'BEGIN { printf "%.3f", (b - a) / 1e6 }')"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for flow in "${flows[@]}"; do
  note_command "$bin/vortana-sample" --size "$size" --extent "$extent" "$flow" "$work/data"
  "$bin/vortana-sample" --size "$size" --extent "$extent" "$flow" "$work/data" >/dev/null
  [ -f "$work/data/$flow.gri" ] || { log "vortana-sample wrote no $flow.gri"; exit 1; }
done

# The jobs, each taking the flow's name; ours and the peer's side by side.
evenly_rk2() { timed "evenly-rk2-$1" "$ours" evenly "$work/data/$1" --integrator rk2 --d-sep "$d_sep" --d-test "$d_test" --reps 3; }
vtk_evenly() { timed "vtk-$1" "$python" "$peers/vtk_evenly.py" "$work/data/$1.gri" --d-sep "$d_sep" --d-test "$d_test" --reps 3; }
# The same at Delta t 20, the dialog's longest step (0.2 px here), next to VTK's half a cell (0.25 px).
evenly_rk2_long() { timed "evenly-rk2-long-$1" "$ours" evenly "$work/data/$1" --integrator rk2 --d-sep "$d_sep" --d-test "$d_test" --delta-t 20 --reps 3; }
evenly_euler() { timed "evenly-euler-$1" "$ours" evenly "$work/data/$1" --integrator euler --d-sep "$d_sep" --d-test "$d_test" --reps 3; }
streamplot() { timed "streamplot-$1" "$python" "$peers/mpl_streamplot.py" "$work/data/$1" --density "$density" --reps 2; }
background() { timed "background-$1" "$ours" background "$work/data/$1" --reps 5; }
imshow() { timed "imshow-$1" "$python" "$peers/mpl_imshow.py" "$work/data/$1" --reps 5; }
render() {
  process "render-$1" "$bin/vortana-render" "$work/data/$1.gri" -o "$work/ours-$1.png" --background flow \
    --plot streamlines --evenly-spaced --d-sep "$d_sep" --d-test "$d_test" --integrator rk2
}
# The same at the program's own settings (Euler, Delta t 10), as a new user would first run it.
render_default() {
  process "render-default-$1" "$bin/vortana-render" "$work/data/$1.gri" -o "$work/ours-$1.png" --background flow \
    --plot streamlines --evenly-spaced --d-sep "$d_sep" --d-test "$d_test"
}
both_renders() { render_default "$1"; render "$1"; }
script() { process "script-$1" "$python" "$peers/mpl_render.py" "$work/data/$1" "$work/peer-$1.png" --density "$density"; }
load() { timed "load-$1" "$ours" load "$work/data/$1" --reps 5; }
raw() { timed "raw-$1" "$ours" raw "$work/data/$1" --reps 5; }

# alternate ROUND OURS THEIRS FLOW: runs both jobs, ours first in odd rounds, theirs first in even.
alternate() {
  if (($1 % 2)); then "$2" "$4"; "$3" "$4"; else "$3" "$4"; "$2" "$4"; fi
}
both_steps() { evenly_rk2 "$1"; evenly_rk2_long "$1"; }

# --- the rounds ----------------------------------------------------------------------------

for round in $(seq 1 "$rounds"); do
  log "round $round of $rounds"
  for flow in "${flows[@]}"; do
    alternate "$round" both_steps vtk_evenly "$flow"
    alternate "$round" evenly_euler streamplot "$flow"
    alternate "$round" background imshow "$flow"
    alternate "$round" both_renders script "$flow"
    alternate "$round" load raw "$flow"
  done
done

# --- memory of one render of a large data set -----------------------------------------------

log "memory: a $big_size x $big_size data set"
mkdir -p "$work/big"
note_command "$bin/vortana-sample" --size "$big_size" --extent "$extent" double-gyre "$work/big"
"$bin/vortana-sample" --size "$big_size" --extent "$extent" double-gyre "$work/big" >/dev/null
rm -rf "$work/data"  # room on small disks
big="$work/big/double-gyre"
memory_command=(/usr/bin/time -v "$bin/vortana-render" "$big.gri" -o "$work/big.png" --background flow --evenly-spaced)
"${memory_command[@]}" >/dev/null 2>"$work/time-v" || { cat "$work/time-v" >&2; exit 1; }
peak_kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time-v")
big_wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$work/time-v")
big_load=$("$ours" load "$big" --reps 1)
node_bytes=$(value_of node_bytes "$big_load")
mib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }
peak_mib=$(mib $((peak_kib * 1024)))
node_mib=$(mib "$node_bytes")
over_mib=$(awk -v p="$peak_mib" -v n="$node_mib" 'BEGIN { printf "%.1f", p - n }')
memory_met=$(awk -v o="$over_mib" 'BEGIN { print (o <= 64) ? "yes" : "**no**" }')

# --- the table -----------------------------------------------------------------------------

# row JOB FLOW OURS_KEY PEER_KEY GOAL GOAL_TEXT: the ratio is peer / ours; GOAL is its least value.
row() {
  local ours_ms peer_ms ratio met
  ours_ms=$(median "$3")
  peer_ms=$(median "$4")
  ratio=$(awk -v a="$ours_ms" -v b="$peer_ms" 'BEGIN { printf "%.1f", b / a }')
  met=$(awk -v r="$ratio" -v g="$5" 'BEGIN { print (r >= g) ? "yes" : "**no**" }')
  echo "| $1 | $2 | $ours_ms | $peer_ms | $ratio | $6 | $met |"
}

table() {
  echo "| Job | Flow | Ours (ms) | Peer (ms) | Peer / ours | Goal | Met |"
  echo "|---|---|---:|---:|---:|---|---|"
  local flow
  for flow in "${flows[@]}"; do
    row "evenly spaced streamlines, d_sep $d_sep px, d_test $d_test px: ours RK2 vs VTK vtkEvenlySpacedStreamlines2D (RK2)" \
      "$flow" "evenly-rk2-$flow" "vtk-$flow" 10 "≥ 10"
    row "the same, ours Euler vs VTK (RK2)" "$flow" "evenly-euler-$flow" "vtk-$flow" 10 "≥ 10"
    row "the same at like steps: ours RK2 at Delta t 20 (0.2 px a step) vs VTK (0.25 px a step)" \
      "$flow" "evenly-rk2-long-$flow" "vtk-$flow" 10 "≥ 10"
    row "comparable density: ours evenly spaced RK2, d_sep $d_sep vs matplotlib streamplot density $density" \
      "$flow" "evenly-rk2-$flow" "streamplot-$flow" 30 "≥ 30"
    row "the same, ours Euler vs streamplot" "$flow" "evenly-euler-$flow" "streamplot-$flow" 30 "≥ 30"
    row "speed background 512 x 512: DrawBackground vs matplotlib imshow + canvas draw" \
      "$flow" "background-$flow" "imshow-$flow" 10 "≥ 10"
    row "cold render as a process (load, background, evenly spaced streamlines, PNG) at the program's defaults (Euler): vortana-render vs matplotlib script" \
      "$flow" "render-default-$flow" "script-$flow" 10 "≥ 10"
    row "the same with RK2" "$flow" "render-$flow" "script-$flow" 10 "≥ 10"
    row "loading the $size x $size pair: FlowField::Load vs raw fread of both files" \
      "$flow" "load-$flow" "raw-$flow" 0.5 "≥ 0.5 (ours ≤ 2x raw)"
  done
}

# drawn KEY: "N lines, L px, T µs per px": how many lines, how long they are together in
# drawing-area pixels, and the median time per pixel of line.
drawn() {
  local info count length
  info=$(cat "$work/results/$1.info")
  count="$(value_of lines "$info") lines"
  [ "$count" != " lines" ] || count="$(value_of segments "$info") segments"
  length=$(value_of length_px "$info")
  echo "$count, $length px, $(awk -v t="$(median "$1")" -v l="$length" 'BEGIN { printf "%.2f", t * 1000 / l }') µs per px"
}

pictures() {
  local flow
  for flow in "${flows[@]}"; do
    echo "- $flow: ours RK2 $(drawn "evenly-rk2-$flow"); ours RK2 at Delta t 20 $(drawn "evenly-rk2-long-$flow");"\
      "ours Euler $(drawn "evenly-euler-$flow");"\
      "VTK $(drawn "vtk-$flow"); streamplot $(drawn "streamplot-$flow")."
  done
}

# A remark when the machine was busier than its cores at the start of the run.
shared_note() {
  awk -v l="${load_before%% *}" -v n="$(nproc)" 'BEGIN { if (l > n) printf " (more than the %d cores: other work shared the machine)", n }'
}

machine() {
  local model cores memory compiler
  model=$(lscpu | awk -F': +' '/^Model name/ { print $2; exit }')
  cores=$(nproc)
  memory=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
  compiler=$(awk -F= '/^CMAKE_CXX_COMPILER:/ { print $2 }' build/CMakeCache.txt)
  compiler="$("$compiler" --version | head -1)"
  echo "- CPU: $model, $cores cores"
  echo "- Memory: $memory"
  echo "- Debian $(cat /etc/debian_version), kernel $(uname -r)"
  echo "- Compiler: $compiler, CMake build type RelWithDebInfo (-O2 -g)"
  echo "- Peers: Python $($python -c 'import platform; print(platform.python_version())'),"\
    "NumPy $($python -c 'import numpy; print(numpy.__version__)'),"\
    "matplotlib $($python -c 'import matplotlib; print(matplotlib.__version__)') (Agg),"\
    "VTK $($python -c 'import vtk; print(vtk.vtkVersion.GetVTKVersion())')"
  echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC'); load average (1, 5, 15 min) $load_before at the"
  echo "  start and $(cut -d' ' -f1-3 /proc/loadavg) at the end$(shared_note)"
}

results() {
  echo "Medians over $rounds rounds; within a round each timing program reports the median of"
  echo "its own repetitions after one untimed warm-up."
  echo
  table
  echo
  echo "What each side drew (last round): the lines, their total length in drawing-area pixels and the"
  echo "median time per pixel of line, which weighs the densities:"
  echo
  pictures
  echo
  echo "Memory: \`vortana-render\` on a $big_size x $big_size double gyre with --background flow"
  echo "--evenly-spaced peaks at **$peak_mib MiB** resident (\`/usr/bin/time -v\`, wall $big_wall);"
  echo "the node array is $node_mib MiB ($((big_size * big_size)) nodes x $((node_bytes / (big_size * big_size))) bytes),"
  echo "so the rest of the process takes $over_mib MiB. Goal: at most node array + 64 MiB: $memory_met."
}

results_text=$(results)
echo "$results_text"

# --- bench/README.md -----------------------------------------------------------------------

readme=bench/README.md
marker="<!-- Everything below this line is kept when compare.sh rewrites the file. -->"
kept=""
if [ -f "$readme" ] && grep -qxF -- "$marker" "$readme"; then
  kept=$(sed -n "/^$marker\$/,\$p" "$readme" | tail -n +2)
fi
{
  echo "# Vortana against its peers"
  echo
  echo "Written by \`bench/compare.sh\` (run it from anywhere; \`bench/compare.sh 3\` for fewer rounds)."
  echo "Both sides work on the same file pairs, written by \`vortana-sample\` ($size x $size nodes over"
  echo "[0, 512] x [0, 512], one world unit per pixel, so that Delta t 10 steps a tenth of a pixel)."
  echo "Ours is timed by \`build/bench/compare_ours\` (the field already in memory except for the"
  echo "load row; TraceSettings as the dialog sets them: scale = max / 512, dt = 0.099999994 from"
  echo "Delta t 10, or Delta t 20 where a row says so), the peers by the scripts in \`bench/peers/\` (the"
  echo "call alone, data already read)."
  echo "The cold render rows time whole processes. VTK's filter fails when the data start at 0 (its"
  echo "occupancy index goes to -1), so its grid is shifted by one domain width; velocities are unchanged."
  echo "imshow is given the speed array already computed and draws it with interpolation \"nearest\"."
  echo
  echo "## Machine"
  echo
  machine
  echo
  echo "## Results"
  echo
  echo "$results_text"
  echo
  echo "## Commands"
  echo
  echo "DATA is the temporary folder the script writes the data sets into."
  echo
  echo '```sh'
  cat "$work/commands"
  echo "${memory_command[*]//"$work"/DATA}"
  echo '```'
  echo
  echo "$marker"
  if [ -n "$kept" ]; then echo "$kept"; fi
} >"$readme"
log "wrote $readme"
