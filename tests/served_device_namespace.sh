#!/bin/sh
# Serves the simulated module, then runs the DefaultPaths tests in a private mount namespace in
# which the served file is /dev/hidraw0 and the served tree is /sys/class/hidraw, so that the
# hidraw backend runs with its default paths. Exit 77 (skipped) without root or /dev/fuse,
# unless GPIO_DLL_REQUIRE_SERVED_DEVICE is set. In a cross build both programs run under the
# emulator GPIO_DLL_EMULATOR names.
set -eu
sim=$1
tests=$2
support=$(cd "$(dirname "$0")/support" && pwd)/served_device.sh
# shellcheck source=support/served_device.sh
. "$support"
require_served_device

dir=$(mktemp -d /tmp/gpio-dll-ns.XXXXXX)
trap 'stop_module; rm -rf "$dir"' EXIT
serve_module "$sim" "$dir"

GPIO_DLL_IN_SERVED_NAMESPACE=1 unshare --mount --propagation private sh -c "
  set -e
  . '$support'
  private_dev '$dir'
  mount -t tmpfs gpio-dll-class /sys/class
  mkdir /sys/class/hidraw
  mount --bind '$dir/mnt/sys/class/hidraw' /sys/class/hidraw
  exec ${GPIO_DLL_EMULATOR:-} '$tests' --gtest_filter='DefaultPaths.*'
"
