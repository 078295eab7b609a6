#!/usr/bin/python3
"""What a user loses at the edges of a recording made with the real program.

A known stereo signal (seeded noise, band-limited to 5 kHz) plays into the null sink from a
player with a 20 ms buffer, as `pacat --latency-msec=20` would, and then from one with a desktop
player's long buffers, as plain `paplay` keeps them (every buffer attribute the server's
default: 2 s). The click driver presses Record and Stop in the installed program; the recorded
WAV is cut into windows and each window is found in the known signal by cross-correlation.
Prints, over several stereo recordings of different lengths per player made while another
process keeps one core busy, for the 20 ms player:

  capture_start_loss_ms  sound played after the Record click that is missing from the start
                         of the file: (signal time of the file's first sample) - (signal time
                         the sink was playing when the click was sent). Negative: the file
                         starts with sound from before the click.
  capture_stop_loss_ms   sound played before the Stop click that is missing from the end of
                         the file: (signal time the sink was playing when the click was sent)
                         - (signal time just after the file's last sample). Negative: the
                         file holds sound from after the click.
  capture_gap_ms         sound inside the file that is not the played signal in order: the
                         sum of every jump between consecutive 46 ms windows (sound skipped
                         or repeated) and, inside a window that does not match, of every 6 ms
                         stretch that follows neither neighbour (silence, noise; a cut is
                         seen to within those 6 ms).

and the same for the desktop player as capture_desktop_player_start_loss_ms,
capture_desktop_player_stop_loss_ms and capture_desktop_player_gap_ms. A recording that holds
too little sound to place (under 92 ms) counts all it misses of the time between the clicks
as stop loss, and has no start loss or gap.

Each figure is the worst recording's. The reference moments:
  - a click's time is the moment the driver sends it (the user's click), read from the
    driver's performance counter just before BM_CLICK is sent;
  - the driver's counter is put on this machine's CLOCK_MONOTONIC by pings over its
    stdin/stdout, just before each click: offset = driver time - the midpoint of the ping's
    round trip, from the ping with the shortest round trip (its half is the error bound);
  - "the sink was playing signal time x at time t" comes from the player: after each 5 ms
    write (and every 5 ms while the desktop player waits for the server to ask for more) it
    logs CLOCK_MONOTONIC, the frames written and the stream's latency, which the
    server reports as the time until the last written frame is played by the sink; so the
    frame playing at t is written - latency * rate. Each report gives the moment signal time 0
    played; for a click, the median of those reported within a quarter second of it.
A monitor of the sink is recorded beside (10 ms buffer, as parec --latency-msec=10; beside the
desktop player with the server's default, as plain parec: a monitor asking for short fragments
makes the sink render in them). A run of exact zeros in what it heard of the sink playing from
0.3 s before Record to 0.3 s after Stop means the player ran dry, and so does a jump of the
20 ms player's clock (more than 5 ms from one tenth of a second to the next; PipeWire's reports
for the desktop player wander by some 30 ms a second, as the clock drift printed for each
recording shows, so its start and stop loss there are known to no better; its "short by", the
time between the clicks less the file's length, needs no clock). So does Wine when its capture
thread, in its own trace, was kept from running longer than its 100 ms ring holds. Such a
recording is made again, never counted. The monitor also tells how much earlier it gets a frame
than the sink's clock plays it (printed, not used: a recorder reading the monitor could have it
that early).

python3 capture_fidelity.py run --driver EXE --dist DIR --wine WINE_EXEC
KORVALIN_BENCH_QUICK set: one short recording per player. KORVALIN_FIDELITY_KEEP=DIR: every
attempt's signal, player and monitor logs, monitor capture, click times and WAV are kept in DIR,
with Wine's trace, for a second look; KORVALIN_FIDELITY_WINEDEBUG=,+pulse adds channels to that
trace. The 'play' and 'monitor' subcommands (with the player, "20 ms" or "desktop") are the
player and the monitor it starts.
"""
import argparse
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave

import numpy as np

