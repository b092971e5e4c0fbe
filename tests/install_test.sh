#!/bin/sh
# Installs the build into a temporary prefix, then builds programs against it as an outside
# project would: with find_package(gpio_dll) (the shared and the static library, each alone and
# with the simulated module) and with pkg-config (as C++20 and as C++23). Also checks the
# installed tools, their man pages and bash completion, and the udev rule.
set -eu
build=$1
source=$2
dir=$(mktemp -d /tmp/gpio-dll-install.XXXXXX)
trap 'rm -rf "$dir"' EXIT
prefix="$dir/prefix"
consumer_source="$source/tests/install_consumer"
fail() {
  echo "$*"
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/gpio-dll" || fail "gpio-dll not installed"
# The i2c-tools links, in a folder of their own, run the installed tool.
links=$(find "$prefix" -type d -path "*/gpio-dll/i2c-tools")
[ -n "$links" ] || fail "the i2c-tools links are not installed"
for name in i2cdetect i2cget i2cset i2cdump i2ctransfer; do
  [ -L "$links/$name" ] || fail "$links/$name is not a link"
done
[ "$(GPIO_DLL_SIM=2.0.19 PATH="$links:$PATH" i2cget -y 1 0x0b 0x0d w)" = 0x0057 ] ||
  fail "the installed i2cget link does not run gpio-dll"
if [ -e "$build/sim/gpio-dll-sim" ]; then
  test -x "$prefix/bin/gpio-dll-sim" || fail "gpio-dll-sim not installed"
fi
# Man pages, made from the programs' help texts, and the bash completion under each program's
# name where bash-completion looks for it.
programs=gpio-dll
[ -e "$build/sim/gpio-dll-sim" ] && programs="gpio-dll gpio-dll-sim"
for program in $programs; do
  page="$prefix/share/man/man1/$program.1"
  test -s "$page" || fail "no man page $page"
  title=$(echo "$program" | tr '[:lower:]' '[:upper:]')
  grep -q "^\.TH \"\?$title\"\? \"\?1" "$page" || fail "$page: no title for $program(1)"
  grep -q 'fB.-.-help.fR' "$page" || fail "$page: no options"
  completion=$(find "$prefix" -path "*/bash-completion/completions/$program")
  test -n "$completion" || fail "no bash completion for $program"
  registered=$(bash -c ". '$completion' && complete -p $program" 2>&1) ||
    fail "$completion does not register $program: $registered"
done
grep -q '^\.SS "gpio-dll smbus"' "$prefix/share/man/man1/gpio-dll.1" ||
  fail "gpio-dll.1: the commands' own help is missing"
case "$completion" in
"$prefix/share/bash-completion/completions/"*) ;;
*) fail "completion outside share/bash-completion/completions: $completion" ;;
esac

rules="$prefix/lib/udev/rules.d/70-gpio-dll.rules"
test -f "$rules" || fail "no udev rule"
grep -q 'ATTRS{idVendor}=="0451", ATTRS{idProduct}=="5f00"' "$rules" || fail "rule: no module ids"
grep -q 'TAG+="uaccess"' "$rules" || fail "rule: no uaccess"
grep -q 'GROUP="plugdev"' "$rules" || fail "rule: no plugdev"
# No world access: every MODE is 0xx0.
if grep -o 'MODE="[0-7]*"' "$rules" | grep -qv 'MODE="0[0-7][0-7]0"'; then
  fail "world-accessible MODE in $rules"
fi

# find_package: four programs, each run; the shared ones must load the shared libraries, the
# static ones none of the project's.
cmake -S "$consumer_source" -B "$dir/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$dir/consumer" >/dev/null
for program in consumer consumer_static sim_consumer sim_consumer_static; do
  LD_LIBRARY_PATH="$prefix/lib" "$dir/consumer/$program" >/dev/null || fail "$program failed"
done
needed() { readelf -d "$dir/consumer/$1" | grep NEEDED || true; }
needed sim_consumer | grep -q 'libgpio_dll\.so' || fail "sim_consumer: no libgpio_dll.so"
needed sim_consumer | grep -q 'libgpio_dll_sim\.so' || fail "sim_consumer: no libgpio_dll_sim.so"
if needed sim_consumer_static | grep -q 'libgpio_dll'; then
  fail "sim_consumer_static loads a shared gpio_dll library"
fi

# The debug window's front end: a module of its own under lib/gpio_dll/, which the library finds
# there; the library links neither FLTK nor X11 (a static program links the front end in).
if [ -e "$build/src/gpio_dll/gpio_dll_fltk.so" ]; then
  module="$prefix/lib/gpio_dll/gpio_dll_fltk.so"
  test -f "$module" || fail "no $module"
  reason=$(env -u DISPLAY -u GPIO_DLL_FLTK_MODULE LD_LIBRARY_PATH="$prefix/lib" \
    "$dir/consumer/consumer" --headless-reason)
  [ "$reason" = "$module: no display could be opened (DISPLAY is not set)" ] ||
    fail "the installed library did not load $module: $reason"
  if readelf -d "$prefix/lib/libgpio_dll.so" | grep NEEDED | grep -q 'libfltk\|libX11'; then
    fail "libgpio_dll.so links FLTK or X11"
  fi
  reason=$(env -u DISPLAY "$dir/consumer/consumer_fltk_static" --headless-reason)
  [ "$reason" = "the linked FLTK front end: no display could be opened (DISPLAY is not set)" ] ||
    fail "consumer_fltk_static: $reason"
  if grep -q 'lfltk' "$prefix/lib/pkgconfig/gpio_dll.pc"; then fail "gpio_dll.pc links FLTK"; fi
