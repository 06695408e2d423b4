#!/usr/bin/env bash
# Sets up the machine, builds the package and runs it on the bundled example.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

"$root/scripts/setup.sh"

echo "Built programs:"
ls "$root/build/main/bin"
