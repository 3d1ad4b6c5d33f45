#!/usr/bin/env bash
# The Linux program from start to exit, headless: the statistics line of a
# longer run ended by an interrupt, start-up failures and their exit codes,
# an over-long command line, and program paths at the length limit.
#   linux_runs.sh SKIDLINE SKIDLINE_TESTHOST
exe=$1 host=$2
. "$(dirname "$0")/lib.sh"
need "$exe" "$host"
log="$work/g/skidline.log"
# run NAME EXPECTED_EXIT PROGRAM ARGS...: in a fresh folder holding both programs.
run() {
  local name=$1 want=$2; shift 2
  rm -rf "$work/g"; mkdir -p "$work/g"; cp "$exe" "$host" "$work/g/"
  (cd "$work/g" && "$@") >"$work/out" 2>&1
  local rc=$?
  [ $rc = "$want" ] || { bad "$name: exit code $rc, not $want"; cat "$log"; }
}

# 1. A run longer than 5 s writes statistics; an interrupt ends it cleanly.
run stay 0 env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
  timeout --preserve-status -k 5 -s INT 7 ./skidline --shot 1 0.5 --stay --out s.bmp
[ -f "$work/g/s.bmp" ] || bad "stay: no picture"
log_has "$log" "^fps [0-9]+\.[0-9]  sim [0-9]+\.[0-9]{2} ms  render [0-9]+\.[0-9]{2} ms  present [0-9]+\.[0-9]{2} ms  d3d [0-9]+/frame  hits w[0-9]+ p[0-9]+ c[0-9]+ k[0-9]+" stay
log_has "$log" "^exit" stay
fps=$(sed -n 's/^fps \([0-9.]*\) .*/\1/p' "$log" | head -n1)
echo "stay: $(grep '^fps' "$log" | head -n1 | tr -d '\r')"
# The cap holds; a busy machine may give fewer frames, never more.
awk -v f="${fps:-0}" 'BEGIN { exit !(f > 10 && f < 62) }' || bad "stay: ${fps:-?} frames per second with a cap of 60"

# 2. No Direct3D: the message goes to the log (no display here), exit code 1.
run "no d3d9" 1 headless ./skidline_testhost --block d3d9.dll --race 1
log_has "$log" "^SKIDLINE starting, cmd: " "no d3d9"
log_has "$log" "^Direct3D 9 could not be initialised\.$(printf '\r')?$" "no d3d9"
log_lacks "$log" "^exit" "no d3d9"

# 3. No window: "CreateWindow failed", exit code 1.
SDL_VIDEODRIVER=no-such-driver run "no window" 1 headless ./skidline
log_has "$log" "^CreateWindow failed" "no window"
log_lacks "$log" "^gfx ready" "no window"

# 4. An over-long line is cut at 1023 characters, keeping the start of the
# argument that crosses the limit: the shot path is its first 259 characters.
run "long line" 0 headless ./skidline --shot 1 0.2 --out "$(printf 'a%.0s' $(seq 5000))" --nohud
log_has "$log" "^shot a{259} -> [01]" "long line"
log_lacks "$log" "^shot shot.bmp" "long line"

# 5. A program path of 259 characters fits: the game moves into its folder.
# One of 260 does not: the game stays where it was started.
mkdir -p "$work/elsewhere"
for len in 259 260; do
  dir="$work/p$len"
  # program path = dir + "/skidline"; folders of at most 200 characters make up the rest
  while r=$((len - ${#dir} - 9)); [ $r -gt 1 ]; do
    n=$((r - 1)); [ $n -gt 200 ] && n=200
    [ $((r - n - 1)) = 1 ] && n=$((n - 1))
    dir="$dir/$(printf 'd%.0s' $(seq $n))"
  done
  mkdir -p "$dir"
  cp "$exe" "$dir/skidline"
  path="$dir/skidline"
  [ ${#path} = $len ] || { bad "could not make a $len-character path (${#path})"; continue; }
  rm -f "$work/elsewhere/skidline.log"
  (cd "$work/elsewhere" && headless "$path" --shot 1 0.1) >"$work/out" 2>&1 || bad "path $len: exit code $?"
  if [ $len = 259 ]; then where="$dir"; else where="$work/elsewhere"; fi
  [ -f "$where/skidline.log" ] || bad "path of $len characters: no log in $where"
done
exit $fail
