#!/usr/bin/env python3
"""The C interface from Python's ctypes: loads the shared library and the simulated module.

usage: ctypes_test.py LIBGPIO_DLL LIBGPIO_DLL_SIM
"""
import ctypes
import sys
import unittest

LIB_PATH, SIM_PATH = sys.argv[1], sys.argv[2]
lib = ctypes.CDLL(LIB_PATH)
sim = ctypes.CDLL(SIM_PATH)

i16, i32, size = ctypes.c_int16, ctypes.c_int32, ctypes.c_size_t
for name in ["GPIO_FW_VER_Read", "GPIO_ReadSMBusWord", "Check_DllErrorCode", "GPIO_WriteSMBusWord",
             "last_automation_error"]:
    getattr(lib, "gpio_dll_" + name).restype = i32
sim.gpio_dll_sim_install.restype = i32
sim.gpio_dll_sim_install.argtypes = [ctypes.c_char_p]

BUFFER_TOO_SMALL = -2
AUTOMATION_ERROR = -1


def text_buffer(n=256):
    return ctypes.create_string_buffer(n), size(n)


class FromPython(unittest.TestCase):
    def setUp(self):
        self.assertEqual(sim.gpio_dll_sim_install(b"2.0.19"), 0)
        self.assertEqual(self.identify(), (0, b"2.0.19", b"0451", b"5F00"))

    def identify(self):
        version, version_size = text_buffer()
        vendor, vendor_size = text_buffer()
        product, product_size = text_buffer()
        result = lib.gpio_dll_GPIO_FW_VER_Read(
            version, ctypes.byref(version_size), vendor, ctypes.byref(vendor_size),
            product, ctypes.byref(product_size))
        return result, version.value, vendor.value, product.value

    def test_battery_word(self):
        cmd, high, low, target = i16(0x09), i32(0), i32(0), i16(0x16)
        self.assertEqual(lib.gpio_dll_GPIO_ReadSMBusWord(
            ctypes.byref(cmd), ctypes.byref(high), ctypes.byref(low), ctypes.byref(target)), 0)
        self.assertEqual(high.value * 256 + low.value, 12345)

    def test_overflow_is_not_a_result_code(self):
        cmd, high, low, target = i16(0), i32(0), i32(-1), i16(0x16)
        self.assertEqual(lib.gpio_dll_GPIO_WriteSMBusWord(
            ctypes.byref(cmd), ctypes.byref(high), ctypes.byref(low), ctypes.byref(target)),
            AUTOMATION_ERROR)
        self.assertEqual(lib.gpio_dll_last_automation_error(), 6)

    def test_check_dll_error_code(self):
        code = i32(131)
        message, message_size = text_buffer()
        self.assertEqual(lib.gpio_dll_Check_DllErrorCode(
            ctypes.byref(code), message, ctypes.byref(message_size)), 0)
        self.assertIn(b"USB device not detected", message.value)
        self.assertEqual(message_size.value, len(message.value) + 1)
        small, small_size = text_buffer(4)
        self.assertEqual(lib.gpio_dll_Check_DllErrorCode(
            ctypes.byref(code), small, ctypes.byref(small_size)), BUFFER_TOO_SMALL)
        self.assertEqual(small_size.value, message_size.value)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=2)
