#!/usr/bin/env bash
# One command from a fresh Debian 12 machine to a test report: installs the
# packages, builds with warnings as errors, and runs every test suite with
# CTest.
#   scripts/run-tests.sh [--sanitizer asan|tsan] [CMAKE_ARGS...]
# With --sanitizer the build goes to build-asan/ (AddressSanitizer and
# UndefinedBehaviorSanitizer) or build-tsan/ (ThreadSanitizer), without the
# benchmarks, whose timings mean nothing there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
sanitizer=""
if [ "${1:-}" = "--sanitizer" ]; then
  sanitizer=${2:?"--sanitizer needs asan or tsan"}
  shift 2
fi
configure=(-DKESTREL_WERROR=ON)
ctest_args=()
case "$sanitizer" in
  "") build=${KESTREL_BUILD_DIR:-$here/build} ;;
  asan|tsan)
    build=$here/build-$sanitizer
    configure+=("-DKESTREL_${sanitizer^^}=ON" -DKESTREL_BUILD_BENCH=OFF)
    ctest_args+=(--label-exclude bench) ;;
  *) echo "run-tests: unknown sanitizer '$sanitizer' (asan or tsan)" >&2; exit 2 ;;
esac
"$here/scripts/install-deps.sh"
KESTREL_BUILD_DIR=$build "$here/scripts/build.sh" "${configure[@]}" "$@"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 300 "${ctest_args[@]}"
