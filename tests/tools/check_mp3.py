#!/usr/bin/env python3
# check_mp3.py FILE CHANNELS LENGTH [TONES]: decodes FILE with the host's mpg123 and checks what
# a player gets: Layer III, CBR 128 kbit/s, 22050 Hz, CHANNELS (2: joint stereo), an Info/Xing
# tag, exactly LENGTH samples per channel (or as many as the WAV file LENGTH holds) and the
# tones per channel (comma between channels, + within one).
import array, math, re, subprocess, sys, tempfile, wave


def tone_share(samples, freq):
    # Share of the energy at `freq` (Goertzel; 1.0 for a pure sine of that frequency).
    energy = sum(float(s) * s for s in samples)
    coeff, s1, s2 = 2 * math.cos(2 * math.pi * freq / 22050), 0.0, 0.0
    for x in samples:
        s1, s2 = x + coeff * s1 - s2, s1
    return 2 * (s1 * s1 + s2 * s2 - coeff * s1 * s2) / (len(samples) * energy) if energy else 0.0


def main(path, want_channels, length, tones=""):
    with tempfile.TemporaryDirectory() as tmp:
        run = subprocess.run(["mpg123", "-v", "-w", f"{tmp}/out.wav", path], capture_output=True, text=True)
        if run.returncode != 0:
            sys.exit(f"{path}: mpg123 failed ({run.returncode}): {run.stderr[-400:]}")
        with wave.open(f"{tmp}/out.wav") as w:
            channels, rate = w.getnchannels(), w.getframerate()
            samples = array.array("h", w.readframes(w.getnframes()))
    want_channels = int(want_channels)
    want_frames = wave.open(length).getnframes() if length.endswith(".wav") else int(length)
    fmt = re.search(r"MPEG \S+ L III (\S+) (\d+) (\S+)", run.stderr)
    with open(path, "rb") as f:
        head = f.read(200)
    errors = [f"{what} {got}, expected {want}" for what, got, want in [
        ("stream format", fmt and fmt.groups(), ("cbr128", "22050", "mono" if want_channels == 1 else "j-s")),
        ("decoded channels", channels, want_channels), ("decoded rate", rate, 22050),
        ("decoded length", len(samples) // channels, want_frames),
        ("frame sync and tag", head[:1] == b"\xff" and re.search(rb"Info|Xing", head) is not None, True)] if got != want]
    # Judged per 0.1 s (a whole number of periods of each tone): a sound server that drops a
    # few milliseconds under load shifts the phase of all that follows, which a share over the
    # whole file would count against the recorder.
    for ch, freqs in enumerate(tones.split(",") if tones else []):
        signal = samples[ch::channels]
        window = min(2205, len(signal)) or 1
        shares = [sum(tone_share(signal[at:at + window], float(f)) for f in freqs.split("+"))
                  for at in range(0, len(signal) - window + 1, window)]
        good = sum(share >= 0.8 for share in shares) / len(shares) if shares else 0
        if good < 0.8:
            errors.append(f"channel {ch}: {freqs} Hz hold 0.8 of the energy in {good:.0%} of 0.1 s windows, expected 80%")
    if errors:
        sys.exit(f"{path}: " + "; ".join(errors))
    print(f"{path}: ok ({channels} ch, {rate} Hz, {want_frames} samples)")


main(*sys.argv[1:])
