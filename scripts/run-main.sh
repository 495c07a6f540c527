#!/usr/bin/env bash
# One command from a fresh Debian 12 machine to the main job: installs the
# packages, builds, and places a call between two local instances, the callee
# on 127.0.0.3 and the caller on 127.0.0.2 (both on TCP port 6050). The caller
# hangs up after a few seconds; each instance prints its events.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_BUILD_DIR:-$here/build}
seconds=${KESTREL_CALL_SECONDS:-3}
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
tool="$build/call/kestrel-signal"

callee_log=$(mktemp)
"$tool" --bind 127.0.0.3 --mask 3 >"$callee_log" 2>&1 &
callee=$!
trap 'kill -TERM $callee 2>/dev/null || true; rm -f "$callee_log"' EXIT
sleep 0.5

echo "== caller 127.0.0.2 calls 127.0.0.3 and hangs up after ${seconds} s"
"$tool" --bind 127.0.0.2 --mask 3 --call 127.0.0.3 --hangup-after "$seconds" &
caller=$!
sleep $((seconds + 2))
kill -TERM $caller
wait $caller || true
kill -TERM $callee
wait $callee || true
echo "== callee 127.0.0.3 printed"
cat "$callee_log"
