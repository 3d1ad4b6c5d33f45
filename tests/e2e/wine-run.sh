#!/usr/bin/env bash
# Runs a 64-bit Windows program headless under wine64 + Xvfb.
#
#   wine-run.sh [-t SEC] [-C DIR] [-a OUT.wav] [-w TITLE -x CMD] [-s WxHxD] EXE [ARGS...]
#     -t SEC    kill after SEC seconds (default 60; exit status 124)
#     -C DIR    working directory (default: the current one)
#     -a FILE   sound played through winmm is captured to FILE (WAV); otherwise it
#               goes to ALSA's null device
#     -w TITLE  wait (up to 20 s) for a window with this title, give it focus and
#     -x CMD    run `bash -c CMD` with $WID and $DISPLAY set (e.g. xdotool keys)
#     -s WxHxD  Xvfb screen (default 1024x768x24)
# Environment: SKIDLINE_WINE_PREFIX (default /var/tmp/skidline-wine/prefix) is
# created once and reused; SKIDLINE_WINE_DISPLAY reuses an X display.
# Exit status: the program's; 124 timeout; 125 set-up failure; 134 crash.
set -uo pipefail

WINE=/usr/lib/wine/wine64            # the 32-bit loader cannot run on this kernel
WINESERVER=/usr/lib/wine/wineserver

T=60 WORKDIR=$PWD WTITLE= XCMD= AUDIO= SCREEN=1024x768x24
while getopts "t:C:w:x:a:s:" o; do
  case $o in
    t) T=$OPTARG ;; C) WORKDIR=$OPTARG ;; w) WTITLE=$OPTARG ;; x) XCMD=$OPTARG ;;
    a) AUDIO=$(realpath -m -- "$OPTARG") ;; s) SCREEN=$OPTARG ;; *) exit 125 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { echo "usage: $0 [options] EXE [ARGS...]" >&2; exit 125; }
EXE=$(realpath -- "$1") || exit 125
shift

say() { echo "wine-run: $*" >&2; }
[ -x "$WINE" ] && command -v Xvfb >/dev/null || { say "wine64/Xvfb missing (make test installs them)"; exit 125; }

