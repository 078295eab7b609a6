#!/usr/bin/python3
"""What a recording costs the machine: CPU seconds per recorded minute.

A player plays a stereo tone into the null sink the whole time; each side records its monitor
for 60 s at 22050 Hz 16-bit stereo, one after the other, three times in turn:
  program  the real program, driven by the click driver: Stereo, Wave and Mp3 ticked, the view
           drawn, Record, wait, Stop (until Record is back: the files are closed);
  bare     bare_capture.exe under the same Wine: the program's buffers (22 of 2048 bytes,
           CALLBACK_WINDOW), each returned buffer queued again and nothing else, the floor any
           WinMM recorder pays here;
  native   parec | tee | lame, what a Linux user could run instead: tee appends the stream to
           a WAV header written before it (its sizes are set afterwards), lame encodes CBR
           128 kbit/s with the program's settings.
Each process's CPU is utime + stime from /proc/PID/stat: the recorder's own process (Korvalin.exe
or bare_capture.exe, all its threads, Wine's included; for native parec, tee and lame from their
start to their end) from just before Record to Stop's return, and over the same time its
wineserver, the sound server (every process of the private server: PulseAudio, or PipeWire,
pipewire-pulse and WirePlumber) and the X server (the private Xvfb). The servers' time is the
stream's share: each less its rate over an idle stretch of the same length measured first, with
the player playing and the program open, not recording, as it stays while the others record.
Every figure is per minute of wall time recorded, the median of the three repeats with their
range; a ratio is taken within each repeat. Each side's files must hold the tone for the time it
recorded (sox, mpg123), or no figure is printed.

python3 recording_cost.py run --driver EXE --bare EXE --dist DIR --wine WINE_EXEC
KORVALIN_BENCH_QUICK: one repeat of three seconds a side, lines marked quick.
KORVALIN_COST_SECONDS sets the length; KORVALIN_COST_SIDES the sides run (e.g. "program");
KORVALIN_COST_UNTICK control ids the driver clicks before recording (1014 Wave, 1015 Mp3: what the
program costs without them); KORVALIN_COST_SHOT a PNG of the screen taken halfway through the
program's recording (the X server's figure then counts it).
"""
import argparse
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

RATE = 22050
BLOCK_FRAMES = 512  # the program's and the bare loop's capture block: 2048 bytes of stereo
SINK = os.environ.get("KORVALIN_SINK", "korvalin_out")
TICK = os.sysconf("SC_CLK_TCK")
LAME = ["-q", "5", "-b", "128", "-m", "j", "--nores", "--noreplaygain"]
SOUND_SERVERS = ("pulseaudio", "pipewire-pulse", "pipewire", "wireplumber")
IDC_STEREO = 1007
REPEATS = 3


def cpu(pid):
    """utime + stime of a process, all its threads, in seconds; "PID/task/TID" for one thread."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def environ(pid):
    try:
        with open(f"/proc/{pid}/environ", "rb") as env:
            return dict(item.split(b"=", 1) for item in env.read().split(b"\0") if b"=" in item)
    except OSError:
        return {}


def processes():
    """(pid, comm, cmdline) of every process."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/comm") as comm, open(f"/proc/{entry}/cmdline", "rb") as cmdline:
                yield int(entry), comm.read().strip(), cmdline.read().split(b"\0")
        except OSError:
            continue


def ours(pid, variable):
    return environ(pid).get(variable.encode()) == os.environ[variable].encode()


def find(what, match, wait=10.0):
    """The pids of the processes that match, waiting until there is one."""
    deadline = time.monotonic() + wait
    while True:
        found = [pid for pid, comm, cmdline in processes() if match(pid, comm, cmdline)]
        if found or time.monotonic() > deadline:
            break
        time.sleep(0.1)
    if not found:
        sys.exit(f"recording cost: no {what} found")
    return found


def wine_process(exe):
    """The Unix process of a Windows program run in this Wine prefix."""
    name = exe.lower().encode()
    return find(exe, lambda pid, comm, cmdline: any(arg.lower().endswith(name) for arg in cmdline[:1])
                and ours(pid, "WINEPREFIX"))


class Meter:
    """CPU seconds of named groups of processes between two snapshots."""

    def __init__(self, groups):
        self.groups = groups

    def snapshot(self):
        return time.monotonic(), {name: sum(cpu(pid) for pid in pids) for name, pids in self.groups.items()}

    @staticmethod
    def spent(first, last):
        return last[0] - first[0], {name: last[1][name] - first[1][name] for name in first[1]}


