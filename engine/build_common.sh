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

# Walks over every person of the run where one pedigree is meant: a count
# of the substitutions that must be made between two lines, so a drifted
# source never builds with some of them left.
edit_walks_between() {
    local file="$1" first="$2" last="$3" from="$4" to="$5" expected="$6" made
    made="$(sed -n "/$first/,/$last/p" "$file" | grep -c -F "$from" || true)"
    [[ "$made" == "$expected" ]] ||
        die "$file has $made walks '$from' between /$first/ and /$last/, expected $expected"
    edit "$file" "/$first/,/$last/s/$from/$to/"
}

# Two routines run once per pedigree walked every person of the run each
# time, so a run's cost grew with pedigrees x persons (at 15,000 persons
# they took most of an mlink marker): the likelihood routine, which reset
# every person's flags and working arrays, and the reader of each
# pedigree's block of the loop file, which released the genotype lists of
# the persons that the previous block had marked. A pedigree's persons are
# numbered contiguously by the pedigree reader, and no routine of one
# pedigree's likelihood reaches a person of another, so the walks cover the
# pedigree's own persons: the reader keeps each pedigree's first and last
# number, the loop-file reader the lowest and highest person it marked
# (only it marks them). The working-set estimate at start-up walked the same
# way and now does too. Every program built from this source (unknown
# aside) takes these edits.
walk_pedigrees_alone() {
    local dir="$1" every='for (i = 1; i <= totperson; i++)'
    edit "$dir/cominputcode.c" 's/^static void free_unknown_poss() {$/static int unknownfirst = 1, unknownlast = 0;\n\n&/'
    edit_walks_between "$dir/cominputcode.c" '^static void free_unknown_poss() {$' '^} \/\* free_unknown_poss \*\/$' \
        'for (curr_person = 1; curr_person <= totperson; curr_person++)' \
        'for (curr_person = unknownfirst; curr_person <= unknownlast; curr_person++)' 1
    edit "$dir/cominputcode.c" '/^static void free_unknown_poss() {$/,/^} \/\* free_unknown_poss \*\/$/s/^    unknown_poss = NULL;$/&\n    unknownfirst = 1;\n    unknownlast = 0;/'
    edit "$dir/cominputcode.c" 's/^    person\[ind\]->unknown = true;$/&\n    if (unknownlast < unknownfirst)\n      unknownfirst = unknownlast = ind;\n    else if (ind < unknownfirst)\n      unknownfirst = ind;\n    else if (ind > unknownlast)\n      unknownlast = ind;/'
    edit "$dir/commondefs.h" 's/^ int nuped, totperson;$/&\n int pedfirstperson[maxped], pedlastperson[maxped];/'
    edit "$dir/cominputcode.c" 's/^  V\.endped\[nuped - 1\] = totperson;$/&\n  for (i = 0; i < nuped; i++) {\n    pedfirstperson[i] = V.startped[i];\n    pedlastperson[i] = V.endped[i];\n  }/'
    edit_walks_between "$dir/comlike.c" '^Void likelihood(thisped_, proband_)$' '^}  \/\*likelihood\*\/$' \
        "$every" 'for (i = pedfirstperson[V.thisped - 1]; i <= pedlastperson[V.thisped - 1]; i++)' 5
    edit_walks_between "$dir/comlike.c" '^int maxw_estimation()$' '^    mem_collapsedown(proband\[ped - 1\]);$' \
        'for(id = 1; id <= totperson; id++)' 'for(id = pedfirstperson[ped - 1]; id <= pedlastperson[ped - 1]; id++)' 3
}

# The likelihood routines stored each child of a couple into arrays of
# maxchild entries and only then compared the count with maxchild, so a
# larger sibship wrote past them (at 60 children mlink hung). The count is
# now checked before each store, with the engine's own message.
check_sibship_before_storing() {
    local file="$1/comlike.c" store='childarray\[nchild - 1\] = \(LINK->\)\?child;' found
    found="$(grep -c "^[[:space:]]*$store" "$file" || true)"
    [[ "$found" == 2 ]] || die "$file has $found stores of a child, expected 2"
    edit "$file" "s/^\\([[:space:]]*\\)\\($store.*\\)\$/\\1if (nchild > maxchild) {\\n\\1  fprintf(stderr, \"\\\\nA nuclear family has more children than maxchild\");\\n\\1  fprintf(stderr, \"\\\\nThe program will exit politely to allow you to\");\\n\\1  fprintf(stderr, \"\\\\nincrease maxchild in the file commondefs.h\\\\n\");\\n\\1  exit(EXIT_FAILURE);\\n\\1}\\n\\1\\2/"
}
