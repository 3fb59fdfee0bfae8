#!/bin/sh
# Makes the demo's splash sound, DEMO/chime.wav: three rising plucked notes,
# under a second, 22 kHz mono 16-bit PCM. Its output is committed.
set -e
cd "$(dirname "$0")"
sox -n -r 22050 -c 1 -b 16 DEMO/chime.wav \
  synth 0.14 pluck E5 vol 0.6 : synth 0.14 pluck G5 vol 0.6 : synth 0.5 pluck C6 vol 0.6 fade 0 0.5 0.3
