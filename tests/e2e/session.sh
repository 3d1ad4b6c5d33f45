#!/usr/bin/env bash
# A player's session from the title screen to QUIT: RACE, a different TRACK
# and one more LAP, START RACE, a few seconds of driving, Esc, QUIT TO MENU,
# QUIT. Linux: the keys go through SDL's event queue (scripted by the test
# host). Wine: real key presses sent to the window with xdotool.
#   session.sh linux SKIDLINE_TESTHOST
#   session.sh wine SKIDLINE64_EXE
mode=$1 exe=$2
. "$(dirname "$0")/lib.sh"
need "$exe"
cp "$exe" "$work/"
prog="$work/$(basename "$exe")"

# seconds | keys (xdotool names; "+" = held with Alt) | what it does
# Keys pressed twice between two game steps count once (as in the game), so
# the steps leave time for loading a circuit on a busy machine.
steps=(
  "0.4|Alt_L|Alt alone opens no system menu"
  "0.7|F10|nor does F10"
  "1.0|Return|RACE"
  "1.6|Right|TRACK: the second circuit (loading it takes a moment)"
  "4.5|Down|"
  "5.0|Down|"
  "5.5|Down|to LAPS"
  "6.0|Right|four laps"
  "6.5|Down|to START RACE"
  "7.0|Return|the countdown starts"
  "7.6|alt+Return|full screen"
  "8.2|alt+Return|and back to the window"
  "11.0|down:Up|throttle"
  "12.5|down:Left|"
  "13.2|up:Left|"
  "13.6|down:Right|"
  "14.3|up:Right|"
  "15.0|up:Up|"
  "15.5|Escape|paused"
  "16.2|Down|"
  "16.8|Down|to QUIT TO MENU"
  "17.4|Return|back on the title screen"
  "19.5|Escape|to QUIT"
  "20.2|Return|the game ends"
)

# Linux: a script for the test host. Wine: xdotool commands, timed from when
# the window appears (plus a moment for Wine to give it the focus).
script="$work/session.txt" keys="" prev=-1.5
for s in "${steps[@]}"; do
  IFS='|' read -r t key _ <<<"$s"
  case $key in
    down:* | up:*) echo "$t ${key%%:*} ${key#*:}" >>"$script"; x="xdotool key${key%%:*} ${key#*:}" ;;
    alt+*) echo "$t tap ${key#alt+} alt" >>"$script"; continue ;;  # Xvfb has one display mode: no full screen under Wine
    Alt_L) echo "$t tap Left_Alt" >>"$script"; x="xdotool key $key" ;;
    *) echo "$t tap $key" >>"$script"; x="xdotool key $key" ;;
  esac
  keys+="sleep $(awk -v a="$t" -v b="$prev" 'BEGIN { print a - b }'); $x; "
  prev=$t
done
if [ "$mode" = linux ]; then
  (cd "$work" && headless "$prog" --script "$script" --windowed) >"$work/out" 2>&1
else
  "$here/wine-run.sh" -t 60 -C "$work" -w '^SKIDLINE$' -x "$keys" "$prog" --windowed >"$work/out" 2>&1
fi
rc=$?

log="$work/skidline.log"
echo "--- $mode session log:"; cat "$log" 2>/dev/null
[ $rc = 0 ] || { bad "exit code $rc"; cat "$work/out"; }
# "--windowed" is this run's choice, not the player's: the saved display
# preference stays at full screen.
want=$(printf 'track=1\r\nshape=0\r\nlivery=0\r\nlaps=4\r\ncamera=0\r\nhud=1\r\nfullscreen=1\r\nsound=0\r\n')
got=$(cat "$work/skidline.cfg" 2>/dev/null)
[ "$got" = "$want" ] || { bad "skidline.cfg is not as the session left it:"; cat -A "$work/skidline.cfg" 2>/dev/null; }
if [ "$mode" = linux ]; then
  log_has "$log" '^display: [0-9]+x[0-9]+ fullscreen' "the first Alt+Enter (to full screen)"
  log_has "$log" '^display: 640x480 windowed' "the second Alt+Enter (back to the window)"
fi
ends_with_exit "$log" session

if [ "$mode" = wine ]; then
  # A longer run: the statistics line, then Alt+F4 ends the game cleanly.
  rm -f "$log"
  "$here/wine-run.sh" -t 60 -C "$work" -w '^SKIDLINE$' -x "sleep 9; xdotool keydown alt key F4 keyup alt" \
    "$prog" --shot 1 0.5 --stay >"$work/out" 2>&1
  rc=$?
  echo "--- wine Alt+F4 log:"; cat "$log" 2>/dev/null
  [ $rc = 0 ] || { bad "Alt+F4 run: exit code $rc"; cat "$work/out"; }
  log_has "$log" '^fps [0-9.]+  sim [0-9.]+ ms  render [0-9.]+ ms  present [0-9.]+ ms  d3d [0-9]+/frame  hits w' "Alt+F4 run"
  log_has "$log" '^exit' "Alt+F4 run (ended through its shutdown)"
fi
exit $fail
