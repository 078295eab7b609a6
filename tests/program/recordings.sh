#!/usr/bin/env bash
# A sound server of its own (one case kills it) set up as a laptop with a webcam's microphone:
# two null sinks and more inputs than outputs: the monitors, korvalin_swapped (korvalin_out's
# monitor with left and right swapped) and the silent korvalin_mute. korvalin_out plays 440 Hz
# left and 660 Hz right from a desktop player's long buffers, logging any underrun.
# recording_tests.exe clicks through the real program and lists what each case's files must
# hold; check_audio.py reads them as a player would. Exits 77 when a case was skipped.
# Usage: recordings.sh RECORDING_TESTS_EXE OUTPUT_FOLDER [gtest arguments]
set -uo pipefail
exe=$1 out=$2 && shift 2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out" && mkdir -p "$out"
source "$here/../../scripts/session"
start_audio private || exit 1
echo "${SESSION_AUDIO_PIDS[*]}" >"$out/pulse.pid"
pactl load-module module-null-sink sink_name=korvalin_other sink_properties=device.description=KorvalinOther >/dev/null
pactl load-module module-remap-source source_name=korvalin_swapped master=korvalin_out.monitor remix=no \
  master_channel_map=front-left,front-right channel_map=front-right,front-left \
  source_properties=device.description=KorvalinSwapped >/dev/null
pactl load-module module-null-source source_name=korvalin_mute description=KorvalinMute >"$out/mute.module" 2>/dev/null ||
  # PipeWire's server has none: a null node that is a source.
  pactl load-module module-null-sink sink_name=korvalin_mute \
    'sink_properties=media.class=Audio/Source/Virtual device.description=KorvalinMute' >"$out/mute.module"
# A crash ends the program at once instead of waiting in Wine's crash dialog.
"$here/../../scripts/wine-exec" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null

source "$here/sources.sh"
sox -n -r 44100 -c 2 -b 16 "$out/tone.wav" synth 300 sine 440 sine 660 gain -6
play korvalin_out "$out/tone.wav"
watch_monitor
heard
# A case that killed the server starts it again, on the same sockets, with its tone and its
# watchers: bash restart-audio.sh (from the output folder: the test's scratch folder goes away).
cat >"$out/restart-audio.sh" <<EOF
cd "$out"
export XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR PULSE_RUNTIME_PATH=$PULSE_RUNTIME_PATH PULSE_SERVER=$PULSE_SERVER
export KORVALIN_AUDIO=${KORVALIN_AUDIO:-pulseaudio} KORVALIN_SESSION=$KORVALIN_SESSION
. "$here/../../scripts/session" && trap - EXIT
. "$here/sources.sh" && out=$out
serve_audio
started=\$?
play korvalin_out "$out/tone.wav"
watch_monitor
heard
echo "\${SESSION_PIDS[*]}" >>"$out/restarted.pids"
exit \$started
EOF
trap 'kill $(cat "$out/restarted.pids" 2>/dev/null) 2>/dev/null; session_stop' EXIT

# Wine's own buffers lose sound when its threads are kept from running (a busy machine) or
# the server runs its stream dry: its trace says when, and that is the source's loss too.
WINEDEBUG=-all,trace+winmm,trace+pulse,warn+pulse,+timestamp "$here/../../scripts/wine-exec" "$exe" "Z:${out//\//\\}" "$out" "$@" >"$out/run.log" 2>&1
status=$?
caught_up
grep -v ':trace:\|:warn:pulse:' "$out/run.log"
python3 "$here/../tools/wine_losses.py" "$out/run.log" >>"$out/underruns.log"

failures=0
shopt -s nullglob
for expect in "$out"/*/expect.txt; do
  while read -r line <&3; do
    (cd "$(dirname "$expect")" && python3 "$here/../tools/check_audio.py" ${line%$'\r'} --underruns "$out/underruns.log") ||
      failures=$((failures + 1))
  done 3<"$expect"
done
[ $status = 0 ] && [ $failures = 0 ] || exit 1
! grep -q '^\[  SKIPPED \]' "$out/run.log" || exit 77
