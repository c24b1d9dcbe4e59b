#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Kyrotune need, when missing,
# and the packages named as arguments.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools
  liblhasa-dev lhasa
  libfluidsynth-dev timgm6mb-soundfont librtmidi-dev libasound2-dev
  fluid-soundfont-gm fluid-soundfont-gs  # the default SoundFont set: GM with the GS sounds on top
  libsystemd-dev  # sd-bus, to ask RealtimeKit for real-time scheduling
  fluidsynth  # the command the WAV render test compares our render with
  timidity  # the reference the RCP reader's test compares its reading with
  libgtest-dev libgmock-dev googletest
  clang libclang-rt-14-dev  # libFuzzer and its sanitizer runtimes, for the fuzz targets
  fonts-ipafont
  xvfb xauth x11-utils imagemagick
  trayer openbox xdotool  # a tray host, a window manager and real clicks for the tray test
  librsvg2-bin  # rsvg-convert, the icon's bitmap sizes
  desktop-file-utils appstream  # the checks of the installed menu entry and metainfo
  dbus playerctl  # a private session bus and a media-controls client, for the desktop controls' tests
)
packages+=("$@")  # what a caller needs besides, e.g. the package build's tools

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