RATE = 44100  # the null sink's own rate: the signal plays unconverted
CHUNK_FRAMES = RATE // 200  # the player writes 5 ms at a time
SINK = os.environ.get("KORVALIN_SINK", "korvalin_out")
WINDOW = 1024  # recorded frames a window: 46 ms at the program's 22050 Hz
SUB_WINDOW = 128  # recorded frames judged alone inside a window that failed to match: 6 ms
MATCH = 0.9  # a window's least normalized correlation (both channels) with the signal
DRY_RUN = 8  # frames of exact silence in the monitor that only a dry player makes
CLOCK_JUMP = 0.005  # s the player's clock may move from one tenth of a second to the next
LENGTHS = [1.3, 2.2, 3.6, 5.1]  # seconds of each recording
QUICK_LENGTHS = [1.0]
ATTEMPTS = 10
# Each player and the prefix of its figures: the 20 ms player's keep their first names.
PLAYERS = [("20 ms", ""), ("desktop", "desktop_player_")]
WINE_RING = 0.09  # s Wine's capture thread may be late before its 100 ms ring drops sound


class Pulse:
    """A PulseAudio simple stream of 16-bit stereo at RATE, with a given buffer (the server's
    default when None)."""

    class SampleFormat(ctypes.Structure):
        _fields_ = [("format", ctypes.c_int), ("rate", ctypes.c_uint32), ("channels", ctypes.c_uint8)]

    class BufferAttr(ctypes.Structure):
        _fields_ = [(name, ctypes.c_uint32) for name in ("maxlength", "tlength", "prebuf", "minreq", "fragsize")]

    PLAYBACK, RECORD, S16LE, DEFAULT = 1, 2, 3, 0xFFFFFFFF

    def __init__(self, direction, device, buffer_ms):
        self.lib = ctypes.CDLL("libpulse-simple.so.0")
        self.lib.pa_simple_new.restype = ctypes.c_void_p
        self.lib.pa_simple_get_latency.restype = ctypes.c_uint64
        self.lib.pa_simple_get_latency.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        for name in ("pa_simple_write", "pa_simple_read"):
            getattr(self.lib, name).argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p]
        attr = Pulse.BufferAttr(self.DEFAULT, self.DEFAULT, self.DEFAULT, self.DEFAULT, self.DEFAULT)
        if buffer_ms and direction == self.PLAYBACK:
            attr.tlength = buffer_ms * RATE // 1000 * 4
        elif buffer_ms:
            attr.fragsize = buffer_ms * RATE // 1000 * 4
        sample_format = Pulse.SampleFormat(self.S16LE, RATE, 2)
        self.error = ctypes.c_int()
        self.stream = self.lib.pa_simple_new(None, b"korvalin-fidelity", direction, device.encode(), b"fidelity",
                                             ctypes.byref(sample_format), None, ctypes.byref(attr), ctypes.byref(self.error))
        if not self.stream:
            sys.exit(f"fidelity: cannot open {device} (pulse error {self.error.value})")

    def write(self, data, idle=None):
        self.lib.pa_simple_write(self.stream, data, len(data), ctypes.byref(self.error))

    def read(self, size):
        buf = ctypes.create_string_buffer(size)
        if self.lib.pa_simple_read(self.stream, buf, size, ctypes.byref(self.error)) < 0:
            sys.exit(f"fidelity: monitor read failed (pulse error {self.error.value})")
        return buf.raw

    def latency(self):
        return self.lib.pa_simple_get_latency(self.stream, ctypes.byref(self.error)) / 1e6


