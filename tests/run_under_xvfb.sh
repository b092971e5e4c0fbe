#!/bin/sh
# Runs a command under an Xvfb of its own. Xvfb picks a free display number itself (-displayfd),
# so runs side by side never take the same one (xvfb-run -a can, between its check and the
# server's start).
set -u
number_file=$(mktemp /tmp/gpio-dll-xvfb.XXXXXX)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" 2>/dev/null &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -f "$number_file"' EXIT
tries=0
while [ ! -s "$number_file" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 200 ] || ! kill -0 $server 2>/dev/null; then
    echo "Xvfb did not start"
    exit 1
  fi
  sleep 0.05
done
DISPLAY=":$(head -n 1 "$number_file")" "$@"
