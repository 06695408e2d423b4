#!/bin/sh
# Times the store's read and checks of the same number of children in full
# sibships of 6, 24, 96 and 480, each with an untyped father, so the
# Mendelian check weighs every child against its whole sibship. With a check
# linear in the persons the times stay level across the sizes.
#
# Usage: bench/run_sibship_bench.sh [BUILD_DIR [CHILDREN [MARKERS [REPEATS]]]]
# (defaults: build/main, 4800 children, 100 markers, 3 repeats)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/main}
children=${2:-4800}
markers=${3:-100}
repeats=${4:-3}

if [ ! -d "$build" ]; then
    echo "run_sibship_bench.sh: no build folder $build" >&2
    exit 1
fi
build=$(cd "$build" && pwd)
for program in bench_generate_families bench_store; do
    if [ ! -x "$build/bin/$program" ]; then
        echo "run_sibship_bench.sh: $build/bin/$program is missing; build it first" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

echo "Data: $children children in full sibships, untyped fathers, $markers markers of 8 alleles"
printf "%-14s %10s %16s %12s\n" "sibship size" "families" "read+check s" "x size 6"
first=""
for size in 6 24 96 480; do
    "$build/bin/bench_generate_families" sibships "$size" "$children" "$markers" s.ped s.map
    best=""
    r=0
    while [ "$r" -lt "$repeats" ]; do
        "$build/bin/bench_store" store s.ped s.map > store.log 2> store.txt
        time=$(awk '$1 == "store_read_and_check" { print $2 }' store.txt)
        best=$(awk -v a="$best" -v b="$time" 'BEGIN { print (a == "" || b < a) ? b : a }')
        r=$((r + 1))
    done
    if grep -q "Mendelian errors found" store.log; then
        echo "run_sibship_bench.sh: the generated families have Mendelian errors" >&2
        exit 1
    fi
    [ -n "$first" ] || first=$best
    awk -v s="$size" -v f="$((children / size))" -v t="$best" -v b="$first" \
        'BEGIN { printf "%-14d %10d %16.3f %12.2f\n", s, f, t, t / b }'
done
