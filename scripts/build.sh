#!/usr/bin/env bash
# Configures and builds Kestrel into build/ (or $KESTREL_BUILD_DIR).
# Extra arguments go to the CMake configure step, e.g. -DKESTREL_ASAN=ON.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_BUILD_DIR:-$here/build}
cmake -S "$here" -B "$build" -G Ninja "$@"
cmake --build "$build" --parallel "$(nproc)"
