#!/usr/bin/env python3
"""Decodes an MP3 file with the host's mpg123 and checks what a player would get:
stream format, bit rate, channels, length, the Info tag and the tones in each channel."""
import argparse
import array
import math
import os
import re
import subprocess
import sys
import tempfile
import wave

MODES = {"mono": 1, "j-s": 2, "stereo": 2, "dual": 2}


def decode(path):
    fd, out = tempfile.mkstemp(suffix=".wav")
    os.close(fd)
    try:
        run = subprocess.run(["mpg123", "-v", "-w", out, path], capture_output=True, text=True)
        if run.returncode != 0:
            sys.exit(f"{path}: mpg123 failed ({run.returncode}): {run.stderr[-400:]}")
        with wave.open(out) as w:
            channels, rate, frames = w.getnchannels(), w.getframerate(), w.getnframes()
            samples = array.array("h", w.readframes(frames))
    finally:
        os.unlink(out)
    return run.stderr, channels, rate, samples


def tone_share(samples, rate, freq):
    """Share of the signal's energy at `freq` (1.0 for a pure sine of that frequency)."""
    energy = sum(float(s) * s for s in samples)
    if energy == 0:
        return 0.0
    coeff = 2 * math.cos(2 * math.pi * freq / rate)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + coeff * s1 - s2, s1
    power = s1 * s1 + s2 * s2 - coeff * s1 * s2
    return 2 * power / (len(samples) * energy)


def first_frame_tag(path):
    with open(path, "rb") as f:
        head = f.read(512)
    if len(head) < 4 or head[0] != 0xFF or (head[1] & 0xE0) != 0xE0:
        return None
    match = re.search(rb"(Info|Xing)", head[:200])
    return match.group(1).decode() if match else None


def wav_frames(path):
    with wave.open(path) as w:
        return w.getnframes()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("mp3")
    p.add_argument("--channels", type=int, required=True)
    p.add_argument("--rate", type=int, default=22050)
    p.add_argument("--bitrate", type=int, default=128)
    p.add_argument("--samples", type=int, help="exact decoded length per channel")
    p.add_argument("--like-wav", help="WAV whose length the decoded length must match")
    p.add_argument("--slack", type=int, default=1152 + 576 + 529,
                   help="allowed difference to --like-wav: a frame plus the encoder delay")
    p.add_argument("--tone", help="frequencies per channel, comma between channels, + within one")
    p.add_argument("--tag", action="store_true", help="the first frame must hold an Info/Xing tag")
    a = p.parse_args()

    log, channels, rate, samples = decode(a.mp3)
    errors = []
    fmt = re.search(r"MPEG (\S+) L III (\S+) (\d+) (\S+)", log)
    if not fmt:
        errors.append("mpg123 printed no stream format")
    else:
        version, mode, frate, cmode = fmt.groups()
        if mode != f"cbr{a.bitrate}":
            errors.append(f"bit rate mode {mode}, expected cbr{a.bitrate}")
        if int(frate) != a.rate:
            errors.append(f"stream rate {frate}, expected {a.rate}")
        if MODES.get(cmode) != a.channels:
            errors.append(f"channel mode {cmode}, expected {a.channels} channel(s)")
        if a.channels == 2 and cmode != "j-s":
            errors.append(f"channel mode {cmode}, expected joint stereo")
    if channels != a.channels:
        errors.append(f"decoded channels {channels}, expected {a.channels}")
    if rate != a.rate:
        errors.append(f"decoded rate {rate}, expected {a.rate}")
    frames = len(samples) // max(channels, 1)
    if a.samples is not None and frames != a.samples:
        errors.append(f"decoded length {frames}, expected exactly {a.samples}")
    if a.like_wav:
        expected = wav_frames(a.like_wav)
        if abs(frames - expected) > a.slack:
            errors.append(f"decoded length {frames}, WAV holds {expected} (slack {a.slack})")
    if a.tag and first_frame_tag(a.mp3) is None:
        errors.append("no Info/Xing tag in the first frame")
    if a.tone:
        for ch, tones in enumerate(a.tone.split(",")):
            share = sum(tone_share(samples[ch::channels], rate, float(f)) for f in tones.split("+"))
            if share < 0.8:
                errors.append(f"channel {ch}: {tones} Hz hold {share:.2f} of the energy, expected >= 0.8")
    if errors:
        sys.exit(f"{a.mp3}: " + "; ".join(errors))
    print(f"{a.mp3}: ok ({channels} ch, {rate} Hz, {frames} samples)")


if __name__ == "__main__":
    main()
