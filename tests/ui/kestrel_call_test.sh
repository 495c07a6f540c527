#!/usr/bin/env bash
# Two kestrel programs with the test devices call each other on 127.0.10.2
# and 127.0.10.3, on a private X server: each shows the other's video and
# plays the other's audio; the caller ends the first call and the callee the
# second. After each call both are idle with empty graphs, no network socket
# but the listener, and after the second no thread or descriptor more than
# after the first (the first call starts what lives for the whole run: the
# device monitor, GStreamer's thread pool). SIGTERM ends both with status 0.
#
#   kestrel_call_test.sh KESTREL
set -euo pipefail
kestrel=$1
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do
    echo "== $log: the last counts, and what else it printed" >&2
    grep '^stats ' "$log" | tail -n 1 >&2
    grep -v '^stats \|^ALSA' "$log" | tail -n 20 >&2
  done
  exit 1
}

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
idle() { [ "$(value "$1" call)" = idle ] && [ "$(value "$1" capture-elements)" = 0 ] && [ "$(value "$1" render-elements)" = 0 ]; }
threads() { ls "/proc/$1/task" | wc -l; }
# TCP and UDP sockets of a process: idle, only the listener on 6050.
network_sockets() { ss -Htuanp | grep -c "pid=$1," || true; }
descriptors() { ls "/proc/$1/fd" | wc -l; }
window_of() { xdotool search --all --onlyvisible --pid "$1" --name 'ORVA - Kestrel' | head -n 1; }
keys() { xdotool windowfocus --sync "$(window_of "$1")" key "$2"; }

exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
read -r -t 20 number <&3 || fail "no X server"
export DISPLAY=":$number"
# The programs draw on that server, whatever platform the test run was given.
export QT_QPA_PLATFORM=xcb

XDG_CONFIG_HOME="$work/callee" "$kestrel" --bind 127.0.10.2 --auto-answer yes --test-devices --stats >"$work/callee.log" 2>&1 &
callee=$!; pids+=("$callee")
XDG_CONFIG_HOME="$work/caller" "$kestrel" --bind 127.0.10.3 --test-devices --stats >"$work/caller.log" 2>&1 &
caller=$!; pids+=("$caller")
wait_until "ss -Hltn 'src 127.0.10.2:6050' | grep -q LISTEN" 30 "listener of the callee"
wait_until "[ -n \"\$(window_of $caller)\" ]" 30 "window of the caller"
wait_until "idle caller && idle callee" 30 "statistics of both programs"
declare -A afterFirstThreads afterFirstFds

for round in 1 2; do
  if [ "$round" = 1 ]; then
    xdotool windowfocus --sync "$(window_of "$caller")" type --delay 20 "127.0.10.2"
  fi
  keys "$caller" ctrl+n
  wait_until "in_call caller && in_call callee" 30 "video and audio both ways in call $round"
  ender=$([ "$round" = 1 ] && echo caller || echo callee)
  keys "${!ender}" ctrl+e
  wait_until "idle caller && idle callee" 15 "idle graphs after the $ender ended call $round"
  for side in caller callee; do
    pid=${!side}
    wait_until "[ \$(network_sockets $pid) = 1 ]" 10 "closing of the $side's call sockets after call $round"
    if [ "$round" = 1 ]; then
      afterFirstThreads[$side]=$(threads "$pid"); afterFirstFds[$side]=$(descriptors "$pid")
    else
      # GStreamer may park a thread a moment longer: wait for it rather than guess.
      wait_until "[ \$(threads $pid) -le ${afterFirstThreads[$side]} ] && [ \$(descriptors $pid) -le ${afterFirstFds[$side]} ]" 15 \
        "return of the $side to ${afterFirstThreads[$side]} threads and ${afterFirstFds[$side]} descriptors (has $(threads "$pid") and $(descriptors "$pid"))"
    fi
  done
done

kill -TERM "$caller" "$callee"
for side in caller callee; do
  status=0; wait "${!side}" || status=$?
  [ "$status" = 0 ] || fail "$side exited with $status"
done
pids=()
echo "PASS: two calls with video and audio both ways, ended from either side"
