#!/usr/bin/env bash
# Splits an orlex genome scan into independent runs over marker subsets, runs
# them side by side on this machine's cores and gathers their per-marker
# tables into one set of result files.
#
# Every run gets a working directory of its own (the engine programs exchange
# fixed-name files there) and an onlymarkers file naming its markers; the
# runs share nothing else, so they may also be handed to a cluster's
# scheduler instead (see docs/orlex.md, "Large studies").
#
# Usage:
#   split_scan.sh [-j JOBS] [-n MARKERS] -o OUTDIR -- ORLEX-OPTIONS...
#
#   -j JOBS     runs at the same time (default: the number of cores)
#   -n MARKERS  markers per run (default: the markers shared out evenly over
#               JOBS runs); a run never crosses a chromosome, nor a place
#               where the map's positions decrease
#   -o OUTDIR   folder for the runs (OUTDIR/run-001, ...) and the gathered
#               files; it must not exist yet
#   ORLEX-OPTIONS  the options of one whole run, with --map (or -m); not
#               --onlymarkers or --marker, which the script sets per run
#
# The gathered files are OUTDIR/<prefix>_singlepoint.out,
# <prefix>_singlepoint_nuc.out and <prefix>_summary.out (whichever the runs
# wrote), laid out like a whole run's: the same header, then per phenotype
# each table with the rows of every run in map order. The per-run files of
# every other kind stay in the run folders. Multipoint windows reach across
# neighbouring markers, so for --multipoint give each run a whole chromosome
# (-n at least the largest chromosome's marker count).
set -euo pipefail

usage() {
    sed -n '11,22p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

jobs=$(nproc 2>/dev/null || echo 1)
perRun=0
outDir=""
while getopts "j:n:o:h" flag; do
    case "$flag" in
        j) jobs=$OPTARG ;;
        n) perRun=$OPTARG ;;
        o) outDir=$OPTARG ;;
        *) usage ;;
    esac
done
shift $((OPTIND - 1))
[[ -n "$outDir" && $# -gt 0 ]] || usage
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "Error: -j needs a positive number" >&2; exit 2; }
[[ "$perRun" =~ ^[0-9]+$ ]] || { echo "Error: -n needs a positive number" >&2; exit 2; }
if [[ -e "$outDir" ]]; then
    echo "Error: $outDir exists already; give a new folder with -o" >&2
    exit 2
fi

# The runs work in folders of their own, so every option value that names an
# existing file is handed on as an absolute path.
args=()
mapFile=""
prefix="orlex"
previous=""
for arg in "$@"; do
    case "$arg" in
        --onlymarkers | --marker)
            echo "Error: $arg is set by the script for each run; leave it out" >&2
            exit 2 ;;
    esac
    if [[ -e "$arg" && "$previous" == -* ]]; then
        arg="$(cd "$(dirname "$arg")" && pwd)/$(basename "$arg")"
    fi
    case "$previous" in
        --map | -m) mapFile=$arg ;;
        --prefix) prefix=$arg ;;
    esac
    args+=("$arg")
    previous=$arg
done
if [[ -z "$mapFile" || ! -r "$mapFile" ]]; then
    echo "Error: give the marker map with --map (or -m) among the orlex options" >&2
    exit 2
fi

mkdir -p "$outDir"
outDir="$(cd "$outDir" && pwd)"

# One onlymarkers file per run: after the map's header line (three words),
# its "chromosome position name" entries in map order, cut into runs of at
# most perRun markers that stay on one chromosome with non-decreasing
# positions (what an onlymarkers file must hold).
markerCount=$(awk 'NR > 1 && NF >= 3' "$mapFile" | wc -l)
if ((markerCount == 0)); then
    echo "Error: $mapFile names no marker" >&2
    exit 2
fi
if ((perRun == 0)); then
    perRun=$(((markerCount + jobs - 1) / jobs))
fi
awk -v perRun="$perRun" -v outDir="$outDir" '
    NR == 1 || NF < 3 { next }
    {
        if (count == perRun || $1 != chromosome || $2 + 0 < position + 0) {
            run++
            count = 0
            file = sprintf("%s/run-%03d/markers.txt", outDir, run)
            system("mkdir -p \"" outDir "/" sprintf("run-%03d", run) "\"")
            print "CHROMOSOME POSITION MARKER" > file
        }
        print $1, $2, $3 > file
        count++
        chromosome = $1
        position = $2
    }' "$mapFile"

runOne() {
    local folder=$1
    shift
    cd "$folder"
    if orlex "$@" --onlymarkers markers.txt > orlex.log 2>&1; then
        echo "done: $folder"
    else
        echo "FAILED (status $?): $folder; see $folder/orlex.log" >&2
        return 1
    fi
}
export -f runOne

runs=("$outDir"/run-*)
echo "Running ${#runs[@]} runs of at most $perRun markers, $jobs at a time, in $outDir"
status=0
printf '%s\0' "${runs[@]}" |
    xargs -0 -P "$jobs" -I{} bash -c 'runOne "$@"' runOne {} "${args[@]}" || status=$?
if ((status != 0)); then
    echo "Error: a run failed; nothing was gathered" >&2
    exit 1
fi

# A table is a line whose first word is "Marker", the lines that continue its
# header (the same in every run) and its rows, up to an empty line. The
# gathered file is the first run's, with the rows of the same table of every
# later run appended to each table, in run order.
gather() {
    local name=$1
    local files=()
    local run
    for run in "${runs[@]}"; do
        [[ -f "$run/$name" ]] && files+=("$run/$name")
    done
    ((${#files[@]} == 0)) && return 0
    if ((${#files[@]} != ${#runs[@]})); then
        echo "Error: only ${#files[@]} of ${#runs[@]} runs wrote $name" >&2
        return 1
    fi
    awk '
        FNR == 1 { file++; table = 0; inTable = 0 }
        {
            if (inTable && $0 == "") { inTable = 0 }
            if (!inTable && $1 == "Marker") {
                inTable = 1; table++; row = 0; header = 1
            }
            if (file == 1) {
                lines[++lineCount] = $0
                lineTable[lineCount] = inTable ? table : 0
                if (inTable) { tableEnd[table] = lineCount; firstLine[table, ++row] = $0 }
                next
            }
            if (!inTable) { next }
            row++
            if (header && firstLine[table, row] == $0) { next }
            header = 0
            extra[table] = extra[table] $0 "\n"
        }
        END {
            for (i = 1; i <= lineCount; i++) {
                print lines[i]
                t = lineTable[i]
                if (t && tableEnd[t] == i) { printf "%s", extra[t] }
            }
        }' "${files[@]}" > "$outDir/$name"
    echo "gathered: $outDir/$name"
}
for suffix in _singlepoint.out _singlepoint_nuc.out _summary.out; do
    gather "$prefix$suffix"
done
