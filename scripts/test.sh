#!/usr/bin/env bash
# Sets up the machine, builds, and runs the whole test suite twice: once in
# the plain build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"

"$root/scripts/setup.sh"

echo "== Tests =="
ctest --test-dir "$root/build/main" --output-on-failure -j "$jobs"

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
cmake -S "$root" -B "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DORLEX_SANITIZE=ON \
      -DORLEX_ENGINE_BIN_DIR="$root/build/engine/bin" >/dev/null
cmake --build "$root/build/asan" -j "$jobs"
# Any sanitizer report ends the test process with a failure.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:exitcode=86"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=87"
ctest --test-dir "$root/build/asan" --output-on-failure -j "$jobs"
