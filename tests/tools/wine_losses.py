#!/usr/bin/env python3
# wine_losses.py RUN_LOG: the moments Wine itself lost sound, from the program's run under
# WINEDEBUG=trace+winmm,trace+pulse,warn+pulse,+timestamp, on the Unix clock of the line
# "wine clock TICKS UNIX" the test printed. Wine hands captured sound on through a ring of
# 100 ms, so a capture thread more than 90 ms late drops some. It tops played sound up to
# 30 ms at the server every 10 ms: a playback thread more than 20 ms late can empty it, and the
# server says so ("Underflow"). An underflow while Wine still held sound it had not sent is
# Wine's; one with nothing held would be a program that let its queue run dry.
import re, sys

lines = open(sys.argv[1], errors="replace").readlines()
clock = next((float(m[2]) - int(m[1]) / 1000 for m in map(re.compile(r"wine clock (\d+) ([\d.]+)").match, lines) if m), None)
last, held = {}, 0
for line in lines:
    if not clock or not (m := re.match(r"(\d+\.\d+):(\w+):(\w+):(\w+):(\w+) ?(.*)", line)):
        continue
    at, thread, call, text = float(m[1]), m[2], m[5], m[6]
    if re.match(r"wave(InStart|InReset|InClose|OutOpen|OutReset|OutClose)", call):
        last = {}  # a stopped device thread is not a late one
    elif call in ("WID_PullData", "WOD_PushData"):
        limit = 0.09 if call == "WID_PullData" else 0.02
        if at - last.get(thread, at) > limit:
            print(f"{clock + last[thread] + limit:.3f} Wine's device thread late by {at - last[thread]:.2f} s")
        last[thread] = at
    elif call == "pulse_write" and (h := re.match(r"held: (\d+), avail: (\d+)", text)):
        held = max(0, int(h[1]) - int(h[2]))  # what it still holds once it wrote what the server takes
    elif call == "pulse_underflow_callback" and held:
        print(f"{clock + at:.3f} Wine's stream ran dry at the server, {held} bytes unsent")
