#!/bin/bash
# Renders every song (one full pass), every effect and a race script with the
# songwav tool and checks their levels with sox: no sample beyond the soft
# limiter's range (magnitude 32767), a sane loudness, no DC offset to speak of.
# usage: levels.sh SONGWAV SOX
set -u
tool=$1
sox=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0

# check NAME FILE STAT LOW HIGH: the overall value of a sox stat lies in [LOW, HIGH]
check() {
  local value
  value=$("$sox" "$2" -n stats 2>&1 | awk -v k="$3" 'index($0, k) == 1 { split(substr($0, length(k) + 1), v, " "); print v[1] }')
  if [ -z "$value" ] || ! awk -v v="$value" -v lo="$4" -v hi="$5" 'BEGIN { exit !(v >= lo && v <= hi) }'; then
    echo "FAIL $1: $3 = '$value', expected $4 to $5"
    failed=1
  else
    echo "ok   $1: $3 = $value"
  fi
}

# Full scale in sox is 32768: the limiter keeps every sample within +-32767.
limits() {
  check "$1" "$2" "Max level" -1 0.99997
  check "$1" "$2" "Min level" -0.99997 1
  check "$1" "$2" "DC offset" -0.002 0.002
}

for song in 0 1 2 3 4; do
  f=$dir/song$song.wav
  "$tool" --song $song -o "$f" || { echo "FAIL song $song: songwav"; failed=1; continue; }
  limits "song $song" "$f"
  check "song $song" "$f" "RMS lev dB" -24 -14
  check "song $song" "$f" "Pk lev dB" -12 0
done

for sfx in 0 1 2 3 4 5 6 7 8 9; do
  f=$dir/sfx$sfx.wav
  "$tool" --sfx $sfx -o "$f" || { echo "FAIL sfx $sfx: songwav"; failed=1; continue; }
  limits "sfx $sfx" "$f"
  check "sfx $sfx" "$f" "Pk lev dB" -20 -1
done

# a race: music, the engine revving up and off, effects, a volume change and a song change
cat >"$dir/race.txt" <<'SCRIPT'
0    music 2
0    engine 0 0.3
2    sweep 4 0.1 1 0.9
3    sfx lap
5    sfx thump 0.7; 5.5 sfx scrape
7    music_volume 0.5
8    music 3
9    sfx finish
10   engine -1 0
12   end
SCRIPT
"$tool" --script "$dir/race.txt" -o "$dir/race.wav" || { echo "FAIL race: songwav"; failed=1; }
limits race "$dir/race.wav"
check race "$dir/race.wav" "RMS lev dB" -24 -14
check race "$dir/race.wav" "Length s" 11.99 12.01

# everything at once, as loud as it gets: the limiter must hold
cat >"$dir/loud.txt" <<'SCRIPT'
0 music 3; 0 engine 1 1
1 sfx thump; 1 sfx finish; 1.1 sfx go; 1.2 sfx scrape
4 end
SCRIPT
"$tool" --script "$dir/loud.txt" -o "$dir/loud.wav" || { echo "FAIL loud: songwav"; failed=1; }
limits loud "$dir/loud.wav"

exit $failed
