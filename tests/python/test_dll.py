"""gpio_dll.Dll: the component's methods from Python, their result shapes and their errors."""
import ast
import pathlib
import re

import pytest

import gpio_dll
from gpio_dll._gpio_dll import _method_table

SOURCE = pathlib.Path(__file__).resolve().parents[2]

BATTERY_TARGET = 0x16  # 0x0B as an 8-bit bus address


@pytest.fixture
def dll(module):
    dll = gpio_dll.Dll()
    result, firmware, vendor, product = dll.GPIO_FW_VER_Read("", "", "")
    assert (result, firmware, vendor, product) == (0, module.firmware, "0451", "5F00")
    return dll


def stub_outputs():
    """How many values after the result each method of Dll returns, by its type hint."""
    tree = ast.parse((pathlib.Path(gpio_dll.__file__).parent / "__init__.pyi").read_text())
    dll = next(n for n in tree.body if isinstance(n, ast.ClassDef) and n.name == "Dll")
    return {f.name: len(f.returns.slice.elts) - 1 if isinstance(f.returns, ast.Subscript) else 0
            for f in dll.body if isinstance(f, ast.FunctionDef)}


def c_header_outputs():
    """The arguments that gpio_dll.h lists as written, by method."""
    text = (SOURCE / "include/gpio_dll/gpio_dll.h").read_text()
    block = text[text.index("Written arguments."):text.index("Every other argument")]
    return {m[1]: m[2].split(", ") for m in re.finditer(r"^ \*   (\w+): (.+)$", block, re.M)}


def test_every_method_of_the_table_is_there_with_its_arguments_and_what_it_writes():
    table = _method_table()
    assert len(table) == 29
    hinted, in_c = stub_outputs(), c_header_outputs()
    for name, _, arguments in table:
        method = getattr(gpio_dll.Dll, name)
        assert list(method.__signature__.parameters)[1:] == [a for a, _, _ in arguments]
        written = [a for a, _, w in arguments if w]
        assert hinted[name] == len(written), name
        assert in_c.pop(name, []) == written, name
        assert name in method.__doc__
    assert in_c == {}


def test_word_read_returns_result_and_both_bytes(module, dll):
    module.set_battery_word(0x0D, 0x0157)
    assert dll.GPIO_ReadSMBusWord(0x0D, 0, 0, BATTERY_TARGET) == (0, 0x01, 0x57)


def test_block_read_returns_bytes_and_count(module, dll):
    module.set_battery_block(0x20, b"ACME")
    assert dll.GPIO_ReadSMBusBlock(0x20, b"", 0, BATTERY_TARGET) == (0, b"ACME", 4)


@pytest.mark.parametrize("data", [b"\x01\x02\x03", bytearray(b"\x01\x02\x03"), [1, 2, 3]],
                         ids=["bytes", "bytearray", "list"])
def test_byte_arrays_go_in_as_any_bytes_like_value(module, dll, data):
    assert dll.GPIO_WriteSMBusBlock(0x44, data, 3, BATTERY_TARGET) == (0, 3)
    assert module.battery_block(0x44) == b"\x01\x02\x03"


def test_methods_without_outputs_return_the_result_alone(module, dll):
    assert dll.GPIO_WriteSMBusWord(0x00, 0x12, 0x34, BATTERY_TARGET) == 0
    assert module.battery_manufacturer_access() == 0x1234
    assert dll.Check_DllErrorCode(0) == "OK."
    assert dll.GPIO_ShutdownDLL() is None


def test_module_eeprom_round_trip(module, dll):
    image = bytes((i * 13) & 0xFF for i in range(8192))
    assert dll.GPIO_FW_EEP_Write(module.firmware, image) == 0
    assert dll.GPIO_FW_EEP_Read(module.firmware, b"") == (0, image)


# (call, automation error number)
AUTOMATION_ERRORS = [
    (lambda d: d.GPIO_WriteSMBusWord(0, 0, -1, BATTERY_TARGET), 6),  # a byte that is negative
    (lambda d: d.GPIO_WriteSMBusWord(0x10000, 0, 0, BATTERY_TARGET), 6),  # beyond 16 bits
    (lambda d: d.GPIO_WriteSMBusWord(0, 0, 2 ** 40, BATTERY_TARGET), 6),  # beyond 32 bits
    (lambda d: d.GPIO_WriteSMBusWord(0, 0, -2 ** 32 + 0x34, BATTERY_TARGET), 6),  # below them
    (lambda d: d.GPIO_WriteSMBusWord("x", 0, 0, BATTERY_TARGET), 13),  # spells no number
    (lambda d: d.GPIO_WriteSMBusWord(0, 0, 1.5, BATTERY_TARGET), 13),  # a float
    (lambda d: d.GPIO_ReadSMBusWord(0x09, 0, 0), 450),  # an argument missing
]


@pytest.mark.parametrize("call,number", AUTOMATION_ERRORS,
                         ids=["negative", "16-bit", "32-bit", "below 32-bit", "text", "float",
                              "count"])
def test_automation_errors_raise_with_their_number(module, dll, call, number):
    with pytest.raises(gpio_dll.AutomationError) as raised:
        call(dll)
    assert raised.value.number == number and str(number) in str(raised.value)


def test_list_devices_on_the_simulated_platform(module):
    devices = gpio_dll.list_devices()
    assert [d.path for d in devices if d.is_module] == [module.device_path]
    assert devices[0].serial_number == "SIM0001"
