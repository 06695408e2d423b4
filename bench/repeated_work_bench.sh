#!/usr/bin/env bash
# Work that is done once now and was done again before, today and before side
# by side in one run:
#
# 1. orlex --stats: the HRR, TDT and sib-pair frequency files, once rewritten
#    whole after every marker's section, are written once. Shown: the bytes
#    the run writes (wchar of /proc) and its time, and that every statistics
#    file is the same as before (the "Date :" line aside), on the bundled
#    example and on a scan of MARKERS markers.
# 2. A pre-MAKEPED file: the converted file takes the validated file's family
#    checks over instead of running them again. Shown: the read, conversion
#    and checks of a study of many small pedigrees, against its post-MAKEPED
#    read, which has one check in both builds.
# 3. The loop verdict, from the families alone instead of a walk from every
#    founder: the post-MAKEPED read of one deep pedigree of FOUNDERS spouses
#    married in, one generation after another.
#
# "Before" is the base commit, built in a temporary worktree (removed at the
# end) with this tree's copy of the store timing program. Runs of the two
# builds alternate, and the fastest of REPEATS counts.
#
# Usage: bench/repeated_work_bench.sh [BUILD_DIR [MARKERS [REPEATS]]]
#   (defaults: build/main, 300 markers, 3 repeats)
# Environment:
#   BASE_COMMIT  the commit to compare with (default 8df7d9b)
#   PEDIGREES    pedigrees of 10 persons of the scan of part 1 (default 10)
#   PERSONS      pedigrees of 10 persons of part 2 (default 20000)
#   FOUNDERS     generations of the deep pedigree of part 3 (default 3000)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/main}
markers=${2:-300}
repeats=${3:-3}
baseCommit=${BASE_COMMIT:-8df7d9b}
scanPedigrees=${PEDIGREES:-10}
studyPedigrees=${PERSONS:-20000}
generations=${FOUNDERS:-3000}

for program in orlex bench_generate_data bench_store makepedvant; do
    if [[ ! -x "$build/bin/$program" ]]; then
        echo "repeated_work_bench.sh: $build/bin/$program is missing; build it first" >&2
        exit 1
    fi
done
build=$(cd "$build" && pwd)
engine=$(sed -n 's/^ORLEX_ENGINE_BIN_DIR:PATH=//p' "$build/CMakeCache.txt")

work=$(mktemp -d)
# shellcheck source=bench/base_build.sh
source "$root/bench/base_build.sh"
start_base_build "$baseCommit" "$engine" orlex bench_store makepedvant
cd "$work"

# Runs a command in a fresh folder; prints "SECONDS WRITTEN_BYTES FOLDER".
# The shell that waits for the command counts the bytes it wrote. orlex
# without an analysis writes the statistics and then refuses to go on, which
# is all that is timed of it here.
runIn() {
    local builtIn=$1
    shift
    local folder
    folder=$(mktemp -d "$work/run.XXXXXX")
    (cd "$folder" && PATH="$builtIn/bin:$engine:$PATH" sh -c '
        start=$(date +%s.%N)
        "$@" > log 2> times || true
        end=$(date +%s.%N)
        echo "$start $end $(sed -n "s/^wchar: //p" /proc/$$/io)"' sh "$@") |
        awk -v f="$folder" '{ printf "%.3f %d %s\n", $2 - $1, $3, f }'
}

# The statistics files of two runs alike but for the date line.
sameStatistics() {
    local a=$1 b=$2 file
    for file in "$a"/orlex_*.info; do
        if ! cmp -s <(grep -v '^Date : ' "$file") <(grep -v '^Date : ' "$b/${file##*/}"); then
            echo "differ: ${file##*/}"
            return
        fi
    done
    [[ $(ls "$a"/orlex_*.info | wc -l) == $(ls "$b"/orlex_*.info | wc -l) ]] || {
        echo "differ: the files written"
        return
    }
    echo "identical"
}

# The fastest of the repeats of a command in both builds, the order turning
# with every repeat; sets seconds[before|after], bytes[...], folder[...].
declare -A seconds bytes folder
timeBoth() {
    seconds=() bytes=() folder=()
    local i which builtIn s b f
    for ((i = 1; i <= repeats; ++i)); do
        for which in $( ((i % 2)) && echo before after || echo after before); do
            builtIn=$build
            [[ $which == before ]] && builtIn=$before
            read -r s b f < <(runIn "$builtIn" "$@")
            if [[ -z "${seconds[$which]:-}" ]] || awk -v a="$s" -v b="${seconds[$which]}" \
                'BEGIN { exit !(a < b) }'; then
                [[ -n "${folder[$which]:-}" ]] && rm -rf "${folder[$which]}"
                seconds[$which]=$s bytes[$which]=$b folder[$which]=$f
            else
                rm -rf "$f"
            fi
        done
    done
}

row() {
    awk -v l="$1" -v b="$2" -v a="$3" -v d="$4" 'BEGIN {
        printf "| %-50s | %12." d "f | %12." d "f | %8.2f |\n", l, b, a, (a > 0 ? b / a : 0) }'
}

