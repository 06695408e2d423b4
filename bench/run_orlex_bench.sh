#!/bin/sh
# Times orlex's own work per marker against the engine's, in one run.
#
# 1. On the study data set (155 families, 1,002 persons, pre-MAKEPED, so the
#    conversion is included) with MARKERS markers: a whole
#    `orlex --singlepoint` run against the engine programs alone (unknown,
#    then mlink) on the very "pedfile.dat"/"datafile.dat" files orlex wrote,
#    captured on a first run. Prints the ratio of the two, and the ratio
#    that the two shell starts per marker alone give, timed on a stand-in.
# 2. orlex's own time per marker at 10, 100 and 1,000 markers: the same runs
#    with a stand-in engine that copies one real result file, less the time
#    of the stand-in programs alone; over the whole run, and over the markers
#    alone with the work done once shown apart.
# Every time is the fastest of REPEATS runs, the two sides alternating; wall
# clock and processor time (user + system, the programs started included)
# are both shown, as other jobs on the machine stretch the wall clock.
#
# Usage: bench/run_orlex_bench.sh [BUILD_DIR [MARKERS [REPEATS [SIZES]]]]
# (defaults: build/main, 50 markers, 3 repeats, SIZES "10 100 1000"; "" skips 2.)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/main}
markers=${2:-50}
repeats=${3:-3}
sizes=${4-10 100 1000}

if [ ! -d "$build" ]; then
    echo "run_orlex_bench.sh: no build folder $build" >&2
    exit 1
fi
build=$(cd "$build" && pwd)
for program in orlex bench_generate_families bench_engine_stub bench_time_command; do
    if [ ! -x "$build/bin/$program" ]; then
        echo "run_orlex_bench.sh: $build/bin/$program is missing; build it first" >&2
        exit 1
    fi
done
engine=$(sed -n 's/^ORLEX_ENGINE_BIN_DIR:PATH=//p' "$build/CMakeCache.txt")
if [ ! -x "$engine/unknownorlex" ] || [ ! -x "$engine/mlinkorlex" ]; then
    echo "run_orlex_bench.sh: no engine programs in '$engine'" >&2
    exit 1
fi

# The engine syncs its files to disk many times per marker; on a disk that
# other jobs share, those waits would drown everything else, so the runs work
# in memory where the machine has it.
scratch=${BENCH_TMPDIR:-/dev/shm}
[ -d "$scratch" ] && [ -w "$scratch" ] || scratch=${TMPDIR:-/tmp}
work=$(mktemp -d "$scratch/orlex-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# timed FILE COMMAND...: appends the command's wall and processor seconds.
timed() {
    file=$1
    shift
    "$build/bin/bench_time_command" "$file" "$@"
}

# fastest FILE COLUMN: the smallest value of a column of a times file.
fastest() { awk -v c="$2" 'NR == 1 || $c < best { best = $c } END { print best }' "$1"; }

# study MARKERS: writes the data set into $work/study-MARKERS.
study() {
    mkdir -p "$work/study-$1"
    (cd "$work/study-$1" && "$build/bin/bench_generate_families" study "$1" s.ped s.map s.model)
}

# orlexRun DATA_DIR RUN_DIR ENGINE_DIR TIMES_FILE: one analysis of every marker.
orlexRun() {
    mkdir -p "$2"
    cd "$2"
    PATH="$build/bin:$3:$PATH" timed "$4" orlex --singlepoint --ped "$1/s.ped" \
        --map "$1/s.map" --model "$1/s.model" > orlex.log 2> /dev/null
    cd "$work"
}

# --- 1. The whole run against the engine alone -----------------------------
study "$markers"
data="$work/study-$markers"
capture="$work/capture"
mkdir -p "$capture/bin"
cat > "$capture/bin/unknownorlex" << END
#!/bin/sh
n=\$((\$(cat "$capture/count" 2> /dev/null || echo 0) + 1))
echo "\$n" > "$capture/count"
mkdir "$capture/\$n"
cp pedfile.dat datafile.dat "$capture/\$n/"
exec "$engine/unknownorlex" "\$@"
END
chmod +x "$capture/bin/unknownorlex"
orlexRun "$data" "$work/first" "$capture/bin:$engine" "$work/first.txt"
captured=$(cat "$capture/count")

# The engine programs of every marker, each started directly by this loop.
cat > "$work/engine-alone.sh" << END
#!/bin/sh
i=1
while [ "\$i" -le "$captured" ]; do
    cd "$capture/\$i"
    "$engine/unknownorlex" > /dev/null 2>&1
    "$engine/mlinkorlex" > /dev/null 2>&1
    i=\$((i + 1))
done
END

# --- The stand-in engine ---------------------------------------------------
stub="$work/stub"
mkdir -p "$stub" "$work/stub-run"
ln -s "$build/bin/bench_engine_stub" "$stub/unknownorlex"
ln -s "$build/bin/bench_engine_stub" "$stub/mlinkorlex"
cat > "$work/stub-alone.sh" << END
#!/bin/sh
cd "$work/stub-run"
i=1
while [ "\$i" -le "\$1" ]; do
    "$stub/unknownorlex" > /dev/null 2>&1
    "$stub/mlinkorlex" > /dev/null 2>&1
    i=\$((i + 1))
done
END

# The stand-in's programs of every marker, each through a shell of its own that
# execs it, found on the search path orlex's runs have: against the same
# programs started directly, what the two shell starts per marker cost. The
# stand-in takes no time worth the name, so unlike a difference of two engine
# runs this is not lost in the engine's own spread.
cat > "$work/stub-shells.sh" << END
#!/bin/sh
PATH="$build/bin:$stub:\$PATH"
cd "$work/stub-run"
i=1
while [ "\$i" -le "\$1" ]; do
    sh -c "exec unknownorlex > /dev/null" 2> /dev/null
    sh -c "exec mlinkorlex > /dev/null" 2> /dev/null
    i=\$((i + 1))
done
END

BENCH_OUTFILE="$capture/1/outfile.dat"
export BENCH_OUTFILE

r=0
while [ "$r" -lt "$repeats" ]; do
    orlexRun "$data" "$work/timed" "$engine" "$work/orlex.txt"
    timed "$work/engine.txt" sh "$work/engine-alone.sh"
    timed "$work/stub-direct.txt" sh "$work/stub-alone.sh" "$captured"
    timed "$work/stub-shells.txt" sh "$work/stub-shells.sh" "$captured"
    r=$((r + 1))
done

echo "Data: 155 families, 1002 persons, $markers markers (pre-MAKEPED), dominant model;" \
    "$captured markers analysed; fastest of $repeats"
printf "%-28s %12s %12s\n" "" "wall" "processor"
awk -v ow="$(fastest "$work/orlex.txt" 1)" -v oc="$(fastest "$work/orlex.txt" 2)" \
    -v ew="$(fastest "$work/engine.txt" 1)" -v ec="$(fastest "$work/engine.txt" 2)" \
    -v dw="$(fastest "$work/stub-direct.txt" 1)" -v dc="$(fastest "$work/stub-direct.txt" 2)" \
    -v sw="$(fastest "$work/stub-shells.txt" 1)" -v sc="$(fastest "$work/stub-shells.txt" 2)" \
    -v m="$captured" 'BEGIN {
    printf "%-28s %10.3f s %10.3f s\n", "orlex --singlepoint", ow, oc
    printf "%-28s %10.3f s %10.3f s\n", "engine programs alone", ew, ec
    printf "%-28s %9.2f ms %9.2f ms\n", "engine per marker", 1000 * ew / m, 1000 * ec / m
    printf "%-28s %9.2f ms %9.2f ms\n", "orlex own per marker", 1000 * (ow - ew) / m,
        1000 * (oc - ec) / m
    printf "%-28s %9.2f ms %9.2f ms\n", "shell starts per marker", 1000 * (sw - dw) / m,
        1000 * (sc - dc) / m
    printf "%-28s %12.3f %12.3f\n", "ratio orlex / engine", ow / ew, oc / ec
    printf "%-28s %12.3f %12.3f\n", "ratio of the shell starts", (ew + sw - dw) / ew,
        (ec + sc - dc) / ec
}'

