# Sourced by the tests that serve the simulated module through FUSE and use its hidraw node in a
# private mount namespace (served_device_namespace.sh, windows/hid_under_wine.sh).
server=

# Exits 77 (skipped), or 1 when GPIO_DLL_REQUIRE_SERVED_DEVICE is set, saying why.
skip() {
  echo "$(basename "$0") skipped: $1"
  [ -n "${GPIO_DLL_REQUIRE_SERVED_DEVICE:-}" ] && exit 1
  exit 77
}

require_served_device() {
  [ "$(id -u)" = 0 ] && [ -e /dev/fuse ] && command -v unshare >/dev/null ||
    skip "needs root, /dev/fuse and unshare"
}

# serve_module SIM DIR: serves the module (firmware 2.0.19) under DIR/mnt, logging to DIR/log,
# until its control line shows; the process id is in $server. In a cross build SIM runs under
# the emulator GPIO_DLL_EMULATOR names (words, such as "qemu-aarch64 -L /").
serve_module() {
  # shellcheck disable=SC2086
  ${GPIO_DLL_EMULATOR:-} "$1" serve --fw 2.0.19 --mount "$2/mnt" >"$2/log" 2>&1 &
  server=$!
  i=0
  until grep -q '^control:' "$2/log" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 100 ] && { echo "gpio-dll-sim did not start:"; cat "$2/log"; exit 1; }
    sleep 0.1
  done
}

stop_module() {
  [ -n "$server" ] || return 0
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
}

# private_dev DIR, inside the namespace: a tmpfs over /dev holding only the host's null, zero,
# random, urandom, full and tty, and the served DIR/mnt/dev/hidraw0 as /dev/hidraw0.
private_dev() {
  mkdir -p "$1/host-dev"
  mount --bind /dev "$1/host-dev"
  mount -t tmpfs gpio-dll-dev /dev
  for node in null zero random urandom full tty; do
    touch "/dev/$node"
    mount --bind "$1/host-dev/$node" "/dev/$node"
  done
  touch /dev/hidraw0
  mount --bind "$1/mnt/dev/hidraw0" /dev/hidraw0
}
