#!/usr/bin/env python3
"""Measures recorded game sound: the raw output of SDL's disk audio driver (headerless
signed 16-bit little-endian interleaved stereo, 48000 Hz by default; the recording may start
with silence).

    analyse_audio.py FILE [--from S] [--to S]      level and pitch of each channel in a window
    analyse_audio.py FILE --segments [--from S] [--to S]
                                                   the stretches that are not silent

Prints one JSON object. Per channel: "rms" and "peak" (in 16-bit sample units), "freq" (the
pitch, Hz: the fundamental found by autocorrelation, so a rich FM tone reads as the note
played, not as its loudest partial) and "peak_freq" (the strongest spectral component, Hz);
both null on a silent channel. "side" is "left", "right", "both" or "none". Pitches are
measured over at most the middle FFT_FRAMES frames of a window or segment.

Standard library only.
"""
import argparse
import array
import cmath
import json
import math
import sys

RATE = 48000
CHANNELS = 2
BLOCK_SECONDS = 0.01  # level is followed in blocks of this length
FFT_FRAMES = 8192  # longest stretch analysed for pitch (about 0.17 s)
PITCH_MIN_HZ = 20.0
PITCH_MAX_HZ = 4000.0
SILENCE_RMS = 20.0  # a block (or channel) quieter than this counts as silent
SIDE_RATIO = 0.1  # a channel counts as sounding if at least this share of the louder one
MERGE_GAP_SECONDS = 0.03  # shorter silences do not split a segment
MIN_RUN_SECONDS = 0.03  # shorter changes of side do not split a segment


def read_frames(path):
    """The recording as two lists of samples (left, right)."""
    data = array.array("h")
    with open(path, "rb") as f:
        raw = f.read()
    raw = raw[: len(raw) - len(raw) % (2 * CHANNELS)]
    data.frombytes(raw)
    if sys.byteorder == "big":
        data.byteswap()
    return data[0::2], data[1::2]


def fft(values):
    """Iterative radix-2 FFT of a list of complex numbers whose length is a power of two."""
    n = len(values)
    a = list(values)
    j = 0
    for i in range(1, n):
        bit = n >> 1
        while j & bit:
            j ^= bit
            bit >>= 1
        j |= bit
        if i < j:
            a[i], a[j] = a[j], a[i]
    size = 2
    while size <= n:
        step = cmath.exp(-2j * math.pi / size)
        half = size // 2
        for start in range(0, n, size):
            w = 1.0
            for k in range(start, start + half):
                t = a[k + half] * w
                a[k + half] = a[k] - t
                a[k] = a[k] + t
                w *= step
        size *= 2
    return a


def rms_and_peak(x):
    if not x:
        return 0.0, 0
    return math.sqrt(sum(v * v for v in x) / len(x)), max(abs(v) for v in x)


def parabola_offset(a, b, c):
    """Offset of the vertex of the parabola through (-1, a), (0, b), (1, c)."""
    denom = a - 2 * b + c
    return 0.5 * (a - c) / denom if denom != 0 else 0.0


