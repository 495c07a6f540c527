#!/usr/bin/env bash
# Drives two kestrel-signal processes through a call on 127.0.3.2 (caller)
# and 127.0.3.3 (callee), then a refused call from 127.0.3.4, and checks the
# lines each prints.
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

# Waits until file $1 holds a line matching $2, for at most $3 seconds.
wait_for_line() {
  local deadline=$((SECONDS + $3))
  until grep -qx -- "$2" "$1" 2>/dev/null; do
    if [ $SECONDS -ge "$deadline" ]; then
      echo "FAIL: '$2' did not appear in $1:"; cat "$1"; return 1
    fi
    sleep 0.1
  done
}

"$tool" --bind 127.0.3.3 --mask 2 >"$work/callee" 2>&1 & pids+=($!)
"$tool" --bind 127.0.3.5 --answer no >"$work/refuser" 2>&1 & pids+=($!)
sleep 0.3
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
echo "1 passed, 0 failed"
