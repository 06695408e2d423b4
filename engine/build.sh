#!/usr/bin/env bash
# Builds the FASTLINK engine programs under the names orlex starts them by:
#   unknownorlex, mlinkorlex, linkmaporlex, mlinkorlexslow, linkmaporlexslow
# and then, when engine/build_vantrel.sh exists, the vantrel set through it.
#
# Usage: engine/build.sh OUT_DIR
#   OUT_DIR/bin   the installed programs, and orlex.limits (vantrel.limits)
#                 naming the limits they were compiled with, for the programs
#                 to refuse what the engine cannot take
#   OUT_DIR/work  downloads, the pristine source and the build copies
#
# FASTLINK's source comes from Debian's source package through apt (a
# temporary deb-src entry of our own, removed again on every exit path); its
# SHA-256 is pinned below. Nothing of FASTLINK is kept in this repository.
# A second run with the same tarball and the same build inputs does nothing.
#
# Environment:
#   ORLEX_ENGINE_SKIP_STEPS  named edits of the shared source to leave out
#                            (space or comma separated; see source_steps), so
#                            a bench can build the engine as it was before them
set -euo pipefail

if (($# != 1)); then
    echo "usage: $0 OUT_DIR" >&2
    exit 2
fi

readonly source_package=fastlink
readonly tarball=fastlink_4.1P-fix100+dfsg.orig.tar.xz
readonly tarball_sha256=80cd1372f6ac008fa04bf3b8024f86e596126daada2a62b046bafc367f71adae
readonly jobs=4

engine_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$engine_dir")"
out_dir="$(mkdir -p "$1" && cd "$1" && pwd)"
work="$out_dir/work"
bin="$out_dir/bin"
downloads="$work/download"
stamp="$bin/.build-key"
vantrel_script="$engine_dir/build_vantrel.sh"
programs=(unknownorlex mlinkorlex linkmaporlex mlinkorlexslow linkmaporlexslow)
vantrel_programs=(unknownvant ilinkvant)

log() { echo "engine: $*"; }
die() {
    echo "engine: error: $*" >&2
    exit 1
}

# Limits raised so that real studies fit: the stock programs stop at 150
# pedigrees and 1,000 persons. The allele and liability-class limits are the
# analysis programs' own, set here so that every program (unknown has larger
# ones of its own) takes the same and the limits file says what was built.
# -fcommon because FASTLINK defines its globals in headers (gcc 12 defaults
# to -fno-common); -DDOS turns checkpointing off, since a killed run would
# otherwise leave files that the next run in the same folder restores as if
# they were its own result.
readonly max_pedigrees=5000
readonly max_persons=20000
readonly limits="-Dmaxped=$max_pedigrees -Dmaxind=$max_persons -DMAXPED=$max_pedigrees -Dmaxall=25 -Dmaxliab=60"
readonly extra_flags="-fcommon $limits"
make_args=(CC=gcc "OPTFLAG=-O2" "EXTRAFLAGS=$extra_flags" "CKPT=-DDOS" "LDFLAGS=-lm")

# shellcheck source=engine/build_common.sh
source "$engine_dir/build_common.sh"

# The edits of the shared source, in order, by the names that
# ORLEX_ENGINE_SKIP_STEPS takes. A name it does not know stops the build, so
# a misspelt step never yields the normal engine under another name.
readonly source_steps=(walk_pedigrees_alone check_sibship_before_storing)
skip_list="${ORLEX_ENGINE_SKIP_STEPS:-}"
read -ra skipped_steps <<<"${skip_list//,/ }"
for step in "${skipped_steps[@]}"; do
    [[ " ${source_steps[*]} " == *" $step "* ]] ||
        die "ORLEX_ENGINE_SKIP_STEPS names an unknown step '$step' (known: ${source_steps[*]})"
done

# Everything that decides what the build produces: the tarball, this script,
# the shared functions, the vantrel script, the engine modules' sources, the
# compiler and the NLopt that ilinkvant links.
build_key() {
    {
        echo "$tarball_sha256"
        sha256_of "${BASH_SOURCE[0]}"
        sha256_of "$engine_dir/build_common.sh"
        [[ -f "$vantrel_script" ]] && sha256_of "$vantrel_script"
        if [[ -d "$root/engine_modules" ]]; then
            (cd "$root" && find engine_modules -path engine_modules/tests -prune -o -type f -print |
                LC_ALL=C sort | xargs -r sha256sum)
        fi
        gcc --version | head -n 1
        nlopt_version
        # A build without some edits is another engine, never the normal one.
        echo "skipped: $(printf '%s\n' "${skipped_steps[@]}" | LC_ALL=C sort -u | xargs)"
    } | sha256sum | cut -d' ' -f1
}

# The installed NLopt, or nothing when it is missing (the vantrel build then
# stops with its own message).
nlopt_version() {
    dpkg-query -W -f='${Version}\n' libnlopt-dev 2>/dev/null || true
}

up_to_date() {
    local key="$1" program
    [[ -f "$stamp" && "$(cat "$stamp")" == "$key" ]] || return 1
    local expected=("${programs[@]}")
    [[ -f "$vantrel_script" ]] && expected+=("${vantrel_programs[@]}")
    for program in "${expected[@]}"; do
        [[ -x "$bin/$program" ]] || return 1
    done
    [[ -f "$bin/orlex.limits" ]] || return 1
    [[ ! -f "$vantrel_script" || -f "$bin/vantrel.limits" ]]
}

# --- fetching the source through apt ---------------------------------------

apt_entry=/etc/apt/sources.list.d/orlex-engine-source.sources

remove_apt_entry() { rm -f "$apt_entry"; }

# Only our own entry is read, so the machine's other lists stay untouched;
# another apt process holding the lists lock is waited for, not fought.
apt_with_entry() {
    local attempt output
    for attempt in $(seq 1 30); do
        if output="$(apt-get -q -o "Dir::Etc::sourcelist=$apt_entry" -o Dir::Etc::sourceparts=- \
            -o APT::Get::List-Cleanup=0 "$@" 2>&1)"; then
            return 0
        fi
        if ! grep -q "Could not get lock" <<<"$output"; then
            echo "$output" >&2
            return 1
        fi
        log "apt is busy, waiting ($attempt)"
        sleep 5
    done
    echo "$output" >&2
    return 1
}

fetch_tarball() {
    mkdir -p "$downloads"
    if [[ -f "$downloads/$tarball" && "$(sha256_of "$downloads/$tarball")" == "$tarball_sha256" ]]; then
        return 0
    fi
    rm -f "$downloads"/*
    [[ -f /usr/share/keyrings/debian-archive-keyring.gpg ]] ||
        die "debian-archive-keyring is not installed"
    log "fetching the $source_package source package through apt"
    trap remove_apt_entry EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP
    cat >"$apt_entry" <<'EOF'
# Temporary entry of the orlex engine build; removed when the build ends.
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt_with_entry update || die "apt-get update failed"
    (cd "$downloads" && apt_with_entry source --download-only "$source_package") ||
        die "apt-get source $source_package failed"
    remove_apt_entry
    trap - EXIT INT TERM HUP
    [[ -f "$downloads/$tarball" ]] || die "apt did not deliver $tarball"
    local actual
    actual="$(sha256_of "$downloads/$tarball")"
    [[ "$actual" == "$tarball_sha256" ]] ||
        die "$tarball has SHA-256 $actual, expected $tarball_sha256"
}

# --- building ----------------------------------------------------------------

# Copies the pristine src/ into a build folder of its own.
fresh_copy() {
    local name="$1"
    rm -rf "${work:?}/$name"
    cp -a "$pristine" "$work/$name"
}

# unknown's own limits and prompts; the analysis programs need no edits.
patch_unknown() {
    local dir="$1"
    # Guarded: persons per pedigree, and the pedigree count of its
    # loop-breaker table, whose index is never checked.
    guard_unknown_limits "$dir"
    # Stop instead of writing past that table when a file has more pedigrees.
    edit "$dir/unknown.c" 's/^\([[:space:]]*\)\(loop_infer_genotype\[ped - 1\] = (genotype \*\*) malloc.*\)$/\1if (ped > MAXPED) {\n\1  printf("ERROR: more than %d pedigrees\\n", MAXPED);\n\1  exit(EXIT_FAILURE);\n\1}\n\1\2/'
    drop_enter_waits "$dir"
}

run_make() {
    local dir="$1" log_file="$1.log"
    shift
    if ! make -C "$dir" -j"$jobs" "${make_args[@]}" "$@" >>"$log_file" 2>&1; then
        tail -n 30 "$log_file" >&2
        die "make $* failed in $dir (log: $log_file)"
    fi
}

build_fast() {
    log "building unknown, mlink, linkmap"
    fresh_copy fast
    patch_unknown "$work/fast"
    run_make "$work/fast" unknown mlink linkmap
}

# The LESSMEMORY builds link into the same names as the fast ones, so each gets
# its own copy. The Makefile compiles slowmlink.o and slowlinkmap.o without
# their program's define; they are compiled first with it, so make keeps them.
build_slow() {
    local program="$1" define="$2" copy="slow$1"
    log "building the slow $program"
    fresh_copy "$copy"
    run_make "$work/$copy" "slow$program.o" "EXTRAFLAGS=$extra_flags -D$define"
    run_make "$work/$copy" "slow$program"
}

install_programs() {
    mkdir -p "$bin"
    install_program "$work/fast/unknown" "$bin" unknownorlex
    install_program "$work/fast/mlink" "$bin" mlinkorlex
    install_program "$work/fast/linkmap" "$bin" linkmaporlex
    install_program "$work/slowmlink/mlink" "$bin" mlinkorlexslow
    install_program "$work/slowlinkmap/linkmap" "$bin" linkmaporlexslow
}

build_vantrel_set() {
    [[ -f "$vantrel_script" ]] || return 0
    log "building the vantrel set with $vantrel_script"
    rm -rf "$work/vantrel"
    mkdir -p "$work/vantrel"
    bash "$vantrel_script" "$pristine" "$bin" "$work/vantrel" || die "$vantrel_script failed"
}

main() {
    # Two set-ups running at once (two shells, CMake and the script) would
    # delete each other's build copies; the second waits and then finds the
    # programs up to date.
    exec 9>"$out_dir/.build.lock"
    flock 9
    local key
    key="$(build_key)"
    if up_to_date "$key"; then
        log "programs in $bin are up to date"
        return 0
    fi
    rm -f "$stamp"
    mkdir -p "$work"
    fetch_tarball
    rm -rf "$work/unpack"
    mkdir -p "$work/unpack"
    tar -xJf "$downloads/$tarball" -C "$work/unpack"
    pristine="$work/unpack/fastlink/4.1P/src"
    [[ -f "$pristine/Makefile" ]] || die "$tarball holds no fastlink/4.1P/src/Makefile"
    # Edits that every program of both sets takes, made once on the source
    # that each build copies.
    local step
    for step in "${source_steps[@]}"; do
        if [[ " ${skipped_steps[*]} " == *" $step "* ]]; then
            log "leaving out $step (ORLEX_ENGINE_SKIP_STEPS)"
        else
            "$step" "$pristine"
        fi
    done
    rm -f "$work"/*.log
    build_fast
    build_slow mlink MLINK
    build_slow linkmap LINKMAP
    install_programs
    write_limits "$bin/orlex.limits" "$limits"
    build_vantrel_set
    echo "$key" >"$stamp"
    log "installed ${programs[*]} into $bin"
}

main
