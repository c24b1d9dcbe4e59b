#!/usr/bin/env bash
# The Debian package as Debian checks it and as a user gets it: lintian reports no error or
# warning; apt installs it with what it depends on (nothing it only recommends) into a fresh
# minimal Debian 12; there a new user in a fresh home starts the player offscreen, which makes its
# data folder and shows its window (on a private X server where this machine has Xvfb, else
# offscreen) and stays up, then plays a song into a WAV file through the installed output module;
# --to-midi converts a song; and a purge leaves nothing of the package under /usr.
#   bash tests/install/package_test.sh dist/kyrotune_VERSION_ARCH.deb
# The minimal root (debootstrap from this machine's mirror) and the packages apt fetches into it
# are kept in /var/cache/kyrotune-test between runs. Exits 77 (skipped) where it cannot run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
songs=$here/../../resources/demo/SONGS
cache=/var/cache/kyrotune-test
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

[ $# -eq 1 ] && [ -f "$1" ] || skip "no package at '${1:-}' (bash scripts/package.sh builds dist/kyrotune_VERSION_ARCH.deb)"
deb=$(realpath "$1")
[ "$(id -u)" -eq 0 ] || skip "the fresh root needs root: debootstrap, chroot, mounts"
command -v lintian >/dev/null || skip "lintian is missing (bash scripts/package.sh installs it)"
if ! command -v debootstrap >/dev/null; then
  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap; } \
    >/dev/null 2>&1 || skip "debootstrap is missing and could not be installed"
fi

# An accepted warning is overridden, with its reason, in debian/kyrotune.lintian-overrides.
report=$(lintian --fail-on error,warning "$deb" 2>&1) || { echo "$report"; fail "lintian reports the above"; }
echo "lintian: no error or warning"
grep -v 'running with root privileges' <<<"$report" || true  # what it only notes

# This machine's mirror of Debian 12: the first bookworm source of a deb822 .sources file, else of
# sources.list.
mirror=$(
  { cat /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } | awk -v RS= -F '\n' '{
    types = uris = suites = ""; enabled = "yes"
    for (i = 1; i <= NF; i++) {
      key = value = $i
      sub(/:.*/, "", key)
      sub(/^[^:]*:[ \t]*/, "", value)
      if (key == "Types") types = " " value " "
      else if (key == "URIs") uris = value
      else if (key == "Suites") suites = " " value " "
      else if (key == "Enabled") enabled = value
    }
    if (enabled != "no" && types ~ / deb / && suites ~ / bookworm /) { split(uris, u, /[ \t]+/); print u[1]; exit }
  }'
  { cat /etc/apt/sources.list 2>/dev/null || true; } | awk '$1 == "deb" {
    i = 2
    if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
    if ($(i + 1) == "bookworm") { print $i; exit }
  }'
)
mirror=${mirror%%$'\n'*}
mirror=${mirror:-http://deb.debian.org/debian}

mkdir -p "$cache/archives/partial"
exec 9>"$cache/lock"
flock 9  # runs at the same time take turns with the cache
base=$cache/bookworm-minbase-$(dpkg --print-architecture).tar
if [ ! -f "$base" ]; then
  echo "Making the minimal Debian 12 root from $mirror, once (kept as $base)"
  made=$(mktemp -d -p "$cache") && chmod 755 "$made"
  debootstrap --variant=minbase bookworm "$made" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
    { rm -rf --one-file-system "$made"; skip "debootstrap failed (network?), see $cache/debootstrap.log"; }
  tar -C "$made" -cf "$base.part" . && mv "$base.part" "$base"
  rm -rf --one-file-system "$made"
fi

scratch=$(mktemp -d)
root=$scratch/root
pid="" xserver=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  if [ -n "$xserver" ]; then kill "$xserver" 2>/dev/null || true; wait "$xserver" 2>/dev/null || true; fi
  for proc in /proc/[0-9]*; do  # anything else the test started in the root
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ]; then kill -KILL "${proc#/proc/}" 2>/dev/null || true; fi
  done
  for mount in tmp/.X11-unix var/cache/apt/archives proc; do
    if mountpoint -q "$root/$mount"; then umount "$root/$mount" || umount -l "$root/$mount" || true; fi
  done
  # Removed only when nothing is mounted in it any more: the package cache is bound into it.
  if grep -q " $root/" /proc/self/mounts; then echo "left $scratch behind: still mounted"; else rm -rf --one-file-system "$scratch"; fi
}
trap cleanup EXIT
mkdir "$root"
tar -C "$root" -xf "$base"  # debootstrap made the device nodes in its /dev
chmod 755 "$root"  # the root folder of every user in it

# apt in the root reads this machine's sources (updates and security too), so that what the
# package was built against is there to install.
cp /etc/resolv.conf "$root/etc/"
rm -f "$root/etc/apt/sources.list"
for sources in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  if [ -f "$sources" ]; then cp "$sources" "$root${sources%/*}/"; fi
done
mount -t proc proc "$root/proc"
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }

