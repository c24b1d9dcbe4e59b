#!/usr/bin/env bash
# An installed copy started without --folder, its bin folder not writable, in a fresh home holding
# only its settings: it makes the data folder with the installed reset files, leaves bin alone,
# keeps running, and plays the file it was given through its installed output module. Root writes into a
# read-only bin regardless; an installed bin is still passed over, having no player library beside
# the executable (src/app/programfolder.h), so the test holds for root as well.
set -euo pipefail
scratch=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; wait; chmod -R u+w "$scratch"; rm -rf "$scratch"' EXIT
prefix=$scratch/prefix data=$scratch/home/.local/share/kyrotune
cmake --install "$1" --prefix "$prefix" >/dev/null
chmod a-w "$prefix/bin"
mkdir -p "$scratch/home" && mkdir -m 700 "$scratch/runtime"  # Qt wants a private runtime folder
# The settings alone are there before: the output is a WAV file, so that the installed output
# module must be found to play the file given on the command line.
mkdir -p "$data" && printf '[KYRO32]\r\nWarningMsg=0\r\n[MIDI]\r\nOutput=wav\r\nWavFile=%s\r\n' "$scratch/played.wav" >"$data/KYRO32.INI"
env -i PATH="$PATH" HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=offscreen \
  "$prefix/bin/kyrotune" "$prefix/lib/kyrotune/GM.MID" >"$scratch/output.txt" 2>&1 &
pid=$!

sleep 4  # long enough for the data folder to be made, or for a failing start to end the program
kill -0 $pid 2>/dev/null || { echo "FAIL: the program ended at start:"; cat "$scratch/output.txt"; exit 1; }
for f in GM.MID 55MAP.MID 88MAP.MID 88Pro.MID; do
  cmp "$prefix/lib/kyrotune/$f" "$data/$f" || { echo "FAIL: $data/$f is not the installed one"; exit 1; }
done
[ "$(ls -A "$prefix/bin")" = kyrotune ] || { echo "FAIL: bin holds $(ls -A "$prefix/bin")"; exit 1; }
kill -TERM $pid && wait $pid || true
pid=""
[ -s "$scratch/played.wav" ] || { echo "FAIL: nothing was played to $scratch/played.wav:"; cat "$scratch/output.txt"; exit 1; }
# The WAV converter finds the installed output module as well, without a display.
env -i PATH="$PATH" HOME="$scratch/home" "$prefix/bin/kyrotune" --to-wav "$prefix/lib/kyrotune/GM.MID" \
  "$scratch/converted.wav" >"$scratch/output.txt" 2>&1 || { echo "FAIL: --to-wav:"; cat "$scratch/output.txt"; exit 1; }