fi

# The shared library with the static simulated module would be two copies of the library.
if cmake -S "$consumer_source/mixed" -B "$dir/mixed" -DCMAKE_PREFIX_PATH="$prefix" \
  >"$dir/mixed.log" 2>&1; then
  fail "a program linking the shared library and the static simulated module was accepted"
fi
grep -q GPIO_DLL_VARIANT "$dir/mixed.log" || fail "mixed variants refused for another reason: $(cat "$dir/mixed.log")"

# pkg-config leaves the language standard to the program: a C++23 program stays C++23.
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
case "$(pkg-config --cflags gpio_dll gpio_dll_sim)" in
*-std=*) fail "pkg-config sets a language standard: $(pkg-config --cflags gpio_dll)" ;;
esac
for standard in 20:202002L 23:202100L; do
  # shellcheck disable=SC2046
  c++ -std=c++"${standard%%:*}" -DEXPECTED_CPLUSPLUS="${standard#*:}" -o "$dir/pc-consumer" \
    "$consumer_source/consumer.cpp" $(pkg-config --cflags --libs gpio_dll)
  LD_LIBRARY_PATH="$prefix/lib" "$dir/pc-consumer" >/dev/null || fail "pkg-config consumer failed"
done
# shellcheck disable=SC2046
c++ -std=c++20 -o "$dir/pc-sim-consumer" "$consumer_source/sim_consumer.cpp" \
  $(pkg-config --cflags --libs gpio_dll_sim)
LD_LIBRARY_PATH="$prefix/lib" "$dir/pc-sim-consumer" >/dev/null || fail "pkg-config sim consumer failed"

# pkg-config --static: the private libraries. A program links fully static (-static) where the
# system has every static library the line names; elsewhere the line must still link.
found() { # FILE: the compiler finds it in its library folders
  [ "$(c++ -print-file-name="$1")" != "$1" ]
}
libraries_missing() { # SUFFIXES LIBS...: the -lNAME outside the prefix without a libNAME.SUFFIX
  suffixes=$1
  shift
  for word in "$@"; do
    case $word in
    -lgpio_dll* | -l:*) ;;
    -l*)
      present=""
      for suffix in $suffixes; do found "lib${word#-l}.$suffix" && present=yes; done
      [ -n "$present" ] || echo "$word"
      ;;
    esac
  done
}
link_with_static_line() { # PROGRAM PACKAGE [FLAGS...]: links, runs with --headless-reason
  program=$1
  package=$2
  shift 2
  libs=$(pkg-config --static --libs "$package")
  static=""
  # shellcheck disable=SC2086
  [ -z "$(libraries_missing a $libs)" ] && static=-static
  # shellcheck disable=SC2046,SC2086
  c++ -std=c++20 $static "$@" -o "$dir/$program" "$consumer_source/consumer.cpp" \
    $(pkg-config --cflags "$package") $libs 2>"$dir/$program.log" ||
    fail "$package: pkg-config --static does not link: $(grep -m5 'undefined\|cannot find' "$dir/$program.log")"
  if [ -n "$static" ] && readelf -d "$dir/$program" | grep -q NEEDED; then
    fail "$program: linked with -static, still loads $(readelf -d "$dir/$program" | grep NEEDED)"
  fi
  env -u DISPLAY LD_LIBRARY_PATH="$prefix/lib" "$dir/$program" --headless-reason
}
link_with_static_line pc-static-consumer gpio_dll >/dev/null || fail "pkg-config static consumer failed"
if [ -e "$prefix/lib/pkgconfig/gpio_dll_fltk.pc" ]; then
  # What the static X11 library needs (libxcb, ...) is on the line.
  static_line=" $(pkg-config --static --libs gpio_dll_fltk) "
  for word in $(pkg-config --static --libs x11 2>/dev/null); do
    case $static_line in *" $word "*) ;; *) fail "gpio_dll_fltk.pc: --static lacks $word of X11" ;; esac
  done
  # FLTK's own libraries (libXinerama, libXcursor, ...) come with their -dev packages, which
  # FLTK's does not depend on: without them no program links FLTK's archive at all.
  # shellcheck disable=SC2046
  missing=$(libraries_missing "a so" $(pkg-config --static --libs gpio_dll_fltk) | tr '\n' ' ')
  if [ -n "$missing" ]; then
    echo "note: the static FLTK program is not linked: no library for $missing"
  else
    reason=$(link_with_static_line pc-static-fltk gpio_dll_fltk -DLINKED_FLTK) || fail "$reason"
    [ "$reason" = "the linked FLTK front end: no display could be opened (DISPLAY is not set)" ] ||
      fail "pc-static-fltk: $reason"
  fi
fi

# The Python package, where Debian's Python looks under the prefix, when the build made it.
if [ -d "$build/python/gpio_dll" ]; then
  site=$(echo "$prefix"/lib/python3*/dist-packages)
  PYTHONPATH="$site" /usr/bin/python3 -c "import gpio_dll, sys
assert gpio_dll.__file__.startswith(sys.argv[1]), gpio_dll.__file__
gpio_dll.sim.install()
assert gpio_dll.SMBus().read_word_data(0x0b, 0x09) > 0" "$site" || fail "installed Python package failed"
fi
echo "installed tree works with find_package (shared, static, simulated module) and pkg-config"