echo "before: $baseCommit; after: $(git -C "$root" rev-parse --short HEAD) (plus any changes not committed)"
printf "| %-50s | %12s | %12s | %8s |\n" "measure" "before" "after" "ratio"
printf "|%s|%s|%s|%s|\n" "----------------------------------------------------" \
    "--------------" "--------------" "----------"

# 1. The statistics files.
examples="$root/examples"
timeBoth orlex --stats --post --ped "$examples/families.ped" \
    --map "$examples/markers.map" --model "$examples/dominant.model"
exampleSame=$(sameStatistics "${folder[before]}" "${folder[after]}")

"$build/bin/bench_generate_data" "$scanPedigrees" "$markers" scan.pre scan.map
"$build/bin/makepedvant" scan.pre scan.post n >/dev/null
cp "$examples/dominant.model" scan.model
timeBoth orlex --stats --post --ped "$work/scan.post" --map "$work/scan.map" \
    --model "$work/scan.model"
scanSame=$(sameStatistics "${folder[before]}" "${folder[after]}")
row "--stats, $markers markers: MB written" "$(awk -v b="${bytes[before]}" 'BEGIN { print b / 1e6 }')" \
    "$(awk -v b="${bytes[after]}" 'BEGIN { print b / 1e6 }')" 1
row "--stats, $markers markers: seconds" "${seconds[before]}" "${seconds[after]}" 2

# 2. The checks of a converted file.
"$build/bin/bench_generate_data" "$studyPedigrees" 2 study.pre study.map
"$build/bin/makepedvant" study.pre study.post n >/dev/null
readSeconds() {  # the store's own timing of its read, from the folder's "times"
    if ! grep -q '^read ' "$1/times"; then
        echo "repeated_work_bench.sh: a read failed:" >&2
        cat "$1/times" "$1/log" >&2
        exit 1
    fi
    awk '$1 == "read" { print $2 }' "$1/times"
}
for format in post pre; do
    file=study.$format
    timeBoth bench_store "$format" "$work/$file" "$work/study.map"
    b=$(readSeconds "${folder[before]}")
    a=$(readSeconds "${folder[after]}")
    row "$format-MAKEPED read, $((studyPedigrees * 10)) persons: seconds" "$b" "$a" 3
done

# 3. One deep pedigree: each generation's son marries a founder, and they
# have three children, the last generation's children excepted.
awk -v n="$generations" 'BEGIN {
    print "1 1 0 0 1 1 1 2"; print "1 2 0 0 2 1 1 2"
    father = 1; mother = 2; id = 2
    for (g = 1; g <= n; ++g) {
        for (k = 1; k <= 3; ++k) {
            print 1, ++id, father, mother, (k == 1 ? 1 : 2), 1, "1 2"
            if (k == 1) son = id
        }
        if (g == n) break
        print 1, ++id, 0, 0, 2, 1, "1 2"
        father = son; mother = id
    }
}' > deep.pre
printf 'CHROMOSOME haldane MARKER\n1 0.0 M1\n' > deep.map
"$build/bin/makepedvant" deep.pre deep.post n >/dev/null
timeBoth bench_store post "$work/deep.post" "$work/deep.map"
b=$(readSeconds "${folder[before]}")
a=$(readSeconds "${folder[after]}")
row "post-MAKEPED read, 1 pedigree of $((generations + 1)) founders: s" "$b" "$a" 3

echo "Statistics files of the bundled example: $exampleSame; of the $markers-marker scan: $scanSame"
