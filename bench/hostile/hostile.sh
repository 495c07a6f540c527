#!/usr/bin/env bash
# The long runs of a call's real graphs on a hostile network: the loss
# matrix, a 30 s outage, a third host, a 60 s flood of 100,000 datagrams a
# second, and 1000 calls under ThreadSanitizer. They are the suite's
# media_hostile_tests cases with longer parameters; this prints one table.
#
# Usage: bench/hostile/hostile.sh [--quick]
#   KESTREL_BUILD_DIR       the build tree (build/)
#   KESTREL_TSAN_BUILD_DIR  a -DKESTREL_TSAN=ON build tree for the cycles
#                           (build-tsan/; skipped when it has no test binary)
#   PICTURES, SEEDS, LOSSES, OUTAGE_S, FLOOD_S, CYCLES override the run.
# --quick is CTest's few-second check that the bench still works.
# Exit status 1 when any case failed its bound.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${KESTREL_BUILD_DIR:-$here/build}
tsan_build=${KESTREL_TSAN_BUILD_DIR:-$here/build-tsan}
binary=tests/media/hostile/media_hostile_tests

if [ "${1:-}" = --quick ]; then
  : "${PICTURES:=60}" "${SEEDS:=1}" "${LOSSES:=0.05}" "${OUTAGE_S:=}" "${FLOOD_S:=}" "${CYCLES:=}"
  quick=1
else
  : "${PICTURES:=600}" "${SEEDS:=1 2 3}" "${LOSSES:=0.05 0.20}" "${OUTAGE_S:=30}" "${FLOOD_S:=60}" "${CYCLES:=1000}"
  quick=0
fi

[ -x "$build/$binary" ] || { echo "no $build/$binary: build the tree first" >&2; exit 2; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0

# run LABEL BUILD FILTER VAR=VALUE...: runs one case, keeps its RESULT lines.
run() {
  local label=$1 tree=$2 filter=$3
  shift 3
  if ! env "$@" "$tree/$binary" --gtest_filter="$filter" >"$log.out" 2>&1; then
    status=1
    echo "FAILED $label" >&2
    grep -E '^(.*Failure|Expected|  Actual|Which is|.*error)' "$log.out" | head -20 >&2
  fi
  grep '^RESULT ' "$log.out" | sed "s/^RESULT /$label /" >>"$log"
}

for loss in $LOSSES; do
  for seed in $SEEDS; do
    run "loss=$loss,seed=$seed" "$build" 'ImpairedCall.NoDamaged*' \
      KESTREL_HOSTILE_LOSS="$loss" KESTREL_HOSTILE_SEED="$seed" KESTREL_HOSTILE_PICTURES="$PICTURES"
  done
done
[ -n "$OUTAGE_S" ] && run "outage" "$build" 'ImpairedCall.PictureAndSound*' KESTREL_HOSTILE_OUTAGE_S="$OUTAGE_S"
[ "$quick" = 1 ] || run "stranger" "$build" 'StrangerCall.AThirdHost*'
[ -n "$FLOOD_S" ] && run "flood" "$build" 'StrangerCall.AFlood*' KESTREL_HOSTILE_FLOOD_S="$FLOOD_S"
if [ -n "$CYCLES" ]; then
  if [ -x "$tsan_build/$binary" ]; then
    run "cycles(tsan)" "$tsan_build" 'CallCycles.*' KESTREL_HOSTILE_CALL_CYCLES="$CYCLES" GST_REGISTRY_FORK=no G_SLICE=always-malloc \
      TSAN_OPTIONS="suppressions=$here/cmake/tsan.supp:ignore_noninstrumented_modules=1:second_deadlock_stack=1:halt_on_error=1"
  else
    echo "no $tsan_build/$binary: the ThreadSanitizer cycles are skipped" >&2
  fi
fi

echo
echo "Impaired link (100 +- 20 ms jitter, 25 % reordering, 5 % duplicates), $PICTURES pictures each way:"
printf '%-20s %-5s %6s %6s %9s %10s %8s %13s\n' run dir sent whole showable delivered corrupt delivered/show
awk '$2 == "impaired" {
  for (i = 3; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
  ratio = v["showable"] > 0 ? v["delivered"] / v["showable"] : 0
  printf "%-20s %-5s %6d %6d %9d %10d %8d %13.2f\n", $1, v["direction"], v["sent"], v["whole"], v["showable"], v["delivered"], v["corrupt"], ratio
}' "$log"
awk '$2 == "outage" { for (i = 3; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
  printf "\nOutage of %s s: picture back at B after %s ms, at A after %s ms (bound: key-frame interval 1000 ms + 1 s)\n", v["seconds"], v["pictureBackAtB_ms"], v["pictureBackAtA_ms"] }' "$log"
awk '$2 == "stranger" { for (i = 3; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
  printf "\nThird host: %s datagrams to 6058-6061 during a call (as many again between calls); %s refused; %s reached a decoder; %s answers to it; pictures sent %s, shown %s\n", v["sent"], v["refused"], v["atDecoders"], v["answered"], v["picturesSent"], v["picturesShown"] }' "$log"
awk '$2 == "flood" { for (i = 3; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
  printf "\nFlood of %s s at 6060: %s datagrams, %s refused, resident memory grew %s KiB, picture back %s ms after it stopped\n", v["seconds"], v["datagrams"], v["refused"], v["residentGrowth_KiB"], v["pictureBack_ms"] }' "$log"
awk '$2 == "cycles" { for (i = 3; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
  printf "\nThreadSanitizer: %s calls with live media, %s ms each, no report\n", v["calls"], v["perCall_ms"] }' "$log"
[ "$status" = 0 ] && echo && echo "every case held its bound" || echo "some case failed (see above)"
exit $status
