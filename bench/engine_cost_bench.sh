#!/usr/bin/env bash
# The engine's cost per marker on studies of real sizes, today and after, side
# by side in one run, and whether both engines print the same results.
#
# "After" is the engine of the build (its ORLEX_ENGINE_BIN_DIR). "Today" is
# the same engine source built by engine/build.sh without the edit that lets
# the likelihood routine walk only the pedigree's own persons
# (ORLEX_ENGINE_SKIP_STEPS=walk_pedigrees_alone), into a folder of its own
# that later runs reuse.
#
# Cases, each run REPEATS times with either engine by the build's programs:
#   two-point   orlex --singlepoint, MARKERS markers, on families of PERSONS
#   multipoint  orlex --multipoint, the same data (its default 3-marker windows)
#   vantrel     vantrel --dom, one marker of 8 alleles, SINGLETONS unrelated
#               persons (half cases, half controls) beside one small family
# Every engine program is started through a shim that notes its processor
# seconds (user + system), so the figures are the engine's alone, not the
# program's own work; they are divided by the markers of the run. Processor
# time, not wall clock, because other jobs on the machine stretch the latter.
# The outputs of the two engines (standard output and every .out file, the
# lines stating the date and the elapsed time left out) must be byte for byte
# the same; the table says so per case, and the script ends 1 when they differ
# or a run fails.
#
# Usage: bench/engine_cost_bench.sh [BUILD_DIR]   (default: build/main)
# Environment:
#   PERSONS     persons of the orlex cases (default "500 1500 5000 15000")
#   SINGLETONS  unrelated persons of the vantrel cases (default "1000 3000 9000")
#   MARKERS     markers of the orlex cases (default 3)
#   QUICK=1     leaves out the slowest: 15,000 persons and 9,000 singletons
#               (vantrel at 9,000 singletons takes more than half an hour
#               with today's engine)
#   JOBS        runs at once (default 4)
#   REPEATS     runs of each case with either engine, the fastest counting
#               (default 1; below about 5,000 persons one run's figures
#               spread by a third on a busy machine)
#   ENGINE_TODAY_DIR  where today's engine is built (default BUILD_DIR/engine-today)
#   BENCH_TMPDIR      scratch folder (default /dev/shm where writable)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/main}
if [[ "${QUICK:-0}" == 1 ]]; then
    persons=${PERSONS:-500 1500 5000}
    singletons=${SINGLETONS:-1000 3000}
else
    persons=${PERSONS:-500 1500 5000 15000}
    singletons=${SINGLETONS:-1000 3000 9000}
fi
markers=${MARKERS:-3}
jobs=${JOBS:-4}
repeats=${REPEATS:-1}

fail() {
    echo "engine_cost_bench.sh: $*" >&2
    exit 2
}

[[ -d "$build" ]] || fail "no build folder $build"
build=$(cd "$build" && pwd)
for program in orlex vantrel makepedvant bench_generate_families bench_time_command; do
    [[ -x "$build/bin/$program" ]] || fail "$build/bin/$program is missing; build it first"
done
after=$(sed -n 's/^ORLEX_ENGINE_BIN_DIR:PATH=//p' "$build/CMakeCache.txt")
[[ -x "$after/mlinkorlex" && -x "$after/ilinkvant" ]] || fail "no engine programs in '$after'"
engines=(unknownorlex mlinkorlex linkmaporlex mlinkorlexslow linkmaporlexslow unknownvant ilinkvant)

