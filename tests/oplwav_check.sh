#!/bin/sh
# Renders tools/examples/beep.opl with oplwav and checks what it sounds like with sox:
# 1.3 s long, a 440 Hz beep, then an 880 Hz beep, both at the chip's full single-voice level
# (4084 / 32768), each fading out after its key off.
# Usage: oplwav_check.sh OPLWAV BEEP.opl WORKDIR
set -eu
oplwav=$1 script=$2 dir=$3
command -v sox >/dev/null 2>&1 || { echo "sox not installed: skipped"; exit 77; }
wav=$dir/oplwav_beep.wav
"$oplwav" "$script" "$wav"

# stat VALUE-NAME START LENGTH: one figure of sox's stat on the left channel of a stretch.
stat() {
    sox "$wav" -n remix 1 trim "$2" "$3" stat 2>&1 | awk -v k="$1" 'index($0, k) == 1 { print $NF }'
}
# near VALUE EXPECTED TOLERANCE WHAT
near() {
    if awk -v v="$1" -v e="$2" -v t="$3" 'BEGIN { exit !(v >= e - t && v <= e + t) }'; then
        echo "ok: $4 = $1"
    else
        echo "FAIL: $4 = $1, expected $2 +- $3"
        exit 1
    fi
}

near "$(stat 'Length (seconds)' 0 1.3)" 1.3 0.001 "length (s)"
near "$(stat 'Rough   frequency' 0.02 0.25)" 440 5 "first beep frequency (Hz)"
near "$(stat 'Rough   frequency' 0.62 0.25)" 880 10 "second beep frequency (Hz)"
near "$(stat 'Maximum amplitude' 0.02 0.25)" 0.1246 0.002 "first beep peak"
# Release rate 8 at block 4 takes about 0.22 s: fading after the key off at 0.3 s, silent
# well before the second beep at 0.6 s.
near "$(stat 'RMS     amplitude' 0.32 0.05)" 0.04 0.035 "first beep releasing (RMS)"
near "$(stat 'RMS     amplitude' 0.53 0.07)" 0 0.0001 "between the beeps (RMS)"
near "$(stat 'RMS     amplitude' 1.2 0.1)" 0 0.0001 "tail (RMS)"