cp "$deb" "$root/tmp/"
in_root apt-get update -qq >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; echo "apt-get update failed in part; going on"; }
in_root apt-get install -y -qq --no-install-recommends "/tmp/${deb##*/}" >"$scratch/apt.log" 2>&1 ||
  { tail -n 30 "$scratch/apt.log"; fail "apt-get install ${deb##*/} in a fresh Debian 12 root"; }
in_root dpkg -L kyrotune >"$scratch/files"
echo "installed into a fresh Debian 12 root with $(in_root dpkg-query -W -f '${Depends}' kyrotune)"

in_root useradd --create-home player
uid=$(in_root id -u player) gid=$(in_root id -g player)
home=$root/home/player
data=$home/.local/share/kyrotune
install -d -m 700 -o "$uid" -g "$gid" "$root/run/user/$uid"  # Qt wants a private runtime folder
install -m 644 -o "$uid" -g "$gid" "$songs/ODE.MID" "$songs/CANON.RCP" "$home/"
# A command, not a function, so that the process started in the background is the program itself.
as_player=(chroot --userspec="$uid:$gid" "$root" env -i PATH=/usr/bin:/bin HOME=/home/player
           XDG_RUNTIME_DIR="/run/user/$uid" QT_QPA_PLATFORM=offscreen)

# run_player [FILE]: the installed player, up for a few seconds (long enough to make its data
# folder and play, or for a failing start to end), then closed as the session's end closes it.
# With `display` set it runs on that X server, where its main window must be seen.
display=""
run_player() {
  local screen=()
  [ -z "$display" ] || screen=(QT_QPA_PLATFORM=xcb DISPLAY="$display")
  "${as_player[@]}" "${screen[@]}" kyrotune "$@" >"$scratch/player.txt" 2>&1 &
  pid=$!
  sleep 4
  kill -0 "$pid" 2>/dev/null || { cat "$scratch/player.txt"; fail "the player ended at start"; }
  if [ -n "$display" ] && ! xwininfo -display "$display" -root -tree | grep -q '"Kyrotune LZH'; then
    cat "$scratch/player.txt"; fail "no main window on the X server"
  fi
  kill -TERM "$pid"
  wait "$pid" || true
  pid=""
}

# The first start on a private X server, whose socket the root shares, so that the window is seen.
if command -v Xvfb >/dev/null && command -v xwininfo >/dev/null; then
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$scratch/display" >/dev/null 2>&1 &
  xserver=$!
  for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.1; done
  [ -s "$scratch/display" ] || fail "Xvfb did not start"
  display=:$(cat "$scratch/display")
  mkdir -p "$root/tmp/.X11-unix"
  mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
fi
run_player
shown=${display:+"showed its window on an X server, "}
display=""
for reset in GM.MID 55MAP.MID 88MAP.MID 88Pro.MID; do
  cmp -s "$root/usr/lib/kyrotune/$reset" "$data/$reset" ||
    { cat "$scratch/player.txt"; fail "the first start made no $data/$reset from the installed one"; }
done
echo "the player started, ${shown:-offscreen, }stayed up and made ~/.local/share/kyrotune with the reset files"

printf '[KYRO32]\r\nWarningMsg=0\r\n[MIDI]\r\nOutput=wav\r\nWavFile=/home/player/played.wav\r\n' >"$data/KYRO32.INI"
chown "$uid:$gid" "$data/KYRO32.INI"
run_player /home/player/ODE.MID
[ -f "$home/played.wav" ] || { cat "$scratch/player.txt"; fail "no finished WAV file: $(ls "$home")"; }
# Sound, not silence: at least half a second (44100 stereo samples) louder than -30 dBFS.
loud=$(od -An -v -t d2 -j 44 "$home/played.wav" | tr -s ' ' '\n' | awk '$1 > 1000 || $1 < -1000 { n++ } END { print n + 0 }')
[ "$loud" -ge 44100 ] || fail "the WAV file is (nearly) silent: $loud loud samples"
echo "it played ODE.MID into a WAV file through the installed output module ($loud loud samples)"

"${as_player[@]}" kyrotune --to-midi /home/player/CANON.RCP /home/player/canon.mid >"$scratch/player.txt" 2>&1 ||
  { cat "$scratch/player.txt"; fail "--to-midi"; }
[ "$(head -c 4 "$home/canon.mid")" = MThd ] || fail "--to-midi wrote no Standard MIDI File"
echo "--to-midi converted CANON.RCP to a Standard MIDI File"

in_root apt-get purge -y -qq kyrotune >"$scratch/apt.log" 2>&1 || { tail -n 30 "$scratch/apt.log"; fail "apt-get purge"; }
left=()
while IFS= read -r path; do
  case $path in /usr/*) ;; *) continue ;; esac
  [ -e "$root$path" ] || [ -L "$root$path" ] || continue
  if [ -d "$root$path" ] && in_root dpkg-query -S "$path" >/dev/null 2>&1; then continue; fi  # another package's too
  left+=("$path")
done <"$scratch/files"
[ ${#left[@]} -eq 0 ] || fail "the purge left ${left[*]}"
echo "apt-get purge kyrotune left nothing of its $(grep -c '^/usr/' "$scratch/files") paths under /usr"
echo PASS
