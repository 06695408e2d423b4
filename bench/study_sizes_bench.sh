#!/usr/bin/env bash
# What a study's size costs the pedigree store, today and before, side by
# side in one run: the memory the store takes per genotype, the time of
# reading and checking a post-MAKEPED file, and the same for the same data
# pre-MAKEPED (converted on the way).
#
# "Before" is the base commit, built in a temporary worktree (removed at the
# end) with this tree's copy of the timing program, so that both stores are
# timed by the same code. Runs of the two builds alternate, and the fastest
# of the repeats counts.
#
# Usage: bench/study_sizes_bench.sh [BUILD_DIR [PEDIGREES [MARKERS [REPEATS]]]]
#   (defaults: build/main, 300 pedigrees of 10 persons, 1000 markers, 3)
# Environment:
#   BASE_COMMIT  the commit to compare with (default ca3304f)
#   FULL_STUDY=1 also reads a study of 5,000 persons and 6,000 markers with
#                this tree's store under an 8 GiB limit of address space
#                (about 6 GB of memory for a few seconds)
# When bench/engine_cost_bench.sh is there, it runs at the end with BUILD_DIR.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/main}
pedigrees=${2:-300}
markers=${3:-1000}
repeats=${4:-3}
baseCommit=${BASE_COMMIT:-ca3304f}

for program in bench_generate_data bench_store makepedvant; do
    if [[ ! -x "$build/bin/$program" ]]; then
        echo "study_sizes_bench.sh: $build/bin/$program is missing; build it first" >&2
        exit 1
    fi
done
build=$(cd "$build" && pwd)

work=$(mktemp -d)
# shellcheck source=bench/base_build.sh
source "$root/bench/base_build.sh"
start_base_build "$baseCommit" "$build/../engine/bin" bench_store makepedvant

cd "$work"
"$build/bin/bench_generate_data" "$pedigrees" "$markers" data.pre data.map
"$build/bin/makepedvant" data.pre data.post n
genotypes=$((pedigrees * 10 * markers))

# One read in a fresh folder: the conversion writes into the working folder.
# Prints "SECONDS BYTES".
readOnce() {
    local builtIn=$1 format=$2 file=$3 map=${4:-data.map}
    local folder
    folder=$(mktemp -d "$work/run.XXXXXX")
    if ! (cd "$folder" && PATH="$builtIn/bin:$PATH" "$builtIn/bin/bench_store" "$format" \
        "$work/$file" "$work/$map" > log 2> times); then
        echo "study_sizes_bench.sh: the $format read of $builtIn failed:" >&2
        cat "$folder/log" "$folder/times" >&2
    fi
    awk '$1 == "read" { t = $2 } $1 == "store_bytes" { b = $2 } END { print t, b }' \
        "$folder/times"
    rm -rf "$folder"
}

declare -A fastest bytes
for ((i = 1; i <= repeats; ++i)); do
    # Whichever build runs second meets memory the first has touched already,
    # so the order turns with every repeat.
    if ((i % 2 == 1)); then order="before after"; else order="after before"; fi
    for which in $order; do
        builtIn=$build
        [[ $which == before ]] && builtIn=$before
        for format in post pre; do
            file=data.post
            [[ $format == pre ]] && file=data.pre
            read -r seconds used < <(readOnce "$builtIn" "$format" "$file")
            key="$which.$format"
            if [[ -z "${fastest[$key]:-}" ]] || awk -v a="$seconds" -v b="${fastest[$key]}" \
                'BEGIN { exit !(a < b) }'; then
                fastest[$key]=$seconds
            fi
            [[ $format == post ]] && bytes[$which]=$used
        done
    done
done

echo "Pedigree store: memory per genotype and read time, before and after"
echo "Data: $pedigrees pedigrees of 10 persons, $markers markers ($genotypes genotypes, all typed)"
echo "before: $baseCommit; after: $(git -C "$root" rev-parse --short HEAD) (plus any changes not committed)"
awk -v g="$genotypes" \
    -v bb="${bytes[before]}" -v ba="${bytes[after]}" \
    -v pb="${fastest[before.post]}" -v pa="${fastest[after.post]}" \
    -v qb="${fastest[before.pre]}" -v qa="${fastest[after.pre]}" '
    BEGIN {
        printf "| %-42s | %10s | %10s | %14s |\n", "measure", "before", "after", "before / after"
        printf "|%s|%s|%s|%s|\n", "--------------------------------------------", \
            "------------", "------------", "----------------"
        row("store bytes per genotype", bb / g, ba / g, 1)
        row("post-MAKEPED read and checks, s", pb, pa, 3)
        row("pre-MAKEPED read, conversion and checks, s", qb, qa, 3)
        printf "| %-42s | %10.2f | %10.2f | %14s |\n", "pre-MAKEPED / post-MAKEPED", \
            qb / pb, qa / pa, ""
        printf "5,000 persons x 6,000 markers at these bytes per genotype: %.1f GB before, %.1f GB after\n", \
            5000 * 6000 * bb / g / 1e9, 5000 * 6000 * ba / g / 1e9
    }
    function row(label, b, a, digits) {
        printf "| %-42s | %10." digits "f | %10." digits "f | %14.2f |\n", label, b, a, b / a
    }'

if [[ "${FULL_STUDY:-0}" == 1 ]]; then
    echo
    echo "Pedigree store: a study of 5,000 persons and 6,000 markers under an 8 GiB limit (after only)"
    "$build/bin/bench_generate_data" 500 6000 full.pre full.map
    "$build/bin/makepedvant" full.pre full.post n
    rm full.pre
    result=$( (ulimit -v $((8 * 1024 * 1024)) && readOnce "$build" post full.post full.map) )
    read -r seconds used <<< "$result"
    if [[ -n "$used" ]]; then
        awk -v s="$seconds" -v b="$used" 'BEGIN {
            printf "read and checked in %.2f s; the store took %.2f GB (%.1f bytes per genotype)\n",
                s, b / 1e9, b / 3e7 }'
    else
        echo "the read failed under the limit"
    fi
    rm -f full.post full.map
fi

if [[ -x "$root/bench/engine_cost_bench.sh" ]]; then
    echo
    "$root/bench/engine_cost_bench.sh" "$build"
fi
