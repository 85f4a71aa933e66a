#!/bin/bash
#SBATCH --job-name=kun2wyt
#SBATCH --array=0-99
#SBATCH --time=00:10:00
# convert.sh: of N array tasks, the Kth (counting the ids from the lowest, evenly spaced)
# converts the Kth input of the list, then every Nth. Each task checks that its own id has a
# place of its own among N; every input it does not convert gets an ERROR line naming it.
set -euo pipefail
{ mapfile -d '' inputs <inputs.list; } 2>/dev/null || { echo "ERROR: cannot read $PWD/inputs.list" >&2; exit 1; }
((${#inputs[@]} > 0)) || { echo "ERROR: $PWD/inputs.list names no input" >&2; exit 1; }
tasks=$SLURM_ARRAY_TASK_COUNT offset=$((SLURM_ARRAY_TASK_ID - SLURM_ARRAY_TASK_MIN)) step=1
((tasks == 1)) || step=$(((SLURM_ARRAY_TASK_MAX - SLURM_ARRAY_TASK_MIN) / (tasks - 1)))
if ((offset % step != 0 || offset / step >= tasks)); then
    echo "ERROR: task $SLURM_ARRAY_TASK_ID: convert.sh needs evenly spaced array task ids, such as --array=0-99" >&2
    exit 1
fi
status=0
for ((i = offset / step; i < ${#inputs[@]}; i += tasks)); do
    kun2wyt "${inputs[i]}" || { printf 'ERROR: not converted: %s\n' "${inputs[i]}" >&2; status=1; }
done
exit "$status"
