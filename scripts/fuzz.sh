#!/usr/bin/env bash
# Builds every fuzz target with clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer and libFuzzer (into build-fuzz/, or $KESTREL_FUZZ_BUILD_DIR), runs
# each for SECONDS (default 60) at the lowest priority, and prints the
# executions and findings per target. The seed corpora in fuzz/corpus/ are
# read, never changed: what a run learns goes to the build directory.
# Exit status: 1 when any target found something.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_FUZZ_BUILD_DIR:-$here/build-fuzz}
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_signal_record fuzz_rtp_receive fuzz_profile_text fuzz_integer_field)
fi

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja "${launcher[@]}" \
  -DKESTREL_FUZZ=ON -DKESTREL_BUILD_TESTS=OFF -DKESTREL_BUILD_BENCH=OFF >/dev/null
nice -n 19 cmake --build "$build" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
results=()
for target in "${targets[@]}"; do
  work="$build/fuzz-work/$target"
  findings="$build/fuzz-findings/$target"
  mkdir -p "$work" "$findings"
  log="$build/fuzz-work/$target.log"
  status=0
  # New inputs go to the first corpus directory (the build's); the seeds
  # stay as they are. The time limit per input is generous: at the lowest
  # priority on a busy machine a run of milliseconds can take seconds.
  nice -n 19 "$build/fuzz/$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" -print_final_stats=1 \
    "$work" "$here/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  found=$(find "$findings" -type f | wc -l)
  corpus=$(find "$work" -type f | wc -l)
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    failed=1
    echo "== $target: finding (exit $status); log $log, inputs in $findings" >&2
    grep -E "ERROR|check failed|runtime error|SUMMARY" "$log" | head -5 >&2 || true
  fi
  results+=("$(printf '%-20s %14s %10s %8s %8s' "$target" "${runs:-?}" "${speed:-?}" "$corpus" "$found")")
done

printf '%-20s %14s %10s %8s %8s\n' target executions exec/s corpus findings
printf '%s\n' "${results[@]}"
exit "$failed"
