#!/usr/bin/env bash
# The engine's MP3 path (fast capture device, our lame_enc.dll) against the lame command line
# on the same stereo 22050 Hz recording, CBR 128 kbit/s, joint stereo, quality 5 (what
# lame_enc.dll uses when nQuality leaves the choice to it). CPU time in both cases: the least
# of five runs of two minutes, or with KORVALIN_BENCH_QUICK one run of ten seconds.
set -euo pipefail
build=${KORVALIN_BUILD_DIR:?}
source "@PROJECT_SOURCE_DIR@/scripts/wine-env"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=120 runs=5
[ -n "${KORVALIN_BENCH_QUICK:-}" ] && seconds=10 runs=1
sox -n -r 22050 -c 2 -b 16 "$work/recording.wav" synth $seconds sine 440 sine 1000 tremolo 3 60 gain -3 2>/dev/null
least() { awk -v a="$1" -v b="$2" 'BEGIN {print (b == "" || a < b) ? a : b}'; }
engine_run() {
  local out
  out=$(cd "$build/dist" && kwine "$build/bench/mp3/mp3_engine_bench.exe" "Z:$work/recording.wav" "$@" \
    </dev/null | tr -d '\r')
  echo "$out" | awk '/^cpu_seconds/ {print $2}' | grep . || { echo "mp3 bench: no time: $out" >&2; exit 1; }
}
engine_cpu=
base_cpu=
for _ in $(seq $runs); do
  cpu=$(engine_run "Z:$work/engine.mp3")
  engine_cpu=$(least "$cpu" "$engine_cpu")
  cpu=$(engine_run)
  base_cpu=$(least "$cpu" "$base_cpu")
done
lame_cpu=
for _ in $(seq $runs); do
  cpu=$(python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True)
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(usage.ru_utime + usage.ru_stime)' lame --quiet -q 5 -b 128 -m j --resample 22.05 \
    "$work/recording.wav" "$work/lame.mp3")
  lame_cpu=$(least "$cpu" "$lame_cpu")
done
# The engine's file must hold the whole recording, as a player decodes it.
python3 "@PROJECT_SOURCE_DIR@/tests/tools/check_audio.py" "$work/engine.mp3" 2 0 --frames "$work/recording.wav" >/dev/null
awk -v a="$engine_cpu" -v b="$lame_cpu" -v c="$base_cpu" -v s=$seconds 'BEGIN {
  printf "mp3_engine_vs_lame_cpu_ratio %.3f ratio\n", a / b
  printf "mp3_engine_xrealtime %.1f x\n", s / a
  printf "mp3_engine_cpu %.3f s\n", a
  printf "mp3_lame_cli_cpu %.3f s\n", b
  printf "mp3_engine_without_mp3_cpu %.3f s\n", c
}'
