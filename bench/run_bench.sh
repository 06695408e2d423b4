#!/bin/sh
# Times the pedigree store on a synthetic data set, in one run: reading and
# checking the pedigree file through the store, one "pedfile.dat" of every
# marker, "pedfile.dat" of one marker, and a plain line-by-line read of the
# same file for reference. A second data set with the same persons and a
# tenth of the markers shows whether writing one marker depends on the
# number of markers.
#
# Usage: bench/run_bench.sh [BUILD_DIR [PEDIGREES [MARKERS]]]
# (defaults: build/main, 500 pedigrees of 10 persons, 2000 markers)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/main}
pedigrees=${2:-500}
markers=${3:-2000}
few=$((markers / 10))
[ "$few" -ge 1 ] || few=1

if [ ! -d "$build" ]; then
    echo "run_bench.sh: no build folder $build" >&2
    exit 1
fi
build=$(cd "$build" && pwd)

for program in bench_generate_data bench_store; do
    if [ ! -x "$build/bin/$program" ]; then
        echo "run_bench.sh: $build/bin/$program is missing; build the bench targets first" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

"$build/bin/bench_generate_data" "$pedigrees" "$markers" data.ped data.map
"$build/bin/bench_generate_data" "$pedigrees" "$few" few.ped few.map
"$build/bin/bench_store" plain data.ped 2> plain.txt
"$build/bin/bench_store" store data.ped data.map > store.log 2> store.txt
"$build/bin/bench_store" store few.ped few.map > few.log 2> few.txt

bytes=$(wc -c < data.ped)
echo "Data: $pedigrees pedigrees of 10 persons, $markers markers ($bytes bytes of pedigree file)"
awk -v markers="$markers" -v few="$few" '
    FILENAME == "plain.txt" { plainTime = $2; plainMemory = $3 }
    FILENAME == "store.txt" { time[$1] = $2; memory[$1] = $3; order[++n] = $1 }
    FILENAME == "few.txt" && $1 == "pedfile_one_marker" { fewTime = $2 }
    END {
        printf "%-24s %12s %14s %16s\n", "step", "seconds", "peak MB", "x plain read"
        printf "%-24s %12.4f %14.1f %16.2f\n", "plain_read", plainTime, plainMemory, 1
        for (i = 1; i <= n; ++i) {
            s = order[i]
            printf "%-24s %12.4f %14.1f %16.2f\n", s, time[s], memory[s], time[s] / plainTime
        }
        printf "pedfile_one_marker with %d markers: %.6f s; with %d markers: %.6f s (ratio %.2f)\n",
            markers, time["pedfile_one_marker"], few, fewTime, time["pedfile_one_marker"] / fewTime
    }' plain.txt store.txt few.txt