# --- today's engine ----------------------------------------------------------
todayDir=${ENGINE_TODAY_DIR:-$build/engine-today}
mkdir -p "$todayDir/work/download"
# The after build's download spares a fetch through apt; build.sh checks its
# checksum all the same.
for tarball in "$after"/../work/download/*.orig.tar.xz; do
    [[ -f "$tarball" && ! -f "$todayDir/work/download/$(basename "$tarball")" ]] &&
        cp "$tarball" "$todayDir/work/download/"
done
echo "Building today's engine in $todayDir..." >&2
ORLEX_ENGINE_SKIP_STEPS=walk_pedigrees_alone "$root/engine/build.sh" "$todayDir" >&2 ||
    fail "today's engine did not build"
today="$todayDir/bin"
if cmp -s "$today/mlinkorlex" "$after/mlinkorlex"; then
    fail "today's mlinkorlex is the same program as the one in $after: is that engine built with the edit?"
fi

# --- scratch, data and shims -------------------------------------------------
scratch=${BENCH_TMPDIR:-/dev/shm}
[[ -d "$scratch" && -w "$scratch" ]] || scratch=${TMPDIR:-/tmp}
work=$(mktemp -d "$scratch/engine-cost-XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

generate="$build/bin/bench_generate_families"
for count in $persons; do
    mkdir -p "$work/data/families-$count"
    (cd "$work/data/families-$count" && "$generate" families "$count" "$markers" s.pre s.map s.model &&
        "$build/bin/makepedvant" s.pre s.ped n > /dev/null)
done
for count in $singletons; do
    mkdir -p "$work/data/singletons-$count"
    (cd "$work/data/singletons-$count" && "$generate" singletons "$count" 1 cases.gt controls.gt s.pre s.map)
done

# A folder of shims per engine: each starts the real program through the
# timer, which appends its wall and processor seconds to $ENGINE_TIMES.
for which in today after; do
    real=$today
    [[ $which == after ]] && real=$after
    mkdir -p "$work/shims-$which"
    for program in "${engines[@]}"; do
        printf '#!/bin/sh\nexec "%s" "$ENGINE_TIMES" "%s" "$@"\n' \
            "$build/bin/bench_time_command" "$real/$program" > "$work/shims-$which/$program"
        chmod +x "$work/shims-$which/$program"
    done
done

# --- the runs ----------------------------------------------------------------
# runCase CASE SIZE WHICH REPEAT: one run in the folder
# $work/runs/CASE-SIZE/WHICH-REPEAT; exit status, engine seconds and outputs
# are left there.
runCase() {
    local kind=$1 size=$2 which=$3 repeat=$4
    local data="$work/data" folder="$work/runs/$kind-$size/$which-$repeat" status=0
    mkdir -p "$folder"
    cd "$folder"
    local command
    case $kind in
    two-point | multipoint)
        data+="/families-$size"
        command=(orlex "--${kind/two-point/singlepoint}" --post --ped "$data/s.ped"
            --map "$data/s.map" --model "$data/s.model")
        ;;
    vantrel)
        data+="/singletons-$size"
        command=(vantrel --pedigreefile "$data/s.pre" --mapfile "$data/s.map"
            --casemap "$data/s.map" --casegt "$data/cases.gt" --controlmap "$data/s.map"
            --controlgt "$data/controls.gt" --dom)
        ;;
    esac
    ENGINE_TIMES="$folder/engine.times" PATH="$build/bin:$work/shims-$which:$PATH" \
        "${command[@]}" > stdout.txt 2> stderr.txt || status=$?
    echo "$status" > status
}

# The longest runs first, so that they do not end the bench alone.
plan=()
for count in $(tr ' ' '\n' <<< "$singletons" | sort -rn); do
    for ((r = 1; r <= repeats; ++r)); do
        plan+=("vantrel $count today $r" "vantrel $count after $r")
    done
done
for count in $(tr ' ' '\n' <<< "$persons" | sort -rn); do
    for ((r = 1; r <= repeats; ++r)); do
        plan+=("multipoint $count today $r" "two-point $count today $r"
            "multipoint $count after $r" "two-point $count after $r")
    done
done

echo "Running ${#plan[@]} runs, $jobs at once..." >&2
running=0
for entry in "${plan[@]}"; do
    if ((running >= jobs)); then
        wait -n || true
        running=$((running - 1))
    fi
    # shellcheck disable=SC2086
    (runCase $entry) &
    running=$((running + 1))
done
wait

# --- the table ---------------------------------------------------------------
# comparable FOLDER: the outputs of a run, less the lines that state when it ran.
comparable() {
    local file
    for file in "$1/stdout.txt" "$1"/*.out; do
        echo "== $(basename "$file")"
        grep -v -e '^Date : ' -e '^Elapsed time: ' "$file" || true
    done
}

# fastest BASE WHICH: the engine seconds of the fastest run of one engine.
fastest() {
    local folder
    for folder in "$1/$2"-*; do
        if [[ -f "$folder/engine.times" ]]; then
            awk '{ s += $2 } END { printf "%.3f\n", s }' "$folder/engine.times"
        fi
    done | sort -g | sed -n 1p
}

echo "Engine cost per marker, today and after"
printf '| %-26s | %14s | %14s | %8s | %-20s |\n' "case" "today s/marker" "after s/marker" \
    "ratio" "outputs"
printf '|%s|%s|%s|%s|%s|\n' "----------------------------" "----------------" "----------------" \
    "----------" "----------------------"
differ=0
report() {
    local kind=$1 size=$2 perRun=$3 label=$4
    local base="$work/runs/$kind-$size" verdict=identical folder
    local t a
    t=$(fastest "$base" today)
    a=$(fastest "$base" after)
    # Every run of either engine against the first of today's.
    for folder in "$base"/today-* "$base"/after-*; do
        if [[ "$(cat "$folder/status")" != 0 ]]; then
            verdict="$(basename "$folder") failed"
            echo "engine_cost_bench.sh: $kind $size $(basename "$folder") ended $(cat "$folder/status"):" >&2
            tail -n 5 "$folder/stdout.txt" "$folder/stderr.txt" >&2
        elif ! cmp -s <(comparable "$base/today-1") <(comparable "$folder"); then
            verdict="DIFFER"
            diff <(comparable "$base/today-1") <(comparable "$folder") | head -n 20 >&2 || true
        fi
    done
    [[ $verdict == identical ]] || differ=1
    # A failed run has no figures to show.
    awk -v label="$label" -v t="$t" -v a="$a" -v n="$perRun" -v verdict="$verdict" 'BEGIN {
        if (verdict ~ /failed/ || t == "" || a == "" || a + 0 == 0) {
            printf "| %-26s | %14s | %14s | %9s | %-20s |\n", label, "-", "-", "-", verdict
        } else {
            printf "| %-26s | %14.3f | %14.3f | %7.2fx | %-20s |\n", label, t / n, a / n, t / a,
                verdict
        }
    }'
}
for count in $persons; do
    report two-point "$count" "$markers" "two-point, $count persons"
done
for count in $persons; do
    report multipoint "$count" "$markers" "multipoint, $count persons"
done
for count in $singletons; do
    report vantrel "$count" 1 "vantrel, $count singletons"
done
echo "Engine processor seconds (user + system) per marker, fastest of $repeats," \
    "$markers markers per orlex run," \
    "1 marker of 8 alleles per vantrel run; today: the engine without walk_pedigrees_alone;" \
    "after: $after; outputs: standard output and .out files of the two engines compared" \
    "byte for byte, date and elapsed-time lines left out"
exit "$differ"
