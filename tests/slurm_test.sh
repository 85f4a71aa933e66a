#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# The Slurm array job, examples/convert.sh with the guide's lines, run on a real single-node Slurm that this test
# starts in its own folder (munge and Slurm's daemons talk over localhost only, and are stopped
# by their process ids at the end). Over inputs with hostile names, every array range must
# convert every input and change none, or fail visibly; a task that cannot read the list or
# convert an input must fail, and show as README says it does.
# usage: slurm_test.sh KUN2WYT GUIDE   (as root; exits 77, skipped, where Slurm is not installed)
set -euo pipefail
export LC_ALL=C
for tool in munged mungekey slurmctld slurmd sbatch scontrol; do
    command -v "$tool" >/dev/null || [[ -x /usr/sbin/$tool ]] ||
        { echo "SKIPPED: $tool is not installed (Debian: munge slurmctld slurmd slurm-client)"; exit 77; }
done
((EUID == 0)) || { echo "SKIPPED: the daemons need root"; exit 77; }
PATH="$PATH:/usr/sbin"

program=$(realpath "$1") readme=$(realpath "$2") examples=$(cd "$(dirname "$0")/../examples" && pwd)
top=$(mktemp -d)
chmod 755 "$top"
pids=()
stop() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$top"
}
trap stop EXIT

list_line=$(grep -m1 '^find -L "$PWD/data" .*inputs.list$' "$readme")
submit_line=$(grep -m1 '^cp ~/.local/share/doc/kun2wyt/examples/convert.sh \. && sbatch convert.sh$' "$readme")
waiting_sbatch=$(grep -m1 '^sbatch --wait convert.sh' "$readme" | sed 's/ *#.*//')
show_job=$(grep -m1 '^scontrol show job ID' "$readme" | sed 's/ *#.*//')
failed_files=$(grep -m1 "^grep -l '^ERROR' slurm-ID_" "$readme" | sed 's/ *#.*//')
failed_inputs=$(grep -m1 "^grep -h '^ERROR' slurm-ID_" "$readme" | sed 's/ *#.*//')
[[ -n $list_line && -n $submit_line && -n $waiting_sbatch && -n $show_job && -n $failed_files && -n $failed_inputs ]] ||
    { echo "$readme lacks part of the Slurm recipe"; exit 1; }

# munge, with its key, socket, seed, log and pid in this folder.
mkdir -m 700 "$top/munge"
mungekey --create --keyfile="$top/munge/key"
munged --foreground --force --socket="$top/munge/socket" --key-file="$top/munge/key" \
    --log-file="$top/munge/log" --pid-file="$top/munge/pid" --seed-file="$top/munge/seed" 2>/dev/null &
pids+=($!)

# Slurm: one node of two CPUs that takes 50 tasks per CPU, no accounting, no cgroups.
port=$((20000 + RANDOM % 20000))
mkdir "$top/state" "$top/spool"
export SLURM_CONF="$top/slurm.conf"
cat >"$SLURM_CONF" <<EOF
ClusterName=kun2wyt-test
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$top/munge/socket
StateSaveLocation=$top/state
SlurmdSpoolDir=$top/spool
SlurmctldPidFile=$top/slurmctld.pid
SlurmdPidFile=$top/slurmd.pid
SlurmctldLogFile=$top/slurmctld.log
SlurmdLogFile=$top/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
ReturnToService=2
NodeName=localhost NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=localhost Default=YES MaxTime=INFINITE State=UP OverSubscribe=FORCE:50
EOF
for ((i = 0; i < 100; i++)); do [[ -S $top/munge/socket ]] && break; sleep 0.1; done
slurmctld -D -i -f "$SLURM_CONF" 2>/dev/null &
pids+=($!)
slurmd -D -N localhost -f "$SLURM_CONF" 2>/dev/null &
pids+=($!)
for ((i = 0; i < 300; i++)); do
    sinfo -h -o %T 2>/dev/null | grep -q -x idle && break
    sleep 0.1
