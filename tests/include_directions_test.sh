#!/usr/bin/env bash
# The source folders depend one way, each only on the folders below it: the general dialogs know
# nothing of the list editor, and the editor nothing of the windows that work on its list beside
# it. Each line: a folder, then the folders its files may include from.
set -u
src="$1/src"
layers='
platform
library     platform
songfiles   platform unlha32
sequencer   platform
widgets     platform
dialogs     widgets library songfiles platform
editor      dialogs widgets library songfiles platform
companions  editor dialogs widgets library songfiles sequencer platform
'
failed=0
while read -r folder allowed; do
  [ -n "$folder" ] || continue
  pattern="#include \"($(echo "$folder $allowed" | tr ' ' '|'))/"
  while IFS= read -r line; do
    echo "src/$folder may not include this: ${line#"$src/"}"
    failed=1
  done < <(grep -rnE '^#include "[a-z0-9_]+/' "$src/$folder" | grep -vE "^[^:]+:[0-9]+:$pattern")
done <<< "$layers"
exit $failed
