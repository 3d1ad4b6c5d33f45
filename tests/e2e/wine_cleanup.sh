#!/usr/bin/env bash
# wine-run.sh leaves nothing behind, however it ends: after a timeout and
# after SIGTERM, SIGINT, SIGHUP or SIGKILL mid-run, no process of the
# prefix's wineserver is left and the prefix lock is free within a few
# seconds. The program is Wine's own notepad, which waits for ever.
#   wine_cleanup.sh WINE_RUN_SH      (SKIDLINE_WINE_PREFIX: a prefix of its own)
set -u
RUN=$1
PREFIX=${SKIDLINE_WINE_PREFIX:?a prefix of its own}
fail=0

# Processes whose working directory is the prefix's server folder,
# .../server-<device>-<inode> (the wineserver and nothing else sits there).
server_procs() {
  [ -d "$PREFIX" ] || return 0
  local dir
  dir=server-$(printf %x "$(stat -c %d "$PREFIX")")-$(printf %x "$(stat -c %i "$PREFIX")")
  for p in /proc/[0-9]*; do
    case "$(readlink "$p/cwd" 2>/dev/null)" in */"$dir") echo "${p#/proc/}" ;; esac
  done
}

settled() {  # $1: what happened
  for _ in $(seq 50); do
    [ -z "$(server_procs)" ] && flock -n "$PREFIX.lock" true && return 0
    sleep 0.1
  done
  echo "FAIL after $1: wineserver $(server_procs | tr '\n' ' ')still running or the prefix lock held"
  fail=1
}

# The prefix, made by any run the first time (a Linux program fails in Wine).
[ -f "$PREFIX/drive_c/windows/system32/notepad.exe" ] || bash "$RUN" -t 60 /bin/true >/dev/null 2>&1
[ -f "$PREFIX/drive_c/windows/system32/notepad.exe" ] || { echo "no prefix made"; exit 1; }
settled "the first run"
# A run that times out.
bash "$RUN" -t 3 "$PREFIX/drive_c/windows/system32/notepad.exe" >/dev/null 2>&1
rc=$?
[ $rc = 124 ] || { echo "FAIL: timeout gave status $rc, not 124"; fail=1; }
settled "a timeout"

for sig in TERM INT HUP KILL; do
  bash "$RUN" -t 60 "$PREFIX/drive_c/windows/system32/notepad.exe" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do [ -n "$(server_procs)" ] && break; sleep 0.1; done
  [ -n "$(server_procs)" ] || { echo "FAIL: no wineserver seen before SIG$sig"; fail=1; }
  sleep 1  # into the warm-up or the program
  kill -s "$sig" "$pid"
  wait "$pid" 2>/dev/null
  settled "SIG$sig"
done
[ $fail = 0 ] && echo "wine-run.sh left nothing behind on any exit path"
exit $fail
