#!/bin/sh
# Runs ilinkvant -n with four optimisers side by side on the same engine
# inputs: the shipped ilinkvant ("after"), and ilinkvants linked here from
# the same engine objects with the single-start BOBYQA driver of commit
# ca3304f ("today"), the former mesh search (bench/mesh_search_driver.cpp)
# and a thorough search (bench/thorough_search_driver.cpp).
#
# The engine inputs are what vantrel sends the engine: vantrel runs on the
# bundled example (every marker, --dom, --rec and --model, with and without
# the cases and controls), the X-linked example, the data of vantrel's
# known-answer test and simulated sets of 2 to 45 alleles under LD
# (bench_optimiser_cases), with an ilinkvant first on PATH that keeps the
# inputs of every run before it runs the real one.
#
# The reference of a run is the best -2 ln L of the four optimisers, and the
# table says which found it, so that no optimiser is judged against a worse
# value than one of them found. The bench checks that the shipped optimiser
# ends within 1e-3 of the reference in every run, that no hypothesis of a
# marker ends above one nested in it (H0 in H1 and H2, both in H3) by more
# than 1e-4, and that it takes at least 10 times fewer evaluations in total
# than the mesh search. Exit status 1 when a check fails.
#
# Usage: bench/optimiser_bench.sh [BUILD_DIR [RUN_PATTERN]]
# (defaults: build/main, every run; RUN_PATTERN is a grep pattern on the run
# names, e.g. 'H1$' or '^example_dom')
#
# Environment:
#   BENCH_JOBS=N        runs N engine runs at a time (default 4)
#   OPTIMISER_REFERENCE=FILE
#                       takes the thorough search's value from FILE (lines
#                       "run value found-by", as OPTIMISER_SAVE_REFERENCE
#                       writes them) instead of running it; runs the file
#                       lacks still run it
#   OPTIMISER_SAVE_REFERENCE=FILE
#                       writes the reference of every run to FILE
#   THOROUGH_STARTS, THOROUGH_EVALUATIONS
#                       the thorough search's starts and evaluation budget
#                       (see bench/thorough_search_driver.cpp)
set -eu

fail() {
    echo "optimiser_bench.sh: $*" >&2
    exit 1
}

now() { date +%s.%N; }

# Runs one ilinkvant in the current folder; writes "-2lnL evaluations
# seconds" to the given file.
run_ilink() {
    program=$1 out=$2
    rm -f final.dat
    start=$(now)
    # The switches are words of their own.
    # shellcheck disable=SC2046
    "$program" $(cat switches) </dev/null >/dev/null 2>"$out.err" ||
        fail "$program $(cat switches) failed in $(pwd): $(cat "$out.err")"
    end=$(now)
    awk -v start="$start" -v end="$end" '
        /^-2 LN\(LIKE\) =/ { value = $4 }
        /^NUMBER OF FUNCTION EVALUATIONS =/ { evaluations = $6 }
        END {
            if (value == "" || evaluations == "") exit 1
            printf "%s %s %.3f\n", value, evaluations, end - start
        }' final.dat >"$out" || fail "$program wrote no estimate in $(pwd)"
}

# One optimiser on one case, in a copy of the case folder of its own, so
# that the optimisers of a case can run at the same time: writes
# OPTIMISER.txt into the case folder, and for the thorough search a fourth
# field, 1 where it spent its evaluation budget.
run_unit() {
    optimiser=$1 dir=$2
    unit="$dir.$optimiser"
    rm -rf "$unit"
    cp -R "$dir" "$unit"
    cd "$unit"
    case $optimiser in
    after) run_ilink "$BENCH_ENGINE_BIN/ilinkvant" result.txt ;;
    *) run_ilink "$BENCH_WORK/ilinkvant-$optimiser" result.txt ;;
    esac
    if [ "$optimiser" = thorough ]; then
        spent=0
        ! grep -q "budget" result.txt.err || spent=1
        echo "$(cat result.txt) $spent" >"$dir/thorough.txt"
    else
        cp result.txt "$dir/$optimiser.txt"
    fi
    cd "$BENCH_WORK"
    rm -rf "$unit"
}

