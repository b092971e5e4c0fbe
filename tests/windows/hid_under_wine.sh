#!/bin/sh
# The Windows tool through the Windows HID backend under wine, against the served simulated
# module: wine's HID bus (winebus, through udev) finds the served node as /dev/hidraw0 in a
# private mount namespace whose /sys holds the sysfs entries libudev expects for it. Then
# `gpio-dll.exe identify` and a word written and read back go through SetupDi, HidD_* and
# overlapped ReadFile to the module, and the call trace shows what the setup library's calls
# returned. In a 32-bit prefix (win32) wine's HID bus is a 32-bit program, whose ioctls reach the
# served node as 32-bit ones; in a 64-bit prefix (win64, where a 32-bit tool runs under WoW64)
# they are 64-bit.
#
# usage: hid_under_wine.sh GPIO_DLL_SIM GPIO_DLL_EXE WINE_LOADER PREFIX [win32|win64]
# Exit 77 (skipped) without root, /dev/fuse, unshare or the host's gpio-dll-sim, unless
# GPIO_DLL_REQUIRE_SERVED_DEVICE is set.
set -eu
sim=$1 tool=$2 loader=$3 prefix=$4 arch=${5:-win64}

support=$(cd "$(dirname "$0")/../support" && pwd)/served_device.sh
# shellcheck source=../support/served_device.sh
. "$support"
require_served_device
[ -x "$sim" ] || skip "needs the Linux gpio-dll-sim (configure with -DGPIO_DLL_HOST_SIM=PATH)"

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
unset DISPLAY
# A prefix of this test's own, whose wine server and device services start in the namespace.
if [ ! -f "$prefix/system.reg" ]; then
  WINEARCH=$arch "$loader" wineboot --init >/dev/null 2>&1 || true
  # Without SDL wine 8 enumerates HID devices through udev.
  "$loader" reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v 'Enable SDL' \
    /t REG_DWORD /d 0 /f >/dev/null 2>&1
fi
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -w 2>/dev/null || true

dir=$(mktemp -d /tmp/gpio-dll-wine.XXXXXX)
cleanup() {
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  stop_module
  rm -rf "$dir"
}
trap cleanup EXIT
serve_module "$sim" "$dir"

# The HID device's uevent (HID_ID, HID_NAME, HID_UNIQ) comes from the served tree.
cp "$dir/mnt/sys/class/hidraw/hidraw0/device/uevent" "$dir/hid-uevent"

SYSTEMD_DEVICE_VERIFY_SYSFS=0 unshare --mount --propagation private sh -c "
  set -e
  . '$support'
  private_dev '$dir'
  mkdir /dev/shm && mount -t tmpfs gpio-dll-shm /dev/shm

  # /sys/devices/virtual holds the HID device and its hidraw node; /sys/class and /sys/bus
  # the links that name their subsystems.
  mount -t tmpfs gpio-dll-devices /sys/devices/virtual
  mount -t tmpfs gpio-dll-class /sys/class
  mount -t tmpfs gpio-dll-bus /sys/bus
  hid=/sys/devices/virtual/gpio-dll/0003:0451:5F00.0001
  mkdir -p /sys/class/hidraw /sys/bus/hid/devices \$hid/hidraw/hidraw0
  cp '$dir/hid-uevent' \$hid/uevent
  ln -s /sys/bus/hid \$hid/subsystem
  printf 'MAJOR=240\nMINOR=0\nDEVNAME=hidraw0\n' > \$hid/hidraw/hidraw0/uevent
  echo 240:0 > \$hid/hidraw/hidraw0/dev
  ln -s /sys/class/hidraw \$hid/hidraw/hidraw0/subsystem
  ln -s \$hid \$hid/hidraw/hidraw0/device
  ln -s \$hid/hidraw/hidraw0 /sys/class/hidraw/hidraw0
  ln -s \$hid /sys/bus/hid/devices/0003:0451:5F00.0001

  # One wine server for every program below (one that shuts down between two programs fails
  # the second).
  /usr/lib/wine/wineserver -p60 </dev/null >/dev/null 2>&1
  # Wine's services (the HID bus among them) start with the server's first program, and wine's
  # processes keep the standard output of the program that started them until the server ends:
  # the services start here with none, and each program below writes to a file, so that no
  # capture or pipe waits on them.
  '$loader' cmd /c exit </dev/null >/dev/null 2>&1 || true
  wine_tool() {
    status=0
    '$loader' '$tool' \"\$@\" >'$dir/tool-output' 2>&1 || status=\$?
    tr -d '\\r' <'$dir/tool-output'
    return \$status
  }
  # Wine's HID bus may list the device only a moment after wine starts: retry for a while.
  tries=0
  until out=\$(wine_tool identify); do
    tries=\$((tries + 1))
    if [ \$tries -ge 10 ]; then echo \"identify failed: \$out\"; exit 1; fi
    sleep 1
  done
  echo \"\$out\"
  echo \"\$out\" | grep -q '^firmware: 2.0.19' || { echo 'wrong firmware'; exit 1; }
  echo \"\$out\" | grep -q '^vendor: *0451' || { echo 'wrong vendor'; exit 1; }

  # The module by its HID interface path, as the listing shows it; another path finds nothing.
  listing=\$(wine_tool list)
  printf '%s\\n' \"\$listing\"
  path=\$(printf '%s\\n' \"\$listing\" | grep '  0451:5F00  module' | head -n 1 | cut -d ' ' -f 1)
  [ -n \"\$path\" ] || { echo 'the module is not listed'; exit 1; }
  wine_tool --device \"\$path\" identify | grep -q '^firmware: 2.0.19' ||
    { echo \"identify --device \$path failed\"; exit 1; }
  if '$loader' '$tool' --device '\\\\?\\hid#no_such_device' identify >/dev/null 2>&1; then
    echo 'a path of no device found a module'; exit 1
  fi

  # The trace: the size query fails for lack of room (122), and the enumeration ends when there
  # is no more (259), each with the system's text for it.
  error_text() {
    wine_tool call GetErrString \$1 | sed -n 's/^GetErrString = \"\\(.*\\)\"\$/\\1/p'
  }
  follows() {
    printf '%s\\n' \"\$1\" | grep -A1 -xF \"\$2\" | grep -qxF \"  Result = \$3\" ||
      { echo \"no '\$2' with '\$3' in the trace\"; exit 1; }
  }
  follows \"\$(wine_tool --trace identify)\" SetupDiGetDeviceInterfaceDetail \"\$(error_text 122)\"
  follows \"\$(wine_tool --trace --device 'no such device' identify || true)\" \\
    SetupDiEnumDeviceInterfaces \"\$(error_text 259)\"

  # Standard input from the null device is no console: the write is not asked, without -y.
  wine_tool smbus write-word 0x0b 0x01 0x1234 </dev/null
  word=\$(wine_tool smbus read-word 0x0b 0x01)
  echo \"read-word: \$word\"
  [ \"\$word\" = 0x1234 ] || { echo 'the word read back differs from the word written'; exit 1; }
  echo 'HID under wine: passed'
"