def pitch_and_peak(x, rate):
    """(fundamental Hz, strongest component Hz) of a stretch of samples, or (None, None)."""
    n = len(x)
    if n < 64:
        return None, None
    mean = sum(x) / n
    centred = [v - mean for v in x]
    size = 1
    while size < 2 * n:
        size *= 2
    spectrum = fft(centred + [0.0] * (size - n))
    power = [abs(c) ** 2 for c in spectrum]
    # Autocorrelation (Wiener-Khinchin), unbiased by the overlap length at each lag.
    acf = [c.real for c in fft([complex(p) for p in power])]
    if acf[0] <= 0:
        return None, None
    lag_min = max(2, int(rate / PITCH_MAX_HZ))
    lag_max = min(n // 2, int(rate / PITCH_MIN_HZ) + 1)
    r = {}
    for lag in range(lag_min - 1, lag_max + 2):
        r[lag] = acf[lag] / acf[0] * n / (n - lag)
    best = max(r[lag] for lag in range(lag_min, lag_max + 1)) if lag_max >= lag_min else 0
    pitch = None
    if best > 0:
        for lag in range(lag_min, lag_max + 1):
            if r[lag] >= 0.9 * best and r[lag] >= r[lag - 1] and r[lag] >= r[lag + 1]:
                pitch = rate / (lag + parabola_offset(r[lag - 1], r[lag], r[lag + 1]))
                break
    # Strongest component of the Hann-windowed spectrum.
    hann = [0.5 - 0.5 * math.cos(2 * math.pi * i / (n - 1)) for i in range(n)]
    windowed = [v * w for v, w in zip(centred, hann)]
    mags = [abs(c) for c in fft(windowed + [0.0] * (size - n))[: size // 2]]
    k = max(range(1, len(mags) - 1), key=lambda i: mags[i])
    peak = None
    if mags[k] > 0:
        logs = [math.log(max(mags[i], 1e-12)) for i in (k - 1, k, k + 1)]
        peak = (k + parabola_offset(*logs)) * rate / size
    return pitch, peak


def middle(x, frames):
    if len(x) <= frames:
        return list(x)
    start = (len(x) - frames) // 2
    return list(x[start : start + frames])


def channel_report(x, rate):
    level, peak = rms_and_peak(x)
    report = {"rms": round(level, 2), "peak": peak, "freq": None, "peak_freq": None}
    if level >= SILENCE_RMS:
        pitch, strongest = pitch_and_peak(middle(x, FFT_FRAMES), rate)
        report["freq"] = round(pitch, 2) if pitch else None
        report["peak_freq"] = round(strongest, 2) if strongest else None
    return report


def side_of(left_rms, right_rms):
    loud = max(left_rms, right_rms)
    if loud < SILENCE_RMS:
        return "none"
    left = left_rms >= max(SILENCE_RMS, SIDE_RATIO * loud)
    right = right_rms >= max(SILENCE_RMS, SIDE_RATIO * loud)
    return "both" if left and right else ("left" if left else "right")


def window_report(left, right, rate, first, last):
    lr = channel_report(left[first:last], rate)
    rr = channel_report(right[first:last], rate)
    return {"side": side_of(lr["rms"], rr["rms"]), "left": lr, "right": rr}


def find_segments(left, right, rate, first, last):
    """(start, end, side) frame ranges of the stretches that are not silent. A stretch ends
    at a silence or where the sounding side changes (a left beep, then both, then right)."""
    block = max(1, int(rate * BLOCK_SECONDS))
    runs = []  # [start, end, side], consecutive blocks of one side merged
    for start in range(first, last, block):
        end = min(start + block, last)
        n = end - start
        side = side_of(
            math.sqrt(sum(v * v for v in left[start:end]) / n),
            math.sqrt(sum(v * v for v in right[start:end]) / n),
        )
        if runs and runs[-1][2] == side:
            runs[-1][1] = end
        else:
            runs.append([start, end, side])
    # Blips shorter than a few blocks (a tail fading unevenly) join the run before them;
    # short silences inside one sound do not split it.
    shortest = int(MIN_RUN_SECONDS * rate)
    gap = int(MERGE_GAP_SECONDS * rate)
    merged = []
    for run in runs:
        if merged and run[2] != "none" and run[1] - run[0] < shortest and merged[-1][2] != "none":
            merged[-1][1] = run[1]
        elif merged and merged[-1][2] == run[2]:
            merged[-1][1] = run[1]
        elif (
            len(merged) >= 2
            and merged[-1][2] == "none"
            and merged[-1][1] - merged[-1][0] <= gap
            and merged[-2][2] == run[2]
        ):
            merged.pop()
            merged[-1][1] = run[1]
        else:
            merged.append(list(run))
    return [tuple(run) for run in merged if run[2] != "none"]


def first_sound(left, right, rate):
    """Time of the first non-zero sample, in seconds, or None."""
    for i, (a, b) in enumerate(zip(left, right)):
        if a or b:
            return round(i / rate, 4)
    return None


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file")
    parser.add_argument("--from", dest="start", type=float, default=0.0, help="seconds")
    parser.add_argument("--to", dest="end", type=float, default=None, help="seconds")
    parser.add_argument("--segments", action="store_true", help="list the sounding stretches")
    parser.add_argument("--rate", type=int, default=RATE, help="frames per second")
    args = parser.parse_args(argv)

    try:
        left, right = read_frames(args.file)
    except OSError as e:
        print(json.dumps({"error": str(e)}))
        return 2
    rate = args.rate
    total = len(left)
    first = min(total, max(0, int(round(args.start * rate))))
    last = total if args.end is None else min(total, max(first, int(round(args.end * rate))))

    result = {
        "file": args.file,
        "rate": rate,
        "duration": round(total / rate, 4),
        "from": round(first / rate, 4),
        "to": round(last / rate, 4),
        "first_sound": first_sound(left, right, rate),
    }
    if args.segments:
        segments = []
        for start, end, side in find_segments(left, right, rate, first, last):
            seg = window_report(left, right, rate, start, end)
            seg["side"] = side
            louder = seg["left"] if seg["left"]["rms"] >= seg["right"]["rms"] else seg["right"]
            segments.append(
                {
                    "start": round(start / rate, 4),
                    "end": round(end / rate, 4),
                    "side": seg["side"],
                    "freq": louder["freq"],
                    "left": seg["left"],
                    "right": seg["right"],
                }
            )
        result["segments"] = segments
    else:
        result.update(window_report(left, right, rate, first, last))
    print(json.dumps(result, indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
