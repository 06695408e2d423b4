#!/usr/bin/env bash
# Builds the engine programs that vantrel starts, from FASTLINK's source:
#   unknownvant  FASTLINK's unknown with allele-frequency estimation allowed
#   ilinkvant    FASTLINK's ILINK for up to 4 loci of up to 45 alleles, with
#                the recombination table and the input checks of
#                engine_modules/ in place of FASTLINK's comrec and iostuff
#                objects, the switches -n (maximise with NLopt through the
#                optimiser bridge), -b and -c, and a final.dat with more
#                digits
#
# WORK_DIR/vantrel-src/ilinkvant-without-optimiser.a keeps every object of
# ilinkvant but the optimiser driver, so that bench/optimiser_bench.sh can
# link the same engine with another driver.
#
# Usage: engine/build_vantrel.sh SRC_DIR BIN_DIR WORK_DIR
#   SRC_DIR   the unpacked FASTLINK src/ folder with the edits that both sets
#             take (read only)
#   BIN_DIR   where the two programs are installed
#   WORK_DIR  scratch folder of this build
#
# ilinkvant links GPL-2+ FASTLINK code with our modules: it is a GPL-2+ work.
set -euo pipefail

if (($# != 3)); then
    echo "usage: $0 SRC_DIR BIN_DIR WORK_DIR" >&2
    exit 2
fi

src_dir="$(cd "$1" && pwd)"
mkdir -p "$2" "$3"
bin_dir="$(cd "$2" && pwd)"
work_dir="$(cd "$3" && pwd)"
engine_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
modules_dir="$(dirname "$engine_dir")/engine_modules"
build="$work_dir/vantrel-src"

log() { echo "engine (vantrel): $*"; }
die() {
    echo "engine (vantrel): error: $*" >&2
    exit 1
}

# shellcheck source=engine/build_common.sh
source "$engine_dir/build_common.sh"

# Limits: the orlex set's pedigree and person limits; 4 loci of up to 45
# alleles (the modules' records are laid out for these); 100 iterated
# parameters, enough for a 45-allele marker with disease-conditional
# frequencies (1 + 2 x 44, and ILINK reads one flag more). ALLELE_SPEED 0:
# the allele renumbering of the default build refuses frequency estimation.
# -fcommon: FASTLINK defines its globals in headers. -DDOS: no checkpoints,
# whose leftovers a later run in the same folder would restore.
readonly limits="-Dmaxped=5000 -Dmaxind=20000 -DMAXPED=5000 -Dmaxlocus=4 -Dmaxall=45 -Dmaxn=100 -Dmaxliab=60"
readonly cflags="-O2 -fcommon -DDOS -DALLELE_SPEED=0 $limits -w"
readonly cxxflags="-O2 -std=c++17 -Wall -Wextra"

# The optimiser driver maximises with NLopt (Debian's libnlopt-dev, whose
# header and library are in the compiler's default paths).
check_nlopt() {
    echo '#include <nlopt.h>
int main(void) { return nlopt_create(NLOPT_LN_BOBYQA, 1) == 0; }' >"$build/nlopt_check.c"
    gcc "$build/nlopt_check.c" -o "$build/nlopt_check" -lnlopt >/dev/null 2>&1 ||
        die "NLopt is not installed (Debian package libnlopt-dev)"
}

patch_unknown() {
    # Guard the limits the build sets (unknown's allele limit among them,
    # raised to the marker size ilinkvant takes).
    guard_unknown_limits "$build"
    drop_enter_waits "$build"
}

patch_ilink() {
    # -n selects our search, -b (a linkage run) is accepted, -c as before.
    edit "$build/commoncode.c" 's/getopt(argc, argv, "ic")/getopt(argc, argv, "icnb")/'
    edit "$build/commoncode.c" 's/^\([[:space:]]*\)disfreqs = true;$/&\n\1break;\n\1case '"'n'"':\n\1nomad_requested = 1;\n\1break;\n\1case '"'b'"':/'
    edit "$build/commoncode.c" 's/^void seqStartup(argc, argv)$/extern int nomad_requested;\n&/'
    edit "$build/ilink.c" 's/^int main(argc, argv)$/extern int nomad_requested;\nextern void nomad_maximise(void);\n\n&/'
    edit "$build/ilink.c" 's/^\([[:space:]]*\)gemini();$/\1if (nomad_requested)\n\1  nomad_maximise();\n\1else\n\1  gemini();/'
    # final.dat: every list with a blank between numbers and enough digits
    # for the likelihood-ratio statistics computed from it.
    edit "$build/ilink.c" 's/fprintf(final, "%9\.6f", /fprintf(final, " %.10f", /g'
    edit "$build/ilink.c" 's/fprintf(final, " %5\.3f", WITH1->theta\[i\])/fprintf(final, " %.10f", WITH1->theta[i])/g'
    edit "$build/ilink.c" 's/fprintf(final, " %5\.3f\\n", \(male\|female\)theta->theta\[mlocus - 1\])/fprintf(final, " %.10f\\n", \1theta->theta[mlocus - 1])/g'
    edit "$build/ilink.c" 's/"-2 LN(LIKE) = % \.5e\\n"/"-2 LN(LIKE) = % .12e\\n"/'
}

compile_c() {
    local object="$1" source="$2"
    shift 2
    gcc $cflags "$@" -I"$build" -c "$build/$source" -o "$build/$object"
}

compile_modules() {
    local module
    for module in recombination_table engine_input_checks ilink_nomad_bridge engine_param_indices; do
        g++ $cxxflags -I"$modules_dir" -c "$modules_dir/$module.cpp" -o "$build/$module.o"
    done
    g++ $cxxflags -I"$modules_dir" -c "$modules_dir/optimiser_driver.cpp" -o "$build/optimiser_driver.o"
}

# Fails the build when our declarations of the engine's globals and records
# disagree with the engine compiled with these limits.
check_declarations() {
    gcc $cflags -DILINK -std=gnu11 -I"$build" -I"$modules_dir" -fsyntax-only \
        "$modules_dir/engine_probe.c" || die "engine_modules/engine_globals.h does not match the engine"
}

build_unknownvant() {
    log "building unknownvant"
    compile_c unknown.o unknown.c
    compile_c loopbrk.o loopbrk.c
    gcc -O2 "$build/unknown.o" "$build/loopbrk.o" -o "$build/unknownvant" -lm
}

build_ilinkvant() {
    log "building ilinkvant"
    local objects=() source
    for source in check cominputcode ilgetvect ilinputcode iloldnuclear commoncode ilink; do
        compile_c "$source-ilink.o" "$source.c" -DILINK
        objects+=("$build/$source-ilink.o")
    done
    for source in automodified comlike sexmodified; do
        compile_c "$source.o" "$source.c"
        objects+=("$build/$source.o")
    done
    compile_modules
    objects+=("$build"/{recombination_table,engine_input_checks,ilink_nomad_bridge,engine_param_indices}.o)
    local engine="$build/ilinkvant-without-optimiser.a"
    rm -f "$engine"
    ar rcs "$engine" "${objects[@]}"
    g++ -O2 "$build/optimiser_driver.o" -Wl,--whole-archive "$engine" -Wl,--no-whole-archive \
        -o "$build/ilinkvant" -lnlopt -lm
}

main() {
    [[ -f "$src_dir/ilink.c" && -f "$src_dir/unknown.c" ]] || die "$src_dir is not FASTLINK's src/"
    rm -rf "$build"
    cp -a "$src_dir" "$build"
    patch_unknown
    patch_ilink
    check_declarations
    check_nlopt
    build_unknownvant
    build_ilinkvant
    install_program "$build/unknownvant" "$bin_dir" unknownvant
    install_program "$build/ilinkvant" "$bin_dir" ilinkvant
    write_limits "$bin_dir/vantrel.limits" "$limits"
    log "installed unknownvant and ilinkvant into $bin_dir"
}

main
