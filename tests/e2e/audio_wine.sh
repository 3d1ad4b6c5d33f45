#!/usr/bin/env bash
# The Windows sound path under wine64: the audio thread starts on winmm's
# waveOut, the music is heard in the captured WAV, and it stops cleanly.
#   audio_wine.sh audio_probe.exe
exe=$1
. "$(dirname "$0")/lib.sh"
need "$exe"
cp "$exe" "$work/"
"$here/wine-run.sh" -t 60 -C "$work" -a "$work/out.wav" "$work/$(basename "$exe")"
rc=$?
log="$work/audio_probe.log"
echo "--- log:"; cat "$log" 2>/dev/null
[ $rc = 0 ] || bad "exit code $rc"
for line in "audio: waveOut 22050 Hz stereo 16-bit, 12 x 512 frames \(279 ms queued\)" "probe: " "audio: stopped after "; do
  log_has "$log" "$line" "audio probe"
done
# What winmm played reached the sound device: about two seconds of sound, not silence.
stats=$(sox --ignore-length "$work/out.wav" -n stats 2>&1)
len=$(awk '/^Length s/ {print $3}' <<<"$stats") rms=$(awk '/^RMS lev dB/ {print $4}' <<<"$stats")
echo "captured: ${len:-?} s, RMS ${rms:-?} dB"
# "+ 0": a silent capture's "-inf" compares as a number, not as text.
awk -v l="${len:-0}" -v r="${rms:--inf}" 'BEGIN { exit !(l + 0 >= 1.5 && r + 0 > -40) }' ||
  bad "captured ${len:-0} s at ${rms:--inf} dB: too short or (nearly) silent"
exit $fail
