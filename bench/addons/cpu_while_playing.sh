#!/usr/bin/env bash
# CPU of the whole sonvara process while the music player module plays a
# 44.1 kHz stereo FLAC with the equalizer on: the process's user and system
# time over 30 s of playback (after 5 s to settle), as a share of one core.
#   bench/addons/cpu_while_playing.sh [APP_DIR] [OUTPUT_DEVICE]
# APP_DIR defaults to build/app (use a Release build for figures); the
# output device to null (real time, no sound card needed).
set -euo pipefail
app=${1:-build/app}
device=${2:-null}
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }; rm -rf "$work"' EXIT
cp -r "$app" "$work/app"
rm -f "$work"/app/{config.ini,*.m3u8,Language.xml,fileDB.dat,playlists.xml,*.log}
printf '[PLAYER]\nEqualizerTurn=On\n[Main frame: params]\nCheckDefaultPlayer=No\nAutoOpen_AskMe=No\nAutoOpen=Sonvara Suite\n' \
    >"$work/app/config.ini"
sox -n -r 44100 -c 2 -b 16 "$work/music.flac" synth 60 pluck C3 pluck E3 tremolo 3 40
mkdir -m 700 "$work/run"
HOME=$work XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen SONVARA_AUDIO_OUTPUT=$device \
    "$work/app/sonvara" "$work/music.flac" >"$work/out.log" 2>&1 &
pid=$!
sleep 5
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(ticks)
sleep 30
after=$(ticks)
hz=$(getconf CLK_TCK)
share=$(awk -v t=$((after - before)) -v hz="$hz" 'BEGIN { printf "%.2f", 100 * t / hz / 30 }')
echo "CPU while playing: $share% of one core over 30 s"
