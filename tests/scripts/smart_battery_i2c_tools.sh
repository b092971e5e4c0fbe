#!/bin/sh
# Smart battery check with i2c-tools: finds the battery on the bus, reads its state (SBS
# registers), writes ManufacturerAccess with read back, and dumps its word registers.
# usage: smart_battery_i2c_tools.sh [I2CBUS]   (default 1)
set -eu
bus=${1:-1}
battery=0x0b

echo "== bus $bus"
i2cdetect -y -r "$bus" 0x08 0x0f
if ! i2cdetect -y -r "$bus" | grep -q ' 0b '; then
  echo "FAIL: no smart battery at $battery" >&2
  exit 1
fi

word() { # register -> decimal
  printf '%d' "$(i2cget -y "$bus" "$battery" "$1" w)"
}
temperature=$(word 0x08)
voltage=$(word 0x09)
soc=$(word 0x0d)
cycles=$(word 0x17)
serial=$(i2cget -y "$bus" "$battery" 0x1c wp)
echo "Temperature: $(( (temperature - 2732) / 10 )) C"
echo "Voltage: $voltage mV"
echo "RelativeStateOfCharge: $soc %"
echo "CycleCount: $cycles"
echo "SerialNumber: $serial"
[ "$soc" -le 100 ] || { echo "FAIL: state of charge $soc %" >&2; exit 1; }

echo "== ManufacturerName"
i2ctransfer -y "$bus" w1@$battery 0x20 r?
i2cget -y "$bus" "$battery" 0x20 s

echo "== ManufacturerAccess"
i2cset -y -r "$bus" "$battery" 0x00 0x0001 w

echo "== word registers 0x08-0x17"
i2cdump -y -r 0x08-0x17 "$bus" "$battery" w

# A quick write is not for every adapter: refused before anything is sent.
if i2ctransfer -y "$bus" w0@$battery 2>/dev/null; then
  echo "quick write sent"
fi
echo "PASS"
