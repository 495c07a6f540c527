#!/usr/bin/env bash
# The receiver under UDP floods of its video port from a stranger, several
# seconds each, with the peer sending 20 samples a second throughout.
# Usage: bench/rtp_transport/flood.sh [SECONDS] [RATE...]   (5; 50000 100000 200000)
# Needs the build tree (build/, or $KESTREL_BUILD_DIR). Exit status 1 when
# the peer was not heard again within 1 s after some flood.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${KESTREL_BUILD_DIR:-$here/build}
seconds=${1:-5}
shift || true
rates=("$@")
[ ${#rates[@]} -gt 0 ] || rates=(50000 100000 200000)
status=0
printf '%9s %4s %10s %10s %6s %6s %8s %9s\n' rate/s s flooded foreign sent got rss-KiB resume-ms
for rate in "${rates[@]}"; do
  "$build/bench/rtp_transport/rtp_flood_bench" "$rate" "$seconds" || status=1
done
exit $status
