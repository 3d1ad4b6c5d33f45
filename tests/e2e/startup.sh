#!/usr/bin/env bash
# Start-up of the real program: it moves into its own folder, writes the log
# and the screenshot there, reads its command line and ends with code 0.
#   startup.sh linux|wine PROGRAM
mode=$1 exe=$2
. "$(dirname "$0")/lib.sh"
need "$exe"
game="$work/game dir" log="$work/game dir/skidline.log"
mkdir -p "$game" "$work/elsewhere"
cp "$exe" "$game/"
prog="$game/$(basename "$exe")"
args=(--shot 2 0.2 --out "my shot.bmp" --res 800x600)
(cd "$work/elsewhere" &&
  if [ "$mode" = wine ]; then "$here/wine-run.sh" -t 60 "$prog" "${args[@]}"; else headless "$prog" "${args[@]}"; fi) \
  >"$work/out" 2>"$work/err"
rc=$?
[ $rc = 0 ] || { bad "exit code $rc"; cat "$work/err"; }
[ -f "$log" ] || { bad "no skidline.log beside the program"; ls -R "$work"; exit 1; }
[ ! -e "$work/elsewhere/skidline.log" ] || bad "log written to the caller's folder"
log_has "$log" '^SKIDLINE starting, cmd: .*--shot 2 0\.2 --out "my shot\.bmp" --res 800x600' "start line with the arguments"
log_has "$log" '^exit' "exit line"
[ -f "$game/my shot.bmp" ] || bad "no screenshot beside the program"
grep -q $'\r$' <(head -c 200 "$log") || bad "no CR LF"
echo "--- $mode log:"; cat "$log"
exit $fail
