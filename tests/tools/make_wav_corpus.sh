#!/bin/sh
# Makes, in the current folder, WAV files as other programs write them, and damaged variants of
# them, for the WAV reader's tests. Beside each file sox can decode, NAME.raw holds its samples
# in the file's own width (8 bits unsigned, else 16 bits signed).
set -e
tone() { sox -r 22050 -n "$@" synth 1001s sine 440 sine 660 gain -3; }
tone -c 1 -b 8 sox_u8_mono.wav
tone -c 2 -b 8 sox_u8_stereo.wav
tone -c 1 -b 16 sox_s16_mono.wav
tone -c 2 -b 16 sox_s16_stereo.wav
tone -c 1 -b 24 sox_s24.wav
tone -c 1 -e floating-point -b 32 sox_float.wav
tone -c 6 -b 16 sox_6ch.wav
tone -c 1 -e a-law sox_alaw.wav
lavfi="sine=f=440:r=22050:d=0.1"
ffmpeg -v error -f lavfi -i $lavfi -ac 2 -c:a pcm_s16le ffmpeg_s16_stereo.wav
ffmpeg -v error -f lavfi -i $lavfi -write_bext 1 -c:a pcm_u8 ffmpeg_u8_bext.wav
python3 -c "
import wave
w = wave.open('python_wave.wav', 'wb')
w.setnchannels(2); w.setsampwidth(2); w.setframerate(8000)
w.writeframes(bytes(range(256)) * 8)
w.close()"
lame --quiet sox_s16_mono.wav lame.mp3
lame --quiet --decode lame.mp3 lame_decode.wav
mpg123 -q -w mpg123_w.wav lame.mp3
cp lame.mp3 lame_mp3.wav

# parec writes its sizes only when it ends: killed, it leaves RIFF 8 and data 0.
parec -d korvalin_out.monitor --file-format=wav --rate=22050 --channels=2 --format=s16le parec_killed.wav &
pid=$!
for i in $(seq 200); do
  [ "$(stat -c %s parec_killed.wav 2>/dev/null || echo 0)" -gt 20000 ] && break
  sleep 0.05
done
kill -9 $pid
wait $pid 2>/dev/null || true

python3 - <<'EOF'
import struct

def chunk(cid, body):
    return cid + struct.pack('<I', len(body)) + body + b'\0' * (len(body) & 1)

def form(*parts):
    body = b'WAVE' + b''.join(parts)
    return b'RIFF' + struct.pack('<I', len(body)) + body

def setsize(b, cid, size):
    """The size field of the first chunk with this id (before any samples) set."""
    at = b.find(cid) + 4
    return b[:at] + struct.pack('<I', size) + b[at + 4:]

def write(name, b):
    open(name, 'wb').write(b)

s16 = open('sox_s16_stereo.wav', 'rb').read()
fmt = s16[20:36]
data = s16[44:]
write('var_sizes_ffffffff.wav', setsize(setsize(s16, b'RIFF', 0xFFFFFFFF), b'data', 0xFFFFFFFF))
write('var_sizes_zero.wav', setsize(setsize(s16, b'RIFF', 0), b'data', 0))
info = chunk(b'LIST', b'INFOISFT' + struct.pack('<I', 5) + b'korv\0')
write('var_chunks_around.wav', form(chunk(b'JUNK', b'\0' * 28), chunk(b'fmt ', fmt), chunk(b'fact', b'\x1d\x08\0\0'),
      chunk(b'bext', b'\0' * 603), info, chunk(b'data', data),
      chunk(b'cue ', struct.pack('<I', 1) + b'\0' * 24), info))
ext = fmt[:16] + struct.pack('<HHI', 22, 16, 3) + bytes.fromhex('0100000000001000800000aa00389b71')
write('var_extensible_pcm.wav', form(chunk(b'fmt ', ext), chunk(b'data', data)))
write('var_truncated_data.wav', s16[:44 + 1001])
write('var_truncated_fmt.wav', s16[:30])
write('var_truncated_form.wav', s16[:10])
write('var_no_data.wav', form(chunk(b'fmt ', fmt), info))
write('var_no_fmt.wav', form(info, chunk(b'data', data)))
write('var_list_fffffff7.wav', setsize(open('ffmpeg_s16_stereo.wav', 'rb').read(), b'LIST', 0xFFFFFFF7))
write('var_fmt_fffffff7.wav', setsize(s16, b'fmt ', 0xFFFFFFF7))
# What sox reads as empty: the samples after the header, in whole frames.
for name, header in (('parec_killed', 44), ('var_sizes_zero', 44)):
    b = open(name + '.wav', 'rb').read()[header:]
    write(name + '.raw', b[:len(b) - len(b) % 4])
EOF

for f in *.wav; do
  r=${f%.wav}.raw
  [ -e "$r" ] && continue
  case $(soxi -b "$f" 2>/dev/null) in
    8) sox "$f" -t raw -e unsigned-integer -b 8 "$r" 2>/dev/null || rm -f "$r" ;;
    16) sox "$f" -t raw -e signed-integer -b 16 "$r" 2>/dev/null || rm -f "$r" ;;
  esac
done