class DesktopStream:
    """A playback stream of 16-bit stereo at RATE opened as plain paplay opens one: every buffer
    attribute the server's default and no latency adjustment. Both servers then keep 2 s for it
    (tlength 2 s, minreq 20 ms, prebuf tlength - minreq); PulseAudio's null sink renders up to
    1.96 s ahead, PipeWire runs the graph in quanta of 8192 frames (186 ms)."""

    NOTIFY = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)
    INTERPOLATE_TIMING, AUTO_TIMING_UPDATE = 0x2, 0x8  # for the latency reports only
    CONTEXT_READY, STREAM_READY = 4, 2  # states past these are failures
    NODATA = 8

    def __init__(self, device):
        lib = self.lib = ctypes.CDLL("libpulse.so.0")
        ptr, size = ctypes.c_void_p, ctypes.c_size_t
        for name, restype, *argtypes in (
                ("pa_threaded_mainloop_new", ptr), ("pa_threaded_mainloop_get_api", ptr, ptr),
                ("pa_threaded_mainloop_start", ctypes.c_int, ptr), ("pa_threaded_mainloop_lock", None, ptr),
                ("pa_threaded_mainloop_unlock", None, ptr), ("pa_threaded_mainloop_wait", None, ptr),
                ("pa_threaded_mainloop_signal", None, ptr, ctypes.c_int),
                ("pa_context_new", ptr, ptr, ctypes.c_char_p), ("pa_context_set_state_callback", None, ptr, ptr, ptr),
                ("pa_context_connect", ctypes.c_int, ptr, ctypes.c_char_p, ctypes.c_int, ptr),
                ("pa_context_get_state", ctypes.c_int, ptr), ("pa_stream_new", ptr, ptr, ctypes.c_char_p, ptr, ptr),
                ("pa_stream_set_state_callback", None, ptr, ptr, ptr),
                ("pa_stream_set_latency_update_callback", None, ptr, ptr, ptr),
                ("pa_stream_connect_playback", ctypes.c_int, ptr, ctypes.c_char_p, ptr, ctypes.c_int, ptr, ptr),
                ("pa_stream_get_state", ctypes.c_int, ptr), ("pa_stream_writable_size", size, ptr),
                ("pa_stream_write", ctypes.c_int, ptr, ptr, size, ptr, ctypes.c_int64, ctypes.c_int),
                ("pa_stream_get_latency", ctypes.c_int, ptr, ptr, ptr)):
            getattr(lib, name).restype = restype
            getattr(lib, name).argtypes = argtypes
        self.loop = lib.pa_threaded_mainloop_new()
        self.wake = self.NOTIFY(lambda *_: lib.pa_threaded_mainloop_signal(self.loop, 0))
        self.context = lib.pa_context_new(lib.pa_threaded_mainloop_get_api(self.loop), b"korvalin-fidelity")
        lib.pa_context_set_state_callback(self.context, ctypes.cast(self.wake, ptr), None)
        lib.pa_threaded_mainloop_lock(self.loop)
        lib.pa_threaded_mainloop_start(self.loop)
        lib.pa_context_connect(self.context, None, 0, None)
        self.await_state(lib.pa_context_get_state, self.context, self.CONTEXT_READY, device)
        sample_format = Pulse.SampleFormat(Pulse.S16LE, RATE, 2)
        self.stream = lib.pa_stream_new(self.context, b"fidelity", ctypes.byref(sample_format), None)
        lib.pa_stream_set_state_callback(self.stream, ctypes.cast(self.wake, ptr), None)
        lib.pa_stream_set_latency_update_callback(self.stream, ctypes.cast(self.wake, ptr), None)
        # Every attribute left to the server; no attributes at all would get libpulse's own 250 ms.
        attr = Pulse.BufferAttr(*[Pulse.DEFAULT] * 5)
        lib.pa_stream_connect_playback(self.stream, device.encode(), ctypes.byref(attr),
                                       self.INTERPOLATE_TIMING | self.AUTO_TIMING_UPDATE, None, None)
        self.await_state(lib.pa_stream_get_state, self.stream, self.STREAM_READY, device)
        lib.pa_threaded_mainloop_unlock(self.loop)

    def await_state(self, get_state, obj, ready, device):
        while (state := get_state(obj)) != ready:
            if state > ready:
                sys.exit(f"fidelity: cannot open {device} as a desktop player")
            self.lib.pa_threaded_mainloop_wait(self.loop)

    def write(self, data, idle):
        """Waits until the server asks for the data, calling idle() every 5 ms meanwhile: the server
        asks for nearly 2 s at once when PulseAudio's null sink renders, and the clock must go on."""
        self.lib.pa_threaded_mainloop_lock(self.loop)
        while self.lib.pa_stream_writable_size(self.stream) < len(data):
            self.lib.pa_threaded_mainloop_unlock(self.loop)
            time.sleep(0.005)
            idle()
            self.lib.pa_threaded_mainloop_lock(self.loop)
        self.lib.pa_stream_write(self.stream, data, len(data), None, 0, 0)
        self.lib.pa_threaded_mainloop_unlock(self.loop)

    def latency(self):
        usec, negative = ctypes.c_uint64(), ctypes.c_int()
        self.lib.pa_threaded_mainloop_lock(self.loop)
        while self.lib.pa_stream_get_latency(self.stream, ctypes.byref(usec), ctypes.byref(negative)) == -self.NODATA:
            self.lib.pa_threaded_mainloop_wait(self.loop)
        self.lib.pa_threaded_mainloop_unlock(self.loop)
        return -usec.value / 1e6 if negative.value else usec.value / 1e6


