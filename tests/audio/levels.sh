#!/bin/bash
# Renders every song (one full pass), every effect and a race script with the
# songwav tool and checks their levels with sox: no sample beyond the soft
# limiter's range (magnitude 32767), a sane loudness, no DC offset to speak of.
# usage: levels.sh SONGWAV SOX
set -u
tool=$1 sox=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0

# render NAME "SONGWAV-ARGUMENTS" [STAT LOW HIGH]...: renders $dir/NAME.wav and
# checks that each sox stat lies in [LOW, HIGH]. Full scale in sox is 32768:
# every render keeps within +-32767 and has next to no DC offset.
render() {
  local name=$1 args=$2 stats value
  shift 2
  # shellcheck disable=SC2086
  "$tool" $args -o "$dir/$name.wav" || { echo "FAIL $name: songwav"; failed=1; return; }
  stats=$("$sox" "$dir/$name.wav" -n stats 2>&1)
  set -- "Max level" -1 0.99997 "Min level" -0.99997 1 "DC offset" -0.002 0.002 "$@"
  while [ $# -ge 3 ]; do
    value=$(awk -v k="$1" 'index($0, k) == 1 { split(substr($0, length(k) + 1), v, " "); print v[1] }' <<<"$stats")
    if [ -n "$value" ] && awk -v v="$value" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v + 0 >= lo && v + 0 <= hi) }'; then
      echo "ok   $name: $1 = $value"
    else
      echo "FAIL $name: $1 = '$value', expected $2 to $3"; failed=1
    fi
    shift 3
  done
}

for song in 0 1 2 3 4; do render "song$song" "--song $song" "RMS lev dB" -24 -14 "Pk lev dB" -12 0; done
for sfx in 0 1 2 3 4 5 6 7 8 9; do render "sfx$sfx" "--sfx $sfx" "Pk lev dB" -20 -1; done

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
render race "--script $dir/race.txt" "RMS lev dB" -24 -14 "Length s" 11.99 12.01

# everything at once, as loud as it gets: the limiter must hold
cat >"$dir/loud.txt" <<'SCRIPT'
0 music 3; 0 engine 1 1
1 sfx thump; 1 sfx finish; 1.1 sfx go; 1.2 sfx scrape
4 end
SCRIPT
render loud "--script $dir/loud.txt"
exit $failed
