#!/usr/bin/env python3
# check_audio.py FILE CHANNELS TONES [options]: reads FILE as a player would (sox, mpg123) and
# judges each 50 ms window: each channel holds its tones (comma between channels, + within one,
# 0 for none judged, "silence" for none there) at an unbroken phase, so a block lost, doubled or
# zeroed anywhere fails, unless the source lost it: logged in --underruns LOG (the player, the
# monitor watcher, Wine's trace) at the Unix time from --started or --ended (the file's first or
# last sample), or, heard on the monitor, the test's own tone broken there too.
#   --frames N|WAV  exactly N samples per channel (or as many as WAV holds)
#   --seconds MIN MAX, --rate R (22050 unless given), --sizes (RIFF and data sizes match the bytes)
#   --heard MIN [MAX]  a recording of the sink's monitor: the first tone heard that long, no hole
# An MP3 must be Layer III, CBR 128 kbit/s, frame sync first and an Info/Xing tag (--partial: cut
# off by a killed program or a full disk, its tag never written).
import argparse, array, math, os, re, struct, subprocess, sys, tempfile


def decode(path, rate, partial=False):
    errors = []
    with tempfile.TemporaryDirectory() as tmp:
        if path.endswith(".mp3"):
            run = subprocess.run(["mpg123", "-v", "-w", f"{tmp}/out.wav", path], capture_output=True, text=True)
            fmt = re.search(r"MPEG \S+ L III (\S+) (\d+)", run.stderr)
            head = open(path, "rb").read(200)
            if run.returncode or not fmt or fmt.groups() != ("cbr128", str(rate)):
                errors.append(f"mpg123 gives {fmt and fmt.groups()}, expected cbr128 at {rate}: {run.stderr[-200:]}")
            if head[:1] != b"\xff" or not (partial or re.search(rb"Info|Xing", head)):
                errors.append("no frame sync and tag at the start")
            path = f"{tmp}/out.wav"
        info = subprocess.run(["soxi", path], capture_output=True, text=True)
        if info.returncode or subprocess.run(["sox", path, "-t", "s16", f"{tmp}/out.raw"]).returncode:
            sys.exit(f"FAIL {path}: sox cannot read it: {info.stderr[-300:]} {errors}")
        samples = array.array("h", open(f"{tmp}/out.raw", "rb").read())
    channels, got = (int(re.search(rf"{k}\s*: (\d+)", info.stdout).group(1)) for k in ("Channels", "Sample Rate"))
    return channels, samples, errors + ([f"rate {got}, expected {rate}"] if got != rate else [])


def fit(x, start, freqs, rate):
    # Least squares of cos and sin per frequency: each tone's share of the energy, and its phase.
    basis = [[g(2 * math.pi * f / rate * (start + n)) for n in range(len(x))] for f in freqs for g in (math.cos, math.sin)]
    k = len(basis)
    a = [[sum(u * v for u, v in zip(p, q)) for q in basis] + [sum(u * v for u, v in zip(p, x))] for p in basis]
    for i in range(k):  # Gauss-Jordan: nearly orthogonal over a window
        for j in range(k):
            if j != i:
                a[j] = [u - a[j][i] / a[i][i] * v for u, v in zip(a[j], a[i])]
    c = [a[i][k] / a[i][i] for i in range(k)]
    energy = sum(v * v for v in x) or 1.0
    return ([(c[i] ** 2 * a[i][i] + c[i + 1] ** 2 * a[i + 1][i + 1]) / energy for i in range(0, k, 2)],
            [math.atan2(-c[i + 1], c[i]) for i in range(0, k, 2)])


def silent_run(part):
    # Exact silence for 2 ms, which no tone has: a dry player, or a block the recorder never got.
    return re.search(rb"\x01{40}", bytes(abs(v) < 2 for v in part))


def phase_jump(now, before):  # the largest change of phase between two windows, or 0
    return max(abs((p - q + math.pi) % (2 * math.pi) - math.pi) for p, q in zip(now, before)) if now and before else 0


