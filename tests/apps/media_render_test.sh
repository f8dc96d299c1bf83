#!/usr/bin/env bash
# The chain with the in-process renderer: analyse, build the MIDI file, render it with
# media-tool (cut at the note start, so no delay) and compare the rendering with the recording.
# Usage: media_render_test.sh BUILD_DIR WORK_DIR RECORDING MIN_MARGIN
set -euo pipefail
build_dir=$1 work_dir=$2 recording=$3 min_margin=$4
rm -rf "$work_dir"
mkdir -p "$work_dir"
cp "$recording" "$work_dir/take.wav"
"$build_dir/apps/sevrane-cli" --quiet "$work_dir/take.wav"
"$build_dir/apps/quorvel-cli" --device sc-8850 "$work_dir/take.dat"
"$build_dir/tools/media-tool" render --start-tick 1920 "$work_dir/take.mid" "$work_dir/take-rendered.wav"
"$build_dir/tools/media-tool" render --start-tick 1920 "$work_dir/take.mid" "$work_dir/again.wav"
cmp "$work_dir/take-rendered.wav" "$work_dir/again.wav"
"$build_dir/tools/spectrogram-compare" --delay 0 --search 0.05 --min-margin "$min_margin" \
  "$recording" "$work_dir/take-rendered.wav"
