#!/usr/bin/env bash
# The Linux program from start to exit, headless: the statistics line of a
# longer run ended by an interrupt, start-up failures and their exit codes,
# an over-long command line, and program paths at the length limit.
#   linux_runs.sh SKIDLINE SKIDLINE_TESTHOST
set -u
exe=$1 host=$2
for f in "$exe" "$host"; do [ -f "$f" ] || { echo "FAIL: $f not built"; exit 1; }; done
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fail=0
bad() { echo "FAIL: $*"; fail=1; }
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

fresh() {  # a folder with the program in it
  rm -rf "$work/g"; mkdir -p "$work/g"
  cp "$exe" "$host" "$work/g/"
}
log_has() {  # description, pattern
  grep -qE -- "$2" "$work/g/skidline.log" || { bad "$1: log lacks /$2/"; cat "$work/g/skidline.log"; }
}
log_lacks() {
  ! grep -qE -- "$2" "$work/g/skidline.log" || bad "$1: log has /$2/"
}

# 1. A run longer than 5 s writes statistics; an interrupt ends it cleanly.
fresh
(cd "$work/g" && timeout --preserve-status -k 5 -s INT 7 ./skidline --shot 1 0.5 --stay --out s.bmp) >"$work/out" 2>&1
rc=$?
[ $rc = 0 ] || bad "stay: exit code $rc"
[ -f "$work/g/s.bmp" ] || bad "stay: no picture"
log_has stay "^fps [0-9]+\.[0-9]  sim [0-9]+\.[0-9]{2} ms  render [0-9]+\.[0-9]{2} ms  present [0-9]+\.[0-9]{2} ms  d3d [0-9]+/frame  hits w[0-9]+ p[0-9]+ c[0-9]+ k[0-9]+"
log_has stay "^exit"
fps=$(sed -n 's/^fps \([0-9.]*\) .*/\1/p' "$work/g/skidline.log" | head -n1)
echo "stay: $(grep '^fps' "$work/g/skidline.log" | head -n1 | tr -d '\r')"
# The cap holds; a busy machine may give fewer frames, never more.
awk -v f="${fps:-0}" 'BEGIN { exit !(f > 10 && f < 62) }' || bad "stay: ${fps:-?} frames per second with a cap of 60"

# 2. No Direct3D: the message goes to the log (no display here), exit code 1.
fresh
(cd "$work/g" && timeout -k 5 30 ./skidline_testhost --block d3d9.dll --race 1) >"$work/out" 2>&1
rc=$?
[ $rc = 1 ] || bad "no d3d9: exit code $rc, not 1"
log_has "no d3d9" "^SKIDLINE starting, cmd: "
log_has "no d3d9" "^Direct3D 9 could not be initialised\.$(printf '\r')?$"
log_lacks "no d3d9" "^exit"

# 3. No window: "CreateWindow failed", exit code 1.
fresh
(cd "$work/g" && SDL_VIDEODRIVER=no-such-driver timeout -k 5 30 ./skidline) >"$work/out" 2>&1
rc=$?
[ $rc = 1 ] || bad "no window: exit code $rc, not 1"
log_has "no window" "^CreateWindow failed"
log_lacks "no window" "^gfx ready"

# 4. An over-long line is cut at 1023 characters, keeping the start of the
# argument that crosses the limit: the shot path is its first 259 characters.
fresh
long=$(printf 'a%.0s' $(seq 5000))
(cd "$work/g" && timeout -k 5 30 ./skidline --shot 1 0.2 --out "$long" --nohud) >"$work/out" 2>&1
rc=$?
[ $rc = 0 ] || bad "long line: exit code $rc"
log_has "long line" "^shot a{259} -> [01]"
log_lacks "long line" "^shot shot.bmp"

# 5. A program path of 259 characters fits: the game moves into its folder.
# One of 260 does not: the game stays where it was started.
for len in 259 260; do
  base="$work/p$len"
  dir=$base
  # program path = dir + "/skidline"; folders of at most 200 characters make up the rest
  while r=$((len - ${#dir} - 9)); [ $r -gt 1 ]; do
    n=$((r - 1)); [ $n -gt 200 ] && n=200
    [ $((r - n - 1)) = 1 ] && n=$((n - 1))
    dir="$dir/$(printf 'd%.0s' $(seq $n))"
  done
  mkdir -p "$dir" "$work/elsewhere"
  cp "$exe" "$dir/skidline"
  path="$dir/skidline"
  [ ${#path} = $len ] || { bad "could not make a $len-character path (${#path})"; continue; }
  rm -f "$work/elsewhere/skidline.log"
  (cd "$work/elsewhere" && timeout -k 5 30 "$path" --shot 1 0.1) >"$work/out" 2>&1
  rc=$?
  [ $rc = 0 ] || bad "path $len: exit code $rc"
  if [ $len = 259 ]; then
    [ -f "$dir/skidline.log" ] || bad "path of 259 characters: no log beside the program"
  else
    [ -f "$work/elsewhere/skidline.log" ] || bad "path of 260 characters: no log in the starting folder"
  fi
done
exit $fail
