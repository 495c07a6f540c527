#!/usr/bin/env bash
# One command from a fresh Debian 12 machine to the main job: installs the
# packages, builds, and places a real call between two local kestrel
# instances with the built-in test camera and test microphone. The callee on
# 127.0.0.2 answers by itself; the caller on 127.0.0.3 calls it at start.
# After a few seconds of video and voice both ways, each window is
# photographed, the caller hangs up, and both print their media counts.
# Without a display the programs run on a private X server (Xvfb).
#
#   KESTREL_CALL_SECONDS   how long the call lasts (default 5)
#   KESTREL_MAIN_OUT       where the logs and screenshots go (default build/main-job)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_BUILD_DIR:-$here/build}
seconds=${KESTREL_CALL_SECONDS:-5}
out=${KESTREL_MAIN_OUT:-$build/main-job}
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"
kestrel="$build/ui/kestrel"

mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $2 seconds for the command $1 to succeed.
wait_until() {
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    if [ $SECONDS -ge $deadline ]; then echo "main job: timed out waiting for: $1" >&2; return 1; fi
    sleep 0.2
  done
}
last_stats() { grep '^stats ' "$1" | tail -n 1; }
count() { last_stats "$1" | sed -n "s/.* $2=\([0-9]*\).*/\1/p"; }
receiving() { [ "$(count "$1" video-in)" -gt 0 ] 2>/dev/null && [ "$(count "$1" audio-in)" -gt 0 ] 2>/dev/null; }
idle() { last_stats "$1" | grep -q 'call=idle'; }

# The programs draw on an X server: the one given, or a private one.
export QT_QPA_PLATFORM=xcb
if [ -z "${DISPLAY:-}" ]; then
  exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
  read -r -t 20 number <&3
  export DISPLAY=":$number"
  echo "== a private X server on $DISPLAY"
fi

echo "== callee 127.0.0.2 answers by itself"
XDG_CONFIG_HOME="$work/callee" "$kestrel" --bind 127.0.0.2 --auto-answer yes --test-devices --stats \
  >"$out/callee.log" 2>&1 &
callee=$!; pids+=("$callee")
wait_until "ss -Hltn 'src 127.0.0.2:6050' | grep -q LISTEN" 30

echo "== caller 127.0.0.3 calls 127.0.0.2"
XDG_CONFIG_HOME="$work/caller" "$kestrel" --bind 127.0.0.3 --test-devices --stats 127.0.0.2 \
  >"$out/caller.log" 2>&1 &
caller=$!; pids+=("$caller")
wait_until "receiving '$out/caller.log' && receiving '$out/callee.log'" 30
echo "== the call is up; both sides see and hear each other for ${seconds} s"
sleep "$seconds"

window_of() { xdotool search --all --onlyvisible --pid "$1" --name 'ORVA - Kestrel' | head -n 1; }
# Side by side, so that neither window hides the other.
xdotool windowmove "$(window_of "$callee")" 260 0
for side in caller callee; do
  import -window "$(window_of "${!side}")" "$out/$side.png"
done

echo "== the caller hangs up (End Call, Ctrl+E)"
window=$(window_of "$caller")
xdotool windowfocus --sync "$window" key ctrl+e
wait_until "idle '$out/caller.log' && idle '$out/callee.log'" 20

for side in caller callee; do
  echo "== $side: $(grep -c '^stats .*call=up' "$out/$side.log") s in the call; last counts of the call:"
  grep '^stats .*call=up' "$out/$side.log" | tail -n 1
done
kill -TERM "$callee" "$caller"
wait "$callee" "$caller"
pids=()
echo "== both ended cleanly; screenshots: $out/caller.png $out/callee.png"