# One vantrel run of a line of the run list (label, data folder, marker,
# vantrel's other arguments) in a folder of its own, the keeping ilinkvant
# first on PATH.
capture() {
    label=$1 folder=$2 marker=$3
    shift 3
    run=$(mktemp -d "$BENCH_WORK/vantrel.XXXXXX")
    cp "$folder"/* "$run"/
    cd "$run"
    BENCH_CAPTURE_LABEL=$(echo "$label" | sed "s/%m/$marker/g") \
        PATH="$BENCH_WORK/keeping:$BENCH_ENGINE_BIN:$PATH" \
        "$BENCH_VANTREL" "$@" --marker "$marker" </dev/null >vantrel.log 2>&1 ||
        fail "vantrel $* --marker $marker failed in $run: $(tail -3 vantrel.log)"
    cd "$BENCH_WORK"
    rm -rf "$run"
}

case ${1:-} in
--unit)
    run_unit "$2" "$3"
    exit 0
    ;;
--capture)
    shift
    capture "$@"
    exit 0
    ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
self="$root/bench/optimiser_bench.sh"
build=${1:-$root/build/main}
pattern=${2:-.}
jobs=${BENCH_JOBS:-4}
case $jobs in '' | *[!0-9]* | 0) fail "BENCH_JOBS=$jobs is not a positive count" ;; esac
reference=${OPTIMISER_REFERENCE:-}
save_reference=${OPTIMISER_SAVE_REFERENCE:-}
if [ -n "$reference" ]; then
    [ -r "$reference" ] || fail "cannot read the reference file $reference"
    reference=$(cd "$(dirname "$reference")" && pwd)/$(basename "$reference")
fi

[ -d "$build" ] || fail "no build folder $build"
build=$(cd "$build" && pwd)
cases_program="$build/bin/bench_optimiser_cases"
vantrel="$build/bin/vantrel"
[ -x "$cases_program" ] || fail "$cases_program is missing; build the bench targets first"
[ -x "$vantrel" ] || fail "$vantrel is missing; build the programs first"
engine_bin=$(sed -n 's/^ORLEX_ENGINE_BIN_DIR:PATH=//p' "$build/CMakeCache.txt")
[ -x "$engine_bin/ilinkvant" ] || fail "no ilinkvant in $engine_bin; build the engine first"
# engine/build.sh keeps ilinkvant's objects without its optimiser here.
engine_objects="$(dirname "$engine_bin")/work/vantrel/vantrel-src/ilinkvant-without-optimiser.a"
[ -f "$engine_objects" ] || fail "$engine_objects is missing; rebuild the engine"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
bench_start=$(now)

link_driver() {
    g++ -O2 -std=c++17 -I"$root/engine_modules" -c "$1" -o "$2.o"
    g++ -O2 "$2.o" -Wl,--whole-archive "$engine_objects" -Wl,--no-whole-archive -o "$2" \
        -lnlopt -lm
}
git -C "$root" show ca3304f:engine_modules/optimiser_driver.cpp >"$work/today_driver.cpp" ||
    fail "the repository does not hold commit ca3304f"
link_driver "$root/bench/mesh_search_driver.cpp" "$work/ilinkvant-mesh"
link_driver "$work/today_driver.cpp" "$work/ilinkvant-today"
link_driver "$root/bench/thorough_search_driver.cpp" "$work/ilinkvant-thorough"

# The ilinkvant that keeps a run's inputs in cases/LABEL_Hn (n from its
# switches: -b linkage, -c LD), runs the real one and keeps its -2 ln L,
# evaluations and seconds there too as those of the shipped optimiser.
mkdir "$work/keeping" "$work/cases"
cat >"$work/keeping/ilinkvant" <<EOF
#!/bin/sh
n=0
for switch in "\$@"; do
    case \$switch in -b) n=\$((n + 1)) ;; -c) n=\$((n + 2)) ;; esac
done
dest=$work/cases/\${BENCH_CAPTURE_LABEL}_H\$n
mkdir "\$dest" || exit 1
for file in *.dat; do
    case \$file in final.dat | outfile.dat | stream.dat) ;; *) cp "\$file" "\$dest"/ ;; esac
done
printf '%s\n' "\$*" >"\$dest/switches"
start=\$(date +%s.%N)
"$engine_bin/ilinkvant" "\$@" || exit
end=\$(date +%s.%N)
awk -v start="\$start" -v end="\$end" '
    /^-2 LN\\(LIKE\\) =/ { value = \$4 }
    /^NUMBER OF FUNCTION EVALUATIONS =/ { evaluations = \$6 }
    END { printf "%s %s %.3f\n", value, evaluations, end - start }' final.dat >"\$dest/after.txt"
EOF
chmod +x "$work/keeping/ilinkvant"

"$cases_program" "$work/inputs" || fail "bench_optimiser_cases failed"
# The bundled examples: every marker under every model, the families with
# and without the cases and controls.
cp -R "$root/examples" "$work/inputs/sets/example"
example="--post --pedigreefile families.ped --mapfile markers.map"
cc="--casemap markers.map --casegt cases.gt --controlmap markers.map --controlgt controls.gt"
xlinked="--post --xlinked --pedigreefile xlinked.ped --mapfile xmarkers.map"
for marker in D1S101 D1S102 D1S103; do
    echo "example_dom_%m example $marker $example --dom"
    echo "example_rec_%m example $marker $example --rec"
    echo "example_model_%m example $marker $example --modelfile dominant.model --model"
    echo "example-cc_dom_%m example $marker $example $cc --dom"
    echo "example-cc_rec_%m example $marker $example $cc --rec"
    echo "example-cc_model_%m example $marker $example $cc --modelfile dominant.model --model"
done >>"$work/inputs/runs.txt"
for marker in DXS101 DXS102; do
    echo "xlinked_dom_%m example $marker $xlinked --dom"
    echo "xlinked_rec_%m example $marker $xlinked --rec"
    echo "xlinked_model_%m example $marker $xlinked --modelfile xlinked.model --model"
done >>"$work/inputs/runs.txt"
# Only the vantrel runs that make a run asked for.
while read -r label folder marker arguments; do
    name=$(echo "$label" | sed "s/%m/$marker/g")
    printf '%s_H0\n%s_H1\n%s_H2\n%s_H3\n' "$name" "$name" "$name" "$name" |
        grep -q -- "$pattern" || continue
    echo "$label $work/inputs/sets/$folder $marker $arguments"
done <"$work/inputs/runs.txt" >"$work/capture.txt"

export BENCH_WORK="$work" BENCH_ENGINE_BIN="$engine_bin" BENCH_VANTREL="$vantrel"
echo "optimiser_bench.sh: $(wc -l <"$work/capture.txt") vantrel runs make the cases" >&2
[ ! -s "$work/capture.txt" ] ||
    xargs -P "$jobs" -L 1 "$self" --capture <"$work/capture.txt" || fail "a vantrel run failed"
# The 45-allele set runs only its LD hypotheses: those are where the
# likelihood has several optima, and the thorough search of each of its
# runs takes a quarter of an hour.
rm -rf "$work/cases/45-allele_H0" "$work/cases/45-allele_H1"
# The phase-known family, straight from its engine inputs.
cp -R "$work/inputs/engine/." "$work/cases/"
for dir in "$work/cases"/*; do
    if [ -f "$dir/unknown-switches" ]; then
        # shellcheck disable=SC2046
        (cd "$dir" && "$engine_bin/unknownvant" $(cat unknown-switches) </dev/null >/dev/null 2>&1) ||
            fail "unknownvant failed in $dir"
    fi
done
capture_end=$(now)

# The optimisers of the runs asked for, one unit each, the costliest first
# (by the size of the datafile, which grows with the alleles) so that the
# longest do not start last. The shipped optimiser ran while vantrel ran,
# except in the cases that did not come from vantrel.
: >"$work/selected.txt"
for dir in "$work/cases"/*; do
    name=$(basename "$dir")
    echo "$name" | grep -q -- "$pattern" || continue
    echo "$dir" >>"$work/selected.txt"
    size=$(wc -c <"$dir/datafile.dat")
    if [ -z "$reference" ] || ! grep -q "^$name " "$reference"; then
        echo "$((size * 20)) thorough $dir"
    fi
    echo "$((size * 5)) mesh $dir"
    echo "$size today $dir"
    [ -f "$dir/after.txt" ] || echo "$size after $dir"
done | sort -k1,1nr | cut -d' ' -f2- >"$work/units.txt"
[ -s "$work/units.txt" ] || fail "no run matches $pattern"
echo "optimiser_bench.sh: $(wc -l <"$work/units.txt") optimiser runs on $(wc -l <"$work/selected.txt") cases" >&2
xargs -P "$jobs" -L 1 "$self" --unit <"$work/units.txt" || fail "a run failed"
while read -r dir; do
    thorough="- - - -"
    [ ! -f "$dir/thorough.txt" ] || thorough=$(cat "$dir/thorough.txt")
    printf '%s %s %s %s %s\n' "$(basename "$dir")" "$(cat "$dir/mesh.txt")" \
        "$(cat "$dir/after.txt")" "$(cat "$dir/today.txt")" "$thorough"
done <"$work/selected.txt" | sort >"$work/results.txt"
bench_end=$(now)

# Fields: name, then -2lnL, evaluations, seconds of mesh ($2-4), after
# ($5-7), today ($8-10) and thorough ($11-13), whether the thorough search
# spent its budget ($14). The reference file's lines come first.
awk -v save="$save_reference" -v capture="$(awk -v a="$bench_start" -v b="$capture_end" 'BEGIN { printf "%.0f", b - a }')" \
    -v total="$(awk -v a="$bench_start" -v b="$bench_end" 'BEGIN { printf "%.0f", b - a }')" '
    stored_file && FNR == NR { stored[$1] = $2; stored_by[$1] = $3; next }
    BEGIN {
        stored_file = ARGC > 2
        printf "%-28s %14s %14s %14s %-9s %8s %8s %9s\n", "run", "-2lnL today", "-2lnL after",
            "reference", "found by", "ev today", "ev after", "ev mesh"
        ok = 1
    }
    {
        name = $1
        if ($11 != "-") { best = $11; by = "thorough"; if ($14 == 1) by = "thorough*" }
        else { best = stored[name]; by = stored_by[name] }
        # Another optimiser takes the reference only where it is better by
        # more than the printed digits.
        if ($2 < best - 1e-6) { best = $2; by = "mesh" }
        if ($5 < best - 1e-6) { best = $5; by = "after" }
        if ($8 < best - 1e-6) { best = $8; by = "today" }
        printf "%-28s %14.6f %14.6f %14.6f %-9s %8d %8d %9d\n", name, $8, $5, best, by, $9, $6, $3
        if ($5 - best > 1e-3) {
            printf "  FAIL: after is %.6f above the reference\n", $5 - best
            ok = 0
        }
        if (save != "") printf "%s %.9f %s\n", name, best, by > save
        mesh += $3; after += $6; today += $9
        seconds_mesh += $4; seconds_after += $7; seconds_today += $10
        if ($11 != "-") seconds_thorough += $13
        if (match(name, /_H[0-3]$/)) {
            marker = substr(name, 1, RSTART - 1)
            value[marker, substr(name, RSTART + 2, 1)] = $5
            markers[marker] = 1
        }
    }
    END {
        printf "%-28s %14s %14s %14s %-9s %8d %8d %9d\n", "total", "", "", "", "", today, after,
            mesh
        # The nesting of the values of the shipped optimiser, marker by marker.
        n = split("1 0 2 0 3 1 3 2", pairs, " ")
        for (marker in markers)
            for (k = 1; k < n; k += 2) {
                outer = pairs[k]; inner = pairs[k + 1]
                if (!((marker, outer) in value) || !((marker, inner) in value)) continue
                above = value[marker, outer] - value[marker, inner]
                if (above > 1e-4) {
                    printf "FAIL: %s: after, H%s is %.6f above H%s nested in it\n", marker, outer,
                        above, inner
                    ok = 0
                }
            }
        ratio = after > 0 ? mesh / after : 0
        printf "evaluations: %.1f times fewer than the mesh search\n", ratio
        if (ratio < 10) { print "FAIL: fewer than 10 times fewer evaluations in total"; ok = 0 }
        printf "seconds of engine runs: today %.1f, after %.1f, mesh %.1f, thorough %.1f\n",
            seconds_today, seconds_after, seconds_mesh, seconds_thorough
        printf "seconds: %d capturing the vantrel runs, %d in all\n", capture, total
        print "(thorough*: the thorough search spent its evaluation budget)"
        print ok ? "all checks pass" : "some checks FAIL"
        exit ok ? 0 : 1
    }' ${reference:+"$reference"} "$work/results.txt"
