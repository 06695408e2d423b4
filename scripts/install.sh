#!/usr/bin/env bash
# Sets up the machine, builds the package and installs orlex, vantrel,
# makepedvant and the engine programs, and nothing else, into PREFIX/bin.
#   bash scripts/install.sh [--prefix PREFIX]     (default /usr/local)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

prefix=/usr/local
while (($#)); do
    case "$1" in
        --prefix)
            (($# >= 2)) || { echo "Error: --prefix needs a folder" >&2; exit 1; }
            prefix="$2"
            shift 2
            ;;
        --prefix=*)
            prefix="${1#--prefix=}"
            shift
            ;;
        *)
            echo "Error: unknown argument $1 (usage: install.sh [--prefix PREFIX])" >&2
            exit 1
            ;;
    esac
done

"$root/scripts/setup.sh"
cmake --install "$root/build/main" --prefix "$prefix"
echo "Installed into $prefix/bin; with $prefix/bin on PATH, orlex and vantrel run from any folder."
