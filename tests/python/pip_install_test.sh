#!/usr/bin/env bash
# Installs the package with pip into a fresh virtual environment that sees Debian's packages
# (no package index: --no-index), from a copy of the source tree, and reads the simulated battery
# with the installed package.
# usage: pip_install_test.sh SOURCE_DIR [PYTHON]
set -euo pipefail
source_dir=$1
python=${2:-/usr/bin/python3}
work=$(mktemp -d /tmp/gpio-dll-pip.XXXXXX)
trap 'rm -rf "$work"' EXIT

mkdir "$work/src"
# What a clone holds: the files git tracks, or the whole folder but its builds outside a clone.
if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z | xargs -0 cp --parents -t "$work/src")
else
  (cd "$source_dir" && tar --exclude='./build*' -cf - . | tar -xf - -C "$work/src")
fi
"$python" -m venv --system-site-packages "$work/venv"
(cd "$work/src" && GPIO_DLL_BUILD_JOBS=2 "$work/venv/bin/python3" -m pip install -q \
  --no-build-isolation --no-index .)

cd "$work"
"$work/venv/bin/python3" - "$work/venv" <<'PY'
import sys

import gpio_dll

assert gpio_dll.__file__.startswith(sys.argv[1]), gpio_dll.__file__
module = gpio_dll.sim.install("2.0.19")
module.set_battery_word(0x0D, 42)
with gpio_dll.SMBus() as bus:
    charge = bus.read_word_data(0x0B, 0x0D)
assert charge == 42, charge
print("installed", gpio_dll.__file__, "reads", charge, "%")
PY
