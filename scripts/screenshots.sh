#!/usr/bin/env bash
# Remakes the README's screenshots, docs/main-window.png and docs/list-editor.png: the program on
# a scratch copy of the demo (silent output), on a private X server with a window manager, the
# main window while it plays and the list editor opened with its LIST button.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh

demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
cp -R resources/demo/. "$demo/"
cp build/program/*.MID "$demo/"
printf '[Drives]\r\nD=%s\r\n[MIDI]\r\nOutput=null\r\n' "$demo" >>"$demo/KYRO32.INI"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -e
  openbox & sleep 1
  # Started in the demo copy, so that the editor shows its folders.
  (cd "$1/SONGS" && exec "$2/build/program/kyrotune" --folder "$1") & program=$!
  sleep 8  # the demo rests five seconds, then plays
  main=$(xdotool search --sync --onlyvisible --name "^Kyrotune" | head -n 1)
  import -window "$main" docs/main-window.png
  xdotool windowactivate --sync "$main" key alt+l
  editor=$(xdotool search --sync --onlyvisible --name "^File List$" | head -n 1)
  sleep 2
  import -window "$editor" docs/list-editor.png
  kill "$program"
' sh "$demo" "$PWD"
echo "docs/main-window.png and docs/list-editor.png remade"
