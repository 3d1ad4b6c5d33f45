#!/usr/bin/env bash
# The Windows sound path under wine64: the audio thread starts on winmm's
# waveOut, the music is heard in the captured WAV, and it stops cleanly.
#   audio_wine.sh audio_probe.exe
set -u
here=$(cd "$(dirname "$0")" && pwd)
exe=$1
[ -f "$exe" ] || { echo "FAIL: $exe not built (make test builds the win64 preset)"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cp "$exe" "$work/"
"$here/wine-run.sh" -t 60 -C "$work" -a "$work/out.wav" "$work/$(basename "$exe")"
rc=$?
fail=0
log="$work/audio_probe.log"
echo "--- log:"; cat "$log" 2>/dev/null
[ $rc = 0 ] || { echo "FAIL: exit code $rc"; fail=1; }
for line in "audio: waveOut 22050 Hz stereo 16-bit, 12 x 512 frames (279 ms queued)" "probe: " "audio: stopped after "; do
  grep -qF -- "$line" "$log" 2>/dev/null || { echo "FAIL: log lacks '$line'"; fail=1; }
done
# What winmm played reached the sound device: about two seconds of sound, not silence.
stats=$(sox --ignore-length "$work/out.wav" -n stats 2>&1)
len=$(awk '/^Length s/ {print $3}' <<<"$stats")
rms=$(awk '/^RMS lev dB/ {print $4}' <<<"$stats")
echo "captured: ${len:-?} s, RMS ${rms:-?} dB"
awk -v l="${len:-0}" 'BEGIN { exit !(l >= 1.5) }' || { echo "FAIL: only ${len:-0} s captured"; fail=1; }
awk -v r="${rms:--inf}" 'BEGIN { exit !(r > -40) }' || { echo "FAIL: captured sound is (nearly) silent"; fail=1; }
exit $fail
