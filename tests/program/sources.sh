# Sourced by recordings.sh, and again after a case restarted the sound server (from the program's
# Chinese locale, hence the player's C locale: its log is read for "underrun"): the test tones and
# what tells the source's silence from the recorder's. Needs $out and the session's SESSION_PIDS.

play() { # sink file: plays it as a desktop player does, with the server's long default buffers,
  # logging each underrun with the time it happened; its PID in sink.pid
  LC_ALL=C paplay -v -d "$1" "$2" >/dev/null \
    2> >(stdbuf -oL tr '\r' '\n' | while IFS= read -r line; do echo "$(date +%s.%N) $line"; done >>"$out/underruns.log") &
  SESSION_PIDS+=($!)
  echo $! >"$out/$1.pid"
}

# What another program hears on the sink's monitor: silence or a skip the server leaves there
# (PipeWire drops a few ms of every monitor stream now and then, at times in one channel) is the
# source's. 100 ms windows hold whole cycles of both tones: their phases stay put unless the
# stream skips. No short latency, which would keep the sink's buffers short as no desktop does:
# the sound comes in bursts, so its times are the samples' own count from the earliest arrival.
watch_monitor() {
  parec -d korvalin_out.monitor --raw --format=s16le --channels=2 --rate=22050 2>/dev/null |
    python3 -c 'import array, cmath, math, re, sys, time
tones, last, tails = [[cmath.exp(-2j * math.pi * f * n / 22050) for n in range(2205)] for f in (440, 660)], None, [b"", b""]
n, base = 0, float("inf")
while len(chunk := sys.stdin.buffer.read(8820)) == 8820:
    n += 2205
    base = min(base, time.time() - n / 22050)
    at = base + n / 22050 - 0.05
    sides = [array.array("h", chunk)[ch::2] for ch in (0, 1)]
    quiet = [tail + bytes(abs(v) < 2 for v in side) for tail, side in zip(tails, sides)]
    if any(re.search(rb"\x01{40}", q) for q in quiet):
        print(f"{at:.3f} monitor silent", flush=True)
    tails = [q[-39:] for q in quiet]
    tone = [sum(map(complex.__mul__, t, side)) / 2205 for t, side in zip(tones, sides)]
    now = [cmath.phase(c) for c in tone] if min(map(abs, tone)) > 1000 else None
    if now and last and max(abs((p - q + math.pi) % (2 * math.pi) - math.pi) for p, q in zip(now, last)) > 0.3:
        print(f"{at:.3f} monitor skipped", flush=True)
    last = now
    if n % 22050 == 0:
        open(sys.argv[1], "w").write(f"{at:.3f}")' "$out/monitor.at" >>"$out/underruns.log" &
  SESSION_PIDS+=($!)
}

caught_up() { # waits (15 s at most) until the watcher has judged the monitor up to now
  local now; now=$(date +%s.%N)
  for _ in $(seq 150); do
    python3 -c "import sys; sys.exit(float(open(sys.argv[1]).read() or 0) < float(sys.argv[2]))" "$out/monitor.at" "$now" \
      2>/dev/null && return
    sleep 0.1
  done
}

heard() { # waits (10 s at most) until the sink's monitor carries sound
  parec -d korvalin_out.monitor --raw --format=s16le --channels=1 --rate=22050 2>/dev/null |
    timeout 10 python3 -c 'import array, sys
while (chunk := sys.stdin.buffer.read(882)) and max(map(abs, array.array("h", chunk))) < 1000: pass'
}
