#!/usr/bin/env bash
# cmake --install into a scratch prefix: each file lands where the menu and the program look for it,
# no test or benchmark comes along, and the menu entry and metainfo pass their checks.
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null

id=io.github.kyrotune.Kyrotune
expected="bin/kyrotune
$(printf 'lib/kyrotune/%s\n' 55MAP.MID 88MAP.MID 88Pro.MID GM.MID libkyrotune-app.so libkyrotune-outputs.so libunlha32.so)
share/applications/$id.desktop
share/icons/hicolor/scalable/apps/$id.svg
share/metainfo/$id.metainfo.xml
share/mime/packages/$id.xml"
# The PNG icons are made only where rsvg-convert is.
actual=$(cd "$prefix" && find . -type f ! -name '*.png' -printf '%P\n' | LC_ALL=C sort)
diff <(echo "$expected") <(echo "$actual") || { echo "FAIL: installed files (+) differ from expected (-)"; exit 1; }

# The software centre offers the program for the file types of its menu entry, and shows pictures
# that are in the repository.
types() { tr ';' '\n' | sed '/^$/d' | LC_ALL=C sort; }
diff <(sed -n 's/^MimeType=//p' "$prefix/share/applications/$id.desktop" | types) \
     <(sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$prefix/share/metainfo/$id.metainfo.xml" | types) ||
  { echo "FAIL: the metainfo's media types (+) differ from the menu entry's (-)"; exit 1; }
pictures=$(sed -n 's:.*<image>.*/main/\(.*\)</image>.*:\1:p' "$prefix/share/metainfo/$id.metainfo.xml")
[ -n "$pictures" ] || { echo "FAIL: the metainfo has no screenshot"; exit 1; }
for picture in $pictures; do
  [ -f "$(dirname "$0")/../../$picture" ] || { echo "FAIL: screenshot $picture is not in the repository"; exit 1; }
done

for tool in desktop-file-validate appstreamcli; do
  command -v $tool >/dev/null || { echo "SKIPPED: $tool is missing (bash scripts/install-deps.sh)"; exit 77; }
done
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
