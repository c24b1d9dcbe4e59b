#!/bin/sh
# Runs a test on a private X server with a window manager (openbox), on Qt's xcb platform, so that
# windows are framed, stacked and minimised as on a desktop; with --tray-host also a tray host
# (trayer), so that a tray icon really shows and can be clicked. Without these tools the test runs
# as it is, and skips what needs them.
#   with-window-manager.sh [--tray-host] TEST [ARGS...]
tray=""
if [ "$1" = "--tray-host" ]; then tray=trayer; shift; fi
for tool in xvfb-run openbox $tray; do
  command -v "$tool" >/dev/null || exec "$@"
done
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  tray=$1; shift
  ready=$(mktemp -u)
  openbox --startup "touch $ready" & manager=$!
  # Windows mapped while openbox still starts are never framed: the test waits until it runs.
  tries=0
  while [ ! -e "$ready" ] && [ $tries -lt 300 ]; do sleep 0.1; tries=$((tries + 1)); done
  rm -f "$ready"
  host=""
  if [ -n "$tray" ]; then
    trayer --edge top --align right --widthtype request --height 32 --SetDockType true & host=$!
    sleep 1  # until the tray is there to take the icon
  fi
  QT_QPA_PLATFORM=xcb "$@"
  status=$?
  kill $host $manager
  exit $status' sh "$tray" "$@"