export HOME=${HOME:-/root}
export WINEPREFIX=${SKIDLINE_WINE_PREFIX:-/var/tmp/skidline-wine/prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"  # no Mono/Gecko prompts

TMPD=$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX")
# Every process of this run carries the run's name in its environment: Wine
# processes do not end when their server does, so they are found by it.
export SKIDLINE_WINE_RUN=${TMPD##*/}

# Wine processes (the server included) whose environment holds the entry $1.
wine_pids() {
  local d
  for d in /proc/[0-9]*; do
    case $(readlink "$d/exe" 2>/dev/null) in /usr/lib/wine/*) ;; *) continue ;; esac
    tr '\0' '\n' <"$d/environ" 2>/dev/null | grep -qxF -- "$1" && echo "${d#/proc/}"
  done
}
# Kills them and waits (up to 5 s) until they are gone; false if there were none.
end_wine() {
  local pids
  pids=$(wine_pids "$1")
  [ -n "$pids" ] || return 1
  kill -KILL $pids 2>/dev/null
  for _ in $(seq 100); do [ -z "$(wine_pids "$1")" ] && break; sleep 0.05; done
  return 0
}

XPID= WSPID= GUARD=
cleanup() {
  local rc=$?
  if [ -n "$WSPID" ]; then
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 9>&-  # lets the server save the registry
    kill "$WSPID" 2>/dev/null; wait "$WSPID" 2>/dev/null
    end_wine "SKIDLINE_WINE_RUN=$SKIDLINE_WINE_RUN"
  fi
  if [ -n "$GUARD" ]; then kill -KILL "$GUARD" 2>/dev/null; wait "$GUARD" 2>/dev/null; fi
  if [ -n "$XPID" ]; then kill "$XPID" 2>/dev/null; wait "$XPID" 2>/dev/null; fi
  rm -rf "$TMPD"
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
trap 'exit 141' PIPE

# X display: Xvfb picks a free number itself and reports it on fd 3.
if [ -n "${SKIDLINE_WINE_DISPLAY:-}" ]; then
  export DISPLAY=$SKIDLINE_WINE_DISPLAY
else
  setpriv --pdeathsig KILL Xvfb -displayfd 3 -screen 0 "$SCREEN" -nolisten tcp -noreset 3>"$TMPD/display" </dev/null >"$TMPD/xvfb.log" 2>&1 &
  XPID=$!
  for _ in $(seq 200); do [ -s "$TMPD/display" ] && break; kill -0 $XPID 2>/dev/null || break; sleep 0.05; done
  [ -s "$TMPD/display" ] || { say "Xvfb did not start"; cat "$TMPD/xvfb.log" >&2; exit 125; }
  DISPLAY=:$(head -n1 "$TMPD/display")
  export DISPLAY
fi

# Sound: ALSA's default device is a null sink, or a WAV file.
if [ -n "$AUDIO" ]; then
  printf 'pcm.!default { type file slave.pcm "null" file "%s" format "wav" }\n' "$AUDIO" >"$TMPD/asound.conf"
else
  printf 'pcm.!default { type null }\n' >"$TMPD/asound.conf"
fi
export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$TMPD/asound.conf"

# One run at a time per prefix. Only this script holds the lock (no child gets
# fd 9), so a run killed outright frees it at once. Should this script be
# killed, its guard (sent SIGTERM by the kernel when the script dies) ends the
# run's Wine processes; anything still left in the prefix is ended here, before
# the prefix is used again.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock -w 900 9 || { say "prefix lock timeout"; exit 125; }
setpriv --pdeathsig TERM bash -c "$(declare -f wine_pids end_wine)"'
  trap "end_wine SKIDLINE_WINE_RUN=$SKIDLINE_WINE_RUN; exit 0" TERM
  while :; do sleep 1; done' </dev/null >/dev/null 2>&1 9>&- &
GUARD=$!
end_wine "WINEPREFIX=$WINEPREFIX" && say "ended Wine processes left by an earlier run"
VER=$("$WINE" --version 2>/dev/null 9>&-)
if [ "$(cat "$WINEPREFIX/.skidline-ready" 2>/dev/null)" != "$VER" ]; then
  say "creating prefix $WINEPREFIX ($VER)"
  rm -rf "$WINEPREFIX"
  { "$WINE" wineboot -i &&
    # No window manager under Xvfb: unmanaged windows avoid 2 s stalls and get focus.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
    # A crash exits instead of waiting on a dialog.
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
    "$WINESERVER" -w; } </dev/null >"$WINEPREFIX.boot.log" 2>&1 9>&- ||
    { say "prefix creation failed"; cat "$WINEPREFIX.boot.log" >&2; exit 125; }
  echo "$VER" >"$WINEPREFIX/.skidline-ready"
fi

# Our own persistent server, stopped by the clean-up, then a warm-up run so
# Wine's background services do not inherit our output pipes.
"$WINESERVER" -f -p </dev/null >"$TMPD/wineserver.log" 2>&1 9>&- &
WSPID=$!
for _ in $(seq 250); do [ -S "/proc/$WSPID/cwd/socket" ] && break; kill -0 $WSPID 2>/dev/null || break; sleep 0.02; done
[ -S "/proc/$WSPID/cwd/socket" ] || { say "wineserver did not start"; cat "$TMPD/wineserver.log" >&2; exit 125; }
"$WINE" wineboot </dev/null >"$TMPD/warmup.log" 2>&1 9>&-

cd "$WORKDIR" || exit 125
# Through `start /wait`: the status we report is the program's Windows exit code.
# Once a process's last thread has ended, the server gives its Unix side about
# half a second to finish exiting and then sends SIGKILL; on a loaded machine
# Mesa's exit handlers can take that long, and the run would end in 137 although
# the program exited cleanly. /b keeps our stdout and stderr, /unix takes the
# Unix path; the program sees the same command line as when run directly.
timeout -k 5 "$T" "$WINE" start /wait /b /unix "$EXE" "$@" </dev/null >"$TMPD/exe.out" 2>"$TMPD/exe.err" 9>&- &
RUNPID=$!
if [ -n "$WTITLE" ]; then
  WID=
  for _ in $(seq 200); do
    WID=$(xdotool search --onlyvisible --name "$WTITLE" 2>/dev/null | head -n1)
    [ -n "$WID" ] && break
    kill -0 $RUNPID 2>/dev/null || break
    sleep 0.1
  done
  if [ -n "$WID" ]; then
    xdotool windowfocus --sync "$WID" 2>/dev/null 9>&-
    [ -n "$XCMD" ] && WID=$WID bash -c "$XCMD" </dev/null >&2 9>&-
  else
    say "window '$WTITLE' not found"
  fi
fi
wait $RUNPID
RC=$?
cat "$TMPD/exe.out"
cat "$TMPD/exe.err" >&2
# A crash may report 0 or 5: look for Wine's message instead.
if [ $RC != 124 ] && grep -q '^wine: Unhandled' "$TMPD/exe.err"; then RC=134; say "crashed (unhandled exception)"; fi
[ $RC = 124 ] && say "timeout after ${T}s"
exit $RC
