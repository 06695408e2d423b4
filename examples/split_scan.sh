#!/usr/bin/env bash
# Splits an orlex genome scan into independent runs over marker subsets, runs
# them side by side on this machine's cores and gathers their per-marker
# tables into one set of result files.
#
# Every run gets a working directory of its own (the engine programs exchange
# fixed-name files there) with a pedigree file and a map of its own markers
# only, and an onlymarkers file naming them; the runs share nothing else, so
# they may also be handed to a cluster's scheduler instead (see
# docs/orlex.md, "Large studies").
#
# Usage:
#   split_scan.sh [-j JOBS] [-n MARKERS] -o OUTDIR -- ORLEX-OPTIONS...
#
#   -j JOBS     runs at the same time (default: the number of cores)
#   -n MARKERS  markers per run (default: the markers shared out evenly over
#               JOBS runs; with --multipoint, one chromosome per run); a run
#               never crosses a chromosome, nor a place where the map's
#               positions decrease
#   -o OUTDIR   folder for the runs (OUTDIR/run-001, ...) and the gathered
#               files; it must not exist yet
#   ORLEX-OPTIONS  the options of one whole run, with --ped (or -p) and --map
#               (or -m); not --onlymarkers or --marker, which the script sets
#               per run
#
# The gathered files are OUTDIR/<prefix>_singlepoint.out,
# <prefix>_singlepoint_nuc.out and <prefix>_summary.out (whichever the runs
# wrote), laid out like a whole run's: the same header, then under each
# phenotype each table with the rows of every run in map order. The per-run
# files of every other kind stay in the run folders. Multipoint windows reach
# across neighbouring markers, so with --multipoint a run is never cut inside
# a chromosome: an -n smaller than a chromosome is refused. With --dat (a
# LINKAGE locus file names every marker) or --trim, every run reads the whole
# pedigree file and map.
set -euo pipefail

usage() {
    sed -n '13,27p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
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
pedigreeFile=""
pedigreeArg=-1
mapArg=-1
prefix="orlex"
post=0
liability=0
multipoint=0
wholeFiles=""
previous=""
for arg in "$@"; do
    case "$arg" in
        --onlymarkers | --marker)
            echo "Error: $arg is set by the script for each run; leave it out" >&2
            exit 2 ;;
        --post) post=1 ;;
        --liab) liability=1 ;;
        --multipoint) multipoint=1 ;;
        --dat | -d | --trim) wholeFiles=$arg ;;
    esac
    if [[ -e "$arg" && "$previous" == -* ]]; then
        arg="$(cd "$(dirname "$arg")" && pwd)/$(basename "$arg")"
    fi
    case "$previous" in
        --map | -m) mapFile=$arg; mapArg=${#args[@]} ;;
        --ped | -p) pedigreeFile=$arg; pedigreeArg=${#args[@]} ;;
        --prefix) prefix=$arg ;;
    esac
    args+=("$arg")
    previous=$arg
done
if [[ -z "$mapFile" || ! -r "$mapFile" ]]; then
    echo "Error: give the marker map with --map (or -m) among the orlex options" >&2
    exit 2
fi
if [[ -z "$pedigreeFile" || ! -r "$pedigreeFile" ]]; then
    echo "Error: give the pedigree file with --ped (or -p) among the orlex options" >&2
    exit 2
fi

markerCount=$(awk 'NR > 1 && NF >= 3' "$mapFile" | wc -l)
if ((markerCount == 0)); then
    echo "Error: $mapFile names no marker" >&2
    exit 2
fi
if ((perRun == 0)); then
    # Multipoint runs are cut at chromosomes only.
    perRun=$((multipoint ? markerCount : (markerCount + jobs - 1) / jobs))
fi

mkdir -p "$outDir"
outDir="$(cd "$outDir" && pwd)"

# One onlymarkers file per run: after the map's header line (three words),
# its "chromosome position name" entries in map order, cut into runs of at
# most perRun markers that stay on one chromosome with non-decreasing
# positions (what an onlymarkers file must hold). Beside it the run's map
# (the header and the map lines of its markers), and in OUTDIR/runs.txt per
# run its folder and the numbers of its markers in the map, from 1.
if ! awk -v perRun="$perRun" -v outDir="$outDir" -v multipoint="$multipoint" '
    { sub(/\r$/, "") }
    NR == 1 { header = $0; next }
    NF < 3 { next }
    {
        marker++
        newChromosome = $1 != chromosome
        if (count == perRun || newChromosome || $2 + 0 < position + 0) {
            if (multipoint && run > 0 && !newChromosome) {
                printf "Error: --multipoint windows span neighbouring markers, and a run " \
                       "would be cut inside chromosome %s at marker %s (line %d of the map): ", \
                       $1, $3, NR > "/dev/stderr"
                if (count == perRun) {
                    printf "give -n at least the markers of the largest chromosome, or leave " \
                           "-n out for one run per chromosome\n" > "/dev/stderr"
                } else {
                    printf "its positions decrease there\n" > "/dev/stderr"
                }
                exit 1
            }
            run++
            count = 0
            folder = sprintf("%s/run-%03d", outDir, run)
            system("mkdir -p \"" folder "\"")
            print "CHROMOSOME POSITION MARKER" > (folder "/markers.txt")
            print header > (folder "/run.map")
            printf "%s%s", (run > 1 ? "\n" : ""), folder > (outDir "/runs.txt")
        }
        print $1, $2, $3 > (folder "/markers.txt")
        print > (folder "/run.map")
        printf " %d", marker > (outDir "/runs.txt")
        count++
        chromosome = $1
        position = $2
    }
    END { if (run > 0) printf "\n" > (outDir "/runs.txt") }' "$mapFile"; then
    rm -rf "$outDir"
    exit 2