class Commanded:
    """A Windows program under Wine driven one line at a time, as the click driver is."""

    def __init__(self, wine_exec, exe, dist):
        self.process = subprocess.Popen(["bash", wine_exec, "--interactive", exe], cwd=dist, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, bufsize=1)
        self.ready = self.expect("ready")

    def expect(self, word):
        line = self.process.stdout.readline().strip()
        if not line.startswith(word):
            sys.exit(f"recording cost: {self.process.args[-1]} said {line!r}, expected {word!r}")
        return line.split()[1:]

    def command(self, text):
        self.process.stdin.write(text + "\n")
        self.process.stdin.flush()
        return self.expect(text[0])

    def close(self):
        self.command("q")
        self.process.wait(timeout=30)


def hold(until):
    time.sleep(max(0.0, until - time.monotonic()))


def record(meter, recorder, seconds, halfway=None):
    """Record to Stop's return on one recorder; (wall seconds, CPU seconds by group, Stop's answer)."""
    first = meter.snapshot()
    recorder.command("r")
    if halfway:
        hold(first[0] + seconds / 2)
        halfway()
    hold(first[0] + seconds)
    answer = recorder.command("s")
    wall, spent = Meter.spent(first, meter.snapshot())
    return wall, spent, answer


def sound_stat(path, *raw):
    """(seconds, RMS amplitude) of a sound file, as sox reads it."""
    out = subprocess.run(["sox", *raw, path, "-n", "stat"], capture_output=True, text=True).stderr
    values = dict(re.findall(r"^(Length \(seconds\)|RMS\s+amplitude):\s+(\S+)", out, re.M))
    if len(values) < 2:
        sys.exit(f"recording cost: sox cannot read {path}: {out.strip()}")
    return float(values["Length (seconds)"]), float(values["RMS     amplitude"])


def check_sound(what, path, wall, lead, *raw):
    """The file holds the tone for the recording's time, less what the recorder takes to start."""
    seconds, rms = sound_stat(path, *raw)
    print(f"recording cost: {what} holds {seconds:.2f} s of {wall:.2f} s recorded, RMS {rms:.3f}", file=sys.stderr)
    if seconds < wall - lead or seconds > wall + 0.5 or rms < 0.1:
        sys.exit(f"recording cost: {what} is not the tone recorded for {wall:.2f} s")


def check_mp3(what, path, wall, lead, work):
    decoded = os.path.join(work, "decoded.wav")
    subprocess.run(["mpg123", "-q", "-w", decoded, path], check=True)
    check_sound(what, decoded, wall, lead)


def start_player(work):
    """A stereo tone (440 Hz left, 660 Hz right) played into the sink for as long as the run takes."""
    tone = subprocess.Popen(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed", "-t", "raw", "-",
                             "synth", "7200", "sine", "440", "sine", "660", "gain", "-6"], stdout=subprocess.PIPE)
    player = subprocess.Popen(["pacat", "--raw", "--rate=44100", "--channels=2", "--format=s16le",
                               "--latency-msec=50", "-d", SINK], stdin=tone.stdout)
    tone.stdout.close()
    return [player, tone]


def wav_header(frames):
    size = frames * 4
    return struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + size, b"WAVE", b"fmt ", 16, 1, 2, RATE, RATE * 4, 4, 16,
                       b"data", size)


