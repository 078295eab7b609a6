#!/usr/bin/env bash
# Plays a known stereo tone (440 Hz left, 660 Hz right) into the null sink, lets
# recording_tests.exe make recordings by clicking through the real program, and checks every
# file it made with sox and mpg123.  Usage: recordings.sh RECORDING_TESTS_EXE OUTPUT_FOLDER
set -uo pipefail
exe=$1 out=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/wine-env"
rm -rf "$out" && mkdir -p "$out"

sox -n -r 44100 -c 2 -b 16 "$out/tone.wav" synth 120 sine 440 sine 660 gain -6
paplay -d korvalin_out "$out/tone.wav" &
player=$!
trap 'kill $player 2>/dev/null || true' EXIT

status=0
"$here/../../scripts/wine-exec" "$exe" "Z:${out//\//\\}" || status=$?

failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# Dominant frequency of one channel of a WAV, from sox's rough estimate.
frequency() { sox "$1" -n remix "$2" stat 2>&1 | awk '/Rough   frequency/ {print $3}'; }
level() { sox "$1" -n stat 2>&1 | awk '/RMS     amplitude/ {print $3}'; }

check_frequency() { # name wav channel Hz (0: not checked)
  [ "$4" = 0 ] && return
  local got; got=$(frequency "$2" "$3")
  awk -v g="$got" -v w="$4" 'BEGIN { exit !(g > w * 0.9 && g < w * 1.1) }' ||
    fail "$1: channel $3 at $got Hz, expected $4"
}

check_file() { # dir file channels min max leftHz rightHz
  local dir=$1 file=$2 channels=$3 min=$4 max=$5 left=$6 right=$7 wav
  [ -s "$dir/$file" ] || { fail "$dir/$file missing"; return; }
  wav=$dir/$file
  if [[ $file == *.mp3 ]]; then
    wav=$dir/${file%.mp3}.decoded.wav
    mpg123 -q -w "$wav" "$dir/$file" </dev/null 2>/dev/null || { fail "$file: mpg123 cannot decode it"; return; }
    # mpg123 names the stream as "MPEG 2.0 L III cbr128 22050 j-s" (or "mono").
    local info; info=$(mpg123 -t -v "$dir/$file" 2>&1 </dev/null | grep -a 'L III' | head -1)
    grep -q 'L III cbr128 22050' <<<"$info" || fail "$file: not a 128 kbit/s CBR stream at 22050 Hz: $info"
  fi
  [ "$(soxi -c "$wav")" = "$channels" ] || fail "$file: $(soxi -c "$wav") channels, expected $channels"
  [ "$(soxi -r "$wav")" = 22050 ] || fail "$file: rate $(soxi -r "$wav")"
  local seconds; seconds=$(soxi -D "$wav")
  awk -v s="$seconds" -v a="$min" -v b="$max" 'BEGIN { exit !(s >= a && s <= b) }' ||
    fail "$file: $seconds s, expected $min to $max"
  awk -v l="$(level "$wav")" 'BEGIN { exit !(l > 0.02) }' || fail "$file: no tone (RMS $(level "$wav"))"
  check_frequency "$file" "$wav" 1 "$left"
  check_frequency "$file" "$wav" 2 "$right"
  echo "ok   $dir/$file: $(soxi -c "$wav") ch, ${seconds} s"
}

duration() { # a WAV, or an MP3 as mpg123 decodes it
  local file=$1
  [[ $file == *.mp3 ]] && file=${file%.mp3}.decoded.wav
  soxi -D "$file" 2>/dev/null || echo -1
}

# 1152 samples of one frame plus LAME's 576-sample delay and padding, at 22050 Hz.
same_length() {
  local a b
  a=$(duration "$1/$2") b=$(duration "$1/$3")
  awk -v a="$a" -v b="$b" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a > 0 && b > 0 && d <= 0.16) }' ||
    fail "$1: $2 lasts $a s but $3 lasts $b s"
}

for expect in "$out"/*/expect.txt; do
  dir=$(dirname "$expect")
  while read -r first rest <&3; do
    rest=${rest%$'\r'} # written by a Windows program
    if [ "$first" = absent ]; then
      [ ! -e "$dir/$rest" ] || fail "$dir/$rest should not exist"
    elif [ "$first" = same-length ]; then
      same_length "$dir" $rest
    else
      check_file "$dir" "$first" $rest
    fi
  done 3<"$expect"
done
[ $status = 0 ] && [ $failures = 0 ]
