#!/usr/bin/env bash
# Sets up the machine, builds the package and runs it on the bundled example.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

"$root/scripts/setup.sh"

# The engine programs exchange fixed-name files in the working directory, so
# the example runs in a directory of its own.
work="$(mktemp -d "${TMPDIR:-/tmp}/orlex-demo-XXXXXX")"
trap 'rm -rf "$work"' EXIT
cp "$root"/examples/families.ped "$root"/examples/markers.map "$root"/examples/dominant.model \
   "$work"/

echo
echo "== orlex --singlepoint on the bundled example (examples/) =="
cd "$work"
PATH="$root/build/main/bin:$root/build/engine/bin:$PATH" \
    orlex --singlepoint --post --ped families.ped --map markers.map --model dominant.model
