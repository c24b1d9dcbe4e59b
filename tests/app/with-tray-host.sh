#!/bin/sh
# Runs a test on a private X server with a window manager (openbox, which minimises windows) and a
# tray host (trayer), on Qt's xcb platform, so that the tray icon really shows and can be clicked.
# Without them the test runs as it is, and skips what needs the host.
for tool in xvfb-run openbox trayer; do
  command -v "$tool" >/dev/null || exec "$@"
done
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  ready=$(mktemp -u)
  openbox --startup "touch $ready" & manager=$!
  # Windows mapped while openbox still starts are never framed: the test waits until it runs.
  tries=0
  while [ ! -e "$ready" ] && [ $tries -lt 300 ]; do sleep 0.1; tries=$((tries + 1)); done
  rm -f "$ready"
  trayer --edge top --align right --widthtype request --height 32 --SetDockType true & host=$!
  sleep 1
  QT_QPA_PLATFORM=xcb "$@"
  status=$?
  kill $host $manager
  exit $status' sh "$@"
