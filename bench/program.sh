#!/usr/bin/env bash
# Whole-program figures: the statistics line of each circuit with the frame
# cap off (Linux headless, and skidline64.exe under Wine when it is built),
# the time from start to the first frame, and the sizes of the programs.
#   program.sh BUILD_ROOT     (the folder holding linux/, win32/ and win64/)
set -u
root=$1
here=$(cd "$(dirname "$0")" && pwd)
linux=$root/linux/skidline win32=$root/win32/skidline.exe win64=$root/win64/skidline64.exe
[ -f "$linux" ] || { echo "program.sh: $linux not built"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
cp "$linux" "$work/"
have_wine=0
if [ -f "$win64" ] && [ -x /usr/lib/wine/wine64 ] && command -v Xvfb >/dev/null; then
  have_wine=1; cp "$win64" "$work/"
fi

stats() {  # log -> the first statistics line, without its hit counters
  grep -m1 '^fps ' "$1" | tr -d '\r' | sed 's/  hits.*//'
}

echo "== statistics line per circuit, --fps 0, 640 x 480 (milliseconds per frame)"
for t in 1 2 3; do
  (cd "$work" && timeout -k 5 60 ./skidline --shot $t 6 --fps 0 >/dev/null 2>&1)
  echo "circuit $t  linux: $(stats "$work/skidline.log")"
  if [ $have_wine = 1 ]; then
    "$here/../tests/e2e/wine-run.sh" -t 60 -C "$work" "$work/skidline64.exe" --shot $t 6 --fps 0 >/dev/null 2>&1
    echo "circuit $t  wine:  $(stats "$work/skidline.log")"
  fi
done

echo "== start to the first frame (its screenshot appearing; best of 5)"
best=
for _ in 1 2 3 4 5; do
  rm -f "$work/first.bmp"
  t0=$(date +%s%N)
  (cd "$work" && exec timeout -k 5 30 ./skidline --shot 1 0 --out first.bmp >/dev/null 2>&1) &
  pid=$!
  for _ in $(seq 5000); do [ -e "$work/first.bmp" ] && break; sleep 0.001; done
  ms=$(( ($(date +%s%N) - t0) / 1000000 ))
  wait $pid
  [ -z "$best" ] || [ $ms -lt $best ] && best=$ms
done
echo "linux: $best ms"

echo "== program sizes"
for f in "$win32" "$win64" "$linux"; do
  [ -f "$f" ] && echo "$(basename "$f"): $(stat -c %s "$f") bytes"
done
exit 0
