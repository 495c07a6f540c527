#!/usr/bin/env bash
# Configures and builds Kestrel into build/ (or $KESTREL_BUILD_DIR).
# Extra arguments go to the CMake configure step, e.g. -DKESTREL_ASAN=ON.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_BUILD_DIR:-$here/build}
launcher=()
# A compiler cache, where the machine has one, makes rebuilds of several
# checkouts cheap; the build does not need it.
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$build" -G Ninja "${launcher[@]}" "$@"
cmake --build "$build" --parallel "$(nproc)"
