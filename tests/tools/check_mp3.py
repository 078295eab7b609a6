#!/usr/bin/env python3
# check_mp3.py FILE CHANNELS LENGTH [TONES]: decodes FILE with the host's mpg123 and checks
# what a player gets: MPEG Layer III, CBR 128 kbit/s, 22050 Hz, CHANNELS (2: joint stereo), an
# Info/Xing tag, exactly LENGTH samples per channel (or as many as a WAV file holds) and the
# tones per channel (comma between channels, + within one).
import array, math, re, subprocess, sys, tempfile, wave


def tone_share(samples, freq):
    # Share of the signal's energy at `freq` (1.0 for a pure sine of that frequency).
    energy = sum(float(s) * s for s in samples)
    coeff = 2 * math.cos(2 * math.pi * freq / 22050)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + coeff * s1 - s2, s1
    return 2 * (s1 * s1 + s2 * s2 - coeff * s1 * s2) / (len(samples) * energy) if energy else 0.0


def main(path, want_channels, length, tones=None):
    with tempfile.TemporaryDirectory() as tmp:
        run = subprocess.run(["mpg123", "-v", "-w", f"{tmp}/out.wav", path], capture_output=True, text=True)
        if run.returncode != 0:
            sys.exit(f"{path}: mpg123 failed ({run.returncode}): {run.stderr[-400:]}")
        with wave.open(f"{tmp}/out.wav") as w:
            channels, rate = w.getnchannels(), w.getframerate()
            samples = array.array("h", w.readframes(w.getnframes()))
    want_channels = int(want_channels)
    want_mode = "mono" if want_channels == 1 else "j-s"
    want_frames = wave.open(length).getnframes() if length.endswith(".wav") else int(length)
    frames = len(samples) // channels
    fmt = re.search(r"MPEG \S+ L III (\S+) (\d+) (\S+)", run.stderr)
    with open(path, "rb") as f:
        head = f.read(200)
    errors = [f"{what} {got}, expected {want}" for what, got, want in [
        ("stream format", fmt.groups() if fmt else None, ("cbr128", "22050", want_mode)),
        ("decoded channels", channels, want_channels),
        ("decoded rate", rate, 22050),
        ("decoded length", frames, want_frames),
        ("first frame sync and tag", head[:1] == b"\xff" and (head[1] & 0xE0) == 0xE0 and
         re.search(rb"Info|Xing", head) is not None, True)] if got != want]
    for ch, freqs in enumerate(tones.split(",") if tones else []):
        share = sum(tone_share(samples[ch::channels], float(f)) for f in freqs.split("+"))
        if share < 0.8:
            errors.append(f"channel {ch}: {freqs} Hz hold {share:.2f} of the energy, expected >= 0.8")
    if errors:
        sys.exit(f"{path}: " + "; ".join(errors))
    print(f"{path}: ok ({channels} ch, {rate} Hz, {frames} samples)")


if __name__ == "__main__":
    main(*sys.argv[1:])
