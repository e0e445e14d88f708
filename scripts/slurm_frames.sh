#!/usr/bin/env bash
# Draws the frames of a long series on a Slurm cluster: one array task a range of FRAMES_PER_TASK
# steps, each task on the cores Slurm gives it. Submit from a folder the nodes share:
#
#   sbatch --array=0-19 scripts/slurm_frames.sh series.npz frames      # steps 0..999 at 50 a task
#
# DATASET and OUTDIR are paths on the shared file system; vortana-render must be on the PATH of
# the nodes (or set VORTANA_RENDER). The colour range is fixed, so that every task's frames share
# one scale; change it, and the drawing options, to suit the data.
#SBATCH --job-name=vortana-frames
#SBATCH --cpus-per-task=4
#SBATCH --mem-per-cpu=1G
#SBATCH --time=01:00:00
#SBATCH --output=vortana-frames-%A_%a.log
set -euo pipefail

dataset=${1:?usage: sbatch --array=0-N slurm_frames.sh DATASET OUTDIR}
outdir=${2:?usage: sbatch --array=0-N slurm_frames.sh DATASET OUTDIR}
per_task=${FRAMES_PER_TASK:-50}
render=${VORTANA_RENDER:-vortana-render}

first=$((SLURM_ARRAY_TASK_ID * per_task))
last=$((first + per_task - 1))
mkdir -p "$outdir"
# A task whose range runs past the last step is refused with exit 2 before it draws anything;
# size the array to the series (steps / FRAMES_PER_TASK tasks, rounded up, with the last range
# trimmed through LAST_STEP).
if [[ -n ${LAST_STEP:-} && $last -gt $LAST_STEP ]]; then last=$LAST_STEP; fi
exec "$render" "$dataset" --frames "$first:$last" --jobs "${SLURM_CPUS_PER_TASK:-1}" \
  --background flow --evenly-spaced --colour-range "${COLOUR_RANGE:-0,160}" \
  -o "$outdir/frame-{step}.png"