# --- 2. Own time per marker with a stand-in engine -------------------------
[ -n "$sizes" ] || exit 0
# The stand-in notes when each marker's first program starts, so a run's time
# splits into its markers (from the first start to the last, over one marker
# less) and what is done once (set-up before the first marker and the ending
# after the last). The stand-in alone notes its starts as well, to cost the same.
echo
echo "orlex's own time per marker, with a stand-in engine"
printf "%-8s %10s %11s %12s %11s %14s %12s\n" "markers" "orlex s" "stand-in s" "own wall ms" \
    "own cpu ms" "per marker ms" "once ms"
for count in $sizes; do
    [ -d "$work/study-$count" ] || study "$count"
    rm -f "$work/stub-orlex.txt" "$work/stub-alone.txt" "$work/stub-span.txt"
    r=0
    while [ "$r" -lt "$repeats" ]; do
        rm -f "$work/stamps"
        BENCH_STAMPS="$work/stamps" orlexRun "$work/study-$count" "$work/stub-orlex" "$stub" \
            "$work/stub-orlex.txt"
        awk 'NR == 1 { first = $1 } { last = $1 } END { printf "%.9f\n", (last - first) / 1e9 }' \
            "$work/stamps" >> "$work/stub-span.txt"
        BENCH_STAMPS="$work/stamps-alone" timed "$work/stub-alone.txt" sh "$work/stub-alone.sh" \
            "$count"
        rm -f "$work/stamps-alone"
        r=$((r + 1))
    done
    if ! grep -q "D1S$count " "$work/stub-orlex/orlex.log"; then
        echo "run_orlex_bench.sh: the run on $count markers did not reach its last marker" >&2
        exit 1
    fi
    awk -v c="$count" -v ow="$(fastest "$work/stub-orlex.txt" 1)" \
        -v oc="$(fastest "$work/stub-orlex.txt" 2)" -v sw="$(fastest "$work/stub-alone.txt" 1)" \
        -v sc="$(fastest "$work/stub-alone.txt" 2)" -v span="$(fastest "$work/stub-span.txt" 1)" \
        'BEGIN {
        printf "%-8d %10.3f %11.3f %12.2f %11.2f", c, ow, sw, 1000 * (ow - sw) / c,
            1000 * (oc - sc) / c
        # One marker has no time between markers to split off.
        if (c < 2) {
            printf " %14s %12s\n", "-", "-"
        } else {
            cycle = span / (c - 1)
            printf " %14.2f %12.1f\n", 1000 * (cycle - sw / c), 1000 * (ow - c * cycle)
        }
    }'
done
