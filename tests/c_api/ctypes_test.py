#!/usr/bin/env python3
"""The C interface from Python's ctypes: every method, called with the C types of its arguments,
against the simulated module of the shared simulated-module library.

usage: ctypes_test.py LIBGPIO_DLL LIBGPIO_DLL_SIM
"""
import ctypes
import sys
import unittest

LIB_PATH, SIM_PATH = sys.argv[1], sys.argv[2]
lib = ctypes.CDLL(LIB_PATH)
sim = ctypes.CDLL(SIM_PATH)

i16, i32, u8, size = ctypes.c_int16, ctypes.c_int32, ctypes.c_uint8, ctypes.c_size_t
for name in ["GPIO_FW_VER_Read", "GPIO_ReadSMBusWord", "Check_DllErrorCode", "GPIO_WriteSMBusWord",
             "last_automation_error"]:
    getattr(lib, "gpio_dll_" + name).restype = i32
sim.gpio_dll_sim_install.restype = i32
sim.gpio_dll_sim_install.argtypes = [ctypes.c_char_p]

BUFFER_TOO_SMALL = -2
AUTOMATION_ERROR = -1


def text_buffer(n=256):
    return ctypes.create_string_buffer(n), size(n)


# Every method through ctypes, in interface order: (name, argument kinds, values, result on a
# simulated "2.0.19" module). Kinds: h int16*, i int32*, B uint8*, I int32 by value, t a text
# (char*, size_t*), T a text the method only reads, in a buffer it fills without a terminating
# NUL, b a byte array (uint8_t*, capacity, size_t* length).
EEPROM_IMAGE = bytes((i * 7 + 1) % 256 for i in range(8192))
METHODS = [
    ("Check_DllErrorCode", "it", [131, b""], 0),
    ("GPIO_FW_EEP_Write", "Tb", [b"2.0.19", EEPROM_IMAGE], 0),
    ("GPIO_FW_EEP_Read", "Tb", [b"2.0.19", bytes(8192)], 0),
    ("GPIO_ReadI2CBlock", "hbhh", [0x20, bytes(64), 3, 0xA0], 0),
    ("GPIO_WriteI2CBlock", "hbhh", [0x20, b"\x10\x11\x12", 3, 0xA0], 0),
    ("GPIO_SendSMBusByte", "ih", [0x0D, 0x16], 0),
    ("GPIO_WriteSMBusByte", "hih", [0x00, 0x12, 0x16], 0),
    ("GPIO_WriteSMBusWord", "hiih", [0x00, 0xBE, 0xEF, 0x16], 0),
    ("GPIO_WriteSMBusBlock", "hbhh", [0x44, b"\xA1\xA2\xA3\xA4", 4, 0x16], 0),
    ("GPIO_ReceiveSMBusByte", "ih", [0, 0x16], 0),
    ("GPIO_ReadSMBusByte", "hih", [0x0D, 0, 0x16], 0),
    ("GPIO_ReadSMBusWord", "hiih", [0x09, 0, 0, 0x16], 0),
    ("GPIO_ReadSMBusBlock", "hbhh", [0x44, bytes(64), 0, 0x16], 0),
    ("GPIO_Test", "", [], 0),
    ("GPIO_ProcessCall", "hiiiih", [0x00, 0x12, 0x34, 0, 0, 0x16], 0),
    ("GPIO_ReadWriteP0Line", "BB", [0x0F, 0], 133),
    ("GPIO_WriteReadI2CBlock", "hbbhhh", [0x20, b"", b"", 0, 3, 0xA0], 0),
    ("GPIO_WriteReadSMBusBlock", "hbbhhh", [0x44, b"\x01\x02\0\0", b"", 2, 0, 0x16], 0),
    ("GPIO_CheckSdaSclLine", "", [], 0),
    ("GPIO_GetP0Line", "B", [0], 0),
    ("GPIO_SetP0Line", "B", [0x03], 0),
    ("GPIO_GetPMBusLine", "B", [0], 0),
    ("GPIO_SetPMBusLine", "B", [0x01], 0),
    ("GPIO_SetP1Line", "BBB", [1, 2, 3], 0),
    ("GPIO_FW_VER_Read", "ttt", [b"", b"", b""], 0),
    ("GPIO_DMA", "bb", [b"\x2B\x00" + bytes(62), bytes(64)], 0),
    ("GPIO_ShutdownDLL", "", [], 0),
    ("GetErrString", "It", [2, b""], 0),
    ("ShowDbg", "T", [b""], 0),
]

