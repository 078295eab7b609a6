# Sourced by recordings.sh, and again after a case restarted the sound server (from the program's
# Chinese locale, hence the player's C locale: its log is read for "underrun"): the test tones and
# what tells the source's silence from the recorder's. Needs $out and the session's SESSION_PIDS.

play() { # sink file: plays it, logging each underrun with the time it happened; its PID in sink.pid
  LC_ALL=C paplay -v --latency-msec=500 -d "$1" "$2" >/dev/null \
    2> >(stdbuf -oL tr '\r' '\n' | while IFS= read -r line; do echo "$(date +%s.%N) $line"; done >>"$out/underruns.log") &
  SESSION_PIDS+=($!)
  echo $! >"$out/$1.pid"
}

# What another program hears on the sink's monitor: silence the server leaves there (PipeWire
# drops a few ms now and then on a busy machine) is the source's, not the recorder's.
watch_monitor() {
  parec -d korvalin_out.monitor --latency-msec=10 --raw --format=s16le --channels=1 --rate=22050 2>/dev/null |
    python3 -c 'import sys, time
run = 0
while chunk := sys.stdin.buffer.read(440):
    for i in range(0, len(chunk) - 1, 2):
        run = run + 1 if abs(int.from_bytes(chunk[i:i + 2], "little", signed=True)) < 2 else 0
        if run == 40:
            print(f"{time.time():.3f} monitor silent", flush=True)' >>"$out/underruns.log" &
  SESSION_PIDS+=($!)
}

heard() { # waits (10 s at most) until the sink's monitor carries sound
  parec -d korvalin_out.monitor --raw --format=s16le --channels=1 --rate=22050 2>/dev/null |
    timeout 10 python3 -c 'import array, sys
while (chunk := sys.stdin.buffer.read(882)) and max(map(abs, array.array("h", chunk))) < 1000: pass'
}
