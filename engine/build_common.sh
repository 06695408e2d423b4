# Shell functions shared by build.sh and build_vantrel.sh; each script sources
# this file after defining its own log and die.

sha256_of() { sha256sum "$1" | cut -d' ' -f1; }

# One sed edit that must change the file, so a drifted source never builds
# silently unpatched.
edit() {
    local file="$1" script="$2" before
    before="$(sha256_of "$file")"
    sed -i -e "$script" "$file"
    [[ "$(sha256_of "$file")" != "$before" ]] || die "edit did not apply to $file: $script"
}

# unknown.h sets its limits without guards; guard those the builds set.
guard_unknown_limits() {
    local dir="$1" limit
    for limit in maxind MAXPED maxall maxliab; do
        edit "$dir/unknown.h" "s/^#define $limit\\([[:space:]].*\\)\$/#ifndef $limit\\n#define $limit\\1\\n#endif/"
    done
}

# Writes the -Dname=value limits of the compiler flags as name=value lines,
# renamed into place: the one record of what the engine programs can take,
# which the package's build turns into its limits header.
write_limits() {
    local file="$1" flags="$2" flag
    {
        echo "# Limits the engine programs beside this file were compiled with."
        for flag in $flags; do
            [[ "$flag" =~ ^-D([A-Za-z_]+)=([0-9]+)$ ]] && echo "${BASH_REMATCH[1]}=${BASH_REMATCH[2]}"
        done
    } >"$file.new"
    mv -f "$file.new" "$file"
}

# The error routine waited for Enter after every input error and every
# incompatibility: a run with an open stdin hung, one with stdout discarded
# waited invisibly. It now returns at once. An empty or missing input file
# asked "Press <Enter> to continue or <Ctrl-C> to abort" and carried on with
# nothing (loopbrk then used a null file). Without anyone to ask, stop with an
# input-error status.
drop_enter_waits() {
    local dir="$1" file
    edit "$dir/unknown.c" '/^static void respond()/,/^}/{/Press <Enter>/d;/scanf/d;/getchar/d}'
    for file in "$dir/unknown.c" "$dir/loopbrk.c"; do
        edit "$file" 's/ Press <Enter> to continue or <Ctrl-C> to abort//'
        edit "$file" 's/^\([[:space:]]*\)scanf("%\*\[^\\n\]");$/\1exit(EXIT_FAILURE);/'
        edit "$file" '/^[[:space:]]*getchar();$/d'
        ! grep -q 'getchar\|Press <Enter>' "$file" || die "a wait for Enter is left in $file"
    done
}

# Renamed into place, so a program that is being started meanwhile is either
# the old build or the new one, never a half-copied file.
install_program() {
    local built="$1" dir="$2" name="$3"
    install -m 755 "$built" "$dir/.$name.new"
    mv -f "$dir/.$name.new" "$dir/$name"
}
