#!/usr/bin/env bash
# The engine's MP3 path (fast capture device, our lame_enc.dll) against the lame command line
# on the same stereo 22050 Hz recording, with the settings the engine gives lame_enc.dll on
# both sides: CBR 128 kbit/s, joint stereo, quality 5, no bit reservoir, a LAME tag, no
# ReplayGain analysis. CPU seconds on both sides: the engine's from inside its process once
# the recording starts; the command line's less its own start-up, measured by encoding an
# empty file right after each run. The recording is long enough for each side to take at
# least two seconds; three repeats give the median and the spread. KORVALIN_BENCH_QUICK: one
# repeat on ten seconds, lines marked quick.
set -euo pipefail
build=${KORVALIN_BUILD_DIR:?}
source "@PROJECT_SOURCE_DIR@/scripts/wine-env"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
quick=${KORVALIN_BENCH_QUICK:-}
lame_settings=(--quiet -q 5 -b 128 -m j --nores --noreplaygain)

recording() { # seconds: the test recording, an empty one beside it
  sox -n -r 22050 -c 2 -b 16 "$work/recording.wav" synth "$1" sine 440 sine 1000 tremolo 3 60 gain -3 2>/dev/null
  sox -n -r 22050 -c 2 -b 16 "$work/empty.wav" trim 0 0 2>/dev/null
}
engine_cpu() { # [output.mp3]: CPU seconds of the engine recording the test recording
  local out
  out=$(cd "$build/dist" && kwine "$build/bench/mp3/mp3_engine_bench.exe" "Z:$work/recording.wav" "$@" \
    </dev/null | tr -d '\r')
  echo "$out" | awk '/^cpu_seconds/ {print $2}' | grep . || { echo "mp3 bench: no time: $out" >&2; exit 1; }
}
lame_cpu() { # input.wav: CPU seconds of the lame command line encoding it
  /usr/bin/python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True)
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(usage.ru_utime + usage.ru_stime)' lame "${lame_settings[@]}" "$1" "$work/lame.mp3"
}
lame_work_cpu() { # the command line's CPU on the test recording less its start-up
  local whole startup
  whole=$(lame_cpu "$work/recording.wav")
  startup=$(lame_cpu "$work/empty.wav")
  awk -v w="$whole" -v s="$startup" 'BEGIN {print w - s}'
}
figure() { # name unit decimals values...: "<name> <median> <unit> (<min> to <max> over N repeats)"
  local name=$1 unit=$2 decimals=$3
  shift 3
  printf '%s\n' "$@" | sort -g | awk -v name="$name" -v unit="$unit" -v d="$decimals" -v quick="$quick" '
    { v[NR] = $1 }
    END {
      median = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      if (quick) printf "%s %.*f %s (quick: not a measurement)\n", name, d, median, unit
      else printf "%s %.*f %s (%.*f to %.*f over %d repeats)\n", name, d, median, unit, d, v[1], d, v[NR], NR
    }'
}

seconds=10 repeats=1
if [ -z "$quick" ]; then
  # Sized so that the quicker side takes about 2.5 s.
  seconds=120 repeats=3
  recording $seconds
  seconds=$(awk -v s=$seconds -v l="$(lame_work_cpu)" -v e="$(engine_cpu "Z:$work/engine.mp3")" \
    'BEGIN {n = s * 2.5 / (l < e ? l : e); print int(n > s ? n : s) + 1}')
fi
recording $seconds
ratios=() engines=() lames=() bases=() speeds=()
for _ in $(seq $repeats); do
  engine=$(engine_cpu "Z:$work/engine.mp3")
  lame=$(lame_work_cpu)
  bases+=("$(engine_cpu)")
  engines+=("$engine") lames+=("$lame")
  ratios+=("$(awk -v e="$engine" -v l="$lame" 'BEGIN {print e / l}')")
  speeds+=("$(awk -v e="$engine" -v s=$seconds 'BEGIN {print s / e}')")
done
# The engine's file must hold the whole recording, as a player decodes it.
/usr/bin/python3 "@PROJECT_SOURCE_DIR@/tests/tools/check_audio.py" "$work/engine.mp3" 2 0 --frames "$work/recording.wav" >/dev/null
echo "mp3 bench: $seconds s of stereo; CPU s engine ${engines[*]}, lame ${lames[*]}, engine without MP3 ${bases[*]}" >&2
figure mp3_engine_vs_lame_cpu_ratio ratio 3 "${ratios[@]}"
figure mp3_engine_xrealtime x 1 "${speeds[@]}"
figure mp3_engine_cpu s 3 "${engines[@]}"
figure mp3_lame_cli_cpu s 3 "${lames[@]}"
figure mp3_engine_without_mp3_cpu s 3 "${bases[@]}"
