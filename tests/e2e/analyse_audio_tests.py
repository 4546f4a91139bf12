#!/usr/bin/env python3
"""Checks analyse_audio.py on recordings made up of known tones."""
import array
import contextlib
import io
import json
import math
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import analyse_audio  # noqa: E402

RATE = 48000


def tone(freqs_amps, seconds, phase=0.0):
    n = int(seconds * RATE)
    return [
        int(sum(a * math.sin(2 * math.pi * f * i / RATE + phase) for f, a in freqs_amps))
        for i in range(n)
    ]


def silence(seconds):
    return [0] * int(seconds * RATE)


class Recording:
    """A raw stereo 16-bit little-endian file built from per-channel sample lists."""

    def __init__(self, left, right, extra=b""):
        data = array.array("h")
        for a, b in zip(left, right):
            data.extend((a, b))
        if sys.byteorder == "big":
            data.byteswap()
        fd, self.path = tempfile.mkstemp(suffix=".raw")
        with os.fdopen(fd, "wb") as f:
            f.write(data.tobytes() + extra)

    def analyse(self, *args):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            status = analyse_audio.main([self.path, *args])
        return status, json.loads(out.getvalue())

    def close(self):
        os.unlink(self.path)


class AnalyseAudio(unittest.TestCase):
    def run_on(self, left, right, *args, extra=b""):
        rec = Recording(left, right, extra)
        try:
            status, result = rec.analyse(*args)
        finally:
            rec.close()
        self.assertEqual(status, 0)
        return result

    def test_segments_give_start_side_and_pitch_of_each_sound(self):
        # Silence first (as the disk driver records it), a left beep, a gap, a right beep
        # overlapping a low tone on both sides.
        low = tone([(37, 6000)], 0.4)
        left = silence(0.3) + tone([(440, 8000)], 0.4) + silence(0.5) + low
        right = silence(1.0) + tone([(880, 8000)], 0.2) + low
        result = self.run_on(left, right, "--segments")
        self.assertAlmostEqual(result["first_sound"], 0.3, places=2)
        segs = result["segments"]
        self.assertEqual([s["side"] for s in segs], ["left", "right", "both"])
        for seg, start, hz in zip(segs, (0.3, 1.0, 1.2), (440, 880, 37)):
            self.assertAlmostEqual(seg["start"], start, delta=0.011)
            self.assertAlmostEqual(seg["freq"], hz, delta=hz * 0.005)
        self.assertIsNone(segs[0]["right"]["freq"])
        self.assertAlmostEqual(segs[2]["end"], 1.6, delta=0.011)

    def test_window_reports_pitch_not_the_loudest_partial(self):
        # A rich tone whose third partial is the strongest is still heard at 110 Hz.
        left = tone([(110, 2000), (330, 6000), (550, 1000)], 1.0)
        right = tone([(220, 4000)], 1.0)
        result = self.run_on(left, right, "--from", "0.25", "--to", "0.75")
        self.assertEqual(result["side"], "both")
        self.assertAlmostEqual(result["left"]["freq"], 110, delta=0.5)
        self.assertAlmostEqual(result["left"]["peak_freq"], 330, delta=1.0)
        self.assertAlmostEqual(result["right"]["freq"], 220, delta=1.0)
        self.assertAlmostEqual(result["right"]["rms"], 4000 / math.sqrt(2), delta=20)
        self.assertEqual(result["right"]["peak"], 4000)

    def test_window_on_one_side_and_levels(self):
        left = silence(1.0)
        right = silence(0.5) + tone([(440, 1000)], 0.5)
        quiet = self.run_on(left, right, "--from", "0", "--to", "0.5")
        self.assertEqual(quiet["side"], "none")
        self.assertAlmostEqual(quiet["first_sound"], 0.5, places=3)  # of the whole file
        loud = self.run_on(left, right, "--from", "0.5", "--to", "1.0")
        self.assertEqual(loud["side"], "right")
        self.assertEqual(loud["left"]["rms"], 0)

    def test_odd_sizes_and_windows_past_the_end_are_harmless(self):
        beep = tone([(440, 5000)], 0.2)
        result = self.run_on(beep, beep, "--from", "5", "--to", "9", extra=b"\x01\x02\x03")
        self.assertEqual(result["side"], "none")
        self.assertEqual(result["from"], result["to"])
        empty = self.run_on([], [], "--segments")
        self.assertEqual(empty["segments"], [])
        self.assertIsNone(empty["first_sound"])


if __name__ == "__main__":
    unittest.main()
