#!/usr/bin/env python3
# check_audio.py FILE CHANNELS TONES [options]: reads FILE as a player would (sox for a WAV,
# mpg123 for an MP3) and judges it window by window (50 ms): in every window each channel holds
# its tones (comma between channels, + within one) at an unbroken phase, so a block lost, doubled
# or zeroed anywhere in the file fails. A window left silent by the source is allowed only when
# the player logged an underrun at that moment (--underruns LOG --started UNIX_SECONDS).
#   --frames N|WAV     exactly N samples per channel (or as many as WAV holds)
#   --seconds MIN MAX  a length between MIN and MAX seconds
#   --rate R           samples per second (22050 unless given)
#   --sizes            the WAV's RIFF and data sizes match its bytes
#   --heard SECONDS    a recording of the sink's monitor: the first tone heard for SECONDS, no hole
# An MP3 must also be Layer III, CBR 128 kbit/s, with frame sync first and an Info/Xing tag
# (--partial: a stream cut off by a killed program or a full disk, whose tag was never written).
import argparse, array, math, os, re, struct, subprocess, sys, tempfile

WINDOW = 0.05


def decode(path, rate, partial=False):
    with tempfile.TemporaryDirectory() as tmp:
        errors, raw = [], f"{tmp}/out.raw"
        if path.endswith(".mp3"):
            run = subprocess.run(["mpg123", "-v", "-w", f"{tmp}/out.wav", path], capture_output=True, text=True)
            if run.returncode != 0:
                sys.exit(f"{path}: mpg123 failed ({run.returncode}): {run.stderr[-400:]}")
            fmt = re.search(r"MPEG \S+ L III (\S+) (\d+) (\S+)", run.stderr)
            with open(path, "rb") as f:
                head = f.read(200)
            if not fmt or fmt.group(1) != "cbr128" or int(fmt.group(2)) != rate:
                errors.append(f"stream format {fmt and fmt.groups()}, expected cbr128 at {rate}")
            if head[:1] != b"\xff" or not (partial or re.search(rb"Info|Xing", head)):
                errors.append("no frame sync and tag at the start")
            path = f"{tmp}/out.wav"
        info = subprocess.run(["soxi", path], capture_output=True, text=True)
        if info.returncode != 0 or subprocess.run(["sox", path, "-t", "s16", raw]).returncode != 0:
            sys.exit(f"{path}: sox cannot read it: {info.stderr[-300:]}")
        channels = int(re.search(r"Channels\s*: (\d+)", info.stdout).group(1))
        got_rate = int(re.search(r"Sample Rate\s*: (\d+)", info.stdout).group(1))
        samples = array.array("h")
        with open(raw, "rb") as f:
            samples.frombytes(f.read())
    if got_rate != rate:
        errors.append(f"rate {got_rate}, expected {rate}")
    return channels, samples, errors


def fit(x, start, freqs, rate):
    # Least-squares fit of cos and sin at each frequency, phases counted from the file's start:
    # the share of the window's energy they hold, and each tone's phase.
    basis = []
    for f in freqs:
        w = 2 * math.pi * f / rate
        basis += [[math.cos(w * (start + n)) for n in range(len(x))], [math.sin(w * (start + n)) for n in range(len(x))]]
    k = len(basis)
    a = [[sum(p * q for p, q in zip(basis[i], basis[j])) for j in range(k)] + [sum(p * q for p, q in zip(basis[i], x))]
         for i in range(k)]
    for i in range(k):  # Gauss-Jordan: the basis is well conditioned over a window
        for j in range(k):
            if j != i:
                r = a[j][i] / a[i][i]
                a[j] = [u - r * v for u, v in zip(a[j], a[i])]
    c = [a[i][k] / a[i][i] for i in range(k)]
    energy = sum(v * v for v in x) or 1.0
    shares = [sum(c[i] * a[i][i] * c[i] for i in (2 * t, 2 * t + 1)) / energy for t in range(len(freqs))]
    return shares, [math.atan2(-c[2 * i + 1], c[2 * i]) for i in range(len(freqs))]


def underrun_times(path):
    if not path or not os.path.exists(path):
        return []
    with open(path) as f:
        return [float(line.split()[0]) for line in f if "underrun" in line.lower()]


