#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kyrotune on its demo program folder. The demo is
# copied to the user's data folder on first run, so the one in the repository never changes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh

demo="${XDG_DATA_HOME:-$HOME/.local/share}/kyrotune/demo"
if [ ! -d "$demo" ]; then
  mkdir -p "$demo"
  cp -R resources/demo/. "$demo/"
fi
exec build/program/kyrotune --folder "$demo"
