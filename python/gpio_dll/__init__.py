"""gpio_dll: the USB HID bridge module (vendor 0x0451, product 0x5F00) from Python.

- ``gpio_dll.SMBus``: the smbus2 interface over the module; an smbus2 script runs after
  changing its import to ``from gpio_dll import SMBus, i2c_msg, I2cFunc``.
- ``gpio_dll.Dll``: the component's 29 methods (GPIO_FW_VER_Read, GPIO_ReadSMBusWord, ...).
- ``gpio_dll.sim``: the simulated module, for tests without hardware.
- ``use_system``, ``use_hidraw_device``, ``use_module_with_serial``, ``list_devices``, ...:
  which HID access and which module the component uses; ``use_hidraw_device_on_this_thread``
  and ``use_process_platform_on_this_thread`` choose the HID access of the calling thread alone;
  ``last_open_failure`` and ``last_lock_failure`` say why a call did not get to the module.
- ``use_hidraw_dir(dir)``: the modules of a folder that ``gpio-dll-sim serve`` serves at. The
  environment variable ``GPIO_DLL_HIDRAW_DIR`` names such a folder for the whole process: the
  package points discovery at it when it is imported (``use_hidraw_dir_from_environment``).
- ``log_trace``: the debug window's call trace, logged at DEBUG on the logger ``gpio_dll``.
- ``__version__``: the project's version, as the C++ build's.
"""
from . import sim
from ._version import __version__
from ._dll import Dll
from ._errors import AutomationError, ModuleError
from ._gpio_dll import (HidDeviceInfo, LockFailure, OpenFailure, last_lock_failure,
                        last_open_failure, list_devices, system_available, use_first_module,
                        use_hidraw, use_hidraw_device, use_hidraw_device_on_this_thread,
                        use_hidraw_dir, use_hidraw_dir_from_environment,
                        use_module_at, use_module_with_serial,
                        use_process_platform_on_this_thread, use_system)
from .smbus import I2C_M_RD, I2cFunc, SMBus, i2c_msg
from ._trace import TraceLog, log_trace

__all__ = ["__version__", "AutomationError", "Dll", "HidDeviceInfo", "I2C_M_RD", "I2cFunc",
           "LockFailure", "ModuleError", "OpenFailure", "SMBus", "TraceLog", "i2c_msg",
           "last_lock_failure", "last_open_failure", "list_devices", "log_trace", "sim",
           "system_available", "use_first_module", "use_hidraw", "use_hidraw_device",
           "use_hidraw_dir", "use_hidraw_dir_from_environment",
           "use_hidraw_device_on_this_thread", "use_module_at", "use_module_with_serial",
           "use_process_platform_on_this_thread", "use_system"]

# A folder of served modules named in the environment, as the gpio-dll tool honours it.
use_hidraw_dir_from_environment()
