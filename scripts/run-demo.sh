#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kyrotune on its demo program folder. The demo is
# copied to the user's data folder on first run, so the one in the repository never changes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh

demo="${XDG_DATA_HOME:-$HOME/.local/share}/kyrotune/demo"
# First run (or a copy that never got its list): copy the demo.
if [ ! -e "$demo/KYROList.dat" ]; then
  mkdir -p "$demo"
  cp -R resources/demo/. "$demo/"
fi

# The reset files come from the build's program folder; a user's own are kept.
for reset in GM.MID 55MAP.MID 88MAP.MID 88Pro.MID; do
  if [ ! -e "$demo/$reset" ] && [ -e "build/program/$reset" ]; then
    cp "build/program/$reset" "$demo/$reset"
  fi
done

# The list names its songs on drive D:, which is this copy wherever it lives: section [Drives]
# of KYRO32.INI gets D=<the copy>. Other keys, sections and letters stay as they are; the file
# keeps its CR LF line ends and CP932 bytes (awk works on bytes under LC_ALL=C).
ini="$demo/KYRO32.INI"
tmp="$ini.tmp.$$"
touch "$ini"
LC_ALL=C awk -v folder="$demo" '
  BEGIN { ORS = "\r\n" }
  { sub(/\r$/, "") }
  /^[ \t]*\[/ {
    inDrives = (tolower($0) ~ /^[ \t]*\[drives\][ \t]*$/)
    print
    if (inDrives && !done) { print "D=" folder; done = 1 }
    next
  }
  inDrives && tolower($0) ~ /^[ \t]*d[ \t]*=/ { next }
  { print }
  END { if (!done) { print "[Drives]"; print "D=" folder } }
' "$ini" >"$tmp"
if cmp -s "$tmp" "$ini"; then rm -f "$tmp"; else mv "$tmp" "$ini"; fi

exec build/program/kyrotune --folder "$demo"
