#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root) and builds the package:
# Debian packages, the engine programs, then the programs and tests.
# Idempotent: a second run installs nothing and rebuilds only what changed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_type="${ORLEX_BUILD_TYPE:-RelWithDebInfo}"

packages=(g++ gcc make cmake googletest libgtest-dev libtclap-dev libnlopt-dev ghostscript xz-utils ca-certificates
          debian-archive-keyring)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if ((${#missing[@]})); then
    echo "Installing Debian packages: ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [[ -x "$root/engine/build.sh" ]]; then
    "$root/engine/build.sh" "$root/build/engine"
fi

cmake -S "$root" -B "$root/build/main" -DCMAKE_BUILD_TYPE="$build_type" \
      -DORLEX_ENGINE_BIN_DIR="$root/build/engine/bin" >/dev/null
cmake --build "$root/build/main" -j "$(nproc)"
