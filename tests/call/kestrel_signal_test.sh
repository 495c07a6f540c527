#!/usr/bin/env bash
# Drives kestrel-signal processes through a call on 127.0.3.2 (caller) and
# 127.0.3.3 (callee), a refused call from 127.0.3.4 to 127.0.3.5, and a quit
# signal during a dial from 127.0.3.6 to 127.0.3.7 that never answers, and checks the lines
# each prints. Every wait is for a line to appear (tail follows the file as
# it grows), with a time limit.
set -u
tool=$1
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Waits until file $1 holds a line that is exactly $2, for at most $3 seconds.
wait_for_line() {
  local follower found=1
  exec {lines}< <(exec timeout "$3" tail -n +1 -f "$1")
  follower=$!
  grep -m1 -qxF -- "$2" <&"$lines" && found=0
  kill "$follower" 2>/dev/null
  exec {lines}<&-
  if [ $found -ne 0 ]; then
    echo "FAIL: '$2' did not appear in $1 within $3 s:"; cat "$1"
  fi
  return $found
}

"$tool" --bind 127.0.3.3 --mask 2 >"$work/callee" 2>&1 & pids+=($!)
"$tool" --bind 127.0.3.5 --answer no >"$work/refuser" 2>&1 & pids+=($!)
wait_for_line "$work/callee" "listening 127.0.3.3" 10 &&
wait_for_line "$work/refuser" "listening 127.0.3.5" 10 || exit 1
"$tool" --bind 127.0.3.2 --mask 1 --call 127.0.3.3 --hangup-after 1 >"$work/caller" 2>&1 & caller=$!; pids+=($caller)

wait_for_line "$work/callee" "incoming 127.0.3.2" 10 &&
wait_for_line "$work/callee" "answered yes" 5 &&
wait_for_line "$work/callee" "started 127.0.3.2 1" 10 &&
wait_for_line "$work/caller" "started 127.0.3.3 2" 10 &&
wait_for_line "$work/caller" "ended" 10 &&
wait_for_line "$work/callee" "ended" 10 || exit 1

"$tool" --bind 127.0.3.4 --call 127.0.3.5 >"$work/refused" 2>&1 & pids+=($!)
wait_for_line "$work/refuser" "answered no" 10 &&
wait_for_line "$work/refused" "failed Connection Failed!!" 10 || exit 1

# SIGTERM ends the caller cleanly (exit code 0) with its listener stopped.
kill -TERM "$caller"
wait "$caller"; status=$?
if [ $status -ne 0 ]; then echo "FAIL: kestrel-signal exited $status on SIGTERM"; exit 1; fi

# A callee that leaves its questions open: SIGTERM while the caller waits for
# the answer ends the caller at once, and the callee withdraws the question.
"$tool" --bind 127.0.3.7 --answer never >"$work/silent" 2>&1 & pids+=($!)
wait_for_line "$work/silent" "listening 127.0.3.7" 10 || exit 1
"$tool" --bind 127.0.3.6 --call 127.0.3.7 >"$work/dialler" 2>&1 & dialler=$!; pids+=($dialler)
wait_for_line "$work/silent" "incoming 127.0.3.6" 10 || exit 1
begin=$(date +%s%N)
kill -TERM "$dialler"
wait "$dialler"; status=$?
took_ms=$((($(date +%s%N) - begin) / 1000000))
if [ $status -ne 0 ]; then echo "FAIL: kestrel-signal exited $status on SIGTERM while dialling"; exit 1; fi
if [ $took_ms -ge 1000 ]; then echo "FAIL: kestrel-signal took $took_ms ms to quit while dialling"; exit 1; fi
wait_for_line "$work/silent" "withdrawn 127.0.3.6" 10 || exit 1
echo "1 passed, 0 failed"