def native(meter, seconds, work):
    """parec | tee | lame for `seconds`; (wall, CPU by group with 'recorder' the three together)."""
    wav, mp3 = os.path.join(work, "native.wav"), os.path.join(work, "native.mp3")
    with open(wav, "wb") as out:
        out.write(wav_header(0))
    first = meter.snapshot()
    parec = subprocess.Popen(["parec", "--raw", f"--rate={RATE}", "--channels=2", "--format=s16le", "-d",
                              SINK + ".monitor"], stdout=subprocess.PIPE)
    tee = subprocess.Popen(["tee", "-a", wav], stdin=parec.stdout, stdout=subprocess.PIPE)
    parec.stdout.close()
    lame = subprocess.Popen(["lame", "--quiet", "-r", "-s", "22.05", "--bitwidth", "16", "--signed",
                             "--little-endian", *LAME, "-", mp3], stdin=tee.stdout, stderr=subprocess.DEVNULL)
    tee.stdout.close()
    hold(first[0] + seconds)
    parec.send_signal(signal.SIGINT)
    used = 0.0
    for proc in (parec, tee, lame):
        # Read before it is reaped: a finished process keeps its times until then.
        os.waitid(os.P_PID, proc.pid, os.WEXITED | os.WNOWAIT)
        used += cpu(proc.pid)
        if proc.wait() != 0:
            sys.exit(f"recording cost: {proc.args[0]} failed ({proc.returncode})")
    wall, spent = Meter.spent(first, meter.snapshot())
    spent["recorder"] = used
    frames = (os.path.getsize(wav) - 44) // 4
    with open(wav, "r+b") as out:
        out.write(wav_header(frames))
    return wall, spent, wav, mp3


def threads(side, wall, spent):
    """The window's thread apart from the rest (Wine's device and sound-server threads), on stderr."""
    main = spent["main"] * 60 / wall
    print(f"recording cost: {side}: its window's thread {main:.3f} s/min, its other threads "
          f"{spent['recorder'] * 60 / wall - main:.3f} s/min", file=sys.stderr)


def program_side(meter, program, seconds, dist, work, shot):
    for name in ("test.wav", "test.mp3"):
        if os.path.exists(os.path.join(dist, name)):
            os.remove(os.path.join(dist, name))
    take_shot = (lambda: subprocess.run(["import", "-window", "root", shot], check=True)) if shot else None
    wall, spent, answer = record(meter, program, seconds, take_shot)
    if answer[-1:] != ["1"]:
        sys.exit("recording cost: Record did not come back after Stop")
    untick = os.environ.get("KORVALIN_COST_UNTICK", "").split()
    if "1014" not in untick:
        check_sound("the program's WAV", os.path.join(dist, "test.wav"), wall, 0.5)
    if "1015" not in untick:
        check_mp3("the program's MP3", os.path.join(dist, "test.mp3"), wall, 0.5, work)
    threads("program", wall, spent)
    return wall, spent


def bare_side(servers, args, seconds):
    bare = Commanded(args.wine, args.bare, args.dist)
    recorder = wine_process(os.path.basename(args.bare))
    meter = Meter(dict(servers, recorder=recorder, main=[f"{pid}/task/{pid}" for pid in recorder]))
    wall, spent, (blocks, peak) = record(meter, bare, seconds)
    bare.close()
    print(f"recording cost: the bare loop got {blocks} blocks from {' '.join(bare.ready)}, loudest {peak}",
          file=sys.stderr)
    if int(blocks) < (wall - 0.5) * RATE / BLOCK_FRAMES or int(peak) < 4000:
        sys.exit(f"recording cost: the bare loop did not record the tone for {wall:.2f} s")
    threads("bare", wall, spent)
    return wall, spent


def native_side(servers, seconds, work):
    wall, spent, wav, mp3 = native(Meter(servers), seconds, work)
    # parec hands over its first sound late and drops up to 0.8 s at its end.
    check_sound("the native WAV", wav, wall, 1.5)
    check_mp3("the native MP3", mp3, wall, 1.5, work)
    return wall, spent