fi

# Each run's pedigree file: the leading columns of every line, the two allele
# columns of each of the run's markers, and the columns MAKEPED or SLINK
# append, in one pass over the pedigree file for all runs.
if [[ -n "$wholeFiles" ]]; then
    echo "Note: with $wholeFiles every run reads the whole pedigree file and map"
    for run in "$outDir"/run-*; do
        cp "$mapFile" "$run/run.map"
    done
elif ! awk -v lead=$(((post ? 10 : 6) + liability)) -v markers="$markerCount" \
        -v file="$pedigreeFile" '
    NR == FNR {
        folders[++runs] = $1
        picked[runs] = NF - 1
        for (i = 2; i <= NF; i++) { column[runs, i - 1] = $i }
        next
    }
    { sub(/\r$/, "") }
    NF == 0 { next }
    {
        tail = ($NF == "orig" || $NF == "simu") ? 6 : 0
        if (NF - tail >= 4 && $(NF - tail - 3) == "Ped:" && $(NF - tail - 1) == "Per:") {
            tail += 4
        }
        if (NF - tail != lead + 2 * markers) {
            printf "Error: line %d of pedigree file %s has %d columns, but %d leading " \
                   "columns and two for each of the %d markers of the map make %d\n", \
                   FNR, file, NF - tail, lead, markers, lead + 2 * markers > "/dev/stderr"
            exit 1
        }
        for (r = 1; r <= runs; r++) {
            line = $1
            for (i = 2; i <= lead; i++) { line = line " " $i }
            for (m = 1; m <= picked[r]; m++) {
                first = lead + 2 * column[r, m] - 1
                line = line "  " $first " " $(first + 1)
            }
            for (i = NF - tail + 1; i <= NF; i++) { line = line " " $i }
            print line > (folders[r] "/run.ped")
        }
    }' "$outDir/runs.txt" "$pedigreeFile"; then
    rm -rf "$outDir"
    exit 2
else
    args[pedigreeArg]=run.ped
fi
args[mapArg]=run.map
rm "$outDir/runs.txt"

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
# header (the same in every run) and its rows, up to an empty line or the
# next "Phenotype: " line. Tables are matched between the runs by the
# phenotype heading they stand under (the k-th of the file, which must name
# the same phenotype in every run) and their place under it. The gathered
# file is the first run's, with the rows of the same table of every later
# run appended to each table, in run order.
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
        FNR == 1 { file++; headings = 0; place = 0; inTable = 0 }
        /^Phenotype: / {
            inTable = 0
            headings++
            place = 0
            if (file == 1) {
                heading[headings] = $0
            } else if (heading[headings] != $0) {
                printf "Error: %s has \"%s\" where the first run has \"%s\"\n", \
                       FILENAME, $0, heading[headings] > "/dev/stderr"
                failed = 1
                exit 1
            }
        }
        {
            if (inTable && $0 == "") { inTable = 0 }
            if (!inTable && $1 == "Marker") {
                inTable = 1; place++; table = headings SUBSEP place; row = 0; header = 1
            }
            if (file == 1) {
                lines[++lineCount] = $0
                lineTable[lineCount] = inTable ? table : ""
                if (inTable) { tableEnd[table] = lineCount; firstLine[table, ++row] = $0 }
                next
            }
            if (!inTable) { next }
            row++
            if (header && firstLine[table, row] == $0) { next }
            header = 0
            if (!(table in tableEnd)) {
                printf "Error: %s has a table the first run lacks, under \"%s\"\n", \
                       FILENAME, heading[headings] > "/dev/stderr"
                failed = 1
                exit 1
            }
            extra[table] = extra[table] $0 "\n"
        }
        END {
            if (failed) { exit 1 }
            for (i = 1; i <= lineCount; i++) {
                print lines[i]
                t = lineTable[i]
                if (t != "" && tableEnd[t] == i) { printf "%s", extra[t] }
            }
        }' "${files[@]}" > "$outDir/$name.part" || { rm -f "$outDir/$name.part"; return 1; }
    mv "$outDir/$name.part" "$outDir/$name"
    echo "gathered: $outDir/$name"
}
for suffix in _singlepoint.out _singlepoint_nuc.out _summary.out; do
    gather "$prefix$suffix"
done
