#!/bin/sh
# Serves the simulated module, then runs the DefaultPaths tests in a private mount namespace in
# which the served file is /dev/hidraw0 and the served tree is /sys/class/hidraw, so that the
# hidraw backend runs with its default paths. Exit 77 (skipped) without root or /dev/fuse,
# unless GPIO_DLL_REQUIRE_SERVED_DEVICE is set.
set -eu
sim=$1
tests=$2

if [ "$(id -u)" != 0 ] || [ ! -e /dev/fuse ] || ! command -v unshare >/dev/null; then
  echo "served-device namespace test skipped: needs root, /dev/fuse and unshare"
  [ -n "${GPIO_DLL_REQUIRE_SERVED_DEVICE:-}" ] && exit 1
  exit 77
fi

dir=$(mktemp -d /tmp/gpio-dll-ns.XXXXXX)
"$sim" serve --fw 2.0.19 --mount "$dir/mnt" >"$dir/log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true; wait $server 2>/dev/null || true; rm -rf "$dir"' EXIT
i=0
until grep -q '^control:' "$dir/log" 2>/dev/null; do
  i=$((i + 1))
  [ $i -gt 100 ] && { echo "gpio-dll-sim did not start:"; cat "$dir/log"; exit 1; }
  sleep 0.1
done

status=0
GPIO_DLL_IN_SERVED_NAMESPACE=1 unshare --mount --propagation private sh -c "
  set -e
  mkdir -p '$dir/host-dev'
  mount --bind /dev '$dir/host-dev'
  mount -t tmpfs gpio-dll-dev /dev
  for node in null zero random urandom full tty; do
    touch /dev/\$node
    mount --bind '$dir/host-dev'/\$node /dev/\$node
  done
  touch /dev/hidraw0
  mount --bind '$dir/mnt/dev/hidraw0' /dev/hidraw0
  mount -t tmpfs gpio-dll-class /sys/class
  mkdir /sys/class/hidraw
  mount --bind '$dir/mnt/sys/class/hidraw' /sys/class/hidraw
  exec '$tests' --gtest_filter='DefaultPaths.*'
" || status=$?
exit $status
