# Sourced by the benches that set this tree beside an earlier commit, after
# they set root (this tree) and work (their temporary folder).
#
# start_base_build COMMIT ENGINE_BIN_DIR TARGET...
#   builds the commit's targets in a temporary worktree under $work (the
#   trap set here removes it with $work on every exit), with this tree's
#   copy of the timing program, so that both stores are timed by the same
#   code; sets before to the worktree's build folder.
start_base_build() {
    local commit=$1 engine=$2
    shift 2
    baseTree="$work/base"
    trap 'git -C "$root" worktree remove --force "$baseTree" >/dev/null 2>&1 || true; rm -rf "$work"' \
        EXIT INT TERM
    echo "Building $commit in a temporary worktree..." >&2
    git -C "$root" worktree add --detach "$baseTree" "$commit" >/dev/null 2>&1
    cp "$root/bench/store_bench.cpp" "$baseTree/bench/store_bench.cpp"
    cmake -S "$baseTree" -B "$baseTree/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DORLEX_BUILD_TESTS=OFF -DORLEX_ENGINE_BIN_DIR="$engine" >/dev/null
    cmake --build "$baseTree/build" -j4 --target "$@" >/dev/null
    before="$baseTree/build"
}
