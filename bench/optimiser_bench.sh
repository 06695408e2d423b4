#!/bin/sh
# Runs ilinkvant -n with both optimisers side by side on the same engine
# inputs: the shipped ilinkvant (NLopt) and a second ilinkvant linked here
# from the same engine objects with the former mesh search
# (bench/mesh_search_driver.cpp). For every run it prints -2 ln L, the
# number of evaluations and the seconds of each, then checks that NLopt
# reaches an equal or better -2 ln L (within 1e-4) in every run with no more
# evaluations, at least 10 times fewer in total, and the 45-allele LD run on
# 6 families (45-allele_H3) in under 15 seconds. Exit status 1 when a check fails.
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
    echo "$(cat mesh.txt) $(cat nlopt.txt)" >>"$results"
    cd "$work"
done

awk '
    BEGIN {
        printf "%-16s %16s %16s %10s %8s %8s %9s %9s\n", "run", "-2lnL mesh", "-2lnL NLopt",
            "NLopt-mesh", "ev mesh", "ev NLopt", "s mesh", "s NLopt"
        ok = 1
    }
    {
        printf "%-16s %16.6f %16.6f %10.2e %8d %8d %9.3f %9.3f\n", $1, $2, $5, $5 - $2, $3, $6, $4, $7
        meshEvaluations += $3; nloptEvaluations += $6; meshSeconds += $4; nloptSeconds += $7
        if ($5 - $2 > 1e-4) { print "  FAIL: NLopt ends more than 1e-4 above the mesh search"; ok = 0 }
        if ($6 > $3) { print "  FAIL: NLopt needs more evaluations"; ok = 0 }
        if ($1 == "45-allele_H3" && $7 >= 15) { print "  FAIL: the 45-allele LD run takes 15 s or more"; ok = 0 }
    }
    END {
        printf "%-16s %16s %16s %10s %8d %8d %9.3f %9.3f\n", "total", "", "", "",
            meshEvaluations, nloptEvaluations, meshSeconds, nloptSeconds
        ratio = nloptEvaluations > 0 ? meshEvaluations / nloptEvaluations : 0
        printf "evaluations: %.1f times fewer with NLopt\n", ratio
        if (ratio < 10) { print "FAIL: fewer than 10 times fewer evaluations in total"; ok = 0 }
        print ok ? "all checks pass" : "some checks FAIL"
        exit ok ? 0 : 1
    }' "$results"
