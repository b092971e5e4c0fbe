"""The simulated module, for tests without hardware.

``gpio_dll.sim.install("2.0.19")`` makes a simulated platform with one simulated module the
component's platform (for the whole process, taken up at each thread's next identification) and
returns the module: a smart battery at 0x0B (Voltage 0x09 mV, Current 0x0A mA, RelativeState
OfCharge 0x0D %, names in the blocks 0x20 to 0x22, ManufacturerAccess 0x00 answered by a Process
Call with the complement of the word written, ManufacturerBlockAccess 0x44 keeping up to 120
bytes) and a 256-byte I2C EEPROM at 0x50. ``gpio_dll.use_system()`` goes back to real devices.

``gpio_dll.sim.make(...)`` makes the same without installing it: ``SMBus(simulated=module)``
talks to it, and ``module.use_on_this_thread()`` makes it the calling thread's platform alone
(``gpio_dll.use_process_platform_on_this_thread()`` goes back).

Time-outs run on the platform's virtual clock (``now_ms()``): a silent module costs no real
time.
"""
from ._gpio_dll import Module

__all__ = ["Module", "install", "make"]


def make(firmware="2.0.19", serial_number="SIM0001", retry_answers=0, input_report_length=65):
    """Makes a simulated module with firmware "2.0.19" or "1.0.10" on a platform of its own, and
    returns it; nothing uses it until it is installed or used on a thread.

    retry_answers: how many version queries it answers with "0.0.10" before its version.
    input_report_length: the length of its input reports, identifier byte included (3 to 65): a
    shorter one cuts every answer short.
    """
    from ._gpio_dll import _sim_make
    return _sim_make(firmware, serial_number, retry_answers, input_report_length)


def install(firmware="2.0.19", serial_number="SIM0001", retry_answers=0, input_report_length=65):
    """Installs a simulated module for the whole process (as make() makes it) and returns it."""
    module = make(firmware, serial_number, retry_answers, input_report_length)
    module.install()
    return module
