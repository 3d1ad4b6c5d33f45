#!/usr/bin/env bash
# The Wine runner itself: it reports the program's own exit code (also when
# Wine kills a process whose Unix side is slow to exit), a crash is a crash, a
# time limit ends the program, and no run leaves a Wine server behind or blocks
# the next one, even when the runner is killed outright.
#   wine_runner.sh exit_probe.exe
exe=$1
. "$(dirname "$0")/lib.sh"
need "$exe"
export WINEPREFIX=${SKIDLINE_WINE_PREFIX:-/var/tmp/skidline-wine/prefix}
WINESERVER=/usr/lib/wine/wineserver
cp "$exe" "$work/"
name=$(basename "$exe")
probe="$work/$name"
bad() { echo "FAIL: $*"; echo "--- runner output:"; cat "$work/out"; fail=1; }
run() { "$here/wine-run.sh" -C "$work" "$@" >"$work/out" 2>&1; }
# The probe's live process (an ended one may stay a zombie here: skip those).
probe_pid() { ps -eo pid=,stat=,comm= | awk -v n="$name" '$2 !~ /^Z/ && $3 == n { print $1; exit }'; }
probe_running() { [ -n "$(probe_pid)" ]; }
server_left() { "$WINESERVER" -k </dev/null >/dev/null 2>&1; }  # and ends it, if there was one
wait_for_probe() { for _ in $(seq 300); do probe_running && return 0; sleep 0.1; done; return 1; }

run "$probe" 3
rc=$?; [ $rc = 3 ] || bad "exit code 3 reported as $rc"
run "$probe" crash
rc=$?; [ $rc = 134 ] || bad "a crash reported as $rc"
server_left && bad "a Wine server outlived the run"

# Hold the probe's exit in the kernel for longer than Wine's grace period: the
# server kills it, and the run still reports the code the program exited with.
( wait_for_probe && exec strace -f -o "$work/trace" -p "$(probe_pid)" \
    -e trace=exit_group -e inject=exit_group:delay_enter=1500000 ) 2>/dev/null &
tracer=$!
run "$probe" 4 1500
rc=$?
wait $tracer
if grep -q 'killed by SIGKILL' "$work/trace" 2>/dev/null; then
  [ $rc = 4 ] || bad "a slow Unix exit turned exit code 4 into $rc"
else
  bad "the probe's exit was not held up (strace: $(tail -n1 "$work/trace" 2>/dev/null))"
fi

run -t 3 "$probe" 0 60000
rc=$?; [ $rc = 124 ] || bad "a run over its time limit reported $rc"
probe_running && bad "the program outlived its time limit"
server_left && bad "a Wine server outlived a timed-out run"

# Killed outright: the lock is free at once, the run's processes go with it,
# and the next run starts without waiting.
"$here/wine-run.sh" -C "$work" "$probe" 0 60000 >"$work/out" 2>&1 &
runner=$!
if wait_for_probe; then
  kill -KILL $runner; wait $runner 2>/dev/null
  flock -n "$WINEPREFIX.lock" true || bad "the prefix lock is still held after the runner was killed"
  for _ in $(seq 50); do probe_running || break; sleep 0.1; done
  probe_running && bad "the program outlived the killed runner"
  start=$(date +%s)
  run "$probe" 5
  rc=$?; [ $rc = 5 ] || bad "the run after a killed one reported $rc"
  [ $(($(date +%s) - start)) -lt 60 ] || bad "the run after a killed one waited"
  server_left && bad "a Wine server outlived the run after a killed one"
else
  bad "the probe never started"
fi
exit $fail
