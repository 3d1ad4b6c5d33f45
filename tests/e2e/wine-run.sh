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
XPID= WSPID=
cleanup() {
  local rc=$?
  if [ -n "$WSPID" ]; then
    "$WINESERVER" -k </dev/null >/dev/null 2>&1
    kill "$WSPID" 2>/dev/null; wait "$WSPID" 2>/dev/null
  fi
  if [ -n "$XPID" ]; then kill "$XPID" 2>/dev/null; wait "$XPID" 2>/dev/null; fi
  rm -rf "$TMPD"
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# X display: Xvfb picks a free number itself and reports it on fd 3.
if [ -n "${SKIDLINE_WINE_DISPLAY:-}" ]; then
  export DISPLAY=$SKIDLINE_WINE_DISPLAY
else
  Xvfb -displayfd 3 -screen 0 "$SCREEN" -nolisten tcp -noreset 3>"$TMPD/display" </dev/null >"$TMPD/xvfb.log" 2>&1 &
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

# The prefix, once, serialised between parallel runs.
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock -w 900 9 || { say "prefix lock timeout"; exit 125; }
VER=$("$WINE" --version 2>/dev/null)
if [ "$(cat "$WINEPREFIX/.skidline-ready" 2>/dev/null)" != "$VER" ]; then
  say "creating prefix $WINEPREFIX ($VER)"
  rm -rf "$WINEPREFIX"
  { "$WINE" wineboot -i &&
    # No window manager under Xvfb: unmanaged windows avoid 2 s stalls and get focus.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
    # A crash exits instead of waiting on a dialog.
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
    "$WINESERVER" -w; } </dev/null >"$WINEPREFIX.boot.log" 2>&1 ||
    { say "prefix creation failed"; cat "$WINEPREFIX.boot.log" >&2; exit 125; }
  echo "$VER" >"$WINEPREFIX/.skidline-ready"
fi

# Our own persistent server (its PID is ours to stop), then a warm-up run so
# Wine's background services do not inherit our output pipes.
"$WINESERVER" -f -p </dev/null >"$TMPD/wineserver.log" 2>&1 &
WSPID=$!
for _ in $(seq 250); do [ -S "/proc/$WSPID/cwd/socket" ] && break; kill -0 $WSPID 2>/dev/null || break; sleep 0.02; done
[ -S "/proc/$WSPID/cwd/socket" ] || { say "wineserver did not start"; cat "$TMPD/wineserver.log" >&2; WSPID=; exit 125; }
"$WINE" wineboot </dev/null >"$TMPD/warmup.log" 2>&1

cd "$WORKDIR" || exit 125
timeout -k 5 "$T" "$WINE" "$EXE" "$@" </dev/null >"$TMPD/exe.out" 2>"$TMPD/exe.err" &
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
    xdotool windowfocus --sync "$WID" 2>/dev/null
    [ -n "$XCMD" ] && WID=$WID bash -c "$XCMD" </dev/null >&2
  else
    say "window '$WTITLE' not found"
  fi
fi
wait $RUNPID
RC=$?
cat "$TMPD/exe.out"
cat "$TMPD/exe.err" >&2
# wine64 may report 0 (or 5) after an unhandled exception: look for the message.
if [ $RC = 0 ] && grep -q '^wine: Unhandled' "$TMPD/exe.err"; then RC=134; say "crashed (unhandled exception)"; fi
[ $RC = 124 ] && say "timeout after ${T}s"
exit $RC
