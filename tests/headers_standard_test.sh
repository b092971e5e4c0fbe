#!/bin/bash
# Compiles each public header alone: the C++ headers as C++17 give exactly one error, the one
# that says C++20 is needed, and as C++20 none; the C headers compile as C++17 without one.
#
# usage: headers_standard_test.sh CXX SOURCE_DIR BUILD_INCLUDE_DIR
set -u
cxx=$1
source=$2
built=$3
dir=$(mktemp -d /tmp/gpio-dll-headers.XXXXXX)
trap 'rm -rf "$dir"' EXIT
# The simulated module's headers as they are installed: <gpio_dll/sim/...>.
mkdir -p "$dir/gpio_dll"
ln -s "$source/sim" "$dir/gpio_dll/sim"
flags=(-x c++ -fsyntax-only -Wall -Wextra -I"$source/include" -I"$built" -I"$dir")

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
compile() { # STANDARD HEADER: the compiler's messages
  echo "#include <$2>" | "$cxx" -std="$1" "${flags[@]}" - 2>&1
}

headers=$(cd "$source/include" && ls gpio_dll/*.hpp)
headers+=" "$(cd "$source/sim" && ls bus.hpp i2c_eeprom.hpp module_hardware.hpp \
  simulated_module.hpp smart_battery.hpp | sed 's|^|gpio_dll/sim/|')
count=0
for header in $headers; do
  [ "$header" = gpio_dll/export.hpp ] && continue # macros only, for the C header too
  count=$((count + 1))
  out=$(compile c++17 "$header")
  errors=$(grep -c 'error:' <<<"$out")
  if [ "$errors" -ne 1 ] || ! grep -q 'error: .*need C++20 or later' <<<"$out"; then
    fail "$header as C++17: $errors errors, not the one saying C++20 is needed:"
    echo "$out" | grep 'error:' | head -5
  fi
  out=$(compile c++20 "$header") || fail "$header as C++20: $out"
done
for header in gpio_dll/gpio_dll.h gpio_dll/sim/gpio_dll_sim.h; do
  out=$(compile c++17 "$header") || fail "$header (the C interface) as C++17: $out"
done
[ $failures -eq 0 ] && echo "headers: $count C++ headers give one error before C++20, none with it"
[ $failures -eq 0 ]
