#!/usr/bin/env bash
# End-to-end limits and failures of sevrane-cli and quorvel-cli: the longest inputs, sizes
# that cannot be held, int32 extremes, extreme timing, missing and unreadable inputs, and a
# full or read-only output folder. Every refusal must print its message, exit with status 1,
# keep an earlier output file byte for byte and leave no other file.
# Usage: cli_limits_test.sh CASE, with SEVRANE, QUORVEL and SMFCHECK naming the programs.
# Exit status 77 means the case cannot run here (tmpfs not mountable).
set -euo pipefail
case_name=$1
work=$(mktemp -d)
mounted=""
cleanup() {
  if [ -n "$mounted" ]; then umount -l "$mounted" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

fail() { echo "FAIL ($case_name): $*" >&2; exit 1; }

# Little-endian bytes of a number as printf escapes.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)); }

# wave_header CHANNELS DATA_BYTES: a canonical 44-byte header, 16-bit 44100 Hz PCM.
wave_header() {
  local ch=$1 bytes=$2
  printf "RIFF$(le32 $(((36 + bytes) & 0xFFFFFFFF)))WAVEfmt $(le32 16)$(le16 1)$(le16 "$ch")"
  printf "$(le32 44100)$(le32 $((44100 * ch * 2)))$(le16 $((ch * 2)))$(le16 16)data$(le32 "$bytes")"
}

# frame LEVEL FREQ [LEVEL FREQ ...]: one 64-byte DAT record, missing slots zero.
frame() {
  local out="" n=0
  while [ $# -gt 0 ]; do out+=$(le32 "$1")$(le32 "$2"); shift 2; n=$((n + 1)); done
  while [ $n -lt 8 ]; do out+=$(le32 0)$(le32 0); n=$((n + 1)); done
  printf "$out"
}

# repeat FILE COUNT OUT: OUT holds COUNT copies of the 64-byte record in FILE.
repeat() {
  cp "$1" "$3"
  while [ $(($(stat -c %s "$3") / 64)) -lt "$2" ]; do cat "$3" "$3" > "$3.x"; mv "$3.x" "$3"; done
  truncate -s $(($2 * 64)) "$3"
}

# The names in a folder with the size of each file and a checksum of each DAT and MIDI file,
# to compare before and after a run.
snapshot() {
  local f
  for f in "$1"/* "$1"/.[!.]*; do
    [ -e "$f" ] || continue
    case $f in
      *.dat | *.mid) [ -f "$f" ] && echo "$(basename "$f") $(md5sum < "$f")" || echo "$(basename "$f")/" ;;
      *) echo "$(basename "$f") $(stat -L -c %s "$f")" ;;
    esac
  done
}

# refused MESSAGE PROGRAM ARGS...: the program must refuse with MESSAGE and leave the folder of
# its input as it was (earlier outputs byte for byte, no temporary file).
refused() {
  local want=$1; shift
  local folder status=0 before
  folder=$(dirname "${@: -1}")
  before=$(snapshot "$folder")
  "$@" >out.txt 2>err.txt || status=$?
  [ "$status" = 1 ] || fail "$* exited with $status (stderr: $(cat err.txt))"
  # The message is the first line; an English gloss follows it.
  [ "$(head -n 1 err.txt)" = "$want" ] || fail "$* said '$(cat err.txt)' instead of '$want'"
  [ ! -s out.txt ] || fail "$* printed on stdout"
  [ "$before" = "$(snapshot "$folder")" ] || fail "$* changed the files beside its input"
}

finished() {
  "$@" >out.txt 2>err.txt || fail "$* failed: $(cat err.txt)"
  [ "$(cat out.txt)" = "終了しました" ] || fail "$* said '$(cat out.txt)'"
}

mount_tmpfs() {
  mkdir -p "$work/disk"
  mount -t tmpfs -o size="$1" tmpfs "$work/disk" 2>/dev/null || { echo "tmpfs not mountable"; exit 77; }
  mounted="$work/disk"
}

mkdir -p in
echo "earlier output" > in/earlier
case $case_name in
  wave-too-long)
    # 600 s and one sample frame, mono and stereo (sparse: no disk space used).
    for ch in 1 2; do
      wave_header $ch $((26460001 * 2 * ch)) > in/long$ch.wav
      truncate -s $((44 + 26460001 * 2 * ch)) in/long$ch.wav
      cp in/earlier in/long$ch.dat
      refused "音声データが長すぎます" "$SEVRANE" -q in/long$ch.wav
    done
    ;;
  wave-claims-4gib)
    { wave_header 1 4294967295; head -c 1000 /dev/zero; } > in/claim.wav
    cp in/earlier in/claim.dat
    refused "データ長が正しくありません" "$SEVRANE" -q in/claim.wav
    ;;
  wave-beyond-2gib)
    wave_header 2 2147483648 > in/huge.wav
    truncate -s $((44 + 2147483648)) in/huge.wav
    cp in/earlier in/huge.dat
    refused "メモリを確保できませんでした" "$SEVRANE" -q in/huge.wav
    ;;
  input-failures)
    mkdir in/folder.wav in/folder.dat
    cp in/earlier in/gone.dat
    cp in/earlier in/gone.mid
    cp in/earlier in/folder.mid
    refused "ファイルが見つかりません" "$SEVRANE" -q in/gone.wav
    refused "ファイルをオープンできません" "$SEVRANE" -q in/folder.wav
    refused "ファイルをオープンできません" "$SEVRANE" -q in/nofolder/x.wav
    rm in/gone.dat
    refused "ファイルが見つかりません" "$QUORVEL" in/gone.dat
    refused "ファイルをオープンできません" "$QUORVEL" in/folder.dat
    # A pipe or a device must be refused at once, not read until it ends (a pipe never would).
    mkfifo in/pipe.wav in/pipe.dat
    ln -s /dev/zero in/zero.wav
    ln -s /dev/zero in/zero.dat
    for input in in/pipe.wav in/zero.wav; do
      refused "ファイルをオープンできません" timeout 20 "$SEVRANE" -q $input
    done
    for input in in/pipe.dat in/zero.dat; do
      refused "ファイルをオープンできません" timeout 20 "$QUORVEL" $input
    done
    ;;
  dat-longest)
    # 36,001 frames (what 600 s at 1/60 s gives) convert; one frame more is refused.
    frame 1000 4400 700 8800 300 2616 > one.bin
    repeat one.bin 36001 in/longest.dat
    cp in/earlier in/longest.mid
    finished "$QUORVEL" in/longest.dat
    "$SMFCHECK" in/longest.mid || fail "invalid MIDI file"
    repeat one.bin 36002 in/toolong.dat
    cp in/earlier in/toolong.mid
    refused "ＤＡＴファイルが長すぎます" "$QUORVEL" in/toolong.dat
    ;;
  dat-int32-extremes)
    {
      frame 2147483647 2147483647 -2147483648 4400 1000 0 2147483647 -4400 5 -2147483648 \
        2147483647 1 -1 -1 2147483647 80000
      frame 8454932 4400 2147483647 550 2147483647 -1 0 2147483647 2147483647 4400
      frame -2147483648 -2147483648 -2147483648 -2147483648 -2147483648 -2147483648 \
        -2147483648 -2147483648 -2147483648 -2147483648 -2147483648 -2147483648
    } > in/extremes.dat
    for device in halvoran sc-88 sc-8850 msgs; do
      finished "$QUORVEL" --device $device --channels 8 --polyphony 6 in/extremes.dat
      "$SMFCHECK" in/extremes.mid || fail "invalid MIDI file for $device"
    done
    ;;
  extreme-timing)
    # A frame of 18,204 ticks, starting at tick 2^31 - 1: waits longer than a delta time holds.
    frame 0 0 > silent.bin
    repeat silent.bin 36001 in/timing.dat
    frame 1000 4400 | dd of=in/timing.dat conv=notrunc status=none
    frame 1000 4400 | dd of=in/timing.dat bs=64 seek=20001 conv=notrunc status=none
    finished "$QUORVEL" --tempo 1000 --time-base 65535 --note-start 2147483647 in/timing.dat
    "$SMFCHECK" -v in/timing.mid > check.txt || fail "invalid MIDI file"
    grep -q "division 65535" check.txt || fail "division: $(cat check.txt)"
    # Every channel track ends after the last frame: the note start plus the frames' ticks,
    # accumulated with the carried fraction as the builder's clock does.
    end=$(awk 'BEGIN { r = 0; t = 0; for (k = 0; k < 36001; k++) { s = 65535 / 30 * 1000 / 120 + r;
                w = int(s); t += w; r = s - w }; printf "%.0f", 2147483647 + t }')
    [ "$(grep -c "ends at tick $end\$" check.txt)" = 6 ] || fail "track ends: $(cat check.txt), not $end"
    ;;
  full-disk)
    mount_tmpfs 64k
    # The recording stays outside the small disk; a link beside the output names it.
    { wave_header 1 88200; head -c 88200 /dev/urandom; } > in/voice.wav
    ln -s "$work/in/voice.wav" disk/voice.wav
    head -c 8192 /dev/zero > disk/voice.dat
    frame 1000 4400 700 8800 > one.bin
    repeat one.bin 300 song.dat
    cp song.dat disk/song.dat
    head -c 8192 /dev/zero > disk/song.mid
    head -c $((64 * 1024)) /dev/zero > disk/filler 2>/dev/null || true  # fills the disk
    refused "書込エラー" "$SEVRANE" -q disk/voice.wav
    refused "書込エラー" "$QUORVEL" disk/song.dat
    ;;
  read-only-folder)
    mount_tmpfs 256k
    { wave_header 1 8820; head -c 8820 /dev/urandom; } > disk/voice.wav
    cp in/earlier disk/voice.dat
    frame 1000 4400 > disk/song.dat
    cp in/earlier disk/song.mid
    mount -o remount,ro "$work/disk" || fail "remount read-only"
    refused "ファイルを作成できませんでした" "$SEVRANE" -q disk/voice.wav
    refused "ファイルを作成できませんでした" "$QUORVEL" disk/song.dat
    ;;
  full-600-seconds)
    # The longest recordings, mono and stereo, analysed in full and built into MIDI files.
    for ch in 1 2; do
      sox -n -r 44100 -b 16 -c $ch in/full$ch.wav synth 600 sine 150:900 sine 1200 vol 0.5
      [ "$(stat -c %s in/full$ch.wav)" = $((44 + 26460000 * 2 * ch)) ] || fail "sox wrote another size"
      finished "$SEVRANE" -q in/full$ch.wav
      [ "$(stat -c %s in/full$ch.dat)" = $((36001 * 64)) ] || fail "DAT size $(stat -c %s in/full$ch.dat)"
      finished "$QUORVEL" in/full$ch.dat
      "$SMFCHECK" in/full$ch.mid || fail "invalid MIDI file"
      rm in/full$ch.wav
    done
    ;;
  *) fail "unknown case" ;;
esac
echo "ok: $case_name"
