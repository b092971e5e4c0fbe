#!/bin/sh
# Runs a Windows test program under wine on an Xvfb of its own, then turns the BMP screenshots
# it left in ARTIFACTS into PNG files.
#
# usage: windows_under_xvfb.sh WINE_RUN PREFIX LOADER ARTIFACTS PROGRAM [ARG...]
set -u
[ $# -ge 5 ] || { echo "usage: $0 WINE_RUN PREFIX LOADER ARTIFACTS PROGRAM [ARG...]" >&2; exit 2; }
wine_run=$1 prefix=$2 loader=$3 artifacts=$4
shift 4
here=$(cd "$(dirname "$0")/.." && pwd)

# The prefix's wine server keeps its desktop on the display it first had: each run starts afresh
# and leaves none behind for the next, whose display is another.
stop_server() { WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true; }
stop_server
# With no window manager on the server, wine draws the windows' frames and captions itself.
status=0
"$here/run_under_xvfb.sh" sh -c '
  export GPIO_DLL_WINE_DISPLAY=$DISPLAY GPIO_DLL_REQUIRE_DISPLAY=1
  "$1" "$2" "$3" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /d N /f >/dev/null &&
    exec "$@"' sh "$wine_run" "$prefix" "$loader" "$@" || status=$?
stop_server

for bitmap in "$artifacts"/*.bmp; do
  [ -f "$bitmap" ] || continue
  if bmptopnm "$bitmap" 2>/dev/null | pnmtopng >"${bitmap%.bmp}.png"; then
    rm -f "$bitmap"
  else
    echo "windows_under_xvfb.sh: cannot turn $bitmap into PNG" >&2
    status=1
  fi
done
exit $status
