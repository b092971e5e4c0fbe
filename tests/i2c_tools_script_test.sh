#!/bin/sh
# Runs an i2c-tools script unchanged through the i2c-tools links of the build tree, against the
# simulated module in the tool (GPIO_DLL_SIM) or the module that gpio-dll-sim serves
# (GPIO_DLL_DEVICE), and compares its output with what it printed when it was written.
# usage: i2c_tools_script_test.sh sim|served LINKS_DIR GPIO_DLL_SIM_PROGRAM SCRIPT EXPECTED
# Served: exit 77 (skipped) without root, /dev/fuse and fusermount3, unless
# GPIO_DLL_REQUIRE_SERVED_DEVICE is set.
set -eu
mode=$1
links=$2
sim=$3
script=$4
expected=$5
support=$(cd "$(dirname "$0")/support" && pwd)/served_device.sh
# shellcheck source=support/served_device.sh
. "$support"
unset GPIO_DLL_SIM GPIO_DLL_DEVICE GPIO_DLL_SERIAL

dir=$(mktemp -d /tmp/gpio-dll-i2c-tools.XXXXXX)
trap 'stop_module; rm -rf "$dir"' EXIT
case $mode in
  sim)
    export GPIO_DLL_SIM=2.0.19
    ;;
  served)
    [ "$(id -u)" = 0 ] && [ -e /dev/fuse ] && [ -x /usr/bin/fusermount3 ] ||
      skip "needs root, /dev/fuse and fusermount3"
    serve_module "$sim" "$dir"
    export GPIO_DLL_DEVICE="$dir/mnt/dev/hidraw0"
    ;;
  *)
    echo "unknown mode $mode"
    exit 2
    ;;
esac

status=0
PATH="$links:$PATH" "$script" >"$dir/out" 2>"$dir/err" || status=$?
if [ $status -ne 0 ] || ! diff -u "$expected" "$dir/out"; then
  echo "$(basename "$script") against the $mode module: exit status $status"
  cat "$dir/err"
  exit 1
fi
echo "$(basename "$script") ran unchanged against the $mode module"
