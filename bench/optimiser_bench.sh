#!/bin/sh
# Runs ilinkvant -n with four optimisers side by side on the same engine
# inputs: the shipped ilinkvant ("after"), and ilinkvants linked here from
# the same engine objects with the single-start BOBYQA driver of commit
# ca3304f ("today"), the former mesh search (bench/mesh_search_driver.cpp)
# and a thorough random-start search (bench/thorough_search_driver.cpp).
# For every run it prints -2 ln L today, after and the thorough search's,
# and the evaluations of each, then checks that the shipped optimiser ends
# within 1e-3 of the thorough search's value (or below it) in every run,
# and with at least 10 times fewer evaluations in total than the mesh
# search. Exit status 1 when a check fails.
#
# Usage: bench/optimiser_bench.sh [BUILD_DIR [RUN_PATTERN]]
# (defaults: build/main, every run; RUN_PATTERN is a grep pattern on the run
# names, e.g. 'H1$' or '^6-allele')
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/main}
pattern=${2:-.}

fail() {
    echo "optimiser_bench.sh: $*" >&2
    exit 1
}

[ -d "$build" ] || fail "no build folder $build"
build=$(cd "$build" && pwd)
cases_program="$build/bin/bench_optimiser_cases"
[ -x "$cases_program" ] || fail "$cases_program is missing; build the bench targets first"
engine_bin=$(sed -n 's/^ORLEX_ENGINE_BIN_DIR:PATH=//p' "$build/CMakeCache.txt")
[ -x "$engine_bin/ilinkvant" ] || fail "no ilinkvant in $engine_bin; build the engine first"
# engine/build.sh keeps ilinkvant's objects without its optimiser here.
engine_objects="$(dirname "$engine_bin")/work/vantrel/vantrel-src/ilinkvant-without-optimiser.a"
[ -f "$engine_objects" ] || fail "$engine_objects is missing; rebuild the engine"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

g++ -O2 -std=c++17 -I"$root/engine_modules" -c "$root/bench/mesh_search_driver.cpp" \
    -o "$work/mesh_search_driver.o"
g++ -O2 "$work/mesh_search_driver.o" -Wl,--whole-archive "$engine_objects" \
    -Wl,--no-whole-archive -o "$work/ilinkvant-mesh" -lm

link_driver() {
    g++ -O2 -std=c++17 -I"$root/engine_modules" -c "$1" -o "$work/driver.o"
    g++ -O2 "$work/driver.o" -Wl,--whole-archive "$engine_objects" \
        -Wl,--no-whole-archive -o "$2" -lnlopt -lm
}
git -C "$root" show ca3304f:engine_modules/optimiser_driver.cpp >"$work/today_driver.cpp" ||
    fail "the repository does not hold commit ca3304f"
link_driver "$work/today_driver.cpp" "$work/ilinkvant-today"
link_driver "$root/bench/thorough_search_driver.cpp" "$work/ilinkvant-thorough"

"$cases_program" "$work/cases"

now() { date +%s.%N; }

# Runs one ilinkvant in the current folder; appends "-2lnL evaluations
# seconds" to the given file.
run_ilink() {
    program=$1 switches=$2 out=$3
    rm -f final.dat
    start=$(now)
    # shellcheck disable=SC2086
    "$program" $switches </dev/null >/dev/null 2>&1 || fail "$program $switches failed in $(pwd)"
    end=$(now)
    awk -v start="$start" -v end="$end" '
        /^-2 LN\(LIKE\) =/ { value = $4 }
        /^NUMBER OF FUNCTION EVALUATIONS =/ { evaluations = $6 }
        END { printf "%s %s %.3f\n", value, evaluations, end - start }' final.dat >>"$out"
}

results="$work/results.txt"
: >"$results"
for dir in $(ls -d "$work/cases"/* | sort); do
    name=$(basename "$dir")
    echo "$name" | grep -q -- "$pattern" || continue
    cd "$dir"
    unknown_switches=$(sed -n 1p switches)
    ilink_switches=$(sed -n 2p switches)
    # shellcheck disable=SC2086
    "$engine_bin/unknownvant" $unknown_switches </dev/null >/dev/null 2>&1 ||
        fail "unknownvant failed on $name"
    printf "%s " "$name" >>"$results"
    run_ilink "$work/ilinkvant-mesh" "$ilink_switches" mesh.txt
    run_ilink "$engine_bin/ilinkvant" "$ilink_switches" nlopt.txt
    run_ilink "$work/ilinkvant-today" "$ilink_switches" today.txt
    run_ilink "$work/ilinkvant-thorough" "$ilink_switches" thorough.txt
    echo "$(cat mesh.txt) $(cat nlopt.txt) $(cat today.txt) $(cat thorough.txt)" >>"$results"
    cd "$work"
done

# Fields: name, then -2lnL, evaluations, seconds of mesh ($2-4), after
# ($5-7), today ($8-10) and thorough ($11-13).
awk '
    BEGIN {
        printf "%-16s %14s %14s %14s %8s %8s %8s\n", "run", "-2lnL today", "-2lnL after",
            "-2lnL thorough", "ev today", "ev after", "ev mesh"
        ok = 1
    }
    {
        printf "%-16s %14.6f %14.6f %14.6f %8d %8d %8d\n", $1, $8, $5, $11, $9, $6, $3
        mesh += $3; after += $6; today += $9
        if ($5 - $11 > 1e-3) { print "  FAIL: more than 1e-3 above the thorough search"; ok = 0 }
    }
    END {
        printf "%-16s %14s %14s %14s %8d %8d %8d\n", "total", "", "", "", today, after, mesh
        ratio = after > 0 ? mesh / after : 0
        printf "evaluations: %.1f times fewer than the mesh search\n", ratio
        if (ratio < 10) { print "FAIL: fewer than 10 times fewer evaluations in total"; ok = 0 }
        print ok ? "all checks pass" : "some checks FAIL"
        exit ok ? 0 : 1
    }' "$results"
