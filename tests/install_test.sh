#!/bin/sh
# Installs the build into a temporary prefix, then builds a program against it twice: with
# find_package(gpio_dll) and with pkg-config. Also checks the installed udev rule.
set -eu
build=$1
source=$2
dir=$(mktemp -d /tmp/gpio-dll-install.XXXXXX)
trap 'rm -rf "$dir"' EXIT

cmake --install "$build" --prefix "$dir/prefix" >/dev/null
test -x "$dir/prefix/bin/gpio-dll"
rules="$dir/prefix/lib/udev/rules.d/70-gpio-dll.rules"
test -f "$rules"
grep -q 'ATTRS{idVendor}=="0451", ATTRS{idProduct}=="5f00"' "$rules"
grep -q 'TAG+="uaccess"' "$rules"
grep -q 'GROUP="plugdev"' "$rules"
# No world access: every MODE is 0xx0.
if grep -o 'MODE="[0-7]*"' "$rules" | grep -qv 'MODE="0[0-7][0-7]0"'; then
  echo "world-accessible MODE in $rules"; exit 1
fi

cmake -S "$source/tests/install_consumer" -B "$dir/consumer" -DCMAKE_PREFIX_PATH="$dir/prefix" >/dev/null
cmake --build "$dir/consumer" >/dev/null
LD_LIBRARY_PATH="$dir/prefix/lib" "$dir/consumer/consumer"

export PKG_CONFIG_PATH="$dir/prefix/lib/pkgconfig"
# shellcheck disable=SC2046
c++ -o "$dir/pc-consumer" "$source/tests/install_consumer/consumer.cpp" $(pkg-config --cflags --libs gpio_dll)
LD_LIBRARY_PATH="$dir/prefix/lib" "$dir/pc-consumer"
echo "installed tree works with find_package and pkg-config"
