#!/usr/bin/env bash
# Every place that states the project's version states the one of project() in CMakeLists.txt:
# <gpio_dll/version.h>, the tools' --version, gpio_dll.__version__, setup.py (pyproject.toml),
# debian/changelog, the pkg-config files, the CMake package's version file and the libraries'
# SONAMEs (the major version).
# The tools run through $GPIO_DLL_EMULATOR when set (a cross build).
#   version_agrees.sh SOURCE_DIR BUILD_DIR GPIO_DLL GPIO_DLL_SIM|- LIBGPIO_DLL LIBGPIO_DLL_SIM PYTHON|-
set -uo pipefail
src=$1 build=$2 tool=$3 sim=$4 lib=$5 simlib=$6 python=$7

version=$(sed -n 's/^project(gpio_dll VERSION \([0-9.]*\) .*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || { echo "no version in project() of CMakeLists.txt"; exit 1; }
major=${version%%.*}
failures=0
check() { # NAME SAID
  if [ "$2" = "$version" ]; then echo "ok   $1: $2"
  else echo "FAIL $1 says '$2', project() says $version"; failures=$((failures + 1)); fi
}

h=$build/include/gpio_dll/version.h
check "version.h string" "$(sed -n 's/^#define GPIO_DLL_VERSION_STRING "\(.*\)"/\1/p' "$h")"
check "version.h numbers" "$(awk '/^#define GPIO_DLL_VERSION_(MAJOR|MINOR|PATCH) /{v = v sep $3; sep = "."} END{print v}' "$h")"
check "gpio-dll --version" "$(${GPIO_DLL_EMULATOR:-} "$tool" --version | sed -n 's/^gpio-dll //p')"
[ "$sim" = - ] || check "gpio-dll-sim --version" "$(${GPIO_DLL_EMULATOR:-} "$sim" --version | sed -n 's/^gpio-dll-sim //p')"
if [ "$python" != - ]; then
  check "gpio_dll.__version__" "$(PYTHONPATH=$build/python "$python" -c 'import gpio_dll; print(gpio_dll.__version__)')"
fi
# pyproject.toml names no version of its own: setup.py gives setuptools project()'s.
if [ "$python" != - ]; then
  grep -q '^version *=' "$src/pyproject.toml" && check "pyproject.toml" "a version of its own"
  check "setup.py --version" "$(cd "$src" && "$python" setup.py --version 2>/dev/null | tail -1)"
fi
check "debian/changelog" "$(sed -n '1s/^gpio-dll (\([^)]*\)).*/\1/p' "$src/debian/changelog")"
for pc in gpio_dll gpio_dll_sim; do
  check "$pc.pc" "$(sed -n 's/^Version: //p' "$build/$pc.pc")"
done
check "gpio_dllConfigVersion.cmake" \
  "$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")/\1/p' "$build/gpio_dllConfigVersion.cmake")"
for so in "$lib" "$simlib"; do
  soname=$(objdump -p "$so" | awk '$1 == "SONAME" {print $2}')
  want="$(basename "${so%%.so*}").so.$major"
  if [ "$soname" = "$want" ]; then echo "ok   SONAME $soname"
  else echo "FAIL SONAME of $so is '$soname', not $want"; failures=$((failures + 1)); fi
done
exit $((failures > 0))