def heard_on_monitor(parts, fits, energies):
    # The test player's tones (all after the first) are the reference: a window where they lose
    # level or phase was broken by the server, whatever the program played. Returns those
    # windows, and the level of the first tone (the program's) while it plays.
    levels = [[share * energy for share in shares] for (shares, _), energy in zip(fits, energies)]
    median = lambda values: sorted(values)[len(values) // 2] if values else 1.0
    typical, garbled, last = median([sum(level[1:]) for level in levels]), set(), None
    for w, (part, level, (_, phases)) in enumerate(zip(parts, levels, fits)):
        whole = 0.8 < sum(level[1:]) / typical < 1.25 and not silent_run(part)
        if not whole or phase_jump(phases[1:], last) > 0.3:
            garbled.add(w)
        last = phases[1:] if whole else last
    return garbled, median([level[0] for level, (shares, _) in zip(levels, fits) if shares[0] >= 0.1])


def judge(samples, channels, a, underruns):
    errors, size, frames = [], int(a.rate * 0.05), len(samples) // channels
    # A recording's start is known to a click's latency; a monitor file's end to a few ms.
    near = 0.1 if a.ended else 0.5
    logged = lambda at: any(abs(u - a.started - at) < near for u in underruns)
    for ch, wanted in enumerate(a.tones.split(",")):
        hushed, wanted = wanted == "silence", "0" if wanted == "silence" else wanted
        freqs, x, last, toned, present = [float(f) for f in wanted.split("+")], samples[ch::channels], None, [], []
        # A capture stream may open with a few ms of silence (PipeWire's does): windows count from its first sound.
        loud = max(map(abs, x), default=0) / 10
        first = next((n for n, v in enumerate(x[:int(a.rate * 0.1)]) if abs(v) > loud), 0)
        first = first if first >= 40 else 0  # a tone's own start is never 2 ms that quiet
        if first:
            print(f"{a.file}: channel {ch} silent for the first {first / a.rate * 1000:.0f} ms of the capture stream")
        # Or with a few ms that do not join what follows: inside the first block, not the recorder's.
        broken_at = lambda n: silent_run(x[n:n + size]) or sum(fit(x[n:n + size], n, freqs, a.rate)[0]) < 0.8
        if wanted != "0" and len(x) > first + 2 * size and broken_at(first) and not broken_at(first + size // 5):
            first += size // 5
            print(f"{a.file}: channel {ch}: the capture stream's first 10 ms are broken")
        parts = [x[s:s + size] for s in range(first, len(x) - size + 1, size)] if wanted != "0" else []
        fits = [fit(part, first + w * size, freqs, a.rate) for w, part in enumerate(parts)]
        energies = [sum(v * v for v in part) for part in parts]
        garbled, playing = heard_on_monitor(parts, fits, energies) if a.heard is not None else (set(), 0)

        def broken_at_source(w, what):  # names a window the source broke, the recorder excused
            at = (first + w * size) / a.rate
            # Frames reach the file whole: one channel silent beside the other's sound is the source's.
            one = what == "silent" and a.heard is None and channels == 2 and not silent_run(
                samples[1 - ch::channels][first + w * size:first + (w + 1) * size])
            if logged(at) or w in garbled or one:
                why = ("the test's own tone broken there too" if w in garbled else
                       "the other channel whole" if one else "logged as the source's loss")
                print(f"{a.file}: channel {ch} at {at:.2f} s {what} at the source ({why})")
            return logged(at) or w in garbled or one

        # A cut-off MP3 has no tag to take the encoder's delay off its start, nor its padding off its end.
        for w in range(2 if a.partial else 0, len(parts) - (1 if a.partial else 0)):
            part, at = parts[w], (first + w * size) / a.rate
            silent = silent_run(part)
            shares, phases = fits[w]
            if shares[0] >= 0.1:
                present.append(w)  # heard, whole or not: how long it sounds is counted from these
            shares, phases = ([0.0], []) if silent else (shares, phases)
            # Heard on the monitor, the first tone must keep its full level: a few ms lost hardly
            # lower the fit. Windows before and after the played sound are judged below.
            if silent or sum(shares) < 0.8 or shares[0] * energies[w] < 0.8 * playing:
                last = None
                if a.heard is None and not broken_at_source(w, "silent"):
                    errors.append(f"channel {ch}: " + ("silent window" if silent else f"{wanted} Hz hold {sum(shares):.2f} of the window") + f" at {at:.2f} s")
                continue
            jump = phase_jump(phases, last)
            if jump > 0.5 and not broken_at_source(w, "skips"):
                errors.append(f"channel {ch}: the tone's phase jumps by {jump:.2f} rad at {at:.2f} s (a block lost)")
            last = phases
            toned.append(w)
        if a.heard is not None:
            holes = [round(first / a.rate + w * 0.05, 2) for w in range(toned[0], toned[-1])
                     if w not in toned and not broken_at_source(w, "silent")] if toned else []
            span = (present[-1] - present[0] + 1) * 0.05 if present else 0
            # The player's own start and end are not the recorder's; past the end is stale sound.
            if holes or not a.heard[0] <= span <= (a.heard[1:] or [1e9])[0]:
                errors.append(f"channel {ch}: {freqs[0]} Hz heard for {span:.2f} s, holes at {holes[:5]} s")
        elif hushed and max(map(abs, x), default=0) > 300:
            errors.append(f"channel {ch}: not silent, peaks at {max(map(abs, x))}")
    return errors


def main():
    ap = argparse.ArgumentParser()
    for name, kind in (("file", str), ("channels", int), ("tones", str)):
        ap.add_argument(name, type=kind)
    for name, kind in (("--frames", str), ("--rate", int), ("--underruns", str), ("--started", float),
                       ("--ended", float)):
        ap.add_argument(name, type=kind)
    ap.add_argument("--seconds", nargs=2, type=float)
    ap.add_argument("--heard", nargs="+", type=float)
    ap.add_argument("--sizes", action="store_true")
    ap.add_argument("--partial", action="store_true")
    a = ap.parse_args()
    a.rate, a.started = a.rate or 22050, a.started or 0
    if not os.path.exists(a.file):
        sys.exit(f"FAIL {a.file}: missing")
    channels, samples, errors = decode(a.file, a.rate, a.partial)
    frames = len(samples) // channels
    a.started = a.ended - frames / a.rate if a.ended else a.started
    want = a.frames and (int(a.frames) if a.frames.isdigit() else len(decode(a.frames, a.rate)[1]) // channels)
    data = open(a.file, "rb").read()
    riff, size = struct.unpack_from("<I", data, 4)[0], struct.unpack_from("<I", data, 42)[0]
    log = open(a.underruns).readlines() if a.underruns and os.path.exists(a.underruns) else []
    # Heard on the monitor, the test's tone tells the server's breaks; only Wine's need its trace.
    losses = r"late by|ran dry" if a.heard is not None else r"underrun|silent|skipped|late by|ran dry"
    underruns = [float(line.split()[0]) for line in log if re.search(losses, line, re.I)]
    low, high = a.seconds or (0, 1e9)
    errors += [what for what, wrong in [
        (f"{channels} channels, expected {a.channels}", channels != a.channels),
        (f"{frames} samples per channel, expected {want}", a.frames and frames != want),
        (f"{frames / a.rate:.3f} s long, expected {low:.3f} to {high:.3f}", not low <= frames / a.rate <= high),
        (f"{len(data)} bytes, RIFF size {riff}, data size {size}",
         a.sizes and (riff + 8 != len(data) or (size + 1) // 2 * 2 + 46 != len(data))),
        ("no samples", frames == 0)] if wrong]
    errors += judge(samples, channels, a, underruns)
    if errors:
        sys.exit(f"FAIL {a.file}: " + "; ".join(errors[:6]) + (f"; and {len(errors) - 6} more" if len(errors) > 6 else ""))
    print(f"ok   {a.file}: {channels} ch, {frames / a.rate:.3f} s")


main()
