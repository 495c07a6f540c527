#!/usr/bin/env bash
# Two kestrel programs call each other on 127.0.15.2 and 127.0.15.3 on a
# private X server, with a stand-in game filling the screen. The caller's
# floating picture ("ORVA Video3D Renderer") appears over the game at the
# default Top/Right; a click on it reaches the game; Ctrl+Alt+V (held by the
# caller; the callee has no hot key) and `kestrel --toggle-overlay` hide and
# show it; a position saved with kestrel-setting moves it within a second;
# ending the call takes it away. With a fifth argument the screen is saved
# there while the picture floats over the game.
#
#   kestrel_overlay_test.sh KESTREL KESTREL_SETTING STAND_IN_GAME [SCREENSHOT.png]
set -euo pipefail
kestrel=$1 setting=$2 game=$3 screenshot=${4:-}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; for log in "$work"/*.log; do echo "== $log" >&2; grep -v '^ALSA\|^AL lib\|^stats' "$log" | tail -n 5 >&2; done; exit 1; }

wait_until() { # CONDITION SECONDS WHAT
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    [ $SECONDS -lt $deadline ] || fail "no $3 within $2 s"
    sleep 0.05
  done
}
now_ms() { date +%s%3N; }
stats() { grep '^stats ' "$work/$1.log" | tail -n 1; }
value() { stats "$1" | sed -n "s/.* $2=\([0-9a-z]*\).*/\1/p"; }
picture() { xdotool search --all --onlyvisible --pid "$1" --name '^ORVA Video3D Renderer$' 2>/dev/null | head -n 1; }
shown() { [ -n "$(picture "$1")" ]; }
hidden() { [ -z "$(picture "$1")" ]; }
placed_at() { # PID X Y
  local w; w=$(picture "$1"); [ -n "$w" ] || return 1
  xdotool getwindowgeometry "$w" | grep -q "Position: $2,$3 "
}
main_window() { xdotool search --all --onlyvisible --pid "$1" --name 'ORVA - Kestrel' | head -n 1; }
toggle() { XDG_RUNTIME_DIR="$work/run" "$kestrel" --toggle-overlay "$@"; }

exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
read -r -t 20 number <&3 || fail "no X server"
export DISPLAY=":$number"
# The programs draw on that server, whatever platform the test run was given.
export QT_QPA_PLATFORM=xcb
mkdir -m 700 "$work/run"

# The callee has no hot key, so Ctrl+Alt+V is the caller's alone.
mkdir -p "$work/callee/kestrel"
printf '[Software\\ORVA\\Kestrel\\Settings]\n"Key"=dword:00000000\n"Modifier"=dword:00000000\n' \
  >"$work/callee/kestrel/kestrel.reg"
chmod 600 "$work/callee/kestrel/kestrel.reg"

XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/callee" \
  "$kestrel" --bind 127.0.15.2 --auto-answer yes --test-devices --stats >"$work/callee.log" 2>&1 &
callee=$!; pids+=("$callee")
wait_until "ss -Hltn 'src 127.0.15.2:6050' | grep -q LISTEN" 30 "callee listening"
XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/caller" \
  "$kestrel" --bind 127.0.15.3 --test-devices --stats 127.0.15.2 >"$work/caller.log" 2>&1 &
caller=$!; pids+=("$caller")
wait_until "[ -n \"\$(main_window $caller)\" ] && [ \"\$(value caller call)\" = up ]" 30 "call"

# The game starts last and covers the whole screen, the kestrel windows too.
"$game" >"$work/game.log" 2>&1 &
gamePid=$!; pids+=("$gamePid")
wait_until "grep -q ready '$work/game.log'" 10 "stand-in game"

wait_until "shown $caller && shown $callee" 20 "floating pictures"
wait_until "placed_at $caller 1088 16" 5 "picture at Top/Right (1088,16)"
xdotool getwindowgeometry "$(picture "$caller")" | grep -q "Geometry: 176x144" || fail "picture is not 176x144"
# Above the game: the picture is the top of the root window's stacking.
top=$(xwininfo -root -children 2>/dev/null | awk '/children:/ {getline; print $1}')
[ "$((top))" = "$(picture "$caller")" ] || [ "$((top))" = "$(picture "$callee")" ] || fail "picture is not on top"
[ -n "$screenshot" ] && import -window root "$screenshot"

xdotool mousemove 1176 88 click 1
wait_until "grep -q 'clicked 1176 88' '$work/game.log'" 5 "click through the picture to the game"

xdotool key ctrl+alt+v
wait_until "hidden $caller" 5 "picture hidden by Ctrl+Alt+V"
shown "$callee" || fail "the callee's picture went too"
toggle --bind 127.0.15.3 || fail "--toggle-overlay --bind 127.0.15.3 exited $?"
wait_until "shown $caller" 5 "picture shown by --toggle-overlay"
status=0; toggle 2>"$work/toggle.err" || status=$?
[ "$status" = 1 ] && grep -q 'several Kestrels run' "$work/toggle.err" || fail "--toggle-overlay with two programs: $status"
xdotool key ctrl+alt+v
wait_until "hidden $caller" 5 "picture hidden by Ctrl+Alt+V again"
xdotool key ctrl+alt+v
wait_until "shown $caller" 5 "picture shown by Ctrl+Alt+V"

# kestrel-setting: the position list is the second control; Bottom/Left is two down.
XDG_CONFIG_HOME="$work/caller" "$setting" >"$work/setting.log" 2>&1 &
settingPid=$!; pids+=("$settingPid")
wait_until "xdotool search --onlyvisible --pid $settingPid --name 'ORVA Kestrel Settings' >/dev/null" 15 "kestrel-setting"
dialog=$(xdotool search --onlyvisible --pid "$settingPid" --name 'ORVA Kestrel Settings' | head -n 1)
xdotool windowfocus --sync "$dialog" key Tab Down Down Return
wait "$settingPid" || fail "kestrel-setting exited $?"
saved=$(now_ms)
wait_until "placed_at $caller 16 864" 5 "picture at Bottom/Left (16,864)"
moved=$(( $(now_ms) - saved ))
[ "$moved" -le 1000 ] || fail "the saved position took $moved ms to show"
echo "moved ${moved} ms after kestrel-setting saved"

xdotool windowfocus --sync "$(main_window "$caller")" key ctrl+e
wait_until "[ \"\$(value caller call)\" = idle ]" 15 "end of the call"
wait_until "hidden $caller && hidden $callee" 5 "pictures gone with the call"
status=0; toggle --bind 127.0.15.3 || status=$?
[ "$status" = 0 ] || fail "--toggle-overlay after the call exited $status"
hidden "$caller" || fail "a toggle without a call showed the picture"

kill -TERM "$caller" "$callee"
for side in caller callee; do
  status=0; wait "${!side}" || status=$?
  [ "$status" = 0 ] || fail "$side exited with $status"
done
kill -TERM "$gamePid"; wait "$gamePid" 2>/dev/null || true
pids=()
status=0; toggle || status=$?
[ "$status" = 1 ] || fail "--toggle-overlay without a program exited $status"
echo "PASS: the floating picture over a game, its hot key, --toggle-overlay, kestrel-setting and the end of the call"
