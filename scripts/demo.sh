#!/usr/bin/env bash
# Sets up the machine, builds the package and runs it on the bundled example.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

"$root/scripts/setup.sh"

# The engine programs exchange fixed-name files in the working directory, and
# a run refuses to start beside files of those names, so the example runs in
# a folder of its own, made afresh each time; its outputs stay there.
work="$root/build/demo"
rm -rf "$work"
mkdir -p "$work"
cp "$root"/examples/families.ped "$root"/examples/markers.map "$root"/examples/dominant.model \
   "$work"/

echo
echo "== orlex --singlepoint on the bundled example (examples/) in $work =="
cd "$work"
status=0
PATH="$root/build/main/bin:$root/build/engine/bin:$PATH" \
    orlex --singlepoint --stats --post --ped families.ped --map markers.map \
          --model dominant.model || status=$?
echo
echo "== The example's outputs are in $work: =="
ls -1 "$work"
exit "$status"