def judge_windows(samples, channels, tones, rate, underruns, started, heard, skip):
    errors, notes = [], []
    size = int(rate * WINDOW)
    frames = len(samples) // channels
    spans = []
    for ch, spec in enumerate(tones.split(",")):
        if spec == "0":
            continue
        freqs = [float(f) for f in spec.split("+")]
        x = samples[ch::channels]
        last_phase, toned = None, []
        for w in range(skip, frames // size):
            start, part = w * size, x[w * size:(w + 1) * size]
            at = start / rate
            if re.search(rb"\x01{40}", bytes(abs(v) < 2 for v in part)):
                # The null sink gives exact silence where the player ran dry, and so would a
                # recorder that writes a block it never got: a run of 2 ms, which no tone has.
                source = [u for u in underruns if abs(u - (started + at)) < 0.5]
                if heard or source:
                    notes += [f"channel {ch}: {at:.2f} s silent at the source (player underrun)"] if source else []
                    last_phase = None
                else:
                    errors.append(f"channel {ch}: silent window at {at:.2f} s")
                continue
            shares, phases = fit(part, start, freqs, rate)
            # Heard on the sink beside the test tone: the first tone must be there too.
            if sum(shares) < 0.8 or (heard and shares[0] < 0.1):
                if not heard:
                    errors.append(f"channel {ch}: {spec} Hz hold {sum(shares):.2f} of the window at {at:.2f} s")
                last_phase = None
                continue
            jump = last_phase and max(abs((p - q + math.pi) % (2 * math.pi) - math.pi) for p, q in zip(phases, last_phase))
            if jump and jump > 0.5:
                errors.append(f"channel {ch}: the tone's phase jumps by {jump:.2f} rad at {at:.2f} s (a block lost)")
            last_phase = phases
            toned.append(w)
        if heard:
            holes = [w * WINDOW for w in range(toned[0], toned[-1]) if w not in toned] if toned else []
            span = (toned[-1] - toned[0] + 1) * WINDOW if toned else 0
            if holes:
                errors.append(f"channel {ch}: holes in what was heard at {holes[:5]} s")
            spans.append(span)
    return errors, notes, spans


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("file")
    ap.add_argument("channels", type=int)
    ap.add_argument("tones")
    ap.add_argument("--frames")
    ap.add_argument("--seconds", nargs=2, type=float)
    ap.add_argument("--rate", type=int, default=22050)
    ap.add_argument("--sizes", action="store_true")
    ap.add_argument("--heard", type=float)
    ap.add_argument("--partial", action="store_true")
    ap.add_argument("--underruns")
    ap.add_argument("--started", type=float, default=0)
    a = ap.parse_args()
    if not os.path.exists(a.file):
        sys.exit(f"{a.file}: missing")
    channels, samples, errors = decode(a.file, a.rate, a.partial)
    frames = len(samples) // channels
    if channels != a.channels:
        errors.append(f"{channels} channels, expected {a.channels}")
    if a.frames:
        want = int(a.frames) if a.frames.isdigit() else decode(a.frames, a.rate)[1].__len__() // a.channels
        if frames != want:
            errors.append(f"{frames} samples per channel, expected {want}")
    if a.seconds and not a.seconds[0] <= frames / a.rate <= a.seconds[1]:
        errors.append(f"{frames / a.rate:.3f} s long, expected {a.seconds[0]:.3f} to {a.seconds[1]:.3f}")
    if a.sizes:
        with open(a.file, "rb") as f:
            data = f.read()
        riff, size = struct.unpack_from("<I", data, 4)[0], struct.unpack_from("<I", data, 42)[0]
        if riff + 8 != len(data) or (size + 1) // 2 * 2 + 46 != len(data):
            errors.append(f"{len(data)} bytes, RIFF size {riff}, data size {size}")
    if frames == 0:
        errors.append("no samples")
    else:
        # A cut-off stream has no tag to take the encoder's delay off its start.
        more, notes, spans = judge_windows(samples, channels, a.tones, a.rate, underrun_times(a.underruns),
                                           a.started, a.heard is not None, 2 if a.partial else 0)
        errors += more
        if a.heard is not None and min(spans, default=0) < a.heard:
            errors.append(f"the tone heard for {min(spans, default=0):.2f} s, expected {a.heard:.2f}")
        for note in notes:
            print(f"{a.file}: {note}")
    if errors:
        sys.exit(f"FAIL {a.file}: " + "; ".join(errors[:6]) + (f"; and {len(errors) - 6} more" if len(errors) > 6 else ""))
    print(f"ok   {a.file}: {channels} ch, {frames / a.rate:.3f} s")


main()
