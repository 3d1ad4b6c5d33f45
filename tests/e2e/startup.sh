#!/usr/bin/env bash
# Start-up of the real program: it moves into its own folder, writes the log
# and the screenshot there, reads its command line and ends with code 0.
#   startup.sh linux|wine PROGRAM
set -u
mode=$1 exe=$2
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$exe" ] || { echo "FAIL: $exe not built"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
mkdir -p "$work/game dir" "$work/elsewhere"
cp "$exe" "$work/game dir/"
prog="$work/game dir/$(basename "$exe")"
fail=0

run() {  # args... ; runs from another folder
  (cd "$work/elsewhere" &&
    if [ "$mode" = wine ]; then "$here/wine-run.sh" -t 60 "$prog" "$@"
    else SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout -k 5 60 "$prog" "$@"; fi) \
    >"$work/out" 2>"$work/err"
}

expect_log() {  # description, grep pattern on the log (fixed string)
  if ! grep -qF -- "$2" "$work/game dir/skidline.log"; then
    echo "FAIL: $1: log lacks '$2'"; echo "--- log:"; cat "$work/game dir/skidline.log" 2>/dev/null; fail=1
  fi
}

run --shot 2 0.2 --out "my shot.bmp" --res 800x600
rc=$?
[ $rc = 0 ] || { echo "FAIL: exit code $rc"; cat "$work/err"; fail=1; }
[ -f "$work/game dir/skidline.log" ] || { echo "FAIL: no skidline.log beside the program"; ls -R "$work"; exit 1; }
[ ! -e "$work/elsewhere/skidline.log" ] || { echo "FAIL: log written to the caller's folder"; fail=1; }
expect_log "start line" "SKIDLINE starting, cmd: "
expect_log "arguments in the start line" "--shot 2 0.2 --out \"my shot.bmp\" --res 800x600"
expect_log "exit line" "exit"
[ -f "$work/game dir/my shot.bmp" ] || { echo "FAIL: no screenshot beside the program"; fail=1; }
# Lines end in CR LF.
if [ "$(head -c 200 "$work/game dir/skidline.log" | grep -c $'\r$')" -lt 1 ]; then echo "FAIL: no CR LF"; fail=1; fi
echo "--- $mode log:"; cat "$work/game dir/skidline.log"
exit $fail