# Calls that raise overflow (a negative target or data byte), and the values they leave: what the
# method wrote before it raised (a read clears its outputs first, a negative write count becomes
# 0), the read-only arguments as they were.
RAISING = [
    ("GPIO_ReadSMBusWord", "hiih", [0x09, 77, 78, -2], [0x09, 0, 0, -2]),
    ("GPIO_ReceiveSMBusByte", "ih", [77, -2], [0, -2]),
    ("GPIO_ProcessCall", "hiiiih", [0x00, 0x12, 0x34, 77, 78, -2], [0x00, 0x12, 0x34, 0, 0, -2]),
    ("GPIO_WriteSMBusBlock", "hbhh", [0x44, b"\x01", -3, -2], [0x44, b"\x01", 0, -2]),
    ("GPIO_WriteReadSMBusBlock", "hbbhhh", [0x44, b"\x01", b"\x09", -5, 3, -2],
     [0x44, b"\x01", b"\x09", 0, 3, -2]),
    ("GPIO_WriteSMBusWord", "hiih", [0x00, 0, -1, 0x16], [0x00, 0, -1, 0x16]),
]
SCALARS = {"h": i16, "i": i32, "B": u8}


def call(name, kinds, values):
    """Calls gpio_dll_NAME with arguments built from their kinds; gives the result and the
    values as the call left them (texts and byte arrays cut to their lengths)."""
    args, cells = [], []
    for kind, value in zip(kinds, values):
        if kind in SCALARS:
            cell = SCALARS[kind](value)
            args.append(ctypes.byref(cell))
            cells.append(lambda c=cell: c.value)
        elif kind == "I":
            args.append(i32(value))
            cells.append(lambda v=value: v)
        elif kind == "t":
            text, text_size = ctypes.create_string_buffer(value, 256), size(256)
            args += [text, ctypes.byref(text_size)]
            cells.append(lambda t=text: t.value)
        elif kind == "T":
            text = ctypes.create_string_buffer(value, max(len(value), 1))
            text_size = size(len(value))
            args += [text, ctypes.byref(text_size)]
            cells.append(lambda t=text, n=text_size: t.raw[:n.value])
        else:
            area = (u8 * 8192).from_buffer_copy(value.ljust(8192, b"\0"))
            length = size(len(value))
            args += [area, size(8192), ctypes.byref(length)]
            cells.append(lambda a=area, n=length: bytes(a[:n.value]))
    function = getattr(lib, "gpio_dll_" + name)
    function.restype = i32
    return function(*args), [cell() for cell in cells]


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

    def test_overflow_is_not_a_result_code_and_leaves_what_the_method_wrote(self):
        for name, kinds, values, left in RAISING:
            with self.subTest(method=name):
                result, after = call(name, kinds, values)
                self.assertEqual((result, lib.gpio_dll_last_automation_error()),
                                 (AUTOMATION_ERROR, 6))
                self.assertEqual(after, left)

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

    def test_every_method(self):
        self.assertEqual(len(METHODS), 29)
        done = {}
        for name, kinds, values, expected in METHODS:
            with self.subTest(method=name):
                result, done[name] = call(name, kinds, values)
                self.assertEqual(result, expected)
        # What the calls handed back through their pointers.
        self.assertEqual(done["GPIO_FW_EEP_Read"][1], EEPROM_IMAGE)
        self.assertEqual(len(done["GPIO_ReadI2CBlock"][1]), 3)
        # What GPIO_WriteI2CBlock wrote, read back after writing its address; the block written
        # to the battery's block register, handed back by its block process call.
        self.assertEqual(done["GPIO_WriteReadI2CBlock"][2], b"\x10\x11\x12")
        self.assertEqual(done["GPIO_WriteReadSMBusBlock"][2], b"\x01\x02")
        self.assertEqual(done["GPIO_ReadSMBusByte"][1], 87)
        self.assertEqual(done["GPIO_ReadSMBusWord"][1:3], [0x30, 0x39])
        self.assertEqual(done["GPIO_ReadSMBusBlock"][1], b"\xA1\xA2\xA3\xA4")
        self.assertEqual(done["GPIO_FW_VER_Read"], [b"2.0.19", b"0451", b"5F00"])
        self.assertEqual(done["GPIO_FW_EEP_Write"][0], b"2.0.19")
        self.assertEqual(len(done["GPIO_DMA"][1]), 64)
        self.assertIn(b"No such file", done["GetErrString"][1])
        self.assertIn(b"USB device not detected", done["Check_DllErrorCode"][1])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=2)
