#!/usr/bin/env bash
# One Slurm array task of a measurement campaign: deconvolves its share of a
# file list (one recording path per line, paths valid on every node). Task k
# of N takes lines k+1, k+1+N, k+1+2N, ...; each recording is independent, so
# the tasks need nothing from each other.
#   sbatch --array=0-15 scripts/slurm-array.sh LIST TONE [DECONVOLVE-OPTION...]
# e.g.
#   find /data/campaign -name '*.wav' > campaign.list
#   sbatch --array=0-15 scripts/slurm-array.sh campaign.list /data/tone.wav --bits float
# A task's exit status is ravelin-cli's: 0 all processed or skipped, 1 a file
# failed (see its log), 2 usage or validation.
#SBATCH --job-name=ravelin
#SBATCH --cpus-per-task=1
#SBATCH --mem=2G
#SBATCH --output=ravelin-%A_%a.log
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: sbatch --array=0-N scripts/slurm-array.sh LIST TONE [DECONVOLVE-OPTION...]" >&2
  exit 2
fi
list=$1
tone=$2
shift 2
: "${SLURM_ARRAY_TASK_ID:?not an array task (run through sbatch --array)}"
tasks=${SLURM_ARRAY_TASK_COUNT:?not an array task}
task=$((SLURM_ARRAY_TASK_ID - ${SLURM_ARRAY_TASK_MIN:-0}))

share=$(awk -v tasks="$tasks" -v task="$task" '(NR - 1) % tasks == task && $0 != ""' "$list")
if [ -z "$share" ]; then
  echo "task $task of $tasks: no recordings left for this task" >&2
  exit 0
fi
printf '%s\n' "$share" |
  "${RAVELIN_CLI:-ravelin-cli}" deconvolve --tone "$tone" --quiet --files-from - "$@"