def play(signal_path, log_path, desktop):
    # Ahead of the busy core and the recorder, as a sound source is: a dry player costs a redo.
    try:
        os.nice(-10)
    except OSError:
        pass
    data = open(signal_path, "rb").read()
    out = DesktopStream(SINK) if desktop else Pulse(Pulse.PLAYBACK, SINK, 20)
    step = CHUNK_FRAMES * 4
    written = 0
    with open(log_path, "w", buffering=1) as log:
        def report():
            log.write(f"{time.monotonic():.6f} {written} {out.latency():.6f}\n")

        for pos in range(0, len(data), step):
            out.write(data[pos:pos + step], report)
            written = (pos + step) // 4
            report()


def monitor(out_path, log_path, desktop):
    # A monitor that asks for short fragments makes the sink render in them: beside the desktop
    # player it asks for the server's default, as plain parec does.
    source = Pulse(Pulse.RECORD, SINK + ".monitor", None if desktop else 10)
    frames = 0
    with open(out_path, "wb", buffering=0) as out, open(log_path, "w", buffering=1) as log:
        while True:
            data = source.read(RATE // 100 * 4)
            frames += len(data) // 4
            out.write(data)
            log.write(f"{time.monotonic():.6f} {frames} {source.latency():.6f}\n")


def make_signal(seed, seconds):
    """Stereo noise, different per channel, nothing above 5 kHz, as int16 frames."""
    n = int(seconds * RATE)
    spectrum = np.fft.rfft(np.random.default_rng(seed).standard_normal((n, 2)), axis=0)
    spectrum[int(5000 * n / RATE):] = 0
    noise = np.fft.irfft(spectrum, n, axis=0)
    return np.clip(noise / noise.std() * 5000, -30000, 30000).astype(np.int16)


def played_for(log_path):
    """How long the player has reported without a pause of 0.1 s (s): a stream may wait a while
    before it plays, and the desktop player's first 4 s of writes take no time at all."""
    times = read_log(log_path)[:, 0]
    pauses = np.flatnonzero(np.diff(times) > 0.1)
    return times[-1] - times[pauses[-1] + 1 if len(pauses) else 0] if len(times) else 0.0


def read_log(path):
    rows = [line.split() for line in open(path) if len(line.split()) == 3]
    return np.array(rows, dtype=float).reshape(-1, 3)


class Driver:
    """The click driver under Wine: commands in, stamped answers out."""

    def __init__(self, wine_exec, exe, dist, trace):
        # Wine's trace of its device threads goes to TRACE, stamped with its tick count.
        self.process = subprocess.Popen(["bash", wine_exec, "--interactive", exe], cwd=dist, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=open(trace, "w"), text=True, bufsize=1,
                                        env=dict(os.environ, WINEDEBUG="-all,trace+winmm,+timestamp"
                                                 + os.environ.get("KORVALIN_FIDELITY_WINEDEBUG", "")))
        self.expect("ready")

    def expect(self, word):
        line = self.process.stdout.readline().strip()
        if not line.startswith(word):
            sys.exit(f"fidelity: the click driver said {line!r}, expected {word!r}")
        return line.split()[1:]

    def command(self, letter):
        self.process.stdin.write(letter + "\n")
        self.process.stdin.flush()
        return self.expect(letter)

    def offset(self):
        """(driver clock - CLOCK_MONOTONIC, half the round trip, Wine's trace clock - CLOCK_MONOTONIC)
        from the tightest of a few pings."""
        best = None
        for _ in range(7):
            sent = time.monotonic()
            stamp, ticks = map(float, self.command("p"))
            back = time.monotonic()
            if best is None or back - sent < 2 * best[1]:
                best = (stamp - (sent + back) / 2, (back - sent) / 2, ticks - (sent + back) / 2)
        return best

    def click(self, letter):
        """The click's moment on CLOCK_MONOTONIC, the bound of its error, how long the program took
        to handle it (s), and the rest of the answer."""
        offset, error, self.trace_offset = self.offset()
        answer = self.command(letter)
        return float(answer[0]) - offset, error, float(answer[1]) - float(answer[0]), answer[2:]

    def close(self):
        self.command("q")
        self.process.wait(timeout=20)


class Attempt:
    """One recording: its player, its monitor, the clicks, the file."""

    def __init__(self, work, index, seconds, player):
        self.seconds = seconds
        self.player = player
        self.name = os.path.join(work, f"rec{index}")
        # The desktop player writes 4 s ahead of what the sink plays, and must not end first.
        self.signal = make_signal(1000 + index, seconds + (10 if player == "desktop" else 6))
        self.signal.tofile(self.name + ".signal")

    def record(self, driver, dist, here):
        for name in ("test.wav", "test.mp3"):
            if os.path.exists(os.path.join(dist, name)):
                os.remove(os.path.join(dist, name))
        procs = []
        try:
            procs.append(self.start(here, "monitor", self.player, self.name + ".monitor", self.name + ".monitor.log"))
            procs.append(self.start(here, "play", self.player, self.name + ".signal", self.name + ".play.log"))
            deadline = time.monotonic() + 10
            while played_for(self.name + ".play.log") < 0.5:  # half a second of steady playing
                if time.monotonic() > deadline or procs[-1].poll() is not None:
                    sys.exit("fidelity: the player did not start")
                time.sleep(0.05)
            self.t_record, self.e_record, self.h_record, _ = driver.click("r")
            time.sleep(max(0.0, self.t_record + self.seconds - time.monotonic()))
            self.t_stop, self.e_stop, self.h_stop, rest = driver.click("s")
            if rest != ["1"]:
                sys.exit("fidelity: Record did not come back after Stop")
            # The desktop player's sink hands the monitor its sound in bursts of up to 2 s.
            deadline = time.monotonic() + 5
            while not self.monitor_heard(self.t_stop + 0.3) and time.monotonic() < deadline:
                time.sleep(0.05)
        finally:
            for proc in procs:  # the monitor first: the player's end must not look like a dry run
                proc.send_signal(signal.SIGTERM)
                proc.wait()
        shutil.copy(os.path.join(dist, "test.wav"), self.name + ".wav")
        with open(self.name + ".clicks", "w") as clicks:
            clicks.write(f"record {self.t_record:.6f} {self.e_record:.6f}\nstop {self.t_stop:.6f} {self.e_stop:.6f}\n")

    @staticmethod
    def start(here, what, player, data, log):
        open(log, "w").close()
        return subprocess.Popen([sys.executable, here, what, player, data, log])

    def play_estimates(self):
        """(CLOCK_MONOTONIC, the moment signal time 0 played by it) for each player report over the
        recording and half a second either side."""
        log = read_log(self.name + ".play.log")
        log = log[(log[:, 0] > self.t_record - 0.5) & (log[:, 0] < self.t_stop + 0.5)]
        return log[:, 0], log[:, 0] - (log[:, 1] / RATE - log[:, 2])

    def zero_at(self, t):
        """The moment signal time 0 played, from the player's reports within a quarter second of t
        (the sink's clock may drift from this machine's by a few ms a second, as PipeWire's does)."""
        times, zero = self.play_estimates()
        return float(np.median(zero[np.abs(times - t) < 0.25]))

    def clock_step(self):
        """The largest jump of the player's clock between tenths of a second (s): a dry player
        stops the signal, so every later frame plays later; a drift or a late report does not jump."""
        times, zero = self.play_estimates()
        tenths = np.floor((times - times[0]) * 10)
        medians = [np.median(zero[tenths == k]) for k in np.unique(tenths)]
        return float(np.max(np.abs(np.diff(medians)))) if len(medians) > 1 else 0.0

    def signal_frame(self, t):
        """The signal frame the sink played at time t, by the clock the sink had at the nearer click."""
        return int((t - self.zero_at(self.t_record if t < self.t_stop else self.t_stop)) * RATE)

    def monitor_heard(self, t):
        """Whether the monitor has heard the signal up to what the sink played at time t."""
        mon = np.fromfile(self.name + ".monitor", dtype=np.int16).reshape(-1, 2)
        sound = np.flatnonzero(np.any(mon != 0, axis=1)[:RATE * 10])
        return len(sound) > 0 and len(mon) - sound[0] >= self.signal_frame(t)

    def ran_dry(self):
        """How the player showed that it ran dry during this recording, or None."""
        mon = np.fromfile(self.name + ".monitor", dtype=np.int16).reshape(-1, 2)
        sound = np.flatnonzero(np.any(mon != 0, axis=1))
        if len(sound) == 0:
            return "the monitor heard nothing"
        # Only the sound the sink played from a little before Record to a little after Stop, the
        # first sound the monitor heard being the signal's first frame.
        span = (sound >= sound[0] + self.signal_frame(self.t_record - 0.3)) & \
               (sound <= sound[0] + self.signal_frame(self.t_stop + 0.3))
        silent = np.flatnonzero((np.diff(sound) > DRY_RUN) & span[:-1])
        if len(silent):
            return f"{np.diff(sound)[silent[0]] - 1} frames of silence at monitor frame {sound[silent[0]] + 1}"
        # PipeWire's latency reports for the desktop player wander by some 30 ms a second, and 2 s
        # of buffer do not run dry: only the 20 ms player's clock tells.
        step = self.clock_step() if self.player != "desktop" else 0.0
        if step > CLOCK_JUMP:
            return f"the player's clock jumped by {step * 1e3:.1f} ms"
        return None

    def wine_late(self, trace, offset):
        """How long Wine's capture thread was kept from running during this recording, when longer
        than its 100 ms ring holds: Wine then drops sound the program never saw. Else None."""
        last, worst = {}, 0.0
        for line in open(trace, errors="replace"):
            if m := re.match(r"(\d+\.\d+):(\w+):trace:winmm:WID_PullData", line):
                at = float(m[1]) - offset
                if last.get(m[2], 0) > self.t_record and at < self.t_stop + 0.1:
                    worst = max(worst, at - last[m[2]])
                last[m[2]] = at
        return f"Wine's capture thread ran {worst * 1e3:.0f} ms late" if worst > WINE_RING else None

    def monitor_lead(self, zero):
        """How much earlier the monitor had a frame than the sink's clock played it (s): a frame
        cannot be read before it reached the monitor, so the earliest read over the recording
        bounds its arrival (the latency the monitor stream reports is not used)."""
        mon = np.fromfile(self.name + ".monitor", dtype=np.int16).reshape(-1, 2).astype(float)
        log = read_log(self.name + ".monitor.log")
        log = log[(log[:, 0] > self.t_record) & (log[:, 0] < self.t_stop)]
        if len(log) == 0 or log[0, 1] < 2 * WINDOW:
            return float("nan")
        frame = int(log[0, 1]) - 2 * WINDOW
        pos, score = Locator(self.signal, 1).find(mon[frame:frame + 2 * WINDOW])
        if score < MATCH:
            return float("nan")
        return zero - np.min(log[:, 0] - (log[:, 1] - frame + pos) / RATE)


class Locator:
    """Finds windows of a recording in the known signal; positions in signal frames (RATE)."""

    def __init__(self, signal, step):
        # A recording at RATE / step holds one of `step` decimations of the signal.
        self.step = step
        self.refs = [signal[phase::step].astype(float) for phase in range(step)]
        n = len(self.refs[0])
        self.size = 1 << int(np.ceil(np.log2(n + 2 * WINDOW)))
        self.spectra = [np.fft.rfft(ref[:, 0], self.size) for ref in self.refs]
        self.energy = [np.concatenate(([0.0], np.cumsum(ref[:, 0] ** 2))) for ref in self.refs]

    def find(self, window, near=None):
        """(signal frame of the window's first frame, its least correlation over both channels)."""
        best = (0, -1.0)
        for phase, ref in enumerate(self.refs):
            w = len(window)
            if near is None:
                corr = np.fft.irfft(self.spectra[phase] * np.conj(np.fft.rfft(window[:, 0], self.size)),
                                    self.size)[:len(ref) - w + 1]
                first = 0
            else:
                first = max(0, near // self.step - 2 * WINDOW)
                seg = ref[first:near // self.step + 3 * WINDOW, 0]
                if len(seg) < w:
                    continue
                corr = np.correlate(seg, window[:, 0], "valid")
            energy = self.energy[phase][first + w:first + w + len(corr)] - self.energy[phase][first:first + len(corr)]
            lag = first + int(np.argmax(corr / np.sqrt(np.maximum(energy, 1e-9))))
            score = min(self.score(window[:, c], ref[lag:lag + w, c]) for c in (0, 1))
            if score > best[1]:
                best = (lag * self.step + phase, score)
        return best

    def match(self, window, pos):
        """The least correlation over both channels of a window with the signal from frame pos."""
        if pos < 0:
            return -1.0
        ref = self.refs[pos % self.step][pos // self.step:]
        return min(self.score(window[:, c], ref[:len(window), c]) for c in (0, 1))

    @staticmethod
    def score(a, b):
        if len(a) != len(b):
            return -1.0
        return float(np.dot(a, b) / (np.linalg.norm(a) * np.linalg.norm(b) + 1e-9))


def unmatched(rec, start, end, good, locator):
    """(file frame, signal frames) of each short stretch of a window that failed to match that is
    the signal in order neither with the window before it nor with the one after."""
    step = locator.step
    offsets = [p - s * step for s, p in good if s < start][-1:] + [p - s * step for s, p in good if s > start][:1]
    faults = []
    for at in range(start, end, SUB_WINDOW):
        piece = rec[at:min(at + SUB_WINDOW, end)]
        if max(locator.match(piece, at * step + offset) for offset in offsets) < MATCH:
            faults.append((at, len(piece) * step))
    return faults


def analyse(attempt):
    """The three figures of one recording (ms) and its window count."""
    with wave.open(attempt.name + ".wav") as wav:
        if (wav.getnchannels(), wav.getsampwidth()) != (2, 2):
            sys.exit(f"fidelity: {attempt.name}.wav is not 16-bit stereo")
        step = RATE // wav.getframerate()
        rec = np.frombuffer(wav.readframes(wav.getnframes()), dtype=np.int16).reshape(-1, 2).astype(float)
    if len(rec) < 2 * WINDOW:
        # Nothing to place: what is missing counts as lost at the end, where it cannot be told.
        missing = attempt.t_stop - attempt.t_record - len(rec) / (RATE / step)
        print(f"capture fidelity, {attempt.player} player: {attempt.seconds:.1f} s asked, "
              f"{len(rec) / (RATE / step):.3f} s recorded: too little to place, {missing * 1e3:.1f} ms missing",
              file=sys.stderr)
        return float("nan"), missing * 1e3, float("nan")
    locator = Locator(attempt.signal, step)
    starts = list(range(0, len(rec) - WINDOW, WINDOW)) + [len(rec) - WINDOW]
    found, near = [], None
    for start in starts:
        pos, score = locator.find(rec[start:start + WINDOW], near)
        if score < MATCH and near is not None:
            pos, score = locator.find(rec[start:start + WINDOW])
        found.append((start, pos, score))
        if score >= MATCH:
            near = pos + (WINDOW if start + 2 * WINDOW <= len(rec) else len(rec) - WINDOW - start) * step
    good = [(s, p) for s, p, score in found if score >= MATCH]
    if not good:
        sys.exit(f"fidelity: nothing in {attempt.name}.wav is the played signal")
    ends = [s for s, _, _ in found[1:]] + [len(rec)]
    faults = [fault for (s, _, score), end in zip(found, ends) if score < MATCH
              for fault in unmatched(rec, s, end, good, locator)]
    # A window may fall on either decimation of the signal: one signal frame is no jump.
    faults += [(s2, (p2 - p1) - (s2 - s1) * step) for (s1, p1), (s2, p2) in zip(good, good[1:])
               if abs((p2 - p1) - (s2 - s1) * step) >= step]
    gap = sum(abs(size) for _, size in faults)
    where = ", ".join(f"{at / (RATE / step):.3f} s {size / RATE * 1e3:+.1f} ms" for at, size in sorted(faults))
    zero = attempt.zero_at(attempt.t_record)
    first = good[0][1] - good[0][0] * step
    end = good[-1][1] + (len(rec) - good[-1][0]) * step
    start_loss = first / RATE - (attempt.t_record - zero)
    stop_loss = (attempt.t_stop - attempt.zero_at(attempt.t_stop)) - end / RATE
    short = attempt.t_stop - attempt.t_record - len(rec) / (RATE / step)
    print(f"capture fidelity, {attempt.player} player: {attempt.seconds:.1f} s asked, {len(rec) / (RATE / step):.3f} s "
          f"recorded (short by {short * 1e3:.1f} ms): "
          f"start loss {start_loss * 1e3:.1f} ms, stop loss {stop_loss * 1e3:.1f} ms, gap {gap / RATE * 1e3:.1f} ms, "
          f"{len(found)} windows (least match {min(s for _, _, s in found):.3f}); clicks known to "
          f"{attempt.e_record * 1e3:.2f}/{attempt.e_stop * 1e3:.2f} ms and handled in {attempt.h_record * 1e3:.1f}/"
          f"{attempt.h_stop * 1e3:.1f} ms, play clock drift {(attempt.zero_at(attempt.t_stop) - zero) * 1e3:+.2f} ms, "
          f"monitor ahead of the sink's clock by {attempt.monitor_lead(zero) * 1e3:.1f} ms"
          + (f"; sound skipped or unmatched (+), repeated (-) in the file at {where}" if where else ""), file=sys.stderr)
    return start_loss * 1e3, stop_loss * 1e3, gap / RATE * 1e3


def run(args):
    quick = bool(os.environ.get("KORVALIN_BENCH_QUICK"))
    here = os.path.abspath(__file__)
    keep = os.environ.get("KORVALIN_FIDELITY_KEEP")
    work = keep or tempfile.mkdtemp(prefix="korvalin-fidelity.")
    os.makedirs(work, exist_ok=True)
    busy = subprocess.Popen(["sh", "-c", "while :; do :; done"])  # the other core, kept busy
    figures, redone = {player: [] for player, _ in PLAYERS}, 0
    try:
        trace = os.path.join(work, "wine.trace")
        driver = Driver(args.wine, args.driver, args.dist, trace)
        index = 0
        for player, _ in PLAYERS:
            for seconds in QUICK_LENGTHS if quick else LENGTHS:
                for _ in range(ATTEMPTS):
                    attempt = Attempt(work, index, seconds, player)
                    index += 1
                    attempt.record(driver, args.dist, here)
                    dry = attempt.ran_dry()
                    lost = f"the player ran dry ({dry})" if dry else attempt.wine_late(trace, driver.trace_offset)
                    if lost is None:
                        figures[player].append(analyse(attempt))
                        break
                    redone += 1
                    print(f"capture fidelity, {player} player: {lost}; recording again", file=sys.stderr)
                else:
                    sys.exit(f"fidelity: the source lost sound in {ATTEMPTS} recordings of {seconds} s in a row")
        driver.close()
    finally:
        busy.kill()
        busy.wait()
        if not keep:
            shutil.rmtree(work, ignore_errors=True)
    for player, prefix in PLAYERS:
        note = f"{player} player; " + ("quick: one recording, not a measurement" if quick else
                                       f"worst of {len(figures[player])} stereo recordings, a core busy, {redone} "
                                       f"redone in all for a dry player or a late Wine")
        unplaced = sum(np.isnan(f[0]) for f in figures[player])
        if unplaced:
            note += f"; {unplaced} held too little to place, their missing sound counted as stop loss"
        for name, column, target in (("start_loss_ms", 0, "<= 30"), ("stop_loss_ms", 1, "<= 20"), ("gap_ms", 2, "0")):
            each = [f[column] for f in figures[player]]
            worst = max(each, key=lambda v: -np.inf if np.isnan(v) else v)
            print(f"capture_{prefix}{name} {worst:.1f} ms ({note}; each {' '.join(f'{v:.1f}' for v in each)}; "
                  f"target {target})")


def main():
    if len(sys.argv) == 5 and sys.argv[1] in ("play", "monitor"):
        signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
        (play if sys.argv[1] == "play" else monitor)(sys.argv[3], sys.argv[4], sys.argv[2] == "desktop")
        return
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["run"])
    parser.add_argument("--driver", required=True)
    parser.add_argument("--dist", required=True)
    parser.add_argument("--wine", required=True)
    run(parser.parse_args())


if __name__ == "__main__":
    main()