def run(args):
    quick = bool(os.environ.get("KORVALIN_BENCH_QUICK"))
    seconds = float(os.environ.get("KORVALIN_COST_SECONDS") or (3 if quick else 60))
    repeats = 1 if quick else REPEATS
    sides = (os.environ.get("KORVALIN_COST_SIDES") or "program bare native").split()
    shot = os.environ.get("KORVALIN_COST_SHOT")
    work = tempfile.mkdtemp(prefix="korvalin-cost.")
    players = start_player(work)
    results = {side: [] for side in sides}
    try:
        servers = {
            "sound": find("sound server", lambda pid, comm, _: comm in SOUND_SERVERS and ours(pid, "XDG_RUNTIME_DIR")),
            "x": find("X server", lambda pid, comm, cmdline: comm == "Xvfb" and
                      cmdline[1:2] == [os.environ["DISPLAY"].encode()]),
        }
        # The program stays open, not recording, while the others record: as in the idle stretch.
        program = Commanded(args.wine, args.driver, args.dist)
        servers["wine"] = find("wineserver", lambda pid, comm, _: comm.startswith("wineserver") and
                               ours(pid, "WINEPREFIX"))
        recorder = wine_process("Korvalin.exe")
        meter = Meter(dict(servers, recorder=recorder, main=[f"{pid}/task/{pid}" for pid in recorder]))
        for control in [IDC_STEREO] + os.environ.get("KORVALIN_COST_UNTICK", "").split():
            program.command(f"c {control}")
        time.sleep(1)  # the program's start has settled
        first = meter.snapshot()
        hold(first[0] + seconds)
        wall, idle = Meter.spent(first, meter.snapshot())
        idle_rate = {name: idle[name] / wall for name in servers}
        print("recording cost: idle, CPU s a minute: " + ", ".join(f"{name} {idle[name] / wall * 60:.3f}"
                                                                   for name in idle), file=sys.stderr)
        for _ in range(repeats):
            if "program" in sides:
                results["program"].append(program_side(meter, program, seconds, args.dist, work, shot))
            if "bare" in sides:
                results["bare"].append(bare_side(servers, args, seconds))
            if "native" in sides:
                results["native"].append(native_side(servers, seconds, work))
        program.close()
    finally:
        for proc in players:
            proc.kill()
            proc.wait()
        shutil.rmtree(work, ignore_errors=True)
    report(results, idle_rate, seconds, quick)


def report(results, idle_rate, seconds, quick):
    def per_minute(side, name):
        """The figure of each repeat: CPU s per minute recorded, a server's less its idle rate."""
        values = []
        for wall, spent in results[side]:
            share = spent[name] - (idle_rate[name] * wall if name in idle_rate else 0)
            values.append(share * 60 / wall)
        return values

    def total(side, names):
        return [sum(v) for v in zip(*(per_minute(side, name) for name in names))]

    how = {
        "program": "Korvalin.exe, stereo WAV+MP3 with the view drawn",
        "bare": "bare WinMM capture loop, the program's buffers",
        "native": "parec | tee | lame, WAV + MP3 CBR 128",
    }
    lines = []
    for side in results:
        lines.append((f"recording_cost_{side}_cpu", per_minute(side, "recorder"),
                      f"{how[side]}: its process" + ("es" if side == "native" else "") + ", /proc utime+stime"))
        if side != "native":
            lines.append((f"recording_cost_{side}_wineserver_cpu", per_minute(side, "wine"),
                          "its wineserver, less its idle rate"))
        lines.append((f"recording_cost_{side}_sound_server_cpu", per_minute(side, "sound"),
                      "the sound server's processes during it, less their idle rate"))
        lines.append((f"recording_cost_{side}_x_server_cpu", per_minute(side, "x"),
                      "Xvfb during it, less its idle rate"))
    if "program" in results:
        program = total("program", ("recorder", "wine"))
        lines.append(("recording_cost_program_with_wineserver_cpu", program,
                      "the program's process and wineserver; target <= 4.0"))
        if "bare" in results:
            lines.append(("recording_cost_program_vs_bare_ratio",
                          [p / b for p, b in zip(program, total("bare", ("recorder", "wine")))],
                          "program + wineserver against the bare loop's, same repeat; target <= 1.5"))
        if "native" in results:
            lines.append(("recording_cost_program_vs_native_ratio",
                          [p / n for p, n in zip(total("program", ("recorder", "wine", "sound", "x")),
                                                 total("native", ("recorder", "sound", "x")))],
                          "the program's process, wineserver, sound and X server against the native "
                          "pipeline's processes, sound and X server, same repeat"))
    for name, values, what in lines:
        values = sorted(values)
        median = values[len(values) // 2] if len(values) % 2 else sum(values[len(values) // 2 - 1:][:2]) / 2
        ratio = name.endswith("_ratio")
        unit, decimals = ("ratio", 2) if ratio else ("s/min", 3)
        what = what if ratio else f"CPU s per recorded minute: {what}"
        spread = "quick: not a measurement" if quick else \
            f"{values[0]:.{decimals}f} to {values[-1]:.{decimals}f} over {len(values)} repeats of {seconds:.0f} s"
        print(f"{name} {median:.{decimals}f} {unit} ({what}; {spread})")
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["run"])
    parser.add_argument("--driver", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--dist", required=True)
    parser.add_argument("--wine", required=True)
    run(parser.parse_args())


if __name__ == "__main__":
    main()
