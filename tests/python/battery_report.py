#!/usr/bin/env python3
"""Prints a smart battery's state, as a battery-service script written for smbus2 does.

Only the import below differs from the smbus2 original (`from smbus2 import SMBus`).
usage: battery_report.py [BUS]
"""
import sys

from gpio_dll import SMBus

BATTERY = 0x0B
VOLTAGE, CURRENT, RELATIVE_STATE_OF_CHARGE = 0x09, 0x0A, 0x0D
MANUFACTURER_NAME, DEVICE_NAME = 0x20, 0x21


def signed(word):
    return word - 0x10000 if word & 0x8000 else word


def text(block):
    return bytes(block).decode("ascii", "replace")


def main():
    bus_number = int(sys.argv[1]) if len(sys.argv) > 1 else 1
    with SMBus(bus_number) as bus:
        bus.pec = True
        voltage = bus.read_word_data(BATTERY, VOLTAGE)
        current = signed(bus.read_word_data(BATTERY, CURRENT))
        charge = bus.read_word_data(BATTERY, RELATIVE_STATE_OF_CHARGE)
        maker = text(bus.read_block_data(BATTERY, MANUFACTURER_NAME))
        name = text(bus.read_block_data(BATTERY, DEVICE_NAME))
    print(f"Battery:  {maker} {name}")
    print(f"Voltage:  {voltage} mV")
    print(f"Current:  {current} mA")
    print(f"Charge:   {charge} %")


if __name__ == "__main__":
    main()