done
sinfo -h -o %T | grep -q -x idle || { echo "Slurm did not come up"; tail "$top"/*.log; exit 1; }

# The inputs, in data/ below the job's folder: blanks, newlines, leading dashes, bytes that are
# not UTF-8, shell syntax; .kun and .KUN.
mkdir -p "$top/bin" "$top/job/data"
ln -s "$program" "$top/bin/kun2wyt"
PATH="$top/bin:$PATH" # the job takes the submitter's environment
inputs=() outputs=()
for ((i = 0; i < 336; i++)); do
    case $((i % 5)) in
    0) stem="run $i" ;;
    1) stem=$'line\nbreak'"$i" ;;
    2) stem="-n$i" ;;
    3) stem=$'\xff\xfe'"$i" ;;
    4) stem="x;touch PWNED;\$(touch PWNED)'\"\\$i" ;;
    esac
    ext=kun && ((i % 2)) && ext=KUN
    printf 'level %d\n' "$i" >"$top/job/data/$stem.$ext"
    inputs+=("$top/job/data/$stem.$ext") outputs+=("$top/job/data/$stem.wyt")
done
# An input that is a link to a file kept elsewhere, and a linked folder that holds one.
mkdir -p "$top/store/dir"
printf 'level %d\n' ${#inputs[@]} >"$top/store/kept.kun"
ln -s "$top/store/kept.kun" "$top/job/data/linked.kun"
inputs+=("$top/job/data/linked.kun") outputs+=("$top/job/data/linked.wyt")
printf 'level %d\n' ${#inputs[@]} >"$top/store/dir/inner.KUN"
ln -s ../../store/dir "$top/job/data/folder"
inputs+=("$top/job/data/folder/inner.KUN") outputs+=("$top/store/dir/inner.wyt")
cd "$top/job"
bash -c "$list_line"
# The guide's copy of the script, from the examples as the archive installs them into ~/.local.
mkdir -p "$top/home/.local/share/doc/kun2wyt"
ln -s "$examples" "$top/home/.local/share/doc/kun2wyt/examples"
HOME=$top/home bash -c "${submit_line% && sbatch convert.sh}"

passed=0 failures=0
fail() {
    printf 'FAIL %s\n' "$*"
    failures=$((failures + 1))
}

# submit FOLDER SBATCH-OPTIONS: README's sbatch --wait, with the options, from FOLDER. Sets
# `status` and `job`, and `states`: each task's state as README's scontrol shows it, counted.
submit() {
    local folder=$1 line
    line="${waiting_sbatch/sbatch --wait/sbatch --wait $2}"
    status=0
    output=$(cd "$folder" && bash -c "$line" 2>&1) || status=$?
    job=$(sed -n 's/^Submitted batch job \([0-9]*\)$/\1/p' <<<"$output")
    states=$(bash -c "${show_job//ID/$job}" | grep -o 'JobState=[A-Z]*' | sort | uniq -c | paste -sd ' ' | tr -s ' ' | sed 's/^ //')
}

# check TITLE CONVERTED: inputs unchanged; all outputs there and empty, or none; no other file.
check() {
    local title=$1 converted=$2 i files failed_before=$failures
    for i in "${!inputs[@]}"; do
        [[ $(<"${inputs[i]}") == "level $i" ]] || fail "$title: ${inputs[i]@Q} changed"
        if ((converted)); then
            [[ -f ${outputs[i]} && ! -s ${outputs[i]} ]] || fail "$title: ${outputs[i]@Q} is not there, empty"
        fi
    done
    files=$(find -L data -type f -printf x | wc -c)
    ((files == ${#inputs[@]} * (1 + converted))) || fail "$title: $files files in data/"
    [[ -z $(find "$top" -name PWNED) ]] || fail "$title: a name ran as a command"
    printf '%s: status %d, tasks %s\n' "$title" "$status" "$states"
    ((failures > failed_before)) || passed=$((passed + 1))
    clean
}
clean() {
    find -L data -name '*.wyt' -exec rm -f {} +
    rm -f slurm-*.out
}
# every_task_says FOLDER WHAT: README's grep -l names the output of each of the job's tasks, and
# each says WHAT.
every_task_says() {
    local named
    named=$(cd "$1" && bash -c "${failed_files//ID/$job}" | wc -l)
    ((named == ${#tasks[@]})) || fail "grep -l names $named tasks' output, not ${#tasks[@]}"
    for task in "${tasks[@]}"; do
        grep -q "^ERROR: .*$2" "$1/slurm-${job}_$task.out" || fail "task $task does not say $2"
    done
}

# As written (the script's 100 tasks), and any other evenly spaced ids on the command line.
for array in "" --array=1-7 --array=2-30:4%3 --array=3,5,7; do
    submit . "$array"
    [[ $status == 0 && $states == *COMPLETED && $states != *FAILED* ]] || fail "${array:-as written}: $output $states"
    check "sbatch ${array:-as written}" 1
done

# Task ids that are not evenly spaced: task 3 has no share of its own, its offset being off the
# step (0, 2, 3, 6) or a multiple of it past the number of tasks (0, 1, 3). It fails, and so do
# the job and the wait.
for row in "0-2:2,3,6 3" "0,1,3 2"; do
    read -r ids completed <<<"$row"
    submit . --array="$ids"
    [[ $status != 0 && $states == "$completed JobState=COMPLETED 1 JobState=FAILED" ]] ||
        fail "uneven ids $ids: status $status, $states"
    grep -q '^ERROR: task 3: convert.sh needs evenly spaced' slurm-"$job"_3.out || fail "uneven ids $ids: no message"
    clean
    passed=$((passed + 1))
done

# Submitted from a folder without inputs.list, or with an empty one: every task fails, saying so.
mkdir elsewhere empty && cp convert.sh elsewhere/ && cp convert.sh empty/ && : >empty/inputs.list
tasks=(0 1 2 3)
submit elsewhere --array=0-3
[[ $status != 0 && $states == "4 JobState=FAILED" ]] || fail "no list: status $status, $states"
every_task_says elsewhere "cannot read .*inputs.list"
submit empty --array=0-3
[[ $status != 0 && $states == "4 JobState=FAILED" ]] || fail "empty list: status $status, $states"
every_task_says empty "inputs.list names no input"
rm -rf elsewhere empty
check "sbatch without inputs.list, or with an empty one, fails" 0

# An input gone between listing and converting: its task fails, and README's greps find it.
mapfile -d '' listed <inputs.list
gone=${listed[7]} # the first that task 7 of 10 converts
mv "$gone" "$top/gone"
submit . --array=0-9
mv "$top/gone" "$gone"
[[ $status == 1 && $states == "9 JobState=COMPLETED 1 JobState=FAILED" ]] || fail "a gone input: status $status, $states"
[[ $(bash -c "${failed_files//ID/$job}") == "slurm-${job}_7.out" ]] || fail "grep -l does not name task 7's output"
[[ $(bash -c "${failed_inputs//ID/$job}") == "ERROR: cannot open input file $gone for reading..."$'\n'"ERROR: not converted: $gone" ]] ||
    fail "grep -h does not name the input: $(bash -c "${failed_inputs//ID/$job}")"
files=$(find -L data -name '*.wyt' -printf x | wc -c)
((files == ${#inputs[@]} - 1)) || fail "a gone input: $files outputs"
clean
passed=$((passed + 1))

printf '%d passed, %d failed\n' "$passed" "$failures"
((failures == 0))
