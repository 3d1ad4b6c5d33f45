#!/usr/bin/env bash
# Unattended screenshot runs of the whole program: the title screen and every
# circuit, with and without the HUD, at other display sizes. Checks each
# picture's size and pixels that must be there, the log and the exit code.
# Under Wine each picture is also compared with the Linux build's.
#   shots.sh linux SKIDLINE BMP_PROBE
#   shots.sh wine SKIDLINE64_EXE BMP_PROBE LINUX_SKIDLINE
set -u
mode=$1 exe=$2 probe=$3 linux_exe=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
for f in "$exe" "$probe" ${linux_exe:+"$linux_exe"}; do
  [ -f "$f" ] || { echo "FAIL: $f not built"; exit 1; }
done
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
mkdir -p "$work/game" "$work/linux"
cp "$exe" "$work/game/"
prog="$work/game/$(basename "$exe")"
[ -n "$linux_exe" ] && cp "$linux_exe" "$work/linux/"
fail=0
bad() { echo "FAIL: $*"; fail=1; }

# Every run is bounded; a Linux run gets SDL's headless drivers.
run_linux() {  # folder program args...
  local dir=$1 p=$2; shift 2
  (cd "$dir" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout -k 5 60 "$p" "$@") >"$dir/out" 2>&1
}
run_game() {
  if [ "$mode" = wine ]; then
    "$here/wine-run.sh" -t 60 -C "$work/game" "$prog" "$@" >"$work/game/out" 2>&1
  else
    run_linux "$work/game" "$prog" "$@"
  fi
}

has_line() { grep -qE -- "$2" "$1"; }

# The circuits' sky colours at the top of the picture.
sky=(2C50C0 2C1840 0D0F1F)

# name | arguments | picture size | what must be in the picture
cases=(
  "title|--shot 0 1|640 480|title"
  "c1|--shot 1 2|640 480|hud"
  "c2|--shot 2 2|640 480|hud"
  "c3|--shot 3 2|640 480|hud"
  "c1-nohud|--shot 1 4 --nohud|640 480|nohud"
  "c2-res|--shot 2 1 --res 800x600|800 600|"
  "c3-aspect|--shot 3 1 --aspect 16:9|1280 720|"
  "c1-bad-aspect|--shot 1 1 --aspect 100:1|640 480|"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name args size what <<<"$c"
  out="$name.bmp"
  # shellcheck disable=SC2086
  run_game $args --out "$out"
  rc=$?
  log="$work/game/skidline.log"
  pic="$work/game/$out"
  echo "--- $mode $name ($args): exit $rc"
  [ $rc = 0 ] || { bad "$name: exit code $rc"; cat "$work/game/out"; }
  for pat in "^SKIDLINE starting, cmd: .*--shot" "^gfx ready: " "^audio: " "^shot $out -> 1" \
             "^hits: walls [0-9]+ props [0-9]+ cones [0-9]+ cars [0-9]+"; do
    has_line "$log" "$pat" || bad "$name: log lacks /$pat/"
  done
  # The hits line and "exit" end the game's part of the log.
  tail=$(grep -vE '^audio: stopped' "$log" | tail -n 2 | tr -d '\r' | cut -c1-5 | tr '\n' ' ')
  [ "$tail" = "hits: exit " ] || bad "$name: log does not end with the hits line and exit"
  [ $fail = 0 ] || cat "$log"
  if [ ! -f "$pic" ]; then bad "$name: no picture"; continue; fi
  got=$("$probe" size "$pic")
  [ "$got" = "$size" ] || bad "$name: picture is $got, not $size"
  w=${size% *}
  bytes=$(stat -c %s "$pic")
  [ "$bytes" = $((54 + ((w * 3 + 3) / 4 * 4) * ${size#* })) ] || bad "$name: file is $bytes bytes"

  case $what in
    title)  # the menu box's top edge and the grey rows under the highlighted one
      n=$("$probe" count "$pic" 190 250 450 256 FFD040 12); [ "$n" -ge 400 ] || bad "$name: menu box edge ($n)"
      n=$("$probe" count "$pic" 200 304 440 352 B0B8C8 24); [ "$n" -ge 300 ] || bad "$name: menu rows ($n)" ;;
    hud)    # the race position, top left
      n=$("$probe" count "$pic" 0 0 120 70 FFE040 12); [ "$n" -ge 300 ] || bad "$name: no position on the HUD ($n)" ;;
    nohud)
      n=$("$probe" count "$pic" 0 0 120 70 FFE040 12); [ "$n" -le 10 ] || bad "$name: HUD drawn with --nohud ($n)" ;;
  esac
  track=$(sed -n 's/^.*--shot \([0-9]\).*$/\1/p' <<<"$args")
  if [ "$track" -ge 1 ] && has_line "$log" "^track [0-9]+ '"; then
    top=$("$probe" mean "$pic" 200 0 440 4)
    want=${sky[$((track - 1))]}
    d=$(( (16#${top:0:2} - 16#${want:0:2}) ** 2 + (16#${top:2:2} - 16#${want:2:2}) ** 2 + (16#${top:4:2} - 16#${want:4:2}) ** 2 ))
    [ $d -le 1200 ] || bad "$name: sky at the top is $top, not near $want"
  fi

  if [ "$mode" = wine ]; then
    # shellcheck disable=SC2086
    run_linux "$work/linux" "$work/linux/$(basename "$linux_exe")" $args --out "$out"
    if [ -f "$work/linux/$out" ]; then
      d=$("$probe" diff "$pic" "$work/linux/$out")
      echo "$name: Wine against Linux: $d"
      # Tolerance: rasterisers may differ on edges and by rounding, but a wrong
      # fog, sky, colour or HUD moves the mean or many pixels far.
      read -r _ mean _ _ _ far <<<"$d"
      awk -v m="$mean" -v f="${far%\%}" 'BEGIN { exit !(m <= 4.0 && f <= 3.0) }' ||
        bad "$name: Wine picture differs from the Linux one ($d)"
    else
      bad "$name: the Linux build took no picture"
    fi
  fi
  rm -f "$work/game/skidline.log"
done
exit $fail
