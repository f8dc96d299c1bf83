#!/usr/bin/env bash
# End-to-end check of the demo chain on one recording: analyse, build the MIDI file, render it
# with FluidSynth and the sine SoundFont, and compare the rendering with the recording.
# Usage: demo_pipeline_test.sh SOURCE_DIR BUILD_DIR WORK_DIR RECORDING MIN_MARGIN [DEVICE]
# Exit 77 (reported by CTest as skipped) only when FluidSynth is not installed.
set -euo pipefail
source_dir=$1 build_dir=$2 work_dir=$3 recording=$4 min_margin=$5 device=${6:-sc-8850}

if ! command -v fluidsynth >/dev/null; then
  echo "fluidsynth is not installed (scripts/setup test installs it)"
  exit 77
fi
rm -rf "$work_dir"
result=$("$source_dir/scripts/pipeline" --build "$build_dir" --out "$work_dir" \
  --device "$device" "$recording")
echo "$result"
rendered=$(echo "$result" | sed -n 's/^wav: //p')
[ -s "$rendered" ] || { echo "no rendering"; exit 1; }

# Frame 0 plays at the default note start: 1920 ticks at time base 480 and tempo 120, 2 s.
"$build_dir/tools/spectrogram-compare" --delay 2 --search 0.25 --min-margin "$min_margin" \
  "$recording" "$rendered"
