#!/usr/bin/env bash
# Processor time of two whole kestrel programs in a call with the test
# devices (QCIF, 30 fps, TrueSpeech both ways) on 127.0.20.2 and 127.0.20.3,
# on a private X server: the window, its painting of the far end's video,
# the graphs and the call signalling, over SECONDS of the call (default 20).
# Run by hand; needs Xvfb and xdotool.
#
#   kestrel_peers_cpu.sh KESTREL [SECONDS]
set -euo pipefail
kestrel=$1
seconds=${2:-20}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

wait_until() { # CONDITION SECONDS WHAT
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    [ $SECONDS -lt $deadline ] || fail "no $3 within $2 s"
    sleep 0.1
  done
}
stats() { grep '^stats ' "$work/$1.log" | tail -n 1; }
value() { stats "$1" | sed -n "s/.* $2=\([0-9a-z]*\).*/\1/p"; }
in_call() { [ "$(value "$1" call)" = up ] && [ "$(value "$1" video-in)" -ge 30 ] && [ "$(value "$1" audio-in)" -ge 30 ]; }
window_of() { xdotool search --all --onlyvisible --pid "$1" --name 'ORVA - Kestrel' | head -n 1; }
# utime + stime of a process, in clock ticks.
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }

exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
read -r -t 20 number <&3 || fail "no X server"
export DISPLAY=":$number"

XDG_CONFIG_HOME="$work/callee" "$kestrel" --bind 127.0.20.2 --auto-answer yes --test-devices --stats >"$work/callee.log" 2>&1 &
callee=$!; pids+=("$callee")
XDG_CONFIG_HOME="$work/caller" "$kestrel" --bind 127.0.20.3 --test-devices --stats >"$work/caller.log" 2>&1 &
caller=$!; pids+=("$caller")
wait_until "ss -Hltn 'src 127.0.20.2:6050' | grep -q LISTEN && [ -n \"\$(window_of $caller)\" ]" 30 "programs ready"
xdotool windowfocus --sync "$(window_of "$caller")" type --delay 20 "127.0.20.2"
xdotool windowfocus --sync "$(window_of "$caller")" key ctrl+n
wait_until "in_call caller && in_call callee" 30 "video and audio both ways"

hz=$(getconf CLK_TCK)
gaps_caller=$(value caller audio-gaps); gaps_callee=$(value callee audio-gaps)
before_caller=$(ticks "$caller"); before_callee=$(ticks "$callee"); start=$(date +%s.%N)
sleep "$seconds"
after_caller=$(ticks "$caller"); after_callee=$(ticks "$callee"); end=$(date +%s.%N)
awk -v a="$((after_caller - before_caller))" -v b="$((after_callee - before_callee))" -v hz="$hz" \
    -v s="$start" -v e="$end" 'BEGIN {
  printf "kestrel in a call, %% of one core over %.1f s: caller %.2f, callee %.2f\n", e - s, 100 * a / hz / (e - s), 100 * b / hz / (e - s) }'
echo "audio gaps while measured: caller $(( $(value caller audio-gaps) - gaps_caller )), callee $(( $(value callee audio-gaps) - gaps_callee )) (before: $gaps_caller, $gaps_callee)"
echo "caller: $(stats caller)"
echo "callee: $(stats callee)"
kill -TERM "$caller" "$callee"
for side in caller callee; do wait "${!side}" || true; done
pids=()
