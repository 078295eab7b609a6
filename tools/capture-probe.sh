#!/usr/bin/env bash
# Where captured sound waits before the recorder gets it. On a private sound server, plays a
# 100 ms burst once a second into the null sink (from a 20 ms latency player) while
# capture_probe records the sink's monitor, and prints for each buffer layout how long after
# a burst was played the block holding it arrived. With "kill-server" the server is killed
# 3 s into the capture and the sound the probe got by then is printed against that time.
# Usage: tools/capture-probe.sh [kill-server] [BUFFERSxBYTES ...]   (default 6x4096 12x2048 24x1024)
# Found so: 4096-byte buffers come back 0.08 to 0.8 s after their sound, 2048-byte ones at once.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
kill_server=
[ "${1:-}" = kill-server ] && kill_server=1 && shift
layouts=${*:-6x4096 12x2048 24x1024}
source "$here/scripts/build"
korvalin_build Release
source "$here/scripts/wine-env"
source "$here/scripts/session"
start_audio private
wineserver -p
kwine wineboot >/dev/null 2>&1 </dev/null
probe=$KORVALIN_BUILD_DIR/tools/capture_probe.exe
# Not among the session's folders: a killed server's session is started again.
work=$(mktemp -d /tmp/korvalin-probe.XXXXXX)
sox -n -r 44100 -c 2 -b 16 "$work/tick.wav" synth 0.9 sine 0 : synth 0.1 sine 1000 gain -0.5
sox $(for _ in $(seq 10); do echo "$work/tick.wav"; done) "$work/ticks.wav"
now_ms() { date +%s%3N; }
for layout in $layouts; do
  paplay --latency-msec=20 -d korvalin_out "$work/ticks.wav" &
  player=$!
  played=$(now_ms)
  if [ -n "$kill_server" ]; then
    (sleep 3; echo "killed $(now_ms)" >"$work/killed"; kill -9 "${SESSION_PIDS[-1]}") &
  fi
  kwine "$probe" "${layout%x*}" "${layout#*x}" 6 | tr -d '\r' >"$work/log" || true
  wait "$player" 2>/dev/null || true
  awk -v played="$played" -v layout="$layout" -v killfile="$work/killed" '
    /^start/ { start = $2; next }
    { arrival = $1; audio = $2; loud = $3
      # The probe starts after the player: a burst is the one played last before it arrived
      # (the player itself starts a few tens of ms after it is launched).
      if (loud >= 0 && !inburst) {
        since = arrival - played - 900 + 100
        k++; delay[k] = since - 1000 * int(since / 1000) - 100
      }
      inburst = loud >= 0; last_arrival = arrival; last_audio = audio }
    END {
      line = sprintf("%s: burst to block", layout)
      for (i = 1; i <= k; i++) { line = line sprintf(" %.0f", delay[i]); sum += delay[i] }
      if (k) line = line sprintf(" ms (mean %.0f)", sum / k)
      print line
      if ((getline l < killfile) > 0) {
        split(l, f, " ")
        printf "%s: server killed %.2f s after start; sound received %.2f s; last block %.2f s after start\n",
          layout, (f[2] - start) / 1000, last_audio / 1000, (last_arrival - start) / 1000
      }
    }' "$work/log"
  if [ -n "$kill_server" ]; then
    rm -f "$work/killed"
    session_stop; start_audio private; wineserver -p
  fi
done
rm -rf "$work"
