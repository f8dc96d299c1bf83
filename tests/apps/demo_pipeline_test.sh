#!/usr/bin/env bash
# End-to-end check of the demo chain on one recording: analyse, build the MIDI file, render it
# with quorvel-cli --render (the sine SoundFont), and compare the rendering with the recording.
# Usage: demo_pipeline_test.sh SOURCE_DIR BUILD_DIR WORK_DIR RECORDING MIN_MARGIN [DEVICE]
set -euo pipefail
source_dir=$1 build_dir=$2 work_dir=$3 recording=$4 min_margin=$5 device=${6:-sc-8850}

rm -rf "$work_dir"
result=$("$source_dir/scripts/pipeline" --build "$build_dir" --out "$work_dir" \
  --device "$device" "$recording")
echo "$result"
rendered=$(echo "$result" | sed -n 's/^wav: //p')
[ -s "$rendered" ] || { echo "no rendering"; exit 1; }

# The rendering starts at the note start, where frame 0 plays, so it lines up with the recording.
"$build_dir/tools/spectrogram-compare" --delay 0 --search 0.25 --min-margin "$min_margin" \
  "$recording" "$rendered"
