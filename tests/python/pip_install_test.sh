#!/usr/bin/env bash
# The Python package the ways pip users get it, from a copy of the source tree (the files git
# tracks, committed into a repository of its own), with Debian's packages and no package index:
#  1. `setup.py sdist` makes a source package that holds what the build needs;
#  2. pip builds a wheel from it, whose CMake configuration looks for nothing the extension does
#     not need; the wheel installs into a plain virtual environment;
#  3. `pip install .` from the tree installs too and leaves nothing untracked behind.
# Each installed package reads the simulated battery and has the project's version.
# usage: pip_install_test.sh SOURCE_DIR VERSION [PYTHON]
set -euo pipefail
source_dir=$1
version=$2
python=${3:-/usr/bin/python3}
work=$(mktemp -d /tmp/gpio-dll-pip.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# pip unpacks and builds under TMPDIR: inside $work, so that ccache (when the build uses it)
# sees the same relative paths on every run.
export TMPDIR=$work/tmp CCACHE_BASEDIR=$work GPIO_DLL_BUILD_JOBS=${GPIO_DLL_BUILD_JOBS:-2}
mkdir "$work/tmp" "$work/src"
# What a clone holds: the files git tracks, or the whole folder but its builds outside a clone.
if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z | xargs -0 cp --parents -t "$work/src")
else
  (cd "$source_dir" && tar --exclude='./build*' --exclude=./dist -cf - . | tar -xf - -C "$work/src")
fi
git -C "$work/src" init -q
git -C "$work/src" add -A
git -C "$work/src" -c user.name=test -c user.email=test@localhost commit -qm tree

# installed_check VENV: the package imports from VENV, has the version and reads the battery.
installed_check() {
  (cd "$work" && "$1/bin/python3" - "$1" "$version" <<'PY'
import importlib.metadata
import sys

import gpio_dll

venv, version = sys.argv[1:]
assert gpio_dll.__file__.startswith(venv), gpio_dll.__file__
assert gpio_dll.__version__ == version, (gpio_dll.__version__, version)
assert importlib.metadata.version("gpio_dll") == version, importlib.metadata.version("gpio_dll")
module = gpio_dll.sim.install("2.0.19")
module.set_battery_word(0x0D, 42)
with gpio_dll.SMBus() as bus:
    charge = bus.read_word_data(0x0B, 0x0D)
assert charge == 42, charge
print("installed", gpio_dll.__file__, gpio_dll.__version__, "reads", charge, "%")
PY
  )
}

echo "== sdist"
(cd "$work/src" && "$python" setup.py -q sdist >"$work/sdist.log" 2>&1) || {
  cat "$work/sdist.log"; fail "setup.py sdist"; }
sdist=$work/src/dist/gpio_dll-$version.tar.gz
[ -f "$sdist" ] || fail "no $sdist: $(ls "$work/src/dist")"
# Every tracked file of the folders the build reads, and the top CMakeLists.txt.
tar -tzf "$sdist" | sed "s|^gpio_dll-$version/||" | sort >"$work/sdist.files"
(cd "$work/src" && git ls-files CMakeLists.txt cmake include src parse sim python) | sort \
  >"$work/needed.files"
missing=$(comm -13 "$work/sdist.files" "$work/needed.files")
[ -z "$missing" ] || fail "the source package lacks: $missing"

echo "== wheel from the sdist"
"$python" -m venv --system-site-packages "$work/build-venv"
# The configuration traced: the project's own find_* calls are the extension's needs alone.
GPIO_DLL_CMAKE_ARGS="--trace --trace-redirect=$work/trace.txt" \
  "$work/build-venv/bin/python3" -m pip wheel -q --no-build-isolation --no-deps --no-index \
  --no-cache-dir -w "$work/wheels" "$sdist"
looked_for=$(grep -E "^$TMPDIR/.*/(CMakeLists\.txt|[a-z_]+\.cmake)\([0-9]+\): +(find_package|find_program|find_path|find_library|pkg_check_modules)\(" \
  "$work/trace.txt" | sed -E 's/^[^:]*: +//; s/\(([A-Za-z0-9_]+).*/ \1/' | sort -u)
expected=$'find_package Python\nfind_package Threads\nfind_package pybind11'
[ "$looked_for" = "$expected" ] || fail "the configuration looks for: $looked_for"
"$python" -m venv "$work/wheel-venv"
"$work/wheel-venv/bin/python3" -m pip install -q --no-index "$work/wheels"/gpio_dll-"$version"-*.whl
installed_check "$work/wheel-venv"

echo "== pip install . from the tree"
"$python" -m venv --system-site-packages "$work/venv"
(cd "$work/src" && "$work/venv/bin/python3" -m pip install -q --no-build-isolation --no-index \
  --no-cache-dir .)
installed_check "$work/venv"
untracked=$(git -C "$work/src" status --porcelain)
[ -z "$untracked" ] || fail "building left in the tree: $untracked"
echo PASS
